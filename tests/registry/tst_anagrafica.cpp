// The subscriber window driven as the operator drives it: keys and clicks on
// a real window over a real database file, with scripted message boxes.

#include "comune/Banco.h"
#include "platform/Twips.h"
#include "registry/AnagraficaUtenti.h"
#include "windows/Cornice.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QHeaderView>
#include <QTableWidget>

using namespace sorvela;
using comune::tasti;

namespace {

const QString SalvaModifiche = QStringLiteral("Sono state apportate delle modifiche, le si vuole salvare?");

// Two subscribers, a company (000001, with two contacts) and a private one
// (000002, whose company name is a leftover that must not show), of two types.
struct Banco : comune::Banco {
    QMdiArea area;
    QMdiSubWindow* sub = nullptr;
    AnagraficaUtenti* w = nullptr;

    Banco()
    {
        db->esegui("INSERT INTO TipoPeriferica (IDPeriferica, PerifericaTipo, Tabella) VALUES "
                   "(1, 'Alfa GSM', 'Alfa'), (2, 'Beta Dialer', 'Beta')");
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], Monitoraggio, [Tipo utente], [Ragione sociale], Nome, "
                   "Modello, Periodo, Installatore, [Telefono installatore], [Scadenza carta], [Scadenza segnalata], "
                   "[Telefono GSM fonia]) VALUES "
                   "('000001', TRUE, TRUE, 'Ferramenta Rossi', 'Mario Rossi', 'Alfa GSM', 24, 'Impianti Sud', '0862 111', "
                   "'2026-06-30', TRUE, '3331112223'),"
                   "('000002', FALSE, FALSE, 'Resto di una ditta', 'Anna Bianchi', 'Beta Dialer', 12, 'Bianchi Srl', "
                   "'06 222', NULL, FALSE, '3334445556')");
        db->esegui("INSERT INTO Telefoni_Utenti VALUES ('000001', 'Figlio', '333', ''), "
                   "('000001', 'Vicino', '334', 'sera'), ('000002', 'Portiere', '335', '')");
        apri();
    }

    void apri()
    {
        w = new AnagraficaUtenti(ctx);
        sub = area.addSubWindow(w);
        area.show();
        w->avvia();
        QVERIFY(QTest::qWaitForWindowActive(&area));
    }

    template <class T = QLineEdit>
    T* c(const char* nome) const { return comune::controllo<T>(w, nome); }
    QString testo(const char* nome) const { return c(nome)->text(); }
    QStringList testi(std::initializer_list<const char*> nomi) const
    {
        QStringList t;
        for (const char* n : nomi)
            t << testo(n);
        return t;
    }

    // Into the field with the mouse, then the keys.
    void digita(const char* nome, const QString& testo, bool svuota = false)
    {
        QLineEdit* e = c(nome);
        QTest::mouseClick(e, Qt::LeftButton);
        if (svuota)
            e->selectAll();
        else
            QTest::keyClick(e, Qt::Key_End);
        tasti(e, testo);
    }
    void esci(const char* nome) { QTest::keyClick(c(nome), Qt::Key_Tab); }
    void premi(const char* nome) { comune::premi(w, nome); }
    void mostraCodice(const QString& codice)
    {
        digita("Codice", codice, true);
        esci("Codice");
    }
    QVariant campo(const QString& codice, const QString& nome)
    {
        return db->valore(QStringLiteral("SELECT [%1] FROM DatiUtente WHERE [Codice periferica] = ?").arg(nome),
                          {codice});
    }
};

} // namespace

