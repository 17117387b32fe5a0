// Registering messages from units: who a message is pinned on, what the
// event holds, and that a database failure leaves nothing half written; and
// the status report window as the operator sees it, on real widgets.

#include "eventi_aiuto.h"

#include "events/frmStato.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace sorvela;
using prova::RispostaSms;

namespace {

const QString kRapporto = QStringLiteral("credito: 10 euro; rete TIM; sim 01/2027; liv. batt. 80 segnale 4/5");
const QString kMittente = QStringLiteral("+393351234567");

// A reply whose 12-digit sender address holds `indirizzo` verbatim, as line
// noise or a hostile unit could make it (the decoder swaps each pair).
QString RispostaConIndirizzo(QString indirizzo)
{
    QString r = RispostaSms(kMittente, QStringLiteral("ALLARME"));
    for (qsizetype i = 0; i + 1 < indirizzo.size(); i += 2)
        std::swap(indirizzo[i], indirizzo[i + 1]);
    return r.replace(r.indexOf(QStringLiteral("0C91")) + 4, 12, indirizzo);
}

} // namespace

class TestRegistrazione : public QObject {
    Q_OBJECT
    prova::Console stato; // the status window's, which outlives each test

    frmStato* mostra(const QString& testo, const QString& codice = QStringLiteral("000101"))
    {
        MostraStato(stato.ctx, codice, QStringLiteral("+393351234567"), testo + QString(3, QChar(0)));
        return FinestraStato();
    }

private slots:
    void mittenteAbbinato_data()
    {
        QTest::addColumn<QString>("risposta");
        QTest::addColumn<QStringList>("utenti"); // "code=number", "code=null" for a Null number
        QTest::addColumn<QString>("codice");
        const QString r = RispostaSms(kMittente, kRapporto);
        QTest::newRow("stored with +39") << r << QStringList{"000101=+393351234567"} << "000101";
        QTest::newRow("stored without +39") << r << QStringList{"000102=3351234567"} << "000102";
        QTest::newRow("shared number: older record") << r << QStringList{"000202=3351234567", "000201=+393351234567"} << "000202";
        QTest::newRow("empty number never matches") << RispostaSms(QStringLiteral("3351234567"), kRapporto)
                                                     << QStringList{"000301=", "000302=null"} << "000000";
        QTest::newRow("national sender, national number") << RispostaSms(QStringLiteral("3351234567"), kRapporto)
                                                          << QStringList{"000304=", "000305=3351234567"} << "000305";
        QTest::newRow("lines before the header") << "AT+CMGR=2\r\r\n+CMTI: \"SM\",3\r\n\r\nRING\r\n" + r
                                                 << QStringList{"000103=3351234567"} << "000103";
        QTest::newRow("unknown") << r << QStringList{"000401=3399999999"} << "000000";
        QTest::newRow("quote compared as written") << RispostaConIndirizzo(QStringLiteral("33'123456789"))
                                                   << QStringList{"000501=+33'123456789", "000502=3351234567"} << "000501";
        QTest::newRow("SQL in the sender is a number") << RispostaConIndirizzo(QStringLiteral("1' OR '1'='1"))
                                                       << QStringList{"000601=3351234567", "000602="} << "000000";
    }

    void mittenteAbbinato()
    {
        QFETCH(QString, risposta);
        QFETCH(QStringList, utenti);
        QFETCH(QString, codice);
        prova::Console con;
        for (const QString& u : utenti) {
            const QString n = u.section(u'=', 1);
            con.aggiungiUtente(u.section(u'=', 0, 0), n == u"null" ? QVariant() : QVariant(n));
        }
        const Registrazione r = RegistraMessaggio(con.ctx, risposta);
        QCOMPARE(r.codice, codice);
        QCOMPARE(r.esito, codice == CodiceNessunUtente ? EsitoRegistrazione::MittenteSconosciuto : EsitoRegistrazione::Registrato);
        // One event under that code, or a stranger's message kept apart.
        QCOMPARE(comune::unite(*con.db, "SELECT [Codice periferica] FROM ArchivioEventi"), codice == CodiceNessunUtente ? "" : codice);
        QCOMPARE(con.conta("SELECT count(*) FROM MessaggiNonAttribuiti"), codice == CodiceNessunUtente ? 1 : 0);
    }

