#pragma once
// The console's only door to its database: a SQLite file, or a database on a
// PostgreSQL server. Callers write one SQL for both ("?" placeholders, names
// in double quotes, ON CONFLICT rather than INSERT OR ...); what differs
// (placeholders, catalogs, how a row is found again, transactions) is dealt
// with here. The rules below are the file's; on a server:
// - a Database is one server connection, with the same thread rules;
// - a lock held by another connection is waited for up to 5 s as well;
// - a failed statement inside a transaction undoes only itself, as on
//   SQLite (a savepoint is taken around each statement);
// - a connection the server dropped is an ErroreDatabase, and the next call
//   tries to connect again;
// - DATE, DATETIME, BOOLEAN columns are the server's date, timestamp(0) and
//   boolean types, read back as the same QDate / QDateTime / bool.
//
// Rules every caller relies on:
// - Threads: a Database (one SQLite connection) and its record sets belong to
//   the thread that opened it and are used from it alone; nothing here locks.
//   The desk's connection is the user-interface thread's: the main window
//   opens it and every window and routine of the desk uses it. The
//   compaction's worker thread opens connections of its own (one that copies
//   and checks, one that holds the write lock while the files are swapped)
//   and never touches the desk's; it asks the desk's thread to close and
//   reopen it (Compattazione.h). Connections meet only in the file, under
//   SQLite's locks: in WAL mode readers never wait, a writer waits for
//   another writer up to a busy timeout (5 s), or not at all while the desk
//   is told not to (nonAttendereOccupato).
// - Ownership: a RecordSet is a value owned by whoever opened it. It keeps no
//   more than a weak tie to its Database: closing the Database (compaction,
//   exit) closes every record set still open, and any later use of such a set
//   throws ErroreDatabase instead of touching a dead handle.
// - Errors: every failure (SQLite or misuse of a record set) throws
//   ErroreDatabase, carrying the SQLite message and code. Nothing here shows
//   anything to the operator; the caller decides what to say.
// - Transactions: a failed statement inside a transaction is undone by SQLite
//   on its own, but the transaction stays open; the caller rolls it back
//   (Transazione does so when it goes out of scope unconfirmed). If SQLite
//   had to abandon the whole transaction itself (disk full, I/O error), the
//   rollback is a harmless no-op.
// - Values are always bound, never spliced into SQL text. QDate is stored as
//   "YYYY-MM-DD", QDateTime as "YYYY-MM-DD HH:MM:SS" (local time), bool as
//   0/1, a null QVariant as NULL. Reading gives back QDate / QDateTime / bool
//   for columns declared DATE / DATETIME / BOOLEAN, and a null QVariant for
//   NULL.

#include "store/RecordSet.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <stdexcept>

struct sqlite3;

namespace sorvela::store {

class ErroreDatabase : public std::runtime_error {
public:
    ErroreDatabase(const QString& messaggio, int codice);
    // SQLite result code (extended when SQLite gave one).
    int codice() const { return m_codice; }
    QString messaggio() const;
    // The database could not be reached or read at all (a server out of
    // reach or restarting, a disk I/O error), rather than refusing one
    // statement: the same failure however the words of the message change.
    bool irraggiungibile() const;

private:
    int m_codice;
};

namespace detail { struct Connessione; }

class Database {
public:
    // Opens an existing Sorvela database: on a server when `percorso` is a
    // libpq URI (postgresql://…, postgres://…) or keyword string
    // ("service=sorvela", "host=… dbname=…"), else a file. Never creates a file: a missing
    // file, a file that is not SQLite, or a SQLite file without the Sorvela
    // tables all throw. Sets WAL journal, foreign keys and a busy timeout.
    static std::unique_ptr<Database> apri(const QString& percorso);

