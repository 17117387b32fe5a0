// bench_scala --grande G --piccolo P --medio M --lavoro DIR [--ripetizioni N]
//             [--solo tick|registrazione|coda|storico|compattazione]
//
// The parts of the console whose cost could grow with the archive, each
// measured on a large and a small database side by side (interleaved, so
// that whatever else the machine does weighs on both alike) and reported as
// medians. The databases come from tools/genera-db.py (bench/run makes them):
//   G  1,000,000 events, 10,000 subscribers, 1,000 not archived, 50,000 of
//      subscriber 000001;
//   P  1,000 events, 100 subscribers, all 1,000 not archived;
//   M  51,000 events, 100 subscribers, 1,000 not archived, 50,000 of 000001.
// Registration and compaction write, so they work on copies in DIR.
//
// One line per figure on standard output, "key value ..." pairs after the
// figure's name, for bench/run to read; progress on standard error.

#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "events/RiempiCoda.h"
#include "modem/pdu/Messaggio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "registry/AnagraficaUtenti.h"
#include "store/Compattazione.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "windows/CodaEventi.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QProcess>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using namespace sorvela;

namespace {

double mediana(std::vector<double> t)
{
    std::nth_element(t.begin(), t.begin() + t.size() / 2, t.end());
    return t[t.size() / 2];
}

double secondi(const std::function<void()>& f)
{
    QElapsedTimer c;
    c.start();
    f();
    return c.nsecsElapsed() / 1e9;
}

// Runs `a` and `b` alternately `n` times after a warm-up of each, and gives
// the two medians in seconds.
std::pair<double, double> affiancati(int n, int riscaldamento, const std::function<void()>& a,
                                     const std::function<void()>& b)
{
    for (int i = 0; i < riscaldamento; ++i) {
        a();
        b();
    }
    std::vector<double> ta, tb;
    for (int i = 0; i < n; ++i) {
        ta.push_back(secondi(a));
        tb.push_back(secondi(b));
    }
    return {mediana(ta), mediana(tb)};
}

void copia(const QString& da, const QString& a)
{
    QFile::remove(a);
    if (!QFile::copy(da, a)) {
        std::fprintf(stderr, "bench_scala: cannot copy %s to %s\n", qPrintable(da), qPrintable(a));
        std::exit(1);
    }
}

// A console's shared state around one database.
struct Console {
    explicit Console(const QString& percorso, const QString& cartella)
        : preferenze(cartella + QStringLiteral("/Sorvela.ini"))
        , db(store::Database::apri(percorso))
    {
        ctx.db = db.get();
        ctx.orologio = &orologio;
        ctx.messaggi = &messaggi;
        ctx.preferenze = &preferenze;
        ctx.cartellaDati = cartella;
    }
    Orologio orologio;
    MessaggiRegistrati messaggi;
    Preferenze preferenze;
    std::unique_ptr<store::Database> db;
    Contesto ctx;
};

// One report of the kind the units send, from the subscriber with GSM number
// index `utente` as tools/genera-db.py numbers them; `n` makes each message
// a different one (its time stamp and user data), as real messages are.
pdu::MessaggioRicevuto messaggio(int utente, int n)
{
    pdu::MessaggioRicevuto m;
    m.valido = true;
    m.mittente = QStringLiteral("+39340%1").arg(utente, 7, 10, QLatin1Char('0'));
    m.centroOra = QStringLiteral("6212%1").arg(n, 10, 10, QLatin1Char('0'));
    m.testo = QStringLiteral("credito: 12.50 euro; liv. batt. 80; segnale 4/5; rete NET1; sim S1; sw:V1.8 #%1").arg(n);
    m.datiUtente = QString::fromLatin1(m.testo.toLatin1().toHex().toUpper());
    m.indice = 1 + n % 10;
    return m;
}

// The integrity check the routine makes, alone, on the file it has just
// made: the share of the compaction that is the check.
double soloVerifica(const QString& db)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {db, QStringLiteral("PRAGMA cache_size = -262144; "
                                                          "PRAGMA mmap_size = 2147483648; PRAGMA integrity_check")});
    QElapsedTimer v;
    v.start();
    if (!p.waitForFinished(-1) || p.exitCode() != 0 || !p.readAllStandardOutput().trimmed().endsWith("ok")) {
        std::fprintf(stderr, "bench_scala: sqlite3 integrity_check failed\n");
        std::exit(1);
    }
    return v.nsecsElapsed() / 1e9;
}

