// The contacts window driven with clicks on the grid and keys in the editor,
// over a real database file, with scripted message boxes.

#include "catalog/ContattiUtente.h"
#include "comune/Banco.h"
#include "comune/Griglie.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableWidget>

using namespace sorvela;
using comune::tasti;

namespace {

const QString Nota50 = QStringLiteral("Chiamare dopo le 18: è l'unico numero dell'ufficio");

// 000001 has two contacts (one with a Null note), 000002 one, 000009 none.
struct Banco : comune::Banco {
    QMdiArea area;
    QMdiSubWindow* sub = nullptr;
    ContattiUtente* w = nullptr;
    QTableWidget* griglia = nullptr;
    QLineEdit* editor = nullptr;

    Banco()
    {
        db->esegui("INSERT INTO Telefoni_Utenti VALUES ('000001', 'Figlio', '333', NULL), "
                   "('000001', 'Vicino', '334', 'sera'), ('000002', 'Portiere', '335', '')");
        area.show();
        QVERIFY(QTest::qWaitForWindowActive(&area));
    }

    void apri(const QString& codice)
    {
        w = new ContattiUtente(ctx, codice);
        sub = area.addSubWindow(w);
        w->avvia();
        griglia = w->findChild<QTableWidget*>("Recapiti");
        editor = w->findChild<QLineEdit*>("Text1");
    }

    void clicCella(int riga, int colonna) { comune::clicCella(griglia, riga, colonna); }
    void svuotaCella(int riga, int colonna, Qt::Key tasto = Qt::Key_Backspace)
    {
        clicCella(riga, colonna);
        editor->selectAll();
        QTest::keyClick(editor, tasto);
    }
    QString cella(int riga, int colonna) const { return comune::testoCella(griglia, riga, colonna); }
    void premi(const char* nome) { comune::premi(w, nome); }
    // The stored list, "name|number|note" per contact, Null shown as <null>.
    QStringList salvati(const QString& codice)
    {
        return comune::unite(*db, "SELECT coalesce(Contatto, '<null>') || '|' || coalesce(Num_Tel, '<null>') || '|' "
                              "|| coalesce(Des_Telefoni, '<null>') FROM Telefoni_Utenti WHERE CodPer = ? ORDER BY rowid",
                             {codice}, "\n").split('\n', Qt::SkipEmptyParts);
    }
};

} // namespace

class TestContatti : public QObject {
    Q_OBJECT
private slots:
    void senzaContattiUnaRigaVuota()
    {
        Banco b;
        b.apri("000009");
        QVERIFY(b.ctx.aperte.ContattiUtente);
        QCOMPARE(b.sub->windowTitle(), "Contatti dell'utente 000009");
        QCOMPARE(b.griglia->rowCount(), 1);
        QCOMPARE(QApplication::focusWidget(), b.editor);
        QVERIFY(!b.w->modificato());

        // Annulla with no stored contacts goes back to the one empty row.
        tasti(b.editor, "Qualcuno");
        b.premi("Annulla");
        QCOMPARE(b.griglia->rowCount(), 1);
        QCOMPARE(b.cella(0, 0), "");
        // Nothing changed since: closing asks nothing.
        QVERIFY(b.sub->close());
        QVERIFY(b.msg.voci().isEmpty());
        QVERIFY(!b.ctx.aperte.ContattiUtente);
    }

    void scritturaAggiungeRigheESalvaSoloQuellePiene()
    {
        Banco b;
        b.apri("000001");
        QCOMPARE(b.griglia->rowCount(), 3);
        QCOMPARE(b.cella(0, 2), "");     // a Null note shows empty

        // The entry row gets a new empty row below at the first character.
        b.clicCella(2, 0);
        tasti(b.editor, "D");
        QCOMPARE(b.griglia->rowCount(), 4);
        tasti(b.editor, "ell'Acqua");
        QTest::keyClick(b.editor, Qt::Key_Return);
        tasti(b.editor, "0862 22");
        QTest::keyClick(b.editor, Qt::Key_Return);
        tasti(b.editor, Nota50);
        QCOMPARE(b.griglia->rowCount(), 4);
        QVERIFY(b.w->modificato());

        // The first contact emptied cell by cell; the second keeps only a number.
        for (int c = 0; c < 3; ++c)
            b.svuotaCella(0, c, Qt::Key_Delete);
        b.svuotaCella(1, 0);
        b.svuotaCella(1, 2);

        b.premi("Salva");
        QCOMPARE(b.salvati("000001"), (QStringList{"|334|", "Dell'Acqua|0862 22|" + Nota50}));
        QCOMPARE(b.salvati("000002"), QStringList{"Portiere|335|"});
        QCOMPARE(b.griglia->rowCount(), 3);
        QCOMPARE(b.cella(1, 0), "Dell'Acqua");
        QCOMPARE(b.cella(1, 2), Nota50);
        QVERIFY(!b.w->modificato());
    }

