#pragma once
// In-cell editing of a QTableWidget: an editor widget laid over the cell being
// edited (and, for some columns, a small button at the cell's right), kept in
// place while the grid scrolls, and the editor's text written back into the
// cell. Shared by the grids whose cells the operator types into.

#include <QRect>

class QLineEdit;
class QPushButton;
class QString;
class QTableWidget;
class QWidget;

namespace sorvela::cella {

// Sets up a grid edited only through editors laid over its cells: rows of
// `altezzaRiga` pixels, no row headings, no selection, and never the keyboard
// focus, so closing an editor cannot hand the keys (and the arrows, which
// would scroll the grid away from the next editor) to the grid; a click does
// not scroll it under the editor it opens.
void preparaGriglia(QTableWidget* griglia, int altezzaRiga);

// Lays `editor` over cell (riga, colonna) of `griglia`; with `pulsantino`, the
// last `larghezzaPulsantino` pixels of the cell hold that button instead.
// A cell scrolled out of view hides both. Returns where the editor went (an
// empty rectangle when hidden). Geometry is set only when it changes, so a
// tracking timer calling this costs nothing while nothing moves.
QRect posaEditor(QTableWidget* griglia, int riga, int colonna, QWidget* editor, QPushButton* pulsantino = nullptr,
                 int larghezzaPulsantino = 0);

// Fills a text editor with the cell's text, all of it selected and read from
// its start: what the operator types replaces the value, as in any grid,
// rather than joining the old digits.
void riempiEditor(QLineEdit* editor, const QString& testo);

// Writes `testo` into cell (riga, colonna), creating the cell (centred unless
// `centrata` is false) when it does not exist yet. Returns true when the
// cell's text really changed: an editor filled with the cell's own text is no
// change. A position outside the grid changes nothing.
bool scriviCella(QTableWidget* griglia, int riga, int colonna, const QString& testo, bool centrata);

} // namespace sorvela::cella
