#include "modem/pdu/CodificaPdu.h"

#include "modem/pdu/Esadecimale.h"

#include <QByteArray>

namespace sorvela::pdu {

namespace {

// The service centre that stamps the simulated messages; any plausible
// international number does, the decoder skips it.
constexpr char16_t kCentroServizi[] = u"393359609600";

constexpr int kMassimoCifre = 20;
constexpr qsizetype kMassimoSettetti = 160;

// Digits as semi-octets: two per octet in swapped order, "F" filling the
// last octet of an odd count.
QString semiottetti(const QString& cifre)
{
    QString risultato;
    risultato.reserve(cifre.size() + 1);
    for (qsizetype i = 0; i < cifre.size(); i += 2) {
        risultato += i + 1 < cifre.size() ? cifre[i + 1] : QChar(u'F');
        risultato += cifre[i];
    }
    return risultato;
}

// Two decimal digits of a time stamp field, in swapped order.
QString campoOra(int valore)
{
    return OttettoEsadecimale(((valore % 10) << 4) | ((valore / 10) % 10));
}

QString marcaTemporale(const QDateTime& ora)
{
    const QDate data = ora.date();
    const QTime tempo = ora.time();
    QString marca = campoOra(data.year() % 100) + campoOra(data.month()) + campoOra(data.day())
                    + campoOra(tempo.hour()) + campoOra(tempo.minute()) + campoOra(tempo.second());
    // Time zone in quarters of an hour; the sign sits in bit 3 of the octet,
    // the top bit of the tens digit.
    int quarti = ora.offsetFromUtc() / 900;
    const bool negativo = quarti < 0;
    if (negativo)
        quarti = -quarti;
    quarti = qMin(quarti, 79);
    return marca + OttettoEsadecimale(((quarti % 10) << 4) | (quarti / 10) | (negativo ? 0x08 : 0));
}

QString settettiImpaccati(const QString& testo)
{
    const qsizetype settetti = qMin(testo.size(), kMassimoSettetti);
    QByteArray ottetti((settetti * 7 + 7) / 8, '\0');
    for (qsizetype k = 0; k < settetti; ++k) {
        const char16_t c = testo[k].unicode();
        const unsigned valore = c < 0x80 ? c : u'?';
        const qsizetype bit = 7 * k;
        const qsizetype o = bit / 8;
        const int r = int(bit % 8);
        ottetti[o] = char(quint8(ottetti[o]) | quint8(valore << r));
        if (r > 1)
            ottetti[o + 1] = char(quint8(ottetti[o + 1]) | quint8(valore >> (8 - r)));
    }
    QString esadecimale;
    esadecimale.reserve(2 * ottetti.size());
    for (const char o : ottetti)
        esadecimale += OttettoEsadecimale(quint8(o));
    return esadecimale;
}

} // namespace

namespace {

// Everything of an SMS-DELIVER up to and including the time stamp; `primo`
// is the first octet (0x04, or 0x44 with a user data header).
QString testaDeliver(const QString& mittente, int primo, int dcs, const QDateTime& ora)
{
    const QString centro = QString::fromUtf16(kCentroServizi);
    QString pdu = OttettoEsadecimale(int(1 + (centro.size() + 1) / 2)) + QStringLiteral("91") + semiottetti(centro);

    QString cifre;
    for (const QChar c : mittente) {
        if (c >= u'0' && c <= u'9' && cifre.size() < kMassimoCifre)
            cifre += c;
    }
    const bool internazionale = mittente.startsWith(u'+');

    pdu += OttettoEsadecimale(primo);
    pdu += OttettoEsadecimale(int(cifre.size()));
    pdu += internazionale ? QStringLiteral("91") : QStringLiteral("81");
    pdu += semiottetti(cifre);
    pdu += u"00"; // protocol identifier
    pdu += OttettoEsadecimale(dcs);
    pdu += marcaTemporale(ora);
    return pdu;
}

QString inEsadecimale(const QByteArray& b)
{
    return QString::fromLatin1(b.toHex().toUpper());
}

} // namespace

QString CodificaDeliver(const QString& mittente, const QString& testo, const QDateTime& ora)
{
    // SMS-DELIVER, no more messages waiting, default alphabet.
    QString pdu = testaDeliver(mittente, 0x04, 0x00, ora);
    pdu += OttettoEsadecimale(int(qMin(testo.size(), kMassimoSettetti)));
    pdu += settettiImpaccati(testo);
    return pdu;
}

QString CodificaDeliverUcs2(const QString& mittente, const QString& testo, const QDateTime& ora)
{
    QByteArray dati;
    for (const QChar c : testo.left(70)) {
        dati += char(c.unicode() >> 8);
        dati += char(c.unicode() & 0xFF);
    }
    return testaDeliver(mittente, 0x04, 0x08, ora) + OttettoEsadecimale(int(dati.size())) + inEsadecimale(dati);
}

QString CodificaDeliverOttetti(const QString& mittente, const QByteArray& dati, const QDateTime& ora)
{
    const QByteArray corpo = dati.left(140);
    return testaDeliver(mittente, 0x04, 0x04, ora) + OttettoEsadecimale(int(corpo.size())) + inEsadecimale(corpo);
}

QString CodificaDeliverParte(const QString& mittente, const QString& testo, int riferimento, int parti, int parte,
                             const QDateTime& ora)
{
    // Header: its length, then the concatenation element (8-bit reference).
    // Six octets are seven septets, so the text starts at septet 7 with the
    // first one (a fill bit and six zero bits) blank.
    const QString testata = QStringLiteral("050003") + OttettoEsadecimale(riferimento & 0xFF)
                            + OttettoEsadecimale(parti) + OttettoEsadecimale(parte);
    const QString corpo = testo.left(153);
    // Pack the text behind seven placeholder septets, then put the header over
    // the first six octets (the seventh septet's bits start in octet 6 at bit 1).
    QString impaccati = settettiImpaccati(QString(7, QChar(u'\0')) + corpo);
    impaccati.replace(0, testata.size(), testata);
    return testaDeliver(mittente, 0x44, 0x00, ora) + OttettoEsadecimale(int(7 + corpo.size())) + impaccati;
}

QString RispostaCmgr(int stat, const QString& pduHex)
{
    const qsizetype centro = 1 + ValoreCoppia(pduHex, 0);
    const qsizetype lunghezza = qMax<qsizetype>(0, pduHex.size() / 2 - centro);
    return QStringLiteral("\r\n+CMGR: ") + QString::number(stat) + QStringLiteral(",,") + QString::number(lunghezza)
           + QStringLiteral("\r\n") + pduHex + QStringLiteral("\r\n\r\nOK\r\n");
}

} // namespace sorvela::pdu
