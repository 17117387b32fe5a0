#include "store/Database.h"
#include "store/Interno.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

// The schema and the demo data are compiled in, so creating a database does
// not depend on where the sources are.
static void caricaRisorseStore()
{
    Q_INIT_RESOURCE(store);
}

namespace sorvela::store {

using namespace detail;

namespace {

// A writer that waits on another connection gives up after this long rather
// than failing at the first collision.
constexpr int kAttesaOccupatoMs = 5000;

QString leggiRisorsa(const QString& nome)
{
    caricaRisorseStore();
    QFile f(nome);
    if (!f.open(QIODevice::ReadOnly))
        throw ErroreDatabase(QStringLiteral("Risorsa interna mancante: %1").arg(nome), SQLITE_INTERNAL);
    return QString::fromUtf8(f.readAll());
}

sqlite3* apriHandle(const QString& percorso, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(percorso).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw ErroreDatabase(QStringLiteral("Impossibile aprire il database %1: %2").arg(percorso, msg), rc);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kAttesaOccupatoMs);
    return db;
}

void rimuoviFile(const QString& percorso)
{
    for (const char* suffisso : {"", "-wal", "-shm", "-journal"})
        QFile::remove(percorso + QLatin1String(suffisso));
}

} // namespace

namespace detail {

sqlite3* Connessione::handleAperto() const
{
    if (!db)
        lanciaUso(pg ? QStringLiteral("il database è su un server, non in un file") : QStringLiteral("il database è chiuso"));
    return db;
}

PGconn* Connessione::serverAperto() const
{
    if (!pg)
        lanciaUso(QStringLiteral("il database è chiuso"));
    return pg;
}

void Connessione::chiudi()
{
    // Statements must go before the handle; a set outliving the handle then
    // reports itself closed instead of stepping a dead statement.
    const auto copia = aperti;
    for (StatoRecordSet* s : copia)
        s->rilascia();
    aperti.clear();
    if (db) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    if (pg) {
        PQfinish(pg);
        pg = nullptr;
    }
}

Connessione::~Connessione()
{
    chiudi();
}

} // namespace detail

Database::Database(std::shared_ptr<Connessione> c)
    : m_conn(std::move(c))
{
}

Database::~Database()
{
    chiudi();
}

