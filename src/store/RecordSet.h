#pragma once
// A record set in the manner of a dynaset: a cursor over the rows of a table,
// a view or a SELECT, that can write its rows back.
//
// Rows are read from SQLite as the cursor moves, not all at opening, so
// opening a set on a large table or a narrow view costs only its first row.
// recordCount() therefore counts the rows reached so far: it is exact at
// eof(), and non-zero right after opening when there is at least one.
//
// Which sets can be written:
// - a table, or "SELECT * FROM table ..." on one table: rows are updated and
//   deleted by rowid, addNew() inserts into that table;
// - a view (or "SELECT * FROM view ...") that shows its base table's primary
//   key: rows are updated through the view keyed by that column, which works
//   where the view has an INSTEAD OF trigger (`Coda Query` for `Archiviato`,
//   `F_PeriferichePredefinite` for `Predefinita`);
// - anything else is read-only; writing it throws ErroreDatabase.
// A row added through the set is not guaranteed to show in it until it is
// opened again; the current row stays where it was before addNew().
//
// Field names are matched without regard to case (accented letters
// included) and may be given with or without surrounding brackets.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace sorvela::store {

namespace detail { struct Connessione; struct StatoRecordSet; }

class RecordSet {
public:
    RecordSet();  // a closed set
    RecordSet(RecordSet&&) noexcept;
    RecordSet& operator=(RecordSet&&) noexcept;
    ~RecordSet();

    bool aperto() const;
    // True when the cursor is past the last row (also for an empty set).
    bool eof() const;
    int recordCount() const;

    void moveFirst();
    void moveNext();

    // The field of the current row: a null QVariant for SQL NULL. Throws for
    // an unknown name or when there is no current row. During addNew()/edit()
    // a field already set reads back the value set.
    QVariant campo(const QString& nome) const;
    QVariant campo(int indice) const;
    QStringList nomiCampi() const;

    void addNew();
    void edit();
    void setCampo(const QString& nome, const QVariant& valore);
    // Writes the pending addNew()/edit() with bound values.
    void update();
    void chiudi();

private:
    friend class Database;
    explicit RecordSet(std::unique_ptr<detail::StatoRecordSet> s);
    std::unique_ptr<detail::StatoRecordSet> d;
};

} // namespace sorvela::store
