// The event grids and the queue's two questions, on a real database file:
// which rows a fill leaves, how they are coloured and named, what the
// per-second check counts, and what archiving writes. That the check reaches
// the queue through the index is the store's query-plan test.

#include "comune/Griglie.h"
#include "eventi_aiuto.h"

#include "events/ModelloEventi.h"
#include "events/RiempiCoda.h"
#include "store/RecordSet.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace sorvela;

using comune::testiColonna;

class TestRiempiCoda : public QObject {
    Q_OBJECT

    std::unique_ptr<prova::Console> m_c;

    qint64 evento(const QString& codice, const QVariant& tipo, const QString& descrizione = QStringLiteral("Evento"),
                  bool archiviato = false)
    {
        m_c->db->esegui(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], "
                                       "[Tipo evento], [Descrizione evento], [Archiviato]) VALUES (?, ?, ?, ?, ?)"),
                        {codice, m_c->orologio.adesso(), tipo, descrizione, archiviato});
        return m_c->db->valore(QStringLiteral("SELECT max(ID) FROM ArchivioEventi")).toLongLong();
    }

    qint64 riempi(QTableWidget& g)
    {
        store::RecordSet rs = m_c->db->apriRecordSet(QStringLiteral("Coda Query"));
        return RiempiCoda(rs, g, m_c->ctx);
    }

    int archiviati() { return m_c->conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi WHERE Archiviato")); }

private slots:
    void init() { m_c = std::make_unique<prova::Console>(); }
    void cleanup() { m_c.reset(); }

    void refillOverwritesAndCutsButEmptySetKeepsRows()
    {
        QTableWidget g(0, 4);
        for (int i = 1; i <= 5; ++i)
            evento(QStringLiteral("00000%1").arg(i), QStringLiteral("Test"));
        riempi(g);
        QCOMPARE(g.rowCount(), 5);
        QCOMPARE(m_c->ctx.NumEventiNuovi, 5);

        m_c->db->esegui(QStringLiteral("UPDATE ArchivioEventi SET Archiviato = TRUE"));
        for (int i = 6; i <= 8; ++i)
            evento(QStringLiteral("00000%1").arg(i), QStringLiteral("Test"));
        riempi(g);
        QCOMPARE(testiColonna(&g, 0), (QStringList{"000006", "000007", "000008"}));
        QCOMPARE(m_c->ctx.NumEventiNuovi, 3);

        m_c->db->esegui(QStringLiteral("UPDATE ArchivioEventi SET Archiviato = TRUE"));
        const qint64 ultimo = riempi(g);
        QCOMPARE(ultimo, 0);
        QCOMPARE(m_c->ctx.NumEventiNuovi, 0);
        QCOMPARE(g.rowCount(), 3);   // left as it was
    }

    // Red for "Allarme" as written; blue for "allarme", "Test" and no type.
    void onlyExactAllarmeIsRed()
    {
        for (const QVariant& tipo : {QVariant("Allarme"), QVariant("allarme"), QVariant("Test"), QVariant()})
            evento(QStringLiteral("000001"), tipo);
        QTableWidget g(0, 4);
        riempi(g);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                QCOMPARE(g.item(r, c)->foreground().color(), r == 0 ? QColor(255, 0, 0) : QColor(0, 0, 255));
                QCOMPARE(g.item(r, c)->background().style(), Qt::NoBrush);
            }
        }
    }

    void nameColumnFollowsSubscriberKind()
    {
        m_c->aggiungiUtente("000001", {}, QString(""), "Mario Rossi", true);
        m_c->aggiungiUtente("000002", {}, "Ferramenta Bianchi srl", "Luca", true);
        m_c->aggiungiUtente("000003", {}, "Ignorata spa", "Anna Verdi", false);
        m_c->aggiungiUtente("000004", {}, QVariant(), "Nome nascosto", true);
        for (const char* c : {"000001", "000002", "000003", "000004", "999999"})
            evento(QString::fromLatin1(c), QStringLiteral("Allarme"));
        QTableWidget g(0, 4);
        riempi(g);
        // A company with an empty company name shows an empty name; an event
        // whose subscriber is gone still shows, code and all.
        QCOMPARE(testiColonna(&g, 1), (QStringList{"", "Ferramenta Bianchi srl", "Anna Verdi", "", ""}));
        QCOMPARE(testiColonna(&g, 0).last(), QStringLiteral("999999"));
        QCOMPARE(g.item(0, 3)->text(), QStringLiteral("02/03/2026 10.00.00"));
        QCOMPARE(g.item(0, 0)->textAlignment(), int(Qt::AlignCenter));
    }

    void historyKeepsOneBlankRowWhenEmpty()
    {
        QTableView g;
        ModelloEventi modello;
        modello.imposta(QList<ModelloEventi::Riga>(4, {QStringLiteral("vecchio"), QString(), true}));
        g.setModel(&modello);
        QList<qint64> id{99};
        auto storico = [&] {
            store::RecordSet rs = m_c->db->apriRecordSet(
                "SELECT * FROM [DatiUtente Query] WHERE [Codice periferica] = '000001' ORDER BY ID");
            RiempiStorico(rs, g, g.fontMetrics(), &id);
            QVERIFY(!rs.aperto());
        };
        auto colonnaStorico = [&](int c) { return testiColonna(&g, c); };
        storico();
        QCOMPARE(colonnaStorico(0), QStringList{""});
        QCOMPARE(id, QList<qint64>{});

        const qint64 a = evento("000001", "Allarme", QStringLiteral("Batteria scarica;"));
        const qint64 b = evento("000001", "Test", QStringLiteral("Test periodico"));
        evento("000002", "Test", QStringLiteral("di un altro"));
        storico();
        QCOMPARE(colonnaStorico(1), (QStringList{"Batteria scarica;", "Test periodico"}));
        QCOMPARE(id, (QList<qint64>{a, b}));
        QCOMPARE(modello.index(0, 1).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QCOMPARE(modello.index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
        QVERIFY(g.columnWidth(1) > g.fontMetrics().horizontalAdvance("Esaurimento credito; Batteria scarica;"));

        if (m_c->db->suServer())
            QSKIP("sul server una data impossibile non si può scrivere");
        // The history shows the stored text of the time, in the Italian form
        // when it is a real date and time, as it is otherwise.
        m_c->db->esegui("UPDATE ArchivioEventi SET [Data e ora] = '2026-03-02T10:05:07' WHERE ID = ?", {a});
        m_c->db->esegui("UPDATE ArchivioEventi SET [Data e ora] = '2026-02-30 10:05:07' WHERE ID = ?", {b});
        store::RecordSet rs = m_c->db->apriRecordSet(
            "SELECT [ID], CAST([Data e ora] AS TEXT) AS [Data e ora], [Descrizione evento], [Tipo evento] "
            "FROM [DatiUtente Query] WHERE [Codice periferica] = '000001' ORDER BY ID");
        RiempiStorico(rs, g, g.fontMetrics());
        QCOMPARE(colonnaStorico(0), (QStringList{"02/03/2026 10.05.07", "2026-02-30 10:05:07"}));
    }

    void queueStateCountsOnlyUnarchived()
    {
        evento("000001", "Test", {}, true);
        const qint64 a = evento("000001", "Allarme");
        const qint64 b = evento("000002", "Test");
        evento("000003", "Test", {}, true);
        const StatoCoda s = LeggiStatoCoda(*m_c->db);
        QCOMPARE(s.conteggio, 2);
        QCOMPARE(s.ultimoId, std::max(a, b));

    }

    void archivingIsAllOrNothing()
    {
        QCOMPARE(ArchiviaCoda(m_c->ctx, 0), -1);   // empty queue: nothing to do
        for (int i = 0; i < 5; ++i)
            evento("000001", "Test", i == 2 ? QStringLiteral("guasto") : QString());
        // The third write fails, as a full disk would make it.
        comune::guasto(*m_c->db, "guasto", "ArchivioEventi", "UPDATE", "disco pieno", "OLD.[Descrizione evento] = 'guasto'");
        QVERIFY_THROWS_EXCEPTION(store::ErroreDatabase, ArchiviaCoda(m_c->ctx, 1000));
        QCOMPARE(archiviati(), 0);
        QCOMPARE(m_c->conta("SELECT count(*) FROM RegistroOperazioni"), 0); // a refused action leaves no record
        QVERIFY(!m_c->db->inTransazione());
    }

    // Two desks archive the same queue at the same moment, each on its own
    // connection: every event is archived once, by one of them and recorded
    // under that one's name, and neither is told of a failure.
    void twoDesksArchivingTogetherArchiveEachEventOnce()
    {
        for (int i = 0; i < 20; ++i)
            evento("000001", "Test");
        std::atomic<int> pronte{0};
        struct Esito {
            int archiviati = 0;
            QString errore;
        };
        auto scrivania = [&](const QString& operatore, Esito& e) {
            try {
                auto db = store::Database::apri(m_c->ctx.percorsoDatabase());
                OrologioVirtuale orologio;
                Contesto c;
                c.db = db.get();
                c.orologio = &orologio;
                c.operatore = operatore;
                ++pronte;
                while (pronte.load() < 2)
                    std::this_thread::yield();
                e.archiviati = ArchiviaCoda(c, 1000000);
            } catch (const store::ErroreDatabase& x) {
                e.errore = x.messaggio();
            }
        };
        Esito a, b;
        std::thread ta(scrivania, QStringLiteral("A"), std::ref(a)), tb(scrivania, QStringLiteral("B"), std::ref(b));
        ta.join();
        tb.join();
        QCOMPARE(a.errore, QString());
        QCOMPARE(b.errore, QString());
        // The one that came second found nothing left (-1: an empty queue).
        QCOMPARE(std::max(a.archiviati, 0) + std::max(b.archiviati, 0), 20);
        QCOMPARE(archiviati(), 20);
        QCOMPARE(m_c->conta("SELECT count(*) FROM ArchivioEventi WHERE [Archiviato da] = 'A'"), std::max(a.archiviati, 0));
        QCOMPARE(m_c->conta("SELECT count(*) FROM ArchivioEventi WHERE [Archiviato da] = 'B'"), std::max(b.archiviati, 0));
        QCOMPARE(m_c->conta("SELECT count(*) FROM RegistroOperazioni"), 1);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestRiempiCoda t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_riempicoda.moc"
