// The database a new installation gets: the demo types' input tables, what
// the saved queries return on the demo data and how they are written
// through, that the lookups the console makes every second or on every SMS
// use an index, and table names taken from the database reaching SQL only
// when they name a real table, quoted.

#include "comune/FileDatabase.h"
#include "store/Identificatori.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <QtTest>

#include <algorithm>
#include <optional>

using namespace sorvela::store;

namespace {

QStringList colonnaDi(RecordSet rs, int indice = 0)
{
    QStringList valori;
    for (; !rs.eof(); rs.moveNext())
        valori << rs.campo(indice).toString();
    return valori;
}

QStringList colonne(Database& db, const QString& oggetto)
{
    return colonnaDi(db.apriRecordSet("SELECT name FROM pragma_table_xinfo(?) ORDER BY cid", {oggetto}));
}

QStringList oggetti(Database& db, const QString& tipo)
{
    return colonnaDi(db.apriRecordSet(
        "SELECT name FROM sqlite_master WHERE type = ? AND name NOT LIKE 'sqlite%' ORDER BY name", {tipo}));
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

    std::optional<sorvela::comune::FileDatabase> m_f;
    Database* m_db = nullptr;

private slots:
    void init()
    {
        m_f.emplace(true);
        m_db = m_f->db.get();
    }
    void cleanup() { m_f.reset(); }

    void ogniTipoDimostrativoHaLaSuaTabellaDegliIngressi()
    {
        auto tipi = m_db->apriRecordSet("TipoPeriferica");
        QVERIFY(tipi.recordCount() > 0);
        for (; !tipi.eof(); tipi.moveNext())
            QCOMPARE(colonne(*m_db, tipi.campo("Tabella").toString()),
                     QStringList({"Contatore", "CodiceEvento", "Zona", "DesEvento", "TipoEvento", "Trattamento"}));
    }

    // A file of an earlier version gains what was added since in one
    // transaction: all of it, or (when one addition fails) none of it.
    void unFileDiUnaVersionePrecedenteSiAggiorna()
    {
        QTemporaryDir dir;
        const QString nuovo = dir.filePath("nuovo.db"), vecchio = dir.filePath("vecchio.db");
        Database::crea(nuovo, false);
        Database::crea(vecchio, false);
        auto grezzo = [&](const char* sql) {
            sqlite3* h = nullptr;
            sqlite3_open(QFile::encodeName(vecchio).constData(), &h);
            const int rc = sqlite3_exec(h, sql, nullptr, nullptr, nullptr);
            sqlite3_close(h);
            return rc;
        };
        QCOMPARE(grezzo("DROP INDEX [ArchivioEventi Impronta unica];"
                        "ALTER TABLE ArchivioEventi DROP COLUMN Impronta;"
                        "ALTER TABLE ArchivioEventi DROP COLUMN \"Archiviato il\";"
                        "ALTER TABLE ArchivioEventi DROP COLUMN \"Archiviato da\";"
                        "DROP TABLE IngressiUtente; DROP TABLE Operatori; DROP TABLE RegistroOperazioni;"
                        "DROP TABLE MessaggiNonAttribuiti;"
                        "INSERT INTO ArchivioEventi ([Codice periferica], Archiviato) VALUES ('000001', 1);"
                        // A name already taken makes one of the last additions fail.
                        "CREATE INDEX [RegistroOperazioni Data e ora] ON DatiUtente (Nome);"),
                 SQLITE_OK);
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, Database::apri(vecchio));
        QCOMPARE(grezzo("SELECT Impronta FROM ArchivioEventi"), SQLITE_ERROR); // the first went too
        QCOMPARE(grezzo("DROP INDEX [RegistroOperazioni Data e ora]"), SQLITE_OK);
        auto db = Database::apri(vecchio);
        auto riferimento = Database::apri(nuovo);
        for (const char* tipo : {"table", "index", "trigger", "view"})
            QCOMPARE(oggetti(*db, tipo), oggetti(*riferimento, tipo));
        QStringList attese = colonne(*riferimento, "ArchivioEventi"), avute = colonne(*db, "ArchivioEventi");
        std::sort(attese.begin(), attese.end());
        std::sort(avute.begin(), avute.end());
        QCOMPARE(avute, attese);
        QCOMPARE(db->valore("SELECT count(*) FROM ArchivioEventi WHERE \"Archiviato da\" IS NULL").toInt(), 1);
        db->esegui("INSERT INTO RegistroOperazioni (\"Data e ora\", Operatore, Azione) VALUES ('2026-03-02', 'a', 'b')");
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, db->esegui("DELETE FROM RegistroOperazioni"));
    }

    // Which rows the queue shows, and with which name, is the queue fill's
    // test; here archiving through the queue writes the event itself.
    void codaQueryScriveNellEvento()
    {
        auto coda = m_db->apriRecordSet("Coda Query");
        const int prima = m_db->valore("SELECT count(*) FROM [Coda Query]").toInt();
        QVERIFY(prima > 0);
        const qint64 id = coda.campo("ID").toLongLong();
        coda.edit();
        coda.setCampo("Archiviato", true);
        coda.update();
        QCOMPARE(m_db->valore("SELECT Archiviato FROM ArchivioEventi WHERE ID = ?", {id}).toInt(), 1);
        QCOMPARE(m_db->valore("SELECT count(*) FROM [Coda Query]").toInt(), prima - 1);
    }

    void datiUtenteQueryDaOgniEventoUnaVolta()
    {
        const QStringList tutti = colonnaDi(
            m_db->apriRecordSet("SELECT ID FROM ArchivioEventi ORDER BY ID"), 0);
        QVERIFY(tutti.size() >= 8);
        QCOMPARE(colonnaDi(m_db->apriRecordSet("SELECT ID FROM [DatiUtente Query] ORDER BY ID"), 0),
                 tutti);

        // A subscriber's history, newest first.
        auto storia = m_db->apriRecordSet(
            "SELECT * FROM [DatiUtente Query] WHERE [Codice periferica] = ? ORDER BY [Data e ora] DESC",
            {"000102"});
        QCOMPARE(m_db->valore("SELECT count(*) FROM [DatiUtente Query] WHERE [Codice periferica] = ?", {"000102"}).toInt(), 2);
        const QDateTime primo = storia.campo("Data e ora").toDateTime();
        storia.moveNext();
        QVERIFY(primo > storia.campo("Data e ora").toDateTime());
        // The archive's date column is computed from the event's time.
        auto ev = m_db->apriRecordSet("ArchivioEventi");
        QCOMPARE(ev.campo("Data").toDate(), ev.campo("Data e ora").toDateTime().date());
    }

    // The picker's six orders ("F_<key>C" ascending, "F_<key>D" descending).
    void ordinamentiDelSelettore()
    {
        // Two subscribers with the same name must still come in a fixed order.
        m_db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Ragione sociale], Nome) "
                                    "VALUES ('000050', 'ferramenta bianchi s.r.l.', 'conti luca')"));
        for (const auto& [vista, chiave] : {std::pair{"F_Codice", "Codice periferica"},
                                            {"F_Rag_Soc", "Ragione sociale"}, {"F_Nome", "Nome"}}) {
            QList<std::pair<QString, QString>> attesi; // key, code
            for (auto tutti = m_db->apriRecordSet("DatiUtente"); !tutti.eof(); tutti.moveNext())
                attesi.append({tutti.campo(chiave).toString(), tutti.campo("Codice periferica").toString()});
            std::sort(attesi.begin(), attesi.end(), [](const auto& a, const auto& b) {
                const int c = a.first.compare(b.first, Qt::CaseInsensitive);
                return c != 0 ? c < 0 : a.second < b.second;
            });
            QStringList codici;
            for (const auto& u : attesi)
                codici << u.second;
            QCOMPARE(colonnaDi(m_db->apriRecordSet(vista + QStringLiteral("C"))), codici);
            std::reverse(codici.begin(), codici.end());
            QCOMPARE(colonnaDi(m_db->apriRecordSet(vista + QStringLiteral("D"))), codici);
        }
    }

    void tipoPredefinitoSiCambiaDallaQueryMemorizzata()
    {
        auto rs = m_db->apriRecordSet("F_PeriferichePredefinite");
        for (; !rs.eof(); rs.moveNext()) {
            rs.edit();
            rs.setCampo("Predefinita",
                        rs.campo("PerifericaTipo").toString() == QLatin1String("Vedetta 8"));
            rs.update();
        }
        QCOMPARE(m_db->valore(QStringLiteral("SELECT group_concat(PerifericaTipo) FROM TipoPeriferica "
                                             "WHERE Predefinita = 1")).toString(),
                 "Vedetta 8");
    }

    void soloTabelleEsistentiQuotateComeIdentificatori()
    {
        m_db->esegui("CREATE TABLE [Ingressi \"Dell'Acqua\"; --] (Contatore INTEGER)");
        m_db->esegui("INSERT INTO [Ingressi \"Dell'Acqua\"; --] VALUES (7)");
        const auto q = tabellaVerificata(*m_db, "ingressi \"dell'acqua\"; --");
        QCOMPARE(q.value_or(QString()), QString("\"Ingressi \"\"Dell'Acqua\"\"; --\""));
        QCOMPARE(m_db->valore("SELECT Contatore FROM " + *q).toInt(), 7); // sql: identificatore verificato
        QCOMPARE(tabellaVerificata(*m_db, "DatiUtente").value_or(QString()), QString("\"DatiUtente\""));
        // A view, SQLite's own bookkeeping, the "*" of a new type, nothing,
        // and a name that is an attempt at more SQL are all refused.
        for (const char* n : {"F_PeriferichePredefinite", "sqlite_sequence", "sqlite_master", "*", "",
                              "DatiUtente; DROP TABLE DatiUtente", "[DatiUtente]", "Nessuna"})
            QVERIFY2(!tabellaVerificata(*m_db, QString::fromUtf8(n)), n);
    }

    // What the windows look up, and orders; the statements the tick and the
    // registration run are checked as they run in tst_piani.
    void ricercheFrequentiUsanoUnIndice_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("parametri");
        QTest::newRow("coda riga per riga") << "SELECT * FROM [Coda Query]" << 0;
        QTest::newRow("utente per codice") << "SELECT * FROM DatiUtente WHERE [Codice periferica] = ?" << 1;
        QTest::newRow("storico utente") << "SELECT * FROM [DatiUtente Query] WHERE [Codice periferica] = ? AND [Data e ora] >= ? ORDER BY [Data e ora] DESC" << 2;
        QTest::newRow("pulizia per date") << "SELECT * FROM ArchivioEventi WHERE [Data e ora] >= ? AND [Data e ora] < ?" << 2;
        QTest::newRow("contatti") << "SELECT * FROM Telefoni_Utenti WHERE [CodPer] = ?" << 1;
        QTest::newRow("matricola") << "SELECT * FROM Matricole WHERE Matricola = ?" << 1;
        QTest::newRow("tipo per nome") << "SELECT * FROM TipoPeriferica WHERE PerifericaTipo = ?" << 1;
    }

    void ricercheFrequentiUsanoUnIndice()
    {
        QFETCH(QString, sql);
        QFETCH(int, parametri);
        const QVariantList valori(parametri, "000101");
        auto piano = m_db->apriRecordSet("EXPLAIN QUERY PLAN " + sql, valori);
        static const QRegularExpression scansione("^SCAN (\\S+)");
        for (; !piano.eof(); piano.moveNext()) {
            const QString passo = piano.campo("detail").toString();
            const auto m = scansione.match(passo);
            // Scanning the queue's own few rows is fine; scanning a table is not.
            QVERIFY2(!m.hasMatch() || m.captured(1) == QLatin1String("Coda"), qPrintable(passo));
            QVERIFY2(!passo.contains(QLatin1String("TEMP B-TREE")), qPrintable(passo));
        }
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_store_schema.moc"
