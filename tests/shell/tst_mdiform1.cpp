// The main window as the operator meets it: menus, status strip, close.

#include "comune/Banco.h"
#include "modem/Simulatore.h"
#include "platform/Twips.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>

using namespace sorvela;

namespace {

// A child window that refuses to close until told otherwise, as a window
// with unsaved changes does when the operator answers Cancel.
class Riluttante : public QWidget {
public:
    explicit Riluttante(int& richieste) : richieste(richieste) {}
    bool rifiuta = true;
    int& richieste; // outlives the window, which deletes itself on closing

protected:
    void closeEvent(QCloseEvent* e) override
    {
        ++richieste;
        e->setAccepted(!rifiuta);
    }
};

// The main window over the demo database.
struct Banco : comune::Banco {
    MDIForm1 w{ctx};
    Banco() : comune::Banco(true) { w.adottaDatabase(std::move(db)); }
};

QStringList visibili(const QList<QAction*>& azioni)
{
    QStringList t;
    for (QAction* a : azioni)
        if (a->isVisible())
            t << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return t;
}

// Starts the console as a process on the data folder `dati`, its settings
// under `config`; an empty `piattaforma` leaves it without any display.
void avvia(QProcess& p, const QString& config, const QString& dati, const QString& piattaforma = {},
           const QStringList& altri = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(v);
    if (!piattaforma.isEmpty())
        env.insert("QT_QPA_PLATFORM", piattaforma);
    env.insert("XDG_CONFIG_HOME", config);
    p.setProcessEnvironment(env);
    p.start(SORVELA_BINARY_DIR "/src/shell/sorvela", QStringList{"--data-dir", dati} + altri);
}

} // namespace

class TestMDIForm1 : public QObject {
    Q_OBJECT

private slots:
    void menuShowsOnlyTheOperatorsItems()
    {
        Banco b;
        QCOMPARE(b.w.windowTitle(), "Sorvela");
        QCOMPARE(visibili(b.w.menuBar()->actions()),
                 (QStringList{"Gestione &Eventi", "Gestione &Utenti", "&Database", "&Impostazioni", "Informazioni"}));
        auto menu = [&](const char* nome) { return b.w.menuBar()->findChild<QMenu*>(QString::fromLatin1(nome)); };
        QCOMPARE(visibili(menu("mnuCodaEventi")->actions()),
                 (QStringList{"Visualizza eventi nuovi", "Carica messaggi", "Messaggi non attribuiti",
                              "Registro operazioni", "-", "Cambia operatore", "-", "Esci"}));
        QCOMPARE(visibili(menu("mnuGestioneCentrale")->actions()),
                 (QStringList{"Informazioni Utenti", "Archivio Storico", "Anagrafica Operatori"}));
        QCOMPARE(visibili(menu("mnuDatabase")->actions()), (QStringList{"Compatta database", "Ripulisci"}));
        QCOMPARE(visibili(menu("mnuImpostazioni")->actions()), QStringList{"Configurazione"});
        // Hidden items exist, stay hidden, and the two with windows are disabled.
        for (const char* nome : {"mnuPeriferiche", "mnuContatti",
                                 "mnuProcedure", "mnuUtilizzo", "mnuCambioTurno", "Line1", "Line2"}) {
            auto* a = b.w.findChild<QAction*>(QString::fromLatin1(nome));
            QVERIFY2(a && !a->isVisible(), nome);
        }
        QVERIFY(!b.w.findChild<QAction*>("mnuPeriferiche")->isEnabled());
        QVERIFY(!menu("mnuFase")->menuAction()->isVisible());
        QCOMPARE(visibili(menu("mnuFase")->actions()), (QStringList{"Inserisci Fase", "-", "Cancella Fase"}));
    }

    void statusStripStretchesToTheScreen()
    {
        twips::imposta(15, 12000, 9000);
        Banco b;
        b.w.Monitor();
        StrisciaStato* s = b.w.striscia();
        QCOMPARE(s->geometriaTwips(3).width(), 4050);
        QCOMPARE(s->geometriaTwips(6).width(), 4050);
        QCOMPARE(s->geometriaTwips(7).left(), 9150);
        QCOMPARE(s->geometriaTwips(4).left(), 10860);
        // The row of panels ends 45 twips short of the screen's edge.
        QCOMPARE(s->geometriaTwips(4).left() + s->geometriaTwips(4).width(), 12000 - 45);
        QCOMPARE(s->pannello(3)->width(), 4050 / 15);
        twips::ripristina();
    }

    void closeIsRetriedTenSecondsAfterAChildRefuses()
    {
        Banco b;
        b.w.show();
        int richieste = 0;
        auto* figlio = new Riluttante(richieste);
        figlio->setAttribute(Qt::WA_DeleteOnClose);
        b.w.area()->addSubWindow(figlio)->show();
        QSignalSpy fine(&b.w, &MDIForm1::terminata);

        QVERIFY(!b.w.close());
        QCOMPARE(richieste, 1);
        QVERIFY(b.w.Timer3()->isActive());
        QCOMPARE(b.w.Timer3()->interval(), 10000);
        QCOMPARE(b.w.cursor().shape(), Qt::WaitCursor);
        QVERIFY(b.w.isVisible());
        QVERIFY(b.ctx.db->aperto());

        // The operator has now saved; the next retry closes everything.
        figlio->rifiuta = false;
        b.w.Timer3()->setInterval(20);
        QTRY_COMPARE(fine.count(), 1);
        QVERIFY(richieste >= 2);
        QVERIFY(!b.w.isVisible());
        QVERIFY(!b.w.Timer3()->isActive());
        QVERIFY(!b.ctx.db->aperto());
    }

