#pragma once
// Deleting old events: the selection by a range of dates and the deletion in
// one transaction. No widgets here; the window `Ripulisci` only asks.

#include <QDate>
#include <optional>

namespace sorvela::store { class Database; }

namespace sorvela::pulizia {

struct Intervallo {
    std::optional<QDate> dal;  // open at the start when empty
    std::optional<QDate> al;   // open at the end when empty
};

// Events whose date (the date part of [Data e ora]) lies in the range.
qint64 contaEventi(store::Database& db, const Intervallo& i);
// Deletes them all or none; returns how many went.
qint64 cancellaEventi(store::Database& db, const Intervallo& i);

} // namespace sorvela::pulizia
