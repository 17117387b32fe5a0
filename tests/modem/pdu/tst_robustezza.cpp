// Whatever the line delivers, decoding and reading never crash, never throw
// and stay within bounds the callers can rely on.
#include "events/grammar/GrammaticaRapporto.h"
#include "modem/pdu/CodificaPdu.h"
#include "modem/pdu/DecodificaPdu.h"

#include <QTest>
#include <cmath>
#include <random>

using namespace sorvela;

namespace {
const QStringList kPezzi = {"+CMGR:", "+CMTI: \"SM\",1", "\r\n", ",", ":", " ", "OK", "91", "D0", "FF", "credito:", "rete ",
                            "sim ", "sw:", "liv. batt.", "segnale", "/5", ";", ".", "N/D", "1e999", "-99999", "2.5", "İ"};
std::mt19937 caso(3);
int fino(int n) { return int(caso() % unsigned(n)); }
QChar carattere() { return fino(20) ? QChar(u"0123456789ABCDEF"[fino(16)]) : QChar(char16_t(fino(0x10000))); }
QString pezzo() { return fino(3) ? QString(carattere()) : kPezzi[fino(int(kPezzi.size()))]; }

QString casuale()
{
    QString t;
    for (int n = fino(120); n > 0; --n)
        t += pezzo();
    return t;
}

QString valida()
{
    const QString testo = "credito: " + QString::number(fino(2000) / 100.0) + "; liv. batt. " + QString::number(fino(130))
                          + "; segnale " + QString::number(fino(6)) + "/5; rete R; sim S; sw:1.2";
    const QString mittente = (fino(2) ? "+39" : "") + QString::number(caso()).left(fino(11));
    return pdu::RispostaCmgr(fino(4), pdu::CodificaDeliver(mittente, testo.left(fino(160) + 1), QDateTime()));
}

// Inserts, deletes, cuts and overwrites at random places.
QString mutata(QString t)
{
    for (int n = fino(4) + 1; n > 0; --n) {
        const int p = fino(int(t.size()) + 1);
        if (const int come = fino(4); come == 0)
            t.insert(p, pezzo());
        else if (come == 1)
            t.remove(p, fino(8) + 1);
        else if (come == 2)
            t.truncate(p);
        else
            t.replace(p, 1, pezzo());
    }
    return t;
}
} // namespace

class TestRobustezza : public QObject {
    Q_OBJECT
private slots:
    void centomilaRisposteETestiCasuali()
    {
        for (int prova = 0; prova < 100000; ++prova) {
            const QString r = prova % 3 == 0 ? casuale() : mutata(prova % 3 == 1 ? valida() : casuale() + valida());
            const QString mittente = pdu::EstraiMittente(r);
            const QString dati = pdu::EstraiDatiPdu(r);
            const QString testo = pdu::DecodificaSettetti(dati);
            QVERIFY2(mittente.size() <= 256 && dati.size() <= r.size(), qPrintable(r));
            QVERIFY(testo.size() <= dati.size() * 4 / 7 + 1 && pdu::DecodificaSettetti(r).size() <= r.size() * 4 / 7 + 1);
            QVERIFY(std::all_of(testo.begin(), testo.end(), [](QChar c) { return c.unicode() < 128; }));
            QVERIFY(pdu::TogliNul(testo).size() <= testo.size() && pdu::NumeroNazionale(mittente).size() <= mittente.size());
            // Service centre 8 octets, first octet and address at most 13,
            // identifiers, time stamp and length 10, user data 140.
            const QString codificato = pdu::CodificaDeliver(r.left(30), r, QDateTime());
            QVERIFY(codificato.size() <= 2 * (8 + 13 + 10 + 140));
            QVERIFY(std::all_of(codificato.begin(), codificato.end(), [](QChar c) { return isxdigit(c.unicode()); }));
            for (const QString& t : {r, testo}) {
                const grammar::Rapporto rapporto = grammar::LeggiRapporto(t);
                QVERIFY(std::isfinite(rapporto.importoCredito));
                QVERIFY(rapporto.tipo == "Allarme" || (rapporto.batteria > 20 && rapporto.segnale > 2 && rapporto.importoCredito > 2.5f));
                QVERIFY(rapporto.tipo == "Allarme" || rapporto.tipo == "Test" || rapporto.tipo.isEmpty());
                QCOMPARE(grammar::ClassificaEvento(t), rapporto.tipo);
                QCOMPARE(grammar::DescriviEvento(t), rapporto.descrizione);
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestRobustezza)
#include "tst_robustezza.moc"
