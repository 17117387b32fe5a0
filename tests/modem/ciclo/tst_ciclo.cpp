// The retrieval cycle end to end: the real serial code against the simulated
// handset, the real registration into a database file, as the operator and
// the handset see it.

#include "ciclo_aiuto.h"

#include <QtTest>

using namespace sorvela;
using namespace sorvela::modem;
using namespace sorvela::prova;

namespace {

const QString kInizio = QStringLiteral("AT+CNMI=1,1,0,0,1");
const QString kAvvisoResta =
    QStringLiteral("I messaggi non registrati restano nel telefono e saranno letti al prossimo ciclo.");

} // namespace

class TestCiclo : public QObject {
    Q_OBJECT

private slots:
    void treMessaggiInOrdineDiIndice()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000001"), QStringLiteral("+393351111111"));
        b.aggiungiUtente(QStringLiteral("000002"), QStringLiteral("3352222222"));
        for (int i = 0; i < 2; ++i)
            b.db->esegui(QStringLiteral("INSERT INTO InterrogazioniPendenti VALUES ('000002', ?, 1)"),
                         {b.orologio.adesso()});
        sim.comando(QStringLiteral("store +393351111111 primo"));
        sim.comando(QStringLiteral("store +393352222222 secondo"));
        sim.comando(QStringLiteral("store +393351111111 terzo"));
        sim.storia();

        const RiepilogoLettura r = b.leggi();

