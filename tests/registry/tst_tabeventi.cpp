// Tab "Eventi" of the subscriber window as the operator uses it: a real
// window over a real database file, clicks and keys, scripted boxes.

#include "comune/Banco.h"
#include "registry/AnagraficaUtenti.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>

using namespace sorvela;
using comune::tasti;

namespace {

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
                   "[Telefono GSM fonia]) VALUES ('000001', 1, 'Ferramenta Rossi', 'Mario Rossi', '3331112223')");
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
    T* c(const char* nome) const
    {
        T* x = w->findChild<T*>(QString::fromUtf8(nome));
        if (!x)
            qFatal("no control %s", nome);
        return x;
    }
    QTabWidget* schede() const { return c<QTabWidget>("SSTab1"); }
    QTableWidget* griglia() const { return c<QTableWidget>("gridStorico"); }
    QStringList date() const
    {
        QStringList r;
        for (int i = 0; i < griglia()->rowCount(); ++i)
            r << (griglia()->item(i, 0) ? griglia()->item(i, 0)->text() : QString());
        return r;
    }
    void rilascia(int riga)
    {
        const QRect cella = griglia()->visualRect(griglia()->model()->index(riga, 1));
        QTest::mouseClick(griglia()->viewport(), Qt::LeftButton, {}, cella.center());
    }
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
        QCOMPARE(b.griglia()->item(0, 1)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(b.griglia()->item(1, 1)->foreground().color(), QColor(0, 0, 255));

        // Two events of the same second, each with its own text.
        QCOMPARE(b.messaggio(), "<nascosto>");
        b.rilascia(0);
        QCOMPARE(b.messaggio(), "testo " + QString::number(b.secondo));
        b.rilascia(1);
        QCOMPARE(b.messaggio(), "testo " + QString::number(b.primo));
        b.c("txtFromDate")->setFocus();
        b.griglia()->setFocus();
        QCOMPARE(b.messaggio(), "<nascosto>");

        // "dal" alone, by Enter; then a day that does not exist is no bound.
        QTest::mouseClick(b.c("txtFromDate"), Qt::LeftButton);
        tasti(b.c("txtFromDate"), "02/03/2026");
        QTest::keyClick(b.c("txtFromDate"), Qt::Key_Return);
        QCOMPARE(b.date().size(), 2);
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

    void interrogaSenzaTelefonoNonScriveNullaEMostraGliEventi()
    {
        Banco b;
        b.schede()->setCurrentIndex(0);
        b.c<QPushButton>("cmdInterroga")->click();
        QCOMPARE(b.msg.testi(), QStringList{"COM1 non è una porta valida."});
        QCOMPARE(b.conta("SELECT count(*) FROM InterrogazioniPendenti"), 0);
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 4);
        QCOMPARE(b.schede()->currentIndex(), 1);
    }

    void stampaSenzaStampanteInUnPdf()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is configured on this machine");
        Banco b;
        b.orologio.imposta(il(4, 12));
        comune::premi(b.w, "cmdStampa");
        const QString pdf = b.dir.filePath("Storico_000001_20260304-120000.pdf");
        QCOMPARE(b.msg.testi(), QStringList{"Nessuna stampante configurata: lo storico è stato salvato nel file\n" + pdf});
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            return;
        QProcess p;
        p.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY(p.waitForFinished(10000));
        QStringList righe = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        for (QString& r : righe)
            r = r.simplified();
        QCOMPARE(righe.mid(0, 6), (QStringList{"Periferica 000001", "Mario Rossi", "Ferramenta Rossi",
                                               "* 02/03/2026 10.00.00 x", "* 02/03/2026 10.00.00 x",
                                               "* 01/03/2026 09.00.00 x"}));
    }
};

QTEST_MAIN(TestTabEventi)
#include "tst_tabeventi.moc"
