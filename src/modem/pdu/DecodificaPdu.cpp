#include "modem/pdu/DecodificaPdu.h"

#include "modem/pdu/Esadecimale.h"

namespace sorvela::pdu {

namespace {

// Positions below are 0-based indexes into the PDU text.

bool ricevuto(const QString& stato) { return stato == u"0" || stato == u"1"; }

// Length of the address digits rounded up to whole octets: an odd-length
// address carries a filler semi-octet.
int cifreInOttetti(int cifre) { return cifre + cifre % 2; }

} // namespace

PartiRisposta DividiRisposta(const QString& risposta)
{
    PartiRisposta parti;
    const qsizetype intestazione = risposta.indexOf(u"+CMGR:");
    if (intestazione < 0)
        return parti;
    parti.trovata = true;

    const qsizetype dopo = intestazione + 6;
    qsizetype fineStato = dopo;
    while (fineStato < risposta.size()) {
        const QChar c = risposta[fineStato];
        if (c == u',' || c == u'\r' || c == u'\n')
            break;
        ++fineStato;
    }
    parti.stato = risposta.mid(dopo, fineStato - dopo).trimmed();

    const qsizetype acapo = risposta.indexOf(u"\r\n", dopo);
    if (acapo >= 0)
        parti.pdu = risposta.mid(acapo + 2);
    return parti;
}

QString EstraiMittente(const QString& risposta)
{
    const PartiRisposta parti = DividiRisposta(risposta);
    if (!parti.trovata || !ricevuto(parti.stato))
        return {};
    const QString& p = parti.pdu;

    const int centro = ValoreCoppia(p, 0);
    const qsizetype lunghezza = 2 * qsizetype(centro) + 4; // originating address length
    const int cifre = ValoreCoppia(p, lunghezza);
    const bool internazionale = p.mid(lunghezza + 2, 2) == u"91";
    const qsizetype inizio = lunghezza + 4;
    if (inizio >= p.size())
        return {};

    const QString semiottetti = p.mid(inizio, cifreInOttetti(cifre));
    QString numero;
    numero.reserve(semiottetti.size() + 1);
    if (internazionale)
        numero += u'+';
    // Each octet holds two digits in swapped order ("93" is 3 then 9).
    for (qsizetype i = 0; i + 1 < semiottetti.size(); i += 2) {
        numero += semiottetti[i + 1];
        numero += semiottetti[i];
    }
    if (semiottetti.size() % 2)
        numero += semiottetti.back(); // a PDU cut short inside the address
    // The filler "F" of an odd-length address is not a digit of the number.
    numero.truncate(qsizetype(internazionale) + cifre);
    return numero;
}

QString EstraiDatiPdu(const QString& risposta)
{
    const PartiRisposta parti = DividiRisposta(risposta);
    if (!parti.trovata)
        return {};
    const QString& p = parti.pdu;

    const qsizetype centro = 2 * qsizetype(ValoreCoppia(p, 0)) + 2; // first octet
    qsizetype inizio = 0;
    if (ricevuto(parti.stato)) {
        // Address, protocol identifier, coding scheme, the 7-octet time
        // stamp and the user data length come before the user data.
        const qsizetype indirizzo = centro + 2;
        inizio = indirizzo + 4 + cifreInOttetti(ValoreCoppia(p, indirizzo)) + 20;
    } else {
        // A message stored for sending: message reference, destination
        // address, protocol identifier, coding scheme, the validity period
        // and the user data length. The period's size follows from the
        // first octet: absent, one octet (relative) or seven.
        const int primo = ValoreCoppia(p, centro);
        static constexpr int ottettiValidita[4] = {0, 7, 1, 7};
        const qsizetype indirizzo = centro + 4;
        inizio = indirizzo + 4 + cifreInOttetti(ValoreCoppia(p, indirizzo)) + 6
                 + 2 * ottettiValidita[(primo >> 3) & 3];
    }
    if (inizio >= p.size())
        return {};
    return p.mid(inizio);
}

QString DecodificaSettetti(const QString& esadecimale)
{
    const qsizetype ottetti = esadecimale.size() / 2;
    const qsizetype bit = 8 * ottetti;
    auto ottetto = [&](qsizetype k) { return k < ottetti ? ValoreCoppia(esadecimale, 2 * k) : 0; };

    QString testo;
    if (bit >= 6)
        testo.reserve((bit - 6) / 7 + 1);
    // A last septet with only six bits left in the octets still counts: the
    // zero filler of a message of 8k+7 septets comes out as one more NUL, as
    // the callers expect.
    for (qsizetype i = 0; i <= bit - 6; i += 7) {
        const int r = int(i % 8);
        const qsizetype k = i / 8;
        int valore = (ottetto(k) >> r) & 0x7F;
        if (r >= 2)
            valore |= ((ottetto(k + 1) & 0x7F) << (8 - r)) & 0x7F;
        testo += QChar(char16_t(valore));
    }
    return testo;
}

QString NumeroNazionale(const QString& numero)
{
    const qsizetype p = numero.indexOf(u"+39");
    return p < 0 ? QString() : numero.mid(p + 3);
}

QString TogliNul(const QString& testo)
{
    qsizetype fine = testo.size();
    while (fine > 0 && testo[fine - 1] == QChar(0))
        --fine;
    qsizetype inizio = 0;
    while (inizio < fine && testo[inizio] == QChar(0))
        ++inizio;
    return testo.mid(inizio, fine - inizio);
}

} // namespace sorvela::pdu
