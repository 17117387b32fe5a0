// sorvela-db as an installer runs it.

#include "store/Database.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace sorvela::store;

namespace {

struct Esito {
    int codice;
    QString uscita;
    QString errori;
};

Esito esegui(const QStringList& argomenti, const QString& xdgData = QString())
{
    QProcess p;
    if (!xdgData.isEmpty()) {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", xdgData);
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(SORVELA_DB), argomenti);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSorvelaDb : public QObject {
    Q_OBJECT

private slots:
    // Into a folder given by name (with a blank, not there yet) or into the
    // user's data folder; never over an existing file.
    void initCreaERifiutaDiSovrascrivere()
    {
        QTemporaryDir dir, xdg;
        const QString cartella = dir.filePath("dati nuovi");
        const QString file = cartella + "/Sorvela.db";

        QCOMPARE(esegui({"init", "--data-dir", cartella}).codice, 0);
        QCOMPARE(Database::apri(file)->valore("SELECT count(*) FROM DatiUtente").toInt(), 0);
        QCOMPARE(esegui({"init", "--demo"}, xdg.path()).codice, 0);
        QCOMPARE(Database::apri(xdg.filePath("Sorvela/Sorvela.db"))
                     ->valore("SELECT count(*) FROM DatiUtente").toInt(), 6);

        const QByteArray prima = contenuto(file);
        const Esito secondo = esegui({"init", "--demo", "--data-dir", cartella});
        QVERIFY(secondo.codice != 0);
        QVERIFY(secondo.errori.contains(file));
        QCOMPARE(secondo.errori.trimmed().count(QLatin1Char('\n')), 0);
        QCOMPARE(contenuto(file), prima);
    }

    void argomentiSbagliati_data()
    {
        QTest::addColumn<QStringList>("argomenti");
        QTest::newRow("nessun comando") << QStringList();
        QTest::newRow("comando sconosciuto") << QStringList{"drop"};
        QTest::newRow("opzione sconosciuta") << QStringList{"init", "--forza"};
        QTest::newRow("cartella senza valore") << QStringList{"init", "--data-dir"};
    }

    void argomentiSbagliati()
    {
        QFETCH(QStringList, argomenti);
        QTemporaryDir xdg;
        const Esito e = esegui(argomenti, xdg.path());
        QVERIFY(e.codice > 0);
        QCOMPARE(e.errori.trimmed().count(QLatin1Char('\n')), 0);
        QVERIFY(!QFile::exists(xdg.filePath("Sorvela/Sorvela.db")));
    }
};

QTEST_GUILESS_MAIN(TestSorvelaDb)
#include "tst_sorvela_db.moc"
