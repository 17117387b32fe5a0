// sorvela-sim: a GSM handset in PDU mode on a pseudo-terminal, for the tests,
// the benchmarks and the demo. The handset itself is Telefono; this file owns
// the pseudo-terminal, the pacing at the line rate, the control sources
// (standard input and an optional control file) and the options.

#include "Telefono.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using sorvela::sim::Telefono;

namespace {

// Whether a serial port lock file names `terminale` ("/dev/pts/5" is
// "LCK..pts_5") for a process still alive.
bool bloccatoDaAltri(const QString& terminale)
{
    const QString nome = QStringLiteral("LCK..") + terminale.mid(5).replace(u'/', u'_');
    for (const char* cartella : {"/run/lock/", "/var/lock/", "/tmp/"}) {
        QFile f(QString::fromLatin1(cartella) + nome);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const pid_t pid = pid_t(f.readLine().trimmed().toLong(&ok));
        if (ok && pid > 0 && pid != ::getpid() && (::kill(pid, 0) == 0 || errno == EPERM))
            return true;
    }
    return false;
}

const char* const kAiuto = R"(Usage: sorvela-sim [OPTIONS]

A simulated GSM handset in PDU mode on a pseudo-terminal. The first line on
standard output is the path of the terminal to open (19200 8N1).

Options:
  --help               this text
  --first-index N      index of the first message slot (default 1)
  --capacity N         number of message slots (default 10)
  --pace               send at the real line rate (19200 baud, 1920 bytes/s)
  --pace-rate BPS      send at BPS bytes a second (a slow line)
  --delay-nocarrier MS delay between accepting a voice call and NO CARRIER
                       (default 3000)
  --control FILE       also read control commands from FILE, following it as
                       lines are appended (like tail -f)
  --link PATH          make PATH a symbolic link to the terminal (replaced if
                       it exists, removed at exit)
  --trace              write every AT command and reply to standard error
  --no-stdin           do not read control commands from standard input

Control commands, one per line, from standard input or the control file. Each
prints one final line on standard output: "ok ..." or "error: ...".
  sms NUMBER TEXT       a message from NUMBER arrives: stored unread and
                        announced with +CMTI: "SM",<index>
  store NUMBER TEXT     stored unread without announcement
  put INDEX STAT NUMBER TEXT
                        stored at INDEX (any index, even outside the store)
                        with STAT 0 (unread) or 1 (read)
  unit NUMBER MS TEXT   a unit at NUMBER: when the console dials it, it sends
                        TEXT by SMS MS milliseconds later
  unit NUMBER none      forget that unit
  fault silent          no echo, no reply, no announcement (handset off)
  fault error           every AT command answers ERROR
  fault truncate        replies stop half-way, without their final result
  fault unplug [MS]     the terminal is closed (cable pulled out); with MS it
                        is plugged back after MS milliseconds, as fault none
  fault none            normal again; after unplug a new terminal is made and
                        its path printed after "ok "
  on PREFIX [amid] COMMAND
                        when the next AT command starting with PREFIX arrives
                        (e.g. AT+CMGR=2), run the control COMMAND first, or
                        with "amid" half-way through writing its reply (a
                        message arriving then has its +CMTI inside the reply).
                        Fires once; its output is not printed. Of several
                        pending, the first given that matches fires.
  dial ok|busy|nocarrier|error
                        how a voice dial is answered: accepted (the default)
                        or refused at once with BUSY, NO CARRIER or ERROR
  pace on|off|BPS       pacing at the line rate, off, or BPS bytes a second
  urc pdu|ok LINE       every read reply gets LINE slipped in, as a network
                        line: half-way through its PDU line (pdu) or between
                        the PDU line and OK (ok)
  urc off               no more slipped lines
  say LINE              the handset sends LINE now, as an unsolicited line
  next cut|twice|late MS
                        the next reply only: cut half-way without its final
                        result, sent twice, or held back MS milliseconds
  slow PREFIX MS        every reply to an AT command starting with PREFIX
                        (e.g. ATH) is sent MS milliseconds late; 0 stops it
  noise random N|nul N|utf8|long N
                        line noise now: N random bytes (any value, the same
                        on every run), N NUL bytes, invalid UTF-8 in a line,
                        or one line of N letters; prints "ok N" (bytes sent)
  putpdu INDEX STAT HEX a message stored at INDEX with STAT 0 or 1, given as
                        its whole PDU in hexadecimal (any coding)
  echo on|off           command echo (the handset starts with echo on)
  delay-nocarrier MS    as the option
  hold qt|excl|off      another program holds the terminal: "qt" opens it as
                        a Qt program would (lock file and TIOCEXCL), "excl"
                        only sets TIOCEXCL, "off" lets it go
  hold release          clear the terminal's exclusive mode, as the kernel
                        does when a killed program's last descriptor closes
  clear                 empty the store
  list                  one line per stored message: INDEX STAT NUMBER TEXT
  history               the command lines received since the last history
  wait MS               hold back the following commands of this source
  quit                  end the program
Blank lines and lines starting with "#" are ignored. Standard input ending
ends the program when it is a pipe (the controlling program has gone).

AT commands understood: AT, ATE0, ATE1, ATZ, ATI, ATH, ATD<number>; (voice:
OK, then NO CARRIER), AT+CNMI=..., AT+CNMI?, AT+CMGF=0, AT+CMGF?,
AT+CMGL[=0..4], AT+CMGR=<i>, AT+CMGD=<i>, AT+CPMS?, AT+CSQ. Anything else
starting with AT answers ERROR; lines not starting with AT are ignored. An
empty or missing slot answers +CMS ERROR: 321.
)";