    // Creates a new database file with the schema (and the demo catalog and
    // subscribers when demo is true). Refuses an existing file. On failure no
    // half-built file is left behind. On a server the database must exist and
    // be empty; it gains the schema in one transaction.
    static void crea(const QString& percorso, bool demo);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file's path, or the server's connection text.
    QString percorso() const;
    // What to show of it: the file's path, or the server's connection
    // keywords without a password.
    QString descrizione() const;
    bool aperto() const;
    // True for a database on a server (whether open or not).
    bool suServer() const;
    // Whether apri() would take `percorso` for a server rather than a file.
    static bool eServer(const QString& percorso);
    // The hidden column that tells any row of any table from the others:
    // "rowid" in a file, "ctid" on a server (where a row's ctid changes when
    // it is written, so it holds for one read-then-write, not for ever).
    QString colonnaRiga() const;
    // Closes the handle and every record set still open on it. Idempotent.
    void chiudi();
    // Opens the same file again on this object (after a compaction swapped
    // it): whoever holds this object holds a valid handle again. Record sets
    // opened before stay closed. Throws as apri() does, and the object then
    // stays closed.
    void riapri();
    // While true a write that finds the file locked by another connection
    // fails at once (SQLITE_BUSY) instead of waiting: a wait on the desk's
    // thread is a frozen desk. The caller retries later.
    void nonAttendereOccupato(bool si);
    // On a server, moves each numbering column's counter (an identity
    // column's sequence) past the highest number its table holds, so that
    // rows stored with their numbers (a copy, a script) do not make the next
    // new row collide with them. Nothing to do on a file, where a new row is
    // numbered from the table itself.
    void allineaContatori();
    // On a server: makes, where the server lacks them, the group roles
    // sorvela_ricevitore, sorvela_banco and sorvela_responsabile (each a
    // member of the one before), and grants them on this database what a
    // receiver, a desk and the centre's manager need, replacing what they
    // were granted before (db/ruoli-postgresql.sql), in one transaction. Run
    // by the tables' owner, who must be allowed to create roles. On a file
    // it throws.
    void concediRuoli();
    // A lock named `nome` that this connection keeps until it is closed and
    // that no other connection to the same server database can take
    // meanwhile (a session advisory lock; the server lets it go however the
    // holder ends). False when another connection holds it. Taken again when
    // a lost connection is opened again; if another took it meanwhile, every
    // statement here fails until that one lets it go. Server only: on a file
    // it throws, and the file's users lock a file beside it instead.
    bool prendiBloccoServer(const QString& nome);
    // Whether this connection holds the lock `nome` now, taking it when it is
    // free: true while it keeps it, false while another connection does.
    // Unlike prendiBloccoServer() nothing hangs on it: a connection that was
    // lost and opened again simply no longer holds it, and finds so here at
    // the next call (which is also a look at whether the connection lives).
    // Server only.
    bool tieniBloccoServer(const QString& nome);
    // The raw handle, for the rare caller that needs SQLite directly; null
    // on a server.
    sqlite3* handle();

    // Opens a record set on a table name, a view (saved query) name or a
    // SELECT text with "?" placeholders bound from parametri in order.
    // Names may be written with or without brackets. See RecordSet.h for
    // which sets can be written.
    RecordSet apriRecordSet(const QString& sorgente, const QVariantList& parametri = {});

    // Runs one statement (no trailing second statement is accepted).
    void esegui(const QString& sql, const QVariantList& parametri = {});
    // First column of the first row; a null QVariant when there is no row.
    QVariant valore(const QString& sql, const QVariantList& parametri = {});
    // Rows changed by the last statement that wrote to a table.
    int righeModificate() const;

    void inizia();    // BEGIN IMMEDIATE; throws if one is already open
    void conferma();  // COMMIT
    void annulla();   // ROLLBACK; no-op when no transaction is open
    bool inTransazione() const;

private:
    explicit Database(std::shared_ptr<detail::Connessione> c);
    std::shared_ptr<detail::Connessione> m_conn;
};

// Rolls back on scope exit unless conferma() was called: a routine that
// writes several rows either writes all of them or none.
class Transazione {
public:
    explicit Transazione(Database& db);
    ~Transazione();
    Transazione(const Transazione&) = delete;
    Transazione& operator=(const Transazione&) = delete;
    void conferma();

private:
    Database& m_db;
    bool m_chiusa = false;
};

} // namespace sorvela::store
