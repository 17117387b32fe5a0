#include "shell/Impostazioni.h"

#include "core/Numeri.h"
#include "receiver/Sportello.h"
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
#include <QTimer>

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

    auto* ok = m_ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK(0)"));
    ok->setDefault(true);
    auto* annulla = m_annulla = new QPushButton(QStringLiteral("Annulla"), this);
    annulla->setObjectName(QStringLiteral("cmdOK(1)"));
    annulla->setAutoDefault(false);
    m_sonda = new QTimer(this);
    m_sonda->setInterval(200);
    connect(m_sonda, &QTimer::timeout, this, &Impostazioni::sonda);

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

bool Impostazioni::chiedi(const QString& richiesta, const QString& argomento, const QString& cosa,
                          std::function<void(bool, const QString&)> risposta)
{
    try {
        // The port is that of this machine's receiver, in a centre of several.
        const ricevitore::Stato stato = ricevitore::RicevitoreDellaPostazione(
            *m_ctx.db, m_ctx.preferenze ? m_ctx.preferenze->nomeRicevitore() : QString());
        if (!stato.attivo(QDateTime::currentDateTimeUtc())) {
            m_ctx.messaggi->avvisa(Icona::Avviso, ricevitore::TestoNonAttivo + QStringLiteral(": ") + cosa + u'.');
            return false;
        }
        m_ricevitoreScelto = stato.nome;
        m_richiesta = ricevitore::Richiedi(*m_ctx.db, richiesta, argomento, m_ctx.operatore, stato.nome);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile interrogare il ricevitore: %1\n%2.")
                                                  .arg(e.messaggio(), cosa));
        return false;
    }
    m_risposta = std::move(risposta);
    m_scadenza = QDeadlineTimer(std::chrono::seconds(AttesaRispostaSecondi));
    inAttesa(true);
    m_sonda->start();
    return true;
}

void Impostazioni::sonda()
{
    ricevitore::Esito e;
    try {
        e = ricevitore::EsitoRichiesta(*m_ctx.db, m_richiesta);
    } catch (const store::ErroreDatabase&) {
        // A busy file now: asked again at the next look.
    }
    if (!e.servita && !m_scadenza.hasExpired())
        return;
    m_sonda->stop();
    inAttesa(false);
    auto risposta = std::move(m_risposta);
    m_risposta = {};
    risposta(e.servita, e.testo);
}

void Impostazioni::inAttesa(bool si)
{
    m_command1->setEnabled(!si);
    m_ok->setEnabled(!si);
    m_annulla->setEnabled(!si);
    m_cmbPort->setEnabled(!si);
    if (si)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Impostazioni::reject()
{
    if (m_sonda->isActive())
        return; // the receiver's answer is due: see the header
    QDialog::reject();
}

void Impostazioni::verifica()
{
    chiedi(ricevitore::RichiestaVerifica, {}, QStringLiteral("la verifica non è stata fatta"),
           [this](bool servita, const QString& esito) {
               if (servita)
                   m_ctx.messaggi->avvisa(Icona::Nessuna, esito);
               else
                   m_ctx.messaggi->avvisa(Icona::Avviso,
                                          QStringLiteral("Il ricevitore non ha risposto: la verifica non è stata fatta."));
           });
}

void Impostazioni::conferma()
{
    if (m_chiusa)
        return;
    const qint16 scelta = InteroArrotondato(ValoreNumerico(m_cmbPort->currentText()));
    const qint16 precedente = m_ctx.NumeroPorta;
    const bool chiesta = chiedi(ricevitore::RichiestaPorta, QString::number(scelta),
                                QStringLiteral("la porta non è stata cambiata"),
                                [this, scelta, precedente](bool servita, const QString& motivo) {
        m_chiusa = true;
        if (!servita) {
            m_ctx.messaggi->avvisa(Icona::Avviso, QStringLiteral("Il ricevitore non ha risposto: la porta resta COM%1.")
                                                      .arg(precedente));
        } else if (motivo.isEmpty()) {
            m_ctx.NumeroPorta = scelta;
            if ((scelta == precedente || registraCambio(precedente)) && m_ctx.preferenze)
                m_ctx.preferenze->setNumPort(scelta);
        } else {
            // The receiver went back to the port before.
            m_ctx.messaggi->avvisa(Icona::Avviso, motivo);
        }
        accept();
    });
    Q_UNUSED(chiesta);
}

// A port change that cannot be recorded does not happen: the receiver goes
// back to the port it was on.
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
    try {
        ricevitore::Richiedi(*m_ctx.db, ricevitore::RichiestaPorta, QString::number(precedente), m_ctx.operatore,
                             m_ricevitoreScelto);
    } catch (const store::ErroreDatabase&) {
        // The same database refused twice: the receiver stays on the new
        // port, which the settings do not name, until its next start.
    }
    return false;
}

} // namespace sorvela
