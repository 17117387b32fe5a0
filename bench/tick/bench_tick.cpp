// bench_tick [--cartella DIR] [--ripetizioni N]
//
// Measures, on databases made by tools/genera-db.py (made in DIR on first
// use, which takes about half a minute):
// - the median cost of one tick's new-events check on 1,000,000 events and on
//   1,000 events, 100 of them not archived in both, and their ratio: the
//   check must follow the queue, not the archive;
// - the median cost of a whole tick with nothing to refresh, on the large one;
// - the median time to fill the queue grid with 1,000 not archived events,
//   into a new grid and over a grid already filled.

#include "core/Orologio.h"
#include "events/RiempiCoda.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "shell/Tick.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTableWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace sorvela;

namespace {

double medianaMicrosecondi(int n, const std::function<void()>& f)
{
    std::vector<double> t;
    t.reserve(n);
    for (int i = 0; i < 3; ++i)
        f();   // warm the page cache and SQLite's statement paths
    for (int i = 0; i < n; ++i) {
        QElapsedTimer c;
        c.start();
        f();
        t.push_back(c.nsecsElapsed() / 1000.0);
    }
    std::nth_element(t.begin(), t.begin() + n / 2, t.end());
    return t[n / 2];
}

QString preparaDb(const QString& cartella, const QString& nome, const QStringList& argomenti)
{
    const QString percorso = cartella + '/' + nome;
    if (QFileInfo::exists(percorso))
        return percorso;
    QDir().mkpath(cartella);
    std::fprintf(stderr, "making %s ...\n", qPrintable(percorso));
    const int rc = QProcess::execute(QStringLiteral("python3"),
                                     QStringList{QStringLiteral(SORVELA_SOURCE_DIR "/tools/genera-db.py"), percorso}
                                         + argomenti);
    if (rc != 0) {
        std::fprintf(stderr, "bench_tick: genera-db.py failed\n");
        std::exit(1);
    }
    return percorso;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString cartella = QStringLiteral("bench-db");
    int n = 2001;
    const QStringList arg = app.arguments();
    for (int i = 1; i < arg.size(); ++i) {
        if (arg[i] == QLatin1String("--cartella") && i + 1 < arg.size())
            cartella = arg[++i];
        else if (arg[i] == QLatin1String("--ripetizioni") && i + 1 < arg.size())
            n = std::max(1, arg[++i].toInt());
        else {
            std::printf("usage: bench_tick [--cartella DIR] [--ripetizioni N]\n");
            return arg[i] == QLatin1String("--help") ? 0 : 2;
        }
    }
    const QString grande = preparaDb(cartella, QStringLiteral("grande.db"), {});
    const QString piccolo = preparaDb(cartella, QStringLiteral("piccolo.db"), {QStringLiteral("--eventi"), QStringLiteral("1000")});
    const QString coda = preparaDb(cartella, QStringLiteral("coda1000.db"),
                                   {QStringLiteral("--eventi"), QStringLiteral("100000"),
                                    QStringLiteral("--non-archiviati"), QStringLiteral("1000")});
    try {
        auto dbGrande = store::Database::apri(grande);
        auto dbPiccolo = store::Database::apri(piccolo);
        // Interleaved, so that whatever else the machine is doing weighs on
        // both sizes alike.
        std::vector<double> tg, tp;
        for (int i = 0; i < n; ++i) {
            tg.push_back(medianaMicrosecondi(1, [&] { LeggiStatoCoda(*dbGrande); }));
            tp.push_back(medianaMicrosecondi(1, [&] { LeggiStatoCoda(*dbPiccolo); }));
        }
        std::nth_element(tg.begin(), tg.begin() + n / 2, tg.end());
        std::nth_element(tp.begin(), tp.begin() + n / 2, tp.end());
        const double g = tg[n / 2];
        const double p = tp[n / 2];
        std::printf("new-events check, 1,000,000 events (100 new): %8.1f us median\n", g);
        std::printf("new-events check,     1,000 events (100 new): %8.1f us median\n", p);
        std::printf("ratio large / small:                          %8.2f (goal <= 1.5)\n", g / p);

        OrologioVirtuale orologio;
        MessaggiRegistrati messaggi;
        Contesto ctx;
        ctx.db = dbGrande.get();
        ctx.orologio = &orologio;
        ctx.messaggi = &messaggi;
        Tick tick(ctx);
        tick.passo();   // takes the queue as it is; later steps find nothing changed
        const double t = medianaMicrosecondi(n, [&] { tick.passo(); });
        std::printf("whole tick, nothing to refresh, large archive: %7.1f us median\n", t);

        auto dbCoda = store::Database::apri(coda);
        const int m = std::max(5, n / 100);
        const double nuova = medianaMicrosecondi(m, [&] {
            QTableWidget griglia(0, 4);
            store::RecordSet rs = dbCoda->apriRecordSet(QStringLiteral("Coda Query"));
            RiempiCoda(rs, griglia, ctx);
        });
        QTableWidget griglia(0, 4);
        const double sopra = medianaMicrosecondi(m, [&] {
            store::RecordSet rs = dbCoda->apriRecordSet(QStringLiteral("Coda Query"));
            RiempiCoda(rs, griglia, ctx);
        });
        std::printf("queue fill, 1,000 new events, new grid:       %8.2f ms median (%d new)\n", nuova / 1000.0,
                    ctx.NumEventiNuovi);
        std::printf("queue fill, 1,000 new events, over old rows:  %8.2f ms median\n", sopra / 1000.0);
    } catch (const store::ErroreDatabase& e) {
        std::fprintf(stderr, "bench_tick: %s\n", qPrintable(e.messaggio()));
        return 1;
    }
    return 0;
}
