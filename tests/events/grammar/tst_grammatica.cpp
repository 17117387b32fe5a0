#include "events/grammar/GrammaticaRapporto.h"

#include <QTest>
#include <limits>

using namespace sorvela::grammar;

class TestGrammatica : public QObject {
    Q_OBJECT
private slots:
    void leggeIlRapportoDellUnita_data();
    void leggeIlRapportoDellUnita();
};

void TestGrammatica::leggeIlRapportoDellUnita_data()
{
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("credito");
    QTest::addColumn<float>("importo");
    QTest::addColumn<QString>("rete");
    QTest::addColumn<QString>("sim");
    QTest::addColumn<QString>("sw");
    QTest::addColumn<int>("batteria");
    QTest::addColumn<int>("segnale");
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("descrizione");

    auto riga = [](const char* nome, const QString& t, const char* c, float i, int b, int s, const char* tipo, const char* d) {
        QTest::newRow(nome) << t << QString(c) << i << "" << "" << "" << b << s << QString(tipo) << QString(d);
    };
    const QString ok = "rete A; segnale 3/5; ";
    QTest::newRow("regular report") << "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3"
                                    << " 12.40 euro" << 12.4f << "NET1" << "S1" << "V12" << 75 << 4 << "Test" << "Stato regolare";
    QTest::newRow("every fault") << "credito: 1.50 euro; liv. batt. 15; segnale 2/5; rete NET1; sim S1; sw:V12.3"
                                 << " 1.50 euro" << 1.5f << "NET1" << "S1" << "V12" << 15 << 2 << "Allarme"
                                 << "Batteria scarica; Segnale debole;Scarso credito residuo;";
    QTest::newRow("capitals, any order") << "SW:1.05 Segnale 3/5; RETE Tim; Credito: 5; Sim X;" << " 5" << 5.0f << "Tim"
                                         << "X" << "1" << 120 << 3 << "Test" << "Stato regolare";
    riga("alarm text", "ALLARME INGRESSO 3", "", 0, 120, 6, "Allarme", "Scarso credito residuo;");
    riga("credit not available", "credito: N/D;", " N/D", 50, 120, 6, "", "");
    riga("lower-case n/d is a number", "credito: n/d; segnale 4/5", " n/d", 0, 120, 4, "Allarme", "Scarso credito residuo;");
    riga("credit without terminator", "segnale 4/5 credito: 9", "", 0, 120, 4, "Allarme", "Scarso credito residuo;");
    riga("battery 20 is a fault", ok + "credito: 5; liv. batt. 20", " 5", 5, 20, 3, "Allarme", "Batteria scarica; ");
    riga("battery 21 is not", ok + "credito: 5; liv. batt. 21", " 5", 5, 21, 3, "Test", "Stato regolare");
    riga("battery half rounds to even", ok + "credito: 5; liv. batt. 20.5", " 5", 5, 20, 3, "Allarme", "Batteria scarica; ");
    riga("battery needs the number next", ok + "credito: 5; liv. batt.: 85", " 5", 5, 0, 3, "Allarme", "Batteria scarica; ");
    riga("signal 2 is a fault", "rete A; credito: 5; segnale 2/5", " 5", 5, 120, 2, "Allarme", "Segnale debole;");
    riga("signal without /5", "rete A; credito: 5; segnale 3", " 5", 5, 120, 6, "Test", "Stato regolare");
    riga("signal needs the number next", "credito: 5; segnale: 4/5", " 5", 5, 120, 0, "Allarme", "Segnale debole;");
    riga("credit 2.5 is a fault", ok + "credito: 2.5;", " 2.5", 2.5f, 120, 3, "Allarme", "Scarso credito residuo;");
    riga("first occurrence wins", ok + "credito: 1; credito: 9;", " 1", 1, 120, 3, "Allarme", "Scarso credito residuo;");
    riga("levels clamp to 16 bits", "liv. batt. 99999 segnale -1e9/5", "", 0, 32767, -32768, "Allarme",
         "Segnale debole;Scarso credito residuo;");
    riga("huge credit stays finite", ok + "credito: 1e999;", " 1e999", std::numeric_limits<float>::max(), 120, 3, "Test",
         "Stato regolare");
    riga("NULs at the ends", QString(2, QChar(0)) + ok + "credito: 5;" + QChar(0), " 5", 5, 120, 3, "Test", "Stato regolare");
    // A capital dotted I lower-cases to two characters in full Unicode; the
    // value must still be cut at the keyword's place in the text as received.
    riga("letter that grows when lower-cased", QString::fromUtf8("İİ ") + ok + "credito: 5;", " 5", 5, 120, 3, "Test",
         "Stato regolare");
}

void TestGrammatica::leggeIlRapportoDellUnita()
{
    QFETCH(QString, testo);
    const Rapporto r = LeggiRapporto(testo);
    QTEST(EstraiCredito(testo), "credito");
    QTEST(ImportoCredito(testo), "importo");
    QTEST(int(EstraiLivelloBatteria(testo)), "batteria");
    QTEST(int(EstraiSegnale(testo)), "segnale");
    QTEST(ClassificaEvento(testo), "tipo");
    QTEST(DescriviEvento(testo), "descrizione");
    QFETCH(QString, rete);
    QFETCH(QString, sim);
    QFETCH(QString, sw);
    if (!rete.isEmpty() || !sim.isEmpty() || !sw.isEmpty()) {
        QCOMPARE(EstraiRete(testo), rete);
        QCOMPARE(EstraiSim(testo), sim);
        QCOMPARE(EstraiVersioneSw(testo), sw);
    }
    QCOMPARE(r.tipo, ClassificaEvento(testo));
    QCOMPARE(r.descrizione, DescriviEvento(testo));
    QCOMPARE(r.batteria, EstraiLivelloBatteria(testo));
}

QTEST_APPLESS_MAIN(TestGrammatica)
#include "tst_grammatica.moc"