class TestAnagrafica : public QObject {
    Q_OBJECT
private slots:
    // Only digits get into the code, padded to six on leaving the field;
    // text typed before a code does not hold the code back, and an empty
    // code from outside empties the record.
    void codiceSoloCifreCompletatoEVuotoDaFuori()
    {
        Banco b;
        QVERIFY(b.ctx.aperte.AnagraficaUtenti);
        // A pasted text that is not a code is emptied and keeps the tabs closed.
        b.c("Codice")->setText("12a");
        b.esci("Codice");
        QCOMPARE(b.testo("Codice"), "");
        QVERIFY(!b.c<QTabWidget>("SSTab1")->isEnabled());

        b.msg.rispondi(Risposta::Si);
        b.digita("Nominativo", "Ugo");
        b.digita("Codice", "a1");           // letters do not get in
        QCOMPARE(b.testo("Codice"), "1");
        QVERIFY(b.msg.voci().isEmpty());
        b.esci("Codice");
        QCOMPARE(b.testi({"Codice", "Nominativo"}), (QStringList{"000001", "Mario Rossi"}));
        QVERIFY(b.c<QTabWidget>("SSTab1")->isEnabled());
        QVERIFY(!b.w->modificato());

        // A queue row without a code.
        QVERIFY(b.w->setCodice(QString()));
        b.w->Carica();
        QCOMPARE(b.testi({"Codice", "Nominativo", "RagSociale", "GSMFonia", "Matricola"}), QStringList(5, ""));
        QCOMPARE(b.w->codiceCaricato(), "");
        QVERIFY(!b.c<QTabWidget>("SSTab1")->isEnabled());
        QVERIFY(!b.w->modificato());
        QVERIFY(b.sub->close());
    }

    void nuovoUtenteValoriPredefinitiDomandaETipoDigitato()
    {
        Banco b;
        b.mostraCodice("42");
        QCOMPARE(b.testi({"Codice", "Matricola", "Sopravvivenza", "Installata"}),
                 (QStringList{"000042", "000042", "0", "02/03/2026"}));
        QCOMPARE(b.c<QComboBox>("Periferiche")->currentText(), "");
        QVERIFY(b.c<QRadioButton>("Monitoraggio_0")->isChecked() && b.c<QRadioButton>("Utenza1_0")->isChecked());

        // A new subscriber not yet saved: closing asks, and Cancel keeps it open.
        b.msg.rispondi(Risposta::Annulla);
        QVERIFY(!b.sub->close());
        QCOMPARE(b.msg.voci().last().testo, SalvaModifiche);
        QCOMPARE(b.msg.voci().last().titolo, "Anagrafica Utente");
        QVERIFY(b.ctx.aperte.AnagraficaUtenti);

        // Saving without a type writes nothing.
        b.msg.svuota();
        b.digita("Nominativo", "Ugo");
        b.premi("Salva");
        QCOMPARE(b.msg.testi(), QStringList{"Impossibile memorizzare, nessuna periferica impostata"});
        QCOMPARE(b.msg.voci().last().icona, Icona::Errore);
        QCOMPARE(b.conta("SELECT COUNT(*) FROM DatiUtente WHERE [Codice periferica] = '000042'"), 0);
        QVERIFY(b.w->modificato());

        // A type typed in becomes a new type of its own.
        auto* tipi = b.c<QComboBox>("Periferiche");
        QCOMPARE(tipi->count(), 3);
        // A type the catalog adds while the window is open takes position 3.
        b.db->esegui("INSERT INTO TipoPeriferica (IDPeriferica, PerifericaTipo) VALUES (3, 'Gamma')");
        QTest::mouseClick(tipi->lineEdit(), Qt::LeftButton);
        tipi->lineEdit()->selectAll();
        QTest::keyClicks(tipi->lineEdit(), "Centrale L'Aquila");
        b.msg.svuota();
        b.premi("Salva");
        QVERIFY(b.msg.voci().isEmpty());
        QCOMPARE(b.campo("000042", "Modello").toString(), "Centrale L'Aquila");
        QCOMPARE(b.conta("SELECT IDPeriferica FROM TipoPeriferica WHERE PerifericaTipo = ? "
                         "AND DesPeriferica = '*' AND Tabella = '*' AND Protocollo = 0", {"Centrale L'Aquila"}), 4);
        // The list position names the same type as the table.
        QCOMPARE(tipi->count(), 5);
        QCOMPARE(tipi->itemText(3), "Gamma");
        QCOMPARE(b.w->posizioneTipo(), 4);
        QVERIFY(!b.w->modificato());

        // Saved again: no second row for the same name.
        b.digita("Note", "Bis");
        b.premi("Salva");
        QCOMPARE(b.conta("SELECT COUNT(*) FROM TipoPeriferica"), 4);
    }

