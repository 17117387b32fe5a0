// Registering messages from units: who a message is pinned on, what the
// event holds, and that a database failure leaves nothing half written.

#include "eventi_aiuto.h"

#include "events/Registrazione.h"

#include <QTest>

using namespace sorvela;
using namespace sorvela::prova;

namespace {

const QString kRapporto = QStringLiteral("credito: 10 euro; rete TIM; sim 01/2027; liv. batt. 80 segnale 4/5");

// A reply whose originating address holds `indirizzo` verbatim, as a line
// fault or a hostile unit could make it: the decoder copies the address
// characters pair by pair, swapping each pair.
QString RispostaConIndirizzo(const QString& indirizzo)
{
    QString r = RispostaSms(QStringLiteral("+391234567890"), QStringLiteral("ALLARME"));
    QString scambiato;
    for (qsizetype i = 0; i + 1 < indirizzo.size(); i += 2)
        scambiato += QString(indirizzo[i + 1]) + indirizzo[i];
    const qsizetype inizio = r.indexOf(QStringLiteral("0C91")) + 4;
    r.replace(inizio, 12, scambiato);
    return r;
}

} // namespace

class TestRegistrazione : public QObject {
    Q_OBJECT

private slots:
    void mittenteAbbinato_data()
    {
        QTest::addColumn<QString>("risposta");
        QTest::addColumn<QStringList>("utenti"); // code=number pairs, "null" for a Null number
        QTest::addColumn<QString>("codice");

        const QString intern = RispostaSms(QStringLiteral("+393351234567"), kRapporto);
        QTest::newRow("+39 sender, subscriber stored with +39")
            << intern << QStringList{QStringLiteral("000101=+393351234567")} << QStringLiteral("000101");
        QTest::newRow("+39 sender, subscriber stored without +39")
            << intern << QStringList{QStringLiteral("000102=3351234567")} << QStringLiteral("000102");
        QTest::newRow("same number twice: the older record wins")
            << intern << QStringList{QStringLiteral("000202=3351234567"), QStringLiteral("000201=+393351234567")}
            << QStringLiteral("000202");
        QTest::newRow("national sender is not pinned on an empty GSM number")
            << RispostaSms(QStringLiteral("3351234567"), kRapporto)
            << QStringList{QStringLiteral("000301="), QStringLiteral("000302=null")} << CodiceNessunUtente;
        QTest::newRow("foreign sender is not pinned on an empty GSM number")
            << RispostaSms(QStringLiteral("+447700900123"), kRapporto) << QStringList{QStringLiteral("000303=")}
            << CodiceNessunUtente;
        QTest::newRow("national sender matches its national number")
            << RispostaSms(QStringLiteral("3351234567"), kRapporto)
            << QStringList{QStringLiteral("000304="), QStringLiteral("000305=3351234567")} << QStringLiteral("000305");
        QTest::newRow("unsolicited lines before the header keep the sender")
            << QStringLiteral("AT+CMGR=2\r\r\n+CMTI: \"SM\",3\r\n\r\nRING\r\n") + intern
            << QStringList{QStringLiteral("000103=3351234567")} << QStringLiteral("000103");
        QTest::newRow("unknown sender")
            << intern << QStringList{QStringLiteral("000401=3399999999")} << CodiceNessunUtente;
        QTest::newRow("quote in the sender is compared as written")
            << RispostaConIndirizzo(QStringLiteral("33'123456789"))
            << QStringList{QStringLiteral("000501=+33'123456789"), QStringLiteral("000502=3351234567")}
            << QStringLiteral("000501");
        QTest::newRow("SQL in the sender changes no statement")
            << RispostaConIndirizzo(QStringLiteral("1' OR '1'='1"))
            << QStringList{QStringLiteral("000601=3351234567"), QStringLiteral("000602=")} << CodiceNessunUtente;
    }

    void mittenteAbbinato()
    {
        QFETCH(QString, risposta);
        QFETCH(QStringList, utenti);
        QFETCH(QString, codice);
        Console con;
        for (const QString& u : utenti) {
            const QString numero = u.section(u'=', 1);
            con.aggiungiUtente(u.section(u'=', 0, 0), numero == u"null" ? QVariant() : QVariant(numero));
        }

        const Registrazione r = RegistraMessaggio(con.ctx, risposta);

        QCOMPARE(r.codice, codice);
        const bool trovato = codice != CodiceNessunUtente;
        QCOMPARE(r.esito, trovato ? EsitoRegistrazione::Registrato : EsitoRegistrazione::MittenteSconosciuto);
        QVERIFY(r.definitiva());
        QCOMPARE(con.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi")), trovato ? 1 : 0);
        QCOMPARE(con.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi WHERE [Codice periferica] = ?"),
                           {codice}),
                 trovato ? 1 : 0);
        QCOMPARE(con.conta(QStringLiteral("SELECT count(*) FROM DatiUtente")), utenti.size());
    }

    void eventoScrittoComeRicevuto()
    {
        Console con;
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("3351234567"));
        con.orologio.imposta(QDateTime(QDate(2026, 7, 14), QTime(23, 59, 58)));

        QVERIFY(RegistraMessaggio(con.ctx, RispostaSms(QStringLiteral("+393351234567"), kRapporto)).definitiva());

