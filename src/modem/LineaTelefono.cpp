#include "modem/LineaTelefono.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sorvela::modem {

namespace {

using namespace std::chrono_literals;

const QByteArray kIndicazione = QByteArrayLiteral("+CMTI:");

// Exchanges in a row with no answer at all before the handset counts as not
// answering: one may be lost to noise, three are not.
constexpr int kScambiMutiMassimi = 3;

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

} // namespace

// --- the session

Sessione::Sessione(Sessione&& altra) noexcept
    : m_linea(std::exchange(altra.m_linea, nullptr))
    , m_chi(std::move(altra.m_chi))
{
}

Sessione::~Sessione()
{
    if (m_linea)
        m_linea->rilascia();
}

RispostaModem Sessione::scambia(const QString& comando, std::chrono::milliseconds silenzio)
{
    if (!m_linea) {
        RispostaModem r;
        r.rifiutata = true;
        return r;
    }
    return m_linea->scambia(comando, silenzio);
}

bool Sessione::attendi(const QString& atteso, std::chrono::milliseconds durata, const std::function<bool()>& annullato)
{
    if (!m_linea)
        return false;
    const QString r = m_linea->raccogli(
        durata, [&atteso](const QString& r) { return r.contains(atteso); }, 0ms, annullato);
    m_linea->notaIndicazioni(r.toLatin1());
    return r.contains(atteso);
}

bool Sessione::rimettiInPasso()
{
    if (!m_linea || !m_linea->aperta())
        return false;
    // The abandoned command's reply may still be arriving: it is let run out
    // (a second of quiet) and thrown away, its news kept.
    const QString resto = m_linea->raccogli(15s, [](const QString&) { return false; }, 1s);
    m_linea->notaIndicazioni(resto.toLatin1());
    m_linea->m_eco = -1;
    const RispostaModem r = m_linea->scambia(QStringLiteral("AT"), 3s);
    m_linea->notaIndicazioni(m_linea->leggiTutto());
    return r.ok();
}

QString Sessione::apri(int porta)
{
    if (!m_linea)
        return QStringLiteral("Il telefono è impegnato (%1).").arg(m_chi);
    const QString perche = m_linea->motivo(m_linea->apriSeriale(porta), porta);
    // The handset's own port that does not open is the handset lost; a
    // probed one is only a line of the probe's report.
    if (!perche.isEmpty() && !m_linea->m_inProva && porta == m_linea->m_porta)
        m_linea->perdita(StatoTelefono::NonConnesso, perche);
    return perche;
}

void Sessione::chiudi()
{
    if (m_linea)
        m_linea->chiudiSeriale();
}

// --- the line

LineaTelefono::LineaTelefono(Dispositivo dispositivo, QObject* genitore)
    : QObject(genitore)
    , m_dispositivo(std::move(dispositivo))
{
    setObjectName(QStringLiteral("LineaTelefono"));
    m_seriale.setObjectName(QStringLiteral("MSComm1"));
    // A device that goes away while open (a USB adapter pulled out, the far
    // end of a pseudo-terminal closed) reads as end of file or EIO for ever
    // after: QSerialPort reports ReadError or ResourceError and, for end of
    // file, keeps waking up to read nothing, spinning the CPU. Closing the
    // line stops that, and the next open starts afresh.
    connect(&m_seriale, &QSerialPort::errorOccurred, this, &LineaTelefono::erroreSeriale);
    connect(&m_controllo, &QTimer::timeout, this, &LineaTelefono::controlla);
    // Bytes that arrive while nobody holds the line can only be news (or
    // noise): with the listening on they are looked at as they come.
    connect(&m_seriale, &QIODevice::readyRead, this, [this] {
        if (m_ascolto && m_occupataDa.isEmpty())
            svuota();
    });
}

LineaTelefono::~LineaTelefono()
{
    m_controllo.stop();
    disconnect(&m_seriale, nullptr, this, nullptr);
    if (m_seriale.isOpen())
        m_seriale.close();
}

QString LineaTelefono::testoOccupata() const
{
    return QStringLiteral("Il telefono è impegnato (%1).").arg(m_occupataDa);
}

Sessione LineaTelefono::prendi(const QString& chi)
{
    if (!m_occupataDa.isEmpty())
        return Sessione(nullptr, m_occupataDa);
    m_occupataDa = chi;
    return Sessione(this, chi);
}

