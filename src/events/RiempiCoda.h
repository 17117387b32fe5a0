#pragma once
// Filling the event grids: the new-events queue (`Coda` of "Eventi nuovi")
// and a subscriber's history (`gridStorico`), each row coloured by its event
// type, plus the two questions the console asks the queue every second and
// when the operator archives it.
//
// The queue is a QTableWidget whose horizontal header stands for the fixed
// header row: grid row k (k >= 1) is table row k - 1. The history is a
// QTableView over a ModelloEventi, since it may hold tens of thousands of rows.

#include <QColor>
#include <QList>
#include <QString>
#include <QtGlobal>

class QFontMetrics;
class QTableView;
class QTableWidget;

namespace sorvela {

struct Contesto;
namespace store { class Database; class RecordSet; }

// The text colour of a row: only the exact type "Allarme" is an alarm.
QColor coloreEvento(const QString& tipoEvento);

// Column 1 of the queue: the company name for a company, the person's name
// otherwise; a missing name is an empty cell.
QString nomeUtente(const store::RecordSet& rs);

// Fills `Coda` from a record set of `Coda Query` and closes the set.
// Rows 1..n are overwritten and the table is cut to n rows; it is not
// cleared first, and an empty set writes nothing and leaves the rows as they
// were. NumEventiNuovi becomes the set's record count. Returns the highest
// event ID written (0 when none), which bounds what the operator has seen.
qint64 RiempiCoda(store::RecordSet& rs, QTableWidget& Coda, Contesto& ctx);

// Fills a subscriber's history from a record set of that subscriber's events
// ([Data e ora], [Descrizione evento], [Tipo evento], and [ID] when `id` is
// given, which then receives each row's event ID) and closes the set. The
// grid's model must be a ModelloEventi of two columns; every row is replaced,
// and an empty history leaves one blank row. Column widths come from
// `metriche`, the subscriber window's font.
void RiempiStorico(store::RecordSet& rs, QTableView& gridStorico, const QFontMetrics& metriche,
                   QList<qint64>* id = nullptr);

// What the queue holds right now: how many unarchived events and the highest
// of their IDs. Reads only the unarchived part of the archive (an index
// range), so its cost follows the queue, not the archive.
struct StatoCoda {
    int conteggio = 0;
    qint64 ultimoId = 0;
};
StatoCoda LeggiStatoCoda(store::Database& db);

// Archives, in one transaction, every event of `Coda Query` whose ID is at
// most `ultimoIdMostrato`: the events the operator had in front of him when he
// pressed the button. Newer events stay queued, so an alarm that lands between
// two refreshes is never archived unseen. Each event keeps when and by whom
// (the operator on duty) it was archived, and the record of actions gets one
// row naming the events, in the same transaction. Returns how many were
// archived; -1 when the query was empty (nothing written). Throws
// store::ErroreDatabase, with nothing written.
int ArchiviaCoda(Contesto& c, qint64 ultimoIdMostrato);

} // namespace sorvela
