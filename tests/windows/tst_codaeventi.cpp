// "Eventi nuovi" as the operator meets it, offscreen, on a real database
// file: how it opens, what "Archivia" writes and when it closes, and where a
// double-click sends the operator.

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "platform/Twips.h"
#include "store/Database.h"
#include "windows/CodaEventi.h"
#include "windows/Cornice.h"

#include <QApplication>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace sorvela;

class TestCodaEventi : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    OrologioVirtuale m_orologio;
    MessaggiRegistrati m_messaggi;
    std::unique_ptr<Preferenze> m_pref;
    std::unique_ptr<store::Database> m_db;
    Contesto m_ctx;
    std::unique_ptr<QMdiArea> m_area;

    qint64 evento(const QString& codice, const QString& tipo)
    {
        m_db->esegui(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Tipo evento], "
                                    "[Descrizione evento]) VALUES (?, ?, ?, ?)"),
                     {codice, m_orologio.adesso(), tipo, QStringLiteral("Descrizione")});
        return m_db->valore(QStringLiteral("SELECT max(ID) FROM ArchivioEventi")).toLongLong();
    }
    int inCoda() { return m_db->valore(QStringLiteral("SELECT count(*) FROM [Coda Query]")).toInt(); }

    // Opens the queue the way the main window does: an MDI child that goes
    // away when closed.
    CodaEventi* apri()
    {
        auto* c = new CodaEventi(m_ctx);
        c->setAttribute(Qt::WA_DeleteOnClose);
        QMdiSubWindow* sub = m_area->addSubWindow(c);
        sub->show();
        return c;
    }

