// The retrieval cycle end to end: the real serial code against sorvela-sim on
// a pseudo-terminal, registration into a real database file. A test steps in
// at known moments of the cycle through the report (after a read, before its
// deletion) or through the handset's own triggers ("on AT+CMGR=2 …").

#include "events/Registrazione.h"
#include "comune/ModoLettura.h"
#include "comune/ServerDatabase.h"
#include "modem/Lettura.h"
#include "modem/Simulatore.h"
#include "modem/pdu/DecodificaPdu.h"
#include "modem/pdu/Messaggio.h"
#include "store/Database.h"

#include <QtTest>

using namespace sorvela;
using namespace sorvela::modem;

namespace {

const QString kResta = QStringLiteral("I messaggi non registrati restano nel telefono e saranno letti al prossimo ciclo.");

struct Banco : prova::BancoConTelefono, Avanzamento {
    std::unique_ptr<comune::DatabaseDiProva> base;
    std::unique_ptr<store::Database> db;
    QStringList etichette, mostrati; // progress labels; reports as "code sender text"
    bool inCorso = false;
    std::function<void(int)> dopoMostrato; // after the n-th report, before its deletion
    CicloLettura ciclo{[](Contesto& c, const pdu::MessaggioRicevuto& m) { return RegistraMessaggio(c, m); },
                       [this](const QString& cod, const QString& mitt, const QString& testo) {
        mostrati << cod + u' ' + mitt + u' ' + pdu::TogliNul(testo);
        if (dopoMostrato)
            dopoMostrato(int(mostrati.size()));
    }};

    Banco()
    {
        base = comune::databaseDelBanco(cartella.path(), c);
        db = std::move(base->db);
        c.InCorso = this;
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES "
                   "('000001', '+393351111111'), ('000002', '3352222222'), ('000009', '')");
    }
    void mostra(const QString& e) override
    {
        etichette << e;
        inCorso = true;
    }
    void chiudi() override { inCorso = false; }

    // The cycle, its summary told as the console tells it.
    RiepilogoLettura leggi()
    {
        const RiepilogoLettura r = ciclo.LetturaMessaggi(c);
        if (!r.avviso.isEmpty())
            messaggi.notifica(TipoAvvisoLettura, Icona::Avviso, r.avviso);
        return r;
    }
    void deposita(const QStringList& testi)
    {
        for (const QString& t : testi)
            sim.comando("store +393351111111 " + t);
    }
    QStringList eventi()
    {
        QStringList r;
        for (auto rs = db->apriRecordSet("SELECT * FROM ArchivioEventi ORDER BY ID"); !rs.eof(); rs.moveNext())
            r << rs.campo("Codice periferica").toString() + u' ' + rs.campo("Testo messaggio").toString();
        return r;
    }
    QStringList memoria() { return sim.comando("list").filter(QRegularExpression("^\\d")); }
    QStringList comandi() { return sim.storia().filter(QRegularExpression(".")); }
};

} // namespace

