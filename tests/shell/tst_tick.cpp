// The console running by itself: the main window and its tick, and the
// receiver's scheduler, on a real database file, a virtual clock moved one
// second per step, and the simulated handset on a pseudo-terminal.

#include "comune/Banco.h"
#include "events/Registrazione.h"
#include "modem/Lettura.h"
#include "modem/LineaTelefono.h"
#include "modem/pdu/Messaggio.h"
#include "modem/Simulatore.h"
#include "shell/Allarme.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"
#include "shell/Tick.h"
#include "receiver/Turni.h"
#include "windows/CodaEventi.h"

#include <QTableWidget>

#include <pty.h>
#include <unistd.h>

using namespace sorvela;
using namespace std::chrono_literals;
using prova::Simulatore;

namespace {

// The main window and its tick, with the receiver's scheduler beside it on
// the same line; the ten-minute jobs only note when they ran.
struct Console : comune::Banco {
    MDIForm1 finestra{ctx};
    std::unique_ptr<Tick> tick;
    ricevitore::Turni turni{ctx};
    QMap<QString, QList<QDateTime>> lavori;   // job -> clock at each run

    Console()
    {
        pref.scrivi(QStringLiteral("Ricevitore"), QStringLiteral("Modo"), QStringLiteral("esterno"));
        finestra.adottaDatabase(std::move(db));
        finestra.show();
        tick = std::make_unique<Tick>(ctx, collegamentiFinestraPrincipale(finestra));
        auto& k = turni.lavori();
        for (auto [nome, gancio] : {std::pair{"LetturaMessaggi", &k.LetturaMessaggi},
                                    {"ControllaInterrogazioni", &k.ControllaInterrogazioni},
                                    {"InterrogaPeriferiche", &k.InterrogaPeriferiche},
                                    {"ControllaScadenzeSim", &k.ControllaScadenzeSim}})
            *gancio = [this, n = QString::fromLatin1(nome)] { lavori[n] << orologio.adesso(); };
    }
    void secondi(int n)
    {
        for (int i = 0; i < n; ++i) {
            orologio.avanza(1s);
            tick->passo();
            turni.passo();
        }
    }
    CodaEventi* coda() { return qobject_cast<CodaEventi*>(finestra.finestra("CodaEventi")); }
    QString pannello(int i) { return finestra.striscia()->pannello(i)->testo(); }
    int suoni() { return finestra.allarme()->volteSuonato(); }
    QStringList codici()
    {
        QStringList t;
        for (int r = 0; r < coda()->Coda()->rowCount(); ++r)
            t << coda()->Coda()->item(r, 0)->text();
        return t;
    }
};

// Opens the console's line on the simulator, as the start-up does.
bool apriLinea(Console& c, const QString& terminale)
{
    c.pref.setDispositivoPorta(1, terminale);
    return c.ctx.linea->apri(1).isEmpty();
}

// Lets the line's data reach the port's buffer, as the event loop does
// between two ticks.
void attendiLinea(Console& c)
{
    QTRY_VERIFY_WITH_TIMEOUT(c.ctx.linea->seriale().bytesAvailable() > 0, 3000);
    QTest::qWait(50);
}

} // namespace

class TestTick : public QObject {
    Q_OBJECT

private slots:
    void startupWithNewEventsAlertsOnceOpensQueueAndPrintsCount()
    {
        Console c;
        c.evento("000001");
        c.evento("000002", "Test");
        c.secondi(1);
        QCOMPARE(c.suoni(), 1);
        QVERIFY(c.coda());
        QCOMPARE(c.codici(), (QStringList{"000001", "000002"}));
        QCOMPARE(c.pannello(1), "Numero eventi nuovi: 2");
        QCOMPARE(c.pannello(4), "10.00.01");
        c.secondi(5);
        QCOMPARE(c.suoni(), 1);
    }

    void archivingDropsTheCountSilentlyAndReopensAnEmptyQueue()
    {
        Console c;
        c.evento("000001");
        c.secondi(1);
        QPointer<CodaEventi> prima = c.coda();
        prima->archivia();
        QTRY_VERIFY(!prima);
        c.secondi(1);
        QCOMPARE(c.suoni(), 1);
        QVERIFY(c.coda());
        QCOMPARE(c.coda()->Coda()->rowCount(), 0);
        QCOMPARE(c.pannello(1), "Numero eventi nuovi: 0");
    }

    void alarmsReplacingArchivedOnesOneForOneStillSoundAndShow()
    {
        Console c;
        c.evento("000001");
        c.secondi(1);
        // Between two ticks the operator archives and a new alarm lands:
        // the count is back where it was, but the alarm is new.
        c.coda()->archivia();
        c.evento("000009");
        c.secondi(1);
        QCOMPARE(c.suoni(), 2);
        QTRY_COMPARE(c.codici(), QStringList{"000009"});
    }

    void databaseFailureIsToldOnceAndTheTickGoesOn()
    {
        Console c;
        c.finestra.Timer1()->start(1h);
        // The count reads the events, the fill the view: both go.
        c.ctx.db->esegui("DROP VIEW [Coda Query]");
        c.ctx.db->esegui("DROP VIEW [DatiUtente Query]");
        c.ctx.db->esegui("DROP TABLE ArchivioEventi");
        c.secondi(3);
        QCOMPARE(c.msg.voci().size(), 1);
        QCOMPARE(c.pannello(4), "10.00.03");
        QVERIFY(c.finestra.Timer1()->isActive());
    }

