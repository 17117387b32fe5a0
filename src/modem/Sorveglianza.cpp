#include "modem/Sorveglianza.h"

#include "modem/Scambio.h"
#include "modem/Seriale.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace sorvela::modem {

namespace {

const QString kTipoNotifica = QStringLiteral("telefono");

// Exchanges in a row with no answer at all before the handset counts as not
// answering: one may be lost to noise, three are not.
constexpr int kScambiMutiMassimi = 3;

} // namespace

SorveglianzaTelefono::SorveglianzaTelefono(Contesto& c, QObject* genitore)
    : QObject(genitore)
    , m_c(c)
{
    setObjectName(QStringLiteral("SorveglianzaTelefono"));
    m_c.sorveglianza = this;
    m_timer.setInterval(std::chrono::seconds(10));
    connect(&m_timer, &QTimer::timeout, this, &SorveglianzaTelefono::controlla);
}

SorveglianzaTelefono::~SorveglianzaTelefono()
{
    if (m_c.sorveglianza == this)
        m_c.sorveglianza = nullptr;
}

QString SorveglianzaTelefono::testoStato(StatoTelefono stato)
{
    switch (stato) {
    case StatoTelefono::Connesso:
        return QStringLiteral("connesso");
    case StatoTelefono::NonConnesso:
        return QStringLiteral("non connesso");
    case StatoTelefono::NonRisponde:
        return QStringLiteral("non risponde");
    }
    return {};
}

void SorveglianzaTelefono::setIntervallo(std::chrono::milliseconds intervallo)
{
    m_timer.setInterval(intervallo);
}

void SorveglianzaTelefono::collegaLinea()
{
    QSerialPort* p = m_c.MSComm1;
    if (!p || p->property("sorvela.sorveglianza").toBool())
        return;
    p->setProperty("sorvela.sorveglianza", true);
    // Read errors and hang-ups are how a device that went away shows itself;
    // the line closes itself on them (Seriale.cpp), this tells the operator.
    connect(p, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError)
            lineaPersa(QStringLiteral("Il telefono della porta COM%1 è stato scollegato.").arg(m_c.NumeroPorta));
    });
}

void SorveglianzaTelefono::avvia()
{
    const QString motivo = ApriLinea(m_c);
    collegaLinea();
    m_c.modem.scambiMuti = 0;
    if (motivo.isEmpty())
        cambia(StatoTelefono::Connesso, {});
    else
        lineaPersa(motivo);
    m_timer.start();
    emit statoCambiato(m_stato); // the strip shows the state from the first moment
}

void SorveglianzaTelefono::scambioRiuscito()
{
    m_c.modem.scambiMuti = 0;
    if (m_stato != StatoTelefono::Connesso) {
        cambia(StatoTelefono::Connesso, {});
        emit ritornato();
    }
}

// A device that went away without the line noticing (a pseudo-terminal or a
// USB adapter gone, the descriptor reading end of file): its node is gone.
bool SorveglianzaTelefono::dispositivoSparito()
{
    QSerialPort* p = m_c.MSComm1;
    if (!p || !p->isOpen() || QFileInfo::exists(QSerialPortInfo(*p).systemLocation()))
        return false;
    p->close();
    lineaPersa(QStringLiteral("Il telefono della porta COM%1 è stato scollegato.").arg(m_c.NumeroPorta));
    return true;
}

void SorveglianzaTelefono::scambioMuto()
{
    if (dispositivoSparito())
        return;
    ++m_c.modem.scambiMuti;
    if (m_c.modem.scambiMuti >= kScambiMutiMassimi && m_stato == StatoTelefono::Connesso)
        cambia(StatoTelefono::NonRisponde,
               QStringLiteral("Il telefono della porta COM%1 non risponde.").arg(m_c.NumeroPorta));
}

void SorveglianzaTelefono::lineaPersa(const QString& motivo)
{
    if (m_stato != StatoTelefono::NonConnesso)
        cambia(StatoTelefono::NonConnesso, motivo);
}

void SorveglianzaTelefono::cambia(StatoTelefono nuovo, const QString& motivo)
{
    if (nuovo == m_stato)
        return;
    const bool eraBuono = m_stato == StatoTelefono::Connesso;
    m_stato = nuovo;
    if (nuovo == StatoTelefono::Connesso) {
        m_c.modem.scambiMuti = 0;
        if (m_c.messaggi)
            m_c.messaggi->ritiraNotifica(kTipoNotifica);
    } else if (m_c.messaggi && eraBuono) {
        // Told once per loss: going on from "not answering" to "not
        // connected" shows on the strip, without a second notice.
        m_c.messaggi->notifica(kTipoNotifica, Icona::Avviso,
                               motivo + QStringLiteral("\nLa console non può ricevere gli allarmi: "
                                                       "ritenta da sola ogni 10 secondi."));
    }
    emit statoCambiato(nuovo);
    if (eraBuono && nuovo != StatoTelefono::Connesso)
        emit perso();
}

void SorveglianzaTelefono::controlla()
{
    // Someone else holds the line, or this check is already waiting on it.
    if (m_inControllo || !m_c.lineaInUso.isEmpty())
        return;
    m_inControllo = true;
    collegaLinea();
    dispositivoSparito();
    QSerialPort* p = m_c.MSComm1;
    const bool aperta = p && p->isOpen();
    if (m_stato == StatoTelefono::Connesso) {
        // Closed by someone (a port change that failed): opened again quietly.
        if (!aperta) {
            const QString motivo = ApriLinea(m_c);
            collegaLinea();
            if (!motivo.isEmpty())
                lineaPersa(motivo);
        }
    } else {
        // Reopened every time: the configured name may lead to a new device
        // now (an adapter plugged back in, a link that follows it). An open
        // port is not yet a handset: it must answer "AT" to count as back.
        // The tick is kept away so that it does not read the answer first.
        const TickSospeso tick(m_c);
        const UsoLinea uso(m_c, QStringLiteral("Controllo del telefono"));
        const QString motivo = ApriLinea(m_c);
        collegaLinea();
        if (!motivo.isEmpty())
            lineaPersa(motivo);
        else
            Scambia(m_c, QStringLiteral("AT"), std::chrono::seconds(2)); // reports back to scambio*()
    }
    m_inControllo = false;
}

} // namespace sorvela::modem
