// The settings window on the offscreen platform, with the simulated handset on
// a pseudo-terminal and a settings file in a temporary folder: what the
// operator sees and what is left in the settings and on the line.

#include "comune/Banco.h"
#include "modem/Seriale.h"
#include "modem/Simulatore.h"
#include "modem/ciclo/ricezione_aiuto.h"
#include "shell/Impostazioni.h"

#include <QComboBox>

using namespace sorvela;
using sorvela::prova::Banco;
using sorvela::prova::Simulatore;
using sorvela::comune::premi;

namespace {

QPointer<Impostazioni> apri(Banco& b)
{
    auto* w = new Impostazioni(b.c);
    w->show();
    return w;
}

// The line really talks to the handset behind `sim`.
bool parlaCon(Banco& b)
{
    return b.linea.prendi(QStringLiteral("prova")).scambia(QStringLiteral("AT"), std::chrono::seconds(3)).ok();
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
        QTest::newRow("plain") << QString("4") << 4;
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
        Banco b;
        if (!valore.isNull())
            b.preferenze.scrivi("Impostazioni", "NumPort", valore);
        b.c.NumeroPorta = 6;
        LeggiImpostazioni(b.c);
        QCOMPARE(int(b.c.NumeroPorta), porta);
    }

    void okConUnaPortaInesistenteTieneLaPortaDiPrima()
    {
        Banco b;
        Simulatore sim;
        b.mappa(1, sim.percorso());
        b.preferenze.setNumPort(1);
        b.c.NumeroPorta = 1;
        QCOMPARE(b.linea.apri(1), QString());

        QPointer<Impostazioni> w = apri(b);
        auto* cmb = w->findChild<QComboBox*>("cmbPort");
        cmb->setCurrentIndex(3); // "4": mapped to a device that does not exist
        premi(w, "cmdOK(0)");

        QCOMPARE(b.messaggi.testi(), QStringList{"COM4 non è una porta valida."});
        QCOMPARE(b.messaggi.voci().first().icona, Icona::Avviso);
        QCOMPARE(int(b.c.NumeroPorta), 1);
        QCOMPARE(b.preferenze.numPort(), "1");
        QVERIFY(b.linea.aperta() && b.linea.porta() == 1); // the handset stays where it was
        QVERIFY(parlaCon(b));
        QTRY_VERIFY(w.isNull()); // the window went
    }

    void okConLaPortaDelTelefonoLaApreELaRicorda()
    {
        Banco b;
        store::Database::crea(b.cartella.filePath("Sorvela.db"), false);
        const auto db = store::Database::apri(b.cartella.filePath("Sorvela.db"));
        b.c.db = db.get();
        Simulatore sim;
        b.mappa(5, sim.percorso());
        QPointer<Impostazioni> w = apri(b);
        w->findChild<QComboBox*>("cmbPort")->setEditText("5");
        premi(w, "cmdOK(0)");

        QVERIFY(b.messaggi.voci().isEmpty());
        QCOMPARE(db->valore("SELECT Azione || ': ' || Dettagli FROM RegistroOperazioni").toString(),
                 "Porta cambiata: da COM1 a COM5");
        QCOMPARE(int(b.c.NumeroPorta), 5);
        QCOMPARE(b.preferenze.numPort(), "5");
        QVERIFY(b.linea.aperta() && b.linea.porta() == 5);
        QVERIFY(parlaCon(b));
        QTRY_VERIFY(w.isNull());
    }

    void verificaTornaAllaPortaDelTelefono_data()
    {
        QTest::addColumn<bool>("annulla"); // or the close box
        QTest::newRow("Annulla") << true;
        QTest::newRow("close box") << false;
    }

    void verificaTornaAllaPortaDelTelefono()
    {
        QFETCH(bool, annulla);
        Banco b;
        Simulatore sim;
        Simulatore altro;
        b.mappa(2, sim.percorso());
        b.mappa(6, altro.percorso()); // the check ends on port 6, which answers too
        b.c.NumeroPorta = 2;
        QCOMPARE(b.linea.apri(2), QString()); // as at start-up

        QPointer<Impostazioni> w = apri(b);
        // The window shows the port in use and leaves the console usable.
        QCOMPARE(w->findChild<QComboBox*>("cmbPort")->currentText(), "2");
        QVERIFY(!w->isModal());
        premi(w, "Command1");
        QCOMPARE(b.messaggi.voci().size(), 1);
        QVERIFY(b.messaggi.testi().first().contains("TELEFONO RILEVATO ALLA PORTA COM2\r\n"));
        QVERIFY(b.messaggi.testi().first().contains("TELEFONO RILEVATO ALLA PORTA COM6\r\n"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // Back on the handset's port at once, not when the window closes.
        sim.storia();
        QVERIFY(parlaCon(b));
        QCOMPARE(sim.storia(), QStringList{"AT"});

        if (annulla)
            premi(w, "cmdOK(1)");
        else
            w->close();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(b.messaggi.voci().size(), 1);
        QVERIFY(b.linea.aperta() && b.linea.porta() == 2);
        QCOMPARE(int(b.c.NumeroPorta), 2);
    }

    // The window is not modal: its buttons can be pressed while a retrieval
    // cycle holds the line. Neither the check nor OK may touch the line then.
    void verificaEOkDuranteUnCicloDiconoCheIlTelefonoEImpegnato()
    {
        prova::BancoCiclo b;
        for (int i = 1; i <= 3; ++i)
            b.sim.comando(QStringLiteral("store %1 ALLARME %2").arg(prova::kUnita).arg(i));
        b.sim.comando("slow AT+CMGR 300");
        QCOMPARE(b.linea.apri(1), QString());
        QPointer<Impostazioni> w = apri(b);
        w->findChild<QComboBox*>("cmbPort")->setEditText("3");
        QTimer::singleShot(200, w, [&] {
            premi(w, "Command1");
            premi(w, "cmdOK(0)");
        });
        b.leggi();
        QCOMPARE(b.testi(), (QStringList{"ALLARME 1", "ALLARME 2", "ALLARME 3"}));
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(b.messaggi.testi(),
                 (QStringList{"Il telefono è impegnato (Lettura messaggi in corso): la verifica non è stata fatta. "
                              "Riprovare tra poco.",
                              "Il telefono è impegnato (Lettura messaggi in corso): la porta non è stata cambiata. "
                              "Riprovare tra poco."}));
        QVERIFY(!w.isNull()); // still there for another try
        QVERIFY(b.linea.aperta() && b.linea.porta() == 1);
        delete w;
    }
};

QTEST_MAIN(TestImpostazioni)
#include "tst_impostazioni.moc"
