// The store on both engines: every test runs once on a SQLite file and once
// on a database of the tests' PostgreSQL server, with the same SQL and the
// same expectations, the way the console's routines use them.

#include "comune/ServerDatabase.h"
#include "store/Compattazione.h"
#include "store/Identificatori.h"

#include <QtTest>
#include <sqlite3.h>

#include <optional>

using namespace sorvela::store;
using sorvela::comune::DatabaseDiProva;

namespace {

QStringList colonna(RecordSet rs)
{
    QStringList valori;
    for (; !rs.eof(); rs.moveNext())
        valori << rs.campo(0).toString();
    return valori;
}

// What the console's schema consists of, by name, read from the engine's own
// catalog: tables and views with their columns in order, and indexes.
QStringList catalogo(Database& db)
{
    QStringList righe;
    const bool server = db.suServer();
    const QStringList tabelle = colonna(db.apriRecordSet(
        server ? "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
                 "AND table_type = 'BASE TABLE' ORDER BY table_name COLLATE \"C\""
               : "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name"));
    const QStringList viste = colonna(db.apriRecordSet(
        server ? "SELECT table_name FROM information_schema.views WHERE table_schema = current_schema() "
                 "ORDER BY table_name COLLATE \"C\""
               : "SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY name"));
    for (const QString& t : tabelle + viste) {
        righe << (viste.contains(t) ? "vista " : "tabella ") + t + ": "
                     + colonna(db.apriRecordSet(
                                   // The server's "rowid" columns stand for SQLite's hidden one.
                                   server ? "SELECT column_name FROM information_schema.columns WHERE table_schema = "
                                            "current_schema() AND table_name = ? AND column_name <> 'rowid' "
                                            "ORDER BY ordinal_position"
                                          : "SELECT name FROM pragma_table_xinfo(?) ORDER BY cid",
                                   {t}))
                           .join(", ");
    }
    // SQLite's automatic indexes (primary keys, UNIQUE) are the server's
    // constraint indexes: only the ones the schema names are compared.
    for (const QString& i : colonna(db.apriRecordSet(
             server ? "SELECT c.relname FROM pg_class c JOIN pg_index x ON x.indexrelid = c.oid "
                      "WHERE c.relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema()) "
                      "AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = c.oid) "
                      "ORDER BY c.relname COLLATE \"C\""
                    : "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL ORDER BY name")))
        righe << "indice " + i;
    return righe;
}

} // namespace

class TestMotori : public QObject {
    Q_OBJECT

    std::optional<DatabaseDiProva> m_p;
    Database* m_db = nullptr;

