#pragma once
// Conversions between the stored forms of dates (ISO 8601 local time text,
// "YYYY-MM-DD HH:MM:SS" and "YYYY-MM-DD") and the Italian forms the operator
// reads and types ("dd/mm/yyyy", "hh.mm.ss"). All conversions live here.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace sorvela::date {

QString perDatabase(const QDateTime& t);   // "2026-03-02 10:05:07"
QString perDatabase(const QDate& d);       // "2026-03-02"
std::optional<QDateTime> daDatabaseOra(const QString& testo);
std::optional<QDate> daDatabaseData(const QString& testo); // also accepts a date-time text

QString mostra(const QDate& d);            // "02/03/2026"
QString mostra(const QDateTime& t);        // "02/03/2026 10.05.07"
QString mostraOra(const QTime& t);         // "10.05.07"
// A stored date-time text ("2026-03-02 10:05:07", or with "T") shown as
// "02/03/2026 10.05.07" by moving its digits, without going through a
// QDateTime: a long history shows tens of thousands of them, and every local
// QDateTime made costs a look at the time zone. Empty result when the text is
// not a valid date and time of that form.
std::optional<QString> mostraTestoDatabase(const QString& testo);

// Reads a date as the operator types it: day/month/year with "/", "-" or "."
// between the parts, one or two digits for day and month, two or four for the
// year. Empty result when it is not a date.
//
// A two-digit year is read in the fixed window 1970..2069 (00..69 are
// 2000..2069, 70..99 are 1970..1999): the archive, installation and SIM
// dates the operator types lie there, and a fixed window reads a typed date
// the same way whatever today's date is.
inline constexpr int PrimoAnnoFinestra = 1970;
std::optional<QDate> leggiData(const QString& testo);

} // namespace sorvela::date
