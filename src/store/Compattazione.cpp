#include "store/Compattazione.h"

#include "store/Identificatori.h"
#include "store/Interno.h"

#include <QDir>
#include <QMetaObject>
#include <QSemaphore>
#include <QThread>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <functional>
#include <future>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace sorvela::store {

using namespace detail;

namespace {

const char* const kSuffissi[] = {"", "-wal", "-shm", "-journal"};

// A database file and the files SQLite keeps beside it; false when one of
// them is still there afterwards (a folder of that name, no permission).
bool rimuoviDatabase(const QString& percorso)
{
    bool ok = true;
    for (const char* s : kSuffissi) {
        const QString f = percorso + QLatin1String(s);
        if (QFileInfo::exists(f) || QFileInfo(f).isSymLink())
            ok = QFile::remove(f) && ok;
    }
    return ok;
}

// VACUUM INTO does not flush what it writes: the copy must be on the disk
// before it takes the database's name, or a power cut could leave a
// half-written file where the database was.
bool sincronizza(const QString& percorso, bool cartella)
{
    const int fd = ::open(QFile::encodeName(percorso).constData(), cartella ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QString testoErrore(const ErroreDatabase& e)
{
    return QString::fromUtf8(e.what());
}

// Cancelling stops a statement of the worker's connections between two
// steps of SQLite's machine, within milliseconds even in a long VACUUM.
int interrompi(void* annulla)
{
    return annulla && static_cast<const std::atomic<bool>*>(annulla)->load() ? 1 : 0;
}

// One of the worker's own connections.
class Aperta {
public:
    Aperta(const QString& percorso, int flags, const std::atomic<bool>* annulla)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(percorso).constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString msg = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
            chiudi();
            throw ErroreDatabase(QStringLiteral("impossibile aprire %1: %2").arg(percorso, msg), rc);
        }
        sqlite3_extended_result_codes(m_db, 1);
        // The worker may wait for a write of the desk to end: it is not the desk.
        sqlite3_busy_timeout(m_db, 5000);
        if (annulla)
            sqlite3_progress_handler(m_db, 10000, interrompi, const_cast<std::atomic<bool>*>(annulla));
    }
    ~Aperta() { chiudi(); }
    Aperta(const Aperta&) = delete;
    Aperta& operator=(const Aperta&) = delete;
    sqlite3* get() const { return m_db; }
    void chiudi()
    {
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

private:
    sqlite3* m_db = nullptr;
};

// Changes whenever another connection commits.
qint64 versione(sqlite3* db)
{
    Istruzione q(db, QStringLiteral("PRAGMA data_version"));
    q.passo();
    return sqlite3_column_int64(q.get(), 0);
}

void prendiBlocco(sqlite3* db)
{
    eseguiScript(db, QStringLiteral("BEGIN IMMEDIATE"), QStringLiteral("blocco delle scritture"));
}

// The copy must be a whole, sound database before anything is renamed.
void verificaCopia(const QString& percorso, const std::atomic<bool>* annulla)
{
    Aperta copia(percorso, SQLITE_OPEN_READONLY, annulla);
    sqlite3* db = copia.get();
    // The check walks every table and index once: a large page cache and a
    // memory-mapped read keep it from re-reading pages (halves its time on a
    // million events). The copy is private to this routine until renamed.
    Istruzione(db, QStringLiteral("PRAGMA cache_size = -262144")).eseguiTutto();
    Istruzione(db, QStringLiteral("PRAGMA mmap_size = 2147483648")).eseguiTutto();
    Istruzione controllo(db, QStringLiteral("PRAGMA integrity_check"));
    QStringList problemi;
    while (controllo.passo())
        problemi << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(controllo.get(), 0)));
    if (problemi != QStringList{QStringLiteral("ok")})
        throw ErroreDatabase(QStringLiteral("la copia compattata non è integra: %1")
                                 .arg(problemi.mid(0, 3).join(QStringLiteral("; "))),
                             SQLITE_CORRUPT);
}

// What the worker needs from whoever runs it.
struct Ganci {
    const std::atomic<bool>* annulla = nullptr;
    std::function<void(Compattazione::Passo)> passo;
    // Returns once the desk's connection is closed; false when the run was
    // cancelled meanwhile. Absent: no connection of this process is open.
    std::function<bool()> chiudiScrivania;
};

