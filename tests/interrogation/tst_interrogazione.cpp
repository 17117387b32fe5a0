// Calls to units and pending interrogations, end to end: the real serial code
// against sorvela-sim on a pseudo-terminal, a real database file, the real
// progress window; only the clock and the operator's boxes are scripted.

#include "interrogation/Interrogazione.h"
#include "interrogation/interrogazione_aiuto.h"
#include "modem/Seriale.h"
#include "shell/InCorso.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

using namespace sorvela;
using namespace std::chrono_literals;

namespace {

const QString Unita = QStringLiteral("000123");
const QString Numero = QStringLiteral("+393351110001");

QDateTime alle(int ora, int minuto, int secondo = 0, int giorno = 2)
{
    return QDateTime(QDate(2026, 3, giorno), QTime(ora, minuto, secondo));
}

struct Pendente {
    int righe = 0;
    QDateTime quando;
    int tentativi = 0;
};

Pendente pendente(comune::Banco& b, const QString& codice)
{
    Pendente p;
    p.righe = b.conta(QStringLiteral("SELECT count(*) FROM InterrogazioniPendenti WHERE [Codice periferica] = ?"), {codice});
    store::RecordSet rs = b.ctx.db->apriRecordSet(
        QStringLiteral("SELECT [Data e ora], [Tentativi] FROM InterrogazioniPendenti WHERE [Codice periferica] = ?"), {codice});
    if (!rs.eof()) {
        p.quando = rs.campo(0).toDateTime();
        p.tentativi = rs.campo(1).toInt();
    }
    return p;
}

// Waits (in real time, a few milliseconds) until the handset holds `n` messages.
bool attendiMessaggi(prova::Simulatore& sim, int n)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000) {
        if (sim.comando(QStringLiteral("list")).filter(QRegularExpression(QStringLiteral("^\\d"))).size() >= n)
            return true;
        QTest::qWait(5);
    }
    return false;
}

} // namespace

class TestInterrogazione : public QObject {
    Q_OBJECT
private slots:
    void interrogazioneManualeRegistrataEChiusaDalRapporto()
    {
        prova::BancoChiamate b;
        InCorso finestra(b.ctx);
        b.ctx.InCorso = &finestra;
        b.utente(Unita, Numero, true, 24);
        b.unita(Numero);
        b.orologio.imposta(alle(10, 3));

        QVERIFY(InterrogaAdesso(b.ctx, Unita));

        QCOMPARE(b.sim.storia(), (QStringList{"AT+CNMI=1,1,0,0,1", "ATH", "ATD" + Numero + ";", "ATH"}));
        QCOMPARE(finestra.Label1()->text(), "Interrogazione in corso della periferica 000123");
        QVERIFY(!finestra.isVisible());
        const Pendente p = pendente(b, Unita);
        QCOMPARE(p.righe, 1);
        QCOMPARE(p.quando, alle(10, 3));
        QCOMPARE(p.tentativi, 1);
        store::RecordSet ev = b.ctx.db->apriRecordSet(QStringLiteral("SELECT * FROM ArchivioEventi"));
        QCOMPARE(ev.campo("Tipo evento").toString(), "Test");
        QCOMPARE(ev.campo("Descrizione evento").toString(), "Interrogazione manuale della periferica");
        QCOMPARE(ev.campo("Testo messaggio").toString(), "Interrogazione della periferica");
        QCOMPARE(ev.campo("Data e ora").toDateTime(), alle(10, 3));
        QCOMPARE(ev.campo("Archiviato").toBool(), false);
        ev.chiudi();
        QCOMPARE(b.ctx.db->valore("SELECT [Ultima interrogazione] FROM DatiUtente").toDateTime(), alle(10, 3));
        QCOMPARE(b.msg.testi(), QStringList());

        // The unit's answer comes through the ordinary retrieval and settles it.
        QVERIFY(attendiMessaggi(b.sim, 1));
        b.orologio.imposta(alle(10, 10, 5));
        b.leggiMessaggi();
        QCOMPARE(pendente(b, Unita).righe, 0);
        QCOMPARE(b.descrizioni(Unita),
                 (QStringList{"Interrogazione manuale della periferica", "Stato regolare"}));
    }

