// The receiver on the test's thread, with the simulated handset on a
// pseudo-terminal and a real database file, and a desk beside it on its own
// connection: one receiver per database, indications served as they arrive,
// the desk's requests, the compaction that asks it to stand aside, and what a
// desk shows of it.

#include "comune/Banco.h"
#include "comune/Ricevitore.h"
#include "modem/LineaTelefono.h"
#include "receiver/Turni.h"
#include "shell/Allarme.h"
#include "shell/Compatta.h"
#include "shell/InCorso.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"
#include "store/Annunci.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>

using namespace sorvela;
using namespace std::chrono_literals;
using prova::kUnitaSimulata;

namespace {

// The desk and its receiver with one unit whose GSM number is the simulated one.
struct Centro : comune::ScrivaniaERicevitore {
    prova::Simulatore sim;
    explicit Centro(const QStringList& argomenti = {}) : sim(argomenti)
    {
        mappa(1, sim.percorso());
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)",
                   {kUnitaSimulata});
    }
    int eventi(const QString& testo = {})
    {
        return testo.isEmpty() ? db->valore("SELECT count(*) FROM ArchivioEventi").toInt()
                               : db->valore("SELECT count(*) FROM ArchivioEventi WHERE [Testo messaggio] = ?", {testo})
                                     .toInt();
    }
    QStringList memoria() { return sim.comando("list").filter(QRegularExpression("^\\d")); }
    // The answer to request `id`, once served (20 s at most).
    ricevitore::Esito attendi(qint64 id)
    {
        QDeadlineTimer limite(20s);
        while (!ricevitore::EsitoRichiesta(*db, id).servita && !limite.hasExpired())
            QTest::qWait(20);
        return ricevitore::EsitoRichiesta(*db, id);
    }
};

} // namespace

class TestRicevitore : public QObject {
    Q_OBJECT

private slots:
    // The first receiver holds the database until it stops; a second one
    // refuses and names the first, and then runs once the first has gone.
    void oneReceiverPerDatabase()
    {
        Centro c;
        QCOMPARE(c.avviaRicevitore(), QString());
        ricevitore::Ricevitore secondo({c.cartella.path(), c.c.urlDatabase, c.preferenze.percorso(), &c.orologio, "secondo"});
        const QString rifiuto = secondo.avvia();
        QVERIFY2(rifiuto.startsWith(comune::motoreServer()
                                        ? "Un altro ricevitore di nome \"principale\" riceve già da questo database (prova, processo "
                                        : "Un altro ricevitore riceve già da questo database (prova, processo "),
                 qPrintable(rifiuto));
        QVERIFY(!secondo.inFunzione());
        QCOMPARE(ricevitore::LeggiStato(*c.db).processo.left(5), "prova");

        QSignalSpy fermato(c.r.get(), &ricevitore::Ricevitore::fermato);
        c.r->ferma();
        QTRY_COMPARE(fermato.count(), 1);
        QVERIFY(!c.r->linea().aperta());
        QVERIFY(!ricevitore::LeggiStato(*c.db).presente); // a desk sees nobody at once
        QCOMPARE(secondo.avvia(), QString());
        QVERIFY(secondo.linea().aperta());
    }

