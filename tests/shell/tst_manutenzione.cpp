// Database upkeep: clean-up of old events and compaction with its backup.

#include "comune/Banco.h"
#include "shell/MDIForm1.h"
#include "shell/Pulizia.h"
#include "shell/Ripulisci.h"

#include <QLineEdit>

using namespace sorvela;

namespace {

// Five events around two days before "now" (10 March 2026, noon).
struct Banco : comune::Banco {
    Banco()
    {
        orologio.imposta(QDateTime(QDate(2026, 3, 10), QTime(12, 0)));
        for (const char* t : {"2026-03-01 08:00:00", "2026-03-08 00:00:00", "2026-03-08 23:59:59",
                              "2026-03-09 00:00:00", "2026-03-10 11:00:00"})
            evento("000001", "Test", QString::fromLatin1(t));
    }

    int eventi() { return conta("SELECT COUNT(*) FROM ArchivioEventi"); }

    void ripulisci(const QString& dal, const QString& al, Risposta risposta)
    {
        msg.svuota();
        msg.dimenticaRisposte();
        msg.rispondi(risposta);
        QPointer<Ripulisci> r = new Ripulisci(ctx);
        if (!dal.isNull())
            r->txtFromDate()->setText(dal);
        if (!al.isNull())
            r->txtToDate()->setText(al);
        r->cmdOK();
        QTRY_VERIFY(r.isNull()); // the window closes itself whatever the outcome
    }
};

// The operator reads the question for a while; meanwhile something happens.
struct OperatoreLento : MessaggiRegistrati {
    std::function<void()> intanto;
    Risposta chiedi(Icona icona, const QString& testo, Pulsanti pulsanti, const QString& titolo = {}) override
    {
        if (intanto)
            intanto();
        return MessaggiRegistrati::chiedi(icona, testo, pulsanti, titolo);
    }
};

} // namespace

class TestManutenzione : public QObject {
    Q_OBJECT

private slots:
    void cleanUpKeepsYesterdayAndToday()
    {
        Banco b;
        // The window opens on "up to two days ago"; OK at once.
        b.ripulisci(QString(), QString(), Risposta::Si);
        QCOMPARE(b.msg.testi(), (QStringList{"Cancellazione degli eventi: fino al 08/03/2026\r\n"
                                             "Eventi che saranno cancellati: 3\r\nProcedere con l'eliminazione?",
                                             "Cancellazione eseguita."}));
        QCOMPARE(b.msg.voci().first().pulsanti, Pulsanti::SiNoPredefinitoNo);
        QCOMPARE(b.eventi(), 2);
        QCOMPARE(b.db->valore("SELECT MIN([Data e ora]) FROM ArchivioEventi").toString().left(10), "2026-03-09");
    }

    void cleanUpThatDeletesNothing()
    {
        Banco b;
        b.ripulisci("02/03/2026", "07/03/2026", Risposta::Si);
        QCOMPARE(b.msg.testi(), QStringList{"Nessun evento da cancellare."});
        b.ripulisci("09/03/2026", "01/03/2026", Risposta::Si); // reversed range
        QCOMPARE(b.msg.testi(), QStringList{"Nessun evento da cancellare."});
        b.ripulisci("01/03/2026", "10/03/2026", Risposta::No);
        QVERIFY(b.msg.testi().first().startsWith("Cancellazione degli eventi: dal 01/03/2026 al 10/03/2026\r\n"));
        QCOMPARE(b.msg.testi().last(), "Cancellazione annullata.");
        b.ripulisci("", "", Risposta::No);
        QVERIFY(b.msg.testi().first().startsWith("Cancellazione degli eventi: tutto l'archivio\r\n"
                                                 "Eventi che saranno cancellati: 5\r\n"));
        QCOMPARE(b.eventi(), 5);
        // Only an empty box is an open end: two texts that are not dates are
        // refused, naming the first box, and nothing is offered.
        b.msg.svuota();
        QPointer<Ripulisci> r = new Ripulisci(b.ctx);
        r->txtFromDate()->setText("31/02/2026");
        r->txtToDate()->setText("7/12");
        r->cmdOK();
        QCOMPARE(b.msg.voci().size(), 1);
        QVERIFY(b.msg.testi().first().startsWith("La data \"dal\" non è valida: 31/02/2026"));
        delete r;
    }

    // Kept above all others, the window's boxes must show above it with the
    // keyboard, and Enter on the question must not delete.
    void theBoxesShowOverTheWindowAndEnterKeepsTheEvents()
    {
        Banco b;
        MessaggiQt veri;
        b.ctx.messaggi = &veri;
        comune::OperatoreAlleBox operatore;
        QPointer<Ripulisci> r = new Ripulisci(b.ctx);
        r->show();
        QVERIFY(QTest::qWaitForWindowActive(r));
        comune::premi(r, "cmdOK");
        QTRY_VERIFY(r.isNull());
        QCOMPARE(b.eventi(), 5);
        QCOMPARE(operatore.viste.join('\n'), "Cancellazione degli eventi: fino al 08/03/2026\r\nEventi che saranno "
                                              "cancellati: 3\r\nProcedere con l'eliminazione?|1|1|&No\n"
                                              "Cancellazione annullata.|1|1|");
    }

