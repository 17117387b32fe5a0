#pragma once
// The receiver of the alarms: the one component that talks to the handset.
// It owns the line and its watch, the retrieval cycle with the registration,
// the calls, the pending interrogations, the polling and SIM-expiry jobs, its
// own database connection and its own scheduler, and no widget. It runs on a
// thread of the console (the default) or as sorvela-ricevitore, and in both
// cases meets the desks only through the database: its state row rewritten
// every 2 seconds, the desks' requests served in order, and what it has to
// tell the operators written as notices (see Sportello.h).
//
// On a file, one receiver per database: the first takes a lock beside the
// database file (the system lets it go when the process dies, however it
// dies); a second one refuses to start and says which process holds it.
//
// On a server a centre may run several, each with its own handset and its own
// name (one receiver per name, by the server's lock). Each reads its own
// handset all the time and serves the requests addressed to it or to anyone;
// one of them at a time, the one holding the server's lock "sorvela.capo",
// runs the centre's ten-minute jobs (interrogations, polling, SIM expiry).
// A receiver that is not the leader tries to become it every second, so the
// jobs pass on within seconds of the leader's connection ending; a job is
// recorded in LavoriCentro with its slot before it runs, and runs only if no
// receiver has run it in that slot.
//
// Everything is made by avvia(), on the thread the receiver lives in, so the
// serial port and the timers belong to that thread. Its waits run that
// thread's event loop, where the requests are still looked at: an "annulla"
// stops the wait in progress.

#include "platform/Contesto.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <memory>

class QTimer;

namespace sorvela {
class Orologio;
class Preferenze;
namespace store { class Database; class ErroreDatabase; }
namespace modem { class CicloLettura; class LineaTelefono; struct RiepilogoLettura; }
}

Q_DECLARE_LOGGING_CATEGORY(lcRicevitore)

namespace sorvela::ricevitore {

class Turni;
class MessaggiRicevitore;
class AvanzamentoRicevitore;

struct Configurazione {
    QString cartellaDati;         // Sorvela.db, and the lock beside it
    QString urlDatabase;          // a PostgreSQL server instead of Sorvela.db; empty: the file
    QString fileImpostazioni;     // Sorvela.ini; empty: the user's own
    Orologio* orologio = nullptr; // null: the real clock
    QString programma = QStringLiteral("sorvela"); // who runs it, as the desks are told
    QString nome;                 // among the centre's receivers; empty: [Ricevitore] Nome
};

class Ricevitore : public QObject {
    Q_OBJECT
public:
    explicit Ricevitore(Configurazione conf, QObject* genitore = nullptr);
    ~Ricevitore() override;

    // Opens the database, takes the lock, writes its state, opens the
    // handset's port and starts its timers. Empty when it runs; otherwise why
    // it does not, in the operator's words, and nothing is left running.
    QString avvia();
    // Stops taking new work, lets the exchange in progress end, closes the
    // line, takes its state row down and lets the lock go; then `fermato`.
    void ferma();
    bool inFunzione() const { return m_inFunzione; }
    // The line has settled after the start (two seconds): the first cycle
    // has been asked for and requests are served.
    bool assestato() const { return m_assestato; }

    // One step of the scheduler, one look at the requests, one heartbeat: the
    // timers call them; tests call them on a virtual clock.
    void passo();
    void serviRichieste();
    void serviAnnullamenti();
    void scriviStato();

    // Whether a cycle, a call, a probe or a request holds the receiver.
    bool occupato() const;
    // This receiver runs the centre's ten-minute jobs.
    bool capo() const { return m_capo; }
    QString nome() const { return m_nome; }
    // Looks whether this receiver leads (taking the lead when it is free):
    // each step does it first.
    void controllaCapo();

    modem::LineaTelefono& linea() { return *m_linea; }
    Contesto& contesto() { return m_ctx; }
    Turni& turni() { return *m_turni; }

    // The lock file beside the database.
    static QString fileBlocco(const QString& cartellaDati);

signals:
    // Its state, its notices or the events changed: a desk in the same
    // program refreshes at once instead of at its next second.
    void cambiato();
    void fermato();

private:
    friend class MessaggiRicevitore;
    friend class AvanzamentoRicevitore;
    struct Richiesta;

    bool prendiBlocco(QString& chi);
    bool prendiBloccoServer(QString& chi);
    void guastoDatabase(const char* cosa, const store::ErroreDatabase& e);
    void lasciaBlocco();
    void lettura();
    void registraRiepilogo(const modem::RiepilogoLettura& r);
    QString servi(const Richiesta& r);
    bool prendiRichiesta(Richiesta& r);
    bool prendiLavoro(const QString& lavoro, const QDateTime& turno);
    bool segna(qint64 id, const QString& stato, const QString& esito);
    void avvisa(const QString& tipo, int icona, const QString& testo, bool allarme = false,
                const QString& codice = {}, const QString& mittente = {});
    void setAttivita(const QString& etichetta);
    void fine();
    // Closes the connection while a desk compacts the file; opens it again after.
    void controllaCompattazione();

    Configurazione m_conf;
    QString m_nome = QStringLiteral("principale");
    QString m_processo;
    QDateTime m_avviato;
    int m_blocco = -1; // descriptor of the locked file
    bool m_databasePerso = false; // the database out of reach, already logged
    bool m_capo = false;
    bool m_seguace = false; // has run as a receiver that does not lead

    Contesto m_ctx;
    std::unique_ptr<Orologio> m_orologioProprio;
    std::unique_ptr<Preferenze> m_pref;
    std::unique_ptr<store::Database> m_db;
    std::unique_ptr<MessaggiRicevitore> m_messaggi;
    std::unique_ptr<AvanzamentoRicevitore> m_avanzamento;
    modem::LineaTelefono* m_linea = nullptr;
    std::unique_ptr<modem::CicloLettura> m_ciclo;
    std::unique_ptr<Turni> m_turni;
    QTimer* m_passo = nullptr;
    QTimer* m_richieste = nullptr;
    QTimer* m_annullamenti = nullptr;
    QTimer* m_battito = nullptr;

    QString m_attivita;
    bool m_inFunzione = false;
    bool m_fermando = false;
    bool m_inLettura = false;
    bool m_inRichiesta = false;
    bool m_inServizio = false;
    bool m_sospeso = false;
    bool m_assestato = false; // the line has settled after the start
    QElapsedTimer m_sospesoDa;
};

} // namespace sorvela::ricevitore
