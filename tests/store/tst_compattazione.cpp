// Compaction of a real database file: the backup generation, a copy left by
// an interrupted run, and failures that must leave the database as it was.

#include "store/Compattazione.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace sorvela::store;

namespace {

struct Cartella {
    QTemporaryDir dir;
    QString db = dir.filePath("Sorvela.db");

    Cartella()
    {
        Database::crea(db, false);
        scrivi({"2026-03-01 08:00:00", "2026-03-02 08:00:00", "2026-03-03 08:00:00"});
    }
    void scrivi(const QStringList& quando)
    {
        auto d = Database::apri(db);
        Transazione t(*d);
        for (const QString& q : quando)
            d->esegui("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio]) "
                      "VALUES ('000001', ?, 'Dell''Acqua')",
                      {q});
        t.conferma();
    }
    // The events of a file, as one text to compare.
    QString eventi(const QString& nome) const
    {
        return Database::apri(dir.filePath(nome))
            ->valore("SELECT group_concat([ID] || '@' || [Data e ora], ',') FROM ArchivioEventi")
            .toString();
    }
    bool esiste(const QString& nome) const { return QFileInfo::exists(dir.filePath(nome)); }
};

} // namespace

class TestCompattazione : public QObject {
    Q_OBJECT

private slots:
    void twoCompactionsKeepOneBackupOfTheStateBeforeTheSecond()
    {
        Cartella c;
        QVERIFY(CompattaDatabase(c.dir.path()).riuscita());
        const QString primo = c.eventi("Sorvela.db");
        QCOMPARE(c.eventi("Sorvela.bak"), primo);

        c.scrivi({"2026-03-04 08:00:00"});
        const QString secondo = c.eventi("Sorvela.db");
        const auto esito = CompattaDatabase(c.dir.path());
        QVERIFY2(esito.riuscita(), qPrintable(esito.dettaglio));
        QCOMPARE(c.eventi("Sorvela.bak"), secondo);
        QCOMPARE(c.eventi("Sorvela.db"), secondo);
        QCOMPARE(QDir(c.dir.path()).entryList({"Sorvela*"}, QDir::Files), (QStringList{"Sorvela.bak", "Sorvela.db"}));
    }

    void aCopyLeftByAnInterruptedRunIsReplaced()
    {
        Cartella c;
        for (const char* avanzo : {"Sorvelanew.db", "Sorvelanew.db-wal", "Sorvelanew.db-journal"}) {
            QFile f(c.dir.filePath(avanzo));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("mezza copia");
        }
        const QString prima = c.eventi("Sorvela.db");
        const auto esito = CompattaDatabase(c.dir.path());
        QVERIFY2(esito.riuscita(), qPrintable(esito.dettaglio));
        QCOMPARE(c.eventi("Sorvela.db"), prima);
        QVERIFY(!c.esiste("Sorvelanew.db"));
        QVERIFY(!c.esiste("Sorvelanew.db-wal"));
    }

    void aFailureLeavesTheDatabaseAndTheBackupAsTheyWere()
    {
        Cartella c;
        QVERIFY(CompattaDatabase(c.dir.path()).riuscita());
        const QString backup = c.eventi("Sorvela.bak");
        c.scrivi({"2026-03-05 08:00:00"});
        const QString prima = c.eventi("Sorvela.db");

        // The copy cannot be written: a folder that will not go stands where
        // it belongs (as a full disk or a folder without write permission
        // would stop it).
        QVERIFY(QDir(c.dir.path()).mkpath("Sorvelanew.db/occupato"));
        auto esito = CompattaDatabase(c.dir.path());
        QCOMPARE(esito.stato, EsitoCompattazione::Stato::FallitaIntatto);
        QVERIFY(esito.dettaglio.contains("Sorvelanew.db"));
        QCOMPARE(c.eventi("Sorvela.db"), prima);
        QCOMPARE(c.eventi("Sorvela.bak"), backup);
        QVERIFY(QDir(c.dir.filePath("Sorvelanew.db")).removeRecursively());

        // The old backup cannot be removed: nothing is renamed.
        QVERIFY(QFile::rename(c.dir.filePath("Sorvela.bak"), c.dir.filePath("vecchio.bak")));
        QVERIFY(QDir(c.dir.path()).mkpath("Sorvela.bak/occupato"));
        esito = CompattaDatabase(c.dir.path());
        QCOMPARE(esito.stato, EsitoCompattazione::Stato::FallitaIntatto);
        QCOMPARE(c.eventi("Sorvela.db"), prima);
        QVERIFY(!c.esiste("Sorvelanew.db"));

        // A database another program keeps writing to is not renamed under it.
        QVERIFY(QDir(c.dir.filePath("Sorvela.bak")).removeRecursively());
        auto altro = Database::apri(c.db);
        altro->inizia();
        altro->esegui("INSERT INTO ArchivioEventi ([Codice periferica]) VALUES ('000002')");
        esito = CompattaDatabase(c.dir.path());
        QVERIFY(!esito.riuscita());
        QVERIFY(!c.esiste("Sorvela.bak"));
        altro->annulla();
        altro.reset();
        QCOMPARE(c.eventi("Sorvela.db"), prima);

        // Not a database: refused before anything is touched.
        QFile::remove(c.db);
        QVERIFY(!CompattaDatabase(c.dir.path()).riuscita());
    }
};

QTEST_GUILESS_MAIN(TestCompattazione)
#include "tst_compattazione.moc"
