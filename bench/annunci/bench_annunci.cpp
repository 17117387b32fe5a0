// From a receiver's commit of an event to a second desk's refreshed queue, on
// a PostgreSQL server: the real main window, offscreen, with its one-second
// look stopped, so that only the server's announcement can refresh it. This
// program commits each event on a connection of its own, as a receiver does,
// and then turns the desk's event loop until its queue shows that event.
//
//   bench_annunci --database URL [--times N]
//
// URL names an empty server database with the schema (sorvela-db init
// --database). Prints the median and the worst of N.

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "shell/MDIForm1.h"
#include "shell/Tick.h"
#include "store/Annunci.h"
#include "store/Database.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace sorvela;

int main(int argc, char* argv[])
{
    QString url;
    int volte = 100;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--database") == 0)
            url = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--times") == 0)
            volte = std::atoi(argv[++i]);
    }
    if (url.isEmpty() || volte <= 0) {
        std::fprintf(stderr, "uso: bench_annunci --database URL [--times N]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Orologio orologio;
    MessaggiRegistrati msg;
    Preferenze pref(dir.filePath("Sorvela.ini"));
    pref.scrivi(QStringLiteral("Ricevitore"), QStringLiteral("Modo"), QStringLiteral("esterno"));
    Contesto ctx;
    ctx.cartellaDati = dir.path();
    ctx.urlDatabase = url;
    ctx.orologio = &orologio;
    ctx.messaggi = &msg;
    ctx.preferenze = &pref;
    std::unique_ptr<store::Database> ricevitore;
    try {
        ricevitore = store::Database::apri(url);
        ricevitore->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica]) VALUES ('000001')"));
    } catch (const store::ErroreDatabase& e) {
        std::fprintf(stderr, "bench_annunci: %s\n", qPrintable(e.messaggio()));
        return 1;
    }

    MDIForm1 w(ctx);
    w.adottaDatabase(store::Database::apri(url));
    qint64 mostrato = 0;
    auto& k = w.tick()->collegamenti();
    k.stampaConteggio = [&, stampa = k.stampaConteggio](const QString& t) {
        mostrato = w.tick()->ultimoIdVisto();
        stampa(t);
    };
    w.show();
    w.avvia();
    w.Timer1()->stop();
    auto* annunci = w.findChild<store::Annunci*>();
    const QDeadlineTimer pronto(10000);
    while (!annunci->inAscolto() && !pronto.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!annunci->inAscolto()) {
        std::fprintf(stderr, "bench_annunci: the desk does not hear the server: %s\n", qPrintable(annunci->motivo()));
        return 1;
    }

    QRandomGenerator caso(7);
    QList<double> ms;
    for (int i = 0; i < volte; ++i) {
        // A pause between events, as messages come: the desk idles meanwhile.
        const QDeadlineTimer pausa(caso.bounded(50, 150));
        while (!pausa.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, int(pausa.remainingTime()));
        qint64 id = 0;
        {
            store::Transazione t(*ricevitore);
            id = ricevitore
                     ->valore(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], "
                                             "[Testo messaggio], [Archiviato], [Tipo evento]) VALUES ('000001', ?, ?, "
                                             "FALSE, 'Allarme') RETURNING \"ID\""),
                              {QDateTime::currentDateTime(), QStringLiteral("ALLARME %1").arg(i)})
                     .toLongLong();
            t.conferma();
        }
        QElapsedTimer t;
        t.start();
        const QDeadlineTimer limite(5000);
        while (mostrato < id && !limite.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (mostrato < id) {
            std::fprintf(stderr, "bench_annunci: event %lld not shown within 5 s\n", static_cast<long long>(id));
            return 1;
        }
        ms << double(t.nsecsElapsed()) / 1e6;
        // The queue empties now and then, as operators archive it.
        if (i % 10 == 9)
            ricevitore->esegui(QStringLiteral("UPDATE ArchivioEventi SET Archiviato = TRUE"));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("push: median %.1f ms, worst %.1f ms over %d\n", ms.at(ms.size() / 2), ms.last(), volte);
    w.close();
    return 0;
}
