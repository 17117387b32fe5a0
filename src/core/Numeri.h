#pragma once
// Reading numbers out of free text: report values, ports, periods and settings
// all go through here so that every part of the console agrees on what
// "12,50" or "  7.5 euro" means.

#include <QString>
#include <QtGlobal>

namespace sorvela {

// The number a text begins with. Leading blanks are skipped; then the longest
// prefix that forms a number is read: an optional sign, digits with at most
// one "." as decimal point, an optional exponent ("e" or "E", optional sign,
// digits). Blanks, tabs and line feeds among those characters are ignored, so
// "1 250" reads 1250. Reading stops at any other character ("12,50" reads 12,
// "7.5 euro" reads 7.5); a text without a leading number reads 0.
// The result is always finite: a number too large for a double reads as the
// largest double of its sign, one too small reads as 0.
double ValoreNumerico(const QString& testo);

// Rounds to the nearest integer, a half going to the even neighbour (20.5
// gives 20, 21.5 gives 22), then clamps into -32768..32767 so that a unit that
// reports nonsense cannot push a level out of its 16-bit field.
qint16 InteroArrotondato(double valore);

// The value in single precision, clamped to the largest float of its sign
// rather than becoming infinite.
float ValoreSingolo(double valore);

} // namespace sorvela
