// The archive search and the picker's orders, on a real database file,
// without windows.

#include "comune/Banco.h"
#include "core/DateItaliane.h"
#include "windows/Archivio.h"
#include "windows/RicercaCodice.h"

using namespace sorvela;

namespace {

struct Banco : comune::Banco {
    qint64 evento(const QString& codice, const QString& tipo, const QString& quando,
                  const QString& descrizione = QStringLiteral("x"))
    {
        ctx.db->esegui("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Tipo evento], "
                       "[Descrizione evento], [Testo messaggio]) VALUES (?, ?, ?, ?, ?)",
                       {codice, quando, tipo.isNull() ? QVariant() : tipo, descrizione, "testo " + quando});
        return ctx.db->valore("SELECT max(ID) FROM ArchivioEventi").toLongLong();
    }

    QList<qint64> cerca(const archivio::Criteri& c, int pagina = 500)
    {
        QList<qint64> ids;
        std::optional<archivio::Segno> dopo;
        for (;;) {
            archivio::Segno fine;
            const QList<archivio::Riga> righe = archivio::Pagina(*ctx.db, c, dopo, pagina, &fine);
            for (const auto& r : righe)
                ids << r.id;
            if (righe.size() < pagina)
                break;
            dopo = fine;
        }
        [&] { QCOMPARE(archivio::Conta(*ctx.db, c), qint64(ids.size())); }();
        return ids;
    }

    QString piano(const QString& sql, const QVariantList& p)
    {
        QStringList righe;
        for (auto rs = ctx.db->apriRecordSet("EXPLAIN QUERY PLAN " + sql, p); !rs.eof(); rs.moveNext())
            righe << rs.campo("detail").toString();
        return righe.join(" | ");
    }
};

archivio::Criteri criteri(const QString& codice, QDate dal, QDate al, bool test, bool allarme)
{
    archivio::Criteri c;
    c.codice = codice;
    c.dal = dal;
    c.al = al;
    c.test = test;
    c.allarme = allarme;
    return c;
}

} // namespace

class TestArchivio : public QObject {
    Q_OBJECT

private slots:
    void datesAreComparedAsDates()
    {
        QVERIFY(archivio::DataValida("31/12/99", "01/01/03"));  // 1999 before 2003
        QVERIFY(!archivio::DataValida("01/01/03", "31/12/99"));
        QVERIFY(archivio::DataValida("02/03/2026", "02/03/26"));
        QVERIFY(!archivio::DataValida("31/02/2026", "01/03/2026")); // no such day
        QVERIFY(!archivio::DataValida("Nessun evento", "01/03/2026"));
        // The century window: 70..99 are the 1900s, 00..69 the 2000s.
        QCOMPARE(date::leggiData("01/01/70"), QDate(1970, 1, 1));
        QCOMPARE(date::leggiData("31/12/69"), QDate(2069, 12, 31));
        QCOMPARE(date::leggiData("01/02/03"), QDate(2003, 2, 1));
        QCOMPARE(archivio::FormaData("01023"), "01023");
    }

    void searchFindsExactlyTheRangeAndKindsNewestFirst()
    {
        Banco b;
        // Two units, three days, all kinds, two events in the same second.
        const qint64 a1 = b.evento("000001", "Allarme", "2026-03-01 23:59:59");
        const qint64 t1 = b.evento("000001", "Test", "2026-03-02 00:00:00");
        const qint64 a2 = b.evento("000002", "Allarme", "2026-03-02 10:00:00");
        const qint64 n2 = b.evento("000002", QString(), "2026-03-02 10:00:00");
        const qint64 v2 = b.evento("000002", "", "2026-03-03 08:00:00");
        const qint64 t3 = b.evento("000001", "Test", "2026-03-04 00:00:00");
        const QDate d1(2026, 3, 1), d2(2026, 3, 2), d3(2026, 3, 3);

        QCOMPARE(b.cerca(criteri("", d2, d3, true, true)), (QList<qint64>{v2, n2, a2, t1}));
        QCOMPARE(b.cerca(criteri("", d1, d3, false, true)), (QList<qint64>{a2, a1}));
        // Test, and the events without a type, are the reports that are no alarm.
        QCOMPARE(b.cerca(criteri("", d1, d3, true, false)), (QList<qint64>{v2, n2, t1}));
        QCOMPARE(b.cerca(criteri("000001", d1, QDate(2026, 3, 4), true, true)), (QList<qint64>{t3, t1, a1}));
        QCOMPARE(b.cerca(criteri("", d3, d1, true, true)), QList<qint64>{}); // reversed range
        QCOMPARE(b.cerca(criteri("", d1, d3, false, false)), QList<qint64>{});

        // Pages of one row go through ties of the same second without losing one.
        QCOMPARE(b.cerca(criteri("", d1, QDate(2026, 3, 4), true, true), 1),
                 (QList<qint64>{t3, v2, n2, a2, t1, a1}));

        const archivio::Riga r = archivio::Pagina(*b.ctx.db, criteri("000002", d2, d2, false, true), {}, 10, nullptr)
                                     .value(0);
        QCOMPARE(r.id, a2);
        QCOMPARE(r.dataOra, QDateTime(d2, QTime(10, 0)));
        QCOMPARE(archivio::TestoMessaggio(*b.ctx.db, a2), "testo 2026-03-02 10:00:00");
        QCOMPARE(archivio::PrimaData(*b.ctx.db), d1);
    }

