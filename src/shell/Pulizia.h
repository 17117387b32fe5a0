#pragma once
// Deleting old events: the selection by a range of dates and the deletion in
// one transaction. No widgets here; the window `Ripulisci` only asks.
//
// The count and the deletion are two steps with the operator's answer in
// between, and events keep arriving meanwhile. The count therefore also
// notes the highest event ID it saw, and the deletion takes only events up
// to that ID: exactly those counted and confirmed (event IDs only grow), never
// an alarm registered while the question was open.

#include <QDate>
#include <QString>
#include <optional>

namespace sorvela { struct Contesto; }
namespace sorvela::store { class Database; }

namespace sorvela::pulizia {

struct Intervallo {
    std::optional<QDate> dal;  // open at the start when empty
    std::optional<QDate> al;   // open at the end when empty
};

struct Conteggio {
    qint64 eventi = 0;   // events whose day lies in the range
    qint64 ultimoId = 0; // the highest of their IDs; 0 when there are none
};

// The range in the operator's words: "dal 01/03/2026 al 08/03/2026",
// "fino al …", "dal … in poi", or "tutto l'archivio".
QString descrivi(const Intervallo& i);

// Events whose date (the date part of [Data e ora]) lies in the range. A
// from-date after the to-date selects nothing.
Conteggio contaEventi(store::Database& db, const Intervallo& i);
// Deletes, all or none, the events of the range whose ID is at most
// `n.ultimoId`; returns how many went. The record of actions gets the range
// and the count in the same transaction. Throws store::ErroreDatabase with
// nothing deleted.
qint64 cancellaEventi(Contesto& c, const Intervallo& i, const Conteggio& n);

} // namespace sorvela::pulizia
