// Table names that come from the database reach SQL only when they name a
// real table, quoted so that any character in them stays part of the name.

#include "comune/FileDatabase.h"
#include "store/Identificatori.h"

#include <QtTest>

using namespace sorvela::store;

class TestIdentificatori : public QObject {
    Q_OBJECT

private slots:
    void soloTabelleEsistentiQuotateComeIdentificatori()
    {
        sorvela::comune::FileDatabase f;
        auto& db = f.db;
        db->esegui("CREATE TABLE [Ingressi \"Dell'Acqua\"; --] (Contatore INTEGER)");
        db->esegui("INSERT INTO [Ingressi \"Dell'Acqua\"; --] VALUES (7)");

        const auto q = tabellaVerificata(*db, "ingressi \"dell'acqua\"; --");
        QVERIFY(q);
        QCOMPARE(*q, QString("\"Ingressi \"\"Dell'Acqua\"\"; --\""));
        QCOMPARE(db->valore("SELECT Contatore FROM " + *q).toInt(), 7); // sql: identificatore verificato
        QCOMPARE(tabellaVerificata(*db, "DatiUtente").value_or(QString()), QString("\"DatiUtente\""));

        // A view, SQLite's own bookkeeping, the "*" of a new type, nothing,
        // and a name that is an attempt at more SQL are all refused.
        for (const char* n : {"F_PeriferichePredefinite", "sqlite_sequence", "sqlite_master", "*", "",
                              "DatiUtente; DROP TABLE DatiUtente", "[DatiUtente]", "Nessuna"})
            QVERIFY2(!tabellaVerificata(*db, QString::fromUtf8(n)), n);
        QCOMPARE(db->valore("SELECT count(*) FROM sqlite_master WHERE name = 'DatiUtente'").toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TestIdentificatori)
#include "tst_identificatori.moc"
