// The catalog reached as the operator reaches it: the main window, the
// subscriber window's type button, on a demo database file.

#include "catalog/Periferica.h"
#include "comune/Banco.h"
#include "registry/AnagraficaUtenti.h"
#include "shell/MDIForm1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>

using namespace sorvela;

class TestCatalogo : public QObject {
    Q_OBJECT

private slots:
    // Opened from the subscriber's type, the queue coming forward meanwhile:
    // placing the window is no change, an edit is asked about on closing,
    // and the subscriber window, not the queue, has the keyboard back.
    void dalTipoDellUtenteLeModificheChiedonoETornaAllUtente()
    {
        comune::Banco b(true);
        MDIForm1 finestra(b.ctx);
        finestra.adottaDatabase(std::move(b.db));
        finestra.show();
        QVERIFY(QTest::qWaitForWindowActive(&finestra));
        AnagraficaUtenti* a = finestra.apriAnagrafica();
        QVERIFY(a->setCodice("000102"));   // a "Vedetta 8", not the default type
        a->Carica();
        comune::premi(a, "SSCommand3");
        auto* p = qobject_cast<Periferica*>(finestra.finestra("Periferica"));
        QVERIFY(p && b.ctx.aperte.Periferica);
        finestra.apriCoda(false);   // events arrive meanwhile
        QVERIFY(finestra.codaEventi());
        QCOMPARE(p->findChild<QComboBox*>("Periferiche")->currentText(), QString("Vedetta 8"));
        QVERIFY(!p->modificato());
        p->findChild<QCheckBox*>("Predefinita")->click();
        QVERIFY(p->modificato());
        auto* sub = qobject_cast<QMdiSubWindow*>(p->parentWidget());
        b.msg.rispondi(Risposta::Annulla);
        QVERIFY(!sub->close());
        QCOMPARE(b.msg.testi(), QStringList{"Sono state apportate delle modifiche, le si vuole salvare?"});
        b.msg.rispondi(Risposta::No);
        QVERIFY(sub->close());
        QVERIFY(!b.ctx.aperte.Periferica);
        QCOMPARE(b.ctx.db->valore("SELECT PerifericaTipo FROM TipoPeriferica WHERE Predefinita <> 0").toString(),
                 QString("Sentinella GSM 4"));
        QTRY_VERIFY(!finestra.finestra("Periferica"));
        QTRY_VERIFY(finestra.area()->activeSubWindow() && finestra.area()->activeSubWindow()->widget() == a);
    }
};

QTEST_MAIN(TestCatalogo)
#include "tst_catalogo.moc"
