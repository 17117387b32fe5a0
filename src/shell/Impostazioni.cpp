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
    const std::optional<QString> rapporto = modem::VerificaPorte(m_ctx);
    QApplication::restoreOverrideCursor();
    if (rapporto)
        m_ctx.messaggi->avvisa(Icona::Nessuna, *rapporto);
    else
        m_ctx.messaggi->avvisa(Icona::Avviso,
                               occupato(m_ctx.linea->occupataDa(), QStringLiteral("la verifica non è stata fatta")));
}

QString Impostazioni::occupato(const QString& chi, const QString& cosa)
{
    return QStringLiteral("Il telefono è impegnato (%1): %2. Riprovare tra poco.").arg(chi, cosa);
}

void Impostazioni::conferma()
{
    if (m_chiusa)
        return;
    const qint16 scelta = InteroArrotondato(ValoreNumerico(m_cmbPort->currentText()));
    // A cycle or a call holds the line: changing its port under it would cut
    // it off. The window stays open for another try.
    if (!m_ctx.linea->occupataDa().isEmpty()) {
        m_ctx.messaggi->avvisa(Icona::Avviso,
                               occupato(m_ctx.linea->occupataDa(), QStringLiteral("la porta non è stata cambiata")));
        return;
    }
    m_chiusa = true;
    const QString motivo = m_ctx.linea->apri(scelta);
    if (motivo.isEmpty()) {
        const qint16 precedente = m_ctx.NumeroPorta;
        m_ctx.NumeroPorta = scelta;
        if ((scelta == precedente || registraCambio(precedente)) && m_ctx.preferenze)
            m_ctx.preferenze->setNumPort(scelta);
    } else {
        // The handset stays where it was.
        m_ctx.messaggi->avvisa(Icona::Avviso, motivo);
        m_ctx.linea->apri(m_ctx.NumeroPorta);
    }
    accept();
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
    m_ctx.NumeroPorta = precedente;
    m_ctx.linea->apri(precedente);
    return false;
}

} // namespace sorvela
