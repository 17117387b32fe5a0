#pragma once
// The read-only lists of the console (archive, picker, history): whole rows
// selected one at a time, one line of text a row, every row the same height
// so that tens of thousands of rows show without measuring any of them.

class QTableView;

namespace sorvela {

// `margine`: pixels added to the font's height for each row.
void preparaElenco(QTableView* elenco, int margine = 6);

} // namespace sorvela
