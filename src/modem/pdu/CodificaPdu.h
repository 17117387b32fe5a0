#pragma once
// Building what a handset would send for a received SMS: the simulated
// handset, the tests and the sorvela-sms tool use it to produce replies that
// the decoding routines read back.

#include <QDateTime>
#include <QString>

namespace sorvela::pdu {

// The upper-case hex text of a whole SMS-DELIVER PDU, service centre address
// included. The originating address is international (type 91) when
// `mittente` starts with "+", national (type 81) otherwise; only its decimal
// digits are encoded, at most 20. The text is packed in 7 bits with each
// character code taken as the septet (no alphabet translation, as the
// decoder expects); a character above code 127 is sent as "?", and only the
// first 160 characters fit in one message. The time stamp is `ora` with its
// offset from UTC.
QString CodificaDeliver(const QString& mittente, const QString& testo, const QDateTime& ora);

// The same message with other codings, for the tests and the simulated
// handset: the text as UCS2 (at most 70 characters), 8-bit data (at most 140
// octets), and one part of a concatenated 7-bit message (at most 153
// characters after its header).
QString CodificaDeliverUcs2(const QString& mittente, const QString& testo, const QDateTime& ora);
QString CodificaDeliverOttetti(const QString& mittente, const QByteArray& dati, const QDateTime& ora);
QString CodificaDeliverParte(const QString& mittente, const QString& testo, int riferimento, int parti, int parte,
                             const QDateTime& ora);

// The whole reply to AT+CMGR as a handset sends it:
//   CR LF "+CMGR: " stat ",," length CR LF pdu CR LF CR LF "OK" CR LF
// where length counts the octets of the PDU without the service centre
// address.
QString RispostaCmgr(int stat, const QString& pduHex);

} // namespace sorvela::pdu