    void unitaMutaChiamataTreVoltePoiMancataRisposta()
    {
        prova::BancoChiamate b;
        b.utente(Unita, Numero); // no unit answers this number
        b.orologio.imposta(alle(10, 3));
        QCOMPARE(ChiamaPeriferica(b.ctx, Unita), 0);
        QVERIFY(RegistraInterrogazione(b.ctx, Unita, interrogazione::ModoManuale));
        b.sim.storia();

        struct Passo {
            QDateTime ora;
            int chiamate;
            int tentativi; // 0: no row left
        };
        const QList<Passo> passi{{alle(10, 10, 10), 0, 1}, {alle(10, 20, 10), 1, 2}, {alle(10, 30, 10), 1, 3},
                                 {alle(10, 40, 10), 0, 0}, {alle(10, 50, 10), 0, 0}};
        for (const Passo& passo : passi) {
            b.orologio.imposta(passo.ora);
            ControllaInterrogazioni(b.ctx);
            QCOMPARE(b.chiamati().size(), passo.chiamate);
            QCOMPARE(pendente(b, Unita).tentativi, passo.tentativi);
            // The row keeps the time of the first call; retries do not move it.
            if (passo.tentativi)
                QCOMPARE(pendente(b, Unita).quando, alle(10, 3));
        }

        store::RecordSet ev = b.ctx.db->apriRecordSet(
            QStringLiteral("SELECT * FROM ArchivioEventi WHERE [Tipo evento] = 'Allarme'"));
        ev.moveLast();
        QCOMPARE(ev.recordCount(), 1);
        QCOMPARE(ev.campo("Descrizione evento").toString(), "Mancata risposta della periferica 000123");
        QCOMPARE(ev.campo("Testo messaggio").toString(),
                 "Mancata risposta della periferica 000123 all'interrogazione inviata il 02/03/2026 alle ore 10.03.00");
        const qint64 minuti = alle(10, 3).secsTo(ev.campo("Data e ora").toDateTime()) / 60;
        QVERIFY2(minuti >= 30 && minuti <= 40, qPrintable(QString::number(minuti)));
        QCOMPARE(ev.campo("Archiviato").toBool(), false);
    }

