#pragma once
// How the interrogation routines tell the operator, and how they meet a
// database failure: they stop what they were doing with nothing half-written
// and say so once, with the database's own words under their own.

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

// Who a routine works for: the operator, who pressed a button and waits for
// the answer in a box, or the tick, whose notices neither wait nor take the
// keyboard from whatever the operator is typing.
enum class Per { Operatore, Tick };

inline void dici(Contesto& c, Per per, Icona icona, const QString& testo)
{
    if (!c.messaggi)
        return;
    if (per == Per::Operatore)
        c.messaggi->avvisa(icona, testo);
    else
        c.messaggi->notifica(QStringLiteral("interrogazione"), icona, testo);
}

inline void avvisa(Contesto& c, Per per, const QString& testo, const store::ErroreDatabase& e)
{
    dici(c, per, Icona::Errore, testo + QStringLiteral("\nErrore del database: ") + e.messaggio());
}

} // namespace sorvela::interrogazione::errori
