#pragma once
// Names of tables that come from the database itself (a peripheral type's
// input table is named by its `Tabella` field) may only reach SQL text as
// identifiers of tables that really exist. This is the one place that checks
// and quotes such a name; values never go this way, they are always bound.

#include <QString>

#include <optional>

namespace sorvela::store {

class Database;

// The name quoted as an SQL identifier ("..." with inner quotes doubled),
// spelled as the database spells it, when `nome` is an existing table of the
// main schema (looked up in sqlite_master with a bound parameter, without
// regard to case); nothing for a view, an index, SQLite's own tables, an
// empty text or an unknown name. Throws ErroreDatabase when the lookup fails.
std::optional<QString> tabellaVerificata(Database& db, const QString& nome);

} // namespace sorvela::store
