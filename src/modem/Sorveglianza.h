#pragma once
// Watches the handset for the whole run. A console that cannot hear its
// handset hears no alarm, so losing it is itself an alarm: the operator is
// told once (a notice that does not wait for OK, and the alert sound), the
// status strip shows the state at all times, and the configured port is tried
// again every ten seconds without any box until the handset is back, when a
// retrieval cycle is asked for at once (messages may have arrived meanwhile).
//
// The handset is lost when its port cannot be opened (missing, held by
// another program, the system's console), when the device goes away while
// open (a USB adapter pulled out: read error, end of file, hang-up), or when
// three exchanges in a row got nothing back ("not answering").
//
// One object per console, made by the main window and published in
// Contesto::sorveglianza; the exchanges report to it.

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace sorvela {
struct Contesto;
}

namespace sorvela::modem {

enum class StatoTelefono { Connesso, NonConnesso, NonRisponde };

class SorveglianzaTelefono : public QObject {
    Q_OBJECT
public:
    explicit SorveglianzaTelefono(Contesto& c, QObject* genitore = nullptr);
    ~SorveglianzaTelefono() override;

    // Opens the configured port, with no box whatever happens, and starts
    // the periodic check. The console's window and tick do not wait for it.
    void avvia();

    StatoTelefono stato() const { return m_stato; }
    // "connesso", "non connesso", "non risponde": what the strip shows.
    static QString testoStato(StatoTelefono stato);

    // The period of the retries (ten seconds).
    void setIntervallo(std::chrono::milliseconds intervallo);

    // Reports from the exchanges and from the openings of the port.
    void scambioRiuscito();
    void scambioMuto();
    void lineaPersa(const QString& motivo);

    // Once, now: the periodic check (tests call it instead of waiting).
    void controlla();

signals:
    void statoCambiato(sorvela::modem::StatoTelefono stato);
    // The handset has just been lost: the alert is due.
    void perso();
    // The handset is back: messages may be waiting in it.
    void ritornato();

private:
    void cambia(StatoTelefono nuovo, const QString& motivo);
    void collegaLinea();
    bool dispositivoSparito();

    Contesto& m_c;
    QTimer m_timer;
    // Nothing is known to be wrong until the first opening says otherwise.
    StatoTelefono m_stato = StatoTelefono::Connesso;
    bool m_inControllo = false;
};

} // namespace sorvela::modem