EsitoCompattazione compatta(const QString& cartellaDati, const Ganci& g)
{
    const QDir cartella(cartellaDati);
    const QString db = cartella.filePath(QStringLiteral("Sorvela.db"));
    const QString nuovo = cartella.filePath(QStringLiteral("Sorvelanew.db"));
    const QString bak = cartella.filePath(QStringLiteral("Sorvela.bak"));
    using Stato = EsitoCompattazione::Stato;
    using Passo = Compattazione::Passo;
    auto fallita = [](const QString& perche) { return EsitoCompattazione{Stato::FallitaIntatto, perche, {}, {}}; };
    auto annullato = [&g] { return g.annulla && g.annulla->load(); };
    const EsitoCompattazione annullata{Stato::Annullata, QStringLiteral("Compattazione annullata."), {}, {}};
    auto passo = [&g](Passo p) {
        if (g.passo)
            g.passo(p);
    };

    if (!QFileInfo(db).isFile())
        return fallita(QStringLiteral("Il file %1 non esiste.").arg(QDir::toNativeSeparators(db)));
    // A copy left by an interrupted run would make VACUUM INTO fail.
    if (!rimuoviDatabase(nuovo))
        return fallita(QStringLiteral("Impossibile eliminare il file %1 rimasto da una compattazione precedente.")
                           .arg(QDir::toNativeSeparators(nuovo)));

    // The copying connection reads the database as one snapshot; the lock
    // connection's open write transaction holds every other writer off.
    std::optional<Aperta> origine;
    std::optional<Aperta> blocco;
    try {
        origine.emplace(db, SQLITE_OPEN_READWRITE, g.annulla);
        {
            Istruzione verifica(origine->get(), QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                                               "AND name IN ('DatiUtente', 'ArchivioEventi')"));
            verifica.passo();
            if (sqlite3_column_int(verifica.get(), 0) != 2)
                throw ErroreDatabase(QStringLiteral("%1 non è un database Sorvela").arg(db), SQLITE_NOTADB);
        }
        for (int tentativo = 0;; ++tentativo) {
            // The second copy is made with the writes held off from the
            // start, so that a busy desk cannot make every copy stale.
            const bool bloccata = tentativo > 0;
            if (bloccata) {
                blocco.emplace(db, SQLITE_OPEN_READWRITE, nullptr);
                prendiBlocco(blocco->get());
            }
            passo(bloccata ? Passo::CopiaBloccata : Passo::Copia);
            // Read before the copy's snapshot: a commit in between is taken
            // for one the copy missed, which costs a second copy, never a write.
            const qint64 prima = versione(origine->get());
            {
                Istruzione vacuum(origine->get(), QStringLiteral("VACUUM INTO ?"));
                vacuum.lega({nuovo});
                vacuum.eseguiTutto();
            }
            passo(Passo::Verifica);
            {
                // The copy goes to disk while its check reads it from memory:
                // the two together take little longer than the check alone.
                // (The future's destructor waits for the flush on every path.)
                std::future<bool> suDisco = std::async(std::launch::async, [nuovo] { return sincronizza(nuovo, false); });
                verificaCopia(nuovo, g.annulla);
                if (!suDisco.get())
                    throw ErroreDatabase(QStringLiteral("impossibile scrivere su disco la copia compattata"),
                                         SQLITE_IOERR);
            }
            // The copy comes out with a rollback journal; switched to WAL
            // here, the desk's reopening finds nothing to change and costs
            // its thread a few milliseconds instead of a header write and
            // its flush. The header page is all there is left to flush.
            {
                Aperta copia(nuovo, SQLITE_OPEN_READWRITE, g.annulla);
                eseguiScript(copia.get(), QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("copia"));
            }
            if (!sincronizza(nuovo, false))
                throw ErroreDatabase(QStringLiteral("impossibile scrivere su disco la copia compattata"), SQLITE_IOERR);
            if (annullato())
                throw ErroreDatabase(QStringLiteral("annullata"), SQLITE_INTERRUPT);
            if (bloccata)
                break;
            blocco.emplace(db, SQLITE_OPEN_READWRITE, nullptr);
            prendiBlocco(blocco->get());
            if (versione(origine->get()) == prima)
                break;
            blocco.reset();
            if (!rimuoviDatabase(nuovo))
                throw ErroreDatabase(QStringLiteral("impossibile eliminare la copia superata %1").arg(nuovo),
                                     SQLITE_CANTOPEN);
        }
    } catch (const ErroreDatabase& e) {
        origine.reset();
        blocco.reset();
        rimuoviDatabase(nuovo);
        if (annullato())
            return annullata;
        return fallita(QStringLiteral("Errore durante la compattazione: %1.").arg(testoErrore(e)));
    }

    // From here the files are swapped: the operator can no longer cancel.
    passo(Passo::Scambio);
    origine.reset();
    if (g.chiudiScrivania && !g.chiudiScrivania()) {
        blocco.reset();
        rimuoviDatabase(nuovo);
        return annullata;
    }
    sqlite3_exec(blocco->get(), "ROLLBACK", nullptr, nullptr, nullptr);
    blocco.reset();
    // The last connection to close folds the write-ahead log into the file
    // and removes it. A log still there belongs to a connection of another
    // program, which would go on writing into the file renamed away.
    if (QFileInfo::exists(db + QStringLiteral("-wal"))) {
        rimuoviDatabase(nuovo);
        return fallita(QStringLiteral("Il database %1 è aperto da un altro programma: non è stato sostituito.")
                           .arg(QDir::toNativeSeparators(db)));
    }
    QFile::remove(db + QStringLiteral("-shm"));

    // The old backup is given up only now that a sound copy exists.
    if (!rimuoviDatabase(bak)) {
        rimuoviDatabase(nuovo);
        return fallita(QStringLiteral("Impossibile eliminare la copia di sicurezza %1.")
                           .arg(QDir::toNativeSeparators(bak)));
    }
    if (!QFile::rename(db, bak)) {
        rimuoviDatabase(nuovo);
        return fallita(QStringLiteral("Impossibile rinominare %1 in %2.")
                           .arg(QDir::toNativeSeparators(db), QDir::toNativeSeparators(bak)));
    }
    if (!QFile::rename(nuovo, db)) {
        // The database must be where the console looks for it.
        if (QFile::rename(bak, db) || QFile::copy(bak, db)) {
            sincronizza(cartellaDati, true);
            rimuoviDatabase(nuovo);
            return {Stato::FallitaRipristinato,
                    QStringLiteral("Impossibile rinominare %1 in %2: il database originale è stato ripristinato.")
                        .arg(QDir::toNativeSeparators(nuovo), QDir::toNativeSeparators(db)),
                    {}, {}};
        }
        return {Stato::SenzaDatabase,
                QStringLiteral("Impossibile rinominare %1 in %2 e ripristinare l'originale: il database è nel "
                               "file %3, la copia compattata nel file %1.")
                    .arg(QDir::toNativeSeparators(nuovo), QDir::toNativeSeparators(db),
                         QDir::toNativeSeparators(bak)),
                {}, {}};
    }
    sincronizza(cartellaDati, true);
    return {Stato::Riuscita, {}, {}, {}};
}

