// The subscriber window driven as the operator drives it: keys and clicks on
// a real window over a real database file, with scripted message boxes.

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "registry/AnagraficaUtenti.h"
#include "store/Database.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace sorvela;

namespace {

const QString NotaLunga = QStringLiteral("Nota d'accesso: chiavi dal portiere, cancello blu!!");  // 50

// As keyClicks, also for the accented letters of an Italian keyboard.
void tasti(QWidget* w, const QString& testo)
{
    for (const QChar c : testo) {
        if (c.unicode() < 128)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
    }
}

class Banco {
public:
    Banco()
    {
        const QString file = dir.filePath(QStringLiteral("Sorvela.db"));
        store::Database::crea(file, false);
        db = store::Database::apri(file);
        pref = std::make_unique<Preferenze>(dir.filePath(QStringLiteral("Sorvela.ini")));
        ctx.db = db.get();
        ctx.orologio = &orologio;
        ctx.messaggi = &msg;
        ctx.preferenze = pref.get();
        db->esegui(QStringLiteral("INSERT INTO TipoPeriferica (IDPeriferica, PerifericaTipo, Tabella) VALUES "
                                  "(1, 'Alfa GSM', 'Alfa'), (2, 'Beta Dialer', 'Beta')"));
        db->esegui(QStringLiteral(
            "INSERT INTO DatiUtente ([Codice periferica], Monitoraggio, [Tipo utente], [Ragione sociale], Nome, "
            "Modello, Periodo, Installatore, [Telefono installatore], [Scadenza carta], [Scadenza segnalata], "
            "[Telefono GSM fonia]) VALUES "
            "('000001', 1, 1, 'Ferramenta Rossi', 'Mario Rossi', 'Alfa GSM', 24, 'Impianti Sud', '0862 111', "
            "'2026-06-30', 1, '3331112223'),"
            "('000002', 0, 0, 'Resto di una ditta', 'Anna Bianchi', 'Beta Dialer', 12, 'Bianchi Srl', '06 222', "
            "NULL, 0, '3334445556')"));
        db->esegui(QStringLiteral("INSERT INTO Telefoni_Utenti VALUES ('000001', 'Figlio', '333', ''), "
                                  "('000001', 'Vicino', '334', 'sera'), ('000002', 'Portiere', '335', '')"));
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
    T* c(const char* nome) const
    {
        T* x = w->findChild<T*>(QString::fromUtf8(nome));
        if (!x)
            qFatal("no control %s", nome);
        return x;
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
    void premi(const char* nome) { QTest::mouseClick(c<QPushButton>(nome), Qt::LeftButton); }
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
    int righe(const QString& sql, const QVariantList& p = {}) { return db->valore(sql, p).toInt(); }

    QTemporaryDir dir;
    std::unique_ptr<store::Database> db;
    std::unique_ptr<Preferenze> pref;
    OrologioVirtuale orologio;
    MessaggiRegistrati msg;
    Contesto ctx;
    QMdiArea area;
    QMdiSubWindow* sub = nullptr;
    AnagraficaUtenti* w = nullptr;
};

} // namespace

class TestAnagrafica : public QObject {
    Q_OBJECT
private slots:
    void codiceDigitatoSiCompletaEApreUnNuovoUtente();
    void utenteNotoSiCaricaEIlPrivatoNonHaRagioneSociale();
    void salvataggioSenzaPeriferica();
    void scadenzaEUltimaInterrogazione();
    void tipoDigitatoDiventaNuovaPeriferica();
    void cambioCodiceConModifiche_data();
    void cambioCodiceConModifiche();
    void aggiornamentoDaFuoriNonPerdeLeModifiche();
    void cancellazioneTogliUtenteEContatti();
    void matricolaGiaAssegnata();
    void testiConApostrofiEAccenti();
    void copiaEIncollaConfigurazione();
    void erroreDatabaseLasciaTuttoComEra();
    void chiusuraSalvaGeometriaEBandiera();
};

void TestAnagrafica::codiceDigitatoSiCompletaEApreUnNuovoUtente()
{
    Banco b;
    QVERIFY(b.ctx.aperte.AnagraficaUtenti);
    // A pasted text that is not a code is emptied and keeps the tabs closed.
    b.c("Codice")->setText(QStringLiteral("12a"));
    b.esci("Codice");
    QCOMPARE(b.c("Codice")->text(), QString());
    QVERIFY(!b.c<QTabWidget>("SSTab1")->isEnabled());

    b.digita("Codice", QStringLiteral("4a2"));          // letters do not get in
    QCOMPARE(b.c("Codice")->text(), QStringLiteral("42"));
    b.esci("Codice");
    QCOMPARE(b.c("Codice")->text(), QStringLiteral("000042"));
    QVERIFY(b.c<QTabWidget>("SSTab1")->isEnabled());
    QCOMPARE(b.c("Matricola")->text(), QStringLiteral("000042"));
    QCOMPARE(b.c("Sopravvivenza")->text(), QStringLiteral("0"));
    QCOMPARE(b.c("Installata")->text(), QStringLiteral("02/03/2026"));
    QCOMPARE(b.c<QComboBox>("Periferiche")->currentText(), QString());
    QVERIFY(b.c<QRadioButton>("Monitoraggio_0")->isChecked() && b.c<QRadioButton>("Utenza1_0")->isChecked());

    // A new subscriber not yet saved: closing asks, and Cancel keeps it open.
    b.msg.rispondi(Risposta::Annulla);
    QVERIFY(!b.sub->close());
    QCOMPARE(b.msg.voci().last().testo, QStringLiteral("Sono state apportate delle modifiche, le si vuole salvare?"));
    QCOMPARE(b.msg.voci().last().titolo, QStringLiteral("Anagrafica Utente"));
    QVERIFY(b.ctx.aperte.AnagraficaUtenti);
}

void TestAnagrafica::utenteNotoSiCaricaEIlPrivatoNonHaRagioneSociale()
{
    Banco b;
    b.digita("Codice", QStringLiteral("1"));
    QTest::keyClick(b.c("Codice"), Qt::Key_Return);
    QCOMPARE(b.c("Codice")->text(), QStringLiteral("000001"));
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Mario Rossi"));
    QCOMPARE(b.c("RagSociale")->text(), QStringLiteral("Ferramenta Rossi"));
    QCOMPARE(b.c<QComboBox>("Periferiche")->currentIndex(), 1);
    QCOMPARE(b.c("Scadenza")->text(), QStringLiteral("30/06/2026"));
    QCOMPARE(b.c("Sopravvivenza")->text(), QStringLiteral("24"));
    QVERIFY(QApplication::focusWidget() == b.c("RagSociale"));
    QVERIFY(!b.w->modificato());

    b.mostraCodice(QStringLiteral("2"));
    QVERIFY(b.c<QRadioButton>("Utenza1_1")->isChecked());
    QVERIFY(b.c<QRadioButton>("Monitoraggio_1")->isChecked());
    QCOMPARE(b.c("RagSociale")->text(), QString());
    QVERIFY(!b.c("RagSociale")->isEnabled());
    QCOMPARE(b.c<QComboBox>("Periferiche")->currentIndex(), 2);
    QVERIFY(!b.w->modificato());
    QVERIFY(b.msg.voci().isEmpty());
}

void TestAnagrafica::salvataggioSenzaPeriferica()
{
    Banco b;
    b.mostraCodice(QStringLiteral("77"));
    b.digita("Nominativo", QStringLiteral("Ugo"));
    b.premi("Salva");
    QCOMPARE(b.msg.testi(), QStringList{QStringLiteral("Impossibile memorizzare, nessuna periferica impostata")});
    QCOMPARE(b.msg.voci().last().icona, Icona::Errore);
    QCOMPARE(b.righe(QStringLiteral("SELECT COUNT(*) FROM DatiUtente WHERE [Codice periferica] = '000077'")), 0);
    QVERIFY(b.w->modificato());
}

void TestAnagrafica::scadenzaEUltimaInterrogazione()
{
    Banco b;
    // Untouched expiry: the warning already given stays given.
    b.mostraCodice(QStringLiteral("1"));
    b.digita("Note", QStringLiteral("X"));
    b.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(11, 30, 0)));
    b.premi("Salva");
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Scadenza segnalata")).toBool(), true);
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Ultima interrogazione")).toDateTime(),
             QDateTime(QDate(2026, 3, 2), QTime(11, 30, 0)));
    QVERIFY(!b.w->modificato());

    // A new expiry date deserves a new warning.
    b.digita("Scadenza", QStringLiteral("31/12/2026"), true);
    b.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(12, 0, 0)));
    b.premi("Salva");
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Scadenza segnalata")).toBool(), false);
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Scadenza carta")).toDate(), QDate(2026, 12, 31));
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Ultima interrogazione")).toDateTime(),
             QDateTime(QDate(2026, 3, 2), QTime(12, 0, 0)));

    // A date that is not one: expiry Null, installation date left alone.
    b.db->esegui(QStringLiteral("UPDATE DatiUtente SET Installazione = '2020-05-04' WHERE [Codice periferica] = '000001'"));
    b.premi("Annulla");
    QCOMPARE(b.c("Installata")->text(), QStringLiteral("04/05/2020"));
    b.digita("Scadenza", QStringLiteral("31/02/2026"), true);
    b.digita("Installata", QStringLiteral("ieri"), true);
    b.premi("Salva");
    QVERIFY(b.campo(QStringLiteral("000001"), QStringLiteral("Scadenza carta")).isNull());
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Installazione")).toDate(), QDate(2020, 5, 4));
}

