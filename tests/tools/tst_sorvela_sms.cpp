#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

class TestSorvelaSms : public QObject {
    Q_OBJECT
private slots:
    void codificaPoiDecodificaRestituisceIlMessaggio();
    void decodificaUnFile();
    void classificaUnRapporto();
    void argomentiErratiDannoUnaRigaEUscitaNonZero_data();
    void argomentiErratiDannoUnaRigaEUscitaNonZero();
};

namespace {
struct Esito {
    int codice;
    QByteArray uscita;
    QByteArray errori;
};

Esito esegui(const QStringList& argomenti, const QByteArray& ingresso = {})
{
    QProcess p;
    p.start(SORVELA_SMS, argomenti);
    p.write(ingresso);
    p.closeWriteChannel();
    if (!p.waitForFinished(10000))
        return {-1, {}, "timeout"};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, p.readAllStandardOutput(), p.readAllStandardError()};
}

QJsonObject json(const Esito& e) { return QJsonDocument::fromJson(e.uscita).object(); }
} // namespace

void TestSorvelaSms::codificaPoiDecodificaRestituisceIlMessaggio()
{
    const QString testo = "-- ALLARME INGRESSO 3: porta/finestra 100%";
    for (const auto& [mittente, stat] : {std::pair{QString("+391234567890"), QString("1")}, {"3331234567", "0"}, {"+39", "2"}}) {
        const Esito codifica = esegui({"encode", "--from", mittente, "--stat", stat, "--", testo});
        QCOMPARE(codifica.codice, 0);
        QVERIFY(codifica.uscita.startsWith("\r\n+CMGR: " + stat.toLatin1() + ",,"));
        const QJsonObject letto = json(esegui({"decode"}, codifica.uscita));
        QCOMPARE(letto["stat"].toString(), stat);
        // Stat 2 marks a message stored for sending: no sender is read, and the
        // received layout it really has is not read as one.
        QCOMPARE(letto["sender"].toString(), stat == "2" ? "" : mittente);
        if (stat != "2")
            QCOMPARE(letto["text"].toString().remove(QChar(0)), testo);
    }
}

void TestSorvelaSms::decodificaUnFile()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("\r\n+CMGR: 0,,28\r\n07919333000000F0040C919321436587090000301121410304800AE8329BFD4697D9EC37\r\n\r\nOK\r\n");
    file.close();
    const Esito e = esegui({"decode", file.fileName()});
    QCOMPARE(e.codice, 0);
    QCOMPARE(json(e)["sender"].toString(), "+391234567890");
    QCOMPARE(json(e)["text"].toString(), "hellohello" + QString(5, QChar(0)));
}

void TestSorvelaSms::classificaUnRapporto()
{
    const Esito e = esegui({"classify", "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3"});
    QCOMPARE(e.codice, 0);
    QCOMPARE(e.uscita,
             "{\"credit\": \" 12.40 euro\", \"creditAmount\": 12.4, \"network\": \"NET1\", \"sim\": \"S1\", \"software\": "
             "\"V12\", \"battery\": 75, \"signal\": 4, \"type\": \"Test\", \"description\": \"Stato regolare\"}\n");
    QCOMPARE(esegui({"--help"}).codice, 0);
}

void TestSorvelaSms::argomentiErratiDannoUnaRigaEUscitaNonZero_data()
{
    QTest::addColumn<QStringList>("argomenti");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"send"};
    QTest::newRow("encode without sender") << QStringList{"encode", "ciao"};
    QTest::newRow("letters in the sender") << QStringList{"encode", "--from", "33a", "ciao"};
    QTest::newRow("21-digit sender") << QStringList{"encode", "--from", QString(21, u'1'), "ciao"};
    QTest::newRow("stat out of range") << QStringList{"encode", "--from", "1", "--stat", "4", "ciao"};
    QTest::newRow("empty text") << QStringList{"encode", "--from", "1", ""};
    QTest::newRow("text over 160") << QStringList{"encode", "--from", "1", QString(161, u'a')};
    QTest::newRow("non-ASCII text") << QStringList{"encode", "--from", "1", QString::fromUtf8("città")};
    QTest::newRow("classify without text") << QStringList{"classify"};
    QTest::newRow("missing file") << QStringList{"decode", "/nonexistent/reply.txt"};
}

void TestSorvelaSms::argomentiErratiDannoUnaRigaEUscitaNonZero()
{
    QFETCH(QStringList, argomenti);
    const Esito e = esegui(argomenti);
    QVERIFY(e.codice > 0);
    QVERIFY(e.uscita.isEmpty());
    QCOMPARE(e.errori.count('\n'), 1);
}

QTEST_GUILESS_MAIN(TestSorvelaSms)
#include "tst_sorvela_sms.moc"
