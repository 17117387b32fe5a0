#pragma once
// A received SMS read whole out of the handset's reply to AT+CMGR: its
// sender, its text decoded by the data coding scheme, the parts of a
// concatenated message and the identity that tells the same message apart
// when it is read twice.
//
// The older helpers of DecodificaPdu.h keep their behaviour (7-bit unpacking
// of everything after the user data's start); this reader is what the
// retrieval cycle registers with.

#include <QList>
#include <QString>

namespace sorvela::pdu {

enum class Codifica {
    Settetti, // GSM default alphabet, 7 bits a character
    Ottetti,  // 8-bit data, shown as hexadecimal text
    Ucs2,     // UTF-16, big-endian
};

struct MessaggioRicevuto {
    bool valido = false;    // a received message (stat 0 or 1) with a whole user data field
    QString mittente;       // as EstraiMittente gives it
    QString centroOra;      // the service centre time stamp, 14 hex digits as sent
    QString datiUtente;     // the user data as sent (header included), hex upper case
    Codifica codifica = Codifica::Settetti;
    QString testo;          // the text without the user data header, 7-bit text read through the GSM alphabet

    // Part of a concatenated message: the reference shared by its parts, how
    // many parts and which one this is (from 1). 0 parts: not concatenated.
    // Where the handset keeps it, when known (-1 not known). Part of the
    // identity: two identical texts sent by a unit within the same second
    // share sender, time stamp and user data, and are still two messages;
    // the same message read again after a crash is still in its slot.
    int indice = -1;

    int riferimento = 0;
    int parti = 0;
    int parte = 0;

    bool concatenato() const { return parti > 1 && parte >= 1 && parte <= parti; }

    // What identifies this message among all those ever received: the same
    // SMS read again from its slot (after a crash before its deletion) gives
    // the same text, a different one practically never does. 40 hex digits.
    QString impronta() const;
};

// Reads the reply to AT+CMGR. An invalid result (valido false) still carries
// whatever could be read of sender and text.
MessaggioRicevuto LeggiMessaggioRicevuto(const QString& risposta);

// The septets of a 7-bit user data field: `quanti` characters from bit
// `bitIniziale` on, each septet value taken as the character code.
QString SettettiDa(const QByteArray& ottetti, qsizetype bitIniziale, qsizetype quanti);

// Several parts of one concatenated message as one: the text of the parts
// in part order, sender and identity of the first part.
MessaggioRicevuto UnisciParti(QList<MessaggioRicevuto> parti);

} // namespace sorvela::pdu