// The tables the console owns in a server database: those of its schema and
// the peripheral types' input tables. Whatever else the database holds is
// someone else's and is never touched.
QStringList tabelleDellaConsole(Database& db)
{
    QFile schema(QStringLiteral(":/sorvela/schema-postgresql.sql"));
    schema.open(QIODevice::ReadOnly);
    const QString testo = QString::fromUtf8(schema.readAll());
    QStringList tabelle;
    QRegularExpression crea(QStringLiteral("CREATE TABLE \"([^\"]+)\""));
    for (auto m = crea.globalMatch(testo); m.hasNext();)
        tabelle << m.next().captured(1);
    RecordSet tipi = db.apriRecordSet(QStringLiteral("SELECT DISTINCT \"Tabella\" FROM \"TipoPeriferica\" "
                                                     "WHERE \"Tabella\" IS NOT NULL"));
    for (; !tipi.eof(); tipi.moveNext())
        tabelle << tipi.campo(0).toString();
    QStringList verificate;
    for (const QString& t : tabelle) {
        if (const auto q = tabellaVerificata(db, t); q && !verificate.contains(*q))
            verificate << *q;
    }
    return verificate;
}

// On a server there is no file to copy and swap: the server's VACUUM gives
// the space of deleted rows back for reuse and ANALYZE brings the planner's
// figures up to date, table by table, on a connection of the worker's own
// while the desk goes on. It can be cancelled between two tables.
EsitoCompattazione riordina(const QString& url, const Ganci& g)
{
    using Stato = EsitoCompattazione::Stato;
    try {
        auto db = Database::apri(url);
        const QStringList tabelle = tabelleDellaConsole(*db);
        for (const QString& t : tabelle) {
            if (g.annulla && *g.annulla)
                return {Stato::Annullata, {}, {}, {}};
            if (g.passo)
                g.passo(Compattazione::Passo::Riordino);
            db->esegui(QStringLiteral("VACUUM (ANALYZE) ") + t); // sql: identificatore verificato
        }
        EsitoCompattazione e{Stato::Riuscita, {}, {}, {}};
        e.riepilogo = QStringLiteral("riordinate sul server %1 tabelle della console").arg(tabelle.size());
        return e;
    } catch (const ErroreDatabase& e) {
        return {Stato::FallitaIntatto, testoErrore(e), {}, {}};
    }
}

} // namespace