private slots:
    void initTestCase() { twips::imposta(15, 1920 * 15, 1080 * 15); }
    void cleanupTestCase() { twips::ripristina(); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString percorso = m_dir->filePath(QStringLiteral("Sorvela.db"));
        store::Database::crea(percorso, false);
        m_db = store::Database::apri(percorso);
        m_pref = std::make_unique<Preferenze>(m_dir->filePath(QStringLiteral("Sorvela.ini")));
        m_ctx = Contesto{};
        m_ctx.db = m_db.get();
        m_ctx.orologio = &m_orologio;
        m_ctx.messaggi = &m_messaggi;
        m_ctx.preferenze = m_pref.get();
        m_messaggi.svuota();
        m_area = std::make_unique<QMdiArea>();
        m_area->resize(1600, 900);
        m_area->show();
    }
    void cleanup()
    {
        m_area.reset();
        m_db.reset();
        m_dir.reset();
    }

    void opensFilledAtDefaultSizeInRememberedPlace()
    {
        evento(QStringLiteral("000001"), QStringLiteral("Allarme"));
        evento(QStringLiteral("000002"), QStringLiteral("Test"));
        m_pref->salvaGeometria(QStringLiteral("CodaEventi"), 1500, 750, 6000, 4000);
        CodaEventi* c = apri();
        QVERIFY(m_ctx.aperte.CodaEventi);
        QCOMPARE(c->windowTitle(), QStringLiteral("Eventi nuovi"));
        QCOMPARE(c->Coda()->rowCount(), 2);
        QCOMPARE(m_ctx.NumEventiNuovi, 2);
        QStringList intestazioni;
        for (int i = 0; i < 4; ++i)
            intestazioni << c->Coda()->horizontalHeaderItem(i)->text();
        QCOMPARE(intestazioni, (QStringList{"Codice", "Nome", "Descrizione evento", "Data e ora"}));
        const QFontMetrics fm(c->font());
        // A code and a time are never cut short.
        QVERIFY(c->Coda()->columnWidth(0) >= fm.horizontalAdvance(QStringLiteral("000000")) + 14);
        QVERIFY(c->Coda()->columnWidth(3) >= fm.horizontalAdvance(QStringLiteral("00/00/0000 00.00.00")) + 14);
        // The remembered size is superseded; the remembered place is kept.
        const QRect g = c->cornice()->geometriaTwips();
        QCOMPARE(g.topLeft(), QPoint(1500, 750));
        QCOMPARE(g.size(), QSize(11430, 2745));
        QVERIFY(!c->cornice()->scorrimento());
        // At the designed size the whole row of columns and both buttons are
        // in view, not cut off.
        const QRect vista = c->cornice()->rect();
        for (QWidget* w : {static_cast<QWidget*>(c->Coda()), static_cast<QWidget*>(c->Command1()),
                           static_cast<QWidget*>(c->Esci())})
            QVERIFY2(vista.contains(QRect(w->mapTo(c->cornice(), QPoint(0, 0)), w->size())),
                     qPrintable(w->objectName()));
        QVERIFY(c->Coda()->horizontalHeader()->length() <= c->Coda()->viewport()->width());
    }

    void placeRememberedOutsideTheAreaOpensInSight()
    {
        m_pref->salvaGeometria(QStringLiteral("CodaEventi"), 60000, 30000, 11430, 2745);
        CodaEventi* c = apri();
        QVERIFY(m_area->viewport()->rect().contains(c->cornice()->finestra()->geometry()));
    }

    void archiveWritesShownEventsClosesAndSavesPlace()
    {
        QPointer<CodaEventi> c = apri();
        QTest::mouseClick(c->Command1(), Qt::LeftButton);
        QVERIFY(c);   // an empty queue: nothing to archive, the window stays
        evento(QStringLiteral("000001"), QStringLiteral("Allarme"));
        evento(QStringLiteral("000002"), QStringLiteral("Test"));
        c->esci();
        QTRY_VERIFY(!c);
        c = apri();
        c->cornice()->setGeometriaTwips(QRect(300, 450, 11430, 2745));
        QTest::mouseClick(c->Command1(), Qt::LeftButton);
        QTRY_VERIFY(!c);
        QCOMPARE(inCoda(), 0);
        QVERIFY(!m_ctx.aperte.CodaEventi);
        QCOMPARE(m_pref->geometria(QStringLiteral("CodaEventi")).XPos, QStringLiteral("300"));
    }

    void eventArrivedAfterTheFillIsNotArchivedUnseen()
    {
        evento(QStringLiteral("000001"), QStringLiteral("Test"));
        CodaEventi* c = apri();
        const qint64 nuovo = evento(QStringLiteral("000002"), QStringLiteral("Allarme"));
        c->archivia();
        QCOMPARE(inCoda(), 1);
        QCOMPARE(m_db->valore(QStringLiteral("SELECT ID FROM [Coda Query]")).toLongLong(), nuovo);
    }

    void databaseErrorOnArchiveIsToldAndKeepsEverything()
    {
        evento(QStringLiteral("000001"), QStringLiteral("Allarme"));
        QPointer<CodaEventi> c = apri();
        m_db->esegui(QStringLiteral("CREATE TEMP TRIGGER guasto BEFORE UPDATE ON ArchivioEventi "
                                    "BEGIN SELECT RAISE(ABORT, 'disco pieno'); END"));
        c->archivia();
        QVERIFY(c);
        QCOMPARE(inCoda(), 1);
        QCOMPARE(m_messaggi.voci().size(), 1);
        QVERIFY(m_messaggi.voci().first().testo.contains(QStringLiteral("disco pieno")));
    }

    void doubleClickHandsOverTheRowsCode()
    {
        evento(QStringLiteral("000007"), QStringLiteral("Allarme"));
        evento(QString(), QStringLiteral("Test"));
        CodaEventi* c = apri();
        QSignalSpy spia(c, &CodaEventi::apriUtente);
        QTableWidget* g = c->Coda();
        for (int riga : {1, 0}) {
            const QRect cella = g->visualRect(g->model()->index(riga, 2));
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cella.center());
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cella.center());
        }
        QCOMPARE(spia.size(), 2);
        QCOMPARE(spia.at(0).at(0).toString(), QString());
        QCOMPARE(spia.at(1).at(0).toString(), QStringLiteral("000007"));
    }
};

QTEST_MAIN(TestCodaEventi)
#include "tst_codaeventi.moc"