    void campiLunghiQuantoLeColonneEMatricoleGiaAssegnate()
    {
        Banco b;
        const QString notaLunga = QString(70, QLatin1Char('n'));
        b.db->esegui("UPDATE DatiUtente SET Note = ? WHERE [Codice periferica] = '000001'", {notaLunga});
        b.mostraCodice("1");
        // A stored text longer than its column is shown and saved whole.
        QCOMPARE(b.testo("Note"), notaLunga);
        b.digita("Nominativo", QString(60, QLatin1Char('x')), true);
        b.digita("Provincia", "roma", true);
        b.digita("Cap", "6710099", true);
        b.digita("GSMFonia", "+39 333 1234567 8901234", true);
        b.premi("Salva");
        QCOMPARE(b.campo("000001", "Note").toString(), notaLunga);
        QCOMPARE(b.campo("000001", "Nome").toString().size(), 50);
        QCOMPARE(b.campo("000001", "Provincia").toString(), "RO");
        QCOMPARE(b.campo("000001", "Cap").toString(), "67100");
        QCOMPARE(b.campo("000001", "Telefono GSM fonia").toString(), "+39 333 1234567 8901");

        // A serial number already given to another subscriber.
        b.msg.svuota();
        b.db->esegui("INSERT INTO Matricole VALUES ('000777', '000002'), ('000888', '000001'), "
                     "('000888', '000003'), ('000999', '000001')");
        for (const char* matricola : {"777", "888", "999"}) {
            b.digita("Matricola", matricola, true);
            b.esci("Matricola");
        }
        QCOMPARE(b.testo("Matricola"), "000999");
        QCOMPARE(b.msg.testi(), (QStringList{"Matricola già inserita al codice 000002",
                                             "Impossibile memorizzare, matricola già inserita al codice 000003"}));
    }

    void utenteNotoSiCaricaEIlPrivatoNonHaRagioneSociale()
    {
        Banco b;
        b.digita("Codice", "1");
        QTest::keyClick(b.c("Codice"), Qt::Key_Return);
        QCOMPARE(b.testi({"Codice", "RagSociale", "Scadenza", "Sopravvivenza"}),
                 (QStringList{"000001", "Ferramenta Rossi", "30/06/2026", "24"}));
        QCOMPARE(b.c<QComboBox>("Periferiche")->currentIndex(), 1);
        QVERIFY(QApplication::focusWidget() == b.c("RagSociale"));
        QVERIFY(!b.w->modificato());

        b.mostraCodice("2");
        QVERIFY(b.c<QRadioButton>("Utenza1_1")->isChecked() && b.c<QRadioButton>("Monitoraggio_1")->isChecked());
        QCOMPARE(b.testo("RagSociale"), "");
        QVERIFY(!b.c("RagSociale")->isEnabled());
        QCOMPARE(b.c<QComboBox>("Periferiche")->currentIndex(), 2);
        QVERIFY(!b.w->modificato());
        QVERIFY(b.msg.voci().isEmpty());
    }

    void scadenzaEUltimaInterrogazione()
    {
        Banco b;
        const QDateTime unaEMezza(QDate(2026, 3, 2), QTime(11, 30)), mezzogiorno(QDate(2026, 3, 2), QTime(12, 0));
        // Untouched expiry: the warning already given stays given.
        b.mostraCodice("1");
        b.digita("Note", "X");
        b.orologio.imposta(unaEMezza);
        b.premi("Salva");
        QCOMPARE(b.campo("000001", "Scadenza segnalata").toBool(), true);
        QCOMPARE(b.campo("000001", "Ultima interrogazione").toDateTime(), unaEMezza);
        QVERIFY(!b.w->modificato());

        // A new expiry date deserves a new warning.
        b.digita("Scadenza", "31/12/2026", true);
        b.orologio.imposta(mezzogiorno);
        b.premi("Salva");
        QCOMPARE(b.campo("000001", "Scadenza segnalata").toBool(), false);
        QCOMPARE(b.campo("000001", "Scadenza carta").toDate(), QDate(2026, 12, 31));
        QCOMPARE(b.campo("000001", "Ultima interrogazione").toDateTime(), mezzogiorno);

        // A date that is not one: expiry Null, installation date left alone.
        b.db->esegui("UPDATE DatiUtente SET Installazione = '2020-05-04' WHERE [Codice periferica] = '000001'");
        b.premi("Annulla");
        QCOMPARE(b.testo("Installata"), "04/05/2020");
        b.digita("Scadenza", "31/02/2026", true);
        b.digita("Installata", "ieri", true);
        b.premi("Salva");
        QVERIFY(b.campo("000001", "Scadenza carta").isNull());
        QCOMPARE(b.campo("000001", "Installazione").toDate(), QDate(2020, 5, 4));
        // The fields show what was stored, not the refused texts.
        QCOMPARE(b.testi({"Scadenza", "Installata"}), (QStringList{"", "04/05/2020"}));
        QVERIFY(!b.w->modificato());
    }

