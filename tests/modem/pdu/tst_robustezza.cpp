// Whatever the line delivers, decoding and reading never crash, never throw
// and stay within bounds the callers can rely on.
#include "events/grammar/GrammaticaRapporto.h"
#include "modem/pdu/CodificaPdu.h"
#include "modem/pdu/DecodificaPdu.h"

#include <QTest>
#include <cmath>
#include <random>

using namespace sorvela;

class TestRobustezza : public QObject {
    Q_OBJECT
private slots:
    void centomilaRisposteETestiCasuali();
};

namespace {

const QStringList kPezzi = {"+CMGR:", "+CMTI: \"SM\",1", "\r\n", ",", ":", " ", "OK", "91", "81", "D0", "FF", "00",
                            "credito:", "rete ", "sim ", "sw:", "liv. batt.", "segnale", "/5", ";", ".", "N/D",
                            "1e999", "-99999", "32767.5", "2.5", "20", "İ", QString(1, QChar(0)), QString(1, QChar(0xD800))};

struct Generatore {
    std::mt19937 caso{3};
    int fino(int n) { return int(caso() % unsigned(n)); }
    QString pezzo() { return fino(3) ? QString(1, QChar(u"0123456789ABCDEF"[fino(16)])) : kPezzi[fino(int(kPezzi.size()))]; }
    QString casuale()
    {
        QString t;
        for (int n = fino(120); n > 0; --n)
            t += fino(20) ? pezzo() : QString(1, QChar(char16_t(fino(0x10000))));
        return t;
    }
    QString valido()
    {
        QString testo = "credito: " + QString::number(fino(2000) / 100.0) + "; liv. batt. " + QString::number(fino(130))
                        + "; segnale " + QString::number(fino(6)) + "/5; rete R; sim S; sw:1.2";
        QString mittente = fino(2) ? "+39" : "";
        for (int n = fino(18); n > 0; --n)
            mittente += QChar(u'0' + fino(10));
        return pdu::RispostaCmgr(fino(4), pdu::CodificaDeliver(mittente, testo.left(fino(160) + 1), QDateTime()));
    }
    QString mutato(QString t)
    {
        for (int n = fino(4) + 1; n > 0; --n) {
            const int p = fino(int(t.size()) + 1);
            switch (fino(4)) {
            case 0: t.insert(p, pezzo()); break;
            case 1: t.remove(p, fino(8) + 1); break;
            case 2: t.truncate(p); break;
            default: if (p < t.size()) t[p] = pezzo()[0];
            }
        }
        return t;
    }
};

} // namespace

void TestRobustezza::centomilaRisposteETestiCasuali()
{
    Generatore g;
    const QStringList tipi = {"", "Test", "Allarme"};
    for (int prova = 0; prova < 100000; ++prova) {
        const QString r = prova % 3 == 0 ? g.casuale() : g.mutato(prova % 3 == 1 ? g.valido() : g.casuale() + g.valido());
        const QString mittente = pdu::EstraiMittente(r);
        const QString dati = pdu::EstraiDatiPdu(r);
        const QString testo = pdu::DecodificaSettetti(dati);
        QVERIFY2(mittente.size() <= 256 && dati.size() <= r.size(), qPrintable(r));
        QVERIFY(testo.size() <= dati.size() * 4 / 7 + 1);
        QVERIFY(std::all_of(testo.begin(), testo.end(), [](QChar c) { return c.unicode() < 128; }));
        QVERIFY(pdu::TogliNul(testo).size() <= testo.size());
        QVERIFY(pdu::NumeroNazionale(mittente).size() <= mittente.size());
        QVERIFY(pdu::DecodificaSettetti(r).size() <= r.size() * 4 / 7 + 1);
        const QString codificato = pdu::CodificaDeliver(r.left(30), r, QDateTime());
        // Service centre 8 octets, first octet and address at most 13, identifiers,
        // time stamp and length 10, user data 140.
        QVERIFY(codificato.size() <= 2 * (8 + 13 + 10 + 140));
        QVERIFY(std::all_of(codificato.begin(), codificato.end(), [](QChar c) { return isxdigit(c.unicode()); }));
        for (const QString& t : {r, testo}) {
            const grammar::Rapporto rapporto = grammar::LeggiRapporto(t);
            QVERIFY(std::isfinite(rapporto.importoCredito));
            QVERIFY(tipi.contains(rapporto.tipo));
            QCOMPARE(grammar::ClassificaEvento(t), rapporto.tipo);
            QCOMPARE(grammar::DescriviEvento(t), rapporto.descrizione);
            QCOMPARE(grammar::EstraiCredito(t), rapporto.credito);
            QVERIFY(rapporto.credito.size() + rapporto.rete.size() + rapporto.sim.size() <= 3 * t.size());
            QVERIFY(rapporto.tipo == "Allarme" || rapporto.batteria > 20);
        }
    }
}

QTEST_APPLESS_MAIN(TestRobustezza)
#include "tst_robustezza.moc"