void TestAnagrafica::tipoDigitatoDiventaNuovaPeriferica()
{
    Banco b;
    b.mostraCodice(QStringLiteral("5"));
    auto* tipi = b.c<QComboBox>("Periferiche");
    QCOMPARE(tipi->count(), 3);
    // A type the catalog adds while the window is open takes position 3.
    b.db->esegui(QStringLiteral("INSERT INTO TipoPeriferica (IDPeriferica, PerifericaTipo) VALUES (3, 'Gamma')"));
    QTest::mouseClick(tipi->lineEdit(), Qt::LeftButton);
    tipi->lineEdit()->selectAll();
    QTest::keyClicks(tipi->lineEdit(), QStringLiteral("Centrale L'Aquila"));
    QVERIFY(b.w->modificato());
    b.premi("Salva");
    QVERIFY(b.msg.voci().isEmpty());
    QCOMPARE(b.campo(QStringLiteral("000005"), QStringLiteral("Modello")).toString(), QStringLiteral("Centrale L'Aquila"));
    QCOMPARE(b.righe(QStringLiteral("SELECT IDPeriferica FROM TipoPeriferica WHERE PerifericaTipo = ? "
                                    "AND DesPeriferica = '*' AND Tabella = '*' AND Protocollo = 0"),
                     {QStringLiteral("Centrale L'Aquila")}),
             4);
    // The list position names the same type as the table.
    QCOMPARE(tipi->count(), 5);
    QCOMPARE(tipi->itemText(3), QStringLiteral("Gamma"));
    QCOMPARE(b.w->posizioneTipo(), 4);
    QVERIFY(!b.w->modificato());

    // Saved again: no second row for the same name.
    b.digita("Note", QStringLiteral("Bis"));
    b.premi("Salva");
    QCOMPARE(b.righe(QStringLiteral("SELECT COUNT(*) FROM TipoPeriferica")), 4);
}

