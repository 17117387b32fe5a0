// The subscriber's inputs table: its two views as plain lists, the rows kept
// with the subscriber, and the table in the subscriber window driven with
// clicks and keys over a real database file.

#include "comune/Banco.h"
#include "comune/Griglie.h"
#include "registry/AnagraficaUtenti.h"
#include "registry/IngressiUtente.h"
#include "registry/Utenti.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableWidget>

using namespace sorvela;
using registry::RigaIngresso;

namespace {

QList<catalog::Ingresso> tipo(std::initializer_list<int> contatori)
{
    QList<catalog::Ingresso> t;
    for (int c : contatori)
        t << catalog::Ingresso{0, c, "E" + QString::number(c), "1", "Ingresso " + QString::number(c), "Allarme ",
                               "Tratta"};
    return t;
}

QStringList chiavi(const QList<RigaIngresso>& righe)
{
    QStringList k;
    for (const auto& r : righe)
        k << r.uso + (r.contatore ? QString::number(*r.contatore) : QString("-"));
    return k;
}

// Subscriber 000001 of type Alfa (three inputs, the second "Archivia").
struct Banco : comune::Banco {
    QMdiArea area;
    QMdiSubWindow* sub = nullptr;
    AnagraficaUtenti* w = nullptr;
    QTableWidget* griglia = nullptr;

    Banco()
    {
        db->esegui("INSERT INTO TipoPeriferica (IDPeriferica, PerifericaTipo, Tabella) VALUES (1, 'Alfa', 'Ing Alfa')");
        db->esegui("CREATE TABLE [Ing Alfa] (Contatore INTEGER PRIMARY KEY, CodiceEvento TEXT, Zona TEXT, "
                   "DesEvento TEXT, TipoEvento TEXT, Trattamento TEXT)");
        db->esegui("INSERT INTO [Ing Alfa] VALUES (1, 'E1', '1', 'Porta', 'Allarme ', 'Tratta'), "
                   "(2, 'E2', '2', 'Finestre', 'No Spento', 'Archivia'), (3, 'E3', NULL, 'Rete', 'Test', 'Tratta')");
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], Nome, Modello) VALUES ('000001', 'Dell''Acqua', 'Alfa')");
        area.resize(1000, 700);
        w = new AnagraficaUtenti(ctx);
        sub = area.addSubWindow(w);
        area.show();
        w->avvia();
        QVERIFY(QTest::qWaitForWindowActive(&area));
        griglia = c<QTableWidget>("Ingressi");
        mostra("000001");
    }
    template <class T = QLineEdit>
    T* c(const char* nome) const { return comune::controllo<T>(w, nome); }
    void mostra(const QString& codice)
    {
        w->setCodice(codice);
        w->Carica();
    }
    QCheckBox* tutti() const { return c<QCheckBox>("VisualTutto"); }
    void clicCella(int riga, int colonna) { comune::clicCella(griglia, riga, colonna); }
    QString cella(int riga, int colonna) const { return comune::testoCella(griglia, riga, colonna); }
    QStringList colonna(int c) const { return comune::testiColonna(griglia, c); }
};

} // namespace

class TestIngressi : public QObject {
    Q_OBJECT

private slots:
    void visteTuttiEInUso()
    {
        namespace vista = registry::vista;
        // An edited input in use keeps its cells when the others come back.
        auto r = vista::tutti(vista::vuota(), tipo({1, 2, 3}));
        r[1].uso = "Si";
        r[1].desEvento = "Finestre retro";
        r = vista::tutti(vista::inUso(r), tipo({1, 2, 3}));
        QCOMPARE(chiavi(r), QStringList({"No1", "Si2", "No3"}));
        QCOMPARE(r[1].desEvento, QString("Finestre retro"));
        // A kept input the type no longer offers does not hide the next ones,
        // and a row the operator typed in is not thrown away as empty.
        RigaIngresso vecchio{"Si", "X", "", "", "", "", "", 2};
        RigaIngresso scritto{"", "Z9", "", "", "", "", "", std::nullopt};
        QCOMPARE(chiavi(vista::tutti({vecchio, scritto}, tipo({1, 3}))), QStringList({"No1", "Si2", "No3", "-"}));
    }

    void righeInUsoConservateConLUtente()
    {
        comune::Banco b;
        registry::IngressiUtente kept(*b.db);
        QCOMPARE(kept.leggi("000001"), registry::vista::vuota());

        const QString strano = QStringLiteral("'\"; -- 50%_ àèìòù ") + QString(180, QChar(0x00f9));
        QList<RigaIngresso> righe{{"No", "E1", "1", "Porta", "Allarme", "Tratta", "0", 1},
                                  {"Si", "E2", "2", strano, "No Spento", "Archivia", "", 2},
                                  {"Si", "Z9", "", "Scritto a mano", "", "", "12", std::nullopt}};
        registry::SchedaUtente s = registry::Utenti::nuova("000001", QDate(2026, 3, 2));
        s.modello = "Alfa";
        registry::Utenti(*b.db).salva(s, false, b.orologio.adesso(), &righe);
        QCOMPARE(kept.leggi("000001"), (QList<RigaIngresso>{righe[1], righe[2]}));
        QCOMPARE(kept.leggi("000002"), registry::vista::vuota());
        registry::Utenti(*b.db).elimina("000001");
        QCOMPARE(b.conta("SELECT count(*) FROM IngressiUtente"), 0);
    }

