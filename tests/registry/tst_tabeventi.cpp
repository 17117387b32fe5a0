// Tab "Eventi" of the subscriber window as the operator uses it: a real
// window over a real database file, clicks and keys, scripted boxes.

#include "comune/Banco.h"
#include "comune/Griglie.h"
#include "registry/AnagraficaUtenti.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>

using namespace sorvela;
using comune::tasti;

namespace {

// The words of a PDF as pdftotext -bbox places them, page by page, each
// page read line by line from the left.
struct Parola {
    double y0, x0, x1;
    QString testo;
};

QList<Parola> paroleDelPdf(const QString& pdf)
{
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    if (!p.waitForFinished(10000))
        return {};
    static const QRegularExpression parola(
        R"x(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)x");
    QList<Parola> r;
    for (const QString& pagina : QString::fromUtf8(p.readAllStandardOutput()).split("<page")) {
        QList<Parola> parole;
        for (auto it = parola.globalMatch(pagina); it.hasNext();) {
            const auto m = it.next();
            QString t = m.captured(4);
            t.replace("&apos;", "'").replace("&quot;", "\"").replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
            parole << Parola{m.captured(2).toDouble(), m.captured(1).toDouble(), m.captured(3).toDouble(), t};
        }
        std::stable_sort(parole.begin(), parole.end(), [](const Parola& a, const Parola& b) {
            return std::abs(a.y0 - b.y0) > 1 ? a.y0 < b.y0 : a.x0 < b.x0;
        });
        r << parole;
    }
    return r;
}

QDateTime il(int giorno, int ora, int minuto = 0)
{
    return QDateTime(QDate(2026, 3, giorno), QTime(ora, minuto));
}

struct Banco : comune::Banco {
    QMdiArea area;
    AnagraficaUtenti* w = nullptr;
    qint64 primo = 0, secondo = 0, vecchio = 0;

    Banco()
    {
        // No handset anywhere: COM1 names a device that does not exist.
        pref.setDispositivoPorta(1, dir.filePath("nessun-dispositivo"));
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Tipo utente], [Ragione sociale], Nome, "
                   "[Telefono GSM fonia]) VALUES ('000001', TRUE, 'Ferramenta Rossi', 'Mario Rossi', '3331112223')");
        vecchio = evento("000001", "Test", il(1, 9));
        primo = evento("000001", "Test", il(2, 10));
        secondo = evento("000001", "Allarme", il(2, 10)); // the same second as the one before
        evento("000002", "Test", il(2, 11));
        db->esegui("UPDATE ArchivioEventi SET [Testo messaggio] = 'testo ' || ID");
        w = new AnagraficaUtenti(ctx);
        area.addSubWindow(w);
        area.show();
        w->avvia();
        QTest::qWaitForWindowActive(&area);
        w->setCodice("000001");
        w->Carica();
        schede()->setCurrentIndex(1);
    }
    template <class T = QLineEdit>
    T* c(const char* nome) const { return comune::controllo<T>(w, nome); }
    QTabWidget* schede() const { return c<QTabWidget>("SSTab1"); }
    QTableView* griglia() const { return c<QTableView>("gridStorico"); }
    int righe() const { return griglia()->model()->rowCount(); }
    QString cella(int r, int col) const { return griglia()->model()->index(r, col).data().toString(); }
    QColor colore(int r, int col) const
    {
        return griglia()->model()->index(r, col).data(Qt::ForegroundRole).value<QBrush>().color();
    }
    QStringList date() const { return comune::testiColonna(griglia(), 0); }
    void rilascia(int riga) { comune::clicCella(griglia(), riga, 1); }
    QString messaggio() const
    {
        auto* m = c<QPlainTextEdit>("txtMessaggio");
        return m->isVisible() ? m->toPlainText() : QStringLiteral("<nascosto>");
    }
};

} // namespace