void TestAnagrafica::cambioCodiceConModifiche_data()
{
    QTest::addColumn<Risposta>("risposta");
    QTest::addColumn<QString>("salvato");     // Nome of 000001 afterwards
    QTest::addColumn<bool>("modificato");
    QTest::newRow("Annulla tiene le modifiche") << Risposta::Annulla << QStringLiteral("Mario Rossi") << true;
    QTest::newRow("Sì salva l'utente caricato") << Risposta::Si << QStringLiteral("Mario Rossi Jr") << false;
    QTest::newRow("No lascia il testo") << Risposta::No << QStringLiteral("Mario Rossi") << false;
}

void TestAnagrafica::cambioCodiceConModifiche()
{
    QFETCH(Risposta, risposta);
    QFETCH(QString, salvato);
    QFETCH(bool, modificato);
    Banco b;
    b.mostraCodice(QStringLiteral("1"));
    b.digita("Nominativo", QStringLiteral(" Jr"));
    QVERIFY(b.w->modificato());
    b.msg.rispondi(risposta);
    QTest::mouseClick(b.c("Codice"), Qt::LeftButton);
    QTest::keyClick(b.c("Codice"), Qt::Key_End);
    QTest::keyClick(b.c("Codice"), Qt::Key_Backspace);
    QCOMPARE(b.msg.testi(), QStringList{QStringLiteral("Sono state apportate delle modifiche, le si vuole salvare?")});
    QCOMPARE(b.c("Codice")->text(), QStringLiteral("000001"));
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Mario Rossi Jr"));
    QCOMPARE(b.w->modificato(), modificato);
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Nome")).toString(), salvato);
    // Leaving the field on the same code keeps the typing on screen.
    b.esci("Codice");
    QCOMPARE(b.c("Nominativo")->text(), modificato ? QStringLiteral("Mario Rossi Jr") : salvato);
}

