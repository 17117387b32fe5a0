// Calls to units and pending interrogations against the simulated handset
// on a pseudo-terminal, a real database file and the real progress window.

#include "interrogation/Interrogazione.h"
#include "interrogation/Sorveglianza.h"
#include "interrogation/interrogazione_aiuto.h"
#include "modem/Seriale.h"
#include "shell/InCorso.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

using namespace sorvela;

namespace {
const QString Unita = "000123", Numero = "+393351110001";
QDateTime alle(int ora, int minuto, int secondo = 0)
{
    return QDateTime(QDate(2026, 3, 2), QTime(ora, minuto, secondo));
}
const QString Pendenti = "SELECT [Codice periferica], [Data e ora], [Tentativi] FROM InterrogazioniPendenti";
} // namespace

class TestInterrogazione : public QObject {
    Q_OBJECT
private slots:
    void interrogazioneManualeERipetuta()
    {
        prova::BancoChiamate b;
        InCorso finestra(b.ctx);
        b.ctx.InCorso = &finestra;
        b.utente(Unita, "+39 335-111 0001"); // dialled as +393351110001
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 3)", {Unita, alle(9, 0)});
        b.orologio.imposta(alle(10, 3));

        QVERIFY(InterrogaAdesso(b.ctx, Unita));
        QCOMPARE(b.sim.storia(), (QStringList{"AT+CNMI=1,1,0,0,1", "ATH", "ATD" + Numero + ";", "ATH"}));
        QCOMPARE(finestra.Label1()->text(), "Interrogazione in corso della periferica 000123");
        QVERIFY(!finestra.isVisible());
        // The pending row restarts on the same row; one event; the period restarts.
        QCOMPARE(b.righe(Pendenti), QStringList{"000123|2026-03-02 10:03:00|1"});
        QCOMPARE(b.righe("SELECT [Data e ora], [Testo messaggio], [Archiviato], [Tipo evento], [Descrizione evento] "
                         "FROM ArchivioEventi"),
                 QStringList{"2026-03-02 10:03:00|Interrogazione della periferica|false|Test|"
                             "Interrogazione manuale della periferica"});
        QCOMPARE(b.righe("SELECT [Ultima interrogazione] FROM DatiUtente"), QStringList{"2026-03-02 10:03:00"});
        QCOMPARE(b.msg.testi(), QStringList());
    }

    void chiamataRifiutataNonScriveNullaERiprova_data()
    {
        QTest::addColumn<QString>("risposta");
        QTest::newRow("BUSY") << "busy";
        QTest::newRow("NO CARRIER") << "nocarrier";
        QTest::newRow("ERROR") << "error";
    }
    void chiamataRifiutataNonScriveNullaERiprova()
    {
        QFETCH(QString, risposta);
        prova::BancoChiamate b;
        b.utente(Unita, Numero, true, 24, alle(0, 0).addDays(-2));
        b.unita(Numero);
        b.sim.comando("dial " + risposta);
        QCOMPARE(ChiamaPeriferica(b.ctx, Unita), 1);
        QCOMPARE(b.chiamati(), QStringList{Numero});
        QCOMPARE(b.conta("SELECT (SELECT count(*) FROM ArchivioEventi) + (SELECT count(*) FROM InterrogazioniPendenti)"), 0);
        // Retried at every pass, the count and the due time unchanged.
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 2)", {Unita, alle(9, 0)});
        for (const QDateTime& t : {alle(10, 0, 10), alle(10, 10, 10)}) {
            b.orologio.imposta(t);
            ControllaInterrogazioni(b.ctx);
            InterrogaPeriferiche(b.ctx);
            QCOMPARE(b.chiamati(), (QStringList{Numero, Numero}));
        }
        QCOMPARE(b.righe(Pendenti), QStringList{"000123|2026-03-02 09:00:00|2"});
        QCOMPARE(b.righe("SELECT [Ultima interrogazione] FROM DatiUtente"), QStringList{"2026-02-28 00:00:00"});
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
    }

    // A real handset answers "ATH" only once it has hung up. Every reply
    // must still be taken by its own command: with echo off nothing but the
    // wait tells a late "OK" from the next command's reply.
    void unRiagganciareLentoNonSpostaLeRisposte()
    {
        prova::BancoChiamate b;
        const QStringList numeri{"+393351110001", "+393351110002", "+393351110003"};
        for (int i = 0; i < 3; ++i) {
            b.utente(QString("00012%1").arg(i + 1), numeri[i], true, 24, alle(0, 0).addDays(-2));
            b.unita(numeri[i]);
        }
        b.sim.comando("echo off");
        b.sim.comando("slow ATH 1500");
        b.sim.comando("on ATD" + numeri[1] + " dial busy");
        b.sim.comando("on ATD" + numeri[2] + " dial ok");
        b.orologio.imposta(alle(10, 0, 15));
        InterrogaPeriferiche(b.ctx);
        QStringList attesa;
        for (const QString& n : numeri)
            attesa << "AT+CNMI=1,1,0,0,1" << "ATH" << "ATD" + n + ";" << "ATH";
        QCOMPARE(b.sim.storia(), attesa);
        QCOMPARE(b.righe("SELECT [Codice periferica], [Ultima interrogazione] FROM DatiUtente ORDER BY 1"),
                 (QStringList{"000121|2026-03-02 10:00:15", "000122|2026-02-28 00:00:00",
                              "000123|2026-03-02 10:00:15"}));
        QCOMPARE(b.righe("SELECT [Codice periferica] FROM ArchivioEventi ORDER BY 1"),
                 (QStringList{"000121", "000123"}));
        QCOMPARE(b.msg.testi(), QStringList{"Controlla il telefono."}); // the refused dial, once
        b.leggiMessaggi(); // the reports of units 1 and 3, each its own event
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 4);
    }

    void righeSenzaUtenteOSenzaOra()
    {
        prova::BancoChiamate b;
        b.utente(Unita, Numero);
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES ('000900', ?, 3), ('000901', ?, 1), (?, NULL, NULL)",
                         {alle(9, 0), alle(9, 0), Unita});
        b.orologio.imposta(alle(10, 0, 10));
        ControllaInterrogazioni(b.ctx);
        // Subscribers gone: dropped without an event; no time: counted from now.
        QCOMPARE(b.righe(Pendenti), QStringList{"000123|2026-03-02 10:00:10|"});
        QCOMPARE(b.sim.storia(), QStringList());
        b.orologio.imposta(alle(10, 20, 10));
        ControllaInterrogazioni(b.ctx);
        QCOMPARE(b.chiamati(), QStringList{Numero});
        QCOMPARE(b.righe(Pendenti), QStringList{"000123|2026-03-02 10:00:10|2"});
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
    }

    void nienteDaChiamareOLineaOccupataNessunTraffico()
    {
        prova::BancoChiamate b;
        b.utente("000001", QVariant());
        b.utente("000002", "  ");
        b.utente("000003", "ATZ;\r");
        b.utente(Unita, Numero);
        for (const char* codice : {"000001", "000002", "000003", "000404"})
            QCOMPARE(ChiamaPeriferica(b.ctx, codice), 1);
        QVERIFY(!InterrogaAdesso(b.ctx, "000001"));
        QVERIFY(!InterrogaAdesso(b.ctx, "000404"));
        {
            const modem::Sessione ciclo = b.linea.prendi(modem::EtichettaLettura);
            QVERIFY(!InterrogaAdesso(b.ctx, Unita));
        }
        QCOMPARE(b.msg.testi(),
                 (QStringList{"L'utente 000001 non ha un telefono GSM fonia: la periferica non può essere chiamata.",
                              "L'utente 000404 non è memorizzato: salvarlo prima di interrogare la periferica.",
                              "Il telefono è impegnato (Lettura messaggi in corso): la periferica 000123 non è stata "
                              "chiamata."}));
        QCOMPARE(b.sim.storia(), QStringList());
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
        QVERIFY(InterrogaAdesso(b.ctx, Unita)); // the line was given back
        QVERIFY(b.linea.occupataDa().isEmpty());
    }

    void erroreDelDatabaseNonLasciaMezzeScritture()
    {
        prova::BancoChiamate b;
        b.utente(Unita, Numero, false, 0, QVariant(), QDate(2026, 3, 1));
        b.utente("000124", QVariant(), false, 0, QVariant(), QDate(2026, 3, 1));
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 3)", {Unita, alle(9, 0)});
        comune::guasto(*b.ctx.db, "rifiuta", "ArchivioEventi", "INSERT", "disco pieno",
                       "NEW.[Codice periferica] = '000124' OR NEW.[Tipo evento] <> 'Allarme' "
                       "OR NEW.[Descrizione evento] LIKE 'Mancata%'");
        b.orologio.imposta(alle(10, 3));
        QVERIFY(!InterrogaAdesso(b.ctx, Unita)); // called, but its registration refused whole
        ControllaInterrogazioni(b.ctx);          // the alarm refused: the row stays
        ControllaScadenzeSim(b.ctx);             // one card refused: neither is marked
        QCOMPARE(b.righe(Pendenti), QStringList{"000123|2026-03-02 09:00:00|3"});
        QCOMPARE(b.righe("SELECT [Ultima interrogazione], [Scadenza segnalata] FROM DatiUtente"),
                 (QStringList{"|false", "|false"}));
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
        QStringList testi = b.msg.testi();
        for (QString& t : testi)
            t = t.section('\n', 0, 0) + (t.contains("disco pieno") ? " [disco pieno]" : "");
        QCOMPARE(testi, (QStringList{"Impossibile registrare l'interrogazione della periferica 000123. [disco pieno]",
                                     "Impossibile aggiornare l'interrogazione della periferica 000123. [disco pieno]",
                                     "Impossibile segnalare le carte SIM scadute. [disco pieno]"}));
        // The operator's button is answered in a box, the passes in notices.
        QCOMPARE(b.msg.notifiche().size(), 2);
        QVERIFY(!b.ctx.db->inTransazione());
    }

    void annullaFermaLAttesaDellaChiamata()
    {
        prova::BancoChiamate b(20000); // the unit would hold the call for 20 s
        InCorso finestra(b.ctx);
        b.ctx.InCorso = &finestra;
        b.utente(Unita, Numero);
        QTimer::singleShot(200, &finestra, [&] { comune::premi(&finestra, "cmdAnnulla"); });
        QElapsedTimer t;
        t.start();
        QCOMPARE(ChiamaPeriferica(b.ctx, Unita), 0);
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    }
};

QTEST_MAIN(TestInterrogazione)
#include "tst_interrogazione.moc"
