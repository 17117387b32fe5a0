// A subscriber's history: the range query on a real database file, the
// printed layout, and the printout itself as a real PDF read back with
// pdftotext.

#include "comune/Banco.h"
#include "interrogation/StampaStorico.h"
#include "interrogation/Storico.h"
#include "store/RecordSet.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <map>

using namespace sorvela;

namespace {

QDateTime il(int giorno, int ora, int minuto = 0, int secondo = 0)
{
    return QDateTime(QDate(2026, 3, giorno), QTime(ora, minuto, secondo));
}

QList<qint64> ids(store::RecordSet rs)
{
    QList<qint64> r;
    for (; !rs.eof(); rs.moveNext())
        r << rs.campo("ID").toLongLong();
    return r;
}

// Words of a PDF page as pdftotext -bbox sees them, in reading order.
struct Parola {
    double x0, y0, x1;
    QString testo;
};

QList<Parola> paroleDelPdf(const QString& pdf)
{
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    if (!p.waitForFinished(10000))
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression parola(
        R"x(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)x");
    QList<Parola> r;
    for (auto it = parola.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        QString t = m.captured(4);
        t.replace("&apos;", "'").replace("&quot;", "\"").replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        r << Parola{m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(), t};
    }
    return r;
}

} // namespace

class TestStorico : public QObject {
    Q_OBJECT
private slots:
    void storicoPerIntervalloDalPiuRecente()
    {
        comune::Banco b;
        const qint64 a = b.evento("000123", "Test", il(1, 23, 59, 59));
        const qint64 c1 = b.evento("000123", "Test", il(2, 0, 0, 0));
        const qint64 c2 = b.evento("000123", "Allarme", il(2, 0, 0, 0)); // same second
        const qint64 d = b.evento("000123", "Test", il(3, 12));
        b.evento("000124", "Test", il(2, 12)); // another unit
        store::Database& db = *b.ctx.db;

        QCOMPARE(ids(ApriStorico(db, "000123", "", "")), (QList<qint64>{d, c2, c1, a}));
        QCOMPARE(ids(ApriStorico(db, "000123", "02/03/2026", "")), (QList<qint64>{d, c2, c1}));
        QCOMPARE(ids(ApriStorico(db, "000123", "", "2/3/26")), (QList<qint64>{c2, c1, a}));
        QCOMPARE(ids(ApriStorico(db, "000123", "02/03/2026", "02/03/2026")), (QList<qint64>{c2, c1}));
        // A bound that is not a date is no bound.
        QCOMPARE(ids(ApriStorico(db, "000123", "31/02/2026", "03/03/2026")), (QList<qint64>{d, c2, c1, a}));
        QCOMPARE(ids(ApriStorico(db, "000123", "oggi", "")), (QList<qint64>{d, c2, c1, a}));
        QCOMPARE(ids(ApriStorico(db, "000999", "", "")), QList<qint64>{});

        // Two events of the same second each keep their own text.
        db.esegui("UPDATE ArchivioEventi SET [Testo messaggio] = 'primo' WHERE ID = ?", {c1});
        db.esegui("UPDATE ArchivioEventi SET [Testo messaggio] = 'secondo' WHERE ID = ?", {c2});
        QCOMPARE(TestoEvento(db, "000123", c1), "primo");
        QCOMPARE(TestoEvento(db, "000123", c2), "secondo");
        QCOMPARE(TestoEvento(db, "000124", c1), QString());
        QCOMPARE(TestoEvento(db, "000123", 999), QString());
    }

    void impaginazioneSpezzaSoloDopoSpazioOTab()
    {
        using stampa::Frammento;
        const auto mille = [](const QString& t) { return 1000.0 * t.size(); }; // 11 characters a line
        const auto righe = stampa::ImpaginaVoce({"ab", "cde fgh ijklmnopqrstu v"}, mille);
        const QList<stampa::RigaStampata> attese{
            {Frammento{0, "*"}, Frammento{1440, "ab"}, Frammento{3600, "cde "}},
            {Frammento{0, "fgh "}},
            {Frammento{0, "ijklmnopqrstu "}}, // longer than a line: a line of its own, no empty line before
            {Frammento{0, "v"}},
        };
        QCOMPARE(righe, attese);

        // The blank is measured with its word: "abcdefghi " ends exactly at
        // 11000 twips and stays; one more letter sends it to the next line.
        const auto misura = [](const QString& t) { return 956.0 * t.size(); };
        QCOMPARE(stampa::ImpaginaVoce({"abcdefghi x"}, misura).first().size(), 2);
        QCOMPARE(stampa::ImpaginaVoce({"abcdefghij x"}, misura).first().size(), 1);
    }

    void stampaSuPdfVera()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        comune::Banco b;
        QList<QStringList> righe;
        QStringList parole;
        for (int i = 0; i < 60; ++i) {
            const QString descrizione =
                QString("Esaurimento credito; Batteria scarica; Segnale debole; evento numero %1 della periferica "
                        "con una descrizione lunga abbastanza da non stare in una riga sola del foglio stampato")
                    .arg(i);
            righe << QStringList{"02/03/2026 10.00." + QString::number(i % 60).rightJustified(2, '0'), descrizione};
            parole << "*" << righe.last().join(' ').split(' ', Qt::SkipEmptyParts);
        }
        const QString pdf = b.dir.filePath("storico.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(8, 10, 8, 10),
                                          QPageLayout::Millimeter));
        QVERIFY(DisegnaStorico(printer, {"000123", "Mario Dell'Acqua", "Città Srl"}, righe));

        const QList<Parola> stampate = paroleDelPdf(pdf);
        QStringList testi;
        for (const Parola& p : stampate)
            testi << p.testo;
        // Every word whole and in order: no line was broken inside a word.
        QCOMPARE(testi.mid(0, 6), (QStringList{"Periferica", "000123", "Mario", "Dell'Acqua", "Città", "Srl"}));
        QCOMPARE(testi.mid(6), parole);
        // Lines no wider than 11000 twips (550 points) from the 8 mm margin,
        // and the long rows did wrap.
        std::map<int, int> perRiga;
        for (const Parola& p : stampate) {
            QVERIFY2(p.x1 <= 8 / 25.4 * 72 + 550 + 0.5, qPrintable(p.testo + " " + QString::number(p.x1)));
            ++perRiga[int(p.y0 * 10)];
        }
        QVERIFY(perRiga.size() > 3 + righe.size());
        QVERIFY(printer.pageLayout().fullRectPoints().width() > 550);
    }

    void senzaStampanteUnPdfNellaCartellaDati()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is configured on this machine");
        comune::Banco b;
        b.orologio.imposta(il(2, 10, 5, 7));
        const QString pdf = StampaStorico(b.ctx, {"000123", "Rossi", ""}, {{"02/03/2026 10.00.00", "Stato regolare"}});
        QCOMPARE(pdf, b.dir.filePath("Storico_000123_20260302-100507.pdf"));
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(b.msg.testi(),
                 QStringList{"Nessuna stampante configurata: lo storico è stato salvato nel file\n" + pdf});

        b.msg.svuota();
        b.ctx.cartellaDati = b.dir.filePath("non-esiste");
        QCOMPARE(StampaStorico(b.ctx, {"000123", "Rossi", ""}, {}), QString());
        QCOMPARE(b.msg.testi().size(), 1);
        QVERIFY(b.msg.testi().first().startsWith("Impossibile scrivere lo storico nel file "));
    }
};

QTEST_MAIN(TestStorico)
#include "tst_storico.moc"
