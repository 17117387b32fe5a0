#include "events/grammar/GrammaticaRapporto.h"
#include "modem/pdu/AlfabetoGsm.h"

#include <QTest>
#include <limits>

using namespace sorvela::grammar;

class TestGrammatica : public QObject {
    Q_OBJECT
private slots:
    void campiDiTestoTraChiaveETerminatore()
    {
        const QString rapporto = "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3";
        QCOMPARE(EstraiRete(rapporto), "NET1");
        QCOMPARE(EstraiSim(rapporto), "S1");
        QCOMPARE(EstraiVersioneSw(rapporto), "V12");
        const QString maiuscole = "SW:1.05 RETE Tim; Sim X; Rete altra; Credito: 1; credito: 9;";
        QCOMPARE(EstraiVersioneSw(maiuscole), "1");
        QCOMPARE(EstraiRete(maiuscole), "Tim");
        QCOMPARE(EstraiSim(maiuscole), "X");
        QCOMPARE(EstraiCredito(maiuscole), " 1");
    }

    void valoriTipoEDescrizione_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("credito");
        QTest::addColumn<float>("importo");
        QTest::addColumn<int>("batteria");
        QTest::addColumn<int>("segnale");
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("descrizione");
        auto riga = [](const char* nome, const QString& t, const char* c, float i, int b, int s, const char* tipo, const char* d) {
            QTest::newRow(nome) << t << QString(c) << i << b << s << QString(tipo) << QString(d);
        };
        const QString ok = "rete A; segnale 3/5; ";
        riga("regular report", "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3", " 12.40 euro",
             12.4f, 75, 4, "Test", "Stato regolare");
        riga("every fault", "credito: 1.50 euro; liv. batt. 15; segnale 2/5; rete NET1; sim S1; sw:V12.3", " 1.50 euro", 1.5f,
             15, 2, "Allarme", "Batteria scarica; Segnale debole;Scarso credito residuo;");
        riga("alarm text", "ALLARME INGRESSO 3", "", 0, 120, 6, "Allarme", "Scarso credito residuo;");
        riga("credit not available", "credito: N/D;", " N/D", 50, 120, 6, "", "");
        riga("lower-case n/d is a number", "credito: n/d; segnale 4/5", " n/d", 0, 120, 4, "Allarme", "Scarso credito residuo;");
        riga("credit without terminator", "segnale 4/5 credito: 9", "", 0, 120, 4, "Allarme", "Scarso credito residuo;");
        riga("battery 20 is a fault", ok + "credito: 5; liv. batt. 20", " 5", 5, 20, 3, "Allarme", "Batteria scarica; ");
        riga("battery 21 is not", ok + "credito: 5; liv. batt. 21", " 5", 5, 21, 3, "Test", "Stato regolare");
        riga("battery needs the number next", ok + "credito: 5; liv. batt.: 85", " 5", 5, 0, 3, "Allarme", "Batteria scarica; ");
        riga("signal 2 is a fault", "rete A; credito: 5; segnale 2/5", " 5", 5, 120, 2, "Allarme", "Segnale debole;");
        riga("signal without /5", "rete A; credito: 5; segnale 3", " 5", 5, 120, 6, "Test", "Stato regolare");
        riga("credit 2.5 is a fault", ok + "credito: 2.5;", " 2.5", 2.5f, 120, 3, "Allarme", "Scarso credito residuo;");
        riga("levels clamp to 16 bits", "liv. batt. 99999 segnale -1e9/5", "", 0, 32767, -32768, "Allarme",
             "Segnale debole;Scarso credito residuo;");
        riga("huge credit stays finite", ok + "credito: 1e999;", " 1e999", std::numeric_limits<float>::max(), 120, 3, "Test",
             "Stato regolare");
        // A capital dotted I lower-cases to two characters in full Unicode; the
        // value must still be cut at the keyword's place in the text as received.
        riga("letter that grows when lower-cased", QString::fromUtf8("İİ ") + ok + "credito: 5;", " 5", 5, 120, 3, "Test",
             "Stato regolare");
    }

    void valoriTipoEDescrizione()
    {
        QFETCH(QString, testo);
        QTEST(EstraiCredito(testo), "credito");
        QTEST(ImportoCredito(testo), "importo");
        QTEST(int(EstraiLivelloBatteria(testo)), "batteria");
        QTEST(int(EstraiSegnale(testo)), "segnale");
        QTEST(ClassificaEvento(testo), "tipo");
        QTEST(DescriviEvento(testo), "descrizione");
    }

    // Every report form above, sent in 7 bits by a unit (its characters are
    // the septets of their ASCII codes), reads the same whether the septets
    // are taken as codes or through the GSM alphabet.
    void stessaLetturaConLAlfabetoGsm_data() { valoriTipoEDescrizione_data(); }

    void stessaLetturaConLAlfabetoGsm()
    {
        QFETCH(QString, testo);
        for (const QChar c : testo) {
            if (c.unicode() >= 128)
                QSKIP("not a 7-bit text");
        }
        const QString tradotto = sorvela::pdu::TraduciAlfabetoGsm(testo);
        QCOMPARE(EstraiCredito(tradotto), EstraiCredito(testo));
        QCOMPARE(EstraiRete(tradotto), EstraiRete(testo));
        QCOMPARE(EstraiSim(tradotto), EstraiSim(testo));
        QCOMPARE(EstraiVersioneSw(tradotto), EstraiVersioneSw(testo));
        QCOMPARE(ImportoCredito(tradotto), ImportoCredito(testo));
        QCOMPARE(EstraiLivelloBatteria(tradotto), EstraiLivelloBatteria(testo));
        QCOMPARE(EstraiSegnale(tradotto), EstraiSegnale(testo));
        QCOMPARE(ClassificaEvento(tradotto), ClassificaEvento(testo));
        QCOMPARE(DescriviEvento(tradotto), DescriviEvento(testo));
    }
};

QTEST_APPLESS_MAIN(TestGrammatica)
#include "tst_grammatica.moc"