namespace {

// A database made by an earlier version lacks what later versions added;
// it gains it here, all of it in one transaction, so that a file is either
// the old layout or the whole new one. Each addition is as in schema.sql.
// Written once for both engines where the two accept the same text; where
// they cannot (types, keys handed out by the database, triggers) the
// server's own text follows, as in schema-postgresql.sql.
struct Aggiunta {
    const char* tabella;
    const char* colonna; // null: the addition is the table itself (or `oggetto`)
    const char* sql;                 // null: nothing to add to a file
    const char* sqlServer = nullptr; // null: sql serves both
    const char* oggetto = nullptr;   // an index or trigger of `tabella`, by name
};

const Aggiunta kAggiunte[] = {
    {"ArchivioEventi", "Impronta",
     "ALTER TABLE \"ArchivioEventi\" ADD COLUMN \"Impronta\" TEXT;"
     "CREATE INDEX IF NOT EXISTS \"ArchivioEventi Impronta\" ON \"ArchivioEventi\" (\"Impronta\");"},
    {"IngressiUtente", nullptr,
     "CREATE TABLE \"IngressiUtente\" (\"Codice periferica\" TEXT NOT NULL, \"Posizione\" INTEGER NOT NULL, "
     "\"Contatore\" INTEGER, \"CodiceEvento\" TEXT, \"Zona\" TEXT, \"DesEvento\" TEXT, \"TipoEvento\" TEXT, "
     "\"Trattamento\" TEXT, \"Numero\" TEXT, PRIMARY KEY (\"Codice periferica\", \"Posizione\"));",
     "CREATE TABLE \"IngressiUtente\" (\"Codice periferica\" text NOT NULL, \"Posizione\" bigint NOT NULL, "
     "\"Contatore\" bigint, \"CodiceEvento\" text, \"Zona\" text, \"DesEvento\" text, \"TipoEvento\" text, "
     "\"Trattamento\" text, \"Numero\" text, PRIMARY KEY (\"Codice periferica\", \"Posizione\"));"},
    {"ArchivioEventi", "Archiviato il", "ALTER TABLE \"ArchivioEventi\" ADD COLUMN \"Archiviato il\" DATETIME;",
     "ALTER TABLE \"ArchivioEventi\" ADD COLUMN \"Archiviato il\" timestamp(0);"},
    {"ArchivioEventi", "Archiviato da", "ALTER TABLE \"ArchivioEventi\" ADD COLUMN \"Archiviato da\" TEXT;"},
    {"Operatori", nullptr,
     "CREATE TABLE \"Operatori\" (\"Nome\" TEXT NOT NULL PRIMARY KEY, \"Password\" TEXT, "
     "\"Attivo\" BOOLEAN NOT NULL DEFAULT TRUE);"},
    {"RegistroOperazioni", nullptr,
     "CREATE TABLE \"RegistroOperazioni\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Operatore\" TEXT NOT NULL, \"Postazione\" TEXT, \"Azione\" TEXT NOT NULL, \"Oggetto\" TEXT, "
     "\"Dettagli\" TEXT);"
     "CREATE INDEX \"RegistroOperazioni Data e ora\" ON \"RegistroOperazioni\" (\"Data e ora\");"
     "CREATE INDEX \"RegistroOperazioni Operatore\" ON \"RegistroOperazioni\" (\"Operatore\", \"Data e ora\");"
     "CREATE TRIGGER \"RegistroOperazioni non modificabile\" BEFORE UPDATE ON \"RegistroOperazioni\" "
     "BEGIN SELECT RAISE(ABORT, 'il registro delle operazioni non si modifica'); END;"
     "CREATE TRIGGER \"RegistroOperazioni non cancellabile\" BEFORE DELETE ON \"RegistroOperazioni\" "
     "BEGIN SELECT RAISE(ABORT, 'il registro delle operazioni non si cancella'); END;",
     "CREATE TABLE \"RegistroOperazioni\" (\"ID\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
     "\"Data e ora\" timestamp(0) NOT NULL, \"Operatore\" text NOT NULL, \"Postazione\" text, "
     "\"Azione\" text NOT NULL, \"Oggetto\" text, \"Dettagli\" text);"
     "CREATE INDEX \"RegistroOperazioni Data e ora\" ON \"RegistroOperazioni\" (\"Data e ora\");"
     "CREATE INDEX \"RegistroOperazioni Operatore\" ON \"RegistroOperazioni\" (\"Operatore\", \"Data e ora\");"
     "CREATE FUNCTION \"RegistroOperazioni non modificabile\"() RETURNS trigger LANGUAGE plpgsql AS "
     "$$ BEGIN RAISE EXCEPTION 'il registro delle operazioni non si modifica'; END $$;"
     "CREATE TRIGGER \"RegistroOperazioni non modificabile\" BEFORE UPDATE ON \"RegistroOperazioni\" "
     "FOR EACH ROW EXECUTE FUNCTION \"RegistroOperazioni non modificabile\"();"
     "CREATE FUNCTION \"RegistroOperazioni non cancellabile\"() RETURNS trigger LANGUAGE plpgsql AS "
     "$$ BEGIN RAISE EXCEPTION 'il registro delle operazioni non si cancella'; END $$;"
     "CREATE TRIGGER \"RegistroOperazioni non cancellabile\" BEFORE DELETE ON \"RegistroOperazioni\" "
     "FOR EACH ROW EXECUTE FUNCTION \"RegistroOperazioni non cancellabile\"();"},
    {"MessaggiNonAttribuiti", nullptr,
     "CREATE TABLE \"MessaggiNonAttribuiti\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Mittente\" TEXT, \"Testo messaggio\" TEXT, \"Tipo evento\" TEXT, \"Descrizione evento\" TEXT, "
     "\"Impronta\" TEXT UNIQUE);",
     "CREATE TABLE \"MessaggiNonAttribuiti\" (\"ID\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
     "\"Data e ora\" timestamp(0) NOT NULL, \"Mittente\" text, \"Testo messaggio\" text, \"Tipo evento\" text, "
     "\"Descrizione evento\" text, \"Impronta\" text UNIQUE);"},
    {"StatoRicevitore", nullptr,
     "CREATE TABLE \"StatoRicevitore\" (\"Nome\" TEXT NOT NULL PRIMARY KEY, \"Processo\" TEXT, "
     "\"Avviato\" DATETIME, \"Battito\" DATETIME, \"Porta\" INTEGER, \"Telefono\" TEXT, \"Attività\" TEXT);",
     "CREATE TABLE \"StatoRicevitore\" (\"Nome\" text NOT NULL PRIMARY KEY, \"Processo\" text, "
     "\"Avviato\" timestamp(0), \"Battito\" timestamp(0), \"Porta\" bigint, \"Telefono\" text, \"Attività\" text);"},
    {"RichiesteRicevitore", nullptr,
     "CREATE TABLE \"RichiesteRicevitore\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Richiesta\" TEXT NOT NULL, \"Argomento\" TEXT, \"Operatore\" TEXT, "
     "\"Stato\" TEXT NOT NULL DEFAULT 'in attesa', \"Esito\" TEXT, \"Servita il\" DATETIME);"
     "CREATE INDEX \"RichiesteRicevitore Stato\" ON \"RichiesteRicevitore\" (\"Stato\", \"ID\");",
     "CREATE TABLE \"RichiesteRicevitore\" (\"ID\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
     "\"Data e ora\" timestamp(0) NOT NULL, \"Richiesta\" text NOT NULL, \"Argomento\" text, \"Operatore\" text, "
     "\"Stato\" text NOT NULL DEFAULT 'in attesa', \"Esito\" text, \"Servita il\" timestamp(0));"
     "CREATE INDEX \"RichiesteRicevitore Stato\" ON \"RichiesteRicevitore\" (\"Stato\", \"ID\");"},
    {"AvvisiRicevitore", nullptr,
     "CREATE TABLE \"AvvisiRicevitore\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Tipo\" TEXT NOT NULL, \"Icona\" INTEGER, \"Testo\" TEXT, \"Codice periferica\" TEXT, "
     "\"Mittente\" TEXT, \"Allarme\" BOOLEAN NOT NULL DEFAULT 0);",
     "CREATE TABLE \"AvvisiRicevitore\" (\"ID\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
     "\"Data e ora\" timestamp(0) NOT NULL, \"Tipo\" text NOT NULL, \"Icona\" bigint, \"Testo\" text, "
     "\"Codice periferica\" text, \"Mittente\" text, \"Allarme\" boolean NOT NULL DEFAULT false);"},
    // One event per message. Identities stored twice by an older version
    // (which checked before inserting, without a constraint) are kept on the
    // first event only; the events themselves all stay.
    {"ArchivioEventi", nullptr,
     "UPDATE \"ArchivioEventi\" SET \"Impronta\" = NULL WHERE \"Impronta\" IS NOT NULL AND \"ID\" NOT IN "
     "(SELECT min(\"ID\") FROM \"ArchivioEventi\" WHERE \"Impronta\" IS NOT NULL GROUP BY \"Impronta\");"
     "DROP INDEX IF EXISTS \"ArchivioEventi Impronta\";"
     "CREATE UNIQUE INDEX \"ArchivioEventi Impronta unica\" ON \"ArchivioEventi\" (\"Impronta\");",
     nullptr, "ArchivioEventi Impronta unica"},
    {"StatoRicevitore", "Capo", "ALTER TABLE \"StatoRicevitore\" ADD COLUMN \"Capo\" BOOLEAN NOT NULL DEFAULT 0;",
     "ALTER TABLE \"StatoRicevitore\" ADD COLUMN \"Capo\" boolean NOT NULL DEFAULT false;"},
    {"LavoriCentro", nullptr,
     "CREATE TABLE \"LavoriCentro\" (\"Lavoro\" TEXT NOT NULL PRIMARY KEY, \"Turno\" DATETIME, \"Ricevitore\" TEXT);",
     "CREATE TABLE \"LavoriCentro\" (\"Lavoro\" text NOT NULL PRIMARY KEY, \"Turno\" timestamp(0), \"Ricevitore\" text);"},
    {"RichiesteRicevitore", "Ricevitore", "ALTER TABLE \"RichiesteRicevitore\" ADD COLUMN \"Ricevitore\" TEXT;"},
    {"RichiesteRicevitore", "Servita da", "ALTER TABLE \"RichiesteRicevitore\" ADD COLUMN \"Servita da\" TEXT;"},
    // The server announces what the desks must refresh (schema-postgresql.sql).
    {"ArchivioEventi", nullptr, nullptr,
     "CREATE OR REPLACE FUNCTION \"Sorvela annuncia\"() RETURNS trigger LANGUAGE plpgsql AS "
     "$$ BEGIN PERFORM pg_notify('sorvela', TG_TABLE_NAME); RETURN NULL; END $$;"
     "CREATE OR REPLACE TRIGGER \"ArchivioEventi annuncia\" AFTER INSERT OR UPDATE OR DELETE ON \"ArchivioEventi\" "
     "FOR EACH STATEMENT EXECUTE FUNCTION \"Sorvela annuncia\"();"
     "CREATE OR REPLACE TRIGGER \"MessaggiNonAttribuiti annuncia\" AFTER INSERT OR UPDATE OR DELETE ON \"MessaggiNonAttribuiti\" "
     "FOR EACH STATEMENT EXECUTE FUNCTION \"Sorvela annuncia\"();"
     "CREATE OR REPLACE TRIGGER \"AvvisiRicevitore annuncia\" AFTER INSERT ON \"AvvisiRicevitore\" "
     "FOR EACH STATEMENT EXECUTE FUNCTION \"Sorvela annuncia\"();",
     "ArchivioEventi annuncia"},
    // The server's stand-in for the rowid SQLite gives every row itself.
    {"DatiUtente", "rowid", nullptr, "ALTER TABLE \"DatiUtente\" ADD COLUMN rowid bigint GENERATED BY DEFAULT AS IDENTITY;"},
    {"InterrogazioniPendenti", "rowid", nullptr,
     "ALTER TABLE \"InterrogazioniPendenti\" ADD COLUMN rowid bigint GENERATED BY DEFAULT AS IDENTITY;"},
    {"Matricole", "rowid", nullptr, "ALTER TABLE \"Matricole\" ADD COLUMN rowid bigint GENERATED BY DEFAULT AS IDENTITY;"},
    {"Telefoni_Utenti", "rowid", nullptr,
     "ALTER TABLE \"Telefoni_Utenti\" ADD COLUMN rowid bigint GENERATED BY DEFAULT AS IDENTITY;"},
};

bool presente(sqlite3* db, const Aggiunta& a)
{
    if (a.oggetto) {
        Istruzione q(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = ?"));
        q.lega({QString::fromUtf8(a.oggetto)});
        q.passo();
        return sqlite3_column_int(q.get(), 0) == 1;
    }
    Istruzione q(db, a.colonna
                         ? QStringLiteral("SELECT count(*) FROM pragma_table_info(?) WHERE name = ?")
                         : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"));
    q.lega(a.colonna ? QVariantList{QString::fromUtf8(a.tabella), QString::fromUtf8(a.colonna)}
                     : QVariantList{QString::fromUtf8(a.tabella)});
    q.passo();
    return sqlite3_column_int(q.get(), 0) == 1;
}

void aggiornaSchema(sqlite3* db, const QString& percorso)
{
    QList<const Aggiunta*> mancanti;
    for (const Aggiunta& a : kAggiunte) {
        if (a.sql && !presente(db, a))
            mancanti << &a;
    }
    if (mancanti.isEmpty())
        return;
    const QString dove = QStringLiteral("aggiornamento di %1").arg(percorso);
    eseguiScript(db, QStringLiteral("BEGIN IMMEDIATE;"), dove);
    try {
        for (const Aggiunta* a : std::as_const(mancanti))
            eseguiScript(db, QString::fromUtf8(a->sql), dove);
        eseguiScript(db, QStringLiteral("COMMIT;"), dove);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
        throw;
    }
}

bool presenteSulServer(Connessione& c, const Aggiunta& a)
{
    // From the server's catalog, not information_schema: a login of a role
    // with few rights sees there only what it may touch, and would take a
    // table it may not read for one still to be made.
    if (a.oggetto) {
        const auto r = pg::esegui(
            c, QStringLiteral("SELECT (SELECT count(*) FROM pg_class WHERE relname = ? AND relnamespace = current_schema()::regnamespace) "
                              "+ (SELECT count(*) FROM pg_trigger t JOIN pg_class k ON k.oid = t.tgrelid "
                              "WHERE t.tgname = ? AND k.relnamespace = current_schema()::regnamespace)"),
            {QString::fromUtf8(a.oggetto), QString::fromUtf8(a.oggetto)});
        return pg::leggi(r.get(), 0, 0).toLongLong() >= 1;
    }
    const auto r = a.colonna
        ? pg::esegui(c, QStringLiteral("SELECT count(*) FROM pg_catalog.pg_attribute a "
                                       "JOIN pg_catalog.pg_class t ON t.oid = a.attrelid "
                                       "WHERE t.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()) "
                                       "AND t.relname = ? AND a.attname = ? AND a.attnum > 0 AND NOT a.attisdropped"),
                     {QString::fromUtf8(a.tabella), QString::fromUtf8(a.colonna)})
        : pg::esegui(c, QStringLiteral("SELECT count(*) FROM pg_catalog.pg_class t "
                                       "WHERE t.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()) "
                                       "AND t.relname = ? AND t.relkind IN ('r', 'p')"),
                     {QString::fromUtf8(a.tabella)});
    return pg::leggi(r.get(), 0, 0).toLongLong() == 1;
}

void aggiornaSchemaSulServer(Connessione& c)
{
    const auto mancantiOra = [&c] {
        QList<const Aggiunta*> mancanti;
        for (const Aggiunta& a : kAggiunte) {
            if (!presenteSulServer(c, a))
                mancanti << &a;
        }
        return mancanti;
    };
    if (mancantiOra().isEmpty())
        return;
    const QString dove = QStringLiteral("aggiornamento di %1").arg(c.percorso);
    pg::transazione(c, "BEGIN");
    try {
        // The desks and receivers of a centre started together after an
        // update all find the same additions missing: one of them makes
        // them, the others wait for it here and then find nothing to do.
        pg::esegui(c, QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {qint64(0x536f7276656c61)});
        const QList<const Aggiunta*> mancanti = mancantiOra();
        for (const Aggiunta* a : std::as_const(mancanti))
            pg::eseguiScript(c.pg, QString::fromUtf8(a->sqlServer ? a->sqlServer : a->sql), dove);
        pg::transazione(c, "COMMIT");
    } catch (...) {
        PQclear(PQexec(c.pg, "ROLLBACK"));
        throw;
    }
}

// A server's database: the same checks as a file's, in the server's
// catalog. The connection is opened before anything is asked of it, so a
// wrong address or password is told as such.
std::shared_ptr<Connessione> apriServer(const QString& url)
{
    auto conn = std::make_shared<Connessione>();
    conn->percorso = url;
    conn->pg = pg::connetti(url);
    // The catalog, not information_schema: a login without rights on them
    // is told so by its first statement, not that the database is not ours.
    const auto r = pg::esegui(*conn, QStringLiteral(
        "SELECT count(*) FROM pg_catalog.pg_class t "
        "WHERE t.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()) "
        "AND t.relkind IN ('r', 'p') AND t.relname IN ('DatiUtente', 'ArchivioEventi')"));
    if (pg::leggi(r.get(), 0, 0).toLongLong() != 2)
        throw ErroreDatabase(QStringLiteral("Il database %1 non è un database Sorvela").arg(pg::descrivi(url)), SQLITE_NOTADB);
    aggiornaSchemaSulServer(*conn);
    pg::caricaNomi(*conn);
    return conn;
}

std::shared_ptr<Connessione> apriConnessione(const QString& percorso)
{
    if (pg::eUnServer(percorso))
        return apriServer(percorso);
    if (!QFileInfo(percorso).isFile())
        throw ErroreDatabase(QStringLiteral("Il file del database %1 non esiste").arg(percorso), SQLITE_CANTOPEN);

    auto conn = std::make_shared<Connessione>();
    conn->percorso = percorso;
    conn->db = apriHandle(percorso, SQLITE_OPEN_READWRITE);
    // Not every file that SQLite opens is a database, and not every database
    // is ours: check before the first routine trips over a missing table, and
    // before anything is changed in it (the journal mode stays in the file).
    {
        Istruzione verifica(conn->db, QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('DatiUtente', 'ArchivioEventi')"));
        verifica.passo();
        if (sqlite3_column_int(verifica.get(), 0) != 2)
            throw ErroreDatabase(QStringLiteral("Il file %1 non è un database Sorvela").arg(percorso), SQLITE_NOTADB);
    }
    eseguiScript(conn->db, QStringLiteral("PRAGMA journal_mode = WAL; PRAGMA foreign_keys = ON;"),
                 QStringLiteral("apertura di %1").arg(percorso));
    aggiornaSchema(conn->db, percorso);
    return conn;
}

} // namespace

std::unique_ptr<Database> Database::apri(const QString& percorso)
{
    return std::unique_ptr<Database>(new Database(apriConnessione(percorso)));
}

void Database::riapri()
{
    const QString p = percorso();
    chiudi();
    // A new connection object: record sets of the old one stay closed.
    m_conn = apriConnessione(p);
}

void Database::nonAttendereOccupato(bool si)
{
    if (aperto() && m_conn->pg)
        pg::impostaAttesa(*m_conn, si);
    else if (aperto())
        sqlite3_busy_timeout(m_conn->db, si ? 0 : kAttesaOccupatoMs);
}

namespace {

// On a server the database itself is made by its administrator; here it
// gains the schema, and the demo data when asked, in one transaction. One
// that already holds tables is left alone.
void creaSulServer(const QString& url, bool demo)
{
    const QString schema = leggiRisorsa(QStringLiteral(":/sorvela/schema-postgresql.sql"));
    const QString datiDemo = demo ? leggiRisorsa(QStringLiteral(":/sorvela/demo-postgresql.sql")) : QString();
    Connessione c;
    c.percorso = url;
    c.pg = pg::connetti(url);
    const auto r = pg::esegui(c, QStringLiteral(
        "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema()"));
    if (pg::leggi(r.get(), 0, 0).toLongLong() != 0)
        throw ErroreDatabase(QStringLiteral("Il database %1 contiene già delle tabelle e non viene sovrascritto").arg(pg::descrivi(url)),
                             SQLITE_CANTOPEN);
    pg::transazione(c, "BEGIN");
    try {
        pg::eseguiScript(c.pg, schema, QStringLiteral("schema"));
        if (demo)
            pg::eseguiScript(c.pg, datiDemo, QStringLiteral("dati dimostrativi"));
        pg::transazione(c, "COMMIT");
        if (demo) {
            // The demo rows carry their numbers; new ones follow them.
            Database::apri(url)->allineaContatori();
        }
    } catch (...) {
        PQclear(PQexec(c.pg, "ROLLBACK"));
        throw;
    }
}

} // namespace

void Database::crea(const QString& percorso, bool demo)
{
    if (pg::eUnServer(percorso)) {
        creaSulServer(percorso, demo);
        return;
    }
    if (QFileInfo::exists(percorso))
        throw ErroreDatabase(QStringLiteral("Il file %1 esiste già e non viene sovrascritto").arg(percorso),
                             SQLITE_CANTOPEN);
    const QString schema = leggiRisorsa(QStringLiteral(":/sorvela/schema.sql"));
    const QString datiDemo = demo ? leggiRisorsa(QStringLiteral(":/sorvela/demo.sql")) : QString();
    QDir().mkpath(QFileInfo(percorso).absolutePath());

    sqlite3* db = apriHandle(percorso, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
        eseguiScript(db, QStringLiteral("PRAGMA journal_mode = WAL;"), QStringLiteral("creazione"));
        eseguiScript(db, QStringLiteral("BEGIN;"), QStringLiteral("creazione"));
        eseguiScript(db, schema, QStringLiteral("schema"));
        if (demo)
            eseguiScript(db, datiDemo, QStringLiteral("dati dimostrativi"));
        eseguiScript(db, QStringLiteral("COMMIT;"), QStringLiteral("creazione"));
    } catch (...) {
        sqlite3_close_v2(db);
        rimuoviFile(percorso);
        throw;
    }
    sqlite3_close_v2(db);
}

QString Database::percorso() const
{
    return m_conn ? m_conn->percorso : QString();
}

bool Database::aperto() const
{
    return m_conn && m_conn->aperta();
}

QString Database::descrizione() const
{
    return suServer() ? pg::descrivi(percorso()) : percorso();
}

bool Database::eServer(const QString& percorso)
{
    return pg::eUnServer(percorso);
}

bool Database::suServer() const
{
    return pg::eUnServer(percorso());
}

QString Database::colonnaRiga() const
{
    return suServer() ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

void Database::chiudi()
{
    if (m_conn)
        m_conn->chiudi();
}

void Database::allineaContatori()
{
    if (!aperto() || !m_conn->pg)
        return;
    RecordSet colonne = apriRecordSet(QStringLiteral(
        "SELECT table_name, column_name FROM information_schema.columns "
        "WHERE table_schema = current_schema() AND is_identity = 'YES'"));
    for (; !colonne.eof(); colonne.moveNext()) {
        const QString tabella = quota(colonne.campo(0).toString());
        const QString colonna = quota(colonne.campo(1).toString());
        // The next number handed out is the highest plus one (1 for an empty table).
        valore(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), coalesce(max(%1), 0) + 1, false) FROM %2") // sql: identificatore verificato
                   .arg(colonna, tabella), // sql: identificatore verificato
               {tabella, colonne.campo(1).toString()});
    }
}

void Database::concediRuoli()
{
    if (!aperto() || !m_conn->pg)
        lanciaUso(QStringLiteral("i ruoli esistono solo su un server"));
    const QString sql = leggiRisorsa(QStringLiteral(":/sorvela/ruoli-postgresql.sql"));
    Transazione t(*this);
    pg::eseguiScript(m_conn->serverAperto(), sql, QStringLiteral("ruoli"));
    t.conferma();
}

namespace {

// A lock's key is its name's FNV-1a hash: the same in every process and
// version, unlike Qt's seeded hashes.
qint64 chiaveBlocco(const QString& nome)
{
    quint64 h = 14695981039346656037ULL;
    for (const char b : nome.toUtf8()) {
        h ^= quint8(b);
        h *= 1099511628211ULL;
    }
    return qint64(h);
}

} // namespace

bool Database::tieniBloccoServer(const QString& nome)
{
    if (!aperto() || !m_conn->pg)
        lanciaUso(QStringLiteral("un blocco di sessione esiste solo su un server"));
    const qint64 chiave = chiaveBlocco(nome);
    // Taking it again would stack a second hold on it: the server's list
    // says first whether this session has it (a bigint key is listed as its
    // high and low halves).
    return valore(QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM pg_locks WHERE locktype = 'advisory' "
                                 "AND pid = pg_backend_pid() AND granted AND objsubid = 1 "
                                 "AND classid::bigint = ? AND objid::bigint = ?) "
                                 "THEN TRUE ELSE pg_try_advisory_lock(?) END"),
                  {qint64(quint64(chiave) >> 32), qint64(quint64(chiave) & 0xffffffffULL), chiave})
        .toBool();
}

bool Database::prendiBloccoServer(const QString& nome)
{
    if (!aperto() || !m_conn->pg)
        lanciaUso(QStringLiteral("un blocco di sessione esiste solo su un server"));
    const qint64 chiave = chiaveBlocco(nome);
    if (!pg::bloccoSessione(m_conn->serverAperto(), chiave))
        return false;
    m_conn->blocchi << chiave;
    return true;
}

sqlite3* Database::handle()
{
    return m_conn ? m_conn->db : nullptr;
}

RecordSet Database::apriRecordSet(const QString& sorgente, const QVariantList& parametri)
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    Connessione& conn = *m_conn;
    sqlite3* db = conn.pg ? nullptr : conn.handleAperto();
    auto s = std::make_unique<StatoRecordSet>();
    s->conn = m_conn;

