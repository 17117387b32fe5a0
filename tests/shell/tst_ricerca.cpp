// Windows opened from other windows of the console: the archive window and
// the subscriber picker, the chosen code going back to the window that asked
// for it; the catalog from the subscriber's type.

#include "catalog/Periferica.h"
#include "comune/Banco.h"
#include "registry/AnagraficaUtenti.h"
#include "shell/MDIForm1.h"
#include "windows/Form15.h"
#include "windows/Form7.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>

using namespace sorvela;

namespace {

struct Console : comune::Banco {
    MDIForm1 finestra{ctx};

    Console()
    {
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Tipo utente], [Ragione sociale], Nome, Indirizzo) "
                   "VALUES ('000001', 0, '', 'Dell''Acqua Giuseppe', 'Via Roma 1'), "
                   "('000002', 1, 'Bar Sport', 'Bianchi Luca', 'Via Po 2')");
        evento("000001");
        finestra.adottaDatabase(std::move(db));
        finestra.show();
    }
    Form15* picker() { return qobject_cast<Form15*>(finestra.finestra("Form15")); }
    // The operator picks the row of `codice` and presses "Seleziona".
    void scegli(const QString& codice)
    {
        Form15* p = picker();
        QVERIFY(p);
        QCOMPARE(p->parentWidget()->pos(), QPoint(0, 0));
        for (int r = 0; r < p->modello()->rowCount(); ++r)
            if (p->modello()->utente(r).codice == codice)
                p->DBGrid1()->setCurrentIndex(p->modello()->index(r, 1));
        comune::premi(p, "Command1");
        QTRY_VERIFY(!picker());
    }
};

} // namespace

class TestRicerca : public QObject {
    Q_OBJECT

private slots:
    void theArchiveWindowIsOnTheMenuAndGetsThePickersCode()
    {
        Console c;
        QAction* voce = c.finestra.findChild<QAction*>("mnuStorico");
        QVERIFY(voce->isVisible() && voce->isEnabled());
        voce->trigger();
        auto* f = qobject_cast<Form7*>(c.finestra.finestra("Form7"));
        QVERIFY(f);
        c.ctx.tagPicker = "AnagraficaUtente_Codice"; // the subscriber window asked last
        f->SSCheck1(2)->setChecked(true);
        QTest::mouseClick(f->SSCommand2(), Qt::LeftButton);
        c.scegli("000002");
        QCOMPARE(f->Text3()->text(), "000002");
        QVERIFY(f->SSCommand1()->isEnabled());

        // Chosen again from the menu: closed and opened afresh.
        voce->trigger();
        QTRY_COMPARE(c.finestra.area()->subWindowList().size(), 1);
        QCOMPARE(qobject_cast<Form7*>(c.finestra.finestra("Form7"))->Text3()->text(), "Tutti");
    }

    void theSubscriberSearchButtonLoadsTheChosenSubscriber()
    {
        Console c;
        AnagraficaUtenti* a = c.finestra.apriAnagrafica();
        auto* cerca = a->findChild<QPushButton*>("SSCommand2");
        QVERIFY(cerca->isEnabled());
        QTest::mouseClick(cerca, Qt::LeftButton);
        QCOMPARE(c.ctx.tagPicker, "AnagraficaUtente_Codice");
        c.scegli("000001");
        QCOMPARE(a->codice(), "000001");
        QCOMPARE(a->codiceCaricato(), "000001");
        QCOMPARE(a->findChild<QLineEdit*>("Indirizzo")->text(), "Via Roma 1");
        QCOMPARE(c.finestra.area()->activeSubWindow()->widget(), a);

        // A tag that names no window hands nothing over.
        QTest::mouseClick(cerca, Qt::LeftButton);
        c.ctx.tagPicker = "Periferica";
        c.scegli("000002");
        QCOMPARE(a->codice(), "000001");
    }

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

QTEST_MAIN(TestRicerca)
#include "tst_ricerca.moc"
