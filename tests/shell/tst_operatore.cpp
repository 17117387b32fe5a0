// The operator at work while the console works by itself: events arriving
// while he types, the windows he opens from the menus, the count on the
// strip. The main window and its tick on a real database file, a virtual
// clock moved one second per tick.

#include "comune/Banco.h"
#include "registry/AnagraficaUtenti.h"
#include "shell/Allarme.h"
#include "shell/Avvio.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"
#include "shell/Tick.h"
#include "windows/CodaEventi.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTableWidget>

using namespace sorvela;
using namespace std::chrono_literals;

namespace {

struct Console : comune::Banco {
    MDIForm1 finestra{ctx};
    std::unique_ptr<Tick> tick;

    Console()
    {
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Tipo utente], Nome, Indirizzo) VALUES "
                   "('000001', 0, 'Dell''Acqua Giuseppe', 'Via Roma 1')");
        finestra.adottaDatabase(std::move(db));
        finestra.show();
        tick = std::make_unique<Tick>(ctx, collegamentiFinestraPrincipale(finestra));
    }
    void secondi(int n)
    {
        for (int i = 0; i < n; ++i) {
            orologio.avanza(1s);
            tick->passo();
        }
    }
    CodaEventi* coda() { return qobject_cast<CodaEventi*>(finestra.finestra("CodaEventi")); }
    int suoni() { return finestra.allarme()->volteSuonato(); }
    void menu(const char* voce) { finestra.findChild<QAction*>(voce)->trigger(); }
    QList<QWidget*> aperte(const char* nome)
    {
        QList<QWidget*> v;
        for (QWidget* w : finestra.findChildren<QWidget*>(nome))
            if (w->isVisible())
                v << w;
        return v;
    }
    QLineEdit* campo(AnagraficaUtenti* a, const char* nome) { return a->findChild<QLineEdit*>(nome); }
};

} // namespace

class TestOperatore : public QObject {
    Q_OBJECT

private slots:
    void eventsArrivingNeverTakeTheKeysFromTheOperator()
    {
        Console c;
        QVERIFY(QTest::qWaitForWindowActive(&c.finestra));
        AnagraficaUtenti* a = c.finestra.apriAnagrafica();
        comune::tasti(c.campo(a, "Codice"), "1");
        QTest::keyClick(c.campo(a, "Codice"), Qt::Key_Return);
        QLineEdit* indirizzo = c.campo(a, "Indirizzo");
        QLineEdit* nominativo = c.campo(a, "Nominativo");

        // Into the address, the cursor after "Via ", nothing typed yet: the
        // record on screen is still the stored one.
        QTest::mouseClick(indirizzo, Qt::LeftButton);
        indirizzo->setCursorPosition(4);
        c.evento("000001");
        c.secondi(1);
        QVERIFY(c.coda());
        QCOMPARE(c.suoni(), 1);
        QCOMPARE(QApplication::focusWidget(), indirizzo);
        QCOMPARE(indirizzo->cursorPosition(), 4);
        comune::tasti(QApplication::focusWidget(), "Nuova ");

        // Typing on while more events arrive.
        c.evento("000001");
        c.secondi(1);
        QCOMPARE(c.suoni(), 2);
        comune::tasti(QApplication::focusWidget(), "QQQ");
        QCOMPARE(indirizzo->text(), "Via Nuova QQQRoma 1");
        QCOMPARE(nominativo->text(), "Dell'Acqua Giuseppe");
        QCOMPARE(QApplication::focusWidget(), indirizzo);
        QCOMPARE(c.finestra.area()->activeSubWindow()->widget(), a);

        // The queue came forward over the operator's window; a click in
        // that window brings it in front again.
        auto davanti = [&] { return c.finestra.area()->subWindowList(QMdiArea::StackingOrder).last()->widget(); };
        QCOMPARE(davanti(), c.coda());
        QTest::mouseClick(indirizzo, Qt::LeftButton);
        QCOMPARE(davanti(), a);
        QCOMPARE(QApplication::focusWidget(), indirizzo);

        // A selection made to type over stays selected.
        indirizzo->selectAll();
        c.coda()->archivia();
        QTRY_VERIFY(!c.coda());
        c.evento("000001");
        c.secondi(1);
        QVERIFY(c.coda());
        comune::tasti(QApplication::focusWidget(), "Via Po 2");
        QCOMPARE(indirizzo->text(), "Via Po 2");

        // Half a code typed when the queue opens by itself: the field is
        // not "left", so the code is neither padded nor loaded.
        comune::premi(a, "Annulla");
        c.coda()->archivia();
        QTRY_VERIFY(!c.coda());
        c.secondi(1);
        QVERIFY(c.coda());
        QLineEdit* codice = c.campo(a, "Codice");
        QTest::mouseClick(codice, Qt::LeftButton);
        codice->selectAll();
        comune::tasti(codice, "4");
        c.evento("000001");
        c.secondi(1);
        comune::tasti(QApplication::focusWidget(), "2");
        QCOMPARE(codice->text(), "42");
        QCOMPARE(nominativo->text(), "Dell'Acqua Giuseppe");
    }

