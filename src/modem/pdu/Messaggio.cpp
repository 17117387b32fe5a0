#include "modem/pdu/Messaggio.h"

#include "modem/pdu/AlfabetoGsm.h"
#include "modem/pdu/DecodificaPdu.h"

#include <QCryptographicHash>

#include <algorithm>

namespace sorvela::pdu {

namespace {

// The PDU line of the reply: the hexadecimal digits after the header line,
// up to the end of that line.
QString lineaPdu(const QString& risposta)
{
    const QString resto = DividiRisposta(risposta).pdu;
    qsizetype fine = 0;
    while (fine < resto.size() && resto[fine] != u'\r' && resto[fine] != u'\n')
        ++fine;
    return resto.left(fine).trimmed().toUpper();
}

// The coding of the user data from the data coding scheme octet. Reserved
// and compressed codings are read as the default alphabet, which is what
// the units send.
Codifica codificaDa(int dcs)
{
    const int gruppo = dcs >> 4;
    if (gruppo <= 0x7) { // general data coding, with or without auto-deletion
        if (dcs & 0x20)
            return Codifica::Ottetti; // compressed: no decompressor, shown as data
        switch ((dcs >> 2) & 3) {
        case 1:
            return Codifica::Ottetti;
        case 2:
            return Codifica::Ucs2;
        default:
            return Codifica::Settetti;
        }
    }
    if (gruppo == 0xE)
        return Codifica::Ucs2; // message waiting indication, UCS2 text
    if (gruppo == 0xF)
        return (dcs & 0x04) ? Codifica::Ottetti : Codifica::Settetti;
    return Codifica::Settetti;
}

QString esadecimale(const QByteArray& b)
{
    return QString::fromLatin1(b.toHex().toUpper());
}

} // namespace

QString SettettiDa(const QByteArray& ottetti, qsizetype bitIniziale, qsizetype quanti)
{
    QString testo;
    testo.reserve(quanti);
    const qsizetype bitTotali = 8 * ottetti.size();
    for (qsizetype j = 0; j < quanti; ++j) {
        const qsizetype bit = bitIniziale + 7 * j;
        if (bit + 7 > bitTotali)
            break;
        const qsizetype k = bit / 8;
        const int r = int(bit % 8);
        int valore = quint8(ottetti[k]) >> r;
        if (r > 1)
            valore |= quint8(ottetti[k + 1]) << (8 - r);
        testo += QChar(char16_t(valore & 0x7F));
    }
    return testo;
}

QString MessaggioRicevuto::impronta() const
{
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(QByteArray::number(indice));
    h.addData("|");
    h.addData(mittente.toUtf8());
    h.addData("|");
    h.addData(centroOra.toLatin1());
    h.addData("|");
    h.addData(datiUtente.toLatin1());
    return QString::fromLatin1(h.result().toHex());
}

MessaggioRicevuto LeggiMessaggioRicevuto(const QString& risposta)
{
    MessaggioRicevuto m;
    const PartiRisposta parti = DividiRisposta(risposta);
    m.mittente = EstraiMittente(risposta);
    if (!parti.trovata || (parti.stato != u"0" && parti.stato != u"1"))
        return m;

    const QString hex = lineaPdu(risposta);
    if (hex.size() % 2 != 0)
        return m;
    const QByteArray pdu = QByteArray::fromHex(hex.toLatin1());
    if (esadecimale(pdu) != hex)
        return m; // not all hexadecimal

    // SMS-DELIVER: service centre, first octet, sender, protocol identifier,
    // coding scheme, time stamp, user data length, user data.
    qsizetype i = 0;
    auto ottetto = [&](qsizetype k) { return k < pdu.size() ? int(quint8(pdu[k])) : -1; };
    const int centro = ottetto(i);
    if (centro < 0)
        return m;
    i += 1 + centro;
    const int primo = ottetto(i++);
    const int cifre = ottetto(i++);
    if (primo < 0 || cifre < 0)
        return m;
    i += 1 + (cifre + 1) / 2; // type of address and the semi-octets
    const int dcs = ottetto(i + 1);
    i += 2;
    if (dcs < 0 || i + 7 >= pdu.size())
        return m;
    m.centroOra = esadecimale(pdu.mid(i, 7));
    i += 7;
    const int lunghezza = ottetto(i++);
    if (lunghezza < 0)
        return m;
    const QByteArray dati = pdu.mid(i);
    m.datiUtente = esadecimale(dati);
    m.codifica = codificaDa(dcs);

    // User data shorter than its length says is decoded as far as it goes:
    // the handset stored it so, and reading it again would give the same.
    // The user data header, when the first octet says there is one: its
    // length octet, then information elements. Concatenation is element 0
    // (8-bit reference) or 8 (16-bit reference).
    qsizetype testata = 0;
    if ((primo & 0x40) && !dati.isEmpty()) {
        testata = 1 + quint8(dati[0]);
        if (testata > dati.size())
            return m;
        for (qsizetype k = 1; k + 1 < testata;) {
            const int id = quint8(dati[k]);
            const int len = quint8(dati[k + 1]);
            const qsizetype v = k + 2;
            if (v + len > testata)
                break;
            if (id == 0x00 && len == 3) {
                m.riferimento = quint8(dati[v]);
                m.parti = quint8(dati[v + 1]);
                m.parte = quint8(dati[v + 2]);
            } else if (id == 0x08 && len == 4) {
                m.riferimento = (quint8(dati[v]) << 8) | quint8(dati[v + 1]);
                m.parti = quint8(dati[v + 2]);
                m.parte = quint8(dati[v + 3]);
            }
            k = v + len;
        }
    }

    switch (m.codifica) {
    case Codifica::Settetti: {
        // The header is followed by fill bits up to the next septet boundary.
        const qsizetype settettiTestata = (testata * 8 + 6) / 7;
        // Read through the GSM alphabet: "è" is septet 4, not a control code.
        m.testo = TraduciAlfabetoGsm(SettettiDa(dati, settettiTestata * 7, lunghezza - settettiTestata));
        break;
    }
    case Codifica::Ucs2: {
        const QByteArray corpo = dati.mid(testata, lunghezza - testata);
        QString t;
        t.reserve(corpo.size() / 2);
        for (qsizetype k = 0; k + 1 < corpo.size(); k += 2)
            t += QChar(char16_t((quint8(corpo[k]) << 8) | quint8(corpo[k + 1])));
        m.testo = t;
        break;
    }
    case Codifica::Ottetti:
        m.testo = esadecimale(dati.mid(testata, lunghezza - testata));
        break;
    }
    if (!m.concatenato())
        m.riferimento = m.parti = m.parte = 0;
    m.valido = true;
    return m;
}

MessaggioRicevuto UnisciParti(QList<MessaggioRicevuto> parti)
{
    if (parti.isEmpty())
        return {};
    std::stable_sort(parti.begin(), parti.end(),
                     [](const MessaggioRicevuto& a, const MessaggioRicevuto& b) { return a.parte < b.parte; });
    MessaggioRicevuto unito = parti.front();
    for (qsizetype k = 1; k < parti.size(); ++k)
        unito.testo += parti[k].testo;
    return unito;
}

} // namespace sorvela::pdu