    void tabellaNellaSchedaUtente()
    {
        Banco b;
        QVERIFY(!b.tutti()->isChecked());
        QCOMPARE(b.griglia->rowCount(), 1);
        QTest::mouseClick(b.tutti(), Qt::LeftButton, {}, QPoint(b.tutti()->width() - 8, b.tutti()->height() / 2));
        QVERIFY(b.tutti()->isChecked());
        QCOMPARE(b.colonna(0), QStringList({"No", "No", "No"}));
        QCOMPARE(b.colonna(6), QStringList({"0", "0", "0"}));
        QCOMPARE(b.colonna(2), QStringList({"1", "2", ""}));
        QVERIFY(b.w->modificato());

        // The second in use: light green; then the in-use view and back.
        b.clicCella(1, 0);
        auto* check = b.c<QCheckBox>("Check1");
        QVERIFY(check->isVisible());
        QTest::keyClick(check, Qt::Key_Space);
        QCOMPARE(b.cella(1, 0), QString("Si"));
        QCOMPARE(b.griglia->item(1, 0)->background().color(), QColor(192, 255, 192));
        b.w->ganci().VisualTutto(false);
        QCOMPARE(b.colonna(1), QStringList({"E2"}));
        b.w->ganci().VisualTutto(true);
        b.w->ganci().VisualTutto(true);
        QCOMPARE(b.colonna(1), QStringList({"E1", "E2", "E3"}));
        QCOMPARE(b.colonna(0), QStringList({"No", "Si", "No"}));

        // Column 6 of an "Archivia" row opens the treatment list; Enter from
        // the treatment goes to the number only for "Tratta".
        b.clicCella(1, 6);
        QVERIFY(b.c<QComboBox>("Combo2")->isVisible());
        QCOMPARE(b.c<QComboBox>("Combo2")->currentText(), QString("Archivia"));
        QTest::keyClick(b.c<QComboBox>("Combo2"), Qt::Key_Return);
        QVERIFY(b.c("Text2")->isVisible());
        // What is typed replaces the number shown; letters cannot be typed.
        b.clicCella(0, 6);
        QLineEdit* numero = b.c("Text3");
        QVERIFY(numero->isVisible());
        comune::tasti(numero, "a1b2è");
        QCOMPARE(b.cella(0, 6), QString("12"));

        // Saved with the record, shown in use when it is loaded again.
        comune::premi(b.w, "Salva");
        QVERIFY(b.msg.voci().isEmpty());
        comune::premi(b.w, "Annulla");   // reads the stored record again
        QVERIFY(!b.tutti()->isChecked());
        QCOMPARE(b.colonna(1), QStringList({"E2"}));
        QVERIFY(!b.w->modificato());

        // Kept rows that could not be read are not replaced by a save.
        b.db->esegui("ALTER TABLE IngressiUtente RENAME TO Altrove");
        comune::premi(b.w, "Annulla");
        QCOMPARE(b.msg.voci().size(), 1);
        b.msg.svuota();
        b.db->esegui("ALTER TABLE Altrove RENAME TO IngressiUtente");
        comune::premi(b.w, "Salva");
        QCOMPARE(b.conta("SELECT count(*) FROM IngressiUtente"), 1);
        comune::premi(b.w, "Annulla");

        // Every row "No": one empty row.
        b.w->ganci().VisualTutto(true);
        b.clicCella(1, 0);
        QTest::keyClick(b.c<QCheckBox>("Check1"), Qt::Key_Space);
        b.w->ganci().VisualTutto(false);
        QCOMPARE(b.colonna(0), QStringList({""}));

        // Without a type nothing changes and the record stays unmodified.
        comune::premi(b.w, "Annulla");
        b.c<QComboBox>("Periferiche")->setCurrentIndex(0);
        QVERIFY(!b.w->modificato());
        QTest::mouseClick(b.tutti(), Qt::LeftButton, {}, QPoint(b.tutti()->width() - 8, b.tutti()->height() / 2));
        QCOMPARE(b.colonna(1), QStringList({"E2"}));
        QVERIFY(!b.w->modificato());

        // A type name typed and not saved offers nothing, without an error.
        b.c<QComboBox>("Periferiche")->setEditText("Sconosciuto");
        b.w->ganci().VisualTutto(false);
        b.w->ganci().VisualTutto(true);
        QCOMPARE(b.colonna(1), QStringList({"E2"}));
        QVERIFY(b.msg.voci().isEmpty());
    }
};

QTEST_MAIN(TestIngressi)
#include "tst_ingressi.moc"
