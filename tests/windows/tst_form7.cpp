// The archive window and the subscriber picker as the operator uses them,
// offscreen, on a real database file.

#include "comune/Banco.h"
#include "comune/Griglie.h"
#include "windows/Form15.h"
#include "windows/Form7.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableView>

using namespace sorvela;

namespace {

// Today is 2 March 2026; the archive starts in 2002.
struct Banco : comune::Banco {
    Banco(bool vuoto = false)
    {
        for (const auto& [codice, rag, nome] :
             {std::tuple{"000123", "Bar Sport", "Bianchi Luca"}, std::tuple{"000007", "", "Rossi Anna"},
              std::tuple{"000050", "Àncora s.r.l.", "Verdi Ugo"}})
            ctx.db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Ragione sociale], [Nome]) VALUES (?, ?, ?)",
                           {codice, rag, nome});
        if (vuoto)
            return;
        evento("000123", "Test", QString("2002-05-01 10:00:00"));
        evento("000123", "Allarme", QString("2026-03-01 09:00:00"));
        evento("000007", "Allarme", QString("2026-03-02 08:30:00"));
    }
};

void invio(QWidget* w, const QString& testo)
{
    QLineEdit* e = qobject_cast<QLineEdit*>(w);
    e->setFocus();
    e->selectAll();
    comune::tasti(w, testo);
    QTest::keyClick(w, Qt::Key_Return);
}

} // namespace

class TestForm7 : public QObject {
    Q_OBJECT

private slots:
    void anEmptyArchiveOpensInert()
    {
        Banco b(true);
        Form7 f(b.ctx);
        f.show();
        QCOMPARE(f.Text1()->text(), "Nessun evento");
        QCOMPARE(f.Text2()->text(), "Nessun evento");
        for (QWidget* w : std::initializer_list<QWidget*>{f.Text1(), f.Text2(), f.Text3(), f.Command1(), f.SSCommand2(),
                                                          f.SSCheck1(0), f.SSCheck1(2), f.Stampa()})
            QVERIFY(!w->isEnabled());
        QCOMPARE(b.ctx.tagPicker, "Form7_Text3");
        QVERIFY(b.ctx.aperte.Form7);
    }

    void entriesAreCheckedAsTyped()
    {
        Banco b;
        Form7 f(b.ctx);
        f.show();
        QCOMPARE(f.Text1()->text(), "01/05/2002");
        QCOMPARE(f.Text2()->text(), "02/03/2026");
        QCOMPARE(f.Text3()->text(), "Tutti");
        QVERIFY(!f.SSCommand1()->isEnabled());

        // A code: digits only, padded on Enter, looked up.
        f.SSCheck1(2)->setChecked(true);
        QCOMPARE(f.Text3()->text(), "");
        QVERIFY(f.SSCommand2()->isEnabled());
        QSignalSpy picker(&f, &Form7::apriRicerca);
        invio(f.Text3(), "1x2a3");
        QCOMPARE(f.Text3()->text(), "000123");
        QVERIFY(f.SSCommand1()->isEnabled());
        QCOMPARE(picker.count(), 0);
        invio(f.Text3(), "999");
        QCOMPARE(picker.count(), 1); // unknown: the picker is asked for
        f.SSCheck1(2)->setChecked(false);
        QCOMPARE(f.Text3()->text(), "Tutti");
        QVERIFY(!f.SSCommand1()->isEnabled());

        // ddmmyy becomes dd/mm/yy; a day before the archive's first goes back to it.
        invio(f.Text1(), "010203");
        QCOMPARE(f.Text1()->text(), "01/02/03");
        invio(f.Text1(), "010199");
        QCOMPARE(f.Text1()->text(), "01/05/2002");
        invio(f.Text1(), "31/02/2010");
        QCOMPARE(f.Text1()->text(), "01/05/2002");
        // The last day may be today, not tomorrow.
        invio(f.Text2(), "030326");
        QCOMPARE(f.Text2()->text(), "02/03/2026");
        invio(f.Text2(), "020326");
        QCOMPARE(f.Text2()->text(), "02/03/26");

        // No report kind: the search is refused.
        b.msg.svuota();
        QTest::mouseClick(f.Command1(), Qt::LeftButton);
        QCOMPARE(b.msg.testi(), QStringList{"Non è stato selezionato nessun tipo di ricerca"});
        QCOMPARE(b.msg.voci().first().titolo, "Archivio Storico");
        QCOMPARE(b.msg.voci().first().icona, Icona::Errore);
    }