    void invioGiraNellaStessaRigaELimitiPerColonna()
    {
        Banco b;
        b.apri("000001");
        b.clicCella(1, 0);
        const int riga = b.editor->geometry().top();
        QTest::keyClick(b.editor, Qt::Key_Return);
        QCOMPARE(b.editor->text(), "334");
        tasti(b.editor, "12345678901234567890");   // over the number shown, as far as the column holds
        QCOMPARE(b.cella(1, 1), "1234567890123456");
        QTest::keyClick(b.editor, Qt::Key_Return);
        QCOMPARE(b.editor->maxLength(), 50);
        QCOMPARE(b.editor->text(), "sera");
        QTest::keyClick(b.editor, Qt::Key_Enter);
        QCOMPARE(b.editor->text(), "Vicino");
        QCOMPARE(b.editor->maxLength(), 30);
        QCOMPARE(b.editor->geometry().top(), riga);

        // Moving from cell to cell is not a change.
        b.premi("Annulla");
        b.clicCella(0, 2);
        b.clicCella(1, 1);
        QVERIFY(!b.w->modificato());

        // A stored number longer than the column's limit is neither cut nor
        // let grow.
        const QString numero = QStringLiteral("+39 0862 123456 int. 42");
        b.db->esegui("UPDATE Telefoni_Utenti SET Num_Tel = ? WHERE Num_Tel = '334'", {numero});
        b.premi("Annulla");
        b.clicCella(1, 1);
        QCOMPARE(b.editor->text(), numero);
        QTest::keyClick(b.editor, Qt::Key_End);
        tasti(b.editor, "9");
        QTest::keyClick(b.editor, Qt::Key_Backspace);
        tasti(b.editor, "3");
        b.premi("Salva");
        QCOMPARE(b.salvati("000001").last(), "Vicino|+39 0862 123456 int. 43|sera");
    }

    void annullaRiportaLElencoSalvato()
    {
        Banco b;
        b.apri("000002");
        b.clicCella(1, 0);
        tasti(b.editor, "Nuovo");
        b.clicCella(0, 2);
        tasti(b.editor, "nota");
        QCOMPARE(b.griglia->rowCount(), 3);
        b.premi("Annulla");
        QCOMPARE(b.griglia->rowCount(), 2);
        QCOMPARE(b.cella(0, 0), "Portiere");
        QCOMPARE(b.cella(0, 2), "");
        QCOMPARE(b.cella(1, 0), "");
        // Back on the first name, with the name's limit, not the note's.
        QCOMPARE(b.editor->text(), "Portiere");
        QCOMPARE(b.editor->maxLength(), 30);
        QVERIFY(!b.w->modificato());
        QCOMPARE(b.salvati("000002"), QStringList{"Portiere|335|"});
    }

    void chiusuraConModifiche()
    {
        Banco b;
        b.apri("000001");
        b.clicCella(2, 1);
        tasti(b.editor, "0862 44");
        b.msg.rispondi(Risposta::Annulla);
        QVERIFY(!b.sub->close());
        QCOMPARE(b.msg.voci().last().testo, "Sono state apportate modifiche, le si voule salvare?");
        QCOMPARE(b.msg.voci().last().titolo, "Contatti dell'utente 000001");
        QCOMPARE(b.cella(2, 1), "0862 44");
        QCOMPARE(b.editor->text(), "0862 44");
        QCOMPARE(QApplication::focusWidget(), b.editor);
        QVERIFY(b.ctx.aperte.ContattiUtente);

        b.msg.rispondi(Risposta::Si);
        b.sub->resize(500, 180);
        QVERIFY(b.sub->close());
        QCOMPARE(b.salvati("000001").last(), "|0862 44|");
        QVERIFY(!b.ctx.aperte.ContattiUtente);
        QVERIFY(!b.pref.geometria("ContattiUtente").HePos.isEmpty());
    }

    // A database error while saving keeps the stored list and the typing.
    void erroreDatabaseNonPerdeNulla()
    {
        Banco b;
        comune::guasto(*b.db, "guasto", "Telefoni_Utenti", "INSERT", "disco pieno", "NEW.Contatto = 'Guasto'");
        b.apri("000001");
        b.clicCella(2, 0);
        tasti(b.editor, "Guasto");
        b.premi("Salva");
        QCOMPARE(b.msg.voci().size(), 1);
        QVERIFY(b.msg.voci().first().testo.startsWith("Impossibile memorizzare i contatti."));
        QCOMPARE(b.salvati("000001"), (QStringList{"Figlio|333|<null>", "Vicino|334|sera"}));
        QCOMPARE(b.cella(2, 0), "Guasto");
        QVERIFY(b.w->modificato());
        QVERIFY(!b.db->inTransazione());
    }
};

QTEST_MAIN(TestContatti)
#include "tst_contatti.moc"
