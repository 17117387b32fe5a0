// A retrieval cycle against a handset and a line that misbehave: noise of
// every kind during the waits and between cycles, replies cut short, sent
// twice or so late that the wait gave up on them. Whatever happens, each
// message ends as one event or still in the handset, the operator is told
// when one is left there, and the next cycle on a sound line takes the rest.

#include "modem/ciclo/ricezione_aiuto.h"
#include "modem/pdu/CodificaPdu.h"

#include <QtTest>

using namespace sorvela;

class TestGuasti : public QObject {
    Q_OBJECT

private slots:
    void eachMessageOnceWhateverTheLineDoes_data()
    {
        QTest::addColumn<QStringList>("guasti");
        // A message's PDU crosses the line in its own read, or in the listing.
        const QString pdu1 = comune::comandoPdu(1), pdu2 = comune::comandoPdu(2);
        QTest::newRow("random bytes amid a message") << QStringList{"on " + pdu2 + " amid noise random 400"};
        QTest::newRow("NULs amid a listing") << QStringList{"on AT+CMGL=0 amid noise nul 200"};
        QTest::newRow("invalid UTF-8 amid a deletion's reply") << QStringList{"on AT+CMGD=1 amid noise utf8"};
        QTest::newRow("an over-long line amid a message") << QStringList{"on " + pdu1 + " amid noise long 100000"};
        QTest::newRow("noise between cycles")
            << QStringList{"noise random 2000", "noise nul 300", "noise utf8", "noise long 70000"};
        QTest::newRow("a listing sent twice") << QStringList{"on AT+CMGL=0 next twice"};
        QTest::newRow("a message's reply sent twice") << QStringList{"on " + pdu2 + " next twice"};
        QTest::newRow("a listing cut short") << QStringList{"on AT+CMGL=0 next cut"};
        QTest::newRow("a deletion's reply cut short") << QStringList{"on AT+CMGD=2 next cut"};
        QTest::newRow("a message's reply later than the wait") << QStringList{"on " + pdu2 + " next late 9000"};
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

    // Noise inside a listing can garble the header of a message, which then
    // is not listed at all: the cycle lists again and takes it at once,
    // rather than leaving it for an indication that may never come.
    void aGarbledListingIsListedAgainInTheSameCycle_data()
    {
        QTest::addColumn<QString>("guasto");
        QTest::newRow("NULs") << "noise nul 3";
        QTest::newRow("random bytes") << "noise random 3";
        QTest::newRow("invalid UTF-8") << "noise utf8";
    }

    void aGarbledListingIsListedAgainInTheSameCycle()
    {
        QFETCH(QString, guasto);
        // Messages already read but still stored (a cycle cut short) come
        // only in the listing of read messages, and no indication announces
        // them again. The noise lands half-way through that listing; the
        // second message's length moves that point across its header.
        const QDateTime ora(QDate(2026, 3, 1), QTime(10, 0));
        for (int lungo = 0; lungo < 40; lungo += 3) {
            prova::BancoCiclo b;
            b.leggi();
            const QStringList attesi{"ALLARME 1", "ALLARME 2" + QString(lungo, u'X')};
            for (int k = 0; k < attesi.size(); ++k)
                b.sim.comando(QStringLiteral("putpdu %1 1 %2").arg(k + 1).arg(
                    pdu::CodificaDeliver(prova::kUnita, attesi[k], ora.addSecs(k))));
            QVERIFY(b.sim.comando("on AT+CMGL=1 amid " + guasto).last().startsWith(QLatin1String("ok")));
            b.leggi();
            QStringList eventi = b.testi();
            eventi.sort();
            QVERIFY2(eventi == attesi, qPrintable(QString::number(lungo) + ": " + eventi.join(" | ")));
            QCOMPARE(b.memoria(), QStringList());
        }
    }

    void aListingIsSoundOnlyWithAPduOfItsLengthToEachReadableHeader()
    {
        const QString pdu = pdu::CodificaDeliver(prova::kUnita, "ALLARME", QDateTime(QDate(2026, 3, 1), QTime(10, 0)));
        const int lunghezza = int(pdu.size() / 2) - 1 - pdu.left(2).toInt(nullptr, 16);
        auto voce = [&](const QString& indice, int l, const QString& p) {
            return QStringLiteral("\r\n+CMGL: %1,1,,%2\r\n%3").arg(indice).arg(l).arg(p);
        };
        QVERIFY(modem::ElencoIntegro(voce("1", lunghezza, pdu) + voce("4", lunghezza, pdu) + "\r\n\r\nOK\r\n"));
        QVERIFY(modem::ElencoIntegro("\r\nOK\r\n"));
        // A header garbled, unreadable or missing, a PDU cut, joined or of
        // another length.
        QVERIFY(!modem::ElencoIntegro(voce("1", lunghezza, pdu) + "\r\n+CM\x01L: 4,1,,1\r\n" + pdu));
        QVERIFY(!modem::ElencoIntegro(voce("x", lunghezza, pdu)));
        QVERIFY(!modem::ElencoIntegro(voce("1", lunghezza, pdu + pdu)));
        QVERIFY(!modem::ElencoIntegro(voce("1", lunghezza, pdu.left(pdu.size() - 2))));
        QVERIFY(!modem::ElencoIntegro(voce("1", lunghezza + 1, pdu)));
        QVERIFY(!modem::ElencoIntegro(voce("1", lunghezza, QString())));
    }
};

QTEST_MAIN(TestGuasti)
#include "tst_guasti.moc"
