#pragma once
// Pictures drawn by the console itself: the mark shown in the status strip
// and in the information window, and the window icon.

#include <QPixmap>

namespace sorvela::immagini {

QPixmap marchio(int larghezza, int altezza);
QPixmap icona(int lato);

} // namespace sorvela::immagini
