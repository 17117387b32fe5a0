#pragma once
// Where the console's data live when no --data-dir says otherwise.

#include <QString>

namespace sorvela {

// $XDG_DATA_HOME/Sorvela, i.e. ~/.local/share/Sorvela by default.
QString cartellaDatiPredefinita();

} // namespace sorvela
