#pragma once
// How the interrogation routines meet a database failure: they stop what
// they were doing with nothing half-written and tell the operator in one
// box, with the database's own words under their own.

#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"

namespace sorvela::interrogazione::errori {

// The open database of the console; throws when there is none, so every
// routine meets a missing database the way it meets a failing one.
inline store::Database& database(Contesto& c)
{
    if (!c.db || !c.db->aperto())
        throw store::ErroreDatabase(QStringLiteral("il database non è aperto"), 0);
    return *c.db;
}

inline void avvisa(Contesto& c, const QString& testo, const store::ErroreDatabase& e)
{
    if (c.messaggi)
        c.messaggi->avvisa(Icona::Errore, testo + QStringLiteral("\nErrore del database: ") + e.messaggio());
}

} // namespace sorvela::interrogazione::errori