    void accentiEMittentiSconosciutiUnaVolta()
    {
        prova::Console con;
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("3351234567"));
        con.orologio.imposta(QDateTime(QDate(2026, 7, 14), QTime(8, 15)));
        // As an Italian unit sends it: the GSM alphabet, escapes for "€" and
        // the brackets, "@" as septet 0 in the middle.
        const QString testo = QString::fromUtf8("Porta è aperta, già più di 5€ [ok] {x} ~^\\|_@$ città");
        for (const QString& mittente : {kMittente, QStringLiteral("+393399999999")}) {
            const QString risposta = pdu::RispostaCmgr(0, pdu::CodificaDeliver(mittente, pdu::SettettiGsm(testo),
                                                                                QDateTime(QDate(2026, 7, 14), QTime(8, 0))));
            const Registrazione r = RegistraMessaggio(con.ctx, risposta);
            QCOMPARE(r.esito, mittente == kMittente ? EsitoRegistrazione::Registrato : EsitoRegistrazione::MittenteSconosciuto);
            // Read again after a stop before its deletion: kept once only.
            QCOMPARE(RegistraMessaggio(con.ctx, risposta).esito, EsitoRegistrazione::Ripetuto);
        }
        QCOMPARE(con.db->valore("SELECT [Testo messaggio] FROM ArchivioEventi").toString(), testo);
        QCOMPARE(comune::unite(*con.db, "SELECT Mittente || '|' || [Data e ora] || '|' || [Testo messaggio] || '|' "
                                "|| [Tipo evento] || '|' || [Descrizione evento] FROM MessaggiNonAttribuiti"),
                 "+393399999999|2026-07-14 08:15:00|" + testo + "|Allarme|Scarso credito residuo;");
    }

    void eventoEInterrogazioni()
    {
        prova::Console con;
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("3351234567"));
        for (const char* codice : {"000101", "000101", "000999"})
            con.aggiungiPendente(QLatin1String(codice));
        con.orologio.imposta(QDateTime(QDate(2026, 7, 14), QTime(23, 59, 58)));

        RegistraMessaggio(con.ctx, RispostaSms(kMittente, kRapporto));
        RegistraMessaggio(con.ctx, RispostaSms(kMittente, QStringLiteral("credito: 10 euro;"))); // empty type

        store::RecordSet rs = con.db->apriRecordSet(QStringLiteral("SELECT * FROM ArchivioEventi ORDER BY ID"));
        QStringList campi;
        for (; !rs.eof(); rs.moveNext())
            for (const char* c : {"Codice periferica", "Data e ora", "Testo messaggio", "Archiviato", "Tipo evento", "Descrizione evento"})
                campi << rs.campo(QLatin1String(c)).toString();
        QCOMPARE(campi, (QStringList{"000101", "2026-07-14T23:59:58.000", kRapporto, "false", "Test", "Stato regolare",
                                     "000101", "2026-07-14T23:59:58.000", "credito: 10 euro;", "false", "", ""}));
        // Each message answered one interrogation of its unit, no other.
        QCOMPARE(comune::unite(*con.db, "SELECT [Codice periferica] FROM InterrogazioniPendenti"), "000999");
    }

    void erroreDelDatabaseNonLasciaNulla_data()
    {
        QTest::addColumn<QString>("guasto");
        QTest::newRow("read-only") << "sola lettura";
        QTest::newRow("second write fails") << "guasto";
        // Joining it would report the event as committed while its fate is
        // another routine's, and the handset would forget the message.
        QTest::newRow("another routine's transaction open") << "transazione";
    }

    void erroreDelDatabaseNonLasciaNulla()
    {
        QFETCH(QString, guasto);
        prova::Console con;
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("3351234567"));
        con.aggiungiPendente(QStringLiteral("000101"));
        if (guasto == "sola lettura")
            comune::solaLettura(*con.db, true);
        else if (guasto == "guasto")
            comune::guasto(*con.db, "g", "InterrogazioniPendenti", "DELETE", "guasto");
        else
            con.db->inizia();
        const Registrazione r = RegistraMessaggio(con.ctx, RispostaSms(kMittente, kRapporto));
        QVERIFY(r.esito == EsitoRegistrazione::Fallito && !r.definitiva() && !r.errore.isEmpty());
        QCOMPARE(con.db->inTransazione(), guasto == "transazione");
        con.db->annulla();
        QCOMPARE(con.conta("SELECT count(*) FROM ArchivioEventi"), 0);
        QCOMPARE(con.conta("SELECT count(*) FROM InterrogazioniPendenti"), 1);
    }

    void scadenzaSimNellaTransazioneDelChiamante()
    {
        prova::Console con;
        RegistraScadenzaSim(con.ctx, QStringLiteral("000777"));
        {
            store::Transazione t(*con.db); // not confirmed: the caller's failure undoes it
            RegistraScadenzaSim(con.ctx, QStringLiteral("000778"));
        }
        QCOMPARE(comune::unite(*con.db, "SELECT [Codice periferica] || '|' || [Testo messaggio] || '|' || [Tipo evento] "
                                "|| '|' || [Descrizione evento] || '|' || CAST(Archiviato AS INTEGER) FROM ArchivioEventi"),
                 "000777|Scadenza carta SIM|Allarme|Scadenza SIM|0");
    }

    void rapporto_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<int>("batteria"); // -1: no window
        QTest::addColumn<int>("antenna");
        QTest::addColumn<QString>("credito");
        QTest::addColumn<bool>("rosso");
        QTest::newRow("alarm text") << "ALLARME INGRESSO 3" << -1 << -1 << "" << false;
        QTest::newRow("N/D credit alone") << "credito: N/D; rete TIM;" << -1 << -1 << "" << false;
        QTest::newRow("credit only") << "credito: 10 euro;" << 6 << 6 << "Credito:  10 euro" << false;
        QTest::newRow("low credit") << "credito: 1.20 euro;" << 6 << 6 << "Credito:  1.20 euro" << true;
        QTest::newRow("2.5 is black") << "credito: 2.5 EURO;" << 6 << 6 << "Credito:  2.5 EURO" << false;
        QTest::newRow("N/D with battery") << "credito: N/D; liv. batt. 9" << 0 << 6 << "Credito non disponibile." << false;
        QTest::newRow("battery 10, signal 0") << "liv. batt. 10 segnale 0/5" << 1 << 0 << "" << true;
        QTest::newRow("battery 100, signal 5") << "liv. batt. 100 segnale 5/5" << 5 << 5 << "" << true;
        QTest::newRow("outside the strips") << "liv. batt. 130 segnale -1/5" << 6 << 6 << "" << true;
        QTest::newRow("below the strip") << "liv. batt. -30 segnale 3/5" << 6 << 3 << "" << true;
    }

    void rapporto()
    {
        QFETCH(QString, testo);
        QFETCH(int, batteria);
        QFETCH(int, antenna);
        QFETCH(QString, credito);
        QFETCH(bool, rosso);
        delete FinestraStato();
        frmStato* f = mostra(testo);
        QCOMPARE(f != nullptr, batteria >= 0);
        if (!f)
            return;
        QCOMPARE(f->cellaBatteria(), batteria);
        QCOMPARE(f->cellaAntenna(), antenna);
        QCOMPARE(f->imgBattery()->pixmap().toImage(), CellaPclipBattery(batteria).toImage());
        QCOMPARE(f->imgAntenna()->pixmap().toImage(), CellaPclipAntenna(antenna).toImage());
        QCOMPARE(f->labelCredito()->text(), credito);
        QCOMPARE(f->labelCredito()->font().bold(), rosso);
        QCOMPARE(f->labelCredito()->palette().color(QPalette::WindowText), rosso ? QColor(Qt::red) : QColor(Qt::black));
    }

    void ogniRapportoSostituisceIlPrecedente()
    {
        stato.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("3351234567"), QStringLiteral("Ferramenta Rossi"));
        stato.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(9, 5, 7)));
        frmStato* f = mostra(QStringLiteral("credito: 5 euro; rete TIM; sim 01/2027; sw: V2.1."));
        QVERIFY(f->isVisible() && f->isWindow() && (f->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(f->labelCodice()->text(), QStringLiteral("Periferica 000101\nMessaggio ricevuto il 02/03/2026 alle ore "
                                                          "09.05.07\nNumero GSM fonia: +393351234567\nUtente: Ferramenta Rossi; ;"));
        QCOMPARE(f->labelSIM()->text() + f->labelRete()->text() + f->labelSW()->text(),
                 QStringLiteral("SIM 01/2027Rete TIMVersione software telefono GSM:  V2"));

        QCOMPARE(mostra(QStringLiteral("liv. batt. 50"), CodiceNessunUtente), f);
        QCOMPARE(f->labelSIM()->text() + f->labelRete()->text() + f->labelSW()->text() + f->labelCredito()->text(), QString());
        QVERIFY(f->labelCodice()->text().endsWith(QStringLiteral("\nUtente: ")));

        QPointer<frmStato> chiusa = f;
        f->cmdChiudi()->click();
        QTRY_VERIFY(chiusa.isNull());
        QVERIFY(mostra(QStringLiteral("liv. batt. 50")));
    }

    void nonPrendeLaTastieraERiapreDoveEraStata()
    {
        delete FinestraStato();
        QWidget operatore;
        auto* campo = new QLineEdit(&operatore);
        operatore.show();
        QVERIFY(QTest::qWaitForWindowActive(&operatore));
        campo->setFocus();
        QTest::keyClicks(campo, "Dell'");
        frmStato* f = mostra("liv. batt. 50 segnale 3/5");
        QVERIFY(f && f->isVisible());
        QVERIFY(f->pos() != QPoint(0, 0));
        mostra("liv. batt. 60 segnale 4/5");
        QCOMPARE(QApplication::activeWindow(), &operatore);
        QTest::keyClicks(QApplication::focusWidget(), "Acqua");
        QCOMPARE(campo->text(), "Dell'Acqua");

        // Moved by the operator and closed: the next report opens there.
        f->move(300, 200);
        f->cmdChiudi()->click();
        QTRY_VERIFY(!FinestraStato());
        QCOMPARE(mostra("liv. batt. 70 segnale 2/5")->pos(), QPoint(300, 200));
    }
};

QTEST_MAIN(TestRegistrazione)
#include "tst_registrazione.moc"