    void moreThan32767WaitingEventsAreCountedAndRefilledOnlyOnChange()
    {
        Console c;
        c.ctx.db->esegui("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                         "INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Tipo evento], "
                         "[Descrizione evento]) SELECT '000001', ?, 'Test', 'x' FROM n",
                         {c.orologio.adesso()});
        c.secondi(1);
        QCOMPARE(c.finestra.striscia()->pannello(1)->testo(), "Numero eventi nuovi: 40000");
        QCOMPARE(c.coda()->Coda()->rowCount(), 40000);
        // A mark in the grid survives the ticks that find nothing new.
        c.coda()->Coda()->item(0, 2)->setText("visto");
        c.secondi(3);
        QCOMPARE(c.suoni(), 1);
        QCOMPARE(c.coda()->Coda()->item(0, 2)->text(), "visto");
        c.evento("000001");
        c.secondi(1);
        QCOMPARE(c.suoni(), 2);
        QCOMPARE(c.finestra.striscia()->pannello(1)->testo(), "Numero eventi nuovi: 40001");
    }

    void theMenuBringsAnOpenSmallWindowForwardInsteadOfASecondOne()
    {
        Console c;
        for (const char* voce : {"mnuInformazioni", "mnuComPort", "mnuCancEventi"}) {
            c.menu(voce);
            c.menu(voce);
        }
        for (const char* nome : {"frmInfo", "Impostazioni", "Ripulisci"})
            QVERIFY2(c.aperte(nome).size() == 1, nome);
        // The information window: on top, its version line, closed by OK.
        QWidget* info = c.aperte("frmInfo").first();
        QCOMPARE(info->windowTitle(), "Informazioni");
        QVERIFY(info->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(info->findChild<QLabel*>("Label2")->text().startsWith("Versione: "));
        QCOMPARE(info->findChild<QLabel*>("Label1(0)")->text(), "Sorvela");
        comune::premi(info, "cmdOK");
        QTRY_VERIFY(c.aperte("frmInfo").isEmpty());
        c.menu("mnuInformazioni");
        QCOMPARE(c.aperte("frmInfo").size(), 1);
    }

    void aMinimisedOrMaximisedWindowRemembersItsNormalGeometry()
    {
        Console c;
        c.finestra.resize(1200, 900);
        for (auto stato : {Qt::WindowMinimized, Qt::WindowMaximized}) {
            c.menu("mnuVisualCoda");
            QMdiSubWindow* sub = c.finestra.area()->subWindowList().last();
            sub->setGeometry(40, 30, 700, 200);
            const GeometriaSalvata normale{"600", "450", "10500", "3000"};
            sub->setWindowState(stato);
            QTRY_VERIFY(sub->windowState() & stato);
            QVERIFY(sub->close());
            const GeometriaSalvata g = c.pref.geometria("CodaEventi");
            QCOMPARE((QStringList{g.XPos, g.YPos, g.WiPos, g.HePos}),
                     (QStringList{normale.XPos, normale.YPos, normale.WiPos, normale.HePos}));
        }
    }

    void keysEditedByHandWhileTheConsoleRunsSurvive()
    {
        Console c;
        c.finestra.resize(1200, 900);
        c.menu("mnuVisualCoda");
        QMdiSubWindow* sub = c.finestra.area()->subWindowList().last();
        sub->move(40, 30);
        QVERIFY(sub->close());
        // Edited by hand: a comment, the port, a device of its own.
        const QString ini = c.pref.percorso();
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray testo = f.readAll().replace("XPos=600", "XPos=615");
        f.close();
        testo = "; porta del telefono cambiata a mano\n[Impostazioni]\nNumPort=4\n\n[Porte]\nCOM4=/dev/ttyUSB0\n\n" + testo;
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(testo);
        f.close();

        // Reopened where the hand put it and closed without a move: nothing
        // to write, the file stays as it is, comment and all.
        c.menu("mnuVisualCoda");
        QCOMPARE(c.finestra.area()->subWindowList().last()->x(), 41);
        QVERIFY(c.finestra.area()->subWindowList().last()->close());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), testo);
        f.close();

        // Moved: only its own keys change.
        c.menu("mnuVisualCoda");
        c.finestra.area()->subWindowList().last()->move(60, 30);
        QVERIFY(c.finestra.area()->subWindowList().last()->close());
        QCOMPARE(c.pref.numPort(), "4");
        QCOMPARE(c.pref.dispositivoPorta(4), "/dev/ttyUSB0");
        QCOMPARE(c.pref.geometria("CodaEventi").XPos, "900");
    }

    void messageBoxButtonsReadItalian()
    {
        QVERIFY(installaTraduzioneQt(*QCoreApplication::instance()));
        MessaggiQt box;
        QStringList pulsanti;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(m);
            for (QAbstractButton* b : m->buttons())
                pulsanti << b->text().remove('&');
            m->button(QMessageBox::No)->click();
        });
        QCOMPARE(box.chiedi(Icona::Domanda, "Salvare?", Pulsanti::SiNoAnnulla, "Anagrafica Utente"), Risposta::No);
        pulsanti.sort();
        QCOMPARE(pulsanti, (QStringList{"Annulla", "No", "Sì"}));

        // A notice leaves the keyboard where it is, is not kept above other
        // windows, and Enter or Escape closes it once the operator is in it.
        QLineEdit campo;
        campo.show();
        QVERIFY(QTest::qWaitForWindowActive(&campo));
        box.setGenitore(&campo);
        for (Qt::Key tasto : {Qt::Key_Return, Qt::Key_Escape}) {
            box.notifica("telefono", Icona::Avviso, "Controlla il telefono.");
            QPointer<QMessageBox> avviso = campo.findChild<QMessageBox*>();
            QVERIFY(avviso && !avviso->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QCOMPARE(QApplication::focusWidget(), &campo);
            avviso->activateWindow();
            QTRY_VERIFY(avviso->isActiveWindow());
            QTest::keyClick(QApplication::focusWidget(), tasto);
            QTRY_VERIFY(!avviso);
            campo.activateWindow();
            QTRY_VERIFY(campo.hasFocus());
        }
    }

    void withoutSoundTheCountPanelFlashesUntilTheQueueIsSeen()
    {
        Console c;
        // The built-in sound leaves no file in the temporary folder.
        QTemporaryDir temporanea;
        qputenv("TMPDIR", temporanea.path().toLocal8Bit());
        c.finestra.allarme()->prepara(c.dir.path());
        QTRY_VERIFY(QDir(temporanea.path()).entryList({"sorvela-*"}, QDir::Files).isEmpty());
        qunsetenv("TMPDIR");
        c.finestra.allarme()->prepara(c.dir.path(), Allarme::Uscita::Nessuna);
        AnagraficaUtenti* a = c.finestra.apriAnagrafica();
        QWidget* pannello = c.finestra.striscia()->pannello(1);
        c.evento("000001");
        c.secondi(1);
        QVERIFY(c.finestra.allarme()->lampeggia());
        QTRY_VERIFY(pannello->autoFillBackground());
        QCOMPARE(pannello->palette().color(QPalette::Window), QColor(255, 0, 0));
        QTRY_VERIFY(!pannello->autoFillBackground());     // on and off
        // Opened by the tick behind the operator's window: not seen yet.
        QCOMPARE(c.finestra.area()->activeSubWindow()->widget(), a);
        c.secondi(3);
        QVERIFY(c.finestra.allarme()->lampeggia());
        c.finestra.area()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(c.coda()->parentWidget()));
        QVERIFY(!c.finestra.allarme()->lampeggia());
        QVERIFY(!pannello->autoFillBackground());

        // A new alarm flashes again; archiving is seeing.
        c.evento("000001");
        c.secondi(1);
        QVERIFY(c.finestra.allarme()->lampeggia());
        c.coda()->archivia();
        QTRY_VERIFY(!c.finestra.allarme()->lampeggia());
    }
};

QTEST_MAIN(TestOperatore)
#include "tst_operatore.moc"
