// One simulated week of console life: ten units on the simulated handset,
// the four ten-minute jobs of the tick run at their seconds of every tenth
// minute on a virtual clock, and every event the week must produce checked,
// each exactly once.

#include "interrogation/Interrogazione.h"
#include "interrogation/Sorveglianza.h"
#include "interrogation/interrogazione_aiuto.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace sorvela;

namespace {
QDateTime il(int giorno, int ora, int minuto, int secondo = 0)
{
    return QDateTime(QDate(2026, 3, giorno), QTime(ora, minuto, secondo));
}
QString numero(const QString& codice)
{
    return "+39335" + codice;
}
} // namespace

class TestSettimana : public QObject {
    Q_OBJECT
private slots:
    void unaSettimanaDiDieciUnita()
    {
        prova::BancoChiamate b;
        // Answering units with periods of 24, 12, 48, 8 (never called yet)
        // and 24 hours (due just before midnight).
        b.utente("000001", numero("000001"), true, 24, il(1, 10, 3));
        b.utente("000002", numero("000002"), true, 12, il(1, 20, 0));
        b.utente("000003", numero("000003"), true, 48, il(1, 15, 0));
        b.utente("000004", numero("000004"), true, 8, QVariant());
        b.utente("000005", numero("000005"), true, 24, il(1, 23, 58));
        // Silent.
        b.utente("000006", numero("000006"), true, 24, il(1, 9, 0));
        // Answering, its card expires on Wednesday.
        b.utente("000007", numero("000007"), true, 24, il(1, 14, 0), QDate(2026, 3, 4));
        // Not monitored, its long-expired card already signalled.
        b.utente("000008", numero("000008"), false, 24, il(1, 0, 0), QDate(2025, 12, 31), true);
        // No automatic test, its card expired last week.
        b.utente("000009", numero("000009"), true, 0, QVariant(), QDate(2026, 2, 27));
        // Not monitored, interrogated once by the operator.
        b.utente("000010", numero("000010"), false, 6, il(1, 0, 0));
        const QStringList rispondono{"000001", "000002", "000003", "000004", "000005", "000007", "000010"};

        QElapsedTimer cronometro;
        cronometro.start();
        bool manuale = false;
        for (QDateTime t = il(2, 0, 0); t < il(9, 0, 0); t = t.addSecs(600)) {
            // The handset stamps a message with the real time, and a week
            // passes in seconds here: a unit's reports of one real second
            // would carry the same stamp and text, which is how a message
            // read twice looks. A report that names its hour is one of its own.
            if (t.time().minute() == 0) {
                for (const QString& c : rispondono)
                    b.unita(numero(c), prova::Rapporto + " ora " + t.toString("ddHH"));
            }
            if (!manuale && t > il(4, 11, 3)) {
                b.orologio.imposta(il(4, 11, 3));
                QVERIFY(InterrogaAdesso(b.ctx, "000010"));
                manuale = true;
            }
            b.orologio.imposta(t.addSecs(5));
            b.leggiMessaggi();
            b.orologio.imposta(t.addSecs(10));
            ControllaInterrogazioni(b.ctx);
            b.orologio.imposta(t.addSecs(15));
            InterrogaPeriferiche(b.ctx);
            b.orologio.imposta(t.addSecs(20));
            ControllaScadenzeSim(b.ctx);
        }
        qInfo("simulated week: %lld ms", cronometro.elapsed());

        QStringList attesi;
        auto atteso = [&](const QString& codice, const QDateTime& quando, const QString& tipo, const QString& descrizione) {
            attesi << quando.toString("yyyy-MM-dd HH:mm:ss") + " " + codice + " " + tipo + " " + descrizione;
        };
        // An accepted call and, at the next retrieval, the unit's report.
        auto chiamata = [&](const QString& codice, const QDateTime& quando) {
            atteso(codice, quando, "Test", "Interrogazione automatica della periferica");
            atteso(codice, quando.addSecs(590), "Test", "Stato regolare");
        };
        for (int g = 2; g <= 8; ++g) {
            chiamata("000001", il(g, 10, 0, 15));
            chiamata("000002", il(g, 8, 0, 15));
            chiamata("000002", il(g, 20, 0, 15));
            for (int ora : {0, 8, 16})
                chiamata("000004", il(g, ora, 0, 15));
            if (g >= 3)
                chiamata("000005", il(g, 0, 0, 15));
            chiamata("000007", il(g, 14, 0, 15));
            // The silent unit: called, called again twice, reported 40 minutes on.
            atteso("000006", il(g, 9, 0, 15), "Test", "Interrogazione automatica della periferica");
            atteso("000006", il(g, 9, 40, 10), "Allarme", "Mancata risposta della periferica 000006");
        }
        for (int g : {3, 5, 7})
            chiamata("000003", il(g, 15, 0, 15));
        atteso("000009", il(2, 0, 0, 20), "Allarme", "Scadenza SIM");
        atteso("000007", il(5, 0, 0, 20), "Allarme", "Scadenza SIM");
        atteso("000010", il(4, 11, 3), "Test", "Interrogazione manuale della periferica");
        atteso("000010", il(4, 11, 10, 5), "Test", "Stato regolare");

        QStringList avuti = b.righe("SELECT [Data e ora] || ' ' || [Codice periferica] || ' ' || [Tipo evento] || ' ' || "
                                    "[Descrizione evento] FROM ArchivioEventi");
        attesi.sort();
        avuti.sort();
        QCOMPARE(avuti, attesi);

        QCOMPARE(b.ctx.db->valore("SELECT [Testo messaggio] FROM ArchivioEventi WHERE [Codice periferica] = '000006' "
                                  "AND [Tipo evento] = 'Allarme' ORDER BY ID DESC")
                     .toString(),
                 "Mancata risposta della periferica 000006 all'interrogazione inviata il 08/03/2026 alle ore 09.00.15");
        QCOMPARE(b.conta("SELECT count(*) FROM InterrogazioniPendenti"), 0);
        QCOMPARE(b.conta("SELECT count(*) FROM DatiUtente WHERE [Scadenza segnalata]"), 3);
        QCOMPARE(b.msg.testi(), QStringList());
        QVERIFY2(cronometro.elapsed() < 60000, "a simulated week must take seconds");
    }
};

QTEST_MAIN(TestSettimana)
#include "tst_settimana.moc"
