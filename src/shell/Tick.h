#pragma once
// The console's only scheduler: one step a second, driven by the main
// window's `Timer1`. Each step keeps the new-events display current (count,
// alert, queue window, subscriber window), shows the clock, watches the line
// for the handset's "+CMTI:" new-message indication and, in every ten-minute
// slot, starts the periodic jobs 5 s (fallback retrieval), 10 s (pending
// interrogations), 15 s (polling) and 20 s (SIM expiry) after the slot's start
// by the clock: each once per slot, in that order, a late one as soon as the
// one before it has ended.
//
// Everything the step reaches outside itself goes through `Collegamenti`:
// the main window connects its windows and the subsystems' routines, tests
// connect recorders. A hook left empty does nothing. `passo()` runs one whole
// step and is what the timer calls; tests call it directly with a virtual
// clock, so hours of console life take milliseconds.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>

namespace sorvela {

struct Contesto;
class MDIForm1;
namespace store { class RecordSet; }

class Tick : public QObject {
    Q_OBJECT
public:
    struct Collegamenti {
        // The alert sound.
        std::function<void()> suonaAllarme;
        // Loads "Eventi nuovi"; called only when it is not open.
        std::function<void()> apriCoda;
        // Refills the open queue window from the open `Coda Query` set (and
        // closes the set); false when there is no queue window to fill.
        std::function<bool(store::RecordSet&)> riempiCoda;
        // The queue window's argument-less window operation: brought forward.
        std::function<void()> portaCodaInPrimoPiano;
        // The subscriber window's code field `Codice` and its refresh on new
        // events, which reads its history again and leaves its fields alone.
        std::function<QString()> codiceAnagrafica;
        std::function<void()> ricaricaAnagrafica;
        // The status strip: `Picture2`(1) and `Picture2`(4).
        std::function<void(const QString&)> stampaConteggio;
        std::function<void(const QString&)> stampaOra;

        // The jobs the tick starts.
        std::function<void()> LetturaMessaggi;
        std::function<void()> ControllaInterrogazioni;
        std::function<void()> InterrogaPeriferiche;
        std::function<void()> ControllaScadenzeSim;
    };

    explicit Tick(Contesto& ctx, QObject* genitore = nullptr);
    Tick(Contesto& ctx, Collegamenti collegamenti, QObject* genitore = nullptr);

    Collegamenti& collegamenti() { return m_k; }

    // One tick, every step in order. Re-entry (from an event loop running
    // inside a job) is refused.
    void passo();

    // A step is running (its jobs' waits run the event loop).
    bool inCorso() const { return m_inCorso; }

    qint16 Secondi() const { return m_secondi; }
    qint16 Minuto() const { return m_minuto; }

    static inline const QString EtichettaConteggio = QStringLiteral("Numero eventi nuovi: ");

private:
    void controllaEventiNuovi();
    void mostraOra(const QTime& ora);
    // True when it ran a retrieval cycle.
    bool sorvegliaLinea();
    void lavoriDelTurno(bool letturaFatta);
    static QDateTime inizioTurno(const QDateTime& t);
    void esegui(const std::function<void()>& lavoro);
    void segnalaErrore(const QString& testo);

    Contesto& m_ctx;
    Collegamenti m_k;
    qint16 m_secondi = 0;
    qint16 m_minuto = 0;
    QDateTime m_turno;  // start of the ten-minute slot whose jobs are under way
    int m_prossimo = 0; // the next of that slot's jobs
    // Highest event ID the queue has been refreshed with, and the highest
    // ever seen: an event newer than any seen always sounds and refreshes,
    // even when archiving in the meantime left the count where it was.
    qint64 m_ultimoIdCoda = 0;
    qint64 m_ultimoIdVisto = 0;
    QString m_ultimoErrore;
    bool m_inCorso = false;
};

// The hooks onto the main window's own parts: its alert, its status strip,
// the queue window "Eventi nuovi" (opened as the menu opens it) and the
// subscriber window. The jobs are left for the caller to connect.
Tick::Collegamenti collegamentiFinestraPrincipale(MDIForm1& m);

} // namespace sorvela
