// A room of desks on one PostgreSQL server, under load and faults: a server
// of the test's own, two receivers (this program started again as
// "--ricevitore", each on its own simulated handset), three desks in this
// process with their one-second look and the server's announcements, and
// 1,000 messages delivered at random moments while the desks archive. The
// leader is killed once and started again, the server restarted once.
//
// The centre's clock runs twenty times faster than the real one in every
// process (the same start and the same rate), so that the ten-minute slots
// of the receivers' jobs pass in 30 s and the jobs can be seen to move from
// one receiver to the other; heartbeats, waits and the handsets keep real time.
//
// Printed: messages, events, lost, duplicated, the slowest time from an
// event's commit to its refresh on every desk, the slowest time from an
// archive to every other desk, the hand-over time of the jobs, the calls of
// the polling and whether any unit was called twice in a slot.

#include "comune/Banco.h"
#include "core/Orologio.h"
#include "modem/Simulatore.h"
#include "platform/ArrestoDaSegnale.h"
#include "receiver/Ricevitore.h"
#include "receiver/Sportello.h"
#include "receiver/Turni.h"
#include "shell/MDIForm1.h"
#include "shell/Tick.h"
#include "store/Annunci.h"
#include "windows/CodaEventi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>

#include <array>
#include <numeric>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <map>

using namespace sorvela;
using namespace std::chrono_literals;

namespace {

constexpr int kScala = 20;
const QDateTime kInizio(QDate(2026, 3, 2), QTime(9, 59, 0));
constexpr int kUnita = 10;

QString numeroUnita(int i)
{
    return QStringLiteral("+3933520000%1").arg(i, 2, 10, QLatin1Char('0'));
}

// The centre's clock: kScala times the real time since `epocaMs`.
class OrologioAccelerato : public Orologio {
public:
    explicit OrologioAccelerato(qint64 epocaMs) : m_epoca(epocaMs) {}
    QDateTime adesso() const override
    {
        return kInizio.addMSecs((QDateTime::currentMSecsSinceEpoch() - m_epoca) * kScala);
    }

private:
    qint64 m_epoca;
};

// "--ricevitore NAME URL INI EPOCH": one receiver, as sorvela-ricevitore
// runs it, on the centre's clock.
int ricevitoreAccelerato(int argc, char* argv[])
{
    if (argc < 6)
        return 2;
    QCoreApplication app(argc, argv);
    QTemporaryDir cartella;
    OrologioAccelerato orologio(QByteArray(argv[5]).toLongLong());
    ArrestoDaSegnale arresto;
    ricevitore::Ricevitore r({.cartellaDati = cartella.path(), .urlDatabase = QString::fromUtf8(argv[3]),
                              .fileImpostazioni = QString::fromUtf8(argv[4]), .orologio = &orologio,
                              .programma = QStringLiteral("tst_centro"), .nome = QString::fromUtf8(argv[2])});
    const QString errore = r.avvia();
    if (!errore.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(errore));
        return 1;
    }
    QObject::connect(&arresto, &ArrestoDaSegnale::richiesto, &r, &ricevitore::Ricevitore::ferma);
    QObject::connect(&r, &ricevitore::Ricevitore::fermato, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}

// One receiver: its handset, its settings, its process.
struct Postazione {
    QString nome;
    QTemporaryDir dir;
    prova::Simulatore sim{{"--capacity", "400", "--delay-nocarrier", "300"}};
    QString ini = dir.filePath("Sorvela.ini");
    std::unique_ptr<QProcess> processo;
    QStringList chiamate; // every ATD seen, with the centre's slot it fell in

    explicit Postazione(QString n) : nome(std::move(n))
    {
        Preferenze p(ini);
        p.setDispositivoPorta(1, sim.percorso());
        p.setNumPort(1);
        for (int i = 1; i <= kUnita; ++i)
            sim.comando(QStringLiteral("unit %1 300 RISPOSTA %2").arg(numeroUnita(i)).arg(i));
    }
    void avvia(const QString& url, qint64 epoca)
    {
        processo = std::make_unique<QProcess>();
        processo->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Their warnings only: a thousand messages' worth of log says nothing.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_LOGGING_RULES", "sorvela.ricevitore.info=false");
        processo->setProcessEnvironment(env);
        processo->start(QCoreApplication::applicationFilePath(),
                        {"--ricevitore", nome, url, ini, QString::number(epoca)});
        QVERIFY(processo->waitForStarted(5000));
    }
    void uccidi()
    {
        ::kill(pid_t(processo->processId()), SIGKILL);
        processo->waitForFinished(5000);
        // As the kernel does for a real port when the killed program's last
        // descriptor closes.
        sim.comando("hold release");
    }
    void ferma()
    {
        if (!processo || processo->state() == QProcess::NotRunning)
            return;
        processo->terminate();
        if (!processo->waitForFinished(15000))
            uccidi();
    }
    // The dials since the last look, each with the slot it fell in.
    void leggiChiamate(const Orologio& orologio)
    {
        const QString turno = ricevitore::Turni::inizioTurno(orologio.adesso()).toString("hh:mm");
        for (const QString& r : sim.comando("history")) {
            if (r.startsWith("ATD"))
                chiamate << turno + u' ' + r.mid(3).remove(u';');
        }
    }
};

// A desk in this process on the centre's database, recording every refresh
// of its queue: when, and the highest event ID it showed.
struct Scrivania {
    comune::Banco b;
    std::unique_ptr<MDIForm1> w;
    QList<std::pair<qint64, qint64>> aggiornamenti; // (ms since the epoch, highest ID shown)
    QList<std::pair<qint64, int>> archiviazioni;    // (ms when committed, events archived)

