// Reception against a handset that behaves like real ones: slow, chatty with
// network lines, sending other codings, announcing at the worst moment, and
// an archive held by another program. Every test ends by checking that each
// message is one event, once, or still in the handset.

#include "modem/Seriale.h"
#include "modem/ciclo/ricezione_aiuto.h"
#include "modem/pdu/CodificaPdu.h"
#include "receiver/Turni.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

using namespace sorvela;
using namespace sorvela::modem;

namespace {

using Banco = prova::BancoCiclo;
using prova::kUnita;

QString lungo(int n)
{
    return QStringLiteral("ALLARME %1 ").arg(n, 2, 10, QLatin1Char('0')).leftJustified(160, QLatin1Char('x'));
}

} // namespace

class TestRicezione : public QObject {
    Q_OBJECT

private slots:
    void listingLongerThanTheOldWaitLosesNothing()
    {
        // 600 bytes a second: twenty 160-character messages list in about
        // eleven seconds, longer than a fixed eight-second wait.
        Banco b({"--capacity", "20", "--pace-rate", "600"});
        QStringList attesi;
        for (int i = 1; i <= 20; ++i) {
            attesi << lungo(i);
            b.sim.comando("store " + kUnita + u' ' + lungo(i));
        }
        QElapsedTimer t;
        t.start();
        const RiepilogoLettura r = b.leggi();
        QVERIFY2(t.elapsed() > 8000, "the listing must outlast the old fixed wait");
        QCOMPARE(b.testi(), attesi);
        QCOMPARE(r.cancellati, 20);
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    void networkLinesInsideReadRepliesAreTakenOut()
    {
        Banco b;
        b.sim.comando("urc pdu +CREG: 1");
        b.sim.comando("urc ok ^RSSI: 3");
        b.sim.comando("store " + kUnita + " batt 80 seg 20");
        b.sim.comando("store " + kUnita + " ALLARME INGRESSO 2");
        b.sim.comando("on AT+CMGL=0 amid say +CLIP: \"3351234567\",129");
        const RiepilogoLettura r = b.leggi();
        QCOMPARE(b.testi(), (QStringList{"batt 80 seg 20", "ALLARME INGRESSO 2"}));
        // Read in the same cycle, no fault: the listing that the caller's
        // line garbled is listed once more.
        QCOMPARE(r.elenchi, 4);
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    void otherCodingsAndConcatenatedMessages()
    {
        Banco b;
        const QDateTime ora(QDate(2026, 3, 2), QTime(10, 0, 0));
        b.putpdu(1, pdu::CodificaDeliverUcs2(kUnita, QStringLiteral("Città: allarme €"), ora));
        b.putpdu(2, pdu::CodificaDeliverOttetti(kUnita, QByteArray::fromHex("00FF10"), ora));
        // Parts listed out of order, and a part whose siblings never came.
        b.putpdu(3, pdu::CodificaDeliverParte(kUnita, QStringLiteral("seconda parte, "), 7, 3, 2, ora));
        b.putpdu(4, pdu::CodificaDeliverParte(kUnita, QStringLiteral("prima parte, "), 7, 3, 1, ora));
        b.putpdu(5, pdu::CodificaDeliverParte(kUnita, QStringLiteral("terza parte"), 7, 3, 3, ora));
        b.putpdu(6, pdu::CodificaDeliverParte(kUnita, QStringLiteral("orfana"), 9, 2, 2, ora));

        b.leggi();

        QCOMPARE(b.testi(), (QStringList{"Città: allarme €", "00FF10", "prima parte, seconda parte, terza parte",
                                         "orfana"}));
        QCOMPARE(b.memoria(), QStringList());
        // Read again (the console stopped before the deletions): no second event.
        b.putpdu(4, pdu::CodificaDeliverParte(kUnita, QStringLiteral("prima parte, "), 7, 3, 1, ora));
        b.putpdu(5, pdu::CodificaDeliverParte(kUnita, QStringLiteral("terza parte"), 7, 3, 3, ora));
        b.leggi();
        QCOMPARE(b.testi().size(), 4);
        QCOMPARE(b.memoria(), QStringList());
    }

    void indicationDuringTheLastListingIsServedByTheNextTick()
    {
        Banco b;
        b.sim.comando("store " + kUnita + " primo");
        // Each report brings another message: the cycle gives up after its
        // last listing, with news left over.
        b.dopoMostrato = [&](int n) {
            if (n <= 4)
                b.sim.comando(QStringLiteral("sms %1 ancora %2").arg(kUnita).arg(n));
        };
        b.leggi();
        QCOMPARE(b.memoria().size(), 1);
        QVERIFY(b.linea.messaggiInAttesa());

        ricevitore::Turni turni(b.c);
        turni.lavori().LetturaMessaggi = [&] { b.leggi(); };
        QElapsedTimer t;
        t.start();
        turni.passo();
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(b.testi().size(), 5);
        QCOMPARE(b.memoria(), QStringList());
        QVERIFY(!b.linea.messaggiInAttesa());
    }

    void archiveHeldByAnotherProgramDeletesNothingAndCatchesUp()
    {
        if (comune::motoreServer())
            QSKIP("il blocco è quello di sqlite3 sul file");
        Banco b;
        Orologio vero;
        b.c.orologio = &vero; // the retry is timed on the real clock here
        QTimer timer1;
        b.c.Timer1 = &timer1;
        ricevitore::Turni turni(b.c);
        turni.lavori().LetturaMessaggi = [&] { b.leggi(); };
        connect(&timer1, &QTimer::timeout, &timer1, [&] { turni.passo(); });
        QCOMPARE(b.linea.apri(1), QString());
        timer1.start(1000);

        // Another program holds the archive for 15 s while three alarms arrive.
        // (Interactive, so that its output is not held back until it ends.)
        QProcess altro;
        altro.setProcessChannelMode(QProcess::MergedChannels);
        altro.start("sqlite3", {"-interactive", b.cartella.filePath("Sorvela.db")});
        altro.write("BEGIN EXCLUSIVE;\nSELECT 'pre' || 'so';\n");
        QByteArray detto;
        QTRY_VERIFY_WITH_TIMEOUT((altro.waitForReadyRead(100), detto += altro.readAll()).contains("preso"), 5000);
        for (int i = 1; i <= 3; ++i) {
            b.sim.comando(QStringLiteral("sms %1 ALLARME %2").arg(kUnita).arg(i));
            QTest::qWait(3000);
        }
        QTest::qWait(6000);
        QCOMPARE(b.memoria().size(), 3); // nothing deleted while the archive refused
        QVERIFY(b.messaggi.voci().size() >= 1);
        QVERIFY(std::none_of(b.messaggi.voci().cbegin(), b.messaggi.voci().cend(),
                             [](const auto& v) { return v.notifica.isEmpty(); })); // no box waits for OK
        altro.write("COMMIT;\n.quit\n");
        QVERIFY(altro.waitForFinished(5000));

        // No further indication: the retry alone brings them in.
        QElapsedTimer t;
        t.start();
        QTRY_COMPARE_WITH_TIMEOUT(b.testi().size(), 3, 45000);
        QVERIFY(t.elapsed() < 45000);
        QTRY_COMPARE_WITH_TIMEOUT(b.memoria(), QStringList(), 10000);
        QCOMPARE(b.testi(), (QStringList{"ALLARME 1", "ALLARME 2", "ALLARME 3"}));
        timer1.stop();
    }
};

QTEST_MAIN(TestRicezione)
#include "tst_ricezione.moc"
