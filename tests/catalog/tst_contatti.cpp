// The contacts window driven with clicks on the grid and keys in the editor,
// over a real database file, with scripted message boxes.

#include "catalog/ContattiUtente.h"
#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "store/Database.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace sorvela;

namespace {

const QString Nota50 = QStringLiteral("Chiamare dopo le 18: è l'unico numero dell'ufficio");

void tasti(QWidget* w, const QString& testo)
{
    for (const QChar c : testo) {
        if (c.unicode() < 128)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
    }
}

class Banco {
public:
    Banco()
    {
        const QString file = dir.filePath(QStringLiteral("Sorvela.db"));
        store::Database::crea(file, false);
        db = store::Database::apri(file);
        pref = std::make_unique<Preferenze>(dir.filePath(QStringLiteral("Sorvela.ini")));
        ctx.db = db.get();
        ctx.orologio = &orologio;
        ctx.messaggi = &msg;
        ctx.preferenze = pref.get();
        db->esegui(QStringLiteral("INSERT INTO Telefoni_Utenti VALUES ('000001', 'Figlio', '333', NULL), "
                                  "('000001', 'Vicino', '334', 'sera'), ('000002', 'Portiere', '335', '')"));
        area.show();
        QVERIFY(QTest::qWaitForWindowActive(&area));
    }

    void apri(const QString& codice)
    {
        w = new ContattiUtente(ctx, codice);
        sub = area.addSubWindow(w);
        w->avvia();
        griglia = w->findChild<QTableWidget*>(QStringLiteral("Recapiti"));
        editor = w->findChild<QLineEdit*>(QStringLiteral("Text1"));
    }

    void clicCella(int riga, int colonna)
    {
        const QRect r = griglia->visualRect(griglia->model()->index(riga, colonna));
        QTest::mouseClick(griglia->viewport(), Qt::LeftButton, {}, r.center());
    }
    QString cella(int riga, int colonna) const
    {
        const QTableWidgetItem* i = griglia->item(riga, colonna);
        return i ? i->text() : QString();
    }
    void premi(const char* nome) { QTest::mouseClick(w->findChild<QPushButton*>(QLatin1String(nome)), Qt::LeftButton); }
    QStringList salvati(const QString& codice)
    {
        QStringList r;
        auto rs = db->apriRecordSet(
            QStringLiteral("SELECT * FROM Telefoni_Utenti WHERE CodPer = ? ORDER BY rowid"), {codice});
        for (; !rs.eof(); rs.moveNext()) {
            QStringList campi;
            for (const char* n : {"Contatto", "Num_Tel", "Des_Telefoni"})
                campi << (rs.campo(QLatin1String(n)).isNull() ? QStringLiteral("<null>")
                                                              : rs.campo(QLatin1String(n)).toString());
            r << campi.join(QLatin1Char('|'));
        }
        return r;
    }

    QTemporaryDir dir;
    std::unique_ptr<store::Database> db;
    std::unique_ptr<Preferenze> pref;
    OrologioVirtuale orologio;
    MessaggiRegistrati msg;
    Contesto ctx;
    QMdiArea area;
    QMdiSubWindow* sub = nullptr;
    ContattiUtente* w = nullptr;
    QTableWidget* griglia = nullptr;
    QLineEdit* editor = nullptr;
};

} // namespace

class TestContatti : public QObject {
    Q_OBJECT
private slots:
    void senzaContattiUnaRigaVuota();
    void scritturaAggiungeRigheESalvaSoloQuellePiene();
    void invioGiraNellaStessaRigaELimitiPerColonna();
    void annullaRiportaLElencoSalvato();
    void chiusuraConModifiche();
    void erroreDatabaseNonPerdeNulla();
};