    Scrivania(const QString& url, Orologio& orologio)
    {
        static int numero = 0;
        b.ctx.orologio = &orologio;
        b.ctx.urlDatabase = url;
        b.ctx.operatore = QStringLiteral("Operatore %1").arg(++numero);
        b.pref.scrivi("Ricevitore", "Modo", "esterno");
        w = std::make_unique<MDIForm1>(b.ctx);
        w->adottaDatabase(store::Database::apri(url));
        auto& k = w->tick()->collegamenti();
        k.stampaConteggio = [this, stampa = k.stampaConteggio](const QString& t) {
            aggiornamenti.append({QDateTime::currentMSecsSinceEpoch(), w->tick()->ultimoIdVisto()});
            stampa(t);
        };
        w->avvia();
    }
    int errori() const
    {
        int n = 0;
        for (const auto& v : b.msg.voci())
            n += v.icona == Icona::Errore;
        return n;
    }
    void archivia()
    {
        CodaEventi* c = w->codaEventi();
        if (!c)
            return;
        // Counted before and after by this desk's own operator's name; while
        // the server is away the operator would see the queue's own error.
        auto archiviati = [this] {
            return b.ctx.db->valore("SELECT count(*) FROM \"ArchivioEventi\" WHERE \"Archiviato da\" = ?",
                                    {b.ctx.operatore}).toInt();
        };
        try {
            const int prima = archiviati();
            c->archivia();
            const qint64 adesso = QDateTime::currentMSecsSinceEpoch();
            archiviazioni.append({adesso, archiviati() - prima});
        } catch (const store::ErroreDatabase&) {
        }
    }
    // The first refresh at or after `ms` that showed event `id` or a later one.
    qint64 vistoIl(qint64 ms, qint64 id) const
    {
        for (const auto& [t, massimo] : aggiornamenti) {
            if (t >= ms - 1 && massimo >= id)
                return t;
        }
        return -1;
    }
    qint64 primoDopo(qint64 ms) const
    {
        for (const auto& [t, massimo] : aggiornamenti) {
            if (t >= ms)
                return t;
        }
        return -1;
    }
};

qint64 percentile(QList<qint64> v, double p)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.at(std::min<qsizetype>(v.size() - 1, qsizetype(p * double(v.size()))));
}

} // namespace