    // What the source names: a table, a view, or a SELECT over either.
    auto tipoOggetto = [&conn, db](const QString& nome, QString& nomeVero) -> QString {
        if (conn.pg)
            return pg::tipoOggetto(conn, nome, &nomeVero);
        Istruzione q(db, QStringLiteral(
            "SELECT type, name FROM sqlite_master WHERE name = ? COLLATE NOCASE AND type IN ('table', 'view')"));
        q.lega({nome});
        if (!q.passo())
            return QString();
        nomeVero = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 1)));
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0)));
    };
    auto senzaQuote = [](QString n) {
        n = n.trimmed();
        if (n.size() >= 2 && ((n.startsWith(QLatin1Char('[')) && n.endsWith(QLatin1Char(']')))
                              || (n.startsWith(QLatin1Char('"')) && n.endsWith(QLatin1Char('"')))))
            n = n.mid(1, n.size() - 2);
        return n;
    };
    // A table's rows are written back by their rowid, which rides along in
    // front unseen by callers. A server has no rowid: there a table with a
    // primary key is written by it, one without by its ctid.
    QStringList chiave;
    auto colonneTabella = [&](const QString& nomeVero) {
        if (!conn.pg)
            return QStringLiteral("rowid AS \"rowid ·\", *");
        chiave = pg::chiavePrimaria(conn, nomeVero);
        return chiave.isEmpty() ? QStringLiteral("ctid AS \"rowid ·\", *") : QStringLiteral("*");
    };

    static const QRegularExpression eSelect(QStringLiteral("^\\s*(SELECT|WITH|VALUES|EXPLAIN|PRAGMA)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    // "SELECT * FROM name [WHERE …] [ORDER BY …]": the one shape of SELECT
    // whose rows can be written back, because they are one object's rows.
    static const QRegularExpression tuttoDa(
        QStringLiteral("^\\s*SELECT\\s+\\*\\s+FROM\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|[\\w]+)"
                       "(\\s*;?\\s*$|\\s+(WHERE|ORDER|LIMIT)\\b.*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);

    QString tipo;
    QString nomeVero;
    if (eSelect.match(sorgente).hasMatch()) {
        s->sql = sorgente;
        const auto m = tuttoDa.match(sorgente);
        if (m.hasMatch()) {
            tipo = tipoOggetto(senzaQuote(m.captured(1)), nomeVero);
            if (tipo == QLatin1String("table")) {
                s->sql = QStringLiteral("SELECT %1 FROM %2%3")
                             .arg(colonneTabella(nomeVero), m.captured(1), m.captured(2)); // sql: identificatore verificato
            }
        }
    } else {
        tipo = tipoOggetto(senzaQuote(sorgente), nomeVero);
        if (tipo.isEmpty())
            throw ErroreDatabase(QStringLiteral("Tabella o query \"%1\" inesistente").arg(senzaQuote(sorgente)),
                                 SQLITE_ERROR);
        s->sql = tipo == QLatin1String("table")
                     ? QStringLiteral("SELECT %1 FROM %2").arg(colonneTabella(nomeVero), quota(nomeVero)) // sql: identificatore verificato
                     : QStringLiteral("SELECT * FROM %1").arg(quota(nomeVero)); // sql: identificatore verificato
    }
    if (tipo == QLatin1String("table")) {
        s->bersaglio = StatoRecordSet::Bersaglio::Tabella;
        s->nomeBersaglio = nomeVero;
        s->primaColonna = chiave.isEmpty() ? 1 : 0;
    } else if (tipo == QLatin1String("view")) {
        s->bersaglio = StatoRecordSet::Bersaglio::Vista;
        s->nomeBersaglio = nomeVero;
    }

    if (conn.pg) {
        s->ris = pg::esegui(conn, s->sql, parametri);
        const PGresult* r = s->ris.get();
        const QStringList chiaviVista = s->bersaglio == StatoRecordSet::Bersaglio::Vista
                                            ? pg::chiaviDellaVista(conn, nomeVero) : QStringList();
        for (int i = s->primaColonna; i < PQnfields(r); ++i) {
            const QString nome = QString::fromUtf8(PQfname(r, i));
            const int visibile = i - s->primaColonna;
            s->nomi << nome;
            s->tipi << pg::tipoColonna(PQftype(r, i));
            s->indice.insert(nome.toCaseFolded(), visibile);
            if (s->colonnaChiave < 0 && chiaviVista.contains(nome))
                s->colonnaChiave = visibile;
        }
        for (const QString& k : std::as_const(chiave)) {
            if (!s->nomi.contains(k))
                lanciaUso(QStringLiteral("la chiave \"%1\" di %2 manca fra le colonne").arg(k, nomeVero));
            s->colonneChiave << int(s->nomi.indexOf(k));
        }
    } else {
        Istruzione st(db, s->sql);
        st.lega(parametri);
        sqlite3_stmt* p = st.get();
        const int n = sqlite3_column_count(p);
        for (int i = s->primaColonna; i < n; ++i) {
            const QString nome = QString::fromUtf8(sqlite3_column_name(p, i));
            const int visibile = i - s->primaColonna;
            s->nomi << nome;
            s->tipi << tipoDichiarato(sqlite3_column_decltype(p, i));
            s->indice.insert(nome.toCaseFolded(), visibile);

            // A column that shows a base table's single-column primary key
            // identifies the row: it keys writes through a view.
            if (s->primaColonna == 0 && s->colonnaChiave < 0) {
                const char* tabella = sqlite3_column_table_name(p, i);
                const char* origine = sqlite3_column_origin_name(p, i);
                int chiavePrimaria = 0;
                if (tabella && origine
                    && sqlite3_table_column_metadata(db, sqlite3_column_database_name(p, i), tabella, origine,
                                                     nullptr, nullptr, nullptr, &chiavePrimaria, nullptr) == SQLITE_OK
                    && chiavePrimaria) {
                    Istruzione conta(db, QStringLiteral("SELECT count(*) FROM pragma_table_info(?) WHERE pk > 0"));
                    conta.lega({QString::fromUtf8(tabella)});
                    conta.passo();
                    if (sqlite3_column_int(conta.get(), 0) == 1)
                        s->colonnaChiave = visibile;
                }
            }
        }
        s->st = st.rilascia();
    }
    // Only the rows of one view can be written by key; a join in a SELECT
    // text stays read-only.
    if (s->bersaglio == StatoRecordSet::Bersaglio::Vista && s->colonnaChiave < 0)
        s->bersaglio = StatoRecordSet::Bersaglio::Nessuno;

    m_conn->aperti.push_back(s.get());
    s->assestaAvanti();
    return RecordSet(std::move(s));
}

void Database::esegui(const QString& sql, const QVariantList& parametri)
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    if (m_conn->pg) {
        pg::esegui(*m_conn, sql, parametri);
        return;
    }
    Istruzione st(m_conn->handleAperto(), sql);
    st.lega(parametri);
    st.eseguiTutto();
}

QVariant Database::valore(const QString& sql, const QVariantList& parametri)
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    if (m_conn->pg) {
        const auto r = pg::esegui(*m_conn, sql, parametri);
        if (PQntuples(r.get()) == 0 || PQnfields(r.get()) == 0)
            return QVariant();
        return pg::leggi(r.get(), 0, 0);
    }
    Istruzione st(m_conn->handleAperto(), sql);
    st.lega(parametri);
    if (!st.passo())
        return QVariant();
    return leggi(st.get(), 0, tipoDichiarato(sqlite3_column_decltype(st.get(), 0)));
}

int Database::righeModificate() const
{
    if (aperto() && m_conn->pg)
        return m_conn->modificate;
    return aperto() ? sqlite3_changes(m_conn->db) : 0;
}

void Database::inizia()
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    if (m_conn->pg) {
        // A server's transaction takes its locks row by row as it writes;
        // there is no whole-database write lock to take in advance.
        if (pg::inTransazione(m_conn->serverAperto()))
            lanciaUso(QStringLiteral("una transazione è già aperta"));
        pg::transazione(*m_conn, "BEGIN");
        return;
    }
    sqlite3* db = m_conn->handleAperto();
    if (!sqlite3_get_autocommit(db))
        lanciaUso(QStringLiteral("una transazione è già aperta"));
    // IMMEDIATE takes the write lock now, so a busy file fails here and not
    // halfway through the writes.
    eseguiScript(db, QStringLiteral("BEGIN IMMEDIATE"), QStringLiteral("inizio transazione"));
}