EsitoCompattazione CompattaDatabase(const QString& cartellaDati)
{
    return compatta(cartellaDati, Ganci{});
}

struct Compattazione::Stato {
    QString cartella;
    Database* scrivania = nullptr;   // the owner's thread only
    std::atomic<bool> annulla{false};
    QSemaphore scrivaniaChiusa;
    bool chiusaDaNoi = false;        // the owner's thread only
    EsitoCompattazione esito;        // the worker's, read once it has ended
};

Compattazione::Compattazione(const QString& cartellaDati, Database* scrivania, QObject* genitore)
    : QObject(genitore)
    , m_s(std::make_shared<Stato>())
{
    qRegisterMetaType<EsitoCompattazione>();
    m_s->cartella = cartellaDati;
    m_s->scrivania = scrivania;
}

Compattazione::~Compattazione()
{
    if (!m_thread)
        return;
    m_s->annulla = true;
    m_concluso = true;
    m_thread->wait();
    delete m_thread;
}

void Compattazione::avvia()
{
    if (m_thread)
        return;
    Ganci g;
    g.annulla = &m_s->annulla;
    // Posted to this object, so they run on the owner's thread; a run
    // already ended by concludi() ignores them.
    g.passo = [this](Passo p) {
        QMetaObject::invokeMethod(
            this,
            [this, p] {
                if (!m_concluso)
                    emit passo(p);
            },
            Qt::QueuedConnection);
    };
    auto s = m_s;
    std::function<EsitoCompattazione()> lavoro;
    if (m_s->scrivania && m_s->scrivania->suServer()) {
        const QString url = m_s->scrivania->percorso();
        lavoro = [g, url] { return riordina(url, g); };
    } else {
        // While the worker holds the write lock, a write of the desk must not
        // wait for it on the desk's thread: refused at once, retried later.
        if (m_s->scrivania && m_s->scrivania->aperto())
            m_s->scrivania->nonAttendereOccupato(true);
        g.chiudiScrivania = [this, s] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!m_concluso && m_s->scrivania && m_s->scrivania->aperto()) {
                        m_s->scrivania->chiudi();
                        m_s->chiusaDaNoi = true;
                    }
                    m_s->scrivaniaChiusa.release();
                },
                Qt::QueuedConnection);
            while (!s->scrivaniaChiusa.tryAcquire(1, 20)) {
                if (s->annulla)
                    return false;
            }
            return true;
        };
        lavoro = [s, g] { return compatta(s->cartella, g); };
    }
    m_thread = QThread::create([s, lavoro] { s->esito = lavoro(); });
    m_thread->setObjectName(QStringLiteral("compattazione"));
    connect(m_thread, &QThread::finished, this, [this] {
        if (!m_concluso)
            emit finita(chiudiRun());
    });
    m_thread->start();
}

void Compattazione::annulla()
{
    m_s->annulla = true;
}

bool Compattazione::inCorso() const
{
    return m_thread && !m_concluso;
}

EsitoCompattazione Compattazione::concludi()
{
    if (!m_thread || m_concluso)
        return m_s->esito;
    m_s->annulla = true;
    return chiudiRun();
}

EsitoCompattazione Compattazione::chiudiRun()
{
    m_concluso = true;
    m_thread->wait();
    EsitoCompattazione esito = m_s->esito;
    Database* d = m_s->scrivania;
    if (d && m_s->chiusaDaNoi) {
        m_s->chiusaDaNoi = false;
        try {
            d->riapri();
        } catch (const ErroreDatabase& e) {
            esito.erroreRiapertura = testoErrore(e);
        }
    } else if (d && d->aperto()) {
        d->nonAttendereOccupato(false);
    }
    m_s->esito = esito;
    return esito;
}

} // namespace sorvela::store