class TestTabEventi : public QObject {
    Q_OBJECT
private slots:
    void storicoPerIntervalloEMessaggioDiOgniEvento()
    {
        Banco b;
        QCOMPARE(b.date(), (QStringList{"02/03/2026 10.00.00", "02/03/2026 10.00.00", "01/03/2026 09.00.00"}));
        QCOMPARE(b.colore(0, 1), QColor(255, 0, 0));
        QCOMPARE(b.colore(1, 1), QColor(0, 0, 255));

        // Two events of the same second, each with its own text.
        QCOMPARE(b.messaggio(), "<nascosto>");
        b.rilascia(0);
        QCOMPARE(b.messaggio(), "testo " + QString::number(b.secondo));
        b.rilascia(1);
        QCOMPARE(b.messaggio(), "testo " + QString::number(b.primo));
        b.c("txtFromDate")->setFocus();
        b.griglia()->setFocus();
        QCOMPARE(b.messaggio(), "<nascosto>");
        b.rilascia(2);
        QCOMPARE(b.messaggio(), "testo " + QString::number(b.vecchio));

        // "dal" alone, by Enter: the message of an event no longer listed
        // goes, and the keys stay in the range, not in the name.
        QTest::mouseClick(b.c("txtFromDate"), Qt::LeftButton);
        tasti(b.c("txtFromDate"), "02/03/2026");
        QTest::keyClick(b.c("txtFromDate"), Qt::Key_Return);
        QCOMPARE(b.date().size(), 2);
        QCOMPARE(b.messaggio(), "<nascosto>");
        QCOMPARE(QApplication::focusWidget(), b.c("txtFromDate"));
        // Then a day that does not exist is no bound.
        tasti(b.c("txtToDate"), "01/03/2026");
        comune::premi(b.w, "cmdCerca");
        QCOMPARE(b.date(), QStringList{QString()}); // nothing: one blank row stays
        b.c("txtFromDate")->setText("31/02/2026");
        comune::premi(b.w, "cmdCerca");
        QCOMPARE(b.date(), QStringList{"01/03/2026 09.00.00"});

        // New events while the operator types: the history follows, the
        // keyboard stays where it was.
        b.c("txtToDate")->clear();
        QTest::mouseClick(b.c("txtToDate"), Qt::LeftButton);
        b.evento("000001", "Allarme", il(3, 8));
        b.w->nuoviEventi();
        QCOMPARE(b.date().first(), "03/03/2026 08.00.00");
        QCOMPARE(QApplication::focusWidget(), b.c("txtToDate"));
        QVERIFY(b.msg.testi().isEmpty());
    }

    // The call is the receiver's: the button files the request and shows the
    // events, where the call's event will appear.
    void interrogaChiedeAlRicevitoreEMostraGliEventi()
    {
        Banco b;
        b.schede()->setCurrentIndex(0);
        b.c<QPushButton>("cmdInterroga")->click();
        QCOMPARE(b.msg.testi(), QStringList());
        QCOMPARE(b.db->valore("SELECT Richiesta || ' ' || Argomento FROM RichiesteRicevitore").toString(),
                 "interroga 000001");
        QCOMPARE(b.conta("SELECT count(*) FROM InterrogazioniPendenti"), 0);
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 4);
        QCOMPARE(b.schede()->currentIndex(), 1);
    }

    void stampaSenzaStampanteInUnPdf()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is configured on this machine");
        Banco b;
        // Sixty entries too long for one line: two pages.
        b.db->esegui("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60) "
                     "INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Tipo evento], [Descrizione evento]) "
                     "SELECT '000001', '2026-02-01 08:00:00', 'Test', 'Batteria scarica; Segnale debole; evento ' || i || "
                     "' con una descrizione lunga abbastanza da non stare in una riga sola del foglio stampato' FROM n");
        comune::premi(b.w, "cmdCerca");
        b.orologio.imposta(il(4, 12));
        comune::premi(b.w, "cmdStampa");
        const QString pdf = b.dir.filePath("Storico_000001_20260304-120000.pdf");
        QCOMPARE(b.msg.testi(), QStringList{"Nessuna stampante configurata: lo storico è stato salvato nel file\n" + pdf});
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");

        QStringList attese{"Periferica", "000001", "Mario", "Rossi", "Ferramenta", "Rossi"};
        for (int r = 0; r < b.righe(); ++r)
            attese << "*" << (b.cella(r, 0) + ' ' + b.cella(r, 1)).split(' ');
        QStringList stampate;
        int righe = 0;
        double y = -1;
        for (const Parola& p : paroleDelPdf(pdf)) {
            stampate << p.testo;
            righe += std::abs(p.y0 - y) > 1;
            y = p.y0;
            // No wider than 11000 twips (550 points) from the 8 mm margin.
            QVERIFY2(p.x1 <= 8 / 25.4 * 72 + 550 + 0.5, qPrintable(p.testo));
        }
        // Every word whole and in its place, and the long entries wrapped.
        QCOMPARE(stampate, attese);
        QVERIFY(righe > 3 + b.righe());
    }
};

QTEST_MAIN(TestTabEventi)
#include "tst_tabeventi.moc"
