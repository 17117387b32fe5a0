#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

namespace {
struct Esito {
    int codice = -1;
    QByteArray uscita, errori;
};

Esito esegui(const QStringList& argomenti, const QByteArray& ingresso = {})
{
    QProcess p;
    p.start(SORVELA_SMS, argomenti);
    p.write(ingresso);
    p.closeWriteChannel();
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
} // namespace

class TestSorvelaSms : public QObject {
    Q_OBJECT
private slots:
    void codificaPoiDecodificaRestituisceIlMessaggio()
    {
        const QString testo = "-- ALLARME INGRESSO 3: porta/finestra 100%";
        for (const auto& [mittente, stat] : {std::pair{QString("+391234567890"), QString("1")}, {"3331234567", "0"}}) {
            const Esito codifica = esegui({"encode", "--from", mittente, "--stat", stat, "--", testo});
            QVERIFY(codifica.uscita.startsWith("\r\n+CMGR: " + stat.toLatin1() + ",,"));
            // Standard input for one, a file for the other.
            QTemporaryFile file;
            QVERIFY(file.open() && file.write(codifica.uscita) && file.flush());
            const Esito decodifica = stat == "0" ? esegui({"decode", file.fileName()}) : esegui({"decode"}, codifica.uscita);
            const QJsonObject letto = QJsonDocument::fromJson(decodifica.uscita).object();
            QCOMPARE(letto["stat"].toString(), stat);
            QCOMPARE(letto["sender"].toString(), mittente);
            QCOMPARE(letto["text"].toString().remove(QChar(0)), testo);
            QCOMPARE(letto["testo"].toString(), testo); // the same characters in both readings
        }
    }

    void classificaUnRapporto()
    {
        const Esito e = esegui({"classify", "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3"});
        QCOMPARE(e.codice, 0);
        QCOMPARE(e.uscita,
                 "{\"credit\": \" 12.40 euro\", \"creditAmount\": 12.4, \"network\": \"NET1\", \"sim\": \"S1\", \"software\": "
                 "\"V12\", \"battery\": 75, \"signal\": 4, \"type\": \"Test\", \"description\": \"Stato regolare\"}\n");
        QCOMPARE(esegui({"--help"}).codice, 0);
    }

    void argomentiErratiDannoUnaRigaEUscitaNonZero()
    {
        const QList<QStringList> casi = {{},
                                         {"send"},
                                         {"encode", "ciao"},
                                         {"encode", "--from", "33a", "ciao"},
                                         {"encode", "--from", "1", "--stat", "4", "ciao"},
                                         // stored-for-sending stats: a layout the encoder does not write
                                         {"encode", "--from", "1", "--stat", "2", "ciao"},
                                         {"encode", "--from", "1", "--stat", "3", "ciao"},
                                         {"encode", "--from", "1", QString(161, u'a')},
                                         {"encode", "--from", "1", QString::fromUtf8("città")},
                                         {"decode", "/nonexistent/reply.txt"}};
        for (const QStringList& argomenti : casi) {
            const Esito e = esegui(argomenti);
            QVERIFY2(e.codice > 0 && e.uscita.isEmpty() && e.errori.count('\n') == 1, qPrintable(argomenti.join(' ')));
        }
    }
};

QTEST_GUILESS_MAIN(TestSorvelaSms)
#include "tst_sorvela_sms.moc"
