// The statements the console runs over and over, or on the whole archive,
// must reach their rows through an index: the tick's check every second, the
// registration of every message, the queue, a subscriber's history and the
// ten-minute passes. Each is run for real on a database file made from the
// schema, every statement it prepares is caught on the connection, and
// SQLite's own query plan for it must not scan a table. A new statement that scans, or an index dropped from the
// schema, fails here instead of showing only on a large archive.

#include "events/Registrazione.h"
#include "events/RiempiCoda.h"
#include "interrogation/Interrogazione.h"
#include "interrogation/Sorveglianza.h"
#include "interrogation/Storico.h"
#include "interrogation/interrogazione_aiuto.h"
#include "modem/pdu/Messaggio.h"
#include "shell/Tick.h"
#include "store/RecordSet.h"
#include "windows/CodaEventi.h"

#include <QRegularExpression>
#include <QTableWidget>

#include <sqlite3.h>

using namespace sorvela;

namespace {

// Every statement the connection runs, with the values it was given: SQLite
// plans a statement again once its values are bound, and a partial index
// serves a bound value its condition names.
class Registro {
public:
    explicit Registro(sqlite3* db) : m_db(db)
    {
        sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, &Registro::traccia, this);
    }
    ~Registro() { sqlite3_trace_v2(m_db, 0, nullptr, nullptr); }
    // The statements since the last call, each once.
    QStringList prendi()
    {
        QStringList r = m_sql;
        r.removeDuplicates();
        m_sql.clear();
        return r;
    }

private:
    static int traccia(unsigned, void* io, void* istruzione, void*)
    {
        if (char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(istruzione))) {
            static_cast<Registro*>(io)->m_sql << QString::fromUtf8(sql).simplified();
            sqlite3_free(sql);
        }
        return 0;
    }
    sqlite3* m_db;
    QStringList m_sql;
};

// The plan's lines that would grow with the tables: a scan of a table or of
// a whole index. Not counted: a scan of a view's own result (its rows were
// reached by the plan's other lines), of SQLite's catalog, and of a small
// table that the statement reads whole on purpose, named in `intere`.
QStringList scansioni(sqlite3* db, const QString& sql, const QStringList& intere)
{
    sqlite3_stmt* s = nullptr;
    const QByteArray testo = QByteArrayLiteral("EXPLAIN QUERY PLAN ") + sql.toUtf8();
    if (sqlite3_prepare_v2(db, testo.constData(), -1, &s, nullptr) != SQLITE_OK)
        return {QStringLiteral("cannot explain: ") + QString::fromUtf8(sqlite3_errmsg(db))};
    QStringList righe;
    while (sqlite3_step(s) == SQLITE_ROW)
        righe << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 3)));
    sqlite3_finalize(s);

    static const QRegularExpression vista(QStringLiteral("^(?:CO-ROUTINE|MATERIALIZE) (.+)$"));
    static const QRegularExpression scansione(QStringLiteral("^SCAN (.+?)(?: USING .*| VIRTUAL TABLE.*)?$"));
    QStringList viste = intere;
    if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'view'", -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW)
            viste << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
    }
    for (const QString& r : righe) {
        if (const auto m = vista.match(r); m.hasMatch())
            viste << m.captured(1);
    }
    QStringList cattive;
    for (const QString& r : righe) {
        if (const auto m = scansione.match(r); m.hasMatch()) {
            const QString nome = m.captured(1);
            if (!viste.contains(nome) && nome != QLatin1String("CONSTANT ROW") && !nome.startsWith(QLatin1String("sqlite_"))
                && !nome.startsWith(QLatin1String("pragma_")))
                cattive << r;
        }
    }
    return cattive;
}

