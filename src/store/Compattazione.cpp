#include "store/Compattazione.h"

#include "store/Interno.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// Writes the compacted copy. The source is opened by itself: what a writer
// still held in the write-ahead log is folded into the file first, and a
// database that another program keeps open is refused instead of being
// renamed under it.
void copiaCompattata(const QString& origine, const QString& destinazione)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(origine).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw ErroreDatabase(QStringLiteral("impossibile aprire %1: %2").arg(origine, msg), rc);
    }
    try {
        {
            Istruzione verifica(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                                   "AND name IN ('DatiUtente', 'ArchivioEventi')"));
            verifica.passo();
            if (sqlite3_column_int(verifica.get(), 0) != 2)
                throw ErroreDatabase(QStringLiteral("%1 non è un database Sorvela").arg(origine), SQLITE_NOTADB);
        }
        {
            Istruzione punto(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            if (punto.passo() && sqlite3_column_int(punto.get(), 0) != 0)
                throw ErroreDatabase(QStringLiteral("il database è in uso da un altro programma"), SQLITE_BUSY);
        }
        Istruzione vacuum(db, QStringLiteral("VACUUM INTO ?"));
        vacuum.lega({destinazione});
        vacuum.eseguiTutto();
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    sqlite3_close_v2(db);
}

// The copy must be a whole, sound database before anything is renamed.
void verificaCopia(const QString& percorso)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(percorso).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw ErroreDatabase(QStringLiteral("la copia compattata non si apre"), rc);
    }
    try {
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
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    sqlite3_close_v2(db);
}

} // namespace

EsitoCompattazione CompattaDatabase(const QString& cartellaDati)
{
    const QDir cartella(cartellaDati);
    const QString db = cartella.filePath(QStringLiteral("Sorvela.db"));
    const QString nuovo = cartella.filePath(QStringLiteral("Sorvelanew.db"));
    const QString bak = cartella.filePath(QStringLiteral("Sorvela.bak"));
    using Stato = EsitoCompattazione::Stato;
    auto fallita = [](const QString& perche) { return EsitoCompattazione{Stato::FallitaIntatto, perche}; };

    if (!QFileInfo(db).isFile())
        return fallita(QStringLiteral("Il file %1 non esiste.").arg(QDir::toNativeSeparators(db)));
    // A copy left by an interrupted run would make VACUUM INTO fail.
    if (!rimuoviDatabase(nuovo))
        return fallita(QStringLiteral("Impossibile eliminare il file %1 rimasto da una compattazione precedente.")
                           .arg(QDir::toNativeSeparators(nuovo)));
    try {
        copiaCompattata(db, nuovo);
        if (!sincronizza(nuovo, false))
            throw ErroreDatabase(QStringLiteral("impossibile scrivere su disco la copia compattata"), SQLITE_IOERR);
        verificaCopia(nuovo);
    } catch (const ErroreDatabase& e) {
        rimuoviDatabase(nuovo);
        return fallita(QStringLiteral("Errore durante la compattazione: %1.").arg(testoErrore(e)));
    }

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
                        .arg(QDir::toNativeSeparators(nuovo), QDir::toNativeSeparators(db))};
        }
        return {Stato::SenzaDatabase,
                QStringLiteral("Impossibile rinominare %1 in %2 e ripristinare l'originale: il database è nel "
                               "file %3, la copia compattata nel file %1.")
                    .arg(QDir::toNativeSeparators(nuovo), QDir::toNativeSeparators(db),
                         QDir::toNativeSeparators(bak))};
    }
    sincronizza(cartellaDati, true);
    return {Stato::Riuscita, {}};
}

} // namespace sorvela::store