    void cambioCodiceConModifiche_data()
    {
        QTest::addColumn<Risposta>("risposta");
        QTest::addColumn<QString>("salvato");     // Nome of 000001 afterwards
        QTest::addColumn<bool>("modificato");
        QTest::newRow("Annulla tiene le modifiche") << Risposta::Annulla << QStringLiteral("Mario Rossi") << true;
        QTest::newRow("Sì salva l'utente caricato") << Risposta::Si << QStringLiteral("Mario Rossi Jr") << false;
        QTest::newRow("No lascia il testo") << Risposta::No << QStringLiteral("Mario Rossi") << false;
    }

    void cambioCodiceConModifiche()
    {
        QFETCH(Risposta, risposta);
        QFETCH(QString, salvato);
        QFETCH(bool, modificato);
        Banco b;
        b.mostraCodice("1");
        b.digita("Nominativo", " Jr");
        b.msg.rispondi(risposta);
        QTest::mouseClick(b.c("Codice"), Qt::LeftButton);
        QTest::keyClick(b.c("Codice"), Qt::Key_End);
        QTest::keyClick(b.c("Codice"), Qt::Key_Backspace);
        QCOMPARE(b.msg.testi(), QStringList{SalvaModifiche});
        QCOMPARE(b.testi({"Codice", "Nominativo"}), (QStringList{"000001", "Mario Rossi Jr"}));
        QCOMPARE(b.w->modificato(), modificato);
        QCOMPARE(b.campo("000001", "Nome").toString(), salvato);
        // Leaving the field on the same code keeps the typing on screen.
        b.esci("Codice");
        QCOMPARE(b.testo("Nominativo"), modificato ? QStringLiteral("Mario Rossi Jr") : salvato);
    }

    void aggiornamentoDaFuoriNonPerdeLeModifiche()
    {
        Banco b;
        int storico = 0;
        b.w->ganci().ricaricaStorico = [&] { ++storico; };
        b.mostraCodice("1");
        QCOMPARE(storico, 1);
        b.digita("Note", "Allarme");
        b.w->Carica();                      // the tick, new events arrived
        QCOMPARE(b.testo("Note"), "Allarme");
        QCOMPARE(storico, 2);

        // The queue asks to show another subscriber: the save question first.
        b.msg.rispondi(Risposta::Annulla);
        QVERIFY(!b.w->setCodice("000002"));
        QCOMPARE(b.w->codice(), "000001");
        b.msg.rispondi(Risposta::No);
        QVERIFY(b.w->setCodice("000002"));
        b.w->Carica();
        QCOMPARE(b.testo("Nominativo"), "Anna Bianchi");
        QCOMPARE(b.campo("000001", "Note").toString(), "");
    }

    void cancellazioneTogliUtenteEContatti()
    {
        Banco b;
        b.mostraCodice("1");
        b.msg.rispondi(Risposta::No);
        b.premi("Cancella");
        QCOMPARE(b.msg.voci().last().testo, "Cancellare l'utente 000001");
        QCOMPARE(b.conta("SELECT COUNT(*) FROM DatiUtente"), 2);

        b.msg.rispondi(Risposta::Si);
        b.premi("Cancella");
        QCOMPARE(b.conta("SELECT COUNT(*) FROM DatiUtente WHERE [Codice periferica] = '000001'"), 0);
        QCOMPARE(comune::unite(*b.db, "SELECT CodPer FROM Telefoni_Utenti"), "000002");
        QCOMPARE(b.testi({"Codice", "Nominativo", "RagSociale", "Matricola"}), QStringList(4, ""));
        QCOMPARE(b.c<QComboBox>("Periferiche")->currentText(), "");
        QVERIFY(!b.w->modificato());
        QVERIFY(b.sub->close());                // nothing left to ask about
    }