void TestContatti::senzaContattiUnaRigaVuota()
{
    Banco b;
    b.apri(QStringLiteral("000009"));
    QVERIFY(b.ctx.aperte.ContattiUtente);
    QCOMPARE(b.sub->windowTitle(), QStringLiteral("Contatti dell'utente 000009"));
    QCOMPARE(b.griglia->columnCount(), 3);
    QCOMPARE(b.griglia->horizontalHeaderItem(0)->text(), QStringLiteral("Contatto"));
    QCOMPARE(b.griglia->horizontalHeaderItem(1)->text(), QStringLiteral("Numero"));
    QCOMPARE(b.griglia->horizontalHeaderItem(2)->text(), QStringLiteral("  Note"));
    QCOMPARE(b.griglia->rowCount(), 1);
    QVERIFY(b.editor->isVisible());
    QCOMPARE(b.editor->maxLength(), 30);
    QCOMPARE(QApplication::focusWidget(), b.editor);
    QVERIFY(!b.w->modificato());
    // Closing untouched asks nothing.
    QVERIFY(b.sub->close());
    QVERIFY(b.msg.voci().isEmpty());
    QVERIFY(!b.ctx.aperte.ContattiUtente);
}

void TestContatti::scritturaAggiungeRigheESalvaSoloQuellePiene()
{
    Banco b;
    b.apri(QStringLiteral("000001"));
    QCOMPARE(b.griglia->rowCount(), 3);
    QCOMPARE(b.cella(0, 2), QString());     // a Null note shows empty

    // The entry row gets a new empty row below at the first character.
    b.clicCella(2, 0);
    tasti(b.editor, QStringLiteral("D"));
    QCOMPARE(b.griglia->rowCount(), 4);
    tasti(b.editor, QStringLiteral("ell'Acqua"));
    QTest::keyClick(b.editor, Qt::Key_Return);
    tasti(b.editor, QStringLiteral("0862 22"));
    QTest::keyClick(b.editor, Qt::Key_Return);
    tasti(b.editor, Nota50);
    QCOMPARE(b.griglia->rowCount(), 4);
    QVERIFY(b.w->modificato());

    // The first contact emptied cell by cell; the second keeps only a number.
    for (int c = 0; c < 3; ++c) {
        b.clicCella(0, c);
        b.editor->selectAll();
        QTest::keyClick(b.editor, Qt::Key_Delete);
    }
    b.clicCella(1, 0);
    b.editor->selectAll();
    QTest::keyClick(b.editor, Qt::Key_Backspace);
    b.clicCella(1, 2);
    b.editor->selectAll();
    QTest::keyClick(b.editor, Qt::Key_Backspace);

    b.premi("Salva");
    QCOMPARE(b.salvati(QStringLiteral("000001")),
             (QStringList{QStringLiteral("|334|"), QStringLiteral("Dell'Acqua|0862 22|") + Nota50}));
    QCOMPARE(b.salvati(QStringLiteral("000002")), QStringList{QStringLiteral("Portiere|335|")});
    QCOMPARE(b.griglia->rowCount(), 3);
    QCOMPARE(b.cella(1, 0), QStringLiteral("Dell'Acqua"));
    QCOMPARE(b.cella(1, 2), Nota50);
    QVERIFY(!b.w->modificato());
}

void TestContatti::invioGiraNellaStessaRigaELimitiPerColonna()
{
    Banco b;
    b.apri(QStringLiteral("000001"));
    b.clicCella(1, 0);
    const int riga = b.editor->geometry().top();
    QTest::keyClick(b.editor, Qt::Key_Return);
    QCOMPARE(b.editor->text(), QStringLiteral("334"));
    QCOMPARE(b.editor->maxLength(), 16);
    tasti(b.editor, QStringLiteral("12345678901234567890"));
    QCOMPARE(b.cella(1, 1), QStringLiteral("3341234567890123"));
    QTest::keyClick(b.editor, Qt::Key_Return);
    QCOMPARE(b.editor->maxLength(), 50);
    QCOMPARE(b.editor->text(), QStringLiteral("sera"));
    QTest::keyClick(b.editor, Qt::Key_Enter);
    QCOMPARE(b.editor->text(), QStringLiteral("Vicino"));
    QCOMPARE(b.editor->maxLength(), 30);
    QCOMPARE(b.editor->geometry().top(), riga);

    // Moving from cell to cell is not a change.
    b.premi("Annulla");
    b.clicCella(0, 2);
    b.clicCella(1, 1);
    QVERIFY(!b.w->modificato());
}

