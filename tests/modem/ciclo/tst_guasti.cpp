// A retrieval cycle against a handset and a line that misbehave: noise of
// every kind during the waits and between cycles, replies cut short, sent
// twice or so late that the wait gave up on them. Whatever happens, each
// message ends as one event or still in the handset, the operator is told
// when one is left there, and the next cycle on a sound line takes the rest.

#include "modem/ciclo/ricezione_aiuto.h"

#include <QtTest>

using namespace sorvela;

class TestGuasti : public QObject {
    Q_OBJECT

private slots:
    void eachMessageOnceWhateverTheLineDoes_data()
    {
        QTest::addColumn<QStringList>("guasti");
        QTest::newRow("random bytes amid a read reply") << QStringList{"on AT+CMGR=2 amid noise random 400"};
        QTest::newRow("NULs amid a listing") << QStringList{"on AT+CMGL=0 amid noise nul 200"};
        QTest::newRow("invalid UTF-8 amid a deletion's reply") << QStringList{"on AT+CMGD=1 amid noise utf8"};
        QTest::newRow("an over-long line amid a read reply") << QStringList{"on AT+CMGR=1 amid noise long 100000"};
        QTest::newRow("noise between cycles")
            << QStringList{"noise random 2000", "noise nul 300", "noise utf8", "noise long 70000"};
        QTest::newRow("a listing sent twice") << QStringList{"on AT+CMGL=0 next twice"};
        QTest::newRow("a read reply sent twice") << QStringList{"on AT+CMGR=2 next twice"};
        QTest::newRow("a listing cut short") << QStringList{"on AT+CMGL=0 next cut"};
        QTest::newRow("a deletion's reply cut short") << QStringList{"on AT+CMGD=2 next cut"};
        QTest::newRow("a read reply later than the wait") << QStringList{"on AT+CMGR=2 next late 9000"};
        QTest::newRow("a listing later than the wait") << QStringList{"on AT+CMGL=0 next late 9000"};
    }

    void eachMessageOnceWhateverTheLineDoes()
    {
        QFETCH(QStringList, guasti);
        prova::BancoCiclo b;
        b.leggi(); // the line is open, as between two ticks
        const QStringList attesi{"ALLARME 1", "ALLARME 2", "ALLARME 3"};
        for (const QString& t : attesi)
            b.sim.comando("store " + prova::kUnita + u' ' + t);
        for (const QString& g : guasti)
            QVERIFY(b.sim.comando(g).last().startsWith(QLatin1String("ok")));

        b.leggi();

        // One event at most each, and whatever is no event is still stored.
        const QStringList eventi = b.testi();
        const QString restano = b.memoria().join(u'\n');
        for (const QString& t : attesi) {
            QVERIFY2(eventi.count(t) <= 1, qPrintable(eventi.join(" | ")));
            QVERIFY2(eventi.contains(t) || restano.contains(t), qPrintable(t + " lost"));
        }
        // Told when one is left in the handset; never in a box that waits.
        if (eventi.size() < attesi.size())
            QVERIFY2(b.messaggi.testi().join(u'\n').contains(QLatin1String("restano nel telefono")),
                     qPrintable(b.messaggi.testi().join(" | ")));
        for (const auto& v : b.messaggi.voci())
            QVERIFY(!v.notifica.isEmpty());

        // Let whatever was held back arrive, then one cycle on a sound line.
        QTest::qWait(guasti.join(u' ').contains(QLatin1String("late")) ? 2000 : 0);
        b.leggi();
        QStringList tutti = b.testi();
        tutti.sort();
        QCOMPARE(tutti, attesi);
        QCOMPARE(b.memoria(), QStringList());
    }
};

QTEST_MAIN(TestGuasti)
#include "tst_guasti.moc"