void TestAnagrafica::aggiornamentoDaFuoriNonPerdeLeModifiche()
{
    Banco b;
    int storico = 0;
    b.w->ganci().ricaricaStorico = [&] { ++storico; };
    b.mostraCodice(QStringLiteral("1"));
    QCOMPARE(storico, 1);
    b.digita("Note", QStringLiteral("Allarme"));
    b.w->Carica();                      // the tick, new events arrived
    QCOMPARE(b.c("Note")->text(), QStringLiteral("Allarme"));
    QCOMPARE(storico, 2);

    // The queue asks to show another subscriber: the save question first.
    b.msg.rispondi(Risposta::Annulla);
    QVERIFY(!b.w->setCodice(QStringLiteral("000002")));
    QCOMPARE(b.w->codice(), QStringLiteral("000001"));
    b.msg.rispondi(Risposta::No);
    QVERIFY(b.w->setCodice(QStringLiteral("000002")));
    b.w->Carica();
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Anna Bianchi"));
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Note")).toString(), QString());
}

void TestAnagrafica::cancellazioneTogliUtenteEContatti()
{
    Banco b;
    b.mostraCodice(QStringLiteral("1"));
    b.msg.rispondi(Risposta::No);
    b.premi("Cancella");
    QCOMPARE(b.msg.voci().last().testo, QStringLiteral("Cancellare l'utente 000001"));
    QCOMPARE(b.righe(QStringLiteral("SELECT COUNT(*) FROM DatiUtente")), 2);

    b.msg.rispondi(Risposta::Si);
    b.premi("Cancella");
    QCOMPARE(b.righe(QStringLiteral("SELECT COUNT(*) FROM DatiUtente WHERE [Codice periferica] = '000001'")), 0);
    QCOMPARE(b.righe(QStringLiteral("SELECT COUNT(*) FROM Telefoni_Utenti WHERE CodPer = '000001'")), 0);
    QCOMPARE(b.righe(QStringLiteral("SELECT COUNT(*) FROM Telefoni_Utenti WHERE CodPer = '000002'")), 1);
    QCOMPARE(b.c("Codice")->text(), QString());
    QCOMPARE(b.c("Nominativo")->text(), QString());
    QCOMPARE(b.c("RagSociale")->text(), QString());
    QCOMPARE(b.c("Matricola")->text(), QString());
    QCOMPARE(b.c<QComboBox>("Periferiche")->currentText(), QString());
    QVERIFY(!b.w->modificato());
    QVERIFY(b.sub->close());                // nothing left to ask about
}

void TestAnagrafica::matricolaGiaAssegnata()
{
    Banco b;
    b.db->esegui(QStringLiteral("INSERT INTO Matricole VALUES ('000777', '000002'), ('000888', '000001'), "
                                "('000888', '000003'), ('000999', '000001')"));
    b.mostraCodice(QStringLiteral("1"));
    b.digita("Matricola", QStringLiteral("777"), true);
    b.esci("Matricola");
    QCOMPARE(b.c("Matricola")->text(), QStringLiteral("000777"));
    b.digita("Matricola", QStringLiteral("888"), true);
    b.esci("Matricola");
    b.digita("Matricola", QStringLiteral("999"), true);
    b.esci("Matricola");
    QCOMPARE(b.msg.testi(), (QStringList{QStringLiteral("Matricola già inserita al codice 000002"),
                                         QStringLiteral("Impossibile memorizzare, matricola già inserita al codice 000003")}));
    QCOMPARE(b.msg.voci().first().titolo, QStringLiteral("Anagrafica Utente"));
}