    void testiConApostrofiEAccenti()
    {
        Banco b;
        b.mostraCodice("31");
        const QList<std::pair<const char*, QString>> testi{
            {"RagSociale", "Bar dell'Università"}, {"Nominativo", "Dell'Acqua Niccolò"},
            {"Indirizzo", "Via dell'Aquila 3"}, {"Città", "L'Aquila"}, {"Provincia", "AQ"}, {"Cap", "67100"},
            {"Note", "Nota d'accesso: chiavi dal portiere, cancello blu!"},  // 50 characters, the column's width
            {"PSTN", "0862 4'5"}, {"GSMFonia", "+393331234567"}, {"GSMDati", "333 è"},
            {"Installatore", "Sicurezza d'Abruzzo"}, {"TelInstallatore", "0862'1"},
        };
        for (const auto& [nome, testo] : testi)
            b.digita(nome, testo);
        b.c<QComboBox>("Periferiche")->setCurrentIndex(2);
        b.premi("Salva");
        QVERIFY(b.msg.voci().isEmpty());

        // Found again by its code in a fresh window.
        b.msg.rispondi(Risposta::No);
        QVERIFY(b.sub->close());
        b.apri();
        b.mostraCodice("31");
        for (const auto& [nome, testo] : testi)
            QCOMPARE(b.testo(nome), testo);

        // The key rules: a capital initial, a province in capitals.
        b.digita("Nominativo", "àlvaro", true);
        b.digita("Provincia", "rm", true);
        QCOMPARE(b.testo("Nominativo"), "Àlvaro");
        QCOMPARE(b.testo("Provincia"), "RM");
    }

    void copiaEIncollaConfigurazione()
    {
        Banco b;
        b.mostraCodice("1");
        b.premi("Incolla");                     // nothing copied: nothing happens
        b.premi("Duplica");
        QCOMPARE(b.msg.testi(), QStringList{"Si sta copiando negli appunti la configurazione dell'utente 000001"});
        b.premi("Incolla");                     // onto itself: nothing happens
        QCOMPARE(b.msg.voci().size(), 1);

        // Changed and saved after copying: the stored period is what is pasted.
        b.digita("Sopravvivenza", "48", true);
        b.premi("Salva");

        b.mostraCodice("2");
        bool visualTutto = true;
        b.w->ganci().VisualTutto = [&](bool v) { visualTutto = v; };
        b.msg.svuota();
        b.msg.rispondi(Risposta::Si);
        b.premi("Incolla");
        QCOMPARE(b.msg.testi(), QStringList{"Si sta incollando dagli appunti la configurazione dell'utente 000001"});
        QCOMPARE(b.c<QComboBox>("Periferiche")->currentText(), "Alfa GSM");
        QCOMPARE(b.testi({"Sopravvivenza", "Installatore", "TelInstallatore", "Nominativo", "GSMFonia"}),
                 (QStringList{"48", "Impianti Sud", "0862 111", "Anna Bianchi", "3334445556"}));
        QVERIFY(b.c<QRadioButton>("Utenza1_1")->isChecked());
        QVERIFY(!visualTutto);
        QVERIFY(b.w->modificato());
        QCOMPARE(b.campo("000002", "Modello").toString(), "Beta Dialer");

        // The source deleted meanwhile.
        b.premi("Annulla");
        b.db->esegui("DELETE FROM DatiUtente WHERE [Codice periferica] = '000001'");
        b.msg.svuota();
        b.msg.rispondi(Risposta::Si);
        b.premi("Incolla");
        QCOMPARE(b.msg.voci().last().testo, "Impossibile memorizzare, il Codice 000001 non risulta essere memorizzato");
        QCOMPARE(b.msg.voci().last().titolo, "Anagrafica utente");
        QCOMPARE(b.testo("Installatore"), "Bianchi Srl");
        QVERIFY(!b.w->modificato());
    }