    void codesAndDescriptionsMatchOnlyThemselves()
    {
        Banco b;
        const QDate giorno(2026, 3, 2);
        const QString strano = "0'%_è1";
        const QString descr = "Porta d'ingresso 50%_più";
        const qint64 mio = b.evento(strano, "Allarme", "2026-03-02 10:00:00", descr);
        const qint64 mio2 = b.evento(strano, "Test", "2026-03-02 11:00:00", "Stato regolare");
        // What a LIKE with those wildcards, or a case-blind match, would also find.
        b.evento("0X%Xè1", "Allarme", "2026-03-02 10:00:00", "Porta d'ingresso 50X_piu");
        b.evento("0'%_È1", "Allarme", "2026-03-02 10:00:00", "porta d'ingresso 50%_più");
        b.evento("0'%_è12", "Allarme", "2026-03-02 10:00:00", descr + " bis");

        QCOMPARE(b.cerca(criteri(strano, giorno, giorno, true, true)), (QList<qint64>{mio2, mio}));
        archivio::Criteri c = criteri(strano, giorno, giorno, true, true);
        c.descrizione = descr;
        QCOMPARE(b.cerca(c), QList<qint64>{mio});
        c.codice.clear();
        QCOMPARE(b.cerca(c), QList<qint64>{mio});
        QCOMPARE(archivio::Descrizioni(*b.ctx.db, strano), (QStringList{descr, "Stato regolare"}));
    }

    void everyArchiveQueryUsesAnIndex()
    {
        if (comune::motoreServer())
            QSKIP("il piano controllato qui è quello di SQLite");
        Banco b;
        // Reaching its rows through an index and in the index's order: a
        // search over a million events reads one page, never sorts them all.
        const archivio::Criteri tutti = criteri("", QDate(2026, 1, 1), QDate(2026, 1, 31), true, true);
        archivio::Criteri uno = tutti;
        uno.codice = "000001";
        uno.descrizione = "Stato regolare";
        const archivio::Segno dopo{"2026-01-20 10:00:00", 7};
        for (const archivio::Criteri& c : {tutti, uno}) {
            for (const archivio::Istruzione& i :
                 {archivio::IstruzioneConteggio(c), archivio::IstruzionePagina(c, {}, 500),
                  archivio::IstruzionePagina(c, dopo, 500)}) {
                const QString p = b.piano(i.sql, i.parametri);
                const QString indice = c.codice.isEmpty() ? "INDEX ArchivioEventi Data e ora "
                                                          : "INDEX ArchivioEventi Codice ";
                QVERIFY2(p.contains(indice) && !p.contains("TEMP B-TREE"), qPrintable(p));
            }
        }
    }

    // The code's orders and the callers' tags are driven through the picker
    // window; here the company-name order the window tests do not click.
    void pickerOrders()
    {
        ricerca::Ordine o = ricerca::DopoClic(ricerca::DopoClic(ricerca::DopoClic(ricerca::Ordine{}, 0), 0), 0);
        o = ricerca::DopoClic(o, 1);
        QCOMPARE(ricerca::Vista(o), "F_Rag_SocC");
        QCOMPARE(ricerca::EtichettaEvidenziata(o), 2);
        QCOMPARE(ricerca::Didascalia(ricerca::DopoClic(o, 2)), "Ordinamento per Nominativo in senso Crescente");
    }
};

QTEST_GUILESS_MAIN(TestArchivio)
#include "tst_archivio.moc"
