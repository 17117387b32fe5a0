// The main window as the operator meets it: menus, status strip, close.

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "platform/Twips.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"
#include "store/Database.h"
#include "modem/Simulatore.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

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
        if (rifiuta)
            e->ignore();
        else
            e->accept();
    }
};

QStringList visibili(const QList<QAction*>& azioni)
{
    QStringList t;
    for (QAction* a : azioni)
        if (a->isVisible())
            t << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return t;
}

} // namespace

class TestMDIForm1 : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<OrologioVirtuale> m_orologio;
    std::unique_ptr<MessaggiRegistrati> m_messaggi;
    std::unique_ptr<Preferenze> m_pref;
    std::unique_ptr<Contesto> m_ctx;

    std::unique_ptr<MDIForm1> nuovaFinestra()
    {
        m_orologio = std::make_unique<OrologioVirtuale>();
        m_messaggi = std::make_unique<MessaggiRegistrati>();
        m_pref = std::make_unique<Preferenze>(m_dir.filePath(QStringLiteral("Sorvela.ini")));
        m_ctx = std::make_unique<Contesto>();
        m_ctx->orologio = m_orologio.get();
        m_ctx->messaggi = m_messaggi.get();
        m_ctx->preferenze = m_pref.get();
        m_ctx->cartellaDati = m_dir.path();
        auto w = std::make_unique<MDIForm1>(*m_ctx);
        w->adottaDatabase(store::Database::apri(m_ctx->percorsoDatabase()));
        return w;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        store::Database::crea(m_dir.filePath(QStringLiteral("Sorvela.db")), true);
    }

    void menuShowsOnlyTheOperatorsItems()
    {
        auto w = nuovaFinestra();
        QCOMPARE(w->windowTitle(), QStringLiteral("Sorvela"));
        QCOMPARE(visibili(w->menuBar()->actions()),
                 (QStringList{"Gestione &Eventi", "Gestione &Utenti", "&Database", "&Impostazioni", "Informazioni"}));
        auto menu = [&](const char* nome) { return w->menuBar()->findChild<QMenu*>(QString::fromLatin1(nome)); };
        QCOMPARE(visibili(menu("mnuCodaEventi")->actions()),
                 (QStringList{"Visualizza eventi nuovi", "Carica messaggi", "-", "Esci"}));
        QCOMPARE(visibili(menu("mnuGestioneCentrale")->actions()), QStringList{"Informazioni Utenti"});
        QCOMPARE(visibili(menu("mnuDatabase")->actions()), (QStringList{"Compatta database", "Ripulisci"}));
        QCOMPARE(visibili(menu("mnuImpostazioni")->actions()), QStringList{"Configurazione"});
        // Hidden items exist, stay hidden, and the two with windows are disabled.
        for (const char* nome : {"mnuStorico", "mnuPeriferiche", "mnuAnagraficaOperatori", "mnuContatti",
                                 "mnuProcedure", "mnuUtilizzo", "mnuCambioTurno", "Line1", "Line2"}) {
            auto* a = w->findChild<QAction*>(QString::fromLatin1(nome));
            QVERIFY2(a && !a->isVisible(), nome);
        }
        QVERIFY(!w->findChild<QAction*>(QStringLiteral("mnuStorico"))->isEnabled());
        QVERIFY(!w->findChild<QAction*>(QStringLiteral("mnuPeriferiche"))->isEnabled());
        QVERIFY(!menu("mnuFase")->menuAction()->isVisible());
        QCOMPARE(visibili(menu("mnuFase")->actions()), (QStringList{"Inserisci Fase", "-", "Cancella Fase"}));
    }

    void statusStripStretchesToTheScreen()
    {
        twips::imposta(15, 12000, 9000);
        auto w = nuovaFinestra();
        w->Monitor();
        StrisciaStato* s = w->striscia();
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
        auto w = nuovaFinestra();
        w->show();
        int richieste = 0;
        auto* figlio = new Riluttante(richieste);
        figlio->setAttribute(Qt::WA_DeleteOnClose);
        w->area()->addSubWindow(figlio)->show();
        QSignalSpy fine(w.get(), &MDIForm1::terminata);

        QVERIFY(!w->close());
        QCOMPARE(richieste, 1);
        QVERIFY(w->Timer3()->isActive());
        QCOMPARE(w->Timer3()->interval(), 10000);
        QCOMPARE(w->cursor().shape(), Qt::WaitCursor);
        QVERIFY(w->isVisible());
        QVERIFY(m_ctx->db->aperto());

        // The operator has now saved; the next retry closes everything.
        figlio->rifiuta = false;
        w->Timer3()->setInterval(20);
        QTRY_COMPARE(fine.count(), 1);
        QVERIFY(richieste >= 2);
        QVERIFY(!w->isVisible());
        QVERIFY(!w->Timer3()->isActive());
        QVERIFY(!m_ctx->db->aperto());
    }

    void manualLoadDuringARunningCycleStartsNoSecondOne()
    {
        prova::Simulatore sim({"--pace"});
        for (int i = 0; i < 4; ++i)
            sim.comando(QStringLiteral("store 3351234567 ALLARME INGRESSO %1").arg(i));
        auto w = nuovaFinestra();
        m_pref->setDispositivoPorta(1, sim.percorso());
        w->avvia();
        w->Timer1()->stop();
        sim.storia();

        // The operator chooses "Carica messaggi" while the cycle waits on
        // the (slow) handset.
        bool scelto = false;
        QTimer::singleShot(300, w.get(), [&] {
            w->mnuCaricaMessaggi();
            scelto = true;
        });
        w->letturaMessaggi();
        QVERIFY(scelto);
        QCOMPARE(sim.storia().count(QStringLiteral("AT+CNMI=1,1,0,0,1")), 1);
        QCOMPARE(sim.comando(QStringLiteral("list")).size(), 1); // the store is empty: only "ok"
    }

    void missingDatabaseIsReportedAndTheConsoleExits()
    {
        QTemporaryDir base;
        QDir(base.path()).mkdir("Dati Sorvela");
        const QString cartella = base.filePath("Dati Sorvela");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), base.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SORVELA_BINARY_DIR "/src/shell/sorvela"), {"--data-dir", cartella});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(p.exitCode() != 0);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains(cartella + "/Sorvela.db"), qPrintable(err));
        // The command is ready to paste, the folder quoted for its blank.
        QVERIFY2(err.contains("sorvela-db init --data-dir '" + cartella + "'"), qPrintable(err));
    }

    void consoleRunsOnTheDemoWithoutAHandset()
    {
        QTemporaryDir config;
        // COM1 points at a device that does not exist: the console says so
        // and runs on without the line.
        Preferenze(config.filePath("Sorvela/Sorvela.ini")).setDispositivoPorta(1, config.filePath("nessuno"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SORVELA_BINARY_DIR "/src/shell/sorvela"), {"--data-dir", m_dir.path()});
        QVERIFY(p.waitForStarted());
        QVERIFY2(!p.waitForFinished(4000), qPrintable(p.readAllStandardError()));
        QCOMPARE(p.state(), QProcess::Running);
        p.kill();
        p.waitForFinished();
    }
};

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