// A 2 ms timer on the event loop that notes the longest time the loop went
// without turning: the longest stall the operator would see.
struct SondaStallo {
    QElapsedTimer giro;
    qint64 peggiore = 0;
    QTimer sonda;

    SondaStallo()
    {
        sonda.setTimerType(Qt::PreciseTimer);
        QObject::connect(&sonda, &QTimer::timeout, [this] {
            peggiore = std::max(peggiore, giro.nsecsElapsed());
            giro.restart();
        });
        giro.start();
        sonda.start(2);
    }

    // The longest stall so far, the one still going included, in ms.
    double peggioreMs() const { return std::max(peggiore, giro.nsecsElapsed()) / 1e6; }
};

// Compaction as the console's "Compatta database" runs it: on its own thread
// while the desk's connection stays open and the desk's thread goes on with
// its event loop, which here runs the tick's count every second and a 2 ms
// timer that measures the longest time the loop went without turning (the
// longest stall the operator would see). Returns the seconds from the
// command to the desk's handle open again on the compacted file.
double compattaComeLaConsole(store::Database& scrivania, const QString& cartella, double& stalloMs)
{
    store::Compattazione run(cartella, &scrivania);
    std::optional<store::EsitoCompattazione> esito;
    QObject::connect(&run, &store::Compattazione::finita, [&](const store::EsitoCompattazione& e) { esito = e; });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (scrivania.aperto())
            scrivania.valore(QStringLiteral("SELECT COUNT(*) FROM [Coda Query]"));
    });
    QElapsedTimer c;
    c.start();
    SondaStallo sonda;
    tick.start(1000);
    run.avvia();
    while (!esito)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double s = c.nsecsElapsed() / 1e9;
    const double stallo = sonda.peggioreMs();
    if (!esito->riuscita() || !scrivania.aperto()) {
        std::fprintf(stderr, "bench_scala: compaction failed: %s %s\n", qPrintable(esito->dettaglio),
                     qPrintable(esito->erroreRiapertura));
        std::exit(1);
    }
    stalloMs = stallo;
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString grande, piccolo, medio, lavoro, solo;
    int n = 101;
    const QStringList arg = app.arguments();
    for (int i = 1; i < arg.size(); ++i) {
        const bool valore = i + 1 < arg.size();
        if (arg[i] == QLatin1String("--grande") && valore)
            grande = arg[++i];
        else if (arg[i] == QLatin1String("--piccolo") && valore)
            piccolo = arg[++i];
        else if (arg[i] == QLatin1String("--medio") && valore)
            medio = arg[++i];
        else if (arg[i] == QLatin1String("--lavoro") && valore)
            lavoro = arg[++i];
        else if (arg[i] == QLatin1String("--solo") && valore)
            solo = arg[++i];
        else if (arg[i] == QLatin1String("--ripetizioni") && valore)
            n = std::max(3, arg[++i].toInt());
        else {
            std::printf("usage: bench_scala --grande G --piccolo P --medio M --lavoro DIR [--ripetizioni N] "
                        "[--solo FIGURE]\n");
            return arg[i] == QLatin1String("--help") ? 0 : 2;
        }
    }
    if (grande.isEmpty() || piccolo.isEmpty() || medio.isEmpty() || lavoro.isEmpty()) {
        std::fprintf(stderr, "bench_scala: --grande, --piccolo, --medio and --lavoro are needed\n");
        return 2;
    }
    try {
        const QString cg = lavoro + QStringLiteral("/grande"), cp = lavoro + QStringLiteral("/piccolo"),
                      cm = lavoro + QStringLiteral("/medio");
        for (const QString& c : {cg, cp, cm})
            QDir().mkpath(c);
        auto misura = [&solo](const char* figura) { return solo.isEmpty() || solo == QLatin1String(figura); };

        if (misura("tick")) {
            // The tick's new-events check: the same 1,000 queued events
            // behind an archive of 1,000,000 and of 1,000.
            std::fprintf(stderr, "tick check ...\n");
            auto g = store::Database::apri(grande);
            auto p = store::Database::apri(piccolo);
            const auto [tg, tp] = affiancati(20 * n, 20, [&] { LeggiStatoCoda(*g); }, [&] { LeggiStatoCoda(*p); });
            std::printf("tick grande_us %.1f piccolo_us %.1f\n", tg * 1e6, tp * 1e6);
        }

        if (misura("registrazione")) {
            // Registration of one unit's report, on copies: the sender looked
            // up among 10,000 subscribers and 1,000,000 events, and among 100
            // and 1,000.
            std::fprintf(stderr, "registration ...\n");
            // Files are copied first; a server's databases are the bench's own
            // and take the new events themselves (so this figure comes last).
            const bool server = store::Database::eServer(grande);
            if (!server) {
                copia(grande, cg + QStringLiteral("/Sorvela.db"));
                copia(piccolo, cp + QStringLiteral("/Sorvela.db"));
            }
            Console g(server ? grande : cg + QStringLiteral("/Sorvela.db"), cg);
            Console p(server ? piccolo : cp + QStringLiteral("/Sorvela.db"), cp);
            int k = 0, falliti = 0;
            auto registra = [&](Console& c, int utenti) {
                ++k;
                const Registrazione r = RegistraMessaggio(c.ctx, messaggio((k * 7919) % utenti, k));
                falliti += r.esito != EsitoRegistrazione::Registrato;
            };
            const auto [tg, tp] = affiancati(n, 5, [&] { registra(g, 10000); }, [&] { registra(p, 100); });
            if (falliti) {
                std::fprintf(stderr, "bench_scala: %d registrations failed\n", falliti);
                return 1;
            }
            std::printf("registrazione grande_us %.1f piccolo_us %.1f\n", tg * 1e6, tp * 1e6);
        }

        if (misura("coda")) {
            // The queue window: opened (its first fill) and refilled by the
            // tick, with 1,000 queued events in either archive.
            std::fprintf(stderr, "queue ...\n");
            Console g(grande, cg);
            Console p(piccolo, cp);
            const int m = std::max(5, n / 10);
            auto apri = [](Console& c) {
                CodaEventi coda(c.ctx);
                if (coda.Coda()->rowCount() != 1000) {
                    std::fprintf(stderr, "bench_scala: the queue shows %d rows, not 1,000\n", coda.Coda()->rowCount());
                    std::exit(1);
                }
            };
            const auto [ag, ap] = affiancati(m, 1, [&] { apri(g); }, [&] { apri(p); });
            CodaEventi codaG(g.ctx), codaP(p.ctx);
            auto riempi = [](Console& c, CodaEventi& coda) {
                store::RecordSet rs = c.db->apriRecordSet(QStringLiteral("Coda Query"));
                coda.riempi(rs);
            };
            const auto [rg, rp] = affiancati(m, 1, [&] { riempi(g, codaG); }, [&] { riempi(p, codaP); });
            std::printf("coda apertura_grande_ms %.2f apertura_piccolo_ms %.2f riempimento_grande_ms %.2f "
                        "riempimento_piccolo_ms %.2f\n", ag * 1e3, ap * 1e3, rg * 1e3, rp * 1e3);
        }

        if (misura("storico")) {
            // A subscriber's history of 50,000 events in the subscriber
            // window, read as the tick reloads it, in an archive of
            // 1,000,000 events and of 51,000.
            std::fprintf(stderr, "history ...\n");
            Console g(grande, cg);
            Console p(medio, cm);
            QMdiArea area;
            auto* wg = new AnagraficaUtenti(g.ctx);
            auto* wp = new AnagraficaUtenti(p.ctx);
            area.addSubWindow(wg);
            area.addSubWindow(wp);
            area.show();
            double primaG = 0, primaP = 0;
            for (auto [w, t] : {std::pair{wg, &primaG}, std::pair{wp, &primaP}}) {
                w->avvia();
                w->setCodice(QStringLiteral("000001"));
                *t = secondi([w] { w->Carica(); });
                auto* griglia = w->findChild<QTableView*>(QStringLiteral("gridStorico"));
                const int righe = griglia ? griglia->model()->rowCount() : -1;
                if (righe != 50000) {
                    std::fprintf(stderr, "bench_scala: the history shows %d rows, not 50,000\n", righe);
                    return 1;
                }
            }
            // A refill takes a tenth of a second or more: enough of them that
            // a busy moment of the machine does not decide the median.
            const int m = std::max(15, n / 7);
            const auto [tg, tp] = affiancati(m, 1, [&] { wg->ganci().ricaricaStorico(); },
                                             [&] { wp->ganci().ricaricaStorico(); });
            std::printf("storico carica_grande_ms %.2f carica_medio_ms %.2f ricarica_grande_ms %.2f "
                        "ricarica_medio_ms %.2f\n", primaG * 1e3, primaP * 1e3, tg * 1e3, tp * 1e3);
        }

        if (misura("compattazione")) {
            // Compaction of the large archive, as the console does it and as
            // the sqlite3 shell does the same work (VACUUM INTO, then the
            // integrity check of the copy with the same cache settings), and
            // VACUUM INTO alone, on the same file.
            std::fprintf(stderr, "compaction ...\n");
            const QString db = cg + QStringLiteral("/Sorvela.db");
            if (!QFile::exists(db))
                copia(grande, db);
            const QString altro = cg + QStringLiteral("/vacuum.db");
            auto aperto = store::Database::apri(db);
            std::vector<double> tc, tv, tvv, stalli, verifiche;
            auto shell = [&](const QString& file, const QString& sql) {
                QProcess p;
                p.start(QStringLiteral("sqlite3"), {file, sql});
                if (!p.waitForFinished(-1) || p.exitCode() != 0) {
                    std::fprintf(stderr, "bench_scala: sqlite3 %s failed\n", qPrintable(sql));
                    std::exit(1);
                }
                return p.readAllStandardOutput();
            };
            auto vacuum = [&] {
                QFile::remove(altro);
                tv.push_back(secondi([&] { shell(db, QStringLiteral("VACUUM INTO '%1'").arg(altro)); }));
                QFile::remove(altro);
                tvv.push_back(secondi([&] {
                    shell(db, QStringLiteral("VACUUM INTO '%1'").arg(altro));
                    if (!shell(altro, QStringLiteral("PRAGMA cache_size = -262144; PRAGMA mmap_size = 2147483648; "
                                                     "PRAGMA integrity_check")).trimmed().endsWith("ok")) {
                        std::fprintf(stderr, "bench_scala: sqlite3 integrity_check failed\n");
                        std::exit(1);
                    }
                }));
                QFile::remove(altro);
            };
            auto console = [&] {
                double stallo = 0;
                tc.push_back(compattaComeLaConsole(*aperto, cg, stallo));
                stalli.push_back(stallo);
                verifiche.push_back(soloVerifica(db));
            };
            // The same probe with nothing to do, for as long as a run: the
            // share of a stall that is the machine's, not the compaction's.
            double riposo = 0;
            {
                QElapsedTimer durata;
                durata.start();
                SondaStallo sonda;
                while (durata.elapsed() < 10000)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                riposo = sonda.peggiore / 1e6;
            }
            // Five of each, the order swapped every round, so neither always
            // runs on the page cache the other has just filled.
            for (int i = 0; i < 5; ++i) {
                if (i % 2) {
                    console();
                    vacuum();
                } else {
                    vacuum();
                    console();
                }
            }
            std::printf("compattazione console_s %.3f vacuum_s %.3f vacuum_verifica_s %.3f verifica_s %.3f "
                        "stallo_ms %.1f stallo_max_ms %.1f stallo_riposo_ms %.1f\n", mediana(tc), mediana(tv), mediana(tvv),
                        mediana(verifiche), mediana(stalli), *std::max_element(stalli.begin(), stalli.end()), riposo);
        }
    } catch (const store::ErroreDatabase& e) {
        std::fprintf(stderr, "bench_scala: %s\n", qPrintable(e.messaggio()));
        return 1;
    }
    return 0;
}
