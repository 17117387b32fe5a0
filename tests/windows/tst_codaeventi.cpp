// "Eventi nuovi" as the operator meets it, offscreen, on a real database
// file: how it opens, what "Archivia" writes and when it closes, and where a
// double-click sends the operator.

#include "comune/Banco.h"
#include "platform/Twips.h"
#include "windows/CodaEventi.h"
#include "windows/Cornice.h"

#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTableWidget>

using namespace sorvela;

namespace {

struct Banco : comune::Banco {
    QMdiArea area;
    Banco()
    {
        area.resize(1600, 900);
        area.show();
    }
    int inCoda() { return conta("SELECT count(*) FROM [Coda Query]"); }
    // Opens the queue the way the main window does: an MDI child that goes
    // away when closed.
    CodaEventi* apri()
    {
        auto* c = new CodaEventi(ctx);
        c->setAttribute(Qt::WA_DeleteOnClose);
        area.addSubWindow(c)->show();
        return c;
    }
};

} // namespace

class TestCodaEventi : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { twips::imposta(15, 1920 * 15, 1080 * 15); }
    void cleanupTestCase() { twips::ripristina(); }

    void opensFilledAtDefaultSizeInRememberedPlace()
    {
        Banco b;
        b.evento("000001", "Allarme");
        b.evento("000002", "Test");
        b.pref.salvaGeometria("CodaEventi", 1500, 750, 6000, 4000);
        CodaEventi* c = b.apri();
        QVERIFY(b.ctx.aperte.CodaEventi);
        QCOMPARE(c->Coda()->rowCount(), 2);
        QCOMPARE(b.ctx.NumEventiNuovi, 2);
        const QFontMetrics fm(c->font());
        // A code and a time are never cut short.
        QVERIFY(c->Coda()->columnWidth(0) >= fm.horizontalAdvance("000000") + 14);
        QVERIFY(c->Coda()->columnWidth(3) >= fm.horizontalAdvance("00/00/0000 00.00.00") + 14);
        // The remembered size is superseded; the remembered place is kept.
        QCOMPARE(c->cornice()->geometriaTwips(), QRect(1500, 750, 11430, 2745));
        QVERIFY(!c->cornice()->scorrimento());
        // At the designed size the whole row of columns and both buttons are
        // in view, not cut off.
        const QRect vista = c->cornice()->rect();
        for (QWidget* w : std::initializer_list<QWidget*>{c->Coda(), c->Command1(), c->Esci()})
            QVERIFY2(vista.contains(QRect(w->mapTo(c->cornice(), QPoint(0, 0)), w->size())),
                     qPrintable(w->objectName()));
        QVERIFY(c->Coda()->horizontalHeader()->length() <= c->Coda()->viewport()->width());
    }

    void placeRememberedOutsideTheAreaOpensInSight()
    {
        Banco b;
        b.pref.salvaGeometria("CodaEventi", 60000, 30000, 11430, 2745);
        CodaEventi* c = b.apri();
        QVERIFY(b.area.viewport()->rect().contains(c->cornice()->finestra()->geometry()));
    }

    void archiveWritesShownEventsClosesAndSavesPlace()
    {
        Banco b;
        QPointer<CodaEventi> c = b.apri();
        QTest::mouseClick(c->Command1(), Qt::LeftButton);
        QVERIFY(c);   // an empty queue: nothing to archive, the window stays
        b.evento("000001", "Allarme");
        b.evento("000002", "Test");
        c->esci();
        QTRY_VERIFY(!c);
        c = b.apri();
        c->cornice()->setGeometriaTwips(QRect(300, 450, 11430, 2745));
        QTest::mouseClick(c->Command1(), Qt::LeftButton);
        QTRY_VERIFY(!c);
        QCOMPARE(b.inCoda(), 0);
        QVERIFY(!b.ctx.aperte.CodaEventi);
        QCOMPARE(b.pref.geometria("CodaEventi").XPos, "300");
    }

    void eventArrivedAfterTheFillIsNotArchivedUnseen()
    {
        Banco b;
        b.evento("000001", "Test");
        CodaEventi* c = b.apri();
        const qint64 nuovo = b.evento("000002", "Allarme");
        c->archivia();
        QCOMPARE(b.inCoda(), 1);
        QCOMPARE(b.db->valore("SELECT ID FROM [Coda Query]").toLongLong(), nuovo);
    }

    void databaseErrorOnArchiveIsToldAndKeepsEverything()
    {
        Banco b;
        b.evento("000001", "Allarme");
        QPointer<CodaEventi> c = b.apri();
        comune::guasto(*b.db, "guasto", "ArchivioEventi", "UPDATE", "disco pieno");
        c->archivia();
        QVERIFY(c);
        QCOMPARE(b.inCoda(), 1);
        QCOMPARE(b.msg.voci().size(), 1);
        QVERIFY(b.msg.voci().first().testo.contains("disco pieno"));
    }

    void doubleClickHandsOverTheRowsCode()
    {
        Banco b;
        b.evento("000007", "Allarme");
        b.evento(QString(), "Test");
        CodaEventi* c = b.apri();
        QSignalSpy spia(c, &CodaEventi::apriUtente);
        QTableWidget* g = c->Coda();
        for (int riga : {1, 0}) {
            const QRect cella = g->visualRect(g->model()->index(riga, 2));
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cella.center());
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cella.center());
        }
        QCOMPARE(spia.size(), 2);
        QCOMPARE(spia.at(0).at(0).toString(), "");
        QCOMPARE(spia.at(1).at(0).toString(), "000007");
    }
};

QTEST_MAIN(TestCodaEventi)
#include "tst_codaeventi.moc"