class TestCiclo : public QObject {
    Q_OBJECT

private slots:
    void treMessaggiInOrdineDiIndice()
    {
        Banco b;
        for (int i = 0; i < 2; ++i)
            b.db->esegui("INSERT INTO InterrogazioniPendenti VALUES ('000002', '2026-03-02 09:00:00', 1)");
        b.sim.comando("store +393351111111 primo");
        b.sim.comando("store +393352222222 secondo");
        b.sim.comando("store +393351111111 terzo");

        b.leggi();

        QCOMPARE(b.eventi(), (QStringList{"000001 primo", "000002 secondo", "000001 terzo"}));
        QCOMPARE(b.mostrati, (QStringList{"000001 +393351111111 primo", "000002 +393352222222 secondo",
                                          "000001 +393351111111 terzo"}));
        QCOMPARE(b.db->valore("SELECT count(*) FROM InterrogazioniPendenti").toInt(), 1);
        QCOMPARE(b.memoria(), QStringList());
        if (comune::kLetturaSingola)
            QCOMPARE(b.comandi(), (QStringList{"AT+CNMI=1,1,0,0,1", "AT+CMGL=0", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2",
                                               "AT+CMGD=2", "AT+CMGR=3", "AT+CMGD=3", "AT+CMGL=1"}));
        else
            QCOMPARE(b.comandi(), (QStringList{"AT+CNMI=1,1,0,0,1", "AT+CMGL=0", "AT+CMGD=1", "AT+CMGD=2", "AT+CMGD=3",
                                               "AT+CMGL=1"}));
        QCOMPARE(b.etichette, QStringList{"Lettura messaggi in corso"});
        QVERIFY(!b.inCorso);
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    // Switched to take messages from the listing: a whole listing crosses
    // the line once and nothing is read again; a garbled one is trusted for
    // nothing but its indices, read again with "AT+CMGR" in the same cycle.
    void dallElenco_data()
    {
        QTest::addColumn<QString>("guasto");
        QTest::newRow("whole listing") << QString();
        QTest::newRow("noise amid the listing") << "on AT+CMGL=0 amid noise random 60";
    }

    void dallElenco()
    {
        QFETCH(QString, guasto);
        Banco b;
        b.ciclo.setDaElenco(true);
        for (const char* t : {"primo", "secondo", "terzo"})
            b.sim.comando(QStringLiteral("store +393351111111 %1").arg(t));
        if (!guasto.isEmpty())
            b.sim.comando(guasto);
        const RiepilogoLettura r = b.leggi();
        QCOMPARE(b.eventi(), (QStringList{"000001 primo", "000001 secondo", "000001 terzo"}));
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(r.letti, 3);
        const QStringList letture = b.comandi().filter("AT+CMGR");
        if (guasto.isEmpty()) {
            QCOMPARE(letture, QStringList());
            QCOMPARE(r.riletti, 0);
        } else {
            QVERIFY(!letture.isEmpty());
            QCOMPARE(r.riletti, int(letture.size()));
        }
    }

    void ogniIndiceEOgniMittente()
    {
        // Indices from 0, gaps, far beyond ten, more than ten, read and
        // unread mixed; strangers and a national sender among them.
        Banco b;
        QStringList attesi[2];
        for (const int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 15, 150}) {
            b.sim.comando(QStringLiteral("put %1 %2 +393351111111 m%1").arg(i).arg(i % 2));
            attesi[i % 2] << QStringLiteral("000001 m%1").arg(i);
        }
        b.sim.comando("put 9 0 +393399999999 sconosciuto");
        b.sim.comando("put 10 1 0612345678 nazionale");

        const RiepilogoLettura r = b.leggi();

        QCOMPARE(b.eventi(), attesi[0] + attesi[1]);
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(b.mostrati.filter("000000"), (QStringList{"000000 +393399999999 sconosciuto", "000000 0612345678 nazionale"}));
        QCOMPARE(r.sconosciuti, 2);
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    void memoriaVuotaEElencoRifiutato()
    {
        Banco b;
        b.leggi();
        QCOMPARE(b.comandi(), (QStringList{"AT+CNMI=1,1,0,0,1", "AT+CMGL=0", "AT+CMGL=1"}));
        QCOMPARE(b.messaggi.testi(), QStringList());

        b.deposita({"primo"});
        b.sim.comando("on AT+CMGL fault error"); // took the initialisation, refuses the listings
        const RiepilogoLettura r = b.leggi();
        QCOMPARE(r.letti, 0);
        QCOMPARE(b.memoria().size(), 1);
        QCOMPARE(b.messaggi.testi(), QStringList{"Controlla il telefono."});

        // A garbled index no handset can hold is passed over, not turned into another one.
        QCOMPARE(EstraiIndici("\r\n+CMGL: 99999999999,0,,28\r\n+CMGL: ,1,,28\r\n+CMGL: 7,1,,28\r\n"), QList<int>{7});
    }

    // --- faults: every unprocessed message stays, the next cycle registers each once

    void guastoAMetaCiclo_data()
    {
        QTest::addColumn<QString>("guasto");
        QTest::addColumn<QString>("avviso");
        QTest::addColumn<QStringList>("primoCiclo"); // events after the faulty cycle
        QTest::addColumn<QStringList>("tutti");      // events after the next one
        const QString controlla = "Controlla il telefono.\n" + kResta;
        // A reply that never ends puts the line out of step: nothing more is
        // read or deleted in that cycle.
        QTest::newRow("reply cut before OK") << "cut" << controlla << QStringList{"primo"}
                                                  << QStringList{"primo", "secondo", "terzo"};
        QTest::newRow("handset silent after a read") << "silent" << controlla << QStringList{"primo"}
                                                     << QStringList{"primo", "secondo", "terzo"};
        QTest::newRow("database read-only") << "readonly" << "Impossibile registrare i messaggi ricevuti: "
                                            << QStringList{} << QStringList{"primo", "secondo", "terzo"};
    }

    void guastoAMetaCiclo()
    {
        QFETCH(QString, guasto);
        QFETCH(QString, avviso);
        QFETCH(QStringList, primoCiclo);
        QFETCH(QStringList, tutti);
        Banco b;
        b.deposita({"primo", "secondo", "terzo"});
        if (guasto == "cut") {
            // The next reply after the first message's: its deletion's
            // when the message came in the listing.
            const QString dopo = comune::kLetturaSingola ? "AT+CMGR=2" : "AT+CMGD=1";
            b.sim.comando("on " + dopo + " fault truncate");
            b.sim.comando(comune::kLetturaSingola ? "on AT+CMGR=3 fault none" : "on AT+CMGD=2 fault none");
        } else if (guasto == "silent") {
            b.dopoMostrato = [&](int n) { n == 1 && b.sim.comando("fault silent").size(); };
        } else {
            comune::solaLettura(*b.db, true);
        }
        auto eventi = [&] { return b.eventi().replaceInStrings("000001 ", ""); };

        b.leggi();
        QCOMPARE(eventi(), primoCiclo);
        QCOMPARE(b.messaggi.voci().size(), 1);
        QVERIFY2(b.messaggi.testi()[0].startsWith(avviso) && b.messaggi.testi()[0].endsWith(kResta),
                 qPrintable(b.messaggi.testi()[0]));

        b.sim.comando("fault none");
        comune::solaLettura(*b.db, false);
        b.messaggi.svuota();
        b.dopoMostrato = nullptr;
        b.leggi();
        QCOMPARE(eventi(), tutti);
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    void sconosciutoTenutoUnaVoltaAnchePersoPrimaDellaCancellazione()
    {
        Banco b;
        b.sim.comando("put 4 0 +393399999999 ALLARME");
        // The handset goes silent as the deletion is asked for, as if the
        // console had been stopped right after keeping the message.
        b.sim.comando("on AT+CMGD fault silent");
        b.leggi();
        QCOMPARE(b.memoria().size(), 1);
        b.sim.comando("fault none");
        const RiepilogoLettura r = b.leggi();
        QCOMPARE(r.ripetuti, 1);
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(comune::unite(*b.db, "SELECT Mittente || ' ' || [Testo messaggio] FROM MessaggiNonAttribuiti"),
                 "+393399999999 ALLARME");
        QCOMPARE(b.eventi(), QStringList());
    }

    // --- a message announced while the cycle runs is registered in that cycle

    void indicazioneDuranteIlCiclo_data()
    {
        QTest::addColumn<QString>("innesco");
        QTest::newRow("between two commands") << "";
        QTest::newRow("inside another message's reply") << "on " + comune::comandoPdu(1) + " amid sms +393352222222 ALLARME";
        QTest::newRow("before another reply's header") << "on " + comune::comandoPdu(1) + " sms +393352222222 ALLARME";
        QTest::newRow("splitting a deletion's OK") << "on AT+CMGD=1 amid sms +393352222222 ALLARME";
    }

    void indicazioneDuranteIlCiclo()
    {
        QFETCH(QString, innesco);
        Banco b;
        b.deposita({"primo"});
        if (innesco.isEmpty())
            b.dopoMostrato = [&](int n) { n == 1 && b.sim.comando("sms +393352222222 ALLARME").size(); };
        else
            b.sim.comando(innesco);

        b.leggi();

        QCOMPARE(b.eventi(), (QStringList{"000001 primo", "000002 ALLARME"}));
        QCOMPARE(b.memoria(), QStringList());
        QCOMPARE(b.messaggi.testi(), QStringList());
    }
};

QTEST_MAIN(TestCiclo)
#include "tst_ciclo.moc"
