#pragma once
// The desk's one-second step, driven by the main window's `Timer1`: keeps the
// new-events display current (count, alert, queue window, subscriber window)
// and shows the clock. The handset and the ten-minute jobs are the
// receiver's (see receiver/Turni.h): the desk only reads what it wrote.
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
namespace store { class RecordSet; class ErroreDatabase; }

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
    };

    explicit Tick(Contesto& ctx, QObject* genitore = nullptr);
    Tick(Contesto& ctx, Collegamenti collegamenti, QObject* genitore = nullptr);

    Collegamenti& collegamenti() { return m_k; }

    // One tick. Re-entry (from an event loop running inside a window) is refused.
    void passo();
    // Only the new-events check, at once: a server announced a change to the
    // events. Refused, as a tick is, while a tick runs.
    void aggiornaCoda();

    bool inCorso() const { return m_inCorso; }

    qint16 Secondi() const { return m_secondi; }
    // The highest event ID any refresh of the queue has shown.
    qint64 ultimoIdVisto() const { return m_ultimoIdVisto; }
    qint16 Minuto() const { return m_minuto; }

    static inline const QString EtichettaConteggio = QStringLiteral("Numero eventi nuovi: ");

private:
    // Runs `lavoro` unless a step already runs (re-entry is refused).
    template <typename F>
    void senzaRientro(F&& lavoro);
    void controllaEventiNuovi();
    void mostraOra(const QTime& ora);
    void segnalaErrore(const store::ErroreDatabase& e);

    Contesto& m_ctx;
    Collegamenti m_k;
    qint16 m_secondi = 0;
    qint16 m_minuto = 0;
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
// subscriber window.
Tick::Collegamenti collegamentiFinestraPrincipale(MDIForm1& m);

} // namespace sorvela
