// The settings window on the offscreen platform, its receiver on the test's
// thread with the simulated handset on a pseudo-terminal, a real database and
// a settings file in a temporary folder: what the operator sees and what is
// left in the settings, in the record and on the line.

#include "comune/Banco.h"
#include "comune/Ricevitore.h"
#include "modem/LineaTelefono.h"
#include "shell/Impostazioni.h"

#include <QComboBox>

using namespace sorvela;
using sorvela::comune::premi;
using sorvela::prova::Simulatore;

namespace {

using Banco = comune::ScrivaniaERicevitore;

QPointer<Impostazioni> apri(Banco& b)
{
    auto* w = new Impostazioni(b.c);
    w->show();
    return w;
}

} // namespace

class TestImpostazioni : public QObject {
    Q_OBJECT

private slots:
    void leggiImpostazioni_data()
    {
        QTest::addColumn<QString>("valore"); // null: no key at all
        QTest::addColumn<int>("porta");
        QTest::newRow("first run, no setting") << QString() << 1;
        QTest::newRow("empty") << QString("") << 1;
        QTest::newRow("fraction rounds") << QString("2.7") << 3;
        QTest::newRow("half goes to even") << QString("2.5") << 2;
        QTest::newRow("leading blanks") << QString("  3 ") << 3;
        QTest::newRow("no number") << QString("abc") << 0;
        QTest::newRow("beyond 16 bits is clamped") << QString("99999") << 32767;
    }

    void leggiImpostazioni()
    {
        QFETCH(QString, valore);
        QFETCH(int, porta);
        prova::Banco b;
        if (!valore.isNull())
            b.preferenze.scrivi("Impostazioni", "NumPort", valore);
        b.c.NumeroPorta = 6;
        LeggiImpostazioni(b.c);
        QCOMPARE(int(b.c.NumeroPorta), porta);
    }

    void okMovesTheReceiverOrKeepsThePortBefore_data()
    {
        QTest::addColumn<QString>("scelta");
        QTest::addColumn<QString>("avviso");
        QTest::addColumn<int>("porta");
        QTest::newRow("the handset's port: opened, recorded, remembered") << "5" << QString() << 5;
        QTest::newRow("a device that does not exist: the port before") << "4" << "COM4 non è una porta valida." << 1;
    }

    void okMovesTheReceiverOrKeepsThePortBefore()
    {
        QFETCH(QString, scelta);
        QFETCH(QString, avviso);
        QFETCH(int, porta);
        Banco b;
        Simulatore sim;
        b.mappa(1, sim.percorso());
        b.mappa(5, sim.percorso());
        b.preferenze.setNumPort(1);
        LeggiImpostazioni(b.c);
        QCOMPARE(b.avviaRicevitore(), QString());

        QPointer<Impostazioni> w = apri(b);
        QCOMPARE(w->findChild<QComboBox*>("cmbPort")->currentText(), "1");
        w->findChild<QComboBox*>("cmbPort")->setEditText(scelta);
        premi(w, "cmdOK(0)");
        QTRY_VERIFY(w.isNull()); // once the receiver answered

        QCOMPARE(b.messaggi.testi(), avviso.isEmpty() ? QStringList() : QStringList{avviso});
        QCOMPARE(int(b.c.NumeroPorta), porta);
        QCOMPARE(b.preferenze.numPort(), QString::number(porta));
        QCOMPARE(b.db->valore("SELECT Azione || ': ' || Dettagli FROM RegistroOperazioni").toString(),
                 avviso.isEmpty() ? QStringLiteral("Porta cambiata: da COM1 a COM5") : QString());
        QVERIFY(b.r->linea().aperta() && b.r->linea().porta() == porta); // the handset stays reachable
        QVERIFY(b.parla());
        QCOMPARE(ricevitore::LeggiStato(*b.db).porta, porta);
    }

    // The check ends on port 6, which answers too: the receiver is back on
    // the handset's port at once, not when the window closes.
    void verificaReportsEveryPortAndGoesBackToTheHandset()
    {
        Banco b;
        Simulatore sim, altro;
        b.mappa(2, sim.percorso());
        b.mappa(6, altro.percorso());
        b.preferenze.setNumPort(2);
        LeggiImpostazioni(b.c);
        QCOMPARE(b.avviaRicevitore(), QString());
        QPointer<Impostazioni> w = apri(b);
        QVERIFY(!w->isModal());
        premi(w, "Command1");
        QTRY_COMPARE_WITH_TIMEOUT(b.messaggi.voci().size(), 1, 30000);
        QVERIFY(b.messaggi.testi().first().contains("TELEFONO RILEVATO ALLA PORTA COM2\r\n"));
        QVERIFY(b.messaggi.testi().first().contains("Telefono non rilevato alla porta COM3\r\n")
                || b.messaggi.testi().first().contains("COM3 non è una porta valida."));
        QVERIFY(b.messaggi.testi().first().contains("TELEFONO RILEVATO ALLA PORTA COM6\r\n"));
        sim.storia();
        QVERIFY(b.parla());
        QCOMPARE(sim.storia(), QStringList{"AT"});
        w->close();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(int(b.c.NumeroPorta), 2);
    }

    // The window is not modal: "Verifica" may be pressed while a retrieval
    // cycle holds the line. The request waits for the cycle, the window waits
    // for the answer and cannot be closed meanwhile, and no message suffers.
    void verificaDuringACycleIsServedAfterIt()
    {
        Banco b;
        Simulatore sim;
        b.mappa(1, sim.percorso());
        b.db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)",
                     {prova::kUnitaSimulata});
        for (int i = 1; i <= 3; ++i)
            sim.comando(QStringLiteral("store %1 ALLARME %2").arg(prova::kUnitaSimulata).arg(i));
        sim.comando("slow AT+CMGD 400");
        QPointer<Impostazioni> w = apri(b);
        bool premuto = false, chiusa = true;
        // Runs inside the start-up cycle's waits, as the operator's click would.
        QTimer::singleShot(2500, w, [&] {
            QVERIFY(!b.r->linea().occupataDa().isEmpty());
            premi(w, "Command1");
            premuto = !w->findChild<QPushButton*>("cmdOK(0)")->isEnabled();
            w->close();
            chiusa = !w->isVisible();
        });
        QCOMPARE(b.avviaRicevitore(), QString());
        QTRY_VERIFY(premuto);
        QVERIFY(!chiusa);
        QTRY_COMPARE_WITH_TIMEOUT(b.messaggi.voci().size(), 1, 30000);
        QVERIFY(b.messaggi.testi().first().contains("TELEFONO RILEVATO ALLA PORTA COM1"));
        QCOMPARE(b.db->valore("SELECT count(*) FROM ArchivioEventi").toInt(), 3);
        QCOMPARE(sim.comando("list").size(), 1); // only "ok": the store is empty
        delete w;
    }

    void withoutAReceiverNothingWaits()
    {
        Banco b;
        QPointer<Impostazioni> w = apri(b);
        premi(w, "Command1");
        premi(w, "cmdOK(0)");
        QCOMPARE(b.messaggi.testi(), (QStringList{"Ricevitore non attivo: la verifica non è stata fatta.",
                                                  "Ricevitore non attivo: la porta non è stata cambiata."}));
        QVERIFY(!w.isNull()); // still there for another try
        delete w;
    }
};

QTEST_MAIN(TestImpostazioni)
#include "tst_impostazioni.moc"
