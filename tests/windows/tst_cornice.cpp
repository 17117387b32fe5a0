// Window geometry settings and the scrolling frame.

#include "platform/Preferenze.h"
#include "platform/Twips.h"
#include "windows/Cornice.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using namespace sorvela;

namespace {

struct Finestra {
    QWidget w;
    Cornice* c;
    Finestra(const ParametriCornice& p, Preferenze& pref)
    {
        auto* l = new QVBoxLayout(&w);
        l->setContentsMargins(0, 0, 0, 0);
        c = new Cornice(p, pref, &w);
        l->addWidget(c);
        w.resize(twips::inPixel(6000), twips::inPixel(3000)); // its size before the settings apply
    }
};

} // namespace

class TestCornice : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void init() { twips::imposta(15, 12000, 9000); }
    void cleanup() { twips::ripristina(); }

    void savedGeometryFallsBackWhenItMakesNoSense_data()
    {
        QTest::addColumn<QStringList>("salvati");  // XPos, YPos, WiPos, HePos
        QTest::addColumn<QRect>("atteso");
        // Centred on the designed size: left (12000 - 11430) / 2 = 285,
        // top (9000 - 2745) / 2 - 570 = 2557, i.e. pixel 170 = 2550 twips.
        QTest::newRow("nothing saved") << QStringList{"", "", "", ""} << QRect(285, 2550, 11430, 2745);
        QTest::newRow("negative position") << QStringList{"-1", "-15", "9000", "3000"} << QRect(285, 2550, 9000, 3000);
        QTest::newRow("width as wide as the screen") << QStringList{"300", "600", "12000", "3000"}
                                                     << QRect(300, 600, 11430, 3000);
        QTest::newRow("height under the status strip") << QStringList{"300", "600", "9000", "8445"}
                                                       << QRect(300, 600, 9000, 2745);
        QTest::newRow("text without a number is 0") << QStringList{"abc", "xyz", "", ""} << QRect(0, 0, 11430, 2745);
        QTest::newRow("leading number is read") << QStringList{"1500 twips", "750", "9000.4", "3000"}
                                                << QRect(1500, 750, 9000, 3000);
    }

    void savedGeometryFallsBackWhenItMakesNoSense()
    {
        QFETCH(QStringList, salvati);
        QFETCH(QRect, atteso);
        const QStringList chiavi{"XPos", "YPos", "WiPos", "HePos"};
        Preferenze pref(m_dir.filePath(QStringLiteral("g-%1.ini").arg(QTest::currentDataTag())));
        for (int i = 0; i < 4; ++i)
            pref.scrivi("CodaEventi", chiavi[i], salvati[i]);
        Finestra f(cornici::CodaEventi, pref);
        f.c->leggiGeometria();
        QCOMPARE(f.c->geometriaTwips(), atteso);

        // Closing writes back exactly where the window is.
        f.c->setGeometriaTwips(QRect(450, 900, 10500, 2700));
        f.c->salvaGeometria();
        const auto g = pref.geometria("CodaEventi");
        QCOMPARE(QStringList({g.XPos, g.YPos, g.WiPos, g.HePos}), QStringList({"450", "900", "10500", "2700"}));
    }

    void shrinkingSnapsAndScrollsThenTheCornerRestores()
    {
        Preferenze pref(m_dir.filePath("scorri.ini"));
        Finestra f(cornici::CodaEventi, pref);
        f.c->leggiGeometria();
        f.w.show();
        QVERIFY(!f.c->scorrimento());
        QVERIFY(!f.c->barraOrizzontale()->isVisible());

        f.c->ridimensionaTwips(3000, 2000);
        QCOMPARE(f.c->geometriaTwips().size(), QSize(3375, 2205));
        QVERIFY(f.c->scorrimento());
        QVERIFY(f.c->barraOrizzontale()->isVisible());
        QVERIFY(f.c->barraVerticale()->isVisible());
        QVERIFY(f.c->angolo()->isVisible());

        // Scrolling moves the inner container the other way.
        f.c->barraOrizzontale()->setValue(f.c->barraOrizzontale()->maximum());
        QVERIFY(f.c->interno()->x() < 0);

        // A click on the corner panel brings back the designed size and
        // the whole content at the top left.
        QTest::mouseClick(f.c->angolo(), Qt::LeftButton);
        QCOMPARE(f.c->geometriaTwips().size(), QSize(11430, 2745));
        QVERIFY(!f.c->scorrimento());
        QVERIFY(!f.c->barraOrizzontale()->isVisible());
        QVERIFY(!f.c->angolo()->isVisible());
        QCOMPARE(f.c->interno()->pos(), QPoint(0, 0));

        // The contacts window has its own, lower height rule.
        Finestra contatti(cornici::ContattiUtente, pref);
        contatti.w.show();
        contatti.c->ridimensionaTwips(4500, 1500);
        QCOMPARE(contatti.c->geometriaTwips().size(), QSize(4500, 1875));
    }

    void scrollRangeFollowsTheExcess()
    {
        // Narrower than the viewport: the bar shows with a maximum of 0.
        QCOMPARE(intervalloBarra(2000, 3000, 255).massimo, 0);
        const auto r = intervalloBarra(5000, 3000, 255); // excess 2255
        QCOMPARE(r.massimo, 2330);
        QCOMPARE(r.passoGrande, 1165);
        QCOMPARE(r.passoPiccolo, 582); // 582.5 rounds to even
        QCOMPARE(intervalloBarra(3000, 3000, 255).passoPiccolo, 82); // 330 / 4 = 82.5
    }
};

QTEST_MAIN(TestCornice)
#include "tst_cornice.moc"
