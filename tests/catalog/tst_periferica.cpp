// The catalog window driven as the operator drives it: lists, clicks on the
// inputs grid and keys in its editors, over a real database file, with
// scripted message boxes; under it the catalog logic: lists by position, a
// type's inputs, damage in the catalog, saving a type in one transaction.

#include "catalog/Periferica.h"
#include "catalog/Periferiche.h"
#include "comune/Banco.h"
#include "comune/Griglie.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableWidget>

using namespace sorvela;
using catalog::Catalogo;
using comune::tasti;

namespace {

const QString SalvaModifiche = QStringLiteral("Sono state apportate delle modifiche, le si vuole salvare?");
// Quotes, a statement end, a comment, LIKE wildcards and accented letters.
const QString Insidioso = QStringLiteral("'\"; -- 50%_ Perché è già così");

// Types Alfa (three inputs), Beta (none: "*") and Gamma (one input); two
// protocols. `predefinita` marks Alfa as the default type.
struct Banco : comune::Banco {
    QMdiArea area;
    Periferica* w = nullptr;
    QTableWidget* griglia = nullptr;

    explicit Banco(bool predefinita = true)
    {
        db->esegui("INSERT INTO TipoProtocolli VALUES (1, 'SMS testo'), (2, 'Contact ID')");
        db->esegui("INSERT INTO TipoPeriferica VALUES (1, 'Alfa', 'Combinatore', 1, ?, 'Ingressi Alfa'), "
                   "(2, 'Beta', '*', 0, 0, '*'), (3, 'Gamma', 'Telemisura', 2, 0, 'Ingressi Gamma')",
                   {predefinita});
        db->esegui("CREATE TABLE [Ingressi Alfa] (Contatore INTEGER PRIMARY KEY, CodiceEvento TEXT, Zona TEXT, "
                   "DesEvento TEXT, TipoEvento TEXT, Trattamento TEXT)");
        db->esegui("CREATE TABLE [Ingressi Gamma] (Contatore INTEGER PRIMARY KEY, CodiceEvento TEXT, Zona TEXT, "
                   "DesEvento TEXT, TipoEvento TEXT, Trattamento TEXT)");
        db->esegui("INSERT INTO [Ingressi Alfa] VALUES (1, 'E1', '1', 'Porta', 'Allarme ', 'Tratta'), "
                   "(2, 'E2', '2', 'Finestre', 'No Spento', 'Archivia'), (3, 'R1', '1', 'Ripristino', 'Boh', 'Tratta')");
        db->esegui("INSERT INTO [Ingressi Gamma] VALUES (1, 'T1', '0', 'Temperatura', 'Allarme ', 'Tratta')");
        area.resize(900, 600);
        area.show();
        QVERIFY(QTest::qWaitForWindowActive(&area));
    }

    void apri()
    {
        w = new Periferica(ctx);
        w->setAttribute(Qt::WA_DeleteOnClose);
        area.addSubWindow(w);
        w->avvia();
        griglia = c<QTableWidget>("Ingressi");
    }

    template <class T = QLineEdit>
    T* c(const char* nome) const { return comune::controllo<T>(w, nome); }
    QComboBox* tipi() const { return c<QComboBox>("Periferiche"); }
    QComboBox* protocollo() const { return c<QComboBox>("Protocollo"); }
    void clicCella(int riga, int colonna) { comune::clicCella(griglia, riga, colonna); }
    QString cella(int riga, int colonna) const { return comune::testoCella(griglia, riga, colonna); }
    QString campo(const QString& sql, const QVariantList& p = {}) const { return db->valore(sql, p).toString(); }
    void premi(const char* nome) { comune::premi(w, nome); }
};

// Two types with inputs, a type added from the subscriber window ("*"), one
// whose table is gone, and a protocol list with a hole at 2.
struct BancoCatalogo : comune::Banco {
    BancoCatalogo()
    {
        db->esegui("INSERT INTO TipoProtocolli VALUES (1, 'SMS'), (3, 'Contact ID')");
        db->esegui("INSERT INTO TipoPeriferica VALUES (1, 'Alfa', 'Primo', 1, 1, 'Ingressi Alfa'), "
                   "(2, 'Beta', 'Secondo', 3, 1, 'Ingressi Beta'), (3, 'Nuovo', '*', 0, 0, '*'), "
                   "(4, 'Perso', 'x', 0, 0, 'Tabella sparita')");
        db->esegui("CREATE TABLE [Ingressi Alfa] (Contatore INTEGER, CodiceEvento TEXT, Zona TEXT, DesEvento TEXT, "
                   "TipoEvento TEXT, Trattamento TEXT)");
        db->esegui("CREATE TABLE [Ingressi Beta] (Contatore INTEGER, CodiceEvento TEXT, Zona TEXT, DesEvento TEXT, "
                   "TipoEvento TEXT, Trattamento TEXT)");
        db->esegui("INSERT INTO [Ingressi Alfa] VALUES (1, 'E1', '1', 'Porta', 'Allarme ', 'Tratta'), "
                   "(2, 'E2', '2', NULL, 'Test', 'Archivia')");
    }
};

} // namespace

