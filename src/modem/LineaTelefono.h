#pragma once
// The line to the GSM handset, and its one owner.
//
// One object holds everything about the line: the serial port and what it
// has read, whether the handset echoes, the command whose reply is due, the
// exchanges in a row that got nothing back, the news of waiting messages and
// who holds the line. Everything that opens, closes, probes or talks to the
// handset goes through it, and it refuses whoever comes while another holds
// the line, saying who does: two holders would take each other's replies.
//
// Port numbers: port N is "COM" + N in every text, and names the device that
// the function given at construction returns for N (the settings' mapping).
//
// The object shows nothing to the operator: it returns what happened and
// emits what it learnt (a message announced, the handset lost, the handset
// back); the caller decides what to tell. It has no widgets and depends on
// nothing but Qt Core and Serial Port, so it can live in a thread or a
// program of its own. Its waits run a local event loop of the thread it lives
// in, so that thread's timers and windows keep working meanwhile; a wait
// sleeps until the port has data or its limit passes.

#include "modem/Scambio.h"

#include <QDateTime>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>

namespace sorvela::modem {

enum class StatoTelefono {
    Connesso,    // open and answering, or nothing known to be wrong yet
    NonConnesso, // the port will not open, or its device went away
    NonRisponde, // open, but three exchanges in a row got nothing back
};

class LineaTelefono;

// The line held for a run of commands (a retrieval cycle, a call, a probe).
// Made by LineaTelefono::prendi; while it lives nobody else may talk to the
// handset, open or close the port. When the line was already held the
// session is not valid, takes nothing and does nothing.
class Sessione {
public:
    Sessione(Sessione&& altra) noexcept;
    ~Sessione();
    Sessione(const Sessione&) = delete;
    Sessione& operator=(const Sessione&) = delete;
    Sessione& operator=(Sessione&&) = delete;

    bool valida() const { return m_linea != nullptr; }
    // Who holds the line: this session's holder when valid, the other one when not.
    QString chi() const { return m_chi; }

    // The one exchange: drains what the line holds (a "+CMTI:" in it is news),
    // writes `comando` and CR, and collects the command's own reply until its
    // final result, a silence of `silenzio` or two minutes in all (see
    // Scambio.h). Every command waits for its reply this way, so no reply is
    // ever left on the line for the next command.
    RispostaModem scambia(const QString& comando, std::chrono::milliseconds silenzio = SilenzioMassimo);

    // Collects what arrives until it contains `atteso`, `durata` passes or
    // `annullato` says so (checked whenever the event loop has run). True
    // when `atteso` came. A "+CMTI:" among it is news.
    bool attendi(const QString& atteso, std::chrono::milliseconds durata, const std::function<bool()>& annullato = {});

    // After an exchange that timed out with something on the line: lets the
    // abandoned reply run out, sends "AT" and waits for its own "OK". True
    // when the handset answered.
    bool rimettiInPasso();

    // Opens port `porta` for this session (closing the line first); empty
    // when open, otherwise the reason in the operator's words.
    QString apri(int porta);
    void chiudi();

    LineaTelefono& linea() const { return *m_linea; }

private:
    friend class LineaTelefono;
    Sessione(LineaTelefono* linea, QString chi) : m_linea(linea), m_chi(std::move(chi)) {}
    LineaTelefono* m_linea;
    QString m_chi;
};

class LineaTelefono : public QObject {
    Q_OBJECT
public:
    using Dispositivo = std::function<QString(int porta)>;
    explicit LineaTelefono(Dispositivo dispositivo, QObject* genitore = nullptr);
    ~LineaTelefono() override;

    // --- the port
    // The port the handset hangs on: what `apri` last opened, and what the
    // watch reopens.
    int porta() const { return m_porta; }
    bool aperta() const { return m_seriale.isOpen(); }
    // Opens `porta` (closing the line first) and, when it opens, makes it the
    // handset's port; empty when open, otherwise the reason ("COM<n> non è
    // una porta valida.", "La porta COM<n> non è disponibile.", the system's
    // console, or the line busy, when nothing is done). The handset's own
    // port that does not open is the handset lost.
    QString apri(int porta);
    // Closes the line; false (and nothing done) while another holds it.
    bool chiudi();
    // Probes each of `porte` for a handset without making it the handset's
    // port: opens it and asks for new-message indications; the handset's
    // port is opened again afterwards. One report line a port: "TELEFONO
    // RILEVATO ALLA PORTA COM<n>", "Telefono non rilevato alla porta COM<n>"
    // or why the port did not open. Empty when the line is held (see
    // occupataDa()): a probe would take the holder's replies.
    QStringList prova(const QList<int>& porte);

