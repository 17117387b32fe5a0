// Compaction of a real database file: the backup generation, a copy left by
// an interrupted run, failures that must leave the database as it was, and
// the run on its own thread while the desk keeps writing.

#include "store/Compattazione.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
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
    // The first run finds the copy an interrupted run left and replaces it;
    // the second keeps, as the one backup, the state before it.
    void twoCompactionsKeepOneBackupOfTheStateBeforeTheSecond()
    {
        Cartella c;
        for (const char* avanzo : {"Sorvelanew.db", "Sorvelanew.db-wal", "Sorvelanew.db-journal"}) {
            QFile f(c.dir.filePath(avanzo));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("mezza copia");
        }
        const QString primo = c.eventi("Sorvela.db");
        auto esito = CompattaDatabase(c.dir.path());
        QVERIFY2(esito.riuscita(), qPrintable(esito.dettaglio));
        QCOMPARE(c.eventi("Sorvela.db"), primo);
        QCOMPARE(c.eventi("Sorvela.bak"), primo);
        QVERIFY(!c.esiste("Sorvelanew.db") && !c.esiste("Sorvelanew.db-wal"));

        c.scrivi({"2026-03-04 08:00:00"});
        const QString secondo = c.eventi("Sorvela.db");
        esito = CompattaDatabase(c.dir.path());
        QVERIFY2(esito.riuscita(), qPrintable(esito.dettaglio));
        QCOMPARE(c.eventi("Sorvela.bak"), secondo);
        QCOMPARE(c.eventi("Sorvela.db"), secondo);
        QCOMPARE(QDir(c.dir.path()).entryList({"Sorvela*"}, QDir::Files), (QStringList{"Sorvela.bak", "Sorvela.db"}));
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

        // A database another program keeps writing to, or only keeps open,
        // is not renamed under it.
        QVERIFY(QDir(c.dir.filePath("Sorvela.bak")).removeRecursively());
        auto altro = Database::apri(c.db);
        altro->inizia();
        altro->esegui("INSERT INTO ArchivioEventi ([Codice periferica]) VALUES ('000002')");
        esito = CompattaDatabase(c.dir.path());
        QVERIFY(!esito.riuscita());
        QVERIFY(!c.esiste("Sorvela.bak"));
        altro->annulla();
        esito = CompattaDatabase(c.dir.path());
        QCOMPARE(esito.stato, EsitoCompattazione::Stato::FallitaIntatto);
        QVERIFY(esito.dettaglio.contains("aperto da un altro programma"));
        QVERIFY(!c.esiste("Sorvela.bak"));
        altro.reset();
        QCOMPARE(c.eventi("Sorvela.db"), prima);

        // Not a database: refused before anything is touched.
        QFile::remove(c.db);
        QVERIFY(!CompattaDatabase(c.dir.path()).riuscita());
    }

    // The desk writes through its own connection all along: what it
    // committed is in the compacted file once, what was refused is retried,
    // and the desk's handle works again afterwards.
    void everyWriteOfTheDeskDuringTheRunIsKeptOnce()
    {
        Cartella c;
        c.scrivi(QStringList(20000, "2026-03-06 08:00:00")); // a copy long enough to write during it
        auto desk = Database::apri(c.db);
        Compattazione run(c.dir.path(), desk.get());
        QList<Compattazione::Passo> passi;
        connect(&run, &Compattazione::passo, this, [&](Compattazione::Passo p) { passi << p; });
        std::optional<EsitoCompattazione> esito;
        connect(&run, &Compattazione::finita, this, [&](const EsitoCompattazione& e) { esito = e; });

        QStringList scritti;
        int rifiutati = 0;
        QTimer registra;
        connect(&registra, &QTimer::timeout, this, [&] {
            const QString testo = QString("scritto %1").arg(scritti.size());
            try {
                Transazione t(*desk);
                desk->esegui("INSERT INTO ArchivioEventi ([Codice periferica], [Testo messaggio]) VALUES ('000009', ?)",
                             {testo});
                t.conferma();
                scritti << testo;
            } catch (const ErroreDatabase&) {
                ++rifiutati; // the same text again at the next round
            }
        });
        registra.start(2);
        run.avvia();
        QTRY_VERIFY_WITH_TIMEOUT(esito.has_value(), 60000);
        registra.stop();
        QVERIFY2(esito->riuscita(), qPrintable(esito->dettaglio));
        // The first copy missed writes; the second was made with them held off.
        QVERIFY(passi.contains(Compattazione::Passo::CopiaBloccata));
        QCOMPARE(passi.last(), Compattazione::Passo::Scambio);
        QVERIFY(desk->aperto());
        desk->esegui("INSERT INTO ArchivioEventi ([Codice periferica], [Testo messaggio]) VALUES ('000009', 'dopo')");
        scritti << "dopo";
        QCOMPARE(desk->valore("SELECT group_concat([Testo messaggio], '|') FROM (SELECT [Testo messaggio] FROM "
                              "ArchivioEventi WHERE [Codice periferica] = '000009' ORDER BY ID)").toString(),
                 scritti.join('|'));
        QVERIFY(scritti.size() > 2);
        qInfo("%lld writes kept, %d refused and retried", qlonglong(scritti.size()), rifiutati);
    }

    // Cancelled during the copy: nothing renamed, no copy left, the desk
    // as it was.
    void aCancelledRunLeavesEverythingAsItWas()
    {
        Cartella c;
        const QString prima = c.eventi("Sorvela.db");
        auto desk = Database::apri(c.db);
        Compattazione run(c.dir.path(), desk.get());
        std::optional<EsitoCompattazione> esito;
        connect(&run, &Compattazione::finita, this, [&](const EsitoCompattazione& e) { esito = e; });
        run.avvia();
        run.annulla();
        QTRY_VERIFY(esito.has_value());
        QCOMPARE(esito->stato, EsitoCompattazione::Stato::Annullata);
        QVERIFY(!c.esiste("Sorvela.bak"));
        QVERIFY(!c.esiste("Sorvelanew.db"));
        QCOMPARE(desk->valore("SELECT group_concat([ID] || '@' || [Data e ora], ',') FROM ArchivioEventi").toString(),
                 prima);
    }
};

QTEST_GUILESS_MAIN(TestCompattazione)
#include "tst_compattazione.moc"
