#pragma once
// The printed history of a subscriber: three heading lines in 8-point type
// (the unit's code, the person's name, the company name), an empty line,
// then one entry per history row in 10-point type, "*", the date and time
// and the description separated by tabs, wrapped at 11000 twips and broken
// only after a blank or a tab.
//
// The type is Times New Roman, or Liberation Serif where that is missing
// (same metrics, so the lines break in the same places).

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;

namespace sorvela {

struct Contesto;

namespace stampa {

// Distances are in twips from the left edge of the printed line.
inline constexpr double LarghezzaRiga = 11000;
// A tab moves the next word to the next multiple of this: the date and the
// description of every entry then start in the same columns.
inline constexpr double PassoTabulazione = 720;

struct Frammento {
    double x = 0;
    QString testo;
    bool operator==(const Frammento&) const = default;
};
using RigaStampata = QList<Frammento>;

// One history row laid out as printed lines. The text "*" TAB cell TAB cell
// TAB ... is cut into words, each running up to and including the next blank
// or tab (or to the end); a word whose printed width would carry it past
// LarghezzaRiga starts a new line, unless it already starts one (a word
// longer than the line gets a line of its own rather than an empty line
// before it). A trailing blank is part of the width, a trailing tab is not:
// it only moves what follows to the next tab stop. `larghezza` measures a
// text in twips.
QList<RigaStampata> ImpaginaVoce(const QStringList& celle, const std::function<double(const QString&)>& larghezza);

} // namespace stampa

struct IntestazioneStorico {
    QString codice;
    QString nominativo;
    QString ragioneSociale;
};

// Any listing printed the history's way: heading lines in 8-point type, an
// empty line, then the rows. `oggetto` names the listing in the operator's
// messages ("lo storico"); the PDF made without a printer is
// "<prefissoFile>_<date-time>.pdf" in the data folder.
struct DocumentoStampa {
    QString nome;
    QString prefissoFile;
    QString oggetto;
};
bool DisegnaElenco(QPrinter& printer, const QStringList& intestazione, const QList<QStringList>& righe);
QString StampaElenco(Contesto& c, const DocumentoStampa& documento, const QStringList& intestazione,
                     const QList<QStringList>& righe);

// Prints the heading and the rows (each the cells of one history row) on
// `printer`, starting new pages as the lines fill them. False when the
// printer could not be started.
bool DisegnaStorico(QPrinter& printer, const IntestazioneStorico& intestazione, const QList<QStringList>& righe);

// Prints on the default printer, A4 portrait. With no printer configured the
// history goes to a PDF file in the data folder, and the operator is told its
// name; a printer or file that cannot be written is told too. Returns the
// PDF's path, or empty when it went to a printer or failed.
QString StampaStorico(Contesto& c, const IntestazioneStorico& intestazione, const QList<QStringList>& righe);

} // namespace sorvela
