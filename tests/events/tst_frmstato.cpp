// The status report window as the operator sees it, on real widgets.

#include "eventi_aiuto.h"

#include "events/Registrazione.h"
#include "events/frmStato.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace sorvela;
using namespace sorvela::prova;

class TestFrmStato : public QObject {
    Q_OBJECT

    frmStato* mostra(Console& con, const QString& testo, const QString& codice = QStringLiteral("000101"))
    {
        MostraStato(con.ctx, codice, QStringLiteral("+393351234567"), testo + QString(3, QChar(0)));
        return FinestraStato();
    }

private slots:
    void cleanup()
    {
        delete FinestraStato();
    }

    void unAllarmeNonApreLaFinestra_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::newRow("alarm text") << QStringLiteral("ALLARME INGRESSO 3");
        QTest::newRow("credit N/D alone") << QStringLiteral("credito: N/D; rete TIM;");
        QTest::newRow("signal out of its scale alone") << QStringLiteral("segnale 9/5");
    }

    void unAllarmeNonApreLaFinestra()
    {
        QFETCH(QString, testo);
        Console con;
        QVERIFY(!mostra(con, testo));
    }

    void intestazione()
    {
        Console con;
        con.aggiungiUtente(QStringLiteral("000101"), QStringLiteral("3351234567"), QStringLiteral("Ferramenta Rossi"));
        con.orologio.imposta(QDateTime(QDate(2026, 3, 2), QTime(9, 5, 7)));

        frmStato* f = mostra(con, QStringLiteral("credito: 10 euro;"));
        QVERIFY(f);
        QVERIFY(f->isVisible());
        QVERIFY(f->isWindow());
        QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(f->windowTitle(), QStringLiteral("Messaggio ricevuto"));
        QCOMPARE(f->labelCodice()->text().split(u'\n'),
                 (QStringList{QStringLiteral("Periferica 000101"),
                              QStringLiteral("Messaggio ricevuto il 02/03/2026 alle ore 09.05.07"),
                              QStringLiteral("Numero GSM fonia: +393351234567"),
                              QStringLiteral("Utente: Ferramenta Rossi; ;")}));
        QCOMPARE(f->labelCredito()->text(), QStringLiteral("Credito:  10 euro"));
        QCOMPARE(f->cellaBatteria(), 6);
        QCOMPARE(f->cellaAntenna(), 6);

        // An unknown sender is still shown, with nobody's name.
        f = mostra(con, QStringLiteral("credito: 10 euro;"), CodiceNessunUtente);
        QVERIFY(f->labelCodice()->text().endsWith(QStringLiteral("\nUtente: ")));
    }

    void celle_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<int>("batteria");
        QTest::addColumn<int>("antenna");
        QTest::newRow("battery 9, signal 0") << QStringLiteral("liv. batt. 9 segnale 0/5") << 0 << 0;
        QTest::newRow("battery 10, signal 1") << QStringLiteral("liv. batt. 10 segnale 1/5") << 1 << 1;
        QTest::newRow("battery 100, signal 5") << QStringLiteral("liv. batt. 100 segnale 5/5") << 5 << 5;
        QTest::newRow("battery 109") << QStringLiteral("liv. batt. 109") << 5 << 6;
        QTest::newRow("battery missing") << QStringLiteral("segnale 3/5") << 6 << 3;
        QTest::newRow("battery below the strip") << QStringLiteral("liv. batt. -30 segnale 2/5") << 6 << 2;
        QTest::newRow("battery above the strip") << QStringLiteral("liv. batt. 130") << 6 << 6;
        QTest::newRow("signal negative") << QStringLiteral("liv. batt. 50 segnale -1/5") << 3 << 6;
    }

    void celle()
    {
        QFETCH(QString, testo);
        QFETCH(int, batteria);
        QFETCH(int, antenna);
        Console con;
        frmStato* f = mostra(con, testo);
        QVERIFY(f);
        QCOMPARE(f->cellaBatteria(), batteria);
        QCOMPARE(f->cellaAntenna(), antenna);
        QCOMPARE(f->imgBattery()->pixmap().toImage(), CellaPclipBattery(batteria).toImage());
        QCOMPARE(f->imgAntenna()->pixmap().toImage(), CellaPclipAntenna(antenna).toImage());
    }

    void ogniCellaSiDistingue()
    {
        for (int a = 0; a < 7; ++a)
            for (int b = a + 1; b < 7; ++b) {
                QVERIFY2(CellaPclipBattery(a).toImage() != CellaPclipBattery(b).toImage(), qPrintable(QString::number(a)));
                QVERIFY2(CellaPclipAntenna(a).toImage() != CellaPclipAntenna(b).toImage(), qPrintable(QString::number(a)));
            }
    }

    void credito_data()
    {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("riga");
        QTest::addColumn<bool>("rosso");
        QTest::newRow("low credit") << QStringLiteral("credito: 1.20 euro;") << QStringLiteral("Credito:  1.20 euro") << true;
        QTest::newRow("2.5 is not low on screen") << QStringLiteral("credito: 2.5 euro;") << QStringLiteral("Credito:  2.5 euro") << false;
        QTest::newRow("ample credit") << QStringLiteral("credito: 10 EURO;") << QStringLiteral("Credito:  10 EURO") << false;
        QTest::newRow("not available") << QStringLiteral("credito: N/D; liv. batt. 80") << QStringLiteral("Credito non disponibile.") << false;
    }

    void credito()
    {
        QFETCH(QString, testo);
        QFETCH(QString, riga);
        QFETCH(bool, rosso);
        Console con;
        frmStato* f = mostra(con, QStringLiteral("credito: 1 euro;")); // start from a red line
        f = mostra(con, testo);
        QVERIFY(f);
        QCOMPARE(f->labelCredito()->text(), riga);
        QCOMPARE(f->labelCredito()->font().bold(), rosso);
        QCOMPARE(f->labelCredito()->palette().color(QPalette::WindowText), rosso ? QColor(255, 0, 0) : QColor(0, 0, 0));
    }

    void ogniRapportoSostituisceIlPrecedente()
    {
        Console con;
        frmStato* f = mostra(con, QStringLiteral("credito: 5 euro; rete TIM; sim 01/2027; liv. batt. 80 sw: V2.1."));
        QCOMPARE(f->labelSIM()->text(), QStringLiteral("SIM 01/2027"));
        QCOMPARE(f->labelRete()->text(), QStringLiteral("Rete TIM"));
        QCOMPARE(f->labelSW()->text(), QStringLiteral("Versione software telefono GSM:  V2"));

        frmStato* g = mostra(con, QStringLiteral("liv. batt. 50"));
        QCOMPARE(g, f);
        QCOMPARE(g->labelSIM()->text(), QString());
        QCOMPARE(g->labelRete()->text(), QString());
        QCOMPARE(g->labelSW()->text(), QString());
        QCOMPARE(g->labelCredito()->text(), QString());
        QCOMPARE(g->cellaBatteria(), 3);

        // "Chiudi" gets rid of the window; the next report makes a new one.
        QPointer<frmStato> chiusa = g;
        g->cmdChiudi()->click();
        QTRY_VERIFY(chiusa.isNull());
        QVERIFY(mostra(con, QStringLiteral("liv. batt. 50")));
    }
};

QTEST_MAIN(TestFrmStato)
#include "tst_frmstato.moc"