int g_segnale[2] = {-1, -1};

void allaFirma(int)
{
    const char c = 1;
    [[maybe_unused]] auto r = ::write(g_segnale[1], &c, 1);
}

void stampa(const QString& riga)
{
    std::fputs(qPrintable(riga), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The pseudo-terminal and everything written to it.
class Terminale : public sorvela::sim::Linea {
public:
    explicit Terminale(QString collegamento) : m_collegamento(std::move(collegamento))
    {
        m_orologio.setInterval(10);
        QObject::connect(&m_orologio, &QTimer::timeout, [this] { scarica(); });
    }

    ~Terminale() override
    {
        chiudi();
        if (!m_collegamento.isEmpty() && QFileInfo(m_collegamento).isSymLink())
            QFile::remove(m_collegamento);
    }

    void setTelefono(Telefono* t) { m_telefono = t; }

    QString apri(QString* errore)
    {
        char nome[128];
        // A terminal number the kernel hands out again may still be locked by
        // a program that had it before and has not yet seen it go (a serial
        // port's lock file names the device, not the terminal behind it). A
        // handset plugged in is a device nobody holds: such a number is kept
        // aside, so the kernel gives another, until one is free.
        std::vector<int> scartati;
        const auto fine = qScopeGuard([&scartati] {
            for (const int fd : scartati)
                ::close(fd);
        });
        for (;;) {
            m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
                || ::ptsname_r(m_master, nome, sizeof nome) != 0) {
                *errore =
                    QStringLiteral("cannot create a pseudo-terminal: ") + QString::fromLocal8Bit(std::strerror(errno));
                chiudi();
                return {};
            }
            if (scartati.size() >= 64 || !bloccatoDaAltri(QString::fromLocal8Bit(nome)))
                break;
            scartati.push_back(m_master);
        }
        m_percorso = QString::fromLocal8Bit(nome);
        // Our own descriptor on the terminal keeps it alive while the console
        // closes and reopens it; without it the master reads EIO in between.
        m_slave = ::open(nome, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (m_slave < 0 || ::tcgetattr(m_slave, &t) != 0) {
            *errore = QStringLiteral("cannot open ") + m_percorso;
            chiudi();
            return {};
        }
        // Raw: no echo or line editing by the terminal itself.
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B19200);
        ::cfsetospeed(&t, B19200);
        ::tcsetattr(m_slave, TCSANOW, &t);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

        m_lettura = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
        QObject::connect(m_lettura.get(), &QSocketNotifier::activated, [this] { leggi(); });
        m_scrittura = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
        m_scrittura->setEnabled(false);
        QObject::connect(m_scrittura.get(), &QSocketNotifier::activated, [this] { scarica(); });

        if (!m_collegamento.isEmpty()) {
            const QFileInfo info(m_collegamento);
            if (info.isSymLink() || info.exists())
                QFile::remove(m_collegamento);
            if (::symlink(nome, QFile::encodeName(m_collegamento).constData()) != 0) {
                *errore = QStringLiteral("cannot make the link ") + m_collegamento;
                chiudi();
                return {};
            }
        }
        return m_percorso;
    }

    void chiudi()
    {
        trattieni(QStringLiteral("off"), nullptr);
        m_lettura.reset();
        m_scrittura.reset();
        m_orologio.stop();
        m_coda.clear();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
        m_slave = m_master = -1;
    }

    void scrivi(const QByteArray& dati) override
    {
        if (m_master < 0)
            return;
        m_coda += dati;
        scarica();
    }

    void stacca() override { chiudi(); }

    QString riattacca(QString* errore) override { return apri(errore); }

    void ritmo(int byteAlSecondo) override
    {
        m_ritmo = byteAlSecondo > 0;
        m_velocita = byteAlSecondo;
        m_credito = 0;
        m_ultimo.start();
        scarica();
    }

    bool trattieni(const QString& modo, QString* errore) override
    {
        if (modo == QLatin1String("release")) {
            // The kernel clears a terminal's exclusive mode when its last
            // holder closes it; this program keeps the terminal open, so a
            // console killed while holding it would keep it locked for ever.
            if (m_slave >= 0)
                ::ioctl(m_slave, TIOCNXCL);
            return true;
        }
        if (modo == QLatin1String("off")) {
            m_presaQt.reset();
            if (m_presaEsclusiva >= 0)
                ::close(m_presaEsclusiva);
            m_presaEsclusiva = -1;
            return true;
        }
        if (m_master < 0) {
            *errore = QStringLiteral("no terminal");
            return false;
        }
        if (modo == QLatin1String("qt")) {
            m_presaQt = std::make_unique<QSerialPort>(m_percorso);
            if (!m_presaQt->open(QIODevice::ReadWrite)) {
                *errore = m_presaQt->errorString();
                m_presaQt.reset();
                return false;
            }
            return true;
        }
        if (modo == QLatin1String("excl")) {
            m_presaEsclusiva = ::open(QFile::encodeName(m_percorso).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (m_presaEsclusiva < 0 || ::ioctl(m_presaEsclusiva, TIOCEXCL) != 0) {
                *errore = QString::fromLocal8Bit(std::strerror(errno));
                trattieni(QStringLiteral("off"), nullptr);
                return false;
            }
            return true;
        }
        *errore = QStringLiteral("usage: hold qt|excl|off");
        return false;
    }

private:
    void leggi()
    {
        char buf[512];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0 && m_telefono)
            m_telefono->ricevi(QByteArray(buf, n));
    }

    // Sends what is queued, at the pacing rate when there is one (19200 baud
    // with a start and a stop bit is 1920 bytes a second).
    void scarica()
    {
        if (m_master < 0 || m_coda.isEmpty()) {
            m_orologio.stop();
            if (m_scrittura)
                m_scrittura->setEnabled(false);
            return;
        }
        qsizetype quanti = m_coda.size();
        if (m_ritmo) {
            m_credito += double(m_ultimo.restart()) * m_velocita / 1000.0;
            m_credito = std::min(m_credito, 64.0);
            quanti = std::min<qsizetype>(quanti, qsizetype(m_credito));
            if (!m_orologio.isActive())
                m_orologio.start();
        }
        if (quanti > 0) {
            const ssize_t n = ::write(m_master, m_coda.constData(), size_t(quanti));
            if (n > 0) {
                m_coda.remove(0, n);
                if (m_ritmo)
                    m_credito -= double(n);
            }
        }
        // A full terminal buffer (nobody reading) waits for room.
        if (m_scrittura)
            m_scrittura->setEnabled(!m_ritmo && !m_coda.isEmpty());
        if (m_coda.isEmpty())
            m_orologio.stop();
    }

    QString m_collegamento;
    QString m_percorso;
    int m_master = -1;
    int m_slave = -1;
    std::unique_ptr<QSocketNotifier> m_lettura;
    std::unique_ptr<QSocketNotifier> m_scrittura;
    Telefono* m_telefono = nullptr;
    QByteArray m_coda;
    bool m_ritmo = false;
    int m_velocita = 0; // bytes a second when pacing
    double m_credito = 0;
    QElapsedTimer m_ultimo;
    QTimer m_orologio;
    std::unique_ptr<QSerialPort> m_presaQt;
    int m_presaEsclusiva = -1;
};

// One source of control commands: its lines run in order, "wait" holding back
// those after it.
class Sorgente {
public:
    explicit Sorgente(Telefono& t) : m_telefono(t) {}

    void aggiungi(const QByteArray& dati)
    {
        m_parziale += dati;
        qsizetype fine;
        while ((fine = m_parziale.indexOf('\n')) >= 0) {
            m_righe.push_back(QString::fromUtf8(m_parziale.left(fine)));
            m_parziale.remove(0, fine + 1);
        }
        avanza();
    }

private:
    void avanza()
    {
        while (!m_inAttesa && !m_righe.empty()) {
            const QString riga = m_righe.front().trimmed();
            m_righe.pop_front();
            if (riga.startsWith(QLatin1String("wait ")) || riga == QLatin1String("wait")) {
                bool ok = false;
                const int ms = riga.mid(5).trimmed().toInt(&ok);
                if (!ok || ms < 0) {
                    stampa(QStringLiteral("error: usage: wait MS"));
                    continue;
                }
                stampa(QStringLiteral("ok"));
                m_inAttesa = true;
                QTimer::singleShot(ms, [this] {
                    m_inAttesa = false;
                    avanza();
                });
                return;
            }
            for (const QString& r : m_telefono.esegui(riga))
                stampa(r);
        }
    }

    Telefono& m_telefono;
    QByteArray m_parziale;
    std::deque<QString> m_righe;
    bool m_inAttesa = false;
};

[[noreturn]] void sbaglio(const QString& m)
{
    std::fprintf(stderr, "sorvela-sim: %s (try --help)\n", qPrintable(m));
    std::exit(2);
}

int numeroOpzione(const QStringList& a, int& i)
{
    if (i + 1 >= a.size())
        sbaglio(a[i] + QStringLiteral(" needs a value"));
    bool ok = false;
    const int v = a[++i].toInt(&ok);
    if (!ok || v < 0)
        sbaglio(a[i - 1] + QStringLiteral(" needs a number, not ") + a[i]);
    return v;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    int primo = 1, capacita = 10, ritardo = 3000, velocita = 1920;
    bool ritmo = false, traccia = false, conStdin = true;
    QString controllo, collegamento;
    for (int i = 1; i < a.size(); ++i) {
        const QString& o = a[i];
        if (o == QLatin1String("--help") || o == QLatin1String("-h")) {
            std::fputs(kAiuto, stdout);
            return 0;
        } else if (o == QLatin1String("--first-index")) {
            primo = numeroOpzione(a, i);
        } else if (o == QLatin1String("--capacity")) {
            capacita = numeroOpzione(a, i);
        } else if (o == QLatin1String("--delay-nocarrier")) {
            ritardo = numeroOpzione(a, i);
        } else if (o == QLatin1String("--pace")) {
            ritmo = true;
        } else if (o == QLatin1String("--pace-rate")) {
            ritmo = true;
            velocita = numeroOpzione(a, i);
            if (velocita < 1)
                sbaglio(QStringLiteral("--pace-rate needs at least 1 byte a second"));
        } else if (o == QLatin1String("--trace")) {
            traccia = true;
        } else if (o == QLatin1String("--no-stdin")) {
            conStdin = false;
        } else if (o == QLatin1String("--control") || o == QLatin1String("--link")) {
            if (i + 1 >= a.size())
                sbaglio(o + QStringLiteral(" needs a path"));
            (o == QLatin1String("--control") ? controllo : collegamento) = a[++i];
        } else {
            sbaglio(QStringLiteral("unknown option ") + o);
        }
    }

    // SIGTERM and SIGINT end the program through the event loop, so that the
    // link is removed; a background job reading a terminal gets EIO, not a stop.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_segnale) != 0)
        sbaglio(QStringLiteral("socketpair failed"));
    std::signal(SIGTERM, allaFirma);
    std::signal(SIGINT, allaFirma);
    std::signal(SIGTTIN, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier segnali(g_segnale[0], QSocketNotifier::Read);
    QObject::connect(&segnali, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    Terminale terminale(collegamento);
    Telefono telefono(terminale, primo, capacita);
    telefono.setRitardoNoCarrier(ritardo);
    telefono.setTraccia(traccia);
    terminale.setTelefono(&telefono);
    QObject::connect(&telefono, &Telefono::fine, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QString errore;
    const QString percorso = terminale.apri(&errore);
    if (percorso.isEmpty()) {
        std::fprintf(stderr, "sorvela-sim: %s\n", qPrintable(errore));
        return 1;
    }
    if (ritmo)
        terminale.ritmo(velocita);
    stampa(percorso);

    Sorgente daStdin(telefono);
    std::unique_ptr<QSocketNotifier> ingresso;
    if (conStdin) {
        struct stat info{};
        const bool tubo = ::fstat(STDIN_FILENO, &info) == 0 && S_ISFIFO(info.st_mode);
        ingresso = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(ingresso.get(), &QSocketNotifier::activated, [&, tubo] {
            char buf[4096];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n > 0) {
                daStdin.aggiungi(QByteArray(buf, n));
                return;
            }
            if (n < 0 && errno == EINTR)
                return;
            ingresso->setEnabled(false);
            if (tubo)
                app.quit();
        });
    }

    // The control file is followed by polling its size: cheap, and it works
    // for files written by editors, shells and other programs alike.
    Sorgente daFile(telefono);
    qint64 letti = 0;
    QTimer sonda;
    if (!controllo.isEmpty()) {
        sonda.setInterval(200);
        auto leggiControllo = [&] {
            QFile f(controllo);
            if (!f.open(QIODevice::ReadOnly))
                return;
            if (f.size() < letti)
                letti = 0; // truncated: start over
            if (f.size() == letti)
                return;
            f.seek(letti);
            const QByteArray nuovi = f.readAll();
            letti += nuovi.size();
            daFile.aggiungi(nuovi);
        };
        QObject::connect(&sonda, &QTimer::timeout, leggiControllo);
        sonda.start();
        leggiControllo();
    }

    return app.exec();
}
