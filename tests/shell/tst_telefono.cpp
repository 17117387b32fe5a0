// The console and its handset over a whole run: a port missing at start-up,
// a handset pulled out in the middle of a cycle and plugged back, and the
// console killed between committing an event and deleting its message. The
// real main window and tick run here (and the real program, for the kills);
// every test ends by checking that each message is one event, once.

#include "comune/Banco.h"
#include "modem/Simulatore.h"
#include "modem/Sorveglianza.h"
#include "shell/Allarme.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>

#include <csignal>

using namespace sorvela;

namespace {

const QString kUnita = QStringLiteral("+393351111111");

// The main window on a database with one unit, COM1 mapped to `collegamento`
// (a link that the simulated handset makes and follows when plugged back).
struct Console : comune::Banco {
    QString collegamento = dir.filePath(QStringLiteral("com1"));
    Orologio vero;
    std::unique_ptr<MDIForm1> w;
    QStringList statiStriscia;

    Console()
    {
        ctx.orologio = &vero; // the supervisor's and the tick's timers run on real time
        pref.setDispositivoPorta(1, collegamento);
        ctx.db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)"),
                       {kUnita});
        w = std::make_unique<MDIForm1>(ctx);
        w->adottaDatabase(std::move(db));
        QObject::connect(w->sorveglianza(), &modem::SorveglianzaTelefono::statoCambiato, [this](modem::StatoTelefono s) {
            statiStriscia << w->striscia()->pannello(5)->testo();
            Q_UNUSED(s);
        });
    }
    QStringList testi()
    {
        QStringList r;
        for (auto rs = ctx.db->apriRecordSet(QStringLiteral("SELECT [Testo messaggio] FROM ArchivioEventi ORDER BY ID"));
             !rs.eof(); rs.moveNext())
            r << rs.campo("Testo messaggio").toString();
        r.sort();
        return r;
    }
    int notifiche(const QString& tipo) const
    {
        return int(std::count_if(msg.voci().cbegin(), msg.voci().cend(),
                                 [&](const auto& v) { return v.notifica == tipo; }));
    }
    bool soloNotifiche() const
    {
        return std::all_of(msg.voci().cbegin(), msg.voci().cend(), [](const auto& v) { return !v.notifica.isEmpty(); });
    }
};

QStringList memoria(prova::Simulatore& sim)
{
    return sim.comando(QStringLiteral("list")).filter(QRegularExpression(QStringLiteral("^\\d")));
}

} // namespace

class TestTelefono : public QObject {
    Q_OBJECT

private slots:
    void missingPortAtStartUpIsFoundWhenPluggedIn()
    {
        Console c;
        c.w->avvia();
        // The window and the tick came up; nothing waits for the operator.
        QVERIFY(c.w->Timer1()->isActive());
        QVERIFY(c.soloNotifiche());
        QCOMPARE(c.notifiche(QStringLiteral("telefono")), 1);
        QCOMPARE(c.w->striscia()->pannello(5)->testo(), QStringLiteral("non connesso"));
        QVERIFY(c.w->striscia()->pannello(5)->sfondo().isValid()); // red

        prova::Simulatore sim({QStringLiteral("--link"), c.collegamento});
        sim.comando(QStringLiteral("store ") + kUnita + QStringLiteral(" ALLARME INGRESSO 1"));
        QElapsedTimer t;
        t.start();
        QTRY_COMPARE_WITH_TIMEOUT(c.w->striscia()->pannello(5)->testo(), QStringLiteral("connesso"), 11000);
        QVERIFY(t.elapsed() <= 10500);
        QVERIFY(!c.w->striscia()->pannello(5)->sfondo().isValid());
        // Back, it is emptied at once.
        QTRY_COMPARE_WITH_TIMEOUT(c.testi(), QStringList{QStringLiteral("ALLARME INGRESSO 1")}, 10000);
        QCOMPARE(c.msg.notificaMostrata(QStringLiteral("telefono")), QString());
    }

    void handsetPulledOutMidCycleAndBackLosesNothing_data()
    {
        QTest::addColumn<QString>("innesco");
        QTest::newRow("during the listing") << "on AT+CMGL=0 amid fault unplug 3000";
        QTest::newRow("during a read") << "on AT+CMGR=2 amid fault unplug 3000";
        QTest::newRow("before a deletion is done") << "on AT+CMGD=2 fault unplug 3000";
    }