void TestAnagrafica::testiConApostrofiEAccenti()
{
    Banco b;
    b.mostraCodice(QStringLiteral("31"));
    const QList<std::pair<const char*, QString>> testi{
        {"RagSociale", QStringLiteral("Bar dell'Università")},
        {"Nominativo", QStringLiteral("Dell'Acqua Niccolò")},
        {"Indirizzo", QStringLiteral("Via dell'Aquila 3")},
        {"Città", QStringLiteral("L'Aquila")},
        {"Provincia", QStringLiteral("AQ")},
        {"Cap", QStringLiteral("67100")},
        {"Note", NotaLunga},
        {"PSTN", QStringLiteral("0862 4'5")},
        {"GSMFonia", QStringLiteral("+393331234567")},
        {"GSMDati", QStringLiteral("333 è")},
        {"Installatore", QStringLiteral("Sicurezza d'Abruzzo")},
        {"TelInstallatore", QStringLiteral("0862'1")},
    };
    for (const auto& [nome, testo] : testi)
        b.digita(nome, testo);
    b.c<QComboBox>("Periferiche")->setCurrentIndex(2);
    b.premi("Salva");
    QVERIFY(b.msg.voci().isEmpty());
    QCOMPARE(b.campo(QStringLiteral("000031"), QStringLiteral("Città")).toString(), QStringLiteral("L'Aquila"));

    // Found again by its code in a fresh window.
    b.msg.rispondi(Risposta::No);
    QVERIFY(b.sub->close());
    b.apri();
    b.mostraCodice(QStringLiteral("31"));
    for (const auto& [nome, testo] : testi)
        QCOMPARE(b.c(nome)->text(), testo);

    // The key rules: a capital initial, a province in capitals.
    b.digita("Nominativo", QStringLiteral("àlvaro"), true);
    b.digita("Provincia", QStringLiteral("rm"), true);
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Àlvaro"));
    QCOMPARE(b.c("Provincia")->text(), QStringLiteral("RM"));
}

void TestAnagrafica::copiaEIncollaConfigurazione()
{
    Banco b;
    b.mostraCodice(QStringLiteral("1"));
    b.premi("Incolla");                     // nothing copied: nothing happens
    b.premi("Duplica");
    QCOMPARE(b.msg.testi(),
             QStringList{QStringLiteral("Si sta copiando negli appunti la configurazione dell'utente 000001")});
    b.premi("Incolla");                     // onto itself: nothing happens
    QCOMPARE(b.msg.voci().size(), 1);

    // Changed and saved after copying: the stored period is what is pasted.
    b.digita("Sopravvivenza", QStringLiteral("48"), true);
    b.premi("Salva");

    b.mostraCodice(QStringLiteral("2"));
    bool visualTutto = true;
    b.w->ganci().VisualTutto = [&](bool v) { visualTutto = v; };
    b.msg.svuota();
    b.msg.rispondi(Risposta::Si);
    b.premi("Incolla");
    QCOMPARE(b.msg.testi(),
             QStringList{QStringLiteral("Si sta incollando dagli appunti la configurazione dell'utente 000001")});
    QCOMPARE(b.c<QComboBox>("Periferiche")->currentText(), QStringLiteral("Alfa GSM"));
    QCOMPARE(b.c("Sopravvivenza")->text(), QStringLiteral("48"));
    QCOMPARE(b.c("Installatore")->text(), QStringLiteral("Impianti Sud"));
    QCOMPARE(b.c("TelInstallatore")->text(), QStringLiteral("0862 111"));
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Anna Bianchi"));
    QCOMPARE(b.c("GSMFonia")->text(), QStringLiteral("3334445556"));
    QVERIFY(b.c<QRadioButton>("Utenza1_1")->isChecked());
    QVERIFY(!visualTutto);
    QVERIFY(b.w->modificato());
    QCOMPARE(b.campo(QStringLiteral("000002"), QStringLiteral("Modello")).toString(), QStringLiteral("Beta Dialer"));

    // The source deleted meanwhile.
    b.premi("Annulla");
    b.db->esegui(QStringLiteral("DELETE FROM DatiUtente WHERE [Codice periferica] = '000001'"));
    b.msg.svuota();
    b.msg.rispondi(Risposta::Si);
    b.premi("Incolla");
    QCOMPARE(b.msg.voci().last().testo,
             QStringLiteral("Impossibile memorizzare, il Codice 000001 non risulta essere memorizzato"));
    QCOMPARE(b.msg.voci().last().titolo, QStringLiteral("Anagrafica utente"));
    QCOMPARE(b.c("Installatore")->text(), QStringLiteral("Bianchi Srl"));
    QVERIFY(!b.w->modificato());
}

