// The catalog reached as the operator reaches it: the main window, the
// subscriber window's type button, on a demo database file.

#include "catalog/Periferica.h"
#include "comune/Banco.h"
#include "registry/AnagraficaUtenti.h"
#include "shell/MDIForm1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMdiSubWindow>

using namespace sorvela;

class TestCatalogo : public QObject {
    Q_OBJECT

private slots:
    void dalTipoDellUtenteSenzaDomandaAllaChiusura()
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
        QCOMPARE(p->findChild<QComboBox*>("Periferiche")->currentText(), QString("Vedetta 8"));
        p->findChild<QCheckBox*>("Predefinita")->click();
        QVERIFY(p->modificato());
        QVERIFY(qobject_cast<QMdiSubWindow*>(p->parentWidget())->close());
        QVERIFY(b.msg.voci().isEmpty());
        QVERIFY(!b.ctx.aperte.Periferica);
        QCOMPARE(b.ctx.db->valore("SELECT PerifericaTipo FROM TipoPeriferica WHERE Predefinita <> 0").toString(),
                 QString("Sentinella GSM 4"));
    }
};

QTEST_MAIN(TestCatalogo)
#include "tst_catalogo.moc"