    bool suServer() const { return m_p->nomeServer.size() > 0; }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("server");
        QTest::newRow("sqlite") << false;
        QTest::newRow("postgresql") << true;
    }

    void init()
    {
        QFETCH_GLOBAL(bool, server);
        try {
            m_p.emplace(server, true);
        } catch (const ErroreDatabase& e) {
            QFAIL(e.what());
        }
        QVERIFY2(m_p->errore.isEmpty(), qPrintable(m_p->errore));
        m_db = m_p->db.get();
    }
    void cleanup() { m_p.reset(); }

    void iValoriTornanoComeScritti()
    {
        const QDateTime quando(QDate(2026, 3, 2), QTime(10, 5, 7));
        auto u = m_db->apriRecordSet("DatiUtente");
        u.addNew();
        u.setCampo("Codice periferica", "D'A01");
        u.setCampo("Nome", "Dell'Acqua Anna");
        u.setCampo("città", "Forlì");
        u.setCampo("Monitoraggio", true);
        u.setCampo("Periodo", 2.5);
        u.setCampo("Installazione", QDate(2024, 2, 29));
        u.setCampo("Ultima interrogazione", quando);
        u.setCampo("Note", QString());
        u.setCampo("Ragione sociale", QVariant());
        u.update();

        auto rs = m_db->apriRecordSet("SELECT * FROM DatiUtente WHERE [Nome] = ?", {"Dell'Acqua Anna"});
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.campo("Codice periferica"), QVariant("D'A01"));
        QCOMPARE(rs.campo("CITTÀ"), QVariant("Forlì"));
        QCOMPARE(rs.campo("Monitoraggio"), QVariant(true));
        QCOMPARE(rs.campo("Tipo utente"), QVariant(false));
        QCOMPARE(rs.campo("Periodo"), QVariant(2.5));
        QCOMPARE(rs.campo("Installazione"), QVariant(QDate(2024, 2, 29)));
        QCOMPARE(rs.campo("Ultima interrogazione"), QVariant(quando));
        QVERIFY(!rs.campo("Note").isNull());
        QCOMPARE(rs.campo("Note"), QVariant(QString()));
        QVERIFY(rs.campo("Ragione sociale").isNull());
        QVERIFY(rs.campo("Scadenza carta").isNull());

        // Values bound to every kind of column, compared by the engine.
        QCOMPARE(m_db->valore("SELECT count(*) FROM DatiUtente WHERE Monitoraggio = ? AND Installazione = ? "
                              "AND [Ultima interrogazione] = ? AND Periodo > ? AND Note = ? AND Nome LIKE ?",
                              {true, QDate(2024, 2, 29), quando, 2, QString(), "Dell'%"}),
                 QVariant(qlonglong(1)));
        // A "?" inside a text or a quoted name is not a placeholder.
        QCOMPARE(m_db->valore("SELECT 'chi? ' || \"Nome\" || ' [sì]' FROM \"DatiUtente\" WHERE \"Codice periferica\" = ?",
                              {"D'A01"}),
                 QVariant("chi? Dell'Acqua Anna [sì]"));
        QVERIFY(m_db->valore("SELECT Nome FROM DatiUtente WHERE [Codice periferica] = ?", {"nessuno"}).isNull());
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->valore("SELECT Nome FROM DatiUtente WHERE Nome = ?"));
    }

    // Rows found again by rowid on a file, by primary key (one column or
    // two) or ctid on a server, and through the views' triggers.
    void leRigheSiRiscrivonoDoveSono()
    {
        auto u = m_db->apriRecordSet("SELECT * FROM DatiUtente WHERE [Codice periferica] = ?", {"000101"});
        u.edit();
        u.setCampo("Città", "Fiesole");
        u.setCampo("Scadenza segnalata", true);
        u.update();
        QCOMPARE(m_db->righeModificate(), 1);
        QCOMPARE(m_db->valore("SELECT [Città] FROM DatiUtente WHERE [Scadenza segnalata] = ?", {true}),
                 QVariant("Fiesole"));

        // No key at all: the same row twice in a row, though the server
        // moves it on every update.
        auto m = m_db->apriRecordSet("SELECT * FROM Matricole WHERE [Codice periferica] = ?", {"000102"});
        for (const char* nuova : {"111111", "222222"}) {
            m.edit();
            m.setCampo("Matricola", nuova);
            m.update();
        }
        QCOMPARE(colonna(m_db->apriRecordSet("SELECT Matricola FROM Matricole WHERE [Codice periferica] = '000102'")),
                 QStringList{"222222"});
        QCOMPARE(m_db->valore("SELECT count(*) FROM Matricole"), QVariant(qlonglong(5)));

        // A two-column key, the key itself changed and then written again.
        m_db->esegui("INSERT INTO IngressiUtente ([Codice periferica], Posizione, Zona) VALUES (?, ?, ?)", {"000101", 1, "1"});
        m_db->esegui("INSERT INTO IngressiUtente ([Codice periferica], Posizione, Zona) VALUES (?, ?, ?)", {"000101", 2, "2"});
        auto ing = m_db->apriRecordSet("SELECT * FROM IngressiUtente WHERE Posizione = ?", {2});
        ing.edit();
        ing.setCampo("Posizione", 3);
        ing.update();
        ing.edit();
        ing.setCampo("Zona", "tre");
        ing.update();
        QCOMPARE(colonna(m_db->apriRecordSet("SELECT Zona FROM IngressiUtente ORDER BY Posizione")),
                 (QStringList{"1", "tre"}));

        // Through a view: archiving from the queue writes the event.
        auto coda = m_db->apriRecordSet("Coda Query");
        QCOMPARE(coda.recordCount(), 1);
        const QVariant id = coda.campo("ID");
        coda.edit();
        coda.setCampo("Archiviato", true);
        coda.update();
        QCOMPARE(m_db->valore("SELECT Archiviato FROM ArchivioEventi WHERE ID = ?", {id}), QVariant(true));
        QCOMPARE(colonna(m_db->apriRecordSet("SELECT count(*) FROM [Coda Query]")), QStringList{"2"});
        auto tipi = m_db->apriRecordSet("F_PeriferichePredefinite");
        tipi.moveNext();
        tipi.edit();
        tipi.setCampo("Predefinita", true);
        tipi.update();
        QCOMPARE(m_db->valore("SELECT count(*) FROM TipoPeriferica WHERE Predefinita = ?", {true}),
                 QVariant(qlonglong(2)));

        // A new row gets the next key; a join is read-only.
        auto ev = m_db->apriRecordSet("ArchivioEventi");
        ev.addNew();
        ev.setCampo("Codice periferica", "000101");
        ev.setCampo("Data e ora", QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
        ev.update();
        QCOMPARE(m_db->valore("SELECT max(ID) FROM ArchivioEventi"), QVariant(qlonglong(9)));
        QCOMPARE(m_db->valore("SELECT Data FROM ArchivioEventi WHERE ID = ?", {9}), QVariant(QDate(2026, 1, 1)));
        auto join = m_db->apriRecordSet(
            "SELECT m.Matricola, u.Nome FROM Matricole m JOIN DatiUtente u ON u.[Codice periferica] = m.[Codice periferica]");
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, join.edit());
    }

    // A failed statement undoes itself and leaves the transaction open; the
    // transaction is undone as a whole when not confirmed.
    void transazioni()
    {
        {
            Transazione t(*m_db);
            m_db->esegui("INSERT INTO Matricole VALUES (?, ?)", {"999", "000101"});
            try {
                m_db->esegui("INSERT INTO DatiUtente ([Codice periferica]) VALUES (?)", {"000101"});
                QFAIL("a duplicate subscriber code was accepted");
            } catch (const ErroreDatabase& e) {
                QCOMPARE(e.codice() & 0xff, SQLITE_CONSTRAINT);
            }
            QVERIFY(m_db->inTransazione());
            QCOMPARE(m_db->valore("SELECT count(*) FROM Matricole WHERE Matricola = '999'"), QVariant(qlonglong(1)));
            QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->inizia());
        }
        QVERIFY(!m_db->inTransazione());
        QCOMPARE(m_db->valore("SELECT count(*) FROM Matricole WHERE Matricola = '999'"), QVariant(qlonglong(0)));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->conferma());

        Transazione t(*m_db);
        m_db->esegui("UPDATE DatiUtente SET Nome = ? WHERE Nome LIKE ?", {"X", "%e%"});
        QCOMPARE(m_db->righeModificate(), 3);
        t.conferma();
        QCOMPARE(m_db->valore("SELECT count(*) FROM DatiUtente WHERE Nome = 'X'"), QVariant(qlonglong(3)));

        // One statement that adds or rewrites a row, in the form both accept.
        for (const char* attivita : {"lettura", ""}) {
            m_db->esegui("INSERT INTO \"StatoRicevitore\" (\"Nome\", \"Attività\") VALUES (?, ?) "
                         "ON CONFLICT (\"Nome\") DO UPDATE SET \"Attività\" = excluded.\"Attività\"",
                         {"Dell'Acqua", attivita});
        }
        QCOMPARE(m_db->valore("SELECT count(*) || '|' || max([Attività]) FROM StatoRicevitore"), QVariant("1|"));

        // The record of operations refuses changes on both engines.
        m_db->esegui("INSERT INTO RegistroOperazioni ([Data e ora], Operatore, Azione) VALUES (?, ?, ?)",
                     {QDateTime::currentDateTime(), "Dell'Acqua", "prova"});
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->esegui("UPDATE RegistroOperazioni SET Azione = 'altro'"));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->esegui("DELETE FROM RegistroOperazioni"));
    }

    // The server drops the connection: the call in progress fails as any
    // other database error, and the next one finds the server again.
    void connessionePersa()
    {
        if (!suServer())
            QSKIP("solo su un server");
        auto rs = m_db->apriRecordSet("DatiUtente");
        m_db->inizia();
        m_db->esegui("DELETE FROM Matricole");
        QCOMPARE(m_p->interrompiConnessioni(), QString());
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->valore("SELECT count(*) FROM DatiUtente"));
        QVERIFY(!m_db->inTransazione());
        m_db->annulla();
        // The rows already read stay readable; a write finds the server again.
        QCOMPARE(rs.campo("Codice periferica"), QVariant("000101"));
        rs.edit();
        rs.setCampo("Nome", "Di nuovo");
        rs.update();
        QCOMPARE(m_db->valore("SELECT count(*) FROM Matricole"), QVariant(qlonglong(5)));
        QCOMPARE(m_db->valore("SELECT Nome FROM DatiUtente WHERE [Codice periferica] = '000101'"), QVariant("Di nuovo"));
    }

    void aperturaECreazioneRifiutanoIlDatabaseSbagliato()
    {
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::crea(m_p->url, false));
        if (!suServer())
            return;  // the file's cases: tst_store_recordset
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::apri(sorvela::comune::serverDiProva() + " dbname=postgres"));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::apri(sorvela::comune::serverDiProva() + " dbname=inesistente"));
    }

    // On a server "Compatta database" is the server's VACUUM (ANALYZE) of the
    // console's tables, the input tables included, and of nothing else.
    void compattazioneSulServerRiordinaSoloLeProprieTabelle()
    {
        if (!suServer())
            QSKIP("sul file: tst_compattazione");
        m_db->esegui("CREATE TABLE \"Di un altro\" (x integer)");
        Compattazione c(m_p->dir.path(), m_db);
        std::optional<EsitoCompattazione> esito;
        connect(&c, &Compattazione::finita, this, [&](const EsitoCompattazione& e) { esito = e; });
        c.avvia();
        QTRY_VERIFY_WITH_TIMEOUT(esito.has_value(), 30000);
        QVERIFY2(esito->riuscita(), qPrintable(esito->dettaglio));
        QVERIFY(esito->riepilogo.contains("tabelle della console"));
        auto riordinata = [this](const char* t) {
            return m_db->valore("SELECT last_vacuum IS NOT NULL AND last_analyze IS NOT NULL FROM pg_stat_user_tables "
                                "WHERE relname = ?", {t}).toBool();
        };
        QTRY_VERIFY(riordinata("ArchivioEventi") && riordinata("Ingressi Vedetta 8") && riordinata("RegistroOperazioni"));
        QVERIFY(!riordinata("Di un altro"));
    }

    // A database of an earlier version gains what was added since.
    void unoSchemaPrecedenteSiAggiorna()
    {
        m_db->esegui("DROP TABLE AvvisiRicevitore");
        m_db->esegui("ALTER TABLE ArchivioEventi DROP COLUMN [Archiviato da]");
        if (suServer()) {
            m_db->esegui("ALTER TABLE Matricole DROP COLUMN rowid");
            m_db->esegui("DROP TRIGGER \"ArchivioEventi annuncia\" ON \"ArchivioEventi\"");
        }
        // The identity was once only looked up before inserting: a message
        // stored twice keeps it on its first event only.
        m_db->esegui("DROP INDEX \"ArchivioEventi Impronta unica\"");
        m_db->esegui("CREATE INDEX \"ArchivioEventi Impronta\" ON \"ArchivioEventi\" (\"Impronta\")");
        for (int i = 0; i < 2; ++i)
            m_db->esegui("INSERT INTO ArchivioEventi ([Codice periferica], [Impronta]) VALUES ('doppio', 'x')");
        m_p->db = Database::apri(m_p->url);
        m_db = m_p->db.get();
        m_db->esegui("INSERT INTO AvvisiRicevitore ([Data e ora], Tipo) VALUES (?, ?)", {QDateTime::currentDateTime(), "stato"});
        QCOMPARE(m_db->valore("SELECT Allarme FROM AvvisiRicevitore"), QVariant(false));
        QVERIFY(m_db->valore("SELECT max([Archiviato da]) FROM ArchivioEventi").isNull());
        QCOMPARE(m_db->valore("SELECT count(rowid) FROM Matricole"), m_db->valore("SELECT count(*) FROM Matricole"));
        QCOMPARE(m_db->valore("SELECT min(ID) FROM ArchivioEventi WHERE Impronta = 'x'"),
                 m_db->valore("SELECT min(ID) FROM ArchivioEventi WHERE [Codice periferica] = 'doppio'"));
        QCOMPARE(m_db->valore("SELECT count(*) FROM ArchivioEventi WHERE [Codice periferica] = 'doppio' "
                              "AND Impronta IS NULL").toInt(), 1);
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->esegui("INSERT INTO ArchivioEventi ([Impronta]) VALUES ('x')"));
        if (suServer())
            QCOMPARE(m_db->valore("SELECT count(*) FROM pg_trigger WHERE tgname = 'ArchivioEventi annuncia'").toInt(), 1);
    }

    // Both engines hold the same tables, columns, views and indexes.
    void stessoCatalogoSuEntrambi()
    {
        if (!suServer())
            QSKIP("confrontato nella riga del server");
        DatabaseDiProva file(false, true);
        QCOMPARE(catalogo(*m_db), catalogo(*file.db));
        // A table named by the catalog's data reaches SQL only when it is a
        // table of the schema, spelled as the server spells it.
        QCOMPARE(tabellaVerificata(*m_db, "ingressi VEDETTA 8"), std::optional<QString>("\"Ingressi Vedetta 8\""));
        QCOMPARE(tabellaVerificata(*m_db, "Coda Query"), std::nullopt);
        QCOMPARE(tabellaVerificata(*m_db, "pg_class"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestMotori)
#include "tst_store_motori.moc"