void TestAnagrafica::erroreDatabaseLasciaTuttoComEra()
{
    Banco b;
    b.db->esegui(QStringLiteral("CREATE TRIGGER guasto_tipo BEFORE INSERT ON TipoPeriferica "
                                "BEGIN SELECT RAISE(ABORT, 'disco pieno'); END"));
    b.db->esegui(QStringLiteral("CREATE TRIGGER guasto_contatti BEFORE DELETE ON Telefoni_Utenti "
                                "BEGIN SELECT RAISE(ABORT, 'disco pieno'); END"));
    b.mostraCodice(QStringLiteral("1"));
    b.digita("Nominativo", QStringLiteral("Maria Neri"), true);
    b.c<QComboBox>("Periferiche")->setEditText(QStringLiteral("Nuova"));
    b.premi("Salva");
    QCOMPARE(b.msg.voci().size(), 1);
    QVERIFY(b.msg.voci().first().testo.startsWith(QStringLiteral("Impossibile memorizzare l'utente 000001.")));
    QCOMPARE(b.campo(QStringLiteral("000001"), QStringLiteral("Nome")).toString(), QStringLiteral("Mario Rossi"));
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Maria Neri"));
    QVERIFY(b.w->modificato());
    QVERIFY(!b.db->inTransazione());

    // Closing with a save that fails keeps the window and the typing.
    b.msg.rispondi(Risposta::Si);
    QVERIFY(!b.sub->close());
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Maria Neri"));

    b.msg.svuota();
    b.msg.rispondi(Risposta::Si);
    b.premi("Cancella");
    QVERIFY(b.msg.voci().last().testo.startsWith(QStringLiteral("Impossibile cancellare l'utente 000001.")));
    QCOMPARE(b.righe(QStringLiteral("SELECT COUNT(*) FROM DatiUtente WHERE [Codice periferica] = '000001'")), 1);
    QCOMPARE(b.c("Codice")->text(), QStringLiteral("000001"));
    QCOMPARE(b.c("Nominativo")->text(), QStringLiteral("Maria Neri"));
}

void TestAnagrafica::chiusuraSalvaGeometriaEBandiera()
{
    Banco b;
    QString contatti;
    QObject::connect(b.w, &AnagraficaUtenti::apriContatti, [&](const QString& c) { contatti = c; });
    b.mostraCodice(QStringLiteral("2"));
    b.premi("SSCommand1");
    QCOMPARE(contatti, QStringLiteral("000002"));

    // The period's arrows: up adds an hour, down never goes below 0.
    auto* passo = b.c<QScrollBar>("VScroll2");
    passo->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(b.c("Sopravvivenza")->text(), QStringLiteral("13"));
    b.c("Sopravvivenza")->setText(QStringLiteral("0"));
    passo->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(b.c("Sopravvivenza")->text(), QStringLiteral("0"));
    QCOMPARE(passo->value(), 0);

    b.msg.rispondi(Risposta::No);
    b.sub->resize(700, 400);
    b.premi("Esci");
    QVERIFY(!b.ctx.aperte.AnagraficaUtenti);
    QVERIFY(!b.pref->geometria(QStringLiteral("Anagraficautenti")).WiPos.isEmpty());
    QCOMPARE(b.campo(QStringLiteral("000002"), QStringLiteral("Periodo")).toInt(), 12);

    // Reopened at once: the old window, deleted later, leaves the new flag alone.
    b.apri();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(b.ctx.aperte.AnagraficaUtenti);
}

QTEST_MAIN(TestAnagrafica)
#include "tst_anagrafica.moc"
