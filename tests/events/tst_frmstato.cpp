// The status report window as the operator sees it, on real widgets.

#include "eventi_aiuto.h"

#include "events/frmStato.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace sorvela;

class TestFrmStato : public QObject {
    Q_OBJECT
    prova::Console con;

    frmStato* mostra(const QString& testo, const QString& codice = QStringLiteral("000101"))
    {
        MostraStato(con.ctx, codice, QStringLiteral("+393351234567"), testo + QString(3, QChar(0)));
        return FinestraStato();
    }

private slots:
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
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("3351234567"), QStringLiteral("Ferramenta Rossi"));
        con.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(9, 5, 7)));
        frmStato* f = mostra(QStringLiteral("credito: 5 euro; rete TIM; sim 01/2027; sw: V2.1."));
        QVERIFY(f->isVisible() && f->isWindow() && (f->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(f->windowTitle(), QStringLiteral("Messaggio ricevuto"));
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

QTEST_MAIN(TestFrmStato)
#include "tst_frmstato.moc"
