#pragma once
// Pieces shared by Database.cpp and RecordSet.cpp; not part of the interface
// other folders code against.

#include "store/Database.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

namespace sorvela::store::detail {

[[noreturn]] void lancia(sqlite3* db, int rc, const QString& contesto);
[[noreturn]] void lanciaUso(const QString& messaggio);

// Quotes a name the program has already checked, for use as an identifier.
QString quota(const QString& nome);

// How a column's declared type says its text or integer is to be read.
enum class Tipo { Generico, Data, DataOra, SiNo };
Tipo tipoDichiarato(const char* decltype_);

QVariant perDatabase(const QVariant& v);
QVariant comeLetto(const QVariant& valoreDb, Tipo tipo);
QVariant leggi(sqlite3_stmt* st, int colonna, Tipo tipo);

// A prepared statement that is finalised however the scope is left.
class Istruzione {
public:
    Istruzione(sqlite3* db, const QString& sql);
    ~Istruzione();
    Istruzione(const Istruzione&) = delete;
    Istruzione& operator=(const Istruzione&) = delete;

    sqlite3_stmt* get() const { return m_st; }
    sqlite3_stmt* rilascia();
    // Binds values to the "?" placeholders, as many as there are.
    void lega(const QVariantList& valori);
    bool passo();  // true while there is a row
    void eseguiTutto();

private:
    sqlite3* m_db;
    sqlite3_stmt* m_st = nullptr;
};

void eseguiScript(sqlite3* db, const QString& sql, const QString& contesto);

struct StatoRecordSet;
struct Connessione;

// The PostgreSQL side (Postgres.cpp). Callers' SQL is the same for both
// engines: "?" placeholders, names in double quotes or brackets.
namespace pg {

struct LiberaRisultato {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Risultato = std::unique_ptr<PGresult, LiberaRisultato>;

// True when the text names a server (a libpq URI or a keyword string)
// rather than a SQLite file.
bool eUnServer(const QString& percorso);
// "?" outside quotes and comments becomes $1..$n ("?3" becomes $3), [Name]
// becomes "Name"; `segnaposti` receives n, the highest. A bare word spelled exactly as one of `nomi` (the
// database's tables, views and columns) and holding a capital letter is
// quoted: SQLite keeps `DatiUtente` as written, the server would fold it to
// datiutente, a table that does not exist.
QString traduci(const QString& sql, int* segnaposti = nullptr, const QSet<QString>* nomi = nullptr);
// Reads the names traduci() quotes; again after a statement that changes the
// schema.
void caricaNomi(Connessione& c);
PGconn* connetti(const QString& url);
// The connection text as the operator may read it: libpq's keywords, the
// password left out.
QString descrivi(const QString& url);
// Runs one statement with its values bound as text; throws ErroreDatabase
// with the server's message. Inside a transaction a failed statement undoes
// only itself, as on SQLite.
Risultato esegui(Connessione& c, const QString& sql, const QVariantList& parametri = {});
// A script of several statements, no values (schema, demo data).
void eseguiScript(PGconn* pg, const QString& sql, const QString& contesto);
Tipo tipoColonna(Oid tipo);
QVariant leggi(const PGresult* r, int riga, int colonna);
// The table or view named `nome` (case ignored) in the current schema:
// its type ("table"/"view") and its name as the database spells it.
QString tipoOggetto(Connessione& c, const QString& nome, QString* nomeVero);
QStringList chiavePrimaria(Connessione& c, const QString& tabella);
// Columns that are a whole single-column primary key of a table the view reads.
QStringList chiaviDellaVista(Connessione& c, const QString& vista);
bool inTransazione(PGconn* pg);
void impostaAttesa(Connessione& c, bool nonAttendere);
// BEGIN, COMMIT or ROLLBACK.
void transazione(Connessione& c, const char* comando);
// A session advisory lock on `chiave`, without waiting: false when another
// session holds it.
bool bloccoSessione(PGconn* pg, qint64 chiave);

} // namespace pg

struct Connessione {
    sqlite3* db = nullptr;
    PGconn* pg = nullptr;  // instead of db, on a server
    QString percorso;
    std::vector<StatoRecordSet*> aperti;
    int modificate = 0;          // server: rows the last INSERT/UPDATE/DELETE changed
    bool nonAttendere = false;   // server: lock waits end at once
    QSet<QString> nomi;          // server: names of tables, views and columns
    // server: what record sets asked of the catalog (an object's kind and
    // name, a table's key, a view's keys), kept until the schema changes.
    QHash<QString, QStringList> catalogo;
    // server: keys of the session locks this connection holds (prendiBloccoServer),
    // taken again when a lost connection is opened again.
    QList<qint64> blocchi;
    bool bloccoDaRiprendere = false;
    // server: a lost connection is tried again at once, then after a delay
    // that grows up to a few seconds while the server stays out of reach;
    // meanwhile each call fails at once with the last try's words.
    QDeadlineTimer prossimoTentativo;
    int attesaTentativoMs = 0;
    QString ultimoTentativo;

    bool aperta() const { return db || pg; }
    sqlite3* handleAperto() const;
    PGconn* serverAperto() const;
    void chiudi();
    ~Connessione();
};

struct Riga {
    QVariantList valori;
    QVariant chiave;  // rowid, a view's key; on a server the primary key's values (a list) or the ctid
};

struct StatoRecordSet {
    std::shared_ptr<Connessione> conn;
    sqlite3_stmt* st = nullptr;  // still stepping; null once every row is read
    QString sql;
    // On a server the rows come in one result, turned into values as the
    // cursor reaches them.
    pg::Risultato ris;
    int rigaRis = 0;
    QVector<int> colonneChiave;  // server table: visible columns of the primary key

    // Column 0 of sql is a hidden rowid when the set is a table's rows.
    int primaColonna = 0;
    QStringList nomi;
    QVector<Tipo> tipi;
    QHash<QString, int> indice;  // case-folded name -> visible column

    enum class Bersaglio { Nessuno, Tabella, Vista };
    Bersaglio bersaglio = Bersaglio::Nessuno;
    QString nomeBersaglio;
    int colonnaChiave = -1;  // visible column holding the key of a view

    std::vector<Riga> righe;
    int pos = 0;

    enum class Modo { Nessuno, Nuovo, Modifica };
    Modo modo = Modo::Nessuno;
    QHash<int, QVariant> pendenti;
    QVector<int> ordinePendenti;  // fields written in the order they were set

    ~StatoRecordSet();
    void rilascia();  // finalises the statement and detaches from the handle
    sqlite3* db() const;
    bool aperto() const { return conn && conn->aperta(); }
    bool leggiAltra();  // reads one more row into righe; false at the end
    void assestaAvanti(); // reads the row under the cursor if not yet read
    int colonna(const QString& nome) const;
    const Riga& corrente() const;
};

} // namespace sorvela::store::detail