    // A database error during save or delete keeps the stored record and the
    // operator's typing.
    void erroreDatabaseLasciaTuttoComEra()
    {
        Banco b;
        comune::guasto(*b.db, "guasto_tipo", "TipoPeriferica", "INSERT", "disco pieno");
        comune::guasto(*b.db, "guasto_contatti", "Telefoni_Utenti", "DELETE", "disco pieno");
        b.mostraCodice("1");
        b.digita("Nominativo", "Maria Neri", true);
        b.c<QComboBox>("Periferiche")->setEditText("Nuova");
        b.premi("Salva");
        QCOMPARE(b.msg.voci().size(), 1);
        QVERIFY(b.msg.voci().first().testo.startsWith("Impossibile memorizzare l'utente 000001."));
        QCOMPARE(b.campo("000001", "Nome").toString(), "Mario Rossi");
        QCOMPARE(b.testo("Nominativo"), "Maria Neri");
        QVERIFY(b.w->modificato());
        QVERIFY(!b.db->inTransazione());

        // Closing with a save that fails keeps the window and the typing.
        b.msg.rispondi(Risposta::Si);
        QVERIFY(!b.sub->close());
        QCOMPARE(b.testo("Nominativo"), "Maria Neri");

        b.msg.svuota();
        b.msg.rispondi(Risposta::Si);
        b.premi("Cancella");
        QVERIFY(b.msg.voci().last().testo.startsWith("Impossibile cancellare l'utente 000001."));
        QCOMPARE(b.conta("SELECT COUNT(*) FROM DatiUtente WHERE [Codice periferica] = '000001'"), 1);
        QCOMPARE(b.testi({"Codice", "Nominativo"}), (QStringList{"000001", "Maria Neri"}));
    }

    // The contacts button opens the code shown, none without one; the
    // period's arrows add and stop at zero; closing keeps the geometry.
    void contattiFrecceDelPeriodoEChiusura()
    {
        Banco b;
        QString contatti;
        QObject::connect(b.w, &AnagraficaUtenti::apriContatti, [&](const QString& c) { contatti = c; });
        b.premi("SSCommand1");
        QCOMPARE(contatti, "");
        b.mostraCodice("2");
        b.premi("SSCommand1");
        QCOMPARE(contatti, "000002");
        auto* passo = b.c<QScrollBar>("VScroll2");
        passo->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(b.testo("Sopravvivenza"), "13");
        b.c("Sopravvivenza")->setText("0");
        passo->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(b.testo("Sopravvivenza"), "0");
        QCOMPARE(passo->value(), 0);

        // "Esci" with changes not saved: the geometry kept, the flag down.
        b.digita("Note", "x");
        b.msg.rispondi(Risposta::No);
        b.sub->resize(700, 400);
        b.premi("Esci");
        QVERIFY(!b.ctx.aperte.AnagraficaUtenti);
        QVERIFY(!b.pref.geometria("Anagraficautenti").WiPos.isEmpty());
        QCOMPARE(b.campo("000002", "Note").toString(), "");

        // Reopened at once: the old window, deleted later, leaves the new flag alone.
        b.apri();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(b.ctx.aperte.AnagraficaUtenti);
    }

    // At its designed size, at 96 and at 120 DPI (the fonts grow with the
    // scale), the window is whole, its inputs grid shows six rows at least
    // and the type box every type's name uncut.
    void allaSuaMisuraInteraConSeiIngressiEITipiInteri()
    {
        const QFont prima = QApplication::font();
        for (double perPixel : {15.0, 12.0}) {   // 11460 x 8115 twips: 955 x 676.25 pixels at 120 DPI
            twips::imposta(perPixel, 1920 * perPixel, 1200 * perPixel);
            QFont f = prima;
            f.setPointSizeF(prima.pointSizeF() * 15 / perPixel);
            QApplication::setFont(f);
            comune::Banco demo(true);
            QMdiArea area;
            area.resize(1400, 900);
            auto* w = new AnagraficaUtenti(demo.ctx);
            area.addSubWindow(w);
            area.show();
            w->avvia();
            w->cornice()->ripristinaDimensione();
            QVERIFY(!w->cornice()->scorrimento());
            QVERIFY(!w->cornice()->barraOrizzontale()->isVisible() && !w->cornice()->barraVerticale()->isVisible());
            auto* griglia = w->findChild<QTableWidget*>("Ingressi");
            QVERIFY(griglia->viewport()->height() >= 6 * griglia->verticalHeader()->defaultSectionSize());
            auto* tipo = w->findChild<QComboBox*>("Periferiche");
            for (int i = 0; i < tipo->count(); ++i)
                QVERIFY2(tipo->lineEdit()->width() - 4 >= tipo->fontMetrics().horizontalAdvance(tipo->itemText(i)),
                         qPrintable(tipo->itemText(i)));
        }
        QApplication::setFont(prima);
        twips::ripristina();
    }
};

QTEST_MAIN(TestAnagrafica)
#include "tst_anagrafica.moc"
