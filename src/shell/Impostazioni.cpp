#include "shell/Impostazioni.h"

#include "core/Numeri.h"
#include "modem/Seriale.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "platform/RegistroOperazioni.h"
#include "store/Database.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>

namespace sorvela {

void LeggiImpostazioni(Contesto& c)
{
    const QString testo = c.preferenze ? c.preferenze->numPort() : QString();
    // Out-of-range values are clamped rather than overflowing the 16-bit
    // number; the port they name does not exist and is reported as such.
    c.NumeroPorta = testo.isEmpty() ? qint16(1) : InteroArrotondato(ValoreNumerico(testo));
}

Impostazioni::Impostazioni(Contesto& c, QWidget* genitore)
    : QDialog(genitore)
    , m_ctx(c)
{
    setObjectName(QStringLiteral("Impostazioni"));
    setWindowTitle(QStringLiteral("Impostazioni"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* label1 = new QLabel(QStringLiteral("Porta comunicazioni"), this);
    label1->setObjectName(QStringLiteral("Label1"));

    // Editable, as the operator may need a port beyond the six listed.
    m_cmbPort = new QComboBox(this);
    m_cmbPort->setObjectName(QStringLiteral("cmbPort"));
    m_cmbPort->setEditable(true);
    for (int i = 1; i <= 6; ++i)
        m_cmbPort->addItem(QString::number(i));
    m_cmbPort->setEditText(QString::number(c.NumeroPorta));
    label1->setBuddy(m_cmbPort);

    m_command1 = new QPushButton(QStringLiteral("Verifica"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setAutoDefault(false);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK(0)"));
    ok->setDefault(true);
    auto* annulla = new QPushButton(QStringLiteral("Annulla"), this);
    annulla->setObjectName(QStringLiteral("cmdOK(1)"));
    annulla->setAutoDefault(false);

    auto* griglia = new QGridLayout(this);
    griglia->addWidget(label1, 0, 0);
    griglia->addWidget(m_cmbPort, 0, 1);
    griglia->addWidget(m_command1, 0, 2);
    griglia->addWidget(ok, 1, 1);
    griglia->addWidget(annulla, 1, 2);

    connect(m_command1, &QPushButton::clicked, this, &Impostazioni::verifica);
    connect(ok, &QPushButton::clicked, this, &Impostazioni::conferma);
    connect(annulla, &QPushButton::clicked, this, &Impostazioni::reject);
}

void Impostazioni::verifica()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    modem::VerificaPorte(m_ctx);
    QApplication::restoreOverrideCursor();
}

void Impostazioni::conferma()
{
    if (m_chiusa)
        return;
    m_chiusa = true;
    const qint16 precedente = m_ctx.NumeroPorta;
    m_ctx.NumeroPorta = InteroArrotondato(ValoreNumerico(m_cmbPort->currentText()));
    if (m_ctx.MSComm1 && m_ctx.MSComm1->isOpen())
        m_ctx.MSComm1->close();
    riapri(precedente);
    accept();
}

void Impostazioni::done(int risultato)
{
    // "Verifica" may have left the line on port 6 or closed; leaving by the
    // close box or Escape must put it back just as "Annulla" does.
    if (!m_chiusa) {
        m_chiusa = true;
        riapri(m_ctx.NumeroPorta);
    }
    QDialog::done(risultato);
}

// A port change that cannot be recorded does not happen: the line goes back
// to the port it was on.
bool Impostazioni::registraCambio(qint16 precedente)
{
    try {
        RegistraOperazione(m_ctx, azione::PortaCambiata, QStringLiteral("COM%1").arg(m_ctx.NumeroPorta),
                           QStringLiteral("da COM%1 a COM%2").arg(precedente).arg(m_ctx.NumeroPorta));
        return true;
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile registrare il cambio di porta: %1\n"
                                                             "La porta resta COM%2.")
                                                  .arg(e.messaggio())
                                                  .arg(precedente));
    }
    if (m_ctx.MSComm1 && m_ctx.MSComm1->isOpen())
        m_ctx.MSComm1->close();
    m_ctx.NumeroPorta = precedente;
    modem::ApriPorta(m_ctx);
    return false;
}

void Impostazioni::riapri(qint16 precedente)
{
    if (modem::ApriPorta(m_ctx) == 0) {
        if (m_ctx.NumeroPorta != precedente && !registraCambio(precedente))
            return;
        if (m_ctx.preferenze)
            m_ctx.preferenze->setNumPort(m_ctx.NumeroPorta);
    } else {
        m_ctx.NumeroPorta = precedente;
    }
}

} // namespace sorvela