    void qtOptionsAreAcceptedUnknownOnesRefused_data()
    {
        QTest::addColumn<QStringList>("argomenti");
        QTest::addColumn<int>("codice");
        QTest::addColumn<QString>("uscita");
        // With no database the console stops at its check, after reading the
        // command line: the message says which step it reached.
        const QString database = QStringLiteral("non esiste");
        QTest::newRow("-style") << QStringList{"-style", "Fusion"} << 2 << database;
        QTest::newRow("--platform") << QStringList{"--platform", "offscreen"} << 2 << database;
        QTest::newRow("-reverse") << QStringList{"-reverse"} << 2 << database;
        QTest::newRow("unknown") << QStringList{"--sconosciuta"} << 2 << QStringLiteral("argomento non riconosciuto");
        QTest::newRow("--version") << QStringList{"--version"} << 0 << QStringLiteral("sorvela " SORVELA_VERSIONE "\n");
    }

    void qtOptionsAreAcceptedUnknownOnesRefused()
    {
        QFETCH(QStringList, argomenti);
        QFETCH(int, codice);
        QFETCH(QString, uscita);
        QTemporaryDir base;
        QProcess p;
        avvia(p, base.path(), base.path(), {}, argomenti);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), codice);
        const QString testo = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        QVERIFY2(testo.contains(uscita), qPrintable(testo));
    }

    void missingDatabaseIsReportedAndTheConsoleExits()
    {
        QTemporaryDir base;
        QDir(base.path()).mkdir("Dati Sorvela");
        const QString cartella = base.filePath("Dati Sorvela");
        QProcess p;
        avvia(p, base.path(), cartella);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(p.exitCode() != 0);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains(cartella + "/Sorvela.db"), qPrintable(err));
        // The command is ready to paste, the folder quoted for its blank.
        QVERIFY2(err.contains("sorvela-db init --data-dir '" + cartella + "'"), qPrintable(err));

        // A server that is not there, named in the settings file: its
        // address is told, its password is not.
        QDir(base.path()).mkpath("Sorvela");
        QFile ini(base.filePath("Sorvela/Sorvela.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Database]\nUrl=host=" + base.filePath("nessuno").toUtf8() + " dbname=centro password=segreta\n");
        ini.close();
        avvia(p, base.path(), cartella);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 2);
        const QString server = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(server.contains("Impossibile aprire il database") && server.contains("dbname=centro")
                     && !server.contains("segreta"), qPrintable(server));
    }

    // Started with Qt's own option for the platform, runs on without the
    // line and stops on SIGTERM as on "Esci".
    void consoleRunsOnTheDemoWithoutAHandsetAndStopsOnSigterm()
    {
        QTemporaryDir dati, config;
        store::Database::crea(dati.filePath("Sorvela.db"), true);
        // COM1 points at a device that does not exist: the console says so
        // and runs on without the line.
        const QString ini = config.filePath("Sorvela/Sorvela.ini");
        Preferenze(ini).setDispositivoPorta(1, config.filePath("nessuno"));
        QProcess p;
        avvia(p, config.path(), dati.path(), {}, {"-platform", "offscreen"});
        QVERIFY(p.waitForStarted());
        QVERIFY2(!p.waitForFinished(4000), qPrintable(p.readAllStandardError()));
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        // Its first tick found the demo's new events and opened the queue,
        // whose place the close kept; the database was closed properly.
        QVERIFY(!Preferenze(ini).geometria("CodaEventi").WiPos.isEmpty());
        QVERIFY(!QFile::exists(dati.filePath("Sorvela.db-wal")));
    }

    void sigtermClosesTheLineAndItsLock()
    {
        prova::Simulatore sim;
        QTemporaryDir dati, config;
        store::Database::crea(dati.filePath("Sorvela.db"), false);
        Preferenze(config.filePath("Sorvela/Sorvela.ini")).setDispositivoPorta(1, sim.percorso());
        // The port's lock, as Qt names it: the device under /dev, '/' as '_'.
        const QString blocco =
            "/var/lock/LCK.." + QString(sim.percorso()).remove(QRegularExpression("^/dev/")).replace('/', '_');
        auto proprietario = [&] {
            QFile f(blocco);
            return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed().toLongLong() : 0;
        };
        QProcess p;
        avvia(p, config.path(), dati.path(), "offscreen");
        QVERIFY(p.waitForStarted());
        const qint64 console = p.processId();
        QTRY_COMPARE_WITH_TIMEOUT(proprietario(), console, 5000);
        // At once: a stop during the start-up closes the line as well.
        ::kill(console, SIGTERM);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(proprietario() != console);
    }
};

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
