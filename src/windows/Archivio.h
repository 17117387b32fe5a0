#pragma once
// The archive search behind the window "Archivio Storico": checking what the
// operator typed, and reading the events of one code or of all within a range
// of days, of the report kinds wanted, newest first. No widgets here.
//
// Every statement is a fixed text with bound values, and each reaches its
// rows through an index: the range of days on `ArchivioEventi Data e ora`,
// one code and its days on `ArchivioEventi Codice`. Rows come a page at a
// time, each page starting after the last row of the one before, so a search
// that matches a million events costs one page and a count, not a million
// rows. All routines throw store::ErroreDatabase.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace sorvela::store { class Database; }

namespace sorvela::archivio {

// Whether date text `a` is not later than date text `b`. Both are read as
// the operator types dates (day/month/year, two-digit years in the fixed
// window of date::leggiData); a text that is no date answers no.
bool DataValida(const QString& a, const QString& b);

// Six digits typed as ddmmyy become "dd/mm/yy"; any other text is returned
// as it is.
QString FormaData(const QString& testo);

// The code as the operator means it: left-padded with "0" to six digits.
QString CompletaCodice(const QString& testo);

// Whether a subscriber with this code exists (`Dati_Utente`).
bool CodiceEsiste(store::Database& db, const QString& codice);

// The day of the oldest event; empty when the archive holds none.
std::optional<QDate> PrimaData(store::Database& db);

// The distinct non-empty event descriptions of one code's events, in
// alphabetical order.
QStringList Descrizioni(store::Database& db, const QString& codice);

struct Criteri {
    QString codice;          // one code, or empty for every code
    QDate dal;               // first day, included
    QDate al;                // last day, included
    bool test = false;       // "Test" events and those without a type
    bool allarme = false;    // "Allarme" events
    QString descrizione;     // one event description, or empty for any
};

struct Riga {
    qint64 id = 0;
    QString codice;
    QString nome;            // the company name for a company, else the person's name
    QDateTime dataOra;
    QString tipo;
    QString descrizione;
    bool archiviato = false;
    QDateTime archiviatoIl;  // invalid when not known (archived before it was kept)
    QString archiviatoDa;    // the operator who archived it
};

// Who archived an event and when, as the grid and the printout show it:
// "Rossi, 07/12/2026 10.15.00"; empty when neither is known.
QString DescriviArchiviazione(const Riga& r);

// Where a page ends: the next page starts after this row.
struct Segno {
    QString dataOra;         // as stored
    qint64 id = 0;
};

// The statements of a search with their values (for Conta and Pagina, and
// for checking their query plans).
struct Istruzione {
    QString sql;
    QVariantList parametri;
};
Istruzione IstruzioneConteggio(const Criteri& c);
Istruzione IstruzionePagina(const Criteri& c, const std::optional<Segno>& dopo, int quanti);

// How many events match.
qint64 Conta(store::Database& db, const Criteri& c);
// Up to `quanti` matching events, newest first (events of the same second by
// ID, newest first), after `dopo` when given; `fine` receives where the page
// ended.
QList<Riga> Pagina(store::Database& db, const Criteri& c, const std::optional<Segno>& dopo, int quanti,
                   Segno* fine);
// The message text of one event; empty when it is gone.
QString TestoMessaggio(store::Database& db, qint64 id);

} // namespace sorvela::archivio
