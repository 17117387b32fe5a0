// Database upkeep: clean-up of old events and compaction with its backup.

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "shell/MDIForm1.h"
#include "shell/Ripulisci.h"
#include "store/Database.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace sorvela;

class TestManutenzione : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    OrologioVirtuale m_orologio{QDateTime(QDate(2026, 3, 10), QTime(12, 0))};
    MessaggiRegistrati m_messaggi;
    std::unique_ptr<Preferenze> m_pref;
    std::unique_ptr<store::Database> m_db;
    Contesto m_ctx;

    void evento(const QString& quando)
    {
        m_db->esegui(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], "
                                    "[Testo messaggio], [Tipo evento]) VALUES (?, ?, ?, ?)"),
                     {QStringLiteral("000001"), quando, QStringLiteral("Dell'Acqua; --"), QStringLiteral("Test")});
    }

    qint64 eventi() { return m_db->valore(QStringLiteral("SELECT COUNT(*) FROM ArchivioEventi")).toLongLong(); }

    void ripulisci(const QString& dal, const QString& al, Risposta risposta)
    {
        m_messaggi.svuota();
        m_messaggi.dimenticaRisposte();
        m_messaggi.rispondi(risposta);
        auto* r = new Ripulisci(m_ctx);
        if (!dal.isNull())
            r->txtFromDate()->setText(dal);
        if (!al.isNull())
            r->txtToDate()->setText(al);
        QPointer<Ripulisci> vivo(r);
        r->cmdOK();
        QTRY_VERIFY(vivo.isNull()); // the window closes itself whatever the outcome
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath("Sorvela.db"));
        store::Database::crea(m_dir.filePath("Sorvela.db"), false);
        m_db = store::Database::apri(m_dir.filePath("Sorvela.db"));
        m_pref = std::make_unique<Preferenze>(m_dir.filePath("Sorvela.ini"));
        m_ctx.db = m_db.get();
        m_ctx.orologio = &m_orologio;
        m_ctx.messaggi = &m_messaggi;
        m_ctx.preferenze = m_pref.get();
        m_ctx.cartellaDati = m_dir.path();
        for (const char* t : {"2026-03-01 08:00:00", "2026-03-08 00:00:00", "2026-03-08 23:59:59",
                              "2026-03-09 00:00:00", "2026-03-10 11:00:00"})
            evento(QString::fromLatin1(t));
    }

    void cleanUpKeepsYesterdayAndToday()
    {
        // The window opens on "up to two days ago"; OK at once.
        ripulisci(QString(), QString(), Risposta::Si);
        QCOMPARE(m_messaggi.testi(), (QStringList{"Eventi che saranno cancellati: 3\r\nProcedere con l'eliminazione?",
                                                  "Cancellazione eseguita."}));
        QCOMPARE(eventi(), 2);
        QCOMPARE(m_db->valore("SELECT MIN([Data e ora]) FROM ArchivioEventi").toString().left(10),
                 QStringLiteral("2026-03-09"));
    }

    void cleanUpThatDeletesNothing()
    {
        ripulisci(QStringLiteral("02/03/2026"), QStringLiteral("07/03/2026"), Risposta::Si);
        QCOMPARE(m_messaggi.testi(), QStringList{"Nessun evento da cancellare."});
        ripulisci(QStringLiteral("09/03/2026"), QStringLiteral("01/03/2026"), Risposta::Si); // reversed range
        QCOMPARE(m_messaggi.testi(), QStringList{"Nessun evento da cancellare."});
        ripulisci(QStringLiteral("01/03/2026"), QStringLiteral("10/03/2026"), Risposta::No);
        QCOMPARE(m_messaggi.testi().last(), QStringLiteral("Cancellazione annullata."));
        QCOMPARE(eventi(), 5);
        // Two dates that are not dates leave the range open at both ends.
        ripulisci(QStringLiteral("ieri"), QStringLiteral("31/02/2026"), Risposta::Si);
        QCOMPARE(eventi(), 0);
    }

    void twoCompactionsKeepOneBackupOfTheLastState()
    {
        MDIForm1 w(m_ctx);
        w.adottaDatabase(std::move(m_db));
        w.mnuCompatta();
        QCOMPARE(m_messaggi.testi().last(), QStringLiteral("Database compattato"));
        m_ctx.db->esegui("DELETE FROM ArchivioEventi WHERE [Data e ora] < '2026-03-09'");
        w.mnuCompatta();
        QCOMPARE(m_messaggi.testi().last(), QStringLiteral("Database compattato"));
        QVERIFY(!QFile::exists(m_dir.filePath("Sorvelanew.db")));
        auto bak = store::Database::apri(m_dir.filePath("Sorvela.bak"));
        QCOMPARE(bak->valore("SELECT COUNT(*) FROM ArchivioEventi").toInt(), 2);
        QCOMPARE(m_ctx.db->valore("SELECT COUNT(*) FROM ArchivioEventi").toInt(), 2);
        bak->chiudi();

        // A compaction that cannot write its copy keeps the database and the
        // backup as they were, and the console carries on with the database.
        QFile::remove(m_dir.filePath("Sorvela.bak"));
        QFile::copy(m_dir.filePath("Sorvela.db"), m_dir.filePath("Sorvela.bak"));
        QVERIFY(QDir(m_dir.path()).mkdir("Sorvelanew.db")); // in the way, cannot be removed as a file
        w.mnuCompatta();
        QCOMPARE(m_messaggi.testi().last(), QStringLiteral("Compattazione fallita."));
        QVERIFY(QFile::exists(m_dir.filePath("Sorvela.bak")));
        QCOMPARE(m_ctx.db->valore("SELECT COUNT(*) FROM ArchivioEventi").toInt(), 2);
        QDir(m_dir.path()).rmdir("Sorvelanew.db");
        m_db = store::Database::apri(m_dir.filePath("Sorvela.db")); // for cleanup()
    }

    void cleanup()
    {
        if (m_db)
            m_db->chiudi();
        m_db.reset();
    }
};

QTEST_MAIN(TestManutenzione)
#include "tst_manutenzione.moc"