        store::RecordSet rs = con.db->apriRecordSet(QStringLiteral("ArchivioEventi"));
        QVERIFY(!rs.eof());
        QCOMPARE(rs.campo(QStringLiteral("Codice periferica")).toString(), QStringLiteral("000101"));
        QCOMPARE(rs.campo(QStringLiteral("Data e ora")).toDateTime(), con.orologio.adesso());
        // The PDU's padding comes out as NULs after the text; none is stored.
        QCOMPARE(rs.campo(QStringLiteral("Testo messaggio")).toString(), kRapporto);
        QCOMPARE(rs.campo(QStringLiteral("Archiviato")).toBool(), false);
        QCOMPARE(rs.campo(QStringLiteral("Tipo evento")).toString(), QStringLiteral("Test"));
        QCOMPARE(rs.campo(QStringLiteral("Descrizione evento")).toString(), QStringLiteral("Stato regolare"));
    }

    void ogniMessaggioRisolveUnaSolaInterrogazione()
    {
        Console con;
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("+393351234567"));
        con.aggiungiPendente(QStringLiteral("000101"));
        con.aggiungiPendente(QStringLiteral("000101"));
        con.aggiungiPendente(QStringLiteral("000999"));
        const QString pendenti = QStringLiteral("SELECT count(*) FROM InterrogazioniPendenti WHERE [Codice periferica] = ?");

        // A report of empty type is stored as such and still answers.
        RegistraMessaggio(con.ctx, RispostaSms(QStringLiteral("+393351234567"), QStringLiteral("credito: 10 euro;")));
        QCOMPARE(con.conta(pendenti, {QStringLiteral("000101")}), 1);
        QCOMPARE(con.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi WHERE [Tipo evento] = '' "
                                          "AND [Descrizione evento] = ''")),
                 1);
        RegistraMessaggio(con.ctx, RispostaSms(QStringLiteral("+393351234567"), kRapporto));
        QCOMPARE(con.conta(pendenti, {QStringLiteral("000101")}), 0);

        // A stranger settles nothing.
        RegistraMessaggio(con.ctx, RispostaSms(QStringLiteral("+390000000"), kRapporto));
        QCOMPARE(con.conta(pendenti, {QStringLiteral("000999")}), 1);
    }

    void erroreDelDatabaseNonLasciaNulla_data()
    {
        QTest::addColumn<QString>("guasto");
        QTest::newRow("read-only database") << QStringLiteral("PRAGMA query_only = 1");
        QTest::newRow("settling the interrogation fails after the event was written")
            << QStringLiteral("CREATE TRIGGER guasto BEFORE DELETE ON InterrogazioniPendenti "
                              "BEGIN SELECT RAISE(ABORT, 'disco guasto'); END");
    }

    void erroreDelDatabaseNonLasciaNulla()
    {
        QFETCH(QString, guasto);
        Console con;
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("+393351234567"));
        con.aggiungiPendente(QStringLiteral("000101"));
        con.db->esegui(guasto);

        const Registrazione r = RegistraMessaggio(con.ctx, RispostaSms(QStringLiteral("+393351234567"), kRapporto));

        QCOMPARE(r.esito, EsitoRegistrazione::Fallito);
        QVERIFY(!r.definitiva());
        QVERIFY(!r.errore.isEmpty());
        QCOMPARE(r.codice, QStringLiteral("000101"));
        QVERIFY(!con.db->inTransazione());
        con.db->esegui(QStringLiteral("PRAGMA query_only = 0"));
        QCOMPARE(con.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi")), 0);
        QCOMPARE(con.conta(QStringLiteral("SELECT count(*) FROM InterrogazioniPendenti")), 1);
    }

    void databaseChiusoNonFaCadere()
    {
        Console con;
        con.db->chiudi();
        const Registrazione r = RegistraMessaggio(con.ctx, RispostaSms(QStringLiteral("+393351234567"), kRapporto));
        QCOMPARE(r.esito, EsitoRegistrazione::Fallito);
        QVERIFY_THROWS_EXCEPTION(store::ErroreDatabase, RegistraScadenzaSim(con.ctx, QStringLiteral("000101")));
    }

    void scadenzaSim()
    {
        Console con;
        RegistraScadenzaSim(con.ctx, QStringLiteral("000777"));
        store::RecordSet rs = con.db->apriRecordSet(QStringLiteral("ArchivioEventi"));
        QCOMPARE(rs.campo(QStringLiteral("Codice periferica")).toString(), QStringLiteral("000777"));
        QCOMPARE(rs.campo(QStringLiteral("Data e ora")).toDateTime(), con.orologio.adesso());
        QCOMPARE(rs.campo(QStringLiteral("Testo messaggio")).toString(), QStringLiteral("Scadenza carta SIM"));
        QCOMPARE(rs.campo(QStringLiteral("Archiviato")).toBool(), false);
        QCOMPARE(rs.campo(QStringLiteral("Tipo evento")).toString(), QStringLiteral("Allarme"));
        QCOMPARE(rs.campo(QStringLiteral("Descrizione evento")).toString(), QStringLiteral("Scadenza SIM"));
        rs.chiudi();

        // Inside the expiry pass's own transaction it commits or rolls back
        // with the pass.
        {
            store::Transazione t(*con.db);
            RegistraScadenzaSim(con.ctx, QStringLiteral("000778"));
            RisolviInterrogazione(con.ctx, QStringLiteral("000778"));
        }
        QCOMPARE(con.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi")), 1);
    }
};

QTEST_MAIN(TestRegistrazione)
#include "tst_registrazione.moc"