class TestPeriferica : public QObject {
    Q_OBJECT

private slots:
    void senzaPredefinitaSegnapostiESceltaDelTipo()
    {
        Banco b(false);
        b.apri();
        QCOMPARE(b.tipi()->currentText(), QString("Nessuna"));
        QCOMPARE(b.tipi()->itemText(3), QString("Gamma"));
        for (const char* n : {"Protocollo", "Descrizione", "Predefinita", "Ingressi"})
            QVERIFY2(!b.w->findChild<QWidget*>(n)->isEnabled(), n);
        // "Nessuna" with nothing shown before stays "Nessuna".
        b.tipi()->setCurrentIndex(0);
        QCOMPARE(b.tipi()->currentIndex(), 0);

        b.tipi()->setCurrentIndex(1);
        QVERIFY(b.c("Descrizione")->isEnabled());
        QCOMPARE(b.c("Descrizione")->text(), QString("Combinatore"));
        QCOMPARE(b.protocollo()->currentText(), QString("SMS testo"));
        QCOMPARE(b.griglia->rowCount(), 3);
        QVERIFY(!b.w->modificato());

        // The placeholders snap back and keep what is on screen.
        b.clicCella(0, 2);
        QTest::keyClick(b.c("Text2"), Qt::Key_End);
        tasti(b.c("Text2"), "!");
        b.tipi()->setCurrentIndex(0);
        QCOMPARE(b.tipi()->currentText(), QString("Alfa"));
        QCOMPARE(b.cella(0, 2), QString("Porta!"));
        b.protocollo()->setCurrentIndex(0);
        QCOMPARE(b.protocollo()->currentText(), QString("SMS testo"));
        QVERIFY(b.msg.voci().isEmpty());

        // A type without inputs shows only the header, right after three.
        b.msg.rispondi(Risposta::No);
        b.tipi()->setCurrentIndex(2);
        QCOMPARE(b.griglia->rowCount(), 0);
        QCOMPARE(b.protocollo()->currentText(), QString("Nessuno"));
        QCOMPARE(b.campo("SELECT DesEvento FROM [Ingressi Alfa] WHERE Contatore = 1"), QString("Porta"));
    }

    void cambioDiTipoConModificheScriveNelTipoPrecedente()
    {
        Banco b;
        b.apri();
        QCOMPARE(b.tipi()->currentText(), QString("Alfa"));
        QVERIFY(b.c<QCheckBox>("Predefinita")->isChecked());
        b.clicCella(1, 0);
        QLineEdit* codice = b.c("Text1");
        QVERIFY(codice->isVisible());
        codice->selectAll();
        tasti(codice, "X12345");
        QCOMPARE(b.cella(1, 0), QString("X12"));
        b.protocollo()->setCurrentIndex(2);
        b.msg.rispondi(Risposta::Si);
        b.tipi()->setCurrentIndex(3);
        QCOMPARE(b.msg.testi(), QStringList{SalvaModifiche});
        QCOMPARE(b.campo("SELECT CodiceEvento FROM [Ingressi Alfa] WHERE Contatore = 2"), QString("X12"));
        QCOMPARE(b.campo("SELECT Protocollo FROM TipoPeriferica WHERE IDPeriferica = 1"), QString("2"));
        QCOMPARE(b.campo("SELECT CodiceEvento FROM [Ingressi Gamma] WHERE Contatore = 1"), QString("T1"));
        QCOMPARE(b.campo("SELECT Protocollo FROM TipoPeriferica WHERE IDPeriferica = 3"), QString("2"));
        QCOMPARE(b.cella(0, 0), QString("T1"));
        QVERIFY(!b.c<QCheckBox>("Predefinita")->isChecked());
        QVERIFY(!b.w->modificato());

        // The default box: saving Gamma as default clears Alfa's mark.
        QTest::mouseClick(b.c<QCheckBox>("Predefinita"), Qt::LeftButton);
        QVERIFY(b.w->modificato());
        b.premi("Salva");
        QCOMPARE(b.campo("SELECT group_concat(PerifericaTipo) FROM TipoPeriferica WHERE Predefinita <> 0"),
                 QString("Gamma"));
        b.tipi()->setCurrentIndex(1);
        QVERIFY(!b.c<QCheckBox>("Predefinita")->isChecked());
    }