    void anEventRegisteredDuringTheQuestionSurvives()
    {
        Banco b;
        OperatoreLento operatore;
        b.ctx.messaggi = &operatore;
        qint64 arrivato = 0;
        // An alarm dated inside the range (a unit's clock, a late message)
        // lands while the box is open.
        operatore.intanto = [&] { arrivato = b.evento("000002", "Allarme", QString("2026-03-01 09:00:00")); };
        operatore.rispondi(Risposta::Si);
        QPointer<Ripulisci> r = new Ripulisci(b.ctx);
        r->cmdOK();
        QVERIFY(operatore.testi().first().endsWith("\r\nEventi che saranno cancellati: 3\r\nProcedere con l'eliminazione?"));
        QCOMPARE(operatore.testi().last(), "Cancellazione eseguita.");
        QCOMPARE(b.conta("SELECT COUNT(*) FROM ArchivioEventi WHERE ID = ?", {arrivato}), 1);
        QCOMPARE(b.eventi(), 3);
    }

    void fortyThousandEventsAreCountedAndDeletedAtOnce()
    {
        Banco b;
        {
            store::Transazione t(*b.ctx.db);
            for (int i = 0; i < 40000; ++i)
                b.evento(QString::number(i % 50).rightJustified(6, '0'), "Test",
                         QDateTime(QDate(2025, 1, 1), QTime(0, 0)).addSecs(i * 60));
            t.conferma();
        }
        const pulizia::Intervallo tutto2025{QDate(2025, 1, 1), QDate(2025, 12, 31)};
        const pulizia::Conteggio c = pulizia::contaEventi(*b.ctx.db, tutto2025);
        QCOMPARE(c.eventi, 40000);
        b.ripulisci("01/01/2025", "31/12/2025", Risposta::Si);
        QCOMPARE(b.msg.testi().first(), "Cancellazione degli eventi: dal 01/01/2025 al 31/12/2025\r\n"
                                        "Eventi che saranno cancellati: 40000\r\nProcedere con l'eliminazione?");
        QCOMPARE(b.eventi(), 5);
        // The delete reaches the events through an index (the time's or the ID's).
        auto rs = b.ctx.db->apriRecordSet("EXPLAIN QUERY PLAN DELETE FROM ArchivioEventi "
                                          "WHERE [Data e ora] >= ? AND [Data e ora] < ? AND [ID] <= ?",
                                          {"", "9", 1});
        const QString piano = rs.campo("detail").toString();
        QVERIFY2(piano.contains("USING INDEX") || piano.contains("PRIMARY KEY"), qPrintable(piano));
    }

    void twoCompactionsKeepOneBackupOfTheLastState()
    {
        Banco b;
        const QDir cartella(b.dir.path());
        MDIForm1 w(b.ctx);
        w.adottaDatabase(std::move(b.db));
        w.mnuCompatta();
        QCOMPARE(b.msg.testi().last(), "Database compattato");
        b.ctx.db->esegui("DELETE FROM ArchivioEventi WHERE [Data e ora] < '2026-03-09'");
        w.mnuCompatta();
        QCOMPARE(b.msg.testi().last(), "Database compattato");
        QVERIFY(!cartella.exists("Sorvelanew.db"));
        QCOMPARE(store::Database::apri(cartella.filePath("Sorvela.bak"))
                     ->valore("SELECT COUNT(*) FROM ArchivioEventi").toInt(), 2);
        QCOMPARE(b.eventi(), 2);

        // A compaction that cannot write its copy keeps the database and the
        // backup as they were, and the console carries on with the database.
        // The backup holds the two events of the last compaction; one more
        // is deleted since, so the two files can be told apart.
        b.ctx.db->esegui("DELETE FROM ArchivioEventi WHERE [Data e ora] < '2026-03-10'");
        QVERIFY(cartella.mkdir("Sorvelanew.db")); // in the way, cannot be removed as a file
        w.mnuCompatta();
        QVERIFY(b.msg.testi().last().startsWith("Compattazione fallita.\n"));
        QCOMPARE(b.msg.voci().last().icona, Icona::Avviso);
        QCOMPARE(store::Database::apri(cartella.filePath("Sorvela.bak"))
                     ->valore("SELECT group_concat([Data e ora]) FROM ArchivioEventi").toString(),
                 "2026-03-09 00:00:00,2026-03-10 11:00:00");
        QCOMPARE(b.eventi(), 1);
        // The console goes on with the reopened database.
        QVERIFY(b.ctx.db && b.ctx.db->aperto());
        b.evento("000003");
        QCOMPARE(b.eventi(), 2);
    }
};

QTEST_MAIN(TestManutenzione)
#include "tst_manutenzione.moc"
