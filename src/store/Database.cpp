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
        lanciaUso(QStringLiteral("il database è chiuso"));
    return db;
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
struct Aggiunta {
    const char* tabella;
    const char* colonna; // null: the addition is the table itself
    const char* sql;
};

const Aggiunta kAggiunte[] = {
    {"ArchivioEventi", "Impronta",
     "ALTER TABLE ArchivioEventi ADD COLUMN [Impronta] TEXT;"
     "CREATE INDEX IF NOT EXISTS [ArchivioEventi Impronta] ON ArchivioEventi ([Impronta]);"},
    {"IngressiUtente", nullptr,
     "CREATE TABLE IngressiUtente ([Codice periferica] TEXT NOT NULL, [Posizione] INTEGER NOT NULL, "
     "[Contatore] INTEGER, [CodiceEvento] TEXT, [Zona] TEXT, [DesEvento] TEXT, [TipoEvento] TEXT, "
     "[Trattamento] TEXT, [Numero] TEXT, PRIMARY KEY ([Codice periferica], [Posizione]));"},
    {"ArchivioEventi", "Archiviato il", "ALTER TABLE \"ArchivioEventi\" ADD COLUMN \"Archiviato il\" DATETIME;"},
    {"ArchivioEventi", "Archiviato da", "ALTER TABLE \"ArchivioEventi\" ADD COLUMN \"Archiviato da\" TEXT;"},
    {"Operatori", nullptr,
     "CREATE TABLE \"Operatori\" (\"Nome\" TEXT NOT NULL PRIMARY KEY, \"Password\" TEXT, "
     "\"Attivo\" BOOLEAN NOT NULL DEFAULT 1);"},
    {"RegistroOperazioni", nullptr,
     "CREATE TABLE \"RegistroOperazioni\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Operatore\" TEXT NOT NULL, \"Postazione\" TEXT, \"Azione\" TEXT NOT NULL, \"Oggetto\" TEXT, "
     "\"Dettagli\" TEXT);"
     "CREATE INDEX \"RegistroOperazioni Data e ora\" ON \"RegistroOperazioni\" (\"Data e ora\");"
     "CREATE INDEX \"RegistroOperazioni Operatore\" ON \"RegistroOperazioni\" (\"Operatore\", \"Data e ora\");"
     "CREATE TRIGGER \"RegistroOperazioni non modificabile\" BEFORE UPDATE ON \"RegistroOperazioni\" "
     "BEGIN SELECT RAISE(ABORT, 'il registro delle operazioni non si modifica'); END;"
     "CREATE TRIGGER \"RegistroOperazioni non cancellabile\" BEFORE DELETE ON \"RegistroOperazioni\" "
     "BEGIN SELECT RAISE(ABORT, 'il registro delle operazioni non si cancella'); END;"},
    {"MessaggiNonAttribuiti", nullptr,
     "CREATE TABLE \"MessaggiNonAttribuiti\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Mittente\" TEXT, \"Testo messaggio\" TEXT, \"Tipo evento\" TEXT, \"Descrizione evento\" TEXT, "
     "\"Impronta\" TEXT UNIQUE);"},
    {"StatoRicevitore", nullptr,
     "CREATE TABLE \"StatoRicevitore\" (\"Nome\" TEXT NOT NULL PRIMARY KEY, \"Processo\" TEXT, "
     "\"Avviato\" DATETIME, \"Battito\" DATETIME, \"Porta\" INTEGER, \"Telefono\" TEXT, \"Attività\" TEXT);"},
    {"RichiesteRicevitore", nullptr,
     "CREATE TABLE \"RichiesteRicevitore\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Richiesta\" TEXT NOT NULL, \"Argomento\" TEXT, \"Operatore\" TEXT, "
     "\"Stato\" TEXT NOT NULL DEFAULT 'in attesa', \"Esito\" TEXT, \"Servita il\" DATETIME);"
     "CREATE INDEX \"RichiesteRicevitore Stato\" ON \"RichiesteRicevitore\" (\"Stato\", \"ID\");"},
    {"AvvisiRicevitore", nullptr,
     "CREATE TABLE \"AvvisiRicevitore\" (\"ID\" INTEGER PRIMARY KEY, \"Data e ora\" DATETIME NOT NULL, "
     "\"Tipo\" TEXT NOT NULL, \"Icona\" INTEGER, \"Testo\" TEXT, \"Codice periferica\" TEXT, "
     "\"Mittente\" TEXT, \"Allarme\" BOOLEAN NOT NULL DEFAULT 0);"},
};

