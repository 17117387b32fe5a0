#pragma once
// A record set in the manner of a dynaset: a cursor over the rows of a table,
// a view or a SELECT, that can find rows and write them back.
//
// Rows are read from SQLite as the cursor moves, not all at opening, so
// opening a set on a large table or a narrow view costs only its first row.
// recordCount() therefore counts the rows reached so far: it is exact after
// moveLast(), and non-zero right after opening when there is at least one.
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
    void moveLast();

    // criterio is an SQL boolean expression over the set's columns, with "?"
    // placeholders bound from parametri, e.g. "[Codice periferica] = ?".
    // The cursor goes to the first (next, after the current row) matching
    // row; without a match it stays where it was and noMatch() is true.
    bool findFirst(const QString& criterio, const QVariantList& parametri = {});
    bool findNext(const QString& criterio, const QVariantList& parametri = {});
    bool noMatch() const;

    // The field of the current row: a null QVariant for SQL NULL. Throws for
    // an unknown name or when there is no current row. During addNew()/edit()
    // a field already set reads back the value set.
    QVariant campo(const QString& nome) const;
    QVariant campo(int indice) const;
    QStringList nomiCampi() const;
    int numeroCampi() const;

    void addNew();
    void edit();
    void setCampo(const QString& nome, const QVariant& valore);
    // Writes the pending addNew()/edit() with bound values.
    void update();
    // Drops a pending addNew()/edit() without writing.
    void cancelUpdate();
    // rowid of the row written by the last addNew()+update().
    qint64 ultimoId() const;

    // Deletes the current row; the cursor stays on the gap until it moves.
    void cancellaCorrente();
    void chiudi();

private:
    friend class Database;
    explicit RecordSet(std::unique_ptr<detail::StatoRecordSet> s);
    std::unique_ptr<detail::StatoRecordSet> d;
};

} // namespace sorvela::store
