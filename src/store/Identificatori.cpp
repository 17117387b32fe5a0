#include "store/Identificatori.h"

#include "store/Database.h"

namespace sorvela::store {

std::optional<QString> tabellaVerificata(Database& db, const QString& nome)
{
    if (nome.isEmpty())
        return std::nullopt;
    // SQLite's own tables (sqlite_sequence, sqlite_stat1 …) are never a
    // catalog table, whatever a damaged row says.
    // On a server: a table of the current schema only, never the catalog's.
    const QVariant vero = db.suServer()
        ? db.valore(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
                                   "AND table_type = 'BASE TABLE' AND lower(table_name) = lower(?) "
                                   "ORDER BY table_name = ? DESC LIMIT 1"),
                    {nome, nome})
        : db.valore(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                   "AND name = ? COLLATE NOCASE AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"),
                    {nome});
    if (vero.isNull())
        return std::nullopt;
    QString n = vero.toString();
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

} // namespace sorvela::store
