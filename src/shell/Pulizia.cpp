#include "shell/Pulizia.h"

#include "core/DateItaliane.h"
#include "platform/Contesto.h"
#include "platform/RegistroOperazioni.h"
#include "store/Database.h"

#include <QVariantList>

namespace sorvela::pulizia {

namespace {

// Dates are stored as ISO text, so a day range is a text range on the
// indexed column: from the first instant of `dal` up to (not including) the
// day after `al`. An open end is the first or last time there is, which a
// server's timestamp column takes as well as the text compares.
QVariantList limiti(const Intervallo& i)
{
    return {i.dal ? date::perDatabase(*i.dal) : QStringLiteral("0001-01-01 00:00:00"),
            i.al ? date::perDatabase(i.al->addDays(1)) : QStringLiteral("9999-12-31 23:59:59")};
}

} // namespace

QString descrivi(const Intervallo& i)
{
    if (i.dal && i.al)
        return QStringLiteral("dal %1 al %2").arg(date::mostra(*i.dal), date::mostra(*i.al));
    if (i.al)
        return QStringLiteral("fino al %1").arg(date::mostra(*i.al));
    if (i.dal)
        return QStringLiteral("dal %1 in poi").arg(date::mostra(*i.dal));
    return QStringLiteral("tutto l'archivio");
}

Conteggio contaEventi(store::Database& db, const Intervallo& i)
{
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT count(*) AS n, max([ID]) AS ultimo FROM ArchivioEventi "
                       "WHERE [Data e ora] >= ? AND [Data e ora] < ?"),
        limiti(i));
    return {rs.campo(QStringLiteral("n")).toLongLong(), rs.campo(QStringLiteral("ultimo")).toLongLong()};
}

qint64 cancellaEventi(Contesto& c, const Intervallo& i, const Conteggio& n)
{
    store::Database& db = *c.db;
    QVariantList p = limiti(i);
    p << n.ultimoId;
    store::Transazione t(db);
    db.esegui(QStringLiteral("DELETE FROM ArchivioEventi WHERE [Data e ora] >= ? AND [Data e ora] < ? AND [ID] <= ?"),
              p);
    const qint64 cancellati = db.righeModificate();
    RegistraOperazione(c, azione::Ripulisci,
                       QStringLiteral("dal %1 al %2")
                           .arg(i.dal ? date::mostra(*i.dal) : QStringLiteral("(inizio)"),
                                i.al ? date::mostra(*i.al) : QStringLiteral("(fine)")),
                       QStringLiteral("%1 eventi cancellati (ID fino a %2)").arg(cancellati).arg(n.ultimoId));
    t.conferma();
    return cancellati;
}

} // namespace sorvela::pulizia
