#pragma once
// The GSM 7-bit default alphabet and its extension table (3GPP TS 23.038):
// what each septet of a 7-bit message stands for. Letters, digits, the blank
// and the punctuation of the units' reports (":", ";", ",", ".", "/", "%")
// are the same septets as in ASCII; the rest differ: 4 is "è", 127 "à", 0
// "@", 2 "$", 17 "_", and ESC (27) announces a character of the extension
// table ("€", "[", "]", "{", "}", "~", "^", "\", "|", form feed).

#include <QString>

namespace sorvela::pdu {

// Septet codes (one character per septet, code 0..127, as SettettiDa and
// DecodificaSettetti give them) read as the text they stand for. An escape
// followed by a code the extension table lacks stands for that code's
// character in the default table; an escape at the very end stands for
// nothing. Characters above 127 are kept as they are.
QString TraduciAlfabetoGsm(const QString& settetti);

// The reverse: the septet codes that send `testo`, an extension character as
// its escape and code, a character the alphabet lacks as "?".
QString SettettiGsm(const QString& testo);

} // namespace sorvela::pdu