void TestContatti::annullaRiportaLElencoSalvato()
{
    Banco b;
    b.apri(QStringLiteral("000002"));
    b.clicCella(1, 0);
    tasti(b.editor, QStringLiteral("Nuovo"));
    b.clicCella(0, 2);
    tasti(b.editor, QStringLiteral("nota"));
    QCOMPARE(b.griglia->rowCount(), 3);
    b.premi("Annulla");
    QCOMPARE(b.griglia->rowCount(), 2);
    QCOMPARE(b.cella(0, 0), QStringLiteral("Portiere"));
    QCOMPARE(b.cella(0, 2), QString());
    QCOMPARE(b.cella(1, 0), QString());
    // Back on the first name, with the name's limit, not the note's.
    QCOMPARE(b.editor->text(), QStringLiteral("Portiere"));
    QCOMPARE(b.editor->maxLength(), 30);
    QVERIFY(!b.w->modificato());
    QCOMPARE(b.salvati(QStringLiteral("000002")), QStringList{QStringLiteral("Portiere|335|")});

    // Also when the subscriber had no contacts at all.
    QVERIFY(b.sub->close());
    b.apri(QStringLiteral("000009"));
    tasti(b.editor, QStringLiteral("Qualcuno"));
    b.premi("Annulla");
    QCOMPARE(b.griglia->rowCount(), 1);
    QCOMPARE(b.cella(0, 0), QString());
}

void TestContatti::chiusuraConModifiche()
{
    Banco b;
    b.apri(QStringLiteral("000001"));
    b.clicCella(2, 1);
    tasti(b.editor, QStringLiteral("0862 44"));
    b.msg.rispondi(Risposta::Annulla);
    QVERIFY(!b.sub->close());
    QCOMPARE(b.msg.voci().last().testo, QStringLiteral("Sono state apportate modifiche, le si voule salvare?"));
    QCOMPARE(b.msg.voci().last().titolo, QStringLiteral("Contatti dell'utente 000001"));
    QCOMPARE(b.cella(2, 1), QStringLiteral("0862 44"));
    QCOMPARE(b.editor->text(), QStringLiteral("0862 44"));
    QCOMPARE(QApplication::focusWidget(), b.editor);
    QVERIFY(b.ctx.aperte.ContattiUtente);

    b.msg.rispondi(Risposta::Si);
    b.sub->resize(500, 180);
    QVERIFY(b.sub->close());
    QCOMPARE(b.salvati(QStringLiteral("000001")).last(), QStringLiteral("|0862 44|"));
    QVERIFY(!b.ctx.aperte.ContattiUtente);
    QVERIFY(!b.pref->geometria(QStringLiteral("ContattiUtente")).HePos.isEmpty());
}

void TestContatti::erroreDatabaseNonPerdeNulla()
{
    Banco b;
    b.db->esegui(QStringLiteral("CREATE TRIGGER guasto BEFORE INSERT ON Telefoni_Utenti WHEN NEW.Contatto = 'Guasto' "
                                "BEGIN SELECT RAISE(ABORT, 'disco pieno'); END"));
    b.apri(QStringLiteral("000001"));
    b.clicCella(2, 0);
    tasti(b.editor, QStringLiteral("Guasto"));
    b.premi("Salva");
    QCOMPARE(b.msg.voci().size(), 1);
    QVERIFY(b.msg.voci().first().testo.startsWith(QStringLiteral("Impossibile memorizzare i contatti.")));
    QCOMPARE(b.salvati(QStringLiteral("000001")),
             (QStringList{QStringLiteral("Figlio|333|<null>"), QStringLiteral("Vicino|334|sera")}));
    QCOMPARE(b.cella(2, 0), QStringLiteral("Guasto"));
    QVERIFY(b.w->modificato());
    QVERIFY(!b.db->inTransazione());
}

QTEST_MAIN(TestContatti)
#include "tst_contatti.moc"