    void handsetPulledOutMidCycleAndBackLosesNothing()
    {
        QFETCH(QString, innesco);
        Console c;
        prova::Simulatore sim({QStringLiteral("--link"), c.collegamento});
        for (int i = 1; i <= 3; ++i)
            sim.comando(QStringLiteral("store %1 ALLARME %2").arg(kUnita).arg(i));
        sim.comando(innesco);
        c.w->avvia();

        // The start-up cycle meets the fault; the strip and one notice say so.
        QTRY_VERIFY_WITH_TIMEOUT(c.statiStriscia.contains(QStringLiteral("non connesso")), 10000);
        QVERIFY(c.w->allarme()->volteSuonato() >= 1);
        QElapsedTimer t;
        t.start();
        // Back 3 s later on the same link: within 30 s of it every message is
        // one event and the store is empty.
        QTRY_COMPARE_WITH_TIMEOUT(c.testi(), (QStringList{"ALLARME 1", "ALLARME 2", "ALLARME 3"}), 33000);
        QTRY_COMPARE_WITH_TIMEOUT(memoria(sim), QStringList(), 33000 - int(t.elapsed()));
        QVERIFY2(c.notifiche(QStringLiteral("telefono")) == 1, qPrintable(c.msg.testi().join(" | ")));
        QVERIFY(c.soloNotifiche());
        QCOMPARE(c.w->striscia()->pannello(5)->testo(), QStringLiteral("connesso"));
    }

    // The console killed (not closed) between two statements, then started
    // again: what it committed is not an event twice, what it had not is read.
    void killedConsoleRestartsWithEachMessageOnce_data()
    {
        QTest::addColumn<QString>("innesco");
        QTest::addColumn<QString>("comando"); // the command the kill follows
        QTest::addColumn<int>("eventiPrima");
        QTest::newRow("after the commit, before the deletion") << "on AT+CMGD fault silent" << "AT+CMGD=1" << 1;
        QTest::newRow("before the commit") << "on AT+CMGR fault silent" << "AT+CMGR=1" << 0;
    }

    void killedConsoleRestartsWithEachMessageOnce()
    {
        QFETCH(QString, innesco);
        QFETCH(QString, comando);
        QFETCH(int, eventiPrima);
        QTemporaryDir dir;
        const QString dati = dir.filePath(QStringLiteral("dati"));
        QDir().mkpath(dati);
        {
            store::Database::crea(dati + QStringLiteral("/Sorvela.db"), false);
            auto db = store::Database::apri(dati + QStringLiteral("/Sorvela.db"));
            db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)"),
                       {kUnita});
        }
        const QString collegamento = dir.filePath(QStringLiteral("com1"));
        {
            QSettings ini(dir.filePath(QStringLiteral("config/Sorvela/Sorvela.ini")), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Porte/COM1"), collegamento);
            ini.setValue(QStringLiteral("Impostazioni/NumPort"), QStringLiteral("1"));
        }
        prova::Simulatore sim({QStringLiteral("--link"), collegamento});
        // Stored before start-up, with no indication.
        sim.comando(QStringLiteral("store %1 ALLARME INGRESSO 1").arg(kUnita));
        sim.comando(innesco);

        auto avvia = [&](QProcess& p) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(SORVELA_BINARY_DIR "/src/shell/sorvela"), {QStringLiteral("--data-dir"), dati});
            return p.waitForStarted(5000);
        };
        auto eventi = [&] {
            auto db = store::Database::apri(dati + QStringLiteral("/Sorvela.db"));
            return db->valore(QStringLiteral("SELECT count(*) FROM ArchivioEventi")).toInt();
        };

        QProcess prima;
        QVERIFY(avvia(prima));
        QStringList visti;
        QTRY_VERIFY_WITH_TIMEOUT((visti += sim.storia()).contains(comando), 15000);
        ::kill(pid_t(prima.processId()), SIGKILL);
        QVERIFY(prima.waitForFinished(5000));
        QCOMPARE(eventi(), eventiPrima);
        QCOMPARE(memoria(sim).size(), 1);

        sim.comando(QStringLiteral("fault none"));
        sim.comando(QStringLiteral("hold release"));
        QProcess dopo;
        QElapsedTimer t;
        t.start();
        QVERIFY(avvia(dopo));
        QTRY_VERIFY2_WITH_TIMEOUT(memoria(sim).isEmpty(), qPrintable(sim.storia().join(u' ') + QString::fromLocal8Bit(dopo.readAllStandardError())), 10000);
        QVERIFY2(t.elapsed() < 10000, qPrintable(sim.storia().join(u' ') + dopo.readAllStandardError()));
        QCOMPARE(eventi(), 1);
        dopo.terminate();
        QVERIFY(dopo.waitForFinished(10000));
    }
};

QTEST_MAIN(TestTelefono)
#include "tst_telefono.moc"