    // On a server a centre runs two receivers, each on its own handset: both
    // read their own messages, one only leads the ten-minute jobs, and when
    // it goes the other takes them over within seconds without running
    // again what the slot already ran. A request naming a receiver is served
    // by that one; the others by either, each once.
    void centreOfTwoReceivers()
    {
        if (!comune::motoreServer())
            QSKIP("più ricevitori su un database solo su un server");
        Centro c;
        prova::Simulatore sim2;
        Preferenze pref2(c.cartella.filePath("secondo.ini"));
        pref2.setDispositivoPorta(1, sim2.percorso());
        pref2.setNumPort(1);
        pref2.scrivi("Ricevitore", "Nome", "secondo");
        c.db->esegui("UPDATE DatiUtente SET [Scadenza carta] = ?", {QDate(2026, 3, 1)});
        c.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(10, 0, 1)));
        QCOMPARE(c.avviaRicevitore(), QString());
        auto secondo = std::make_unique<ricevitore::Ricevitore>(ricevitore::Configurazione{
            .cartellaDati = c.cartella.path(), .urlDatabase = c.c.urlDatabase, .fileImpostazioni = pref2.percorso(),
            .orologio = &c.orologio, .programma = QStringLiteral("prova")});
        QCOMPARE(secondo->avvia(), QString());
        QCOMPARE(secondo->nome(), "secondo");
        QTRY_VERIFY_WITH_TIMEOUT(c.r->assestato() && secondo->assestato(), 5000);
        QTRY_VERIFY(c.r->capo() != secondo->capo());
        ricevitore::Ricevitore* capo = c.r->capo() ? c.r.get() : secondo.get();
        ricevitore::Ricevitore* altro = capo == c.r.get() ? secondo.get() : c.r.get();
        const QList<ricevitore::Stato> stati = ricevitore::LeggiStati(*c.db);
        QCOMPARE(stati.size(), 2);
        QCOMPARE(stati[0].capo + stati[1].capo, 1);

        c.sim.comando("sms " + kUnitaSimulata + " ALLARME SU UNO");
        sim2.comando("sms " + kUnitaSimulata + " ALLARME SU DUE");
        QTRY_COMPARE_WITH_TIMEOUT(c.eventi("ALLARME SU UNO") + c.eventi("ALLARME SU DUE"), 2, 5000);

        const qint64 mirata = ricevitore::Richiedi(*c.db, ricevitore::RichiestaLettura, {}, "Anna", "secondo");
        QList<qint64> libere;
        for (int i = 0; i < 6; ++i)
            libere << ricevitore::Richiedi(*c.db, ricevitore::RichiestaLettura, {}, "Anna");
        QCOMPARE(c.attendi(mirata).servita, true);
        QCOMPARE(c.db->valore("SELECT \"Servita da\" FROM RichiesteRicevitore WHERE ID = ?", {mirata}).toString(),
                 "secondo");
        for (const qint64 id : std::as_const(libere))
            QVERIFY(c.attendi(id).servita);
        QCOMPARE(c.db->valore("SELECT count(*) FROM RichiesteRicevitore WHERE \"Servita da\" IS NOT NULL").toInt(), 7);

        // The slot's jobs, 20 s in: run by the leader alone, once.
        c.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(10, 0, 25)));
        QTRY_COMPARE_WITH_TIMEOUT(c.db->valore("SELECT count(*) FROM LavoriCentro WHERE Ricevitore = ?", {capo->nome()})
                                      .toInt(),
                                  3, 5000);
        QTest::qWait(1500);
        QCOMPARE(c.eventi("Scadenza carta SIM"), 1);

        // The leader goes as a crash would take it: its connection ends.
        QElapsedTimer passaggio;
        passaggio.start();
        const QString vecchio = capo->nome();
        if (capo == c.r.get())
            c.r.reset();
        else
            secondo.reset();
        QTRY_VERIFY_WITH_TIMEOUT(altro->capo(), 5000);
        qInfo("passaggio della guida in %lld ms", passaggio.elapsed());
        QTest::qWait(1500);
        // Nothing of this slot again; the next slot's jobs are the new leader's.
        QCOMPARE(c.db->valore("SELECT count(*) FROM LavoriCentro WHERE Ricevitore = ?", {vecchio}).toInt(), 3);
        c.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(10, 10, 25)));
        QTRY_COMPARE_WITH_TIMEOUT(
            c.db->valore("SELECT count(*) FROM LavoriCentro WHERE Ricevitore = ?", {altro->nome()}).toInt(), 3, 5000);
        QCOMPARE(c.eventi("Scadenza carta SIM"), 1);
        QVERIFY(ricevitore::LeggiStati(*c.db).size() == 1);
    }

    // A desk on a server hears each change when it is committed, with its
    // one-second look stopped: an event, another desk's archive, and after a
    // lost listening connection (said on the strip) what came meanwhile.
    void deskHearsTheServerAtOnce()
    {
        if (!comune::motoreServer())
            QSKIP("gli annunci ci sono solo sul server");
        comune::Banco b;
        b.pref.scrivi("Ricevitore", "Modo", "esterno");
        auto altro = store::Database::apri(b.ctx.urlDatabase);
        MDIForm1 w(b.ctx);
        w.adottaDatabase(std::move(b.db));
        w.avvia();
        w.Timer1()->stop();
        auto* annunci = w.findChild<store::Annunci*>();
        QVERIFY(annunci);
        QTRY_VERIFY(annunci->inAscolto());
        auto conteggio = [&] { return w.striscia()->pannello(1)->testo(); };
        auto inserisci = [&] {
            altro->esegui("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio]) "
                          "VALUES ('000001', ?, 'Dell''Acqua')",
                          {QDateTime::currentDateTime()});
        };
        QElapsedTimer t;
        t.start();
        inserisci();
        QTRY_COMPARE_WITH_TIMEOUT(conteggio(), "Numero eventi nuovi: 1", 300);
        qInfo("evento mostrato in %lld ms", t.elapsed());
        // Another desk archives: this one follows at once.
        altro->esegui("UPDATE ArchivioEventi SET Archiviato = TRUE");
        QTRY_COMPARE_WITH_TIMEOUT(conteggio(), "Numero eventi nuovi: 0", 300);

        QCOMPARE(comune::comandoServer(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                      "WHERE query = 'LISTEN sorvela' AND datname = '%1'")
                                           .arg(b.base->nomeServer)),
                 QString());
        QTRY_VERIFY(!annunci->inAscolto());
        QVERIFY(w.striscia()->pannello(6)->testo().startsWith("Server non raggiungibile"));
        inserisci();
        QTRY_VERIFY_WITH_TIMEOUT(annunci->inAscolto(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(conteggio(), "Numero eventi nuovi: 1", 300);
        QCOMPARE(w.striscia()->pannello(6)->testo(), QString());
    }

    // Each indication starts the cycle as its bytes arrive, not at the next
    // one-second step: over five messages sent at random moments the slowest
    // is an event well within half a second.
    void indicationsAreServedAsTheyArrive()
    {
        Centro c;
        QCOMPARE(c.avviaRicevitore(), QString());
        QTRY_VERIFY(c.r->assestato() && c.r->linea().occupataDa().isEmpty());
        QTest::qWait(100); // the start-up cycle
        qint64 peggiore = 0;
        for (int i = 1; i <= 5; ++i) {
            QTest::qWait(137 * i % 900);
            QElapsedTimer t;
            t.start();
            c.sim.comando(QStringLiteral("sms %1 ALLARME %2").arg(kUnitaSimulata).arg(i));
            QTRY_COMPARE_WITH_TIMEOUT(c.eventi(), i, 3000);
            peggiore = std::max(peggiore, t.elapsed());
        }
        QVERIFY2(peggiore < 500, qPrintable(QString::number(peggiore)));
        QCOMPARE(c.memoria(), QStringList());
        // Each report went to the desks, once.
        const auto avvisi = ricevitore::AvvisiDopo(*c.db, 0);
        QCOMPARE(std::count_if(avvisi.cbegin(), avvisi.cend(),
                               [](const auto& a) { return a.tipo == ricevitore::TipoRapporto; }),
                 5);
    }

    // The desk's requests: "Interroga adesso" makes the call and records it
    // under the operator who asked; "Annulla" ends the wait for the unit at
    // once; a call the handset refuses records nothing and says so; "Carica
    // messaggi" reads at once what no indication announced.
    void interrogationRequests()
    {
        Centro c({"--delay-nocarrier", "60000"}); // the unit never hangs up by itself
        QCOMPARE(c.avviaRicevitore(), QString());
        QTRY_VERIFY(c.r->assestato() && c.r->linea().occupataDa().isEmpty());
        const qint64 chiamata = ricevitore::Richiedi(*c.db, ricevitore::RichiestaInterrogazione, "000001", "Anna");
        QString mostrata;
        QElapsedTimer t;
        // Runs inside the call's wait, as the desk's look and click would.
        QTimer::singleShot(1500, [&] {
            mostrata = ricevitore::LeggiStato(*c.db).attivita;
            t.start();
            ricevitore::Richiedi(*c.db, ricevitore::RichiestaAnnulla, {}, "Anna");
        });
        QCOMPARE(c.attendi(chiamata).testo, QString());
        QCOMPARE(mostrata, "Interrogazione in corso della periferica 000001"); // the call shows on the desks
        QVERIFY2(t.isValid() && t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(c.eventi("Interrogazione della periferica"), 1);
        QCOMPARE(c.db->valore("SELECT Operatore FROM RegistroOperazioni").toString(), "Anna");
        QTRY_COMPARE(ricevitore::LeggiStato(*c.db).attivita, QString());

        c.sim.comando("dial busy");
        const qint64 rifiutata = ricevitore::Richiedi(*c.db, ricevitore::RichiestaInterrogazione, "000001", "Anna");
        QCOMPARE(c.attendi(rifiutata).testo, "La periferica 000001 non è stata interrogata.");
        QCOMPARE(c.eventi("Interrogazione della periferica"), 1);
        // "Carica messaggi": a message stored without any indication is read now.
        c.sim.comando("store " + kUnitaSimulata + " ALLARME SENZA AVVISO");
        QElapsedTimer lettura;
        lettura.start();
        QCOMPARE(c.attendi(ricevitore::Richiedi(*c.db, ricevitore::RichiestaLettura, {}, "Anna")).testo, QString());
        QCOMPARE(c.eventi("ALLARME SENZA AVVISO"), 1);
        QVERIFY(lettura.elapsed() < 2000);
        // A request left from when no receiver ran is answered, not carried out.
        c.r.reset();
        c.db->esegui("INSERT INTO RichiesteRicevitore (\"Data e ora\", Richiesta, Argomento) VALUES (?, 'interroga', "
                     "'000001')",
                     {QDateTime::currentDateTimeUtc().addSecs(-3600)});
        QCOMPARE(c.avviaRicevitore(), QString());
        QCOMPARE(ricevitore::EsitoRichiesta(*c.db, c.db->valore("SELECT max(ID) FROM RichiesteRicevitore").toLongLong())
                     .testo,
                 "Richiesta scaduta: il ricevitore non era attivo.");
    }

    // "Compatta database" while messages arrive: the receiver stands aside
    // for the swap and the file really is replaced; every message is one
    // event afterwards, none lost and none twice.
    void compactionWhileMessagesArriveLosesNothing()
    {
        if (comune::motoreServer())
            QSKIP("sul server la compattazione è VACUUM (ANALYZE)");
        Centro c;
        QCOMPARE(c.avviaRicevitore(), QString());
        QTRY_VERIFY(c.r->assestato() && c.r->linea().occupataDa().isEmpty());
        QSignalSpy cambiato(c.r.get(), &ricevitore::Ricevitore::cambiato);
        int inviati = 0;
        QTimer unita;
        QObject::connect(&unita, &QTimer::timeout, [&] {
            if (inviati < 12)
                c.sim.comando(QStringLiteral("sms %1 ALLARME %2").arg(kUnitaSimulata).arg(++inviati));
        });
        unita.start(60);
        auto* finestra = new Compatta(c.c, nullptr);
        QSignalSpy finita(finestra, &Compatta::finita);
        bool sospeso = false;
        QTimer sonda;
        QObject::connect(&sonda, &QTimer::timeout, [&] {
            sospeso = sospeso || c.r->contesto().db == nullptr;
        });
        sonda.start(5);
        finestra->avvia();
        QTRY_COMPARE_WITH_TIMEOUT(finita.count(), 1, 30000);
        QVERIFY(sospeso);
        const auto esito = finita.first().first().value<store::EsitoCompattazione>();
        QVERIFY2(esito.riuscita(), qPrintable(esito.dettaglio));
        QVERIFY(QFile::exists(c.cartella.filePath("Sorvela.bak")));
        QVERIFY(!QFile::exists(ricevitore::FileCompattazione(c.cartella.path())));
        QTRY_COMPARE_WITH_TIMEOUT(inviati, 12, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.eventi(), 12, 15000);
        for (int i = 1; i <= 12; ++i)
            QCOMPARE(c.eventi(QStringLiteral("ALLARME %1").arg(i)), 1);
        QCOMPARE(c.memoria(), QStringList());
        QCOMPARE(ricevitore::LeggiStato(*c.db).attivita, QString());
    }

    // What a desk shows of a receiver it only knows through the database:
    // its handset's state, a silent receiver told once with the sound and
    // withdrawn when it beats again, its wait in the progress window, whose
    // "Annulla" becomes a request, and its notices.
    void deskFollowsTheReceiverThroughTheDatabase()
    {
        comune::Banco b;
        b.pref.scrivi("Ricevitore", "Modo", "esterno");
        auto battito = [&](int secondiFa, const QString& attivita = {}) {
            b.ctx.db->esegui("DELETE FROM StatoRicevitore WHERE Nome = 'principale'");
            b.ctx.db->esegui("INSERT INTO StatoRicevitore (Nome, Processo, Battito, Porta, Telefono, "
                             "\"Attività\") VALUES ('principale', 'altrove', ?, 3, 'connesso', ?)",
                             {QDateTime::currentDateTimeUtc().addSecs(-secondiFa), attivita});
        };
        battito(60);
        MDIForm1 w(b.ctx);
        w.adottaDatabase(std::move(b.db));
        w.avvia();
        w.Timer1()->stop();
        w.aggiornaRicevitore();
        w.aggiornaRicevitore();
        QCOMPARE(w.striscia()->pannello(5)->testo(), ricevitore::TestoNonAttivo);
        QVERIFY(w.striscia()->pannello(5)->sfondo().isValid()); // red
        QCOMPARE(b.msg.voci().size(), 1);
        QVERIFY(b.msg.notificaMostrata("ricevitore").startsWith("Ricevitore non attivo: nessuno riceve"));
        QCOMPARE(w.allarme()->volteSuonato(), 1);

        battito(0, "Lettura messaggi in corso");
        w.aggiornaRicevitore();
        QCOMPARE(b.msg.notificaMostrata("ricevitore"), QString());
        QCOMPARE(w.striscia()->pannello(5)->testo(), "connesso");
        QCOMPARE(w.striscia()->pannello(2)->testo(), "Telefono COM3");
        QVERIFY(w.inCorso()->isVisible());
        QCOMPARE(w.inCorso()->Label1()->text(), "Lettura messaggi in corso");
        comune::premi(w.inCorso(), "cmdAnnulla");
        QCOMPARE(b.ctx.db->valore("SELECT Richiesta FROM RichiesteRicevitore").toString(), ricevitore::RichiestaAnnulla);
        battito(0);
        b.ctx.db->esegui("INSERT INTO AvvisiRicevitore (\"Data e ora\", Tipo, Icona, Testo, Allarme) "
                         "VALUES (?, 'telefono', 1, 'La porta COM3 non è disponibile.', TRUE)",
                         {QDateTime::currentDateTimeUtc()});
        w.aggiornaRicevitore();
        QVERIFY(!w.inCorso()->isVisible());
        QCOMPARE(b.msg.notificaMostrata("telefono"), "La porta COM3 non è disponibile.");
        QCOMPARE(w.allarme()->volteSuonato(), 2);
        w.aggiornaRicevitore(); // told once
        QCOMPARE(w.allarme()->volteSuonato(), 2);
    }
};

QTEST_MAIN(TestRicevitore)
#include "tst_ricevitore.moc"
