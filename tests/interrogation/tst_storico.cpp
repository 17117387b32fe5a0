// The printed history's layout of one entry; the printout itself is read
// back from a real PDF by the subscriber window's tests.

#include "interrogation/StampaStorico.h"

#include <QtTest>

using namespace sorvela;

class TestStorico : public QObject {
    Q_OBJECT
private slots:
    void impaginazioneSpezzaSoloDopoSpazioOTab()
    {
        using stampa::Frammento;
        const auto mille = [](const QString& t) { return 1000.0 * t.size(); }; // 11 characters a line
        const auto righe = stampa::ImpaginaVoce({"ab", "cde fgh ijklmnopqrstu v"}, mille);
        const QList<stampa::RigaStampata> attese{
            {Frammento{0, "*"}, Frammento{1440, "ab"}, Frammento{3600, "cde "}},
            {Frammento{0, "fgh "}},
            {Frammento{0, "ijklmnopqrstu "}}, // longer than a line: a line of its own, no empty line before
            {Frammento{0, "v"}},
        };
        QCOMPARE(righe, attese);

        // The blank is measured with its word: "abcdefghi " ends exactly at
        // 11000 twips and stays; one more letter sends it to the next line.
        const auto misura = [](const QString& t) { return 956.0 * t.size(); };
        QCOMPARE(stampa::ImpaginaVoce({"abcdefghi x"}, misura).first().size(), 2);
        QCOMPARE(stampa::ImpaginaVoce({"abcdefghij x"}, misura).first().size(), 1);
    }
};

QTEST_MAIN(TestStorico)
#include "tst_storico.moc"
