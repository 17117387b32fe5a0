#include "modem/pdu/AlfabetoGsm.h"
#include "modem/pdu/CodificaPdu.h"
#include "modem/pdu/DecodificaPdu.h"

#include <QTest>
#include <random>

using namespace sorvela::pdu;

namespace {
const QString kSca = QStringLiteral("07919333000000F0");
const QString kHello = QStringLiteral("E8329BFD4697D9EC37");
const QString kDeliver = kSca + "040C919321436587090000301121410304800A" + kHello;
const QString kCoda = QStringLiteral("\r\n\r\nOK\r\n");
QString nul(int n) { return QString(n, QChar(0)); }
QString risposta(const QString& stat, const QString& pdu) { return "\r\n+CMGR: " + stat + ",,28\r\n" + pdu + kCoda; }
} // namespace

class TestPdu : public QObject {
    Q_OBJECT
private slots:
    void leggeMittenteDatiETesto_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("userData");
        QTest::addColumn<QString>("text");
        const QString hello = "hellohello" + nul(5);
        QTest::newRow("worked example") << risposta("0", kDeliver) << "+391234567890" << kHello + kCoda << hello;
        QTest::newRow("tail cut after OK") << "\r\n+CMGR: 1,,28\r\n" + kDeliver + "\r\n\r\nOK" << "+391234567890"
                                           << kHello + "\r\n\r\nOK" << "hellohello" + nul(3);
        QTest::newRow("unsolicited line first") << "\r\n+CMTI: \"SM\",4\r\n" + risposta("0", kDeliver) << "+391234567890"
                                                << kHello + kCoda << hello;
        QTest::newRow("header without commas") << "\r\n+CMGR: 0\r\n" + kDeliver + kCoda << "+391234567890" << kHello + kCoda << hello;
        QTest::newRow("odd-length address") << risposta("0", kSca + "040B919321436587F90000301121410304800A" + kHello)
                                            << "+39123456789" << kHello + kCoda << hello;
        QTest::newRow("national address") << risposta("0", kSca + "040A8133132154760000301121410304800A" + kHello)
                                          << "3331124567" << kHello + kCoda << hello;
        QTest::newRow("alphanumeric sender") << risposta("0", kSca + "0406D041E1100000301121410304800A" + kHello)
                                             << "141E01" << kHello + kCoda << hello;
        QTest::newRow("stored unsent, relative validity") << risposta("2", kSca + "11000C91932143658709" "0000AA0A" + kHello)
                                                          << "" << kHello + kCoda << hello;
        QTest::newRow("stored sent, no validity") << risposta("3", kSca + "01000C91932143658709" "00000A" + kHello)
                                                  << "" << kHello + kCoda << hello;
        QTest::newRow("no +CMGR") << "\r\nERROR\r\n" << "" << "" << "";
    }

    void leggeMittenteDatiETesto()
    {
        QFETCH(QString, reply);
        QFETCH(QString, sender);
        QFETCH(QString, userData);
        QFETCH(QString, text);
        QCOMPARE(EstraiMittente(reply), sender);
        QCOMPARE(EstraiDatiPdu(reply), userData);
        QCOMPARE(DecodificaSettetti(EstraiDatiPdu(reply)), text);
    }

    void decodificaSettettiSenzaTraduzione()
    {
        const QList<std::pair<QString, QString>> casi = {
            {"61F1985C3603", "abcdef" + nul(1)},    // six septets in six octets: one filler NUL
            {"61F1985C369F01", "abcdefg" + nul(1)}, // seven in seven: one filler NUL
            {"61F1985C369FD1", "abcdefgh"},         // eight fill seven octets exactly
            {kHello + "A", "hellohello"},           // an odd last digit is ignored
            {kHello.toLower(), "hellohello"},
            {"4", ""}};
        for (const auto& [hex, testo] : casi)
            QCOMPARE(DecodificaSettetti(hex), testo);
    }

    void alfabetoGsmEdEstensione()
    {
        auto settetti = [](std::initializer_list<char16_t> c) { return QString::fromUtf16(c.begin(), qsizetype(c.size())); };
        QString tutti;
        for (char16_t k = 0; k < 128; ++k)
            tutti += TraduciAlfabetoGsm(QString(QChar(k)));
        for (const char16_t e : {0x0A, 0x14, 0x28, 0x29, 0x2F, 0x3C, 0x3D, 0x3E, 0x40, 0x65})
            tutti += TraduciAlfabetoGsm(settetti({0x1B, e}));
        // Every character of both tables, and nothing else, goes and comes back.
        QCOMPARE(TraduciAlfabetoGsm(SettettiGsm(tutti)), tutti);
        QCOMPARE(tutti.mid(4, 4) + tutti.right(1), QString::fromUtf8("èéùì€"));
        QCOMPARE(SettettiGsm(QString::fromUtf8("à@漢")), settetti({0x7F, 0, u'?'}));
        // An escape before a code the extension lacks reads the default
        // table; one at the very end, nothing; two in a row, a blank.
        QCOMPARE(TraduciAlfabetoGsm(settetti({0x1B, u'A', 0x1B, 0x1B, 0x1B})), "A ");
    }

    void aiutantiDiTesto()
    {
        QCOMPARE(NumeroNazionale("+391234567890"), "1234567890");
        QCOMPARE(NumeroNazionale("3331234567"), "");
        QCOMPARE(TogliNul(nul(2) + "a" + nul(1) + "b" + nul(3)), "a" + nul(1) + "b");
        QCOMPARE(TogliNul(nul(4)), "");
    }

    void codificaRiproduceIlFormatoDelTelefono()
    {
        const QDateTime ora(QDate(2003, 11, 12), QTime(14, 30, 40), Qt::OffsetFromUTC, 2 * 3600);
        QVERIFY(CodificaDeliver("+391234567890", "hellohello", ora).endsWith(kDeliver.mid(kSca.size())));
        const QDateTime ovest(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::OffsetFromUTC, -3 * 3600);
        QVERIFY(CodificaDeliver("3331124567", "A", ovest).endsWith("0A8133132154760000621020304050290141"));
        QCOMPARE(RispostaCmgr(1, kDeliver), "\r\n+CMGR: 1,,28\r\n" + kDeliver + kCoda);
    }

    // Every text a unit can send, in every bit alignment, from senders of every
    // length in both forms, must come back whole.
    void andataERitornoPerOgniTestoEMittente()
    {
        const QString alfabeto = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 :;,./-%";
        std::mt19937 caso(20260302);
        auto scegli = [&](int n) { return int(caso() % unsigned(n)); };
        int prove = 0;
        for (int lunghezza = 1; lunghezza <= 160; ++lunghezza) {
            for (int volta = 0; volta < 2 * int(alfabeto.size()); ++volta, ++prove) {
                QString testo;
                for (int i = 0; i < lunghezza; ++i)
                    testo += alfabeto[i == lunghezza - 1 ? volta % alfabeto.size() : scegli(int(alfabeto.size()))];
                QString mittente = (prove / 20) % 2 ? "+" : ""; // every length in both forms
                for (int i = 0; i <= prove % 20; ++i)
                    mittente += QChar(u'0' + scegli(10));
                const QString reply = RispostaCmgr(prove % 2, CodificaDeliver(mittente, testo, QDateTime::currentDateTime()));
                const QString letto = DecodificaSettetti(EstraiDatiPdu(reply));
                QCOMPARE(EstraiMittente(reply), mittente);
                QCOMPARE(letto.left(lunghezza), testo);
                QCOMPARE(letto.mid(lunghezza), nul(int(letto.size()) - lunghezza));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestPdu)
#include "tst_pdu.moc"
