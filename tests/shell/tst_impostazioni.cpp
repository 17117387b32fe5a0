// The settings window on the offscreen platform, with the simulated handset on
// a pseudo-terminal and a settings file in a temporary folder: what the
// operator sees and what is left in the settings and on the line.

#include "comune/Banco.h"
#include "modem/Seriale.h"
#include "modem/Simulatore.h"
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
    b.linea.readAll();
    b.linea.write("AT\r");
    b.linea.flush();
    QByteArray r;
    QDeadlineTimer fine(3000);
    while (!r.contains("OK") && !fine.hasExpired()) {
        b.linea.waitForReadyRead(100);
        r += b.linea.readAll();
    }
    return r.contains("OK");
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
        QCOMPARE(modem::ApriPorta(b.c), 0);

        QPointer<Impostazioni> w = apri(b);
        auto* cmb = w->findChild<QComboBox*>("cmbPort");
        cmb->setCurrentIndex(3); // "4": mapped to a device that does not exist
        premi(w, "cmdOK(0)");

        QCOMPARE(b.messaggi.testi(), QStringList{"COM4 non è una porta valida."});
        QCOMPARE(b.messaggi.voci().first().icona, Icona::Avviso);
        QCOMPARE(int(b.c.NumeroPorta), 1);
        QCOMPARE(b.preferenze.numPort(), "1");
        QVERIFY(!b.linea.isOpen());
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
        QVERIFY(b.linea.isOpen());
        QVERIFY(parlaCon(b));
        QTRY_VERIFY(w.isNull());
    }

    void annullaDopoVerificaRiapreLaPortaConfigurata()
    {
        Banco b;
        Simulatore sim;
        b.mappa(2, sim.percorso());
        b.c.NumeroPorta = 2; // read at start-up; the setting itself is still missing
        QVERIFY(b.preferenze.numPort().isEmpty());

        QPointer<Impostazioni> w = apri(b);
        // The window shows the port in use and leaves the console usable.
        QCOMPARE(w->findChild<QComboBox*>("cmbPort")->currentText(), "2");
        QVERIFY(!w->isModal());
        premi(w, "Command1");
        QCOMPARE(b.messaggi.voci().size(), 1);
        QVERIFY(b.messaggi.testi().first().contains("TELEFONO RILEVATO ALLA PORTA COM2\r\n"));
        QVERIFY(!b.linea.isOpen()); // the check ended on port 6, which does not exist
        QVERIFY(!w.isNull());
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        premi(w, "cmdOK(1)");
        QCOMPARE(b.messaggi.voci().size(), 1);
        QVERIFY(b.linea.isOpen());
        QVERIFY(parlaCon(b));
        QCOMPARE(int(b.c.NumeroPorta), 2);
        QCOMPARE(b.preferenze.numPort(), "2");
        QTRY_VERIFY(w.isNull());
    }

    void chiuderlaDopoVerificaRiapreLaPortaConfigurata()
    {
        Banco b;
        Simulatore sim;
        Simulatore altro;
        b.mappa(1, altro.percorso());
        b.mappa(6, sim.percorso()); // the check leaves the line open on port 6
        b.c.NumeroPorta = 1;

        QPointer<Impostazioni> w = apri(b);
        premi(w, "Command1");
        QVERIFY(b.linea.isOpen());
        // Escape or the close box: not a way to keep the probed port.
        w->close();
        QTRY_VERIFY(w.isNull());
        QVERIFY(b.linea.isOpen());
        altro.storia();
        QVERIFY(parlaCon(b));
        QCOMPARE(altro.storia(), QStringList{"AT"});
        QCOMPARE(b.preferenze.numPort(), "1");
    }
};

QTEST_MAIN(TestImpostazioni)
#include "tst_impostazioni.moc"
