// The longest stall of the desk's user-interface thread while its receiver,
// on a thread of its own, drains 50 messages from the handset at the real
// line rate (19200 baud): the real main window, offscreen, with a 2 ms timer
// on its thread that measures the longest time its event loop went without
// turning.
//
//   bench_ricevitore [--messages N]

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "shell/MDIForm1.h"
#include "store/Database.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace sorvela;

int main(int argc, char* argv[])
{
    int messaggi = 50;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--messages") == 0)
            messaggi = std::atoi(argv[++i]);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString collegamento = dir.filePath("com1");
    QProcess sim;
    sim.start(QStringLiteral(SORVELA_SIM), {"--pace", "--capacity", "255", "--link", collegamento});
    sim.waitForStarted(5000);
    while (!sim.canReadLine())
        sim.waitForReadyRead(5000);
    sim.readLine();
    const QString numero = QStringLiteral("+393351111111");
    for (int i = 0; i < messaggi; ++i) {
        sim.write(QStringLiteral("store %1 ALLARME %2\n").arg(numero).arg(i).toUtf8());
        while (!sim.canReadLine())
            sim.waitForReadyRead(5000);
        sim.readLine();
    }

    store::Database::crea(dir.filePath("Sorvela.db"), false);
    auto db = store::Database::apri(dir.filePath("Sorvela.db"));
    db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)", {numero});
    Orologio orologio;
    MessaggiRegistrati msg;
    Preferenze pref(dir.filePath("Sorvela.ini"));
    pref.setDispositivoPorta(1, collegamento);
    Contesto ctx;
    ctx.cartellaDati = dir.path();
    ctx.orologio = &orologio;
    ctx.messaggi = &msg;
    ctx.preferenze = &pref;
    MDIForm1 w(ctx);
    w.adottaDatabase(std::move(db));
    w.show();

    QElapsedTimer giro, durata;
    qint64 peggiore = 0;
    QTimer sonda;
    sonda.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sonda, &QTimer::timeout, [&] {
        peggiore = std::max(peggiore, giro.nsecsElapsed());
        giro.restart();
    });
    w.avvia();
    giro.start();
    durata.start();
    sonda.start(2);
    // Until every message is an event (read by the desk's own connection,
    // as its tick reads the queue), and a second more for the deletions.
    while (ctx.db->valore("SELECT count(*) FROM ArchivioEventi").toInt() < messaggi && durata.elapsed() < 120000) {
        QElapsedTimer attesa;
        attesa.start();
        while (attesa.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    const double secondi = durata.elapsed() / 1000.0;
    const int eventi = ctx.db->valore("SELECT count(*) FROM ArchivioEventi").toInt();
    std::printf("%d messages drained into %d events in %.2f s; longest desk stall %.1f ms\n", messaggi, eventi,
                secondi, peggiore / 1e6);
    w.close();
    QElapsedTimer chiusura;
    chiusura.start();
    while (w.isVisible() && chiusura.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    sim.write("quit\n");
    sim.waitForFinished(2000);
    return eventi == messaggi ? 0 : 1;
}
