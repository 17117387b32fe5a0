#include "core/Numeri.h"

#include <QTest>
#include <limits>

using namespace sorvela;

class TestNumeri : public QObject {
    Q_OBJECT
private slots:
    void valoreNumericoLeggeIlNumeroIniziale_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<double>("atteso");
        QTest::newRow("no number") << "euro 5" << 0.0;
        QTest::newRow("comma stops") << "12,50" << 12.0;
        QTest::newRow("trailing words") << "  7.5 euro" << 7.5;
        QTest::newRow("blanks tabs lf everywhere") << "\t\n 1 2\t5 0" << 1250.0;
        QTest::newRow("sign and point first") << "-.25" << -0.25;
        QTest::newRow("second point stops") << "1.2.3" << 1.2;
        QTest::newRow("exponent with blanks") << "2 E- 2x" << 0.02;
        QTest::newRow("letter e without digits") << "5euro" << 5.0;
        QTest::newRow("overflow saturates") << "-9e400" << -std::numeric_limits<double>::max();
        QTest::newRow("underflow is zero") << "1e-999" << 0.0;
    }

    void valoreNumericoLeggeIlNumeroIniziale()
    {
        QFETCH(QString, testo);
        QFETCH(double, atteso);
        QCOMPARE(ValoreNumerico(testo), atteso);
    }

    void interoArrotondatoVaAlPariEDentroSediciBit()
    {
        const QList<std::pair<double, int>> casi = {{20.5, 20},       {21.5, 22},        {-2.5, -2},      {-3.5, -4},
                                                    {2.5001, 3},      {32767.5, 32767},  {1e300, 32767},  {-32768.5, -32768},
                                                    {-1e9, -32768},   {std::numeric_limits<double>::quiet_NaN(), 0}};
        for (const auto& [valore, atteso] : casi)
            QCOMPARE(int(InteroArrotondato(valore)), atteso);
    }
};

QTEST_APPLESS_MAIN(TestNumeri)
#include "tst_numeri.moc"
