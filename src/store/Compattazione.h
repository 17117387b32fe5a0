#pragma once
// Compaction of the console's database file, with one backup generation.
//
// CompattaDatabase works on closed files only: the caller closes its
// connection before and opens Sorvela.db again after, whatever the outcome.
// It never shows anything; the result says what happened, for the caller to
// tell the operator.
//
// The order is what keeps the database safe at every step:
// 1. a Sorvelanew.db left by an interrupted run is removed first;
// 2. the database is copied compacted into Sorvelanew.db (VACUUM INTO);
// 3. the copy is flushed to disk and must pass PRAGMA integrity_check;
// 4. only then the old Sorvela.bak goes, Sorvela.db becomes Sorvela.bak and
//    Sorvelanew.db becomes Sorvela.db;
// 5. if the last rename fails, Sorvela.bak is put back as Sorvela.db.
// Up to step 4 Sorvela.db is never touched, and a failure before it leaves
// the previous backup too.

#include <QString>

namespace sorvela::store {

struct EsitoCompattazione {
    enum class Stato {
        Riuscita,           // Sorvela.db is the compacted copy, Sorvela.bak the file before
        FallitaIntatto,     // nothing was renamed: Sorvela.db is the database as it was
        FallitaRipristinato, // a rename failed and the original was put back as Sorvela.db
        SenzaDatabase       // not even that worked: the database is in Sorvela.bak (dettaglio says so)
    };
    Stato stato = Stato::FallitaIntatto;
    QString dettaglio;      // why it failed (empty on success), in the operator's language

    bool riuscita() const { return stato == Stato::Riuscita; }
};

EsitoCompattazione CompattaDatabase(const QString& cartellaDati);

} // namespace sorvela::store