    void descrizioneSenzaDomandaESalvataggioFedele()
    {
        Banco b;
        b.db->esegui("UPDATE [Ingressi Alfa] SET DesEvento = ? WHERE Contatore = 3", {QString(200, QChar(0x00e8))});
        b.apri();
        QLineEdit* descrizione = b.c("Descrizione");
        descrizione->selectAll();
        tasti(descrizione, Insidioso);
        QVERIFY(!b.w->modificato());
        b.tipi()->setCurrentIndex(2);   // no question
        QVERIFY(b.msg.voci().isEmpty());
        QCOMPARE(b.campo("SELECT DesPeriferica FROM TipoPeriferica WHERE IDPeriferica = 1"), QString("Combinatore"));

        b.tipi()->setCurrentIndex(1);
        descrizione->selectAll();
        tasti(descrizione, Insidioso);
        b.clicCella(0, 2);
        QLineEdit* nome = b.c("Text2");
        nome->selectAll();
        tasti(nome, Insidioso);
        // The 200-character name is edited whole, not cut to the limit.
        b.clicCella(2, 2);
        QCOMPARE(nome->text().size(), 200);
        b.premi("Salva");
        QCOMPARE(b.campo("SELECT DesPeriferica FROM TipoPeriferica WHERE IDPeriferica = 1"), Insidioso);
        QCOMPARE(b.campo("SELECT DesEvento FROM [Ingressi Alfa] WHERE Contatore = 1"), Insidioso);
        QCOMPARE(b.campo("SELECT DesEvento FROM [Ingressi Alfa] WHERE Contatore = 3"), QString(200, QChar(0x00e8)));
        QVERIFY(b.msg.voci().isEmpty());
    }

    void editoriInRigaEElenchiRiconosciuti()
    {
        Banco b;
        b.apri();
        b.clicCella(1, 1);   // the zone: no editor
        for (const char* e : {"Text1", "Text2", "Combo1", "Combo2"})
            QVERIFY2(!b.w->findChild<QWidget*>(e)->isVisible(), e);
        b.clicCella(1, 3);
        auto* tipo = b.c<QComboBox>("Combo1");
        QVERIFY(tipo->isVisible());
        QCOMPARE(tipo->currentText(), QString("No Spento"));
        // Unrecognised: the list keeps the item it showed last.
        b.clicCella(2, 3);
        QCOMPARE(tipo->currentText(), QString("No Spento"));
        QCOMPARE(b.cella(2, 3), QString("Boh"));
        QVERIFY(!b.w->modificato());

        // Enter: code, description, kind, treatment, and back to the code of
        // the same row; never the zone.
        b.clicCella(1, 0);
        QList<int> giro;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            giro << b.w->colonnaInModifica();
            QCOMPARE(b.w->rigaInModifica(), 1);
        }
        QCOMPARE(giro, QList<int>({2, 3, 4, 0, 2}));

