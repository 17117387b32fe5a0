// Record sets and transactions on a real database file, the way the
// console's routines use them.

#include "comune/FileDatabase.h"

#include <QFile>
#include <QtTest>

#include <optional>
#include <sqlite3.h>

using namespace sorvela::store;

class TestRecordSet : public QObject {
    Q_OBJECT

    std::optional<sorvela::comune::FileDatabase> m_f;
    QString m_file;
    Database* m_db = nullptr;

    QByteArray contenutoFile()
    {
        QFile f(m_file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        m_f.emplace(true);
        m_file = m_f->file;
        m_db = m_f->db.get();
    }
    void cleanup() { m_f.reset(); }

    void nullRestaDistintoDalTestoVuoto()
    {
        auto rs = m_db->apriRecordSet("SELECT * FROM DatiUtente WHERE [Codice periferica] = ?", {"000103"});
        QVERIFY(rs.campo("Scadenza carta").isNull());
        QVERIFY(!rs.campo("Ragione sociale").isNull());
        QCOMPARE(rs.campo("Ragione sociale").toString(), QString());

        rs.edit();
        rs.setCampo("Nome", QVariant());
        rs.setCampo("Note", QString());
        rs.setCampo("Scadenza carta", QDate(2027, 1, 31));
        // An invalid date or time is no date: Null, not an empty text.
        rs.setCampo("Installazione", QDate());
        rs.setCampo("Ultima interrogazione", QDateTime());
        rs.update();
        QVERIFY(rs.campo("Nome").isNull());
        // Null or not, in the file: Installazione, Ultima interrogazione, Nome, Note.
        QCOMPARE(m_db->valore("SELECT (Installazione IS NULL) || ([Ultima interrogazione] IS NULL) || (Nome IS NULL) "
                              "|| (Note IS NULL) FROM DatiUtente WHERE [Codice periferica] = '000103'").toString(),
                 "1110");
        QCOMPARE(m_db->valore("SELECT [Scadenza carta] FROM DatiUtente WHERE [Codice periferica] = '000103'"),
                 QVariant(QDate(2027, 1, 31)));
        QVERIFY(m_db->valore("SELECT Nome FROM DatiUtente WHERE [Codice periferica] = 'nessuno'").isNull());
    }

    void aggiungiEModifica()
    {
        const QDateTime adesso(QDate(2026, 3, 2), QTime(10, 5, 7));
        auto ev = m_db->apriRecordSet("ArchivioEventi");
        ev.addNew();
        ev.setCampo("Codice periferica", "000101");
        ev.setCampo("Data e ora", adesso);
        ev.setCampo("Testo messaggio", "ALLARME INGRESSO 3");
        ev.setCampo("Tipo evento", "Allarme");
        ev.update();
        const qint64 id = m_db->valore("SELECT max(ID) FROM ArchivioEventi").toLongLong();
        // Stored as the text every other reader sorts and compares.
        QCOMPARE(m_db->valore("SELECT [Data e ora] || '|' || Archiviato FROM ArchivioEventi WHERE ID = ?", {id}).toString(),
                 "2026-03-02 10:05:07|0");

        auto rs = m_db->apriRecordSet("SELECT * FROM ArchivioEventi WHERE ID = ?", {id});
        QCOMPARE(rs.campo("Data e ora").toDateTime(), adesso);
        QCOMPARE(rs.campo("Archiviato"), QVariant(false));
        rs.edit();
        rs.setCampo("Descrizione evento", "Scarso credito residuo;");
        QCOMPARE(rs.campo("Descrizione evento").toString(), "Scarso credito residuo;");
        rs.update();
        QCOMPARE(m_db->valore("SELECT [Descrizione evento] FROM ArchivioEventi WHERE ID = ?", {id}).toString(),
                 "Scarso credito residuo;");
    }

    void conteggioEsattoAllaFine()
    {
        Transazione t(*m_db);
        for (int i = 0; i < 250; ++i)
            m_db->esegui("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 1)",
                         {QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), QDateTime::currentDateTime()});
        t.conferma();

        auto rs = m_db->apriRecordSet("InterrogazioniPendenti");
        QVERIFY(!rs.eof() && rs.recordCount() >= 1); // before the end: not empty, perhaps not exact
        QString ultimo;
        for (; !rs.eof(); rs.moveNext())
            ultimo = rs.campo("Codice periferica").toString();
        QCOMPARE(rs.recordCount(), 250);
        QCOMPARE(ultimo, "000249");

        auto vuoto = m_db->apriRecordSet("SELECT * FROM InterrogazioniPendenti WHERE Tentativi > ?", {5});
        QVERIFY(vuoto.eof());
        QCOMPARE(vuoto.recordCount(), 0);
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, vuoto.campo("Tentativi"));
    }

    // An injected statement, quotes and brackets, accents and placeholders.
    void valoriConApostrofiEPuntiEVirgola()
    {
        for (const QString valore : {"Dell'Acqua'; DROP TABLE DatiUtente; --", "\"[Nome]\" = 'a' OR 1=1",
                                     "Città di Forlì — più € chi? ?"}) {
            auto rs = m_db->apriRecordSet("Telefoni_Utenti");
            rs.addNew();
            rs.setCampo("CodPer", "000104");
            rs.setCampo("Contatto", valore);
            rs.setCampo("Des_Telefoni", valore);
            rs.update();
            auto letto = m_db->apriRecordSet("SELECT * FROM Telefoni_Utenti WHERE Contatto = ?", {valore});
            QCOMPARE(letto.recordCount(), 1);
            QCOMPARE(letto.campo("Des_Telefoni").toString(), valore);
        }
        QCOMPARE(m_db->valore("SELECT count(*) FROM DatiUtente").toInt(), 6);
    }

    void unErroreInTransazioneLasciaIlFileInvariato()
    {
        m_f->db.reset();
        const QByteArray prima = contenutoFile();
        m_f->db = Database::apri(m_file);
        m_db = m_f->db.get();
        {
            Transazione t(*m_db);
            auto ev = m_db->apriRecordSet("ArchivioEventi");
            ev.addNew();
            ev.setCampo("Codice periferica", "000101");
            ev.update();
            auto u = m_db->apriRecordSet("DatiUtente");
            u.addNew();
            u.setCampo("Codice periferica", "000101");  // already taken
            try {
                u.update();
                QFAIL("a duplicate subscriber code was accepted");
            } catch (const ErroreDatabase& e) {
                QCOMPARE(e.codice() & 0xff, 19);  // SQLITE_CONSTRAINT
                QVERIFY(e.messaggio().contains(QLatin1String("UNIQUE")));
            }
            QVERIFY(m_db->inTransazione());
        }
        QVERIFY(!m_db->inTransazione());
        m_f->db.reset();
        QCOMPARE(contenutoFile(), prima);
    }

    void nomiDeiCampiSenzaRiguardoAlleMaiuscole()
    {
        auto rs = m_db->apriRecordSet("[datiutente]");
        QCOMPARE(rs.campo("CITTÀ").toString(), "Firenze");
        QCOMPARE(rs.campo("[città]").toString(), "Firenze");
        QCOMPARE(rs.campo("codice PERIFERICA").toString(), "000101");
        rs.edit();
        rs.setCampo("città", "Fiesole");
        rs.update();
        QCOMPARE(m_db->valore("SELECT [Città] FROM DatiUtente WHERE [Codice periferica] = '000101'").toString(),
                 "Fiesole");
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, rs.campo("Citta"));
    }

    void ogniErroreDiventaErroreDatabase()
    {
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->apriRecordSet("TabellaInesistente"));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->esegui("SELECT 1; DROP TABLE DatiUtente"));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->esegui("DELETE FROM Matricole WHERE Matricola = ?"));
        auto join = m_db->apriRecordSet(QStringLiteral(
            "SELECT m.Matricola, u.Nome FROM Matricole m JOIN DatiUtente u USING ([Codice periferica])"));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, join.edit());
        auto rs = m_db->apriRecordSet("Matricole");
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, rs.setCampo("Matricola", 1));
        QCOMPARE(m_db->valore("SELECT count(*) FROM DatiUtente").toInt(), 6);
        m_db->inizia();
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->inizia());
        m_db->annulla();

        // Closing the database closes its sets: no dangling handle.
        m_db->chiudi();
        QVERIFY(!rs.aperto());
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, rs.moveNext());
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m_db->valore("SELECT 1"));
    }

    void aperturaNonCreaFileENonAccettaAltriFile()
    {
        const QString mancante = m_f->dir.filePath("mancante.db");
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::apri(mancante));
        QVERIFY(!QFile::exists(mancante));

        const QString testo = m_f->dir.filePath("testo.db");
        QFile f(testo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("non sono un database, ma un file di testo abbastanza lungo da sembrare qualcosa\n");
        f.close();
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::apri(testo));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::crea(m_file, false));

        // Another program's database is refused untouched: its journal mode
        // is its owner's choice, and WAL would stay in the file for good.
        const QString altrui = m_f->dir.filePath("altrui.db");
        sqlite3* h = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(altrui).constData(), &h), SQLITE_OK);
        QCOMPARE(sqlite3_exec(h, "CREATE TABLE t (x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(h);
        QFile letto(altrui);
        QVERIFY(letto.open(QIODevice::ReadOnly));
        const QByteArray contenuto = letto.readAll();
        letto.close();
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::apri(altrui));
        QVERIFY(letto.open(QIODevice::ReadOnly));
        QCOMPARE(letto.readAll(), contenuto); // bytes 18-19 would read 2 (WAL) instead of 1
        QVERIFY(!QFile::exists(altrui + "-wal"));
    }
};

QTEST_GUILESS_MAIN(TestRecordSet)
#include "tst_store_recordset.moc"