        QCOMPARE(b.testiEventi(), (QStringList{QStringLiteral("000001 primo"), QStringLiteral("000002 secondo"),
                                               QStringLiteral("000001 terzo")}));
        QCOMPARE(b.conta(QStringLiteral("SELECT count(*) FROM InterrogazioniPendenti")), 1);
        QCOMPARE(Memoria(sim), QStringList());
        QCOMPARE(Comandi(sim),
                 (QStringList{kInizio, "AT+CMGL=0", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2", "AT+CMGD=2",
                              "AT+CMGR=3", "AT+CMGD=3", "AT+CMGL=1"}));
        QCOMPARE(b.mostrati.size(), 3);
        QCOMPARE(b.mostrati[1].codice, QStringLiteral("000002"));
        QCOMPARE(b.mostrati[1].mittente, QStringLiteral("+393352222222"));
        QCOMPARE(b.mostrati[1].testo, QStringLiteral("secondo"));
        QCOMPARE(b.progresso.etichette, QStringList{QStringLiteral("Lettura messaggi in corso")});
        QVERIFY(!b.progresso.aperto);
        QCOMPARE(b.messaggi.testi(), QStringList());
        QCOMPARE(r.cancellati, 3);
    }

    void ogniIndiceElencatoVieneLetto()
    {
        // The store in use by other software: indices from 0, gaps, far
        // beyond ten, more than ten messages, read and unread mixed.
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000001"), QStringLiteral("3351111111"));
        const QList<int> indici{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 15, 150};
        for (const int i : indici)
            sim.comando(QStringLiteral("put %1 %2 +393351111111 m%1").arg(i).arg(i % 2));

        b.leggi();

        QCOMPARE(Memoria(sim), QStringList());
        QStringList attesi;
        for (const int stato : {0, 1})
            for (const int i : indici)
                if (i % 2 == stato)
                    attesi << QStringLiteral("000001 m%1").arg(i);
        QCOMPARE(b.testiEventi(), attesi);
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    void mittenteSconosciutoCancellatoSenzaEvento()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000009"), QString()); // no GSM number on file
        sim.comando(QStringLiteral("store +393399999999 credito: 10 euro;"));
        sim.comando(QStringLiteral("store 0612345678 ALLARME INGRESSO 3"));

        const RiepilogoLettura r = b.leggi();

        QCOMPARE(b.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi")), 0);
        QCOMPARE(Memoria(sim), QStringList());
        QCOMPARE(b.mostrati.size(), 2);
        QCOMPARE(b.mostrati[0].codice, QStringLiteral("000000"));
        QCOMPARE(b.mostrati[1].codice, QStringLiteral("000000"));
        QCOMPARE(b.mostrati[1].mittente, QStringLiteral("0612345678"));
        QCOMPARE(r.sconosciuti, 2);
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    void memoriaVuotaSoloElenchi()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.leggi();
        QCOMPARE(Comandi(sim), (QStringList{kInizio, "AT+CMGL=0", "AT+CMGL=1"}));
        QCOMPARE(b.progresso.etichette.size(), 1);
        QVERIFY(!b.progresso.aperto);
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    void telefonoAssenteNessunProgresso()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        sim.comando(QStringLiteral("fault silent"));
        const RiepilogoLettura r = b.leggi();
        QVERIFY(!r.modemPronto);
        QCOMPARE(b.progresso.etichette, QStringList());
        QCOMPARE(b.messaggi.testi(), (QStringList{QStringLiteral("Controlla il telefono."),
                                                  QStringLiteral("Telefono non rilevato alla porta COM1")}));
    }

    void elencoConErroreAvvisaUnaVolta()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000001"), QStringLiteral("3351111111"));
        sim.comando(QStringLiteral("store +393351111111 primo"));
        // The handset took the initialisation, then refuses everything.
        b.progresso.allApertura = [&] { sim.comando(QStringLiteral("fault error")); };

        const RiepilogoLettura r = b.leggi();

        QCOMPARE(r.letti, 0);
        QCOMPARE(b.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi")), 0);
        QCOMPARE(Memoria(sim).size(), 1);
        QCOMPARE(b.messaggi.testi(), QStringList{QStringLiteral("Controlla il telefono.")});
    }

    // --- faults: nothing lost, nothing registered twice

    void telefonoMutoDopoUnaLettura()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000001"), QStringLiteral("3351111111"));
        for (const char* t : {"primo", "secondo", "terzo"})
            sim.comando(QStringLiteral("store +393351111111 ") + QLatin1String(t));
        // The handset goes quiet after the first message was read and
        // registered, before it confirms the deletion.
        b.dopoMostrato = [&](int n) {
            if (n == 1)
                sim.comando(QStringLiteral("fault silent"));
        };

        RiepilogoLettura r = b.leggi();
        QCOMPARE(r.registrati, 1);
        QCOMPARE(b.messaggi.testi(), QStringList{QStringLiteral("Controlla il telefono.\n") + kAvvisoResta});
        QCOMPARE(Memoria(sim).size(), 3);
        QCOMPARE(b.mostrati.size(), 1);

        sim.comando(QStringLiteral("fault none"));
        b.messaggi.svuota();
        b.dopoMostrato = nullptr;
        r = b.leggi();

        QCOMPARE(b.testiEventi(), (QStringList{QStringLiteral("000001 primo"), QStringLiteral("000001 secondo"),
                                               QStringLiteral("000001 terzo")}));
        QCOMPARE(Memoria(sim), QStringList());
        QCOMPARE(b.messaggi.testi(), QStringList());
        QCOMPARE(b.mostrati.size(), 3); // the first report is not shown twice
    }

    void databaseInSolaLettura()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000001"), QStringLiteral("3351111111"));
        for (const char* t : {"primo", "secondo", "terzo"})
            sim.comando(QStringLiteral("store +393351111111 ") + QLatin1String(t));
        b.db->esegui(QStringLiteral("PRAGMA query_only = 1"));

        RiepilogoLettura r = b.leggi();
        QCOMPARE(r.registrati, 0);
        QCOMPARE(Memoria(sim).size(), 3);
        QCOMPARE(b.messaggi.voci().size(), 1);
        QVERIFY(b.messaggi.testi().first().startsWith(QStringLiteral("Impossibile registrare i messaggi ricevuti: ")));
        QVERIFY(b.messaggi.testi().first().endsWith(kAvvisoResta));

        b.db->esegui(QStringLiteral("PRAGMA query_only = 0"));
        b.messaggi.svuota();
        r = b.leggi();
        QCOMPARE(b.testiEventi(), (QStringList{QStringLiteral("000001 primo"), QStringLiteral("000001 secondo"),
                                               QStringLiteral("000001 terzo")}));
        QCOMPARE(Memoria(sim), QStringList());
        QCOMPARE(b.messaggi.testi(), QStringList());
    }

    // --- indications during the cycle

    void messaggioArrivatoDuranteIlCicloRegistratoSubito()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000001"), QStringLiteral("3351111111"));
        sim.comando(QStringLiteral("store +393351111111 primo"));
        // A new message arrives and is announced while the first is being
        // handled; it is unread, so the read-state listing would not show it.
        b.dopoMostrato = [&](int n) {
            if (n == 1)
                sim.comando(QStringLiteral("sms +393351111111 ALLARME INGRESSO 3"));
        };

        const RiepilogoLettura r = b.leggi();

        QCOMPARE(b.testiEventi(),
                 (QStringList{QStringLiteral("000001 primo"), QStringLiteral("000001 ALLARME INGRESSO 3")}));
        QCOMPARE(Memoria(sim), QStringList());
        QCOMPARE(r.elenchi, 4);
    }

    void telefonoChiacchieroneNonTieneIlCicloPerSempre()
    {
        Simulatore sim;
        BancoCiclo b;
        b.collega(sim);
        b.aggiungiUtente(QStringLiteral("000001"), QStringLiteral("3351111111"));
        sim.comando(QStringLiteral("store +393351111111 primo"));
        b.dopoMostrato = [&](int) { sim.comando(QStringLiteral("sms +393351111111 ancora")); };

        const RiepilogoLettura r = b.leggi();

        QCOMPARE(r.elenchi, 8);
        QCOMPARE(Memoria(sim).size(), 1); // the last one waits for the next cycle
        QCOMPARE(b.conta(QStringLiteral("SELECT count(*) FROM ArchivioEventi")), 4);
    }
};

QTEST_MAIN(TestCiclo)
#include "tst_ciclo.moc"
