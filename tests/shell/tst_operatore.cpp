// The operator at work while the console works by itself: events arriving
// while he types, the windows he opens from the menus, the count on the
// strip; who is on duty and the record of what he does. The main window and its tick on a real database file, a virtual
// clock moved one second per tick.

#include "catalog/Contatti.h"
#include "comune/Banco.h"
#include "comune/Griglie.h"
#include "events/NonAttribuiti.h"
#include "events/RiempiCoda.h"
#include "events/eventi_aiuto.h"
#include "platform/Operatori.h"
#include "platform/RegistroOperazioni.h"
#include "registry/AnagraficaUtenti.h"
#include "registry/Utenti.h"
#include "shell/Pulizia.h"
#include "shell/SceltaOperatore.h"
#include "windows/Archivio.h"
#include "windows/FinestraNonAttribuiti.h"
#include "windows/FinestraRegistro.h"
#include "shell/Allarme.h"
#include "shell/Avvio.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"
#include "shell/Tick.h"
#include "windows/CodaEventi.h"

#include <QAction>
#include <QComboBox>
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
    // The record of actions as "operator|action|object|details", oldest first.
    QStringList registro()
    {
        QStringList r;
        for (auto rs = ctx.db->apriRecordSet("SELECT * FROM RegistroOperazioni ORDER BY ID"); !rs.eof(); rs.moveNext())
            r << QStringList{rs.campo("Operatore").toString(), rs.campo("Azione").toString(),
                             rs.campo("Oggetto").toString(), rs.campo("Dettagli").toString()}
                     .join(u'|');
        return r;
    }
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
        comune::tasti(comune::controllo(a, "Codice"), "1");
        QTest::keyClick(comune::controllo(a, "Codice"), Qt::Key_Return);
        QLineEdit* indirizzo = comune::controllo(a, "Indirizzo");
        QLineEdit* nominativo = comune::controllo(a, "Nominativo");

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
        QLineEdit* codice = comune::controllo(a, "Codice");
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
        for (const char* voce : {"mnuInformazioni", "mnuComPort", "mnuCancEventi", "mnuAnagraficaOperatori"}) {
            c.menu(voce);
            c.menu(voce);
        }
        for (const char* nome : {"frmInfo", "Impostazioni", "Ripulisci", "AnagraficaOperatori"})
            QVERIFY2(c.aperte(nome).size() == 1, nome);
        // The information window: on top, its version line, closed by OK.
        QWidget* info = c.aperte("frmInfo").first();
        QVERIFY(info->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(info->findChild<QLabel*>("Label2")->text().startsWith("Versione: "));
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
        QFile f(c.pref.percorso());
        auto leggi = [&] {
            f.open(QIODevice::ReadOnly);
            const QByteArray t = f.readAll();
            f.close();
            return t;
        };
        const QByteArray testo = "; porta del telefono cambiata a mano\n[Impostazioni]\nNumPort=4\n\n[Porte]\n"
                                 "COM4=/dev/ttyUSB0\n\n" + leggi().replace("XPos=600", "XPos=615");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(testo);
        f.close();

        // Reopened where the hand put it and closed without a move: nothing
        // to write, the file stays as it is, comment and all.
        c.menu("mnuVisualCoda");
        QCOMPARE(c.finestra.area()->subWindowList().last()->x(), 41);
        QVERIFY(c.finestra.area()->subWindowList().last()->close());
        QCOMPARE(leggi(), testo);

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

    void withoutSoundTheCountPanelFlashesUntilTheQueueIsSeenOrSilenced()
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

        // Silenced, clicked without activating the queue (which would count
        // as seeing it): the queue and its events stay until the next event.
        c.evento("000001");
        c.evento("000001");
        c.secondi(1);
        QVERIFY(c.finestra.allarme()->lampeggia());
        c.coda()->cmdTacita()->click();
        QVERIFY(!c.finestra.allarme()->lampeggia());
        QCOMPARE(c.coda()->Coda()->rowCount(), 2);
        QCOMPARE(c.conta("SELECT count(*) FROM ArchivioEventi WHERE Archiviato = 0"), 2);
        QCOMPARE(c.registro().last(), "Operatore|Allarme tacitato|2 eventi in coda|ultimo evento ID 4");
        c.secondi(2);
        QVERIFY(!c.finestra.allarme()->lampeggia());
        c.evento("000001");
        c.secondi(1);
        QVERIFY(c.finestra.allarme()->lampeggia());
    }
    void passwordsAreSaltedPbkdf2()
    {
        // RFC 7914, section 11: PBKDF2-HMAC-SHA256.
        QCOMPARE(Pbkdf2Sha256("passwd", "salt", 1, 64).toHex(),
                 "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                 "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
        QCOMPARE(Pbkdf2Sha256("Password", "NaCl", 80000, 64).toHex(),
                 "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
                 "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
        const QString h = CifraPassword("è segreta", 1000);
        QVERIFY(h.startsWith("pbkdf2-sha256$1000$") && !h.contains("segreta"));
        QVERIFY(h != CifraPassword("è segreta", 1000)); // a fresh salt each time
        QVERIFY(VerificaPassword("è segreta", h));
        for (const QString& errata : {QString("e segreta"), QString(), QString("è segreta ")})
            QVERIFY(!VerificaPassword(errata, h));
        for (const QString& guasto : {QString("pbkdf2-sha256$0$AA==$AA=="), QString("pbkdf2-sha256$1$$"), QString("x")})
            QVERIFY(!VerificaPassword("", guasto));
    }

    void theOperatorOnDutyIsAskedNamedAndRecorded()
    {
        Console c;
        // Nobody defined: the console runs as "Operatore" and asks nothing.
        c.finestra.chiediOperatore();
        QVERIFY(c.aperte("SceltaOperatore").isEmpty());
        c.finestra.mostraOperatore();
        QCOMPARE(c.finestra.striscia()->pannello(3)->testo(), "Operatore: Operatore");

        QVERIFY(SalvaOperatore(c.ctx, "Rossi", QString("segreta"), true));
        QVERIFY(SalvaOperatore(c.ctx, "Bianchi", std::nullopt, true));
        QVERIFY(SalvaOperatore(c.ctx, "Verdi", std::nullopt, false));
        QVERIFY(!SalvaOperatore(c.ctx, "  ", std::nullopt, true));
        QVERIFY(!c.ctx.db->valore("SELECT Password FROM Operatori WHERE Nome = 'Rossi'").toString().contains("segreta"));
        c.finestra.chiediOperatore();
        auto* scelta = c.finestra.findChild<SceltaOperatore*>("SceltaOperatore");
        QVERIFY(scelta && scelta->isVisible() && !scelta->findChild<QPushButton*>("cmdAnnulla"));
        auto* nomi = scelta->findChild<QComboBox*>("cboOperatore");
        QCOMPARE(nomi->count(), 2); // the inactive one is not offered
        nomi->setCurrentText("Rossi");
        comune::tasti(scelta->findChild<QLineEdit*>("txtPassword"), "sbagliata");
        comune::premi(scelta, "cmdOK");
        QCOMPARE(scelta->findChild<QLabel*>("lblEsito")->text(), "Password errata.");
        QVERIFY(scelta->isVisible());
        QCOMPARE(c.ctx.operatore, "Operatore");
        scelta->reject(); // Escape does not get past the question at start-up
        QVERIFY(scelta->isVisible());
        comune::tasti(scelta->findChild<QLineEdit*>("txtPassword"), "segreta");
        comune::premi(scelta, "cmdOK");
        QCOMPARE(c.ctx.operatore, "Rossi");
        QCOMPARE(c.finestra.striscia()->pannello(3)->testo(), "Operatore: Rossi");
        QCOMPARE(c.registro().mid(3), QStringList{"Rossi|Cambio operatore|Rossi|prima: Operatore"});
    }

    // Each action and its row in the record are one transaction: with the
    // record refusing rows, the action leaves everything as it was.
    void everyRecordIsWrittenWithItsAction_data()
    {
        QTest::addColumn<QString>("azione");
        QTest::addColumn<QString>("stato");  // what the action changes
        QTest::addColumn<QString>("riga");   // the record's row, as "action|object|details"
        QTest::newRow("archive") << "archivia" << "SELECT count(*) FROM ArchivioEventi WHERE Archiviato = 1"
                                 << "Archiviazione eventi|2 eventi|ID 1-2";
        QTest::newRow("clean-up") << "ripulisci" << "SELECT count(*) FROM ArchivioEventi"
                                  << "Ripulisci|dal (inizio) al 01/03/2026|1 eventi cancellati (ID fino a 1)";
        QTest::newRow("subscriber changed") << "utente" << "SELECT Nome FROM DatiUtente"
                                            << "Utente modificato|Utente 000001|Nome: \"Dell'Acqua Giuseppe\" -> \"Rossi\"; "
                                               "Modello: \"\" -> \"Alfa\"";
        QTest::newRow("subscriber deleted") << "elimina" << "SELECT count(*) FROM DatiUtente"
                                            << "Utente eliminato|Utente 000001|Dell'Acqua Giuseppe";
        QTest::newRow("contacts") << "contatti" << "SELECT count(*) FROM Telefoni_Utenti"
                                  << "Contatti salvati|Utente 000001|1 contatti: Figlio 333";
        QTest::newRow("operator") << "operatore" << "SELECT count(*) FROM Operatori"
                                  << "Operatore salvato|Neri|nuovo, attivo";
        QTest::newRow("operator on duty") << "turno" << "" << "Cambio operatore|Neri|prima: Operatore";
    }

    void everyRecordIsWrittenWithItsAction()
    {
        QFETCH(QString, azione);
        QFETCH(QString, stato);
        QFETCH(QString, riga);
        for (const bool rifiuta : {true, false}) {
            Console c;
            c.evento("000001", "Allarme", QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
            c.evento("000001");
            if (rifiuta)
                c.ctx.db->esegui("CREATE TEMP TRIGGER rifiuta BEFORE INSERT ON RegistroOperazioni "
                                 "BEGIN SELECT RAISE(ABORT, 'disco pieno'); END");
            const QString prima = stato.isEmpty() ? c.ctx.operatore : c.ctx.db->valore(stato).toString();
            try {
                if (azione == "archivia") {
                    QCOMPARE(ArchiviaCoda(c.ctx, 2), 2);
                } else if (azione == "ripulisci") {
                    const pulizia::Intervallo i{std::nullopt, QDate(2026, 3, 1)};
                    pulizia::cancellaEventi(c.ctx, i, pulizia::contaEventi(*c.ctx.db, i));
                } else if (azione == "utente" || azione == "elimina") {
                    registry::Utenti u(*c.ctx.db, &c.ctx);
                    auto s = *u.leggi("000001");
                    s.nome = "Rossi";
                    s.modello = "Alfa";
                    azione == "utente" ? void(u.salva(s, false, c.orologio.adesso())) : u.elimina("000001");
                } else if (azione == "contatti") {
                    catalog::Contatti(*c.ctx.db, &c.ctx).sostituisci("000001", {{"Figlio", "333", ""}, {}});
                } else if (azione == "operatore") {
                    SalvaOperatore(c.ctx, "Neri", std::nullopt, true);
                } else {
                    CambiaOperatore(c.ctx, "Neri");
                }
                QVERIFY(!rifiuta);
            } catch (const store::ErroreDatabase& e) {
                QVERIFY2(rifiuta, qPrintable(e.messaggio()));
            }
            const QString dopo = stato.isEmpty() ? c.ctx.operatore : c.ctx.db->valore(stato).toString();
            QCOMPARE(dopo == prima, rifiuta);
            QVERIFY(!c.ctx.db->inTransazione());
            const QStringList r = c.registro();
            QCOMPARE(r.size(), rifiuta ? 0 : 1);
            if (!rifiuta)
                QCOMPARE(r[0], (c.ctx.operatore == "Neri" ? "Neri|" : "Operatore|") + riga);
            if (!rifiuta && azione == "archivia") {
                archivio::Criteri cr{"000001", QDate(2026, 3, 1), QDate(2026, 3, 2), true, true, {}};
                QCOMPARE(archivio::DescriviArchiviazione(archivio::Pagina(*c.ctx.db, cr, {}, 1, nullptr).at(0)),
                         "Operatore, 02/03/2026 10.00.00");
            }
        }
    }

    void unknownSendersAreKeptCountedAssignedOrDeleted()
    {
        Console c;
        c.orologio.imposta(QDateTime(QDate(2026, 3, 1), QTime(7, 30, 5)));
        for (const char* testo : {"ALLARME INGRESSO 2", "credito: 9;"})
            QCOMPARE(RegistraMessaggio(c.ctx, prova::RispostaSms("+393331112222", testo)).esito,
                     EsitoRegistrazione::MittenteSconosciuto);
        c.finestra.mostraSconosciuti();
        PannelloTesto* pannello = c.finestra.striscia()->pannello(6);
        QCOMPARE(pannello->testo(), "Mittenti sconosciuti: 2");
        QCOMPARE(pannello->sfondo(), QColor(0xC0, 0x00, 0x00));

        c.menu("mnuNonAttribuiti");
        auto* f = qobject_cast<FinestraNonAttribuiti*>(c.finestra.finestra("MessaggiNonAttribuiti"));
        QCOMPARE(f->griglia()->rowCount(), 2);
        QCOMPARE(f->griglia()->item(0, 4)->text(), "ALLARME INGRESSO 2");
        comune::premi(f, "cmdAssegna");
        QVERIFY(c.finestra.finestra("Form15"));
        QCOMPARE(c.ctx.tagPicker, "MessaggiNonAttribuiti_Codice");
        c.msg.rispondi(Risposta::Si); // the sender becomes the subscriber's GSM number
        c.finestra.consegnaCodice("MessaggiNonAttribuiti", "000001");
        QCOMPARE(c.ctx.db->valore("SELECT [Codice periferica] || '|' || [Data e ora] || '|' || [Testo messaggio] || '|' "
                                  "|| [Tipo evento] || '|' || Archiviato FROM ArchivioEventi").toString(),
                 "000001|2026-03-01 07:30:05|ALLARME INGRESSO 2|Allarme|0");
        QCOMPARE(c.ctx.db->valore("SELECT [Telefono GSM fonia] FROM DatiUtente").toString(), "+393331112222");
        QCOMPARE(f->griglia()->rowCount(), 1);
        QCOMPARE(pannello->testo(), "Mittenti sconosciuti: 1");

        f->griglia()->selectRow(0);
        c.msg.rispondi(Risposta::No);
        comune::premi(f, "cmdElimina");
        QCOMPARE(f->griglia()->rowCount(), 1);
        c.msg.rispondi(Risposta::Si);
        comune::premi(f, "cmdElimina");
        QCOMPARE(f->griglia()->rowCount(), 0);
        QCOMPARE(pannello->testo(), "");
        QCOMPARE(c.registro(), (QStringList{
            "Operatore|Messaggio assegnato|Utente 000001|+393331112222 del 01/03/2026 07.30.05: ALLARME INGRESSO 2; "
            "evento ID 1; Telefono GSM fonia: \"\" -> \"+393331112222\"",
            "Operatore|Messaggio eliminato|Mittente +393331112222|+393331112222 del 01/03/2026 07.30.05: credito: 9;"}));
    }

    void theRecordIsListedNewestFirstByFilter()
    {
        Console c;
        const QDate oggi = c.orologio.oggi();
        for (const auto& [giorni, chi, cosa] : {std::tuple{-40, "Rossi", azione::Ripulisci},
                                                {-2, "Rossi", azione::AllarmeTacitato},
                                                {-1, "Bianchi", azione::AllarmeTacitato},
                                                {0, "Rossi", azione::Compattazione}}) {
            c.orologio.imposta(QDateTime(oggi.addDays(giorni), QTime(9, 0)));
            c.ctx.operatore = chi;
            RegistraOperazione(c.ctx, cosa, "x");
        }
        c.menu("mnuRegistro");
        auto* f = qobject_cast<FinestraRegistro*>(c.finestra.finestra("RegistroOperazioni"));
        auto colonna = [f](int k) { return comune::testiColonna(f->griglia(), k); };
        // The last 30 days by default.
        QCOMPARE(colonna(3), (QStringList{"Compattazione", "Allarme tacitato", "Allarme tacitato"}));
        f->findChild<QComboBox*>("cboOperatore")->setCurrentText("Rossi");
        f->findChild<QLineEdit*>("txtDal")->clear();
        f->cerca();
        QCOMPARE(colonna(3), (QStringList{"Compattazione", "Allarme tacitato", "Ripulisci"}));
        f->findChild<QComboBox*>("cboAzione")->setCurrentText("Allarme tacitato");
        f->cerca();
        QCOMPARE(colonna(1), QStringList{"Rossi"});
    }
};

QTEST_MAIN(TestOperatore)
#include "tst_operatore.moc"
