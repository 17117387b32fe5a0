#include "shell/Pulizia.h"

#include "core/DateItaliane.h"
#include "store/Database.h"

#include <QStringList>
#include <QVariantList>

namespace sorvela::pulizia {

namespace {

// Dates are stored as ISO text, so a day range is a text range on the
// indexed column: from the first instant of `dal` up to (not including) the
// day after `al`.
QString condizione(const Intervallo& i, QVariantList& parametri)
{
    QStringList parti;
    if (i.dal) {
        parti << QStringLiteral("[Data e ora] >= ?");
        parametri << date::perDatabase(*i.dal);
    }
    if (i.al) {
        parti << QStringLiteral("[Data e ora] < ?");
        parametri << date::perDatabase(i.al->addDays(1));
    }
    if (parti.isEmpty())
        return {};
    return QStringLiteral(" WHERE ") + parti.join(QStringLiteral(" AND "));
}

} // namespace

qint64 contaEventi(store::Database& db, const Intervallo& i)
{
    QVariantList p;
    const QString dove = condizione(i, p);
    return db.valore(QStringLiteral("SELECT COUNT(*) FROM ArchivioEventi") + dove, p).toLongLong();
}

qint64 cancellaEventi(store::Database& db, const Intervallo& i)
{
    QVariantList p;
    const QString dove = condizione(i, p);
    store::Transazione t(db);
    db.esegui(QStringLiteral("DELETE FROM ArchivioEventi") + dove, p);
    const qint64 n = db.righeModificate();
    t.conferma();
    return n;
}

} // namespace sorvela::pulizia