        // A choice in the list is the cell's text, the trailing blank too.
        b.clicCella(1, 3);
        QTest::keyClick(tipo, Qt::Key_Home);
        QCOMPARE(b.cella(1, 3), QString("Allarme "));
        QVERIFY(b.w->modificato());
        b.msg.rispondi(Risposta::Annulla);
        QVERIFY(!b.area.subWindowList().first()->close());
        b.premi("Annulla");
        QCOMPARE(b.cella(1, 3), QString("No Spento"));
    }

    void catalogoDanneggiatoDettoEApribile()
    {
        Banco b;
        b.db->esegui("UPDATE TipoPeriferica SET IDPeriferica = 5 WHERE IDPeriferica = 3");
        b.db->esegui("UPDATE [Ingressi Alfa] SET Contatore = 7 WHERE Contatore = 2");
        b.apri();
        QCOMPARE(b.msg.voci().size(), 2);
        QVERIFY(b.msg.testi()[0].contains("manca l'identificativo 3, 4"));
        QVERIFY(b.msg.testi()[1].contains("Ingressi Alfa"));
        QCOMPARE(b.tipi()->itemText(5), QString("Gamma"));
        QCOMPARE(b.griglia->rowCount(), 3);
        // A gap in the list is no type: it snaps back like the placeholder.
        b.tipi()->setCurrentIndex(4);
        QCOMPARE(b.tipi()->currentText(), QString("Alfa"));
    }

    void elenchiPerPosizioneEDanni()
    {
        BancoCatalogo b;
        Catalogo c(*b.db);
        const auto tipi = c.tipi("Nessuna");
        QCOMPARE(tipi.voci, QStringList({"Nessuna", "Alfa", "Beta", "Nuovo", "Perso"}));
        QVERIFY(tipi.danni.isEmpty());
        const auto prot = c.protocolli("Nessuno");
        QCOMPARE(prot.voci, QStringList({"Nessuno", "SMS", "", "Contact ID"}));
        QCOMPARE(prot.danni, QStringList{"Protocolli: manca l'identificativo 2."});
        // The last marked row in table order is the default.
        QCOMPARE(c.predefinita()->nome, QString("Beta"));

        // An absurd identifier gets no place (and no million empty ones).
        b.db->esegui("INSERT INTO TipoProtocolli VALUES (5000000, 'Fuori'), (-1, 'Negativo')");
        const auto danneggiati = c.protocolli("Nessuno");
        QCOMPARE(danneggiati.voci.size(), 4);
        QVERIFY(danneggiati.danni.join(' ').contains("fuori dall'intervallo"));
    }

    void ingressiDiTabelleEsistentiENumerazioneRovinata()
    {
        BancoCatalogo b;
        Catalogo c(*b.db);
        const auto alfa = c.ingressiDelTipo("Alfa");
        QCOMPARE(alfa.righe.size(), 2);
        QCOMPARE(alfa.righe[1].desEvento, QString());
        QVERIFY(alfa.danni.isEmpty());
        // "*", a vanished table, an unknown type: no inputs and no error.
        QVERIFY(c.ingressiDelTipo("Nuovo").righe.isEmpty());
        QVERIFY(c.ingressiDelTipo("Perso").righe.isEmpty());
        QVERIFY(c.ingressiDelTipo("Nessun tipo così").righe.isEmpty());

        // Counters 1, 3, 3: reported, and saving writes each row into itself.
        b.db->esegui("INSERT INTO [Ingressi Beta] VALUES (3, 'B3', '3', 'Terzo', 'Test', 'Tratta'), "
                     "(1, 'B1', '1', 'Primo', 'Test', 'Tratta'), (3, 'B3bis', '3', 'Doppio', 'Test', 'Tratta')");
        auto beta = c.ingressiDelTipo("Beta");
        QCOMPARE(beta.righe.size(), 3);
        QCOMPARE(beta.danni.size(), 1);
        beta.righe[1].desEvento = "Terzo cambiato";
        beta.righe[2].desEvento = "Doppio cambiato";
        QVERIFY(c.salva(*c.tipo(2), beta.righe));
        QCOMPARE(b.db->valore("SELECT group_concat(DesEvento, '|') FROM (SELECT DesEvento FROM [Ingressi Beta] "
                              "ORDER BY rowid)").toString(),
                 QString("Terzo cambiato|Primo|Doppio cambiato"));
    }

    void salvataggioInUnaTransazione()
    {
        BancoCatalogo b;
        Catalogo c(*b.db);
        auto alfa = *c.tipo("Alfa");
        auto righe = c.ingressi(alfa.tabella).righe;
        alfa.descrizione = "Nuova descrizione";
        alfa.protocollo = 3;
        alfa.predefinita = true;
        righe[0].desEvento = "Porta d'ingresso";

        // An input row the database refuses: nothing of the save remains.
        b.db->esegui("CREATE TRIGGER rifiuta BEFORE UPDATE ON [Ingressi Alfa] WHEN NEW.Contatore = 2 "
                     "BEGIN SELECT RAISE(ABORT, 'rifiutato'); END");
        QVERIFY_THROWS_EXCEPTION(store::ErroreDatabase, c.salva(alfa, righe));
        QCOMPARE(c.tipo("Alfa")->descrizione, QString("Primo"));
        QCOMPARE(b.conta("SELECT count(*) FROM TipoPeriferica WHERE Predefinita <> 0"), 2);
        QCOMPARE(c.ingressi(alfa.tabella).righe[0].desEvento, QString("Porta"));
        QVERIFY(!b.db->inTransazione());

        b.db->esegui("DROP TRIGGER rifiuta");
        QVERIFY(c.salva(alfa, righe));
        QCOMPARE(c.tipo("Alfa")->descrizione, QString("Nuova descrizione"));
        QCOMPARE(c.tipo("Alfa")->protocollo, 3);
        QCOMPARE(b.db->valore("SELECT group_concat(PerifericaTipo) FROM TipoPeriferica WHERE Predefinita <> 0")
                     .toString(),
                 QString("Alfa"));
        QCOMPARE(c.ingressi(alfa.tabella).righe[0].desEvento, QString("Porta d'ingresso"));
    }
};

QTEST_MAIN(TestPeriferica)
#include "tst_periferica.moc"
