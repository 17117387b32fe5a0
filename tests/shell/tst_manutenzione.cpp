// Database upkeep: clean-up of old events and compaction with its backup,
// run while the desk registers messages.

#include "comune/Banco.h"
#include "events/Registrazione.h"
#include "modem/pdu/Messaggio.h"
#include "shell/Compatta.h"
#include "shell/MDIForm1.h"
#include "shell/Ripulisci.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

// "Compatta database" from the menu, to its end: the operator's box.
QString compatta(MDIForm1& w, MessaggiRegistrati& msg)
{
    const qsizetype prima = msg.testi().size();
    w.mnuCompatta();
    if (!QTest::qWaitFor([&] { return msg.testi().size() > prima; }, 60000))
        return QStringLiteral("(la compattazione non finisce)");
    return msg.testi().last();
}

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
    // Nothing to delete, a refusal, bad dates; then the window's own range,
    // up to two days ago, keeps yesterday and today.
    void cleanUpDeletesOnlyWhatItSaidItWould()
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

        // The window opens on "up to two days ago"; OK at once.
        b.ripulisci(QString(), QString(), Risposta::Si);
        QCOMPARE(b.msg.testi(), (QStringList{"Cancellazione degli eventi: fino al 08/03/2026\r\n"
                                             "Eventi che saranno cancellati: 3\r\nProcedere con l'eliminazione?",
                                             "Cancellazione eseguita."}));
        QCOMPARE(b.msg.voci().first().pulsanti, Pulsanti::SiNoPredefinitoNo);
        QCOMPARE(b.eventi(), 2);
        QCOMPARE(b.db->valore("SELECT MIN([Data e ora]) FROM ArchivioEventi").toString().left(10), "2026-03-09");
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
        b.ripulisci("01/01/2025", "31/12/2025", Risposta::Si);
        QCOMPARE(b.msg.testi().first(), "Cancellazione degli eventi: dal 01/01/2025 al 31/12/2025\r\n"
                                        "Eventi che saranno cancellati: 40000\r\nProcedere con l'eliminazione?");
        QCOMPARE(b.eventi(), 5);
        if (comune::motoreServer())
            QSKIP("il piano controllato qui è quello di SQLite");
        // The delete reaches the events through an index (the time's or the ID's).
        auto rs = b.ctx.db->apriRecordSet("EXPLAIN QUERY PLAN DELETE FROM ArchivioEventi "
                                          "WHERE [Data e ora] >= ? AND [Data e ora] < ? AND [ID] <= ?",
                                          {"", "9", 1});
        const QString piano = rs.campo("detail").toString();
        QVERIFY2(piano.contains("USING INDEX") || piano.contains("PRIMARY KEY"), qPrintable(piano));
    }

    void twoCompactionsKeepOneBackupOfTheLastState()
    {
        if (comune::motoreServer())
            QSKIP("sul server la compattazione è VACUUM (ANALYZE)");
        Banco b;
        const QDir cartella(b.dir.path());
        MDIForm1 w(b.ctx);
        w.adottaDatabase(std::move(b.db));
        QCOMPARE(compatta(w, b.msg), "Database compattato");
        b.ctx.db->esegui("DELETE FROM ArchivioEventi WHERE [Data e ora] < '2026-03-09'");
        QCOMPARE(compatta(w, b.msg), "Database compattato");
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
        QVERIFY(compatta(w, b.msg).startsWith("Compattazione fallita.\n"));
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

    // Messages keep arriving while the archive is compacted: each one is
    // registered once, the handset keeping what was refused and handing it
    // again (and now and then one it was told to forget, as after a deletion
    // it did not confirm). The window shows each step and drops "Annulla"
    // once the file is being replaced.
    void messagesRegisteredDuringACompactionAreEachOneEvent()
    {
        if (comune::motoreServer())
            QSKIP("sul server la compattazione è VACUUM (ANALYZE)");
        Banco b;
        b.ctx.db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000007', "
                         "'+393400000007')");
        {
            store::Transazione t(*b.ctx.db);
            for (int i = 0; i < 20000; ++i)
                b.evento("000001", "Test", QString("2026-03-0%1 08:00:00").arg(1 + i % 9));
            t.conferma();
        }
        store::Database* scrivania = b.ctx.db;
        MDIForm1 w(b.ctx);
        w.adottaDatabase(std::move(b.db));
        auto messaggio = [](int n) {
            pdu::MessaggioRicevuto m;
            m.valido = true;
            m.mittente = "+393400000007";
            m.centroOra = QString("6212%1").arg(n, 10, 10, QChar('0'));
            m.testo = QString("ALLARME ZONA %1").arg(n);
            m.datiUtente = QString::fromLatin1(m.testo.toLatin1().toHex().toUpper());
            m.indice = 1 + n % 10;
            return m;
        };
        int prossimo = 0, rifiutati = 0, ripetuti = 0;
        QTimer telefono;
        connect(&telefono, &QTimer::timeout, this, [&] {
            const bool ancora = prossimo > 0 && prossimo % 5 == 0 && ripetuti < prossimo / 5;
            const Registrazione r = RegistraMessaggio(b.ctx, messaggio(ancora ? prossimo - 1 : prossimo));
            if (ancora) {
                ripetuti += r.esito == EsitoRegistrazione::Ripetuto;
                QVERIFY(r.esito != EsitoRegistrazione::Registrato);
            } else if (r.definitiva()) {
                ++prossimo;
            } else {
                ++rifiutati;
            }
        });

        QStringList passi;
        bool annullaDuranteScambio = true;
        telefono.start(3);
        w.mnuCompatta();
        auto* finestra = w.findChild<Compatta*>("Compattazione");
        QVERIFY(finestra && finestra->isVisible());
        QCOMPARE(finestra->findChild<QLabel*>("Label1")->text(), "Compattazione in corso…");
        connect(finestra->compattazione(), &store::Compattazione::passo, this, [&](store::Compattazione::Passo p) {
            passi << finestra->Label2()->text();
            if (p == store::Compattazione::Passo::Scambio)
                annullaDuranteScambio = finestra->cmdAnnulla()->isVisible();
        });
        QVERIFY(QTest::qWaitFor([&] { return !b.msg.testi().isEmpty(); }, 60000));
        telefono.stop();
        QCOMPARE(b.msg.testi(), QStringList{"Database compattato"});
        QVERIFY(passi.contains(Compatta::testoPasso(store::Compattazione::Passo::Verifica)));
        QCOMPARE(passi.last(), Compatta::testoPasso(store::Compattazione::Passo::Scambio));
        QVERIFY(!annullaDuranteScambio);

        // The desk's handle is the same object, open on the compacted file.
        QCOMPARE(b.ctx.db, scrivania);
        QVERIFY(RegistraMessaggio(b.ctx, messaggio(prossimo++)).esito == EsitoRegistrazione::Registrato);
        QVERIFY(prossimo > 2);
        QCOMPARE(b.conta("SELECT COUNT(*) FROM ArchivioEventi WHERE [Codice periferica] = '000007'"), prossimo);
        QCOMPARE(b.conta("SELECT COUNT(DISTINCT [Impronta]) FROM ArchivioEventi WHERE [Codice periferica] = '000007'"),
                 prossimo);
        qInfo("%d messages, %d refused and handed again, %d handed again after their event", prossimo, rifiutati,
              ripetuti);
    }
};

QTEST_MAIN(TestManutenzione)
#include "tst_manutenzione.moc"
