// The console: sorvela [--data-dir DIR] [Qt's options]

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "platform/ArrestoDaSegnale.h"
#include "shell/Avvio.h"
#include "shell/MDIForm1.h"
#include "store/Database.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>
#include <csignal>
#include <cstdio>

using namespace sorvela;

// Silent unless asked for (QT_LOGGING_RULES="sorvela.avvio.info=true"): the
// moment the main window is up, which the start-up benchmark waits for.
Q_LOGGING_CATEGORY(lcAvvio, "sorvela.avvio", QtWarningMsg)

int main(int argc, char* argv[])
{
    // A write past the file size limit (a quota, a limit set by whoever
    // started the console) must fail with EFBIG, which SQLite reports as a
    // full disk and the console tells, rather than end the console on the
    // spot with its alarms unread.
    std::signal(SIGXFSZ, SIG_IGN);

    const OpzioniAvvio opzioni = leggiOpzioni(argc, argv);
    if (opzioni.esci)
        return opzioni.codiceUscita;

    // The database is opened before any window exists, so a machine without
    // a display still gets the message on standard error. A server named on
    // the command line, else in the settings file; the SQLite file of the
    // data folder without either.
    const QString url = opzioni.urlDatabase.isEmpty() ? Preferenze().urlDatabase() : opzioni.urlDatabase;
    QString problema = url.isEmpty() ? problemaDatabase(opzioni.cartellaDati) : problemaServer(url);
    std::unique_ptr<store::Database> db;
    if (problema.isEmpty()) {
        const QString percorso = url.isEmpty() ? QDir(opzioni.cartellaDati).filePath(QStringLiteral("Sorvela.db")) : url;
        try {
            db = store::Database::apri(percorso);
        } catch (const store::ErroreDatabase& e) {
            // A server's own message already names it (without its password).
            problema = store::Database::eServer(percorso)
                           ? e.messaggio()
                           : QStringLiteral("Impossibile aprire il database %1: %2").arg(percorso, e.messaggio());
        }
    }
    if (!problema.isEmpty()) {
        std::fprintf(stderr, "sorvela: %s\n", problema.toLocal8Bit().constData());
        if (displayDisponibile()) {
            QApplication app(argc, argv);
            MessaggiQt box;
            box.avvisa(Icona::Errore, problema);
        }
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorvela"));
    QApplication::setOrganizationName(QStringLiteral("Sorvela"));
    // Lets the desktop match the window to the installed menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("it.sorvela.Sorvela"));
    installaTraduzioneQt(app);
    // Caught from here on: a stop during the start-up is answered once the
    // window runs, and closes the database and the line as well.
    ArrestoDaSegnale arresto;
    // Only the main window's close ends the program, never the last box.
    QApplication::setQuitOnLastWindowClosed(false);

    Orologio orologio;
    Preferenze preferenze;
    MessaggiQt messaggi;
    Contesto ctx;
    ctx.orologio = &orologio;
    ctx.preferenze = &preferenze;
    ctx.messaggi = &messaggi;
    ctx.cartellaDati = opzioni.cartellaDati;
    ctx.urlDatabase = url;

    MDIForm1 finestra(ctx);
    finestra.adottaDatabase(std::move(db));
    messaggi.setGenitore(&finestra);
    QObject::connect(&finestra, &MDIForm1::terminata, &app, &QApplication::quit, Qt::QueuedConnection);

    // SIGTERM and SIGINT close the console as "Esci" does: geometry saved,
    // line and database closed once the exchange in progress has ended.
    QObject::connect(&arresto, &ArrestoDaSegnale::richiesto, &finestra, [&finestra] { finestra.close(); });
    finestra.avvia();
    // Filling the screen by hand as well keeps the console full-size where
    // no window manager honours the maximise request.
    if (QScreen* schermo = QGuiApplication::primaryScreen())
        finestra.setGeometry(schermo->availableGeometry());
    finestra.showMaximized();
    // Runs on the event loop's first pass: the window is shown and the
    // console answers the operator.
    QTimer::singleShot(0, &finestra, [] { qCInfo(lcAvvio, "finestra principale pronta"); });
    return app.exec();
}
