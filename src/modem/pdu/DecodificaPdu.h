#pragma once
// Reading a stored SMS out of the handset's reply to AT+CMGR in PDU mode.
// Every routine is a pure text function that never fails: whatever the
// handset (or a line fault) sends, the result is a text, possibly empty,
// never longer than the reply it came from allows.
//
// The reply as collected from the line looks like
//   [echoed command] CR LF "+CMGR: " stat "," [alpha] "," length CR LF
//   PDU in hexadecimal CR LF CR LF "OK" CR LF
// where the tail may be cut short when the wait ended right after "OK".

#include <QString>

namespace sorvela::pdu {

// The header of the reply split in its two useful parts.
struct PartiRisposta {
    bool trovata = false; // the reply holds "+CMGR:"
    QString stato;        // stat as written, blanks trimmed: "0".."3" normally
    QString pdu;          // from the line after the header to the end of the reply
};

// The header is taken from the first "+CMGR:" of the reply, so an echoed
// command or an unsolicited line ("+CMTI: ...") arriving before it does not
// disturb the split. The stat ends at the first "," or at the end of the
// header line, whichever comes first; the PDU text starts after the first
// CR LF that follows the header's ":" and keeps the trailing CR LF, "OK".
PartiRisposta DividiRisposta(const QString& risposta);

// The sender of a received message (stat "0" or "1"): "+" and the digits for
// an international address (type 91), the digits alone otherwise. Empty when
// the reply holds no "+CMGR:", the message is not a received one, or the
// address lies outside the PDU.
QString EstraiMittente(const QString& risposta);

// The user data as hex text, from its first character to the end of the
// reply (trailing CR LF, "OK" included). Received messages are read with the
// SMS-DELIVER layout, any other stat with the SMS-SUBMIT layout. Empty when
// the reply holds no "+CMGR:" or the user data would start outside the PDU.
QString EstraiDatiPdu(const QString& risposta);

// Unpacks 7-bit septets from hex text, one character per septet, the septet
// value used as the character code (no alphabet translation). The data coding
// scheme and user data length are not consulted: characters that are not hex
// digits (the reply's CR LF and "OK") count as zero octets and so come out as
// NUL characters at the end of the text.
QString DecodificaSettetti(const QString& esadecimale);

// Everything after the first "+39" of a number, or empty when there is none.
QString NumeroNazionale(const QString& numero);

// The text without NUL characters at its beginning and end; NULs inside stay.
QString TogliNul(const QString& testo);

} // namespace sorvela::pdu