    void chiamataRifiutataNonScriveNullaERiprovaOgniPasso_data()
    {
        QTest::addColumn<QString>("risposta");
        QTest::newRow("BUSY") << "busy";
        QTest::newRow("NO CARRIER") << "nocarrier";
        QTest::newRow("ERROR") << "error";
    }
    void chiamataRifiutataNonScriveNullaERiprovaOgniPasso()
    {
        QFETCH(QString, risposta);
        prova::BancoChiamate b;
        b.utente(Unita, Numero);
        b.unita(Numero);
        b.sim.comando("dial " + risposta);

        QCOMPARE(ChiamaPeriferica(b.ctx, Unita), 1);
        QCOMPARE(b.chiamati(), QStringList{Numero});
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
        QCOMPARE(b.conta("SELECT count(*) FROM InterrogazioniPendenti"), 0);
        QVERIFY(b.ctx.db->valore("SELECT [Ultima interrogazione] FROM DatiUtente").isNull());

        // A pending unit whose retries are refused keeps its count, whatever
        // the number of passes.
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 2)", {Unita, alle(9, 0)});
        for (const QDateTime& t : {alle(10, 0, 10), alle(10, 10, 10)}) {
            b.orologio.imposta(t);
            ControllaInterrogazioni(b.ctx);
            QCOMPARE(b.chiamati(), QStringList{Numero});
            QCOMPARE(pendente(b, Unita).tentativi, 2);
        }
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
    }

    void nuovaInterrogazioneRiparteDaCapoSullaStessaRiga()
    {
        prova::BancoChiamate b;
        b.utente(Unita, Numero);
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 3)", {Unita, alle(9, 0)});
        b.orologio.imposta(alle(10, 3));
        QVERIFY(InterrogaAdesso(b.ctx, Unita));
        const Pendente p = pendente(b, Unita);
        QCOMPARE(p.righe, 1);
        QCOMPARE(p.quando, alle(10, 3));
        QCOMPARE(p.tentativi, 1);
        // Restarted, so the pass at 10:10 leaves it alone instead of giving up.
        b.orologio.imposta(alle(10, 10, 10));
        ControllaInterrogazioni(b.ctx);
        QCOMPARE(pendente(b, Unita).tentativi, 1);
        QCOMPARE(b.descrizioni(), QStringList{"Interrogazione manuale della periferica"});
    }

    void righeSenzaUtenteOSenzaOraNelPassaggio()
    {
        prova::BancoChiamate b;
        b.utente(Unita, Numero);
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES ('000900', ?, 3), ('000901', ?, 1), (?, NULL, NULL)",
                         {alle(9, 0), alle(9, 0), Unita});
        b.orologio.imposta(alle(10, 0, 10));
        ControllaInterrogazioni(b.ctx);
        // Subscribers gone: dropped, no event, nobody called. The row without
        // a time starts counting now.
        QCOMPARE(b.conta("SELECT count(*) FROM InterrogazioniPendenti"), 1);
        QCOMPARE(pendente(b, Unita).quando, alle(10, 0, 10));
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
        QCOMPARE(b.sim.storia(), QStringList());

        b.orologio.imposta(alle(10, 20, 10));
        ControllaInterrogazioni(b.ctx);
        QCOMPARE(b.chiamati(), QStringList{Numero});
        QCOMPARE(pendente(b, Unita).tentativi, 2); // an empty count was one call
    }

    void nienteDaChiamareONessunaLineaNessunTraffico()
    {
        prova::BancoChiamate b;
        b.utente("000001", QVariant());
        b.utente("000002", "");
        b.utente("000003", "   ");
        b.utente(Unita, Numero);
        for (const char* codice : {"000001", "000002", "000003", "000404"})
            QCOMPARE(ChiamaPeriferica(b.ctx, codice), 1);
        QCOMPARE(b.msg.testi(), QStringList());

        QVERIFY(!InterrogaAdesso(b.ctx, "000001"));
        QVERIFY(!InterrogaAdesso(b.ctx, "000404"));
        QCOMPARE(b.msg.testi(),
                 (QStringList{"L'utente 000001 non ha un telefono GSM fonia: la periferica non può essere chiamata.",
                              "L'utente 000404 non è memorizzato: salvarlo prima di interrogare la periferica."}));
        b.msg.svuota();

        {
            const modem::UsoLinea ciclo(b.ctx, modem::EtichettaLettura);
            QVERIFY(!InterrogaAdesso(b.ctx, Unita));
        }
        QCOMPARE(b.msg.testi(),
                 QStringList{"Il telefono è impegnato (Lettura messaggi in corso): la periferica 000123 non è stata chiamata."});
        QCOMPARE(b.sim.storia(), QStringList());
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
        // The call gave the line back: the next one goes ahead.
        QVERIFY(InterrogaAdesso(b.ctx, Unita));
        QVERIFY(b.ctx.lineaInUso.isEmpty());
    }

    void erroreDelDatabaseNonLasciaMezzaInterrogazione()
    {
        prova::BancoChiamate b;
        b.utente(Unita, Numero);
        b.ctx.db->esegui("INSERT INTO InterrogazioniPendenti VALUES ('000123', ?, 3)", {alle(9, 0)});
        b.ctx.db->esegui("CREATE TEMP TRIGGER rifiuta BEFORE INSERT ON ArchivioEventi "
                         "BEGIN SELECT RAISE(ABORT, 'disco pieno'); END");
        b.orologio.imposta(alle(10, 3));

        // The call went out, but its registration is refused whole.
        QVERIFY(!InterrogaAdesso(b.ctx, Unita));
        QCOMPARE(pendente(b, Unita).tentativi, 3);
        QCOMPARE(pendente(b, Unita).quando, alle(9, 0));
        QVERIFY(b.ctx.db->valore("SELECT [Ultima interrogazione] FROM DatiUtente").isNull());
        QCOMPARE(b.msg.testi().size(), 1);
        QVERIFY(b.msg.testi().first().startsWith(
            "Impossibile registrare l'interrogazione della periferica 000123.\nErrore del database: "));
        QVERIFY(b.msg.testi().first().contains("disco pieno"));
        b.msg.svuota();

        // The given-up row stays for the next pass when its alarm is refused.
        b.orologio.imposta(alle(10, 10, 10));
        ControllaInterrogazioni(b.ctx);
        QCOMPARE(pendente(b, Unita).righe, 1);
        QCOMPARE(b.conta("SELECT count(*) FROM ArchivioEventi"), 0);
        QCOMPARE(b.msg.testi().size(), 1);
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
        QVERIFY(!finestra.isVisible());
    }
};

QTEST_MAIN(TestInterrogazione)
#include "tst_interrogazione.moc"
