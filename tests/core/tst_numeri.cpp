#include "core/Numeri.h"

#include <QTest>
#include <limits>

using namespace sorvela;

class TestNumeri : public QObject {
    Q_OBJECT
private slots:
    void valoreNumericoLeggeIlNumeroIniziale_data();
    void valoreNumericoLeggeIlNumeroIniziale();
    void interoArrotondatoVaAlPariEDentroSediciBit_data();
    void interoArrotondatoVaAlPariEDentroSediciBit();
};

void TestNumeri::valoreNumericoLeggeIlNumeroIniziale_data()
{
    QTest::addColumn<QString>("testo");
    QTest::addColumn<double>("atteso");
    const double max = std::numeric_limits<double>::max();
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("no number") << "euro 5" << 0.0;
    QTest::newRow("comma stops") << "12,50" << 12.0;
    QTest::newRow("trailing words") << "  7.5 euro" << 7.5;
    QTest::newRow("blanks tabs lf everywhere") << "\t\n 1 2\t5 0" << 1250.0;
    QTest::newRow("carriage return is not a blank") << "\r5" << 0.0;
    QTest::newRow("sign") << "-3.25" << -3.25;
    QTest::newRow("plus sign") << "+8;" << 8.0;
    QTest::newRow("sign alone") << "- x" << 0.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("exponent") << "2E-2x" << 0.02;
    QTest::newRow("exponent with blanks") << "1 e 3" << 1000.0;
    QTest::newRow("letter e without digits") << "5euro" << 5.0;
    QTest::newRow("exponent sign without digits") << "5e+;" << 5.0;
    QTest::newRow("overflow saturates") << "1e999" << max;
    QTest::newRow("negative overflow saturates") << "-9e400" << -max;
    QTest::newRow("underflow is zero") << "1e-999" << 0.0;
    QTest::newRow("many digits") << QString(400, u'0') + "12" << 12.0;
}

void TestNumeri::valoreNumericoLeggeIlNumeroIniziale()
{
    QFETCH(QString, testo);
    QFETCH(double, atteso);
    QCOMPARE(ValoreNumerico(testo), atteso);
}

void TestNumeri::interoArrotondatoVaAlPariEDentroSediciBit_data()
{
    QTest::addColumn<double>("valore");
    QTest::addColumn<int>("atteso");
    QTest::newRow("half down to even") << 20.5 << 20;
    QTest::newRow("half up to even") << 21.5 << 22;
    QTest::newRow("negative half") << -2.5 << -2;
    QTest::newRow("negative odd half") << -3.5 << -4;
    QTest::newRow("below half") << 2.4999 << 2;
    QTest::newRow("above half") << 2.5001 << 3;
    QTest::newRow("top half clamps") << 32767.5 << 32767;
    QTest::newRow("huge clamps") << 1e300 << 32767;
    QTest::newRow("bottom half") << -32768.5 << -32768;
    QTest::newRow("very negative clamps") << -1e9 << -32768;
    QTest::newRow("nan is zero") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TestNumeri::interoArrotondatoVaAlPariEDentroSediciBit()
{
    QFETCH(double, valore);
    QFETCH(int, atteso);
    QCOMPARE(int(InteroArrotondato(valore)), atteso);
}

QTEST_APPLESS_MAIN(TestNumeri)
#include "tst_numeri.moc"