    // --- holding the line
    Sessione prendi(const QString& chi);
    // Who holds the line now; empty when free.
    QString occupataDa() const { return m_occupataDa; }
    // "Il telefono è impegnato (<who>).": what a refused caller says.
    QString testoOccupata() const;

    // --- news
    // Takes what the line holds, only to look for a "+CMTI:" (the tick does
    // this every second); nothing while the line is held, as its holder
    // reads it. True when it saw one.
    bool svuota();
    // Looks at what arrives on a free line as it arrives, not only when
    // svuota() is called: an indication is news at once.
    void ascoltaSempre(bool si) { m_ascolto = si; }
    // A new-message indication seen and not yet served by a retrieval.
    bool messaggiInAttesa() const { return m_messaggiInAttesa; }
    void segnalaMessaggi();
    // A retrieval takes the news it is about to serve.
    void prendiNotizia() { m_messaggiInAttesa = false; }
    // Messages left in the handset by a fault: read again from then on.
    QDateTime riprovaLettura() const { return m_riprovaLettura; }
    void setRiprovaLettura(const QDateTime& quando) { m_riprovaLettura = quando; }

    // --- the watch
    StatoTelefono stato() const { return m_stato; }
    // "connesso", "non connesso", "non risponde": what the strip shows.
    static QString testoStato(StatoTelefono stato);
    // Opens the handset's port (no exchange) and checks the line every
    // `intervallo` from then on: a lost handset is reopened and must answer
    // "AT" to count as back; a line that leads elsewhere is lost.
    void sorveglia(int porta, std::chrono::milliseconds intervallo = std::chrono::seconds(10));
    void fermaSorveglianza() { m_controllo.stop(); }
    // Once, now: the periodic check (tests call it instead of waiting).
    void controlla();

    // The serial port itself, for tests that look at its settings.
    const QSerialPort& seriale() const { return m_seriale; }
    // What the system said when the port was last refused as in use by
    // another program (empty when it was not): for the log, not the operator.
    QString dettaglioRifiuto() const { return m_dettaglioRifiuto; }

signals:
    // A new-message indication arrived.
    void notizia();
    // The handset has just been lost; `motivo` in the operator's words.
    void persa(const QString& motivo);
    // The handset answers again after a loss: messages may be waiting in it.
    void tornata();
    void statoCambiato(sorvela::modem::StatoTelefono stato);

private:
    friend class Sessione;
    enum class Apertura { Aperta, NonValida, NonDisponibile, ConsoleDiSistema, AltroErrore };

    Apertura apriSeriale(int porta);
    QString motivo(Apertura a, int porta) const;
    void chiudiSeriale();
    void rilascia() { m_occupataDa.clear(); }
    QString raccogli(std::chrono::milliseconds durata, const std::function<bool(const QString&)>& completo,
                     std::chrono::milliseconds silenzio, const std::function<bool()>& annullato = {});
    bool notaIndicazioni(const QByteArray& letto);
    QByteArray leggiTutto();
    RispostaModem scambia(const QString& comando, std::chrono::milliseconds silenzio);
    void esitoScambio(bool muta);
    void perdita(StatoTelefono nuovo, const QString& motivo);
    void ritorno();
    void erroreSeriale(QSerialPort::SerialPortError e);
    // The handset's port no longer leads to the device that is open.
    bool portaCambiata() const;

    Dispositivo m_dispositivo;
    QSerialPort m_seriale;
    QString m_percorso;            // the device open, as its canonical path
    QString m_dettaglioRifiuto;
    int m_porta = 1;
    QString m_occupataDa;
    bool m_inProva = false;
    bool m_ascolto = false;        // free-line bytes are read as they arrive        // a probe has the port: its failures lose no handset

    QString m_comandoInCorso;      // last command written, its reply still due
    int m_eco = -1;                // the handset echoes: -1 not known, 0 no, 1 yes
    int m_scambiMuti = 0;          // exchanges in a row that got nothing back
    QByteArray m_codaLinea;        // the last bytes read, so an indication split across reads is seen
    bool m_messaggiInAttesa = false;
    QDateTime m_riprovaLettura;

    StatoTelefono m_stato = StatoTelefono::Connesso;
    QTimer m_controllo;
};

// How long a wait of `secondi` started at `oraDelGiorno` really lasts: a wait
// counts from the time of day rounded to the whole second and goes on while
// the clock is at most start + secondi, so a 4 s wait started at x.6 lasts
// 4.4 s and one started at x.4 lasts 3.6 s.
std::chrono::milliseconds DurataAttesa(const QTime& oraDelGiorno, int secondi);

} // namespace sorvela::modem