    void theSearchListsCountsAndShowsTheMessage()
    {
        Banco b;
        Form7 f(b.ctx);
        f.show();
        f.SSCheck1(0)->setChecked(true);
        f.SSCheck1(1)->setChecked(true);
        QTest::mouseClick(f.Command1(), Qt::LeftButton);
        QCOMPARE(f.conteggio()->text(), "3 eventi trovati");
        QCOMPARE(comune::testiColonna(f.griglia(), ModelloArchivio::Codice), (QStringList{"000007", "000123", "000123"}));
        QCOMPARE(comune::testiColonna(f.griglia(), ModelloArchivio::Nome), (QStringList{"Rossi Anna", "Bianchi Luca", "Bianchi Luca"}));
        QCOMPARE(f.griglia()->model()->index(0, ModelloArchivio::DataOra).data().toString(), "02/03/2026 08.30.00");
        QCOMPARE(f.messaggio()->toPlainText(), "Dell'Acqua; --");
        QVERIFY(f.Stampa()->isEnabled());

        // One code, one kind, one description chosen from "...".
        b.evento("000123", "Allarme", QString("2026-03-01 10:00:00"));
        b.ctx.db->esegui("UPDATE ArchivioEventi SET [Descrizione evento] = 'Batteria scarica' WHERE ID = 4");
        f.SSCheck1(0)->setChecked(false);
        f.impostaCodice("000123");
        QVERIFY(f.SSCommand1()->isEnabled());
        QTest::mouseClick(f.SSCommand1(), Qt::LeftButton);
        auto* elenco = f.findChild<QListWidget*>("lstDescrizioni");
        QVERIFY(elenco);
        QCOMPARE(elenco->count(), 3); // any, and the code's two descriptions
        QTest::mouseClick(elenco->viewport(), Qt::LeftButton, {},
                          elenco->visualItemRect(elenco->findItems("Batteria scarica", Qt::MatchExactly).first()).center());
        QCOMPARE(f.SSPanel5()->text(), "Batteria scarica");
        QTest::mouseClick(f.Command1(), Qt::LeftButton);
        QCOMPARE(f.conteggio()->text(), "1 evento trovato");
        QCOMPARE(f.modello()->riga(0).id, 4);
        // Another code drops the description.
        f.impostaCodice("000007");
        QCOMPARE(f.SSPanel5()->text(), "");

        // The printout goes to a PDF in the data folder without a printer.
        b.msg.svuota();
        QTest::mouseClick(f.Stampa(), Qt::LeftButton);
        QVERIFY2(!QDir(b.dir.path()).entryList({"Archivio_000123_*.pdf"}).isEmpty(), qPrintable(b.msg.testi().join('|')));
    }

    void thePickerSortsShowsAndHandsBack()
    {
        Banco b;
        b.ctx.tagPicker = "Form7_Text3";
        Form15 p(b.ctx);
        p.show();
        QCOMPARE(comune::testiColonna(p.DBGrid1(), 0), (QStringList{"000007", "000050", "000123"}));
        QCOMPARE(p.SSPanel2()->text(), "Ordinamento per Codice in senso Crescente");
        QCOMPARE(p.SSPanel1(0)->palette().color(QPalette::Window), QColor(0, 0, 192));
        QCOMPARE(p.SSPanel1(2)->palette().color(QPalette::Window), QColor(255, 255, 192));

        auto intestazione = [&](int c) {
            QHeaderView* h = p.DBGrid1()->horizontalHeader();
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2));
        };
        intestazione(0);
        QCOMPARE(comune::testiColonna(p.DBGrid1(), 0), (QStringList{"000123", "000050", "000007"}));
        QCOMPARE(p.SSPanel2()->text(), "Ordinamento per Codice in senso Decrescente");
        intestazione(0);
        QCOMPARE(comune::testiColonna(p.DBGrid1(), 0).first(), "000007");
        intestazione(2);
        QCOMPARE(comune::testiColonna(p.DBGrid1(), 0), (QStringList{"000123", "000007", "000050"})); // by name
        QCOMPARE(p.SSPanel1(2)->palette().color(QPalette::Window), QColor(0, 0, 192));

        // The current row's boxes; two clicks apart hand nothing back, a double click does.
        b.ctx.db->esegui("INSERT INTO Matricole VALUES ('445566', '000050')");
        QSignalSpy consegna(&p, &Form15::consegna);
        const QRect riga = p.DBGrid1()->visualRect(p.modello()->index(2, 0));
        QTest::mouseClick(p.DBGrid1()->viewport(), Qt::LeftButton, {}, riga.center());
        QCOMPARE(p.Text1(0)->text(), "000050");
        QCOMPARE(p.Text1(1)->text(), "445566");
        QCOMPARE(p.Text1(2)->text(), "Àncora s.r.l.");
        QTRY_VERIFY(!p.Timer1()->isActive());
        QTest::mouseClick(p.DBGrid1()->viewport(), Qt::LeftButton, {}, riga.center());
        QCOMPARE(consegna.count(), 0);
        QTest::mouseClick(p.DBGrid1()->viewport(), Qt::LeftButton, {}, riga.center());
        QCOMPARE(consegna.count(), 1);
        QCOMPARE(consegna.first(), (QVariantList{"Form7", "Text3", "000050"}));

        // The desktop's double click (a press turned into a double click) chooses once.
        Form15 q(b.ctx);
        q.show();
        QVERIFY(QTest::qWaitForWindowExposed(&q));
        QSignalSpy doppio(&q, &Form15::consegna);
        const QPoint punto = q.DBGrid1()->visualRect(q.modello()->index(1, 0)).center();
        QTest::mouseClick(q.DBGrid1()->viewport(), Qt::LeftButton, {}, punto);
        QTest::qWait(350); // a desktop double-click interval longer than the 300 ms
        QTest::mouseDClick(q.DBGrid1()->viewport(), Qt::LeftButton, {}, punto);
        QCOMPARE(doppio.count(), 1);
        QCOMPARE(doppio.first().at(2).toString(), "000050");
    }
};

QTEST_MAIN(TestForm7)
#include "tst_form7.moc"