class TestCentro : public QObject {
    Q_OBJECT

private slots:
    void roomOfDesks()
    {
        if (!qEnvironmentVariableIsSet("SORVELA_MINUTO_REALE"))
            QSKIP("lungo: ctest -L lungo");
        const int messaggi = qEnvironmentVariableIntValue("SORVELA_CARICO_MESSAGGI") > 0
                                 ? qEnvironmentVariableIntValue("SORVELA_CARICO_MESSAGGI")
                                 : 1000;
        comune::ServerProprio server(QStringLiteral("sorvela-pg-centro"));
        QVERIFY(server.comando("avvia"));
        const QString base = server.connessione();
        qputenv("SORVELA_TEST_PG", base.toUtf8());
        // Commit times, to measure from them; the setting needs a restart.
        QCOMPARE(comune::comandoServer("ALTER SYSTEM SET track_commit_timestamp = on"), QString());
        QVERIFY(server.comando("sospendi"));
        QVERIFY(server.comando("riprendi"));
        QCOMPARE(comune::comandoServer("CREATE DATABASE centro"), QString());
        const QString url = base + " dbname=centro";
        store::Database::crea(url, false);
        auto db = store::Database::apri(url);
        for (int i = 1; i <= kUnita; ++i)
            db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia], Monitoraggio, Periodo) "
                       "VALUES (?, ?, TRUE, 1)",
                       {QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), numeroUnita(i)});
        // Each event's inserting transaction, whose commit time the server keeps.
        db->esegui("CREATE TABLE \"ProvaCommit\" (\"ID\" bigint PRIMARY KEY, xid bigint)");
        db->esegui("CREATE FUNCTION \"ProvaCommit\"() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                   "INSERT INTO \"ProvaCommit\" VALUES (NEW.\"ID\", txid_current()); RETURN NULL; END $$");
        db->esegui("CREATE TRIGGER \"ProvaCommit\" AFTER INSERT ON \"ArchivioEventi\" FOR EACH ROW "
                   "EXECUTE FUNCTION \"ProvaCommit\"()");

        const qint64 epoca = QDateTime::currentMSecsSinceEpoch();
        OrologioAccelerato orologio(epoca);
        std::array<std::unique_ptr<Postazione>, 2> ricevitori{std::make_unique<Postazione>("uno"),
                                                              std::make_unique<Postazione>("due")};
        const auto fine = qScopeGuard([&] {
            for (auto& r : ricevitori)
                r->ferma();
        });
        for (auto& r : ricevitori)
            r->avvia(url, epoca);
        std::array<std::unique_ptr<Scrivania>, 3> scrivanie;
        for (auto& s : scrivanie)
            s = std::make_unique<Scrivania>(url, orologio);
        auto capo = [&]() -> QString {
            try {
                return ricevitore::Capo(ricevitore::LeggiStati(*db), QDateTime::currentDateTimeUtc());
            } catch (const store::ErroreDatabase&) {
                return {};
            }
        };
        QTRY_VERIFY_WITH_TIMEOUT(!capo().isEmpty(), 15000);
        for (auto& s : scrivanie)
            QTRY_VERIFY_WITH_TIMEOUT(s->w->findChild<store::Annunci*>()->inAscolto(), 10000);

        QRandomGenerator caso(20261207);
        qint64 passaggioMs = -1;
        qint64 riavvioInizio = 0, riavvioFine = 0;
        int erroriPrimaDelRiavvio = -1;
        QElapsedTimer orologioReale;
        orologioReale.start();
        qint64 prossimaArchiviazione = 2000;
        for (int i = 1; i <= messaggi; ++i) {
            Postazione& p = *ricevitori[caso.bounded(2)];
            p.sim.comando(QStringLiteral("sms %1 CARICO %2").arg(numeroUnita(1 + caso.bounded(kUnita))).arg(i, 4, 10,
                                                                                                              QLatin1Char('0')));
            QTest::qWait(caso.bounded(40, 160));
            for (auto& r : ricevitori)
                r->leggiChiamate(orologio);
            if (orologioReale.elapsed() >= prossimaArchiviazione) {
                scrivanie[caso.bounded(3)]->archivia();
                prossimaArchiviazione = orologioReale.elapsed() + caso.bounded(500, 2500);
            }
            if (i == messaggi * 3 / 10) {
                // The leader dies as a crash takes it, and is started again.
                const QString vecchio = capo();
                auto& morto = ricevitori[vecchio == "uno" ? 0 : 1];
                QElapsedTimer t;
                t.start();
                morto->uccidi();
                QTRY_VERIFY_WITH_TIMEOUT(!capo().isEmpty() && capo() != vecchio, 30000);
                passaggioMs = t.elapsed();
                morto->avvia(url, epoca);
            }
            if (i == messaggi * 65 / 100) {
                int n = 0;
                for (auto& s : scrivanie)
                    n += s->errori();
                erroriPrimaDelRiavvio = n;
                riavvioInizio = QDateTime::currentMSecsSinceEpoch();
                QVERIFY(server.comando("sospendi"));
                QTest::qWait(3000);
                QVERIFY(server.comando("riprendi"));
                riavvioFine = QDateTime::currentMSecsSinceEpoch();
            }
        }

        // Every message one event, the handsets empty.
        auto testi = [&] {
            QMap<QString, int> r;
            try {
                for (auto rs = db->apriRecordSet("SELECT \"Testo messaggio\" FROM \"ArchivioEventi\" "
                                                 "WHERE \"Testo messaggio\" LIKE 'CARICO %'");
                     !rs.eof(); rs.moveNext())
                    ++r[rs.campo(0).toString()];
            } catch (const store::ErroreDatabase&) {
            }
            return r;
        };
        QTRY_VERIFY_WITH_TIMEOUT(testi().size() == messaggi, 120000);
        for (auto& r : ricevitori)
            QTRY_COMPARE_WITH_TIMEOUT(r->sim.comando("list").filter(QRegularExpression("^\\d")), QStringList(), 60000);
        QTest::qWait(2000);
        for (auto& r : ricevitori)
            r->leggiChiamate(orologio);
        const QMap<QString, int> visti = testi();
        int duplicati = 0;
        for (const int n : visti)
            duplicati += n - 1;
        const int eventi = std::accumulate(visti.begin(), visti.end(), 0);

        // From each event's commit to the moment every desk had shown it.
        std::map<qint64, qint64> commit;
        for (auto rs = db->apriRecordSet(
                 "SELECT p.\"ID\", (extract(epoch FROM pg_xact_commit_timestamp((p.xid % 4294967296)::text::xid)) "
                 "* 1000)::bigint FROM \"ProvaCommit\" p");
             !rs.eof(); rs.moveNext())
            commit[rs.campo(0).toLongLong()] = rs.campo(1).toLongLong();
        QList<qint64> ritardi, ritardiFuoriRiavvio;
        int maiVisti = 0;
        for (const auto& [id, t] : commit) {
            qint64 peggiore = 0;
            for (auto& s : scrivanie) {
                const qint64 visto = s->vistoIl(t, id);
                if (visto < 0) {
                    peggiore = -1;
                    break;
                }
                peggiore = std::max(peggiore, visto - t);
            }
            if (peggiore < 0) {
                ++maiVisti; // archived by a desk before another had refreshed
                continue;
            }
            ritardi << peggiore;
            if (t < riavvioInizio - 1000 || t > riavvioFine + 15000)
                ritardiFuoriRiavvio << peggiore;
        }
        // From each archive to every other desk's next refresh.
        QList<qint64> archivi;
        for (auto& a : scrivanie) {
            for (const auto& [t, quanti] : a->archiviazioni) {
                if (quanti <= 0 || (t >= riavvioInizio - 1000 && t <= riavvioFine + 15000))
                    continue;
                qint64 peggiore = 0;
                for (auto& s : scrivanie) {
                    if (s == a)
                        continue;
                    const qint64 dopo = s->primoDopo(t);
                    peggiore = std::max(peggiore, dopo < 0 ? qint64(1) << 40 : dopo - t);
                }
                archivi << peggiore;
            }
        }
        // No unit called twice in one slot, by either handset.
        QMap<QString, int> perTurno;
        for (auto& r : ricevitori) {
            for (const QString& c : std::as_const(r->chiamate))
                ++perTurno[c];
        }
        int doppie = 0;
        for (auto it = perTurno.cbegin(); it != perTurno.cend(); ++it) {
            if (it.value() > 1) {
                ++doppie;
                qWarning().noquote() << "chiamata due volte nello stesso turno:" << it.key();
            }
        }
        int erroriFinali = 0;
        for (auto& s : scrivanie)
            erroriFinali += s->errori();

        std::printf("\nCarico del centro: 2 ricevitori, 3 postazioni, server PostgreSQL\n"
                    "  messaggi               %d\n"
                    "  eventi                 %d\n"
                    "  persi                  %d\n"
                    "  duplicati              %d\n"
                    "  commit -> ogni postazione: mediana %lld ms, 99%% %lld ms, massimo %lld ms "
                    "(fuori dal riavvio del server: massimo %lld ms; %d eventi archiviati prima di essere visti "
                    "da tutte)\n"
                    "  archiviazione -> le altre postazioni: %lld archiviazioni, massimo %lld ms\n"
                    "  passaggio della guida dopo l'uccisione del capo: %lld ms\n"
                    "  chiamate delle interrogazioni: %lld, unità chiamate due volte in un turno: %d\n"
                    "  avvisi di errore alle postazioni: %d prima del riavvio del server, %d in tutto\n",
                    messaggi, eventi, messaggi - int(visti.size()), duplicati, percentile(ritardi, 0.5),
                    percentile(ritardi, 0.99), percentile(ritardi, 1.0), percentile(ritardiFuoriRiavvio, 1.0), maiVisti,
                    qint64(archivi.size()), percentile(archivi, 1.0), passaggioMs, qint64(perTurno.size()), doppie,
                    erroriPrimaDelRiavvio, erroriFinali);
        std::fflush(stdout);

        QCOMPARE(int(visti.size()), messaggi);
        QCOMPARE(duplicati, 0);
        QVERIFY(passaggioMs >= 0 && passaggioMs < 30000);
        QCOMPARE(doppie, 0);
        QVERIFY(!perTurno.isEmpty());
        QVERIFY(!archivi.isEmpty());
        QVERIFY2(percentile(archivi, 1.0) < 1000, "un'archiviazione non vista entro 1 s");
        QVERIFY2(percentile(ritardiFuoriRiavvio, 1.0) < 1000, "un evento non mostrato entro 1 s");
        // Archiving together never showed anyone an error; the server's
        // restart is told, once per desk.
        QCOMPARE(erroriPrimaDelRiavvio, 0);
        QVERIFY(erroriFinali <= int(scrivanie.size()));
    }
};

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--ricevitore") == 0)
        return ricevitoreAccelerato(argc, argv);
    // The whole run takes minutes, more than QtTest's own limit.
    qputenv("QTEST_FUNCTION_TIMEOUT", "900000");
    QApplication app(argc, argv);
    TestCentro t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_centro.moc"
