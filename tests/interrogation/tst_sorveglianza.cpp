// The polling and SIM-expiry passes over a real database, with the calls
// going through the real serial code to sorvela-sim.

#include "interrogation/Sorveglianza.h"
#include "interrogation/interrogazione_aiuto.h"

#include <QtTest>

using namespace sorvela;

namespace {

QDateTime il(int giorno, int ora, int minuto, int secondo = 0)
{
    return QDateTime(QDate(2026, 3, giorno), QTime(ora, minuto, secondo));
}

QString numero(const QString& codice)
{
    return QStringLiteral("+39335") + codice;
}

} // namespace

class TestSorveglianza : public QObject {
    Q_OBJECT
private slots:
    void interrogaSoloLeUnitaMonitorateGiunteAlTermine()
    {
        prova::BancoChiamate b;
        // Due 10:03, inside the 10:00 pass's margin.
        b.utente("000001", numero("000001"), true, 24, il(1, 10, 3));
        // Due 10:06: the 10:10 pass.
        b.utente("000002", numero("000002"), true, 24, il(1, 10, 6));
        // Never interrogated: due at once.
        b.utente("000003", numero("000003"), true, 12, QVariant());
        // Never, whatever the dates: not monitored, no period, a period that
        // rounds to no hours.
        b.utente("000004", numero("000004"), false, 24, il(1, 0, 0));
        b.utente("000005", numero("000005"), true, 0, QVariant());
        b.utente("000006", numero("000006"), true, 0.4, il(1, 0, 0));
        for (const char* c : {"000001", "000002", "000003"})
            b.unita(numero(c));

        b.orologio.imposta(il(2, 10, 0, 15));
        InterrogaPeriferiche(b.ctx);
        QCOMPARE(b.chiamati(), (QStringList{numero("000001"), numero("000003")}));
        QCOMPARE(b.descrizioni(), (QStringList{"Interrogazione automatica della periferica",
                                               "Interrogazione automatica della periferica"}));
        QCOMPARE(b.ctx.db->valore("SELECT [Ultima interrogazione] FROM DatiUtente WHERE [Codice periferica] = '000001'")
                     .toDateTime(),
                 il(2, 10, 0, 15));
        QCOMPARE(b.conta("SELECT count(*) FROM InterrogazioniPendenti"), 2);

        b.orologio.imposta(il(2, 10, 10, 15));
        InterrogaPeriferiche(b.ctx);
        QCOMPARE(b.chiamati(), QStringList{numero("000002")});

        b.orologio.imposta(il(2, 22, 0, 15));
        InterrogaPeriferiche(b.ctx);
        QCOMPARE(b.chiamati(), QStringList{numero("000003")}); // its 12 hours are up

        // A call the handset refuses leaves the unit due: it is called again
        // at every pass until one is accepted.
        b.sim.comando("dial error");
        b.orologio.imposta(il(3, 10, 0, 15));
        InterrogaPeriferiche(b.ctx);
        QCOMPARE(b.chiamati(), (QStringList{numero("000001"), numero("000003")}));
        b.orologio.imposta(il(3, 10, 10, 15));
        InterrogaPeriferiche(b.ctx);
        QCOMPARE(b.chiamati(), (QStringList{numero("000001"), numero("000002"), numero("000003")}));
        QCOMPARE(b.descrizioni().size(), 4);
        QCOMPARE(b.ctx.db->valore("SELECT [Ultima interrogazione] FROM DatiUtente WHERE [Codice periferica] = '000001'")
                     .toDateTime(),
                 il(2, 10, 0, 15));
    }

    void scadenzaSegnalataUnaVoltaDopoLaMezzanotte()
    {
        prova::BancoChiamate b;
        b.utente("000010", QVariant(), false, 0, QVariant(), QDate(2026, 3, 2));  // expires today
        b.utente("000011", QVariant(), false, 0, QVariant(), QDate(2026, 2, 20)); // expired, not yet told
        b.utente("000012", QVariant(), false, 0, QVariant(), QDate(2025, 1, 1), true); // already told
        b.utente("000013", QVariant(), false, 0, QVariant(), QVariant());          // no card date

        auto scadute = [&] {
            QStringList r;
            store::RecordSet rs = b.ctx.db->apriRecordSet(
                "SELECT [Codice periferica] FROM ArchivioEventi WHERE [Descrizione evento] = 'Scadenza SIM' "
                "AND [Tipo evento] = 'Allarme' AND [Testo messaggio] = 'Scadenza carta SIM' ORDER BY ID");
            for (; !rs.eof(); rs.moveNext())
                r << rs.campo(0).toString();
            return r;
        };
        b.orologio.imposta(il(2, 10, 0, 20));
        ControllaScadenzeSim(b.ctx);
        QCOMPARE(scadute(), QStringList{"000011"});
        b.orologio.imposta(il(2, 23, 50, 20));
        ControllaScadenzeSim(b.ctx);
        QCOMPARE(scadute(), QStringList{"000011"});
        b.orologio.imposta(il(3, 0, 0, 20));
        ControllaScadenzeSim(b.ctx);
        QCOMPARE(scadute(), (QStringList{"000011", "000010"}));
        b.orologio.imposta(il(9, 0, 0, 20));
        ControllaScadenzeSim(b.ctx);
        QCOMPARE(scadute(), (QStringList{"000011", "000010"}));
        QCOMPARE(b.conta("SELECT count(*) FROM DatiUtente WHERE [Scadenza segnalata] = 1"), 3);
        QCOMPARE(b.sim.storia(), QStringList());

        // A refused write leaves every card as it was, to be told next time.
        b.utente("000014", QVariant(), false, 0, QVariant(), QDate(2026, 3, 1));
        b.utente("000015", QVariant(), false, 0, QVariant(), QDate(2026, 3, 1));
        b.ctx.db->esegui("CREATE TEMP TRIGGER rifiuta BEFORE UPDATE ON DatiUtente "
                         "WHEN NEW.[Codice periferica] = '000015' BEGIN SELECT RAISE(ABORT, 'disco pieno'); END");
        ControllaScadenzeSim(b.ctx);
        QCOMPARE(scadute().size(), 2);
        QCOMPARE(b.conta("SELECT count(*) FROM DatiUtente WHERE [Scadenza segnalata] = 1"), 3);
        QCOMPARE(b.msg.testi().size(), 1);
        QVERIFY(b.msg.testi().first().startsWith("Impossibile segnalare le carte SIM scadute."));
    }
};

QTEST_MAIN(TestSorveglianza)
#include "tst_sorveglianza.moc"
