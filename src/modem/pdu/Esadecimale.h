#pragma once
// Hex digits as the PDU helpers read them: a pair of characters is worth its
// leading hexadecimal digits, so malformed text ("\r\n", "OK", a cut PDU)
// gives small numbers instead of failures.

#include <QString>

namespace sorvela::pdu {

// Value of the two characters at index i (0-based): both hex digits give
// 0..255, only the first one gives 0..15, none (or i past the end) gives 0.
int ValoreCoppia(const QString& testo, qsizetype i);

// "0".."9", "A".."F" for 0..15; upper case as handsets send.
QString OttettoEsadecimale(int valore);

} // namespace sorvela::pdu
