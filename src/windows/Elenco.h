#pragma once
// The read-only lists of the console (archive, picker, history, record,
// unattributed messages): whole rows selected one at a time, one line of
// text a row, every row the same height so that tens of thousands of rows
// show without measuring any of them.

#include <QStringList>

class QColor;
class QSize;
class QTableView;
class QTableWidget;
class QWidget;

namespace sorvela {

// `margine`: pixels added to the font's height for each row.
void preparaElenco(QTableView* elenco, int margine = 6);

// A grid of `finestra` named `nome` with these column headings: nothing
// edited in place, whole rows chosen one at a time, no row headings.
QTableWidget* grigliaSolaLettura(QWidget* finestra, const QString& nome, const QStringList& colonne);

// The same grid as a list of the console: one line a row, rows the window's
// font height plus 6, each column but the last as wide as its sample text
// (`campioni`, in order) plus 16 pixels, the last column taking what is left.
QTableWidget* grigliaElenco(QWidget* finestra, const QString& nome, const QStringList& colonne,
                            const QStringList& campioni);

// Row `r` of `griglia` shows `celle`, each with its whole text as tool tip and
// in `colore` when one is given.
void scriviRiga(QTableWidget* griglia, int r, const QStringList& celle, const QColor* colore = nullptr);

// What a list window asks for: `colonne` widths of an 'x' and `righe` lines
// of its font.
QSize misuraElenco(const QWidget* finestra, int colonne, int righe);

// The list window's "Esci": the MDI child holding it closes, or the window
// itself when it stands alone.
void chiudiElenco(QWidget* finestra);

} // namespace sorvela
