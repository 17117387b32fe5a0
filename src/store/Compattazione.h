#pragma once
// Compaction of the console's database file, with one backup generation.
//
// The work runs on a thread of its own, with connections of its own, while
// the desk goes on reading and writing through its connection; the desk's
// connection is touched only on the thread that owns it (see Database.h).
//
// The order is what keeps the database, and every write made meanwhile, safe:
// 1. a Sorvelanew.db left by an interrupted run is removed first;
// 2. the database is copied compacted into Sorvelanew.db (VACUUM INTO), the
//    copy is flushed to disk and must pass PRAGMA integrity_check;
// 3. the write lock is taken on the database: from here the desk's writes are
//    refused at once (they are retried: a message stays in the handset) and
//    none can be made that the copy would miss. A write committed while the
//    copy was made means the copy is stale: it is made again, this time with
//    the write lock held from the start;
// 4. the desk closes its connection (on its own thread), the lock is let go
//    and the write-ahead log is folded in by the last connection to close; a
//    log still there afterwards means another program has the file open, and
//    nothing is renamed;
// 5. only then the old Sorvela.bak goes, Sorvela.db becomes Sorvela.bak and
//    Sorvelanew.db becomes Sorvela.db; if the last rename fails, Sorvela.bak
//    is put back as Sorvela.db;
// 6. the desk's connection is opened again, on the same Database object.
// Up to step 5 Sorvela.db is never touched, and a failure before it leaves
// the previous backup too. It can be cancelled up to step 4, not after.
//
// Nothing here shows anything; the result says what happened, for the caller
// to tell the operator.

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace sorvela::store {

class Database;

struct EsitoCompattazione {
    enum class Stato {
        Riuscita,           // Sorvela.db is the compacted copy, Sorvela.bak the file before
        FallitaIntatto,     // nothing was renamed: Sorvela.db is the database as it was
        FallitaRipristinato, // a rename failed and the original was put back as Sorvela.db
        SenzaDatabase,      // not even that worked: the database is in Sorvela.bak (dettaglio says so)
        Annullata           // cancelled before the swap: nothing was renamed
    };
    Stato stato = Stato::FallitaIntatto;
    QString dettaglio;      // why it failed (empty on success), in the operator's language
    // The desk's connection could not be opened again after the compaction:
    // the text says why, and the desk's Database stays closed.
    QString erroreRiapertura;
    // What was done, when it is not the file's compaction (on a server).
    QString riepilogo;

    bool riuscita() const { return stato == Stato::Riuscita; }
};

// The whole compaction on the calling thread, for a database nobody in this
// process has open (the tools, the tests of the files' handling).
EsitoCompattazione CompattaDatabase(const QString& cartellaDati);

// One compaction on a worker thread while the desk's connection stays in
// use. Lives on the thread that owns `scrivania`; every signal arrives there.
class Compattazione : public QObject {
    Q_OBJECT
public:
    enum class Passo {
        Copia,          // the compacted copy is being written
        CopiaBloccata,  // written again, with the desk's writes held off
        Verifica,       // the copy's integrity check
        Scambio,        // the files are being swapped: no longer cancellable
        Riordino        // on a server: VACUUM (ANALYZE) of the console's tables
    };
    Q_ENUM(Passo)

    // `scrivania` may be null (no connection open in this process); it must
    // outlive the run, or the run must be ended first with concludi().
    Compattazione(const QString& cartellaDati, Database* scrivania, QObject* genitore = nullptr);
    // Cancels and waits for the worker; never touches the desk's connection,
    // which may already be gone when the owner is being destroyed.
    ~Compattazione() override;

    // For a desk whose database is on a server there is no file to compact:
    // the run is the server's VACUUM (ANALYZE) of the console's tables.
    void avvia();
    // Honoured until the swap has begun.
    void annulla();
    bool inCorso() const;
    // Ends the run here and now (the console is closing): cancels what can
    // still be cancelled, waits for the rest and reopens the desk's
    // connection. `finita` is then not emitted.
    EsitoCompattazione concludi();

signals:
    void passo(sorvela::store::Compattazione::Passo p);
    // The desk's connection is open again (or erroreRiapertura says why not).
    void finita(const sorvela::store::EsitoCompattazione& esito);

private:
    EsitoCompattazione chiudiRun();
    struct Stato;
    std::shared_ptr<Stato> m_s;
    QThread* m_thread = nullptr;
    bool m_concluso = false;
};

} // namespace sorvela::store

Q_DECLARE_METATYPE(sorvela::store::EsitoCompattazione)
