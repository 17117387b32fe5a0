// The catalog logic on a real database file: lists by position, a type's
// inputs, damage in the catalog, and saving a type in one transaction.

#include "catalog/Periferiche.h"
#include "comune/Banco.h"

using namespace sorvela;
using catalog::Catalogo;

namespace {

// Two types with inputs, a type added from the subscriber window ("*"), one
// whose table is gone, and a protocol list with a hole at 2.
struct Banco : comune::Banco {
    Banco()
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

class TestPeriferiche : public QObject {
    Q_OBJECT

private slots:
    void elenchiPerPosizioneEDanni()
    {
        Banco b;
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
        Banco b;
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
        Banco b;
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

QTEST_GUILESS_MAIN(TestPeriferiche)
#include "tst_periferiche.moc"