void Database::conferma()
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    if (m_conn->pg) {
        if (!pg::inTransazione(m_conn->serverAperto()))
            lanciaUso(QStringLiteral("nessuna transazione da confermare"));
        pg::transazione(*m_conn, "COMMIT");
        return;
    }
    sqlite3* db = m_conn->handleAperto();
    if (sqlite3_get_autocommit(db))
        lanciaUso(QStringLiteral("nessuna transazione da confermare"));
    eseguiScript(db, QStringLiteral("COMMIT"), QStringLiteral("conferma transazione"));
}

void Database::annulla()
{
    if (!inTransazione())
        return;
    if (m_conn->pg) {
        pg::transazione(*m_conn, "ROLLBACK");
        return;
    }
    eseguiScript(m_conn->db, QStringLiteral("ROLLBACK"), QStringLiteral("annullamento transazione"));
}

bool Database::inTransazione() const
{
    if (aperto() && m_conn->pg)
        return pg::inTransazione(m_conn->pg);
    return aperto() && !sqlite3_get_autocommit(m_conn->db);
}

Transazione::Transazione(Database& db)
    : m_db(db)
{
    m_db.inizia();
}

Transazione::~Transazione()
{
    if (m_chiusa)
        return;
    try {
        m_db.annulla();
    } catch (const ErroreDatabase&) {
        // Nothing sensible to do in a destructor; SQLite rolls back an
        // abandoned transaction when the handle closes.
    }
}

void Transazione::conferma()
{
    m_db.conferma();
    m_chiusa = true;
}

} // namespace sorvela::store
