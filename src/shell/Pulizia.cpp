#include "shell/Pulizia.h"

#include "core/DateItaliane.h"
#include "store/Database.h"

#include <QVariantList>

namespace sorvela::pulizia {

namespace {

// Dates are stored as ISO text, so a day range is a text range on the
// indexed column: from the first instant of `dal` up to (not including) the
// day after `al`. An open end is a bound every stored date passes. Without
// any bound, every event counts, one without a date too.
bool limitato(const Intervallo& i)
{
    return i.dal || i.al;
}

QVariantList limiti(const Intervallo& i)
{
    return {i.dal ? date::perDatabase(*i.dal) : QStringLiteral("0000-00-00"),
            i.al ? date::perDatabase(i.al->addDays(1)) : QStringLiteral("9999-99-99")};
}

} // namespace

qint64 contaEventi(store::Database& db, const Intervallo& i)
{
    if (!limitato(i))
        return db.valore(QStringLiteral("SELECT COUNT(*) FROM ArchivioEventi")).toLongLong();
    return db.valore(QStringLiteral("SELECT COUNT(*) FROM ArchivioEventi WHERE [Data e ora] >= ? AND [Data e ora] < ?"),
                     limiti(i))
        .toLongLong();
}

qint64 cancellaEventi(store::Database& db, const Intervallo& i)
{
    store::Transazione t(db);
    if (limitato(i))
        db.esegui(QStringLiteral("DELETE FROM ArchivioEventi WHERE [Data e ora] >= ? AND [Data e ora] < ?"), limiti(i));
    else
        db.esegui(QStringLiteral("DELETE FROM ArchivioEventi"));
    const qint64 n = db.righeModificate();
    t.conferma();
    return n;
}

} // namespace sorvela::pulizia