QString LineaTelefono::motivo(Apertura a, int porta) const
{
    switch (a) {
    case Apertura::Aperta:
        return {};
    case Apertura::NonValida:
        return QStringLiteral("COM%1 non è una porta valida.").arg(porta);
    case Apertura::NonDisponibile:
        return QStringLiteral("La porta COM%1 non è disponibile.").arg(porta);
    case Apertura::ConsoleDiSistema:
        return QStringLiteral("COM%1 (%2) è la console di sistema: Sorvela non la apre. "
                              "Indicare la porta del telefono nelle impostazioni.")
            .arg(porta)
            .arg(QFileInfo(m_dispositivo(porta)).canonicalFilePath());
    case Apertura::AltroErrore:
        break;
    }
    return QStringLiteral("La porta COM%1 non si apre.").arg(porta);
}

void LineaTelefono::chiudiSeriale()
{
    if (m_seriale.isOpen())
        m_seriale.close();
    m_percorso.clear();
}

LineaTelefono::Apertura LineaTelefono::apriSeriale(int porta)
{
    chiudiSeriale();
    m_seriale.clearError();
    m_dettaglioRifiuto.clear();
    m_eco = -1;
    m_comandoInCorso.clear();
    m_codaLinea.clear();

    // Symlinks such as /dev/serial/by-id/... are followed so that the lock
    // file QSerialPort takes is named after the real device, the name other
    // programs (minicom, ModemManager, a second console) lock it by.
    const QString percorso = QFileInfo(m_dispositivo(porta)).canonicalFilePath();
    if (percorso.isEmpty())
        return Apertura::NonValida;
    if (consoleDiSistema(percorso))
        return Apertura::ConsoleDiSistema;
    if (inUsoEsclusivo(percorso)) {
        m_dettaglioRifiuto = percorso + QStringLiteral(": in uso esclusivo (TIOCEXCL)");
        return Apertura::NonDisponibile;
    }

    m_seriale.setPortName(percorso);
    m_seriale.setBaudRate(QSerialPort::Baud19200);
    m_seriale.setDataBits(QSerialPort::Data8);
    m_seriale.setParity(QSerialPort::NoParity);
    m_seriale.setStopBits(QSerialPort::OneStop);
    m_seriale.setFlowControl(QSerialPort::NoFlowControl);
    // Unlimited: a listing that arrives while nobody reads must not be cut.
    m_seriale.setReadBufferSize(0);
    if (!m_seriale.open(QIODevice::ReadWrite)) {
        const auto errore = m_seriale.error();
        if (errore == QSerialPort::PermissionError)
            m_dettaglioRifiuto = percorso + QStringLiteral(": ") + m_seriale.errorString();
        m_seriale.clearError();
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
    m_percorso = percorso;
    // A pseudo-terminal has no modem lines: the handset's cable wants DTR and
    // RTS raised, a simulated handset does without, so a refusal is no error.
    m_seriale.setDataTerminalReady(true);
    m_seriale.setRequestToSend(true);
    m_seriale.clearError();
    return Apertura::Aperta;
}

QString LineaTelefono::apri(int porta)
{
    Sessione s = prendi(QStringLiteral("Apertura della porta"));
    if (!s.valida())
        return testoOccupata();
    const QString perche = motivo(apriSeriale(porta), porta);
    if (perche.isEmpty())
        m_porta = porta;
    else if (porta == m_porta)
        perdita(StatoTelefono::NonConnesso, perche);
    return perche;
}

bool LineaTelefono::chiudi()
{
    if (!m_occupataDa.isEmpty())
        return false;
    chiudiSeriale();
    return true;
}

QStringList LineaTelefono::prova(const QList<int>& porte)
{
    Sessione s = prendi(QStringLiteral("Verifica delle porte"));
    if (!s.valida())
        return {};
    QStringList righe;
    m_inProva = true;
    for (const int porta : porte) {
        QString esito = s.apri(porta);
        if (esito.isEmpty()) {
            const RispostaModem r = scambia(ComandoIndicazioni, 4s);
            esito = r.ok() ? QStringLiteral("TELEFONO RILEVATO ALLA PORTA COM%1").arg(porta)
                           : QStringLiteral("Telefono non rilevato alla porta COM%1").arg(porta);
        }
        righe << esito;
    }
    m_inProva = false;
    // Back to the handset: the console goes on listening while the operator
    // reads the report.
    s.apri(m_porta);
    return righe;
}

QByteArray LineaTelefono::leggiTutto()
{
    if (!m_seriale.isOpen())
        return {};
    QByteArray letto = m_seriale.readAll();
    // What the driver holds but Qt has not fetched yet comes too: it is read,
    // not discarded, because a "+CMTI:" in it is the only news of a message.
    while (m_seriale.isOpen() && m_seriale.waitForReadyRead(0))
        letto += m_seriale.readAll();
    return letto;
}

bool LineaTelefono::svuota()
{
    // While the line is held its holder reads it: a reply is not news.
    if (!m_occupataDa.isEmpty())
        return false;
    return notaIndicazioni(leggiTutto());
}

void LineaTelefono::segnalaMessaggi()
{
    m_messaggiInAttesa = true;
    emit notizia();
}

// Looks for "+CMTI:" in what was read, together with the tail of the previous
// read, so an indication split across two reads is seen too.
bool LineaTelefono::notaIndicazioni(const QByteArray& letto)
{
    const QByteArray insieme = m_codaLinea + letto;
    const bool trovata = insieme.contains(kIndicazione);
    m_codaLinea = trovata ? QByteArray() : insieme.right(kIndicazione.size() - 1);
    if (trovata)
        segnalaMessaggi();
    return trovata;
}

// Runs the event loop until `completo` holds for what the line delivered,
// the limit passes, the line has been silent for `silenzio` (when given),
// the line closes or `annullato` says so. Sleeps in between: woken by the
// port's readyRead, by a timer at the next limit and, for the cancel,
// every time the event loop has handled its events.
QString LineaTelefono::raccogli(std::chrono::milliseconds durata, const std::function<bool(const QString&)>& completo,
                                std::chrono::milliseconds silenzio, const std::function<bool()>& annullato)
{
    QString ricevuto;
    if (!m_seriale.isOpen())
        return ricevuto;
    const QDeadlineTimer scadenza(durata, Qt::PreciseTimer);
    const bool conQuiete = silenzio.count() > 0;
    QDeadlineTimer quiete(conQuiete ? silenzio : durata, Qt::PreciseTimer);

    auto leggi = [&] {
        if (!m_seriale.isOpen())
            return;
        const QByteArray nuovi = m_seriale.readAll();
        if (!nuovi.isEmpty()) {
            ricevuto += QString::fromLatin1(nuovi);
            if (conQuiete)
                quiete.setRemainingTime(silenzio, Qt::PreciseTimer);
        }
    };
    auto finita = [&] {
        return completo(ricevuto) || scadenza.hasExpired() || quiete.hasExpired() || (annullato && annullato())
            || !m_seriale.isOpen();
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
    connect(&sveglia, &QTimer::timeout, &ciclo, passo);
    connect(&m_seriale, &QIODevice::readyRead, &ciclo, passo);
    connect(&m_seriale, &QIODevice::aboutToClose, &ciclo, [&] {
        leggi();
        ciclo.quit();
    });
    if (annullato) {
        if (auto* d = QAbstractEventDispatcher::instance())
            connect(d, &QAbstractEventDispatcher::aboutToBlock, &ciclo, passo);
    }
    riarma();
    ciclo.exec();
    return ricevuto;
}

RispostaModem LineaTelefono::scambia(const QString& comandoScritto, std::chrono::milliseconds silenzio)
{
    notaIndicazioni(leggiTutto());
    const QString comando = comandoScritto.trimmed();
    m_comandoInCorso = comando;
    if (m_seriale.isOpen()) {
        m_seriale.write(comandoScritto.toLatin1() + '\r');
        // Out now, not at the next pass of the event loop: a command must not
        // sit in Qt's buffer behind a discard or ahead of the next command.
        m_seriale.flush();
    }
    const int eco = m_eco;
    Analisi a;
    const QString ricevuto = raccogli(
        DurataMassima,
        [&](const QString& r) {
            a = AnalizzaRisposta(comando, r, eco);
            return a.completa;
        },
        silenzio);
    a = AnalizzaRisposta(comando, ricevuto, eco);
    m_comandoInCorso.clear();
    m_codaLinea = ricevuto.right(kIndicazione.size() - 1).toLatin1();
    if (a.completa) {
        // Learnt from a whole reply: whether the handset echoes. An "ATE0"
        // answered "OK" turns it off whatever was seen.
        m_eco = (comando.compare(QLatin1String("ATE0"), Qt::CaseInsensitive) == 0 && a.risposta.ok())
                    ? 0
                    : int(a.ecoTrovata);
    }
    a.risposta.chiusa = !m_seriale.isOpen();
    if (a.indicazione)
        segnalaMessaggi();
    if (!a.risposta.chiusa && !m_inProva)
        esitoScambio(a.risposta.muta);
    return a.risposta;
}

void LineaTelefono::esitoScambio(bool muta)
{
    if (!muta) {
        m_scambiMuti = 0;
        ritorno();
        return;
    }
    // A handset already lost that still does not answer: the line is closed,
    // so whoever comes next (the watch, a cycle) opens it afresh, on whatever
    // device the configured name leads to by then.
    if (m_stato != StatoTelefono::Connesso) {
        chiudiSeriale();
        return;
    }
    if (portaCambiata()) {
        chiudiSeriale();
        perdita(StatoTelefono::NonConnesso,
                QStringLiteral("Il telefono della porta COM%1 è stato scollegato.").arg(m_porta));
        return;
    }
    if (++m_scambiMuti >= kScambiMutiMassimi)
        perdita(StatoTelefono::NonRisponde, QStringLiteral("Il telefono della porta COM%1 non risponde.").arg(m_porta));
}

void LineaTelefono::erroreSeriale(QSerialPort::SerialPortError e)
{
    if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError)
        return;
    if (!m_seriale.isOpen())
        return;
    m_seriale.close();
    m_percorso.clear();
    if (!m_inProva)
        perdita(StatoTelefono::NonConnesso,
                QStringLiteral("Il telefono della porta COM%1 è stato scollegato.").arg(m_porta));
}

// Evidence that the open device is no longer the handset's: the configured
// name leads nowhere now, or to another device (an adapter plugged back in,
// a link that follows it). Enumeration is no evidence: a pseudo-terminal or
// a stable link such as /dev/serial/by-id/... is never listed by it.
bool LineaTelefono::portaCambiata() const
{
    if (!m_seriale.isOpen() || m_percorso.isEmpty())
        return false;
    return QFileInfo(m_dispositivo(m_porta)).canonicalFilePath() != m_percorso || !QFileInfo::exists(m_percorso);
}

void LineaTelefono::perdita(StatoTelefono nuovo, const QString& motivo)
{
    // Going on from "not answering" to "not connected" shows on the strip,
    // but is one loss: the operator is told once.
    if (nuovo == m_stato || (nuovo == StatoTelefono::NonRisponde && m_stato != StatoTelefono::Connesso))
        return;
    const bool eraBuono = m_stato == StatoTelefono::Connesso;
    m_stato = nuovo;
    emit statoCambiato(nuovo);
    if (eraBuono)
        emit persa(motivo);
}

void LineaTelefono::ritorno()
{
    if (m_stato == StatoTelefono::Connesso)
        return;
    m_stato = StatoTelefono::Connesso;
    m_scambiMuti = 0;
    emit statoCambiato(m_stato);
    emit tornata();
}

QString LineaTelefono::testoStato(StatoTelefono stato)
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

void LineaTelefono::sorveglia(int porta, std::chrono::milliseconds intervallo)
{
    m_scambiMuti = 0;
    m_porta = porta;
    apri(porta);
    m_controllo.setInterval(intervallo);
    m_controllo.start();
    emit statoCambiato(m_stato); // the strip shows the state from the first moment
}

void LineaTelefono::controlla()
{
    // Someone holds the line (a cycle, a call, a probe, this very check).
    Sessione s = prendi(QStringLiteral("Controllo del telefono"));
    if (!s.valida())
        return;
    if (m_stato == StatoTelefono::Connesso) {
        if (portaCambiata()) {
            // The name leads to another device now: the handset was pulled
            // out and plugged back. Lost, and taken up again below.
            chiudiSeriale();
            perdita(StatoTelefono::NonConnesso,
                    QStringLiteral("Il telefono della porta COM%1 è stato scollegato.").arg(m_porta));
        } else if (!m_seriale.isOpen()) {
            // Closed by someone (a port change that failed): opened again quietly.
            s.apri(m_porta); // a failure is the handset lost
            return;
        } else {
            return;
        }
    }
    // Reopened every time: the configured name may lead to a new device now.
    // An open port is not yet a handset: it must answer "AT" to count as back.
    if (!s.apri(m_porta).isEmpty())
        return;
    s.scambia(QStringLiteral("AT"), 2s); // an answer brings the handset back
}

std::chrono::milliseconds DurataAttesa(const QTime& ora, int secondi)
{
    const int ms = ora.isValid() ? ora.msec() : 0;
    const auto arrotondamento = ms >= 500 ? std::chrono::milliseconds(1000 - ms) : -std::chrono::milliseconds(ms);
    return std::chrono::seconds(secondi) + arrotondamento;
}

} // namespace sorvela::modem