bool presente(sqlite3* db, const Aggiunta& a)
{
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
        if (!presente(db, a))
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

std::shared_ptr<Connessione> apriConnessione(const QString& percorso)
{
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
    if (aperto())
        sqlite3_busy_timeout(m_conn->db, si ? 0 : kAttesaOccupatoMs);
}

void Database::crea(const QString& percorso, bool demo)
{
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
    return m_conn && m_conn->db;
}

void Database::chiudi()
{
    if (m_conn)
        m_conn->chiudi();
}

sqlite3* Database::handle()
{
    return m_conn ? m_conn->db : nullptr;
}

RecordSet Database::apriRecordSet(const QString& sorgente, const QVariantList& parametri)
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    sqlite3* db = m_conn->handleAperto();
    auto s = std::make_unique<StatoRecordSet>();
    s->conn = m_conn;

    // What the source names: a table, a view, or a SELECT over either.
    auto tipoOggetto = [db](const QString& nome, QString& nomeVero) -> QString {
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
                // The rowid rides along in front, unseen by callers, so that
                // the rows can be written back even without a key column.
                s->sql = QStringLiteral("SELECT rowid AS \"rowid ·\", * FROM %1%2")
                             .arg(m.captured(1), m.captured(2)); // sql: identificatore verificato
            }
        }
    } else {
        tipo = tipoOggetto(senzaQuote(sorgente), nomeVero);
        if (tipo.isEmpty())
            throw ErroreDatabase(QStringLiteral("Tabella o query \"%1\" inesistente").arg(senzaQuote(sorgente)),
                                 SQLITE_ERROR);
        s->sql = tipo == QLatin1String("table")
                     ? QStringLiteral("SELECT rowid AS \"rowid ·\", * FROM %1").arg(quota(nomeVero)) // sql: identificatore verificato
                     : QStringLiteral("SELECT * FROM %1").arg(quota(nomeVero)); // sql: identificatore verificato
    }
    if (tipo == QLatin1String("table")) {
        s->bersaglio = StatoRecordSet::Bersaglio::Tabella;
        s->nomeBersaglio = nomeVero;
        s->primaColonna = 1;
    } else if (tipo == QLatin1String("view")) {
        s->bersaglio = StatoRecordSet::Bersaglio::Vista;
        s->nomeBersaglio = nomeVero;
    }

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
    // Only the rows of one view can be written by key; a join in a SELECT
    // text stays read-only.
    if (s->bersaglio == StatoRecordSet::Bersaglio::Vista && s->colonnaChiave < 0)
        s->bersaglio = StatoRecordSet::Bersaglio::Nessuno;

    s->st = st.rilascia();
    m_conn->aperti.push_back(s.get());
    s->assestaAvanti();
    return RecordSet(std::move(s));
}

void Database::esegui(const QString& sql, const QVariantList& parametri)
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    Istruzione st(m_conn->handleAperto(), sql);
    st.lega(parametri);
    st.eseguiTutto();
}

QVariant Database::valore(const QString& sql, const QVariantList& parametri)
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
    Istruzione st(m_conn->handleAperto(), sql);
    st.lega(parametri);
    if (!st.passo())
        return QVariant();
    return leggi(st.get(), 0, tipoDichiarato(sqlite3_column_decltype(st.get(), 0)));
}

int Database::righeModificate() const
{
    return aperto() ? sqlite3_changes(m_conn->db) : 0;
}

void Database::inizia()
{
    if (!m_conn)
        lanciaUso(QStringLiteral("il database è chiuso"));
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
    sqlite3* db = m_conn->handleAperto();
    if (sqlite3_get_autocommit(db))
        lanciaUso(QStringLiteral("nessuna transazione da confermare"));
    eseguiScript(db, QStringLiteral("COMMIT"), QStringLiteral("conferma transazione"));
}

void Database::annulla()
{
    if (!aperto() || sqlite3_get_autocommit(m_conn->db))
        return;
    eseguiScript(m_conn->db, QStringLiteral("ROLLBACK"), QStringLiteral("annullamento transazione"));
}

bool Database::inTransazione() const
{
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