    void everyJobRunsOncePerTenthMinute_data()
    {
        QTest::addColumn<bool>("linea");
        QTest::newRow("line open") << true;
        QTest::newRow("line closed: no retrieval, the other jobs still run") << false;
    }

    // Two simulated hours; no event arrives in them, so the panel stays
    // empty and nothing sounds.
    void everyJobRunsOncePerTenthMinute()
    {
        QFETCH(bool, linea);
        Simulatore sim;
        Console c;
        if (linea)
            QVERIFY(apriLinea(c, sim.percorso()));
        c.secondi(2 * 3600);
        QList<int> attesi;
        for (int m = 10 * 60; m < 12 * 60; m += 10)
            attesi << m;
        for (const QString& lavoro : {"LetturaMessaggi", "ControllaInterrogazioni", "InterrogaPeriferiche",
                                      "ControllaScadenzeSim"}) {
            QList<int> minuti;
            for (const QDateTime& t : c.lavori.value(lavoro))
                minuti << t.time().hour() * 60 + t.time().minute();
            QCOMPARE(minuti, linea || lavoro != "LetturaMessaggi" ? attesi : QList<int>());
        }
        QCOMPARE(c.pannello(1), "");
        QCOMPARE(c.suoni(), 0);
        QVERIFY(!c.coda());
    }

    void jobsAfterALongOneRunRightAfterItOncePerSlot_data()
    {
        QTest::addColumn<int>("durata");
        QTest::newRow("40 s") << 40;
        QTest::newRow("3 min: units that never hang up") << 180;
    }

    // The pending interrogations' calls hold the tick still; the polling and
    // the SIM expiry of the same slot follow as soon as they end.
    void jobsAfterALongOneRunRightAfterItOncePerSlot()
    {
        QFETCH(int, durata);
        Console c;
        c.turni.lavori().ControllaInterrogazioni = [&c, durata] {
            c.lavori["ControllaInterrogazioni"] << c.orologio.adesso();
            c.orologio.avanza(std::chrono::seconds(durata));
        };
        c.secondi(35 * 60);
        QList<QDateTime> dopo;
        for (const QDateTime& t : c.lavori.value("ControllaInterrogazioni"))
            dopo << t.addSecs(durata);
        QVERIFY(dopo.size() >= 3);
        QCOMPARE(dopo.first(), QDateTime(QDate(2026, 3, 2), QTime(10, 0, 10)).addSecs(durata));
        QCOMPARE(c.lavori.value("InterrogaPeriferiche"), dopo);
        QCOMPARE(c.lavori.value("ControllaScadenzeSim"), dopo);
    }

    void indicatedAlarmReachesTheQueueWithinTwoTicks()
    {
        Simulatore sim;
        Console c;
        c.ctx.db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia], [Nome]) "
                                        "VALUES (?, ?, ?)"),
                         {"000101", "+393351234567", "Dell'Acqua Giuseppe"});
        QVERIFY(apriLinea(c, sim.percorso()));
        modem::CicloLettura ciclo{[](Contesto& k, const pdu::MessaggioRicevuto& m) { return RegistraMessaggio(k, m); }};
        c.turni.lavori().LetturaMessaggi = [&] { ciclo.LetturaMessaggi(c.ctx); };
        c.secondi(1);
        sim.comando("sms +393351234567 ALLARME INGRESSO 1");
        attendiLinea(c);
        c.secondi(2);
        QCOMPARE(c.suoni(), 1);
        QCOMPARE(c.codici(), QStringList{"000101"});
        QCOMPARE(c.coda()->Coda()->item(0, 1)->text(), "Dell'Acqua Giuseppe");
        QCOMPARE(c.coda()->Coda()->item(0, 0)->foreground().color(), QColor(255, 0, 0));
    }

    void messageWithoutIndicationIsFetchedAtTheNextTenthMinute()
    {
        Simulatore sim;
        Console c;
        c.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(10, 23, 40)));
        QVERIFY(apriLinea(c, sim.percorso()));
        sim.comando("store +393351234567 ALLARME INGRESSO 1");
        c.secondi(10 * 60);
        const QList<QDateTime> letture = c.lavori.value("LetturaMessaggi");
        QVERIFY(!letture.isEmpty());
        QCOMPARE(letture.first().time().minute(), 30);
    }

    void indicationSplitAcrossTwoReadsIsStillSeen()
    {
        int master = -1, slave = -1;
        char nome[128];
        QVERIFY(openpty(&master, &slave, nome, nullptr, nullptr) == 0);
        Console c;
        c.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(10, 23, 0)));
        QVERIFY(apriLinea(c, QString::fromLatin1(nome)));
        QVERIFY(::write(master, "\r\n+CM", 5) == 5);
        attendiLinea(c);
        c.secondi(1);
        QVERIFY(::write(master, "TI: \"SM\",3\r\n", 12) == 12);
        attendiLinea(c);
        c.secondi(1);
        QCOMPARE(c.lavori.value("LetturaMessaggi").size(), 1);
        c.ctx.linea->chiudi();
        ::close(slave);
        ::close(master);
    }
};

QTEST_MAIN(TestTick)
#include "tst_tick.moc"
