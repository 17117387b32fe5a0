// CPU time of a 4-second exchange on a line where nothing answers
// (the simulated handset switched off): the wait must sleep, not poll.
// Prints wall time, user and system CPU time and their share of one core.

#include "modem/Seriale.h"
#include "modem/Simulatore.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSecondi()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int ripetizioni = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    sorvela::prova::Banco b;
    sorvela::prova::Simulatore sim;
    if (sim.percorso().isEmpty()) {
        std::fprintf(stderr, "bench_attesa_seriale: sorvela-sim did not start\n");
        return 1;
    }
    sim.comando(QStringLiteral("fault silent"));
    b.mappa(1, sim.percorso());
    if (!b.linea.apri(1).isEmpty()) {
        std::fprintf(stderr, "bench_attesa_seriale: cannot open %s\n", qPrintable(sim.percorso()));
        return 1;
    }

    double peggiore = 0;
    for (int i = 0; i < ripetizioni; ++i) {
        sorvela::modem::Sessione s = b.linea.prendi(QStringLiteral("bench"));
        QElapsedTimer orologio;
        const double cpu0 = cpuSecondi();
        orologio.start();
        s.scambia(sorvela::modem::ComandoIndicazioni, std::chrono::seconds(4));
        const double parete = double(orologio.nsecsElapsed()) / 1e9;
        const double cpu = cpuSecondi() - cpu0;
        const double quota = 100.0 * cpu / parete;
        peggiore = std::max(peggiore, quota);
        std::printf("wait %d: wall %.3f s, cpu %.4f s, %.3f %% of one core\n", i + 1, parete, cpu, quota);
    }
    std::printf("worst: %.3f %% of one core (goal < 2 %%)\n", peggiore);
    return peggiore < 2.0 ? 0 : 1;
}