bool interessa(const QString& sql)
{
    static const QRegularExpression scritture(QStringLiteral("^(SELECT|UPDATE|DELETE|WITH)\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    return scritture.match(sql).hasMatch()
        || (sql.startsWith(QLatin1String("INSERT INTO")) && sql.contains(QLatin1String("SELECT")));
}

struct Banco : prova::BancoChiamate {
    std::unique_ptr<Registro> registro;

    Banco()
    {
        utente(QStringLiteral("000001"), QStringLiteral("+393331112223"), true, 1, {}, QDate(2020, 1, 1));
        utente(QStringLiteral("000002"), QStringLiteral("3331112224"), true, 24, orologio.adesso());
        unita(QStringLiteral("3331112223"));
        for (int i = 0; i < 5; ++i)
            evento(i % 2 ? QStringLiteral("000001") : QStringLiteral("000002"), QStringLiteral("Test"),
                   orologio.adesso().addDays(-i));
        ctx.db->esegui(QStringLiteral("UPDATE ArchivioEventi SET [Archiviato] = 1 WHERE ID <= 2"));
        // A pending call long overdue with attempts left, and one of a
        // subscriber since deleted.
        for (const char* codice : {"000002", "000009"})
            ctx.db->esegui(QStringLiteral("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 1)"),
                           {QString::fromLatin1(codice), orologio.adesso().addDays(-1)});
        registro = std::make_unique<Registro>(ctx.db->handle());
    }

    // The statements run since the last check that would scan or sort.
    QStringList controlla(const QStringList& intere = {})
    {
        QStringList errori;
        const QStringList eseguite = registro->prendi();
        for (const QString& sql : eseguite) {
            if (!interessa(sql))
                continue;
            for (const QString& riga : scansioni(ctx.db->handle(), sql, intere))
                errori << sql + QStringLiteral("  ->  ") + riga;
        }
        if (eseguite.isEmpty())
            errori << QStringLiteral("no statement ran");
        return errori;
    }
};

} // namespace

#define SENZA_SCANSIONI(errori)                                                                                   \
    do {                                                                                                          \
        const QStringList e = (errori);                                                                           \
        QVERIFY2(e.isEmpty(), qPrintable(e.join(QLatin1Char('\n'))));                                            \
    } while (false)

class TestPiani : public QObject {
    Q_OBJECT
private slots:
    void ogniPassaggioRicorrenteUsaUnIndice()
    {
        Banco b;

        // The tick: the new-events check, and the refill of the queue grid
        // when the count changed.
        QTableWidget griglia(0, 4);
        Tick::Collegamenti k;
        k.riempiCoda = [&](store::RecordSet& rs) {
            RiempiCoda(rs, griglia, b.ctx);
            return true;
        };
        Tick tick(b.ctx, k);
        tick.passo();
        QCOMPARE(griglia.rowCount(), 3);
        SENZA_SCANSIONI(b.controlla());

        // Registration: the sender by either form of the number, the
        // message's identity, the event and the pending call it settles.
        pdu::MessaggioRicevuto m;
        m.valido = true;
        m.mittente = QStringLiteral("+393331112224");
        m.centroOra = QStringLiteral("62120612000000");
        m.testo = prova::Rapporto;
        m.datiUtente = QStringLiteral("41");
        m.indice = 1;
        QCOMPARE(RegistraMessaggio(b.ctx, m).esito, EsitoRegistrazione::Registrato);
        QCOMPARE(RegistraMessaggio(b.ctx, m).esito, EsitoRegistrazione::Ripetuto);
        QCOMPARE(b.conta("SELECT count(*) FROM InterrogazioniPendenti WHERE [Codice periferica] = '000002'"), 0);
        SENZA_SCANSIONI(b.controlla());

        // The queue window: its fill and "Archivia".
        {
            CodaEventi coda(b.ctx);
            QCOMPARE(coda.Coda()->rowCount(), 4);
            QCOMPARE(ArchiviaCoda(b.ctx, coda.ultimoIdMostrato()), 4);
        }
        SENZA_SCANSIONI(b.controlla());

        // A subscriber's history, whole and within a range, and one text.
        for (const auto& [dal, al] : {std::pair{QString(), QString()},
                                      std::pair{QStringLiteral("01/01/2020"), QStringLiteral("31/12/2099")}}) {
            int n = 0;
            for (store::RecordSet rs = ApriStorico(*b.ctx.db, QStringLiteral("000001"), dal, al); !rs.eof(); rs.moveNext())
                ++n;
            QCOMPARE(n, 2);
        }
        QVERIFY(!TestoEvento(*b.ctx.db, QStringLiteral("000001"), 2).isEmpty());
        SENZA_SCANSIONI(b.controlla());

        // The ten-minute passes: the pending calls (read whole: each row is
        // looked at), the polling of monitored units and the SIM expiry.
        ControllaInterrogazioni(b.ctx);
        InterrogaPeriferiche(b.ctx);
        ControllaScadenzeSim(b.ctx);
        QCOMPARE(b.chiamati(), QStringList{QStringLiteral("+393331112223")});
        QCOMPARE(b.conta("SELECT [Scadenza segnalata] FROM DatiUtente WHERE [Codice periferica] = '000001'"), 1);
        SENZA_SCANSIONI(b.controlla({QStringLiteral("InterrogazioniPendenti")}));

        // And the check itself sees a scan when there is one.
        b.ctx.db->valore(QStringLiteral("SELECT count(*) FROM ArchivioEventi WHERE [Testo messaggio] = ?"), {QString()});
        QCOMPARE(b.controlla().size(), 1);
    }
};

QTEST_MAIN(TestPiani)
#include "tst_piani.moc"
