#pragma once
// The desk's side of the receiver: what a desk reads of it and asks of it,
// through the database only, so that a desk sees the same whatever runs the
// receiver (a thread of this program, sorvela-ricevitore, another machine).
// Nothing here talks to the handset.

#include <QDateTime>
#include <QList>
#include <QString>

#include <chrono>

namespace sorvela {
struct Contesto;
namespace store { class Database; }
}

namespace sorvela::ricevitore {

// The requests a desk may make ("Richiesta" of RichiesteRicevitore).
inline const QString RichiestaLettura = QStringLiteral("leggi");
inline const QString RichiestaInterrogazione = QStringLiteral("interroga"); // argument: the unit's code
inline const QString RichiestaAnnulla = QStringLiteral("annulla");
inline const QString RichiestaPorta = QStringLiteral("porta");              // argument: the port number
inline const QString RichiestaVerifica = QStringLiteral("verifica");

inline const QString InAttesa = QStringLiteral("in attesa");
inline const QString Servita = QStringLiteral("servita");

// A receiver whose heartbeat is older than this is not running: nobody hears
// the handset. It beats every 2 s, and a desk looks every second, so a
// receiver that died is shown as such at most 30 s after its last beat.
inline constexpr std::chrono::seconds SilenzioMassimo{27};
inline const QString TestoNonAttivo = QStringLiteral("Ricevitore non attivo");
// While this file exists beside the database a desk is compacting it: the
// receiver finishes its exchange, writes TestoSospeso as its activity and
// closes its connection, so the file can be swapped; it opens it again once
// the file is gone (or after ten minutes, if the desk died meanwhile).
QString FileCompattazione(const QString& cartellaDati);
inline const QString TestoSospeso = QStringLiteral("Ricezione sospesa: compattazione del database");

// The kind of a notice that carries a message's report, not a notice.
inline const QString TipoRapporto = QStringLiteral("stato");

struct Stato {
    bool presente = false;   // some receiver has written its row
    QString nome;            // among the centre's receivers
    bool capo = false;       // runs the centre's ten-minute jobs
    QString processo;        // who runs it: program, process, machine
    QDateTime avviato;       // UTC
    QDateTime battito;       // UTC
    int porta = 0;
    QString telefono;        // "connesso", "non connesso", "non risponde"
    QString attivita;        // the cycle or call in progress; empty when none

    // Heard from within SilenzioMassimo of `adessoUtc`.
    bool attivo(const QDateTime& adessoUtc) const;
};

struct Avviso {
    qint64 id = 0;
    QString tipo;
    int icona = 0;          // an Icona
    QString testo;          // empty: the notice of this kind is taken down
    QString codice;         // for a report: the unit ("000000" for nobody)
    QString mittente;       // for a report: the sender's number
    bool allarme = false;   // the alert sounds
};

struct Esito {
    bool servita = false;
    QString testo;          // what the receiver answered; empty when all went well
};

// The receiver's row (of the centre's, the one heard from last); `presente`
// false when none was ever written.
Stato LeggiStato(store::Database& db);
// Every receiver's row, by name.
QList<Stato> LeggiStati(store::Database& db);
// Of those, the one heard from last; `presente` false for none.
Stato PiuRecente(const QList<Stato>& stati);

// The receiver that leads the centre's jobs; empty when none does. A
// receiver killed while leading still says so in its row until its
// heartbeat is too old; the one that took over has written since.
QString Capo(const QList<Stato>& stati, const QDateTime& adessoUtc);

// What a desk's strip says of a centre's receivers: one line for the panel,
// the details for its tooltip, and whether something is wrong (no receiver
// alive, none leading, a handset not connected).
struct Quadro {
    int attivi = 0;
    QString conteggio;   // "Ricevitori: 2 di 2"
    QString guida;       // "guida: principale"
    QString dettaglio;   // one line per receiver
    bool guasto = false;
};
Quadro DescriviRicevitori(const QList<Stato>& stati, const QDateTime& adessoUtc);

// The receiver a desk's request about "its" handset goes to: the living one
// named `preferito` (the desk's [Ricevitore] Nome), else the one heard from
// last. `presente` false when there is none.
Stato RicevitoreDellaPostazione(store::Database& db, const QString& preferito);

// Files a request; its ID. `ricevitore` names the receiver that must serve
// it (the one whose handset it is about); empty: any. Throws
// store::ErroreDatabase.
qint64 Richiedi(store::Database& db, const QString& richiesta, const QString& argomento = {},
                const QString& operatore = {}, const QString& ricevitore = {});
Esito EsitoRichiesta(store::Database& db, qint64 id);

// The notices after `ultimo`, oldest first; the last ID written so far.
QList<Avviso> AvvisiDopo(store::Database& db, qint64 ultimo);
qint64 UltimoAvviso(store::Database& db);

// Waits for request `id` to be served, at most `limite`, running the event
// loop meanwhile (the desk goes on); the answer, or nullopt-like `servita`
// false when the receiver did not answer in time.
Esito AttendiEsito(store::Database& db, qint64 id, std::chrono::milliseconds limite,
                   std::chrono::milliseconds passo = std::chrono::milliseconds(100));

// The button "Interroga adesso" on a desk: the operator is told in a box when
// the code has no stored subscriber or no GSM number (the button would seem
// to do nothing); otherwise the call is asked of the receiver, which records
// the interrogation once the handset accepted it. True when asked.
bool ChiediInterrogazione(Contesto& c, const QString& codice);

} // namespace sorvela::ricevitore
