#pragma once
// A subscriber's history: its events newest first, optionally within a range
// of days, and the full text of one of them.

#include <QHash>
#include <QString>

namespace sorvela {

namespace store { class Database; class RecordSet; }

// The events of `codice` from `[DatiUtente Query]`, newest first (events of
// the same second by their ID, newest first), with `[ID]`, `[Data e ora]`
// (its stored text, "YYYY-MM-DD HH:MM:SS"), `[Descrizione evento]` and
// `[Tipo evento]`. `dal` and `al` are the range
// fields as typed ("dd/mm/yyyy"): each bounds the range by whole days when it
// is a valid date and is ignored otherwise. Throws store::ErroreDatabase.
store::RecordSet ApriStorico(store::Database& db, const QString& codice, const QString& dal, const QString& al);

// The message text of event `id` of `codice`; empty when there is none (the
// event was deleted meanwhile, or belongs to another unit). Throws
// store::ErroreDatabase.
QString TestoEvento(store::Database& db, const QString& codice, qint64 id);

// Who archived each archived event of `codice` and when, by event ID, as the
// printed history shows it ("archiviato: Rossi, 07/12/2026 10.15.00"); events
// archived before this was kept are missing. Throws store::ErroreDatabase.
QHash<qint64, QString> ArchiviazioniStorico(store::Database& db, const QString& codice);

} // namespace sorvela
