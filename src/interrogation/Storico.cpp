#include "interrogation/Storico.h"

#include "core/DateItaliane.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantList>

namespace sorvela {

store::RecordSet ApriStorico(store::Database& db, const QString& codice, const QString& dal, const QString& al)
{
    // [Data e ora] as its stored text: shown as it is, it needs no local
    // time conversion per row.
    QString sql = QStringLiteral("SELECT [ID], CAST([Data e ora] AS TEXT) AS [Data e ora], [Descrizione evento], "
                                 "[Tipo evento] FROM [DatiUtente Query] WHERE [Codice periferica] = ?");
    QVariantList parametri{codice};
    // The stored times are "YYYY-MM-DD HH:MM:SS" text: a day's events lie
    // from its date up to (not including) the next day's, which compares on
    // the history index instead of cutting every stored time to its day.
    if (const auto d = date::leggiData(dal)) {
        sql += QStringLiteral(" AND [Data e ora] >= ?");
        parametri << *d;
    }
    if (const auto a = date::leggiData(al)) {
        sql += QStringLiteral(" AND [Data e ora] < ?");
        parametri << a->addDays(1);
    }
    // Ordered by the stored column, which the history index holds in order;
    // an event without a time last, as SQLite puts it (the server would
    // put it first).
    sql += QStringLiteral(" ORDER BY [DatiUtente Query].[Data e ora] DESC NULLS LAST, [ID] DESC");
    return db.apriRecordSet(sql, parametri);
}

QString TestoEvento(store::Database& db, const QString& codice, qint64 id)
{
    const QVariant t = db.valore(
        QStringLiteral("SELECT [Testo messaggio] FROM [DatiUtente Query] WHERE [ID] = ? AND [Codice periferica] = ?"),
        {id, codice});
    return t.isNull() ? QString() : t.toString();
}

QHash<qint64, QString> ArchiviazioniStorico(store::Database& db, const QString& codice)
{
    QHash<qint64, QString> esito;
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"ID\", \"Archiviato il\", \"Archiviato da\" FROM \"ArchivioEventi\" "
                       "WHERE \"Codice periferica\" = ? AND \"Archiviato\" = TRUE "
                       "AND (\"Archiviato il\" IS NOT NULL OR \"Archiviato da\" IS NOT NULL)"),
        {codice});
    for (; !rs.eof(); rs.moveNext()) {
        QStringList parti;
        const QVariant da = rs.campo(2);
        if (!da.isNull())
            parti << da.toString();
        const QDateTime il = rs.campo(1).toDateTime();
        if (il.isValid())
            parti << date::mostra(il);
        esito.insert(rs.campo(0).toLongLong(), QStringLiteral("archiviato: ") + parti.join(QStringLiteral(", ")));
    }
    return esito;
}

} // namespace sorvela
