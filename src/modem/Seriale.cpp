#include "modem/Seriale.h"

#include "modem/Scambio.h"
#include "modem/Sorveglianza.h"

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sorvela::modem {

namespace {

using namespace std::chrono_literals;

enum class Apertura { Aperta, NonValida, NonDisponibile, ConsoleDiSistema, AltroErrore };

QString testoNonValida(int porta)
{
    return QStringLiteral("COM%1 non è una porta valida.").arg(porta);
}

QString testoNonDisponibile(int porta)
{
    return QStringLiteral("La porta COM%1 non è disponibile.").arg(porta);
}

QString testoConsole(const Contesto& c, int porta)
{
    return QStringLiteral("COM%1 (%2) è la console di sistema: Sorvela non la apre. "
                          "Indicare la porta del telefono nelle impostazioni.")
        .arg(porta)
        .arg(QFileInfo(c.preferenze ? c.preferenze->dispositivoPorta(porta)
                                    : QStringLiteral("/dev/ttyS%1").arg(porta - 1))
                 .canonicalFilePath());
}

QString testoNonRilevato(int porta)
{
    return QStringLiteral("Telefono non rilevato alla porta COM%1").arg(porta);
}

bool risposta(const QString& testo)
{
    return testo.contains(QLatin1String("OK")) || testo.contains(QLatin1String("ERROR"));
}

QTime oraDelGiorno(const Contesto& c)
{
    return (c.orologio ? c.orologio->adesso() : QDateTime::currentDateTime()).time();
}

// The line, created on first use when the main window has not made one yet.
// A device that goes away while open (a USB adapter pulled out, the far end of
// a pseudo-terminal closed) reads as end of file or EIO for ever after:
// QSerialPort reports ReadError or ResourceError and, for end of file, keeps
// waking up to read nothing, spinning the CPU. Closing the line stops that,
// lets the tick see a closed line, and the next open starts afresh.
QSerialPort* linea(Contesto& c)
{
    if (!c.MSComm1)
        c.MSComm1 = new QSerialPort(QCoreApplication::instance());
    QSerialPort* p = c.MSComm1;
    if (!p->property("sorvela.sorvegliata").toBool()) {
        p->setProperty("sorvela.sorvegliata", true);
        QObject::connect(p, &QSerialPort::errorOccurred, p, [p](QSerialPort::SerialPortError e) {
            if ((e == QSerialPort::ResourceError || e == QSerialPort::ReadError) && p->isOpen())
                p->close();
        });
    }
    return p;
}

QString dispositivo(const Contesto& c, int porta)
{
    if (c.preferenze)
        return c.preferenze->dispositivoPorta(porta);
    return QStringLiteral("/dev/ttyS%1").arg(porta - 1);
}

// Another program may hold the line with TIOCEXCL only, without a lock file.
// An ordinary user's open then fails with EBUSY, but the superuser's open
// succeeds regardless, and two programs would share the handset's replies.
// Asking the terminal whether it is in exclusive use covers that case.
bool inUsoEsclusivo(const QString& percorso)
{
#ifdef TIOCGEXCL
    const int fd = ::open(QFile::encodeName(percorso).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false; // QSerialPort will meet and report the same error
    int esclusivo = 0;
    const bool tenuto = ::ioctl(fd, TIOCGEXCL, &esclusivo) == 0 && esclusivo != 0;
    ::close(fd);
    return tenuto;
#else
    Q_UNUSED(percorso);
    return false;
#endif
}

// Whether `percorso` (a canonical device path) is where the system writes its
// console: opening it would mix the kernel's messages into the handset's
// replies, and the console's commands into a login prompt. On many machines
// the first serial port, the default COM1, is exactly that.
bool consoleDiSistema(const QString& percorso)
{
    QFile attive(QStringLiteral("/sys/class/tty/console/active"));
    if (!attive.open(QIODevice::ReadOnly))
        return false;
    const QString nome = QFileInfo(percorso).fileName();
    const QStringList nomi = QString::fromLatin1(attive.readAll()).split(QRegularExpression(QStringLiteral("\\s+")),
                                                                         Qt::SkipEmptyParts);
    return nomi.contains(nome);
}

// Closes the line if open and opens it on `porta` with the handset's settings.
Apertura apriLinea(Contesto& c, int porta)
{
    QSerialPort* p = linea(c);
    if (p->isOpen())
        p->close();
    p->clearError();

    // Symlinks such as /dev/serial/by-id/... are followed so that the lock
    // file QSerialPort takes is named after the real device, the name other
    // programs (minicom, ModemManager, a second console) lock it by.
    const QFileInfo info(dispositivo(c, porta));
    const QString percorso = info.canonicalFilePath();
    if (percorso.isEmpty())
        return Apertura::NonValida;
    if (consoleDiSistema(percorso))
        return Apertura::ConsoleDiSistema;
    if (inUsoEsclusivo(percorso))
        return Apertura::NonDisponibile;

    p->setPortName(percorso);
    p->setBaudRate(QSerialPort::Baud19200);
    p->setDataBits(QSerialPort::Data8);
    p->setParity(QSerialPort::NoParity);
    p->setStopBits(QSerialPort::OneStop);
    p->setFlowControl(QSerialPort::NoFlowControl);
    // Unlimited: a listing that arrives while nobody reads must not be cut.
    p->setReadBufferSize(0);
    if (!p->open(QIODevice::ReadWrite)) {
        const auto errore = p->error();
        p->clearError();
        switch (errore) {
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::UnsupportedOperationError: // exists, but is not a serial line
        case QSerialPort::ResourceError:              // a ttyS node with no UART behind it
            return Apertura::NonValida;
        case QSerialPort::PermissionError:            // lock file, TIOCEXCL or access rights
            return Apertura::NonDisponibile;
        default:
            return Apertura::AltroErrore;
        }
    }
    // A pseudo-terminal has no modem lines: the handset's cable wants DTR and
    // RTS raised, a simulated handset does without, so a refusal is no error.
    p->setDataTerminalReady(true);
    p->setRequestToSend(true);
    p->clearError();
    return Apertura::Aperta;
}

} // namespace

UsoLinea::UsoLinea(Contesto& c, const QString& chi)
    : m_c(c)
    , m_preso(c.lineaInUso.isEmpty())
{
    if (m_preso)
        m_c.lineaInUso = chi;
}

UsoLinea::~UsoLinea()
{
    if (m_preso)
        m_c.lineaInUso.clear();
}

// Runs the window system until `completo` holds for what the line delivered,
// the limit passes, the line has been silent for `silenzio` (when given),
// the line closes or (when asked) AnnullaAttesa is set. Sleeps in between:
// woken by the port's readyRead, by a timer at the next limit and, for the
// cancel flag, every time the window system has handled its events.
QString RaccogliRisposta(Contesto& c, std::chrono::milliseconds durata,
                         const std::function<bool(const QString&)>& completo, bool guardaAnnulla,
                         std::chrono::milliseconds silenzio)
{
    const QPointer<QSerialPort> p = c.MSComm1;
    QString ricevuto;
    if (!p || !p->isOpen())
        return ricevuto;
    const QDeadlineTimer scadenza(durata, Qt::PreciseTimer);
    const bool conQuiete = silenzio.count() > 0;
    QDeadlineTimer quiete(conQuiete ? silenzio : durata, Qt::PreciseTimer);

    auto leggi = [&] {
        if (!p || !p->isOpen())
            return;
        const QByteArray nuovi = p->readAll();
        if (!nuovi.isEmpty()) {
            ricevuto += QString::fromLatin1(nuovi);
            if (conQuiete)
                quiete.setRemainingTime(silenzio, Qt::PreciseTimer);
        }
    };
    auto finita = [&] {
        return completo(ricevuto) || scadenza.hasExpired() || quiete.hasExpired()
            || (guardaAnnulla && c.AnnullaAttesa) || !p || !p->isOpen();
    };
    leggi();
    if (finita())
        return ricevuto;

    QEventLoop ciclo;
    QTimer sveglia;
    sveglia.setSingleShot(true);
    sveglia.setTimerType(Qt::PreciseTimer);
    auto riarma = [&] {
        const qint64 resto = std::min(quiete.remainingTime(), scadenza.remainingTime());
        sveglia.start(int(std::max<qint64>(1, resto + 1))); // a timer may fire a fraction early
    };
    auto passo = [&] {
        leggi();
        if (finita())
            ciclo.quit();
        else
            riarma();
    };
    QObject::connect(&sveglia, &QTimer::timeout, &ciclo, passo);
    QObject::connect(p.data(), &QIODevice::readyRead, &ciclo, passo);
    QObject::connect(p.data(), &QIODevice::aboutToClose, &ciclo, [&] {
        leggi();
        ciclo.quit();
    });
    QObject::connect(p.data(), &QObject::destroyed, &ciclo, &QEventLoop::quit);
    if (guardaAnnulla) {
        if (auto* d = QAbstractEventDispatcher::instance())
            QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, &ciclo, passo);
    }
    riarma();
    ciclo.exec();
    return ricevuto;
}

std::chrono::milliseconds DurataAttesa(const QTime& ora, int secondi)
{
    const int ms = ora.isValid() ? ora.msec() : 0;
    const auto arrotondamento = ms >= 500 ? std::chrono::milliseconds(1000 - ms) : -std::chrono::milliseconds(ms);
    return std::chrono::seconds(secondi) + arrotondamento;
}

QString ApriLinea(Contesto& c)
{
    switch (apriLinea(c, c.NumeroPorta)) {
    case Apertura::Aperta:
        return {};
    case Apertura::NonValida:
        return testoNonValida(c.NumeroPorta);
    case Apertura::NonDisponibile:
        return testoNonDisponibile(c.NumeroPorta);
    case Apertura::ConsoleDiSistema:
        return testoConsole(c, c.NumeroPorta);
    case Apertura::AltroErrore:
        break;
    }
    return QStringLiteral("La porta COM%1 non si apre.").arg(c.NumeroPorta);
}

int ApriPorta(Contesto& c)
{
    const QString motivo = ApriLinea(c);
    if (motivo.isEmpty())
        return 0;
    c.messaggi->avvisa(Icona::Avviso, motivo);
    return 1;
}

QString ProvaPorta(Contesto& c, int porta)
{
    switch (apriLinea(c, porta)) {
    case Apertura::Aperta:
        break;
    case Apertura::NonValida:
        return testoNonValida(porta);
    case Apertura::NonDisponibile:
        return testoNonDisponibile(porta);
    case Apertura::ConsoleDiSistema:
        return testoConsole(c, porta);
    case Apertura::AltroErrore:
        return {};
    }
    const RispostaModem r = Scambia(c, ComandoIndicazioni.trimmed(), std::chrono::seconds(4));
    if (r.ok())
        return QStringLiteral("TELEFONO RILEVATO ALLA PORTA COM%1").arg(porta);
    return testoNonRilevato(porta);
}

void VerificaPorte(Contesto& c)
{
    const TickSospeso tick(c);
    QString testo;
    for (int porta = 1; porta <= 6; ++porta)
        testo += ProvaPorta(c, porta) + QStringLiteral("\r\n");
    c.messaggi->avvisa(Icona::Nessuna, testo);
}

void SvuotaIngresso(Contesto& c)
{
    SvuotaNotando(c);
}

void InviaComando(Contesto& c, const QString& comando)
{
    SvuotaNotando(c);
    c.modem.comandoInCorso = comando.trimmed();
    QSerialPort* p = c.MSComm1;
    if (!p || !p->isOpen())
        return; // the waits that follow find the line closed and end at once
    p->write(comando.toLatin1());
    // Out now, not at the next pass of the event loop: a command must not sit
    // in Qt's buffer behind a discard or ahead of the next command.
    p->flush();
}

QString AttendiRisposta(Contesto& c, int secondi)
{
    const RispostaModem r = RaccogliRispostaA(c, std::chrono::seconds(secondi));
    // Told without waiting for OK: this may run from the tick, which must go on.
    if (!r.ok() && c.messaggi)
        c.messaggi->notifica(QStringLiteral("scambio"), Icona::Avviso, QStringLiteral("Controlla il telefono."));
    return r.testo;
}

void AttendiTesto(Contesto& c, const QString& atteso, int secondi)
{
    c.AnnullaAttesa = false;
    const QString r = RaccogliRisposta(c, DurataAttesa(oraDelGiorno(c), secondi),
                                       [&atteso](const QString& r) { return r.contains(atteso); }, true);
    if (r.contains(QLatin1String("+CMTI:")))
        c.modem.messaggiInAttesa = true;
}

void DisattivaEco(Contesto& c)
{
    Scambia(c, QStringLiteral("ATE0"));
}

int InizializzaModem(Contesto& c)
{
    // An open line is kept: reopening it would throw away what the handset
    // has sent meanwhile, a new-message indication among it. A closed one
    // (never opened, or its device went away) is opened.
    QSerialPort* p = c.MSComm1;
    if (!p || !p->isOpen()) {
        const QString motivo = ApriLinea(c);
        if (!motivo.isEmpty()) {
            if (c.sorveglianza)
                c.sorveglianza->lineaPersa(motivo);
            else if (c.messaggi)
                c.messaggi->notifica(QStringLiteral("telefono"), Icona::Avviso, motivo);
            return 1;
        }
    }
    const RispostaModem r = Scambia(c, ComandoIndicazioni.trimmed(), std::chrono::seconds(4));
    if (r.ok())
        return 0;
    if (r.esito == Esito::Scaduto && !r.muta)
        RimettiInPasso(c);
    // A silent handset is the supervisor's to tell (after a few silences, not
    // one); a handset that answers but refuses is told now.
    if (!(r.muta && c.sorveglianza) && c.messaggi)
        c.messaggi->notifica(QStringLiteral("telefono"), Icona::Avviso,
                             QStringLiteral("Controlla il telefono.\n") + testoNonRilevato(c.NumeroPorta));
    return 1;
}

void CaricaMessaggi(Contesto& c, const std::function<void()>& letturaMessaggi)
{
    // The tick is suspended before the line is reopened, not after: a tick
    // running inside InizializzaModem's wait would read and throw away the
    // handset's "OK" and make a working handset look missing.
    const TickSospeso tick(c);
    if (!c.lineaInUso.isEmpty())
        return; // a cycle or a call holds the line; the cycle empties the handset anyway
    if (InizializzaModem(c) != 0)
        return;
    DisattivaEco(c);
    if (letturaMessaggi)
        letturaMessaggi();
}

} // namespace sorvela::modem
