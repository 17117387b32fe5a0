// The handset pulled out in the middle of a read and plugged back on the same
// link, twenty times in a row, under the real main window and its receiver's
// thread: each time
// every message becomes one event and the handset's store empties. Runs for
// over a minute, so it carries the CTest label "lungo".

#include "comune/Banco.h"
#include "modem/LineaTelefono.h"
#include "receiver/Ricevitore.h"
#include "modem/Simulatore.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"

using namespace sorvela;
using namespace std::chrono_literals;

class TestRicollegamento : public QObject {
    Q_OBJECT

private slots:
    void handsetPulledOutMidReadAndBackTwentyTimes()
    {
        comune::Banco b;
        Orologio vero;
        b.ctx.orologio = &vero; // the watch and the tick run on real time
        const QString collegamento = b.dir.filePath(QStringLiteral("com1"));
        const QString unita = QStringLiteral("+393351111111");
        b.pref.setDispositivoPorta(1, collegamento);
        b.ctx.db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) "
                                        "VALUES ('000001', ?)"),
                         {unita});
        MDIForm1 w(b.ctx);
        w.adottaDatabase(std::move(b.db));
        prova::Simulatore sim({QStringLiteral("--link"), collegamento});
        w.avvia();
        ricevitore::Ricevitore* r = w.ricevitoreIncorporato();
        QMetaObject::invokeMethod(r, [r] { r->linea().sorveglia(1, 200ms); });

        auto testi = [&] {
            QStringList r;
            for (auto rs = b.ctx.db->apriRecordSet(QStringLiteral("SELECT [Testo messaggio] FROM ArchivioEventi"));
                 !rs.eof(); rs.moveNext())
                r << rs.campo(0).toString();
            r.sort();
            return r;
        };
        auto memoria = [&] { return sim.comando(QStringLiteral("list")).filter(QRegularExpression(QStringLiteral("^\\d"))); };
        QStringList attesi;
        for (int giro = 1; giro <= 20; ++giro) {
            for (int k = 1; k <= 2; ++k) {
                attesi << QStringLiteral("ALLARME %1.%2").arg(giro).arg(k);
                sim.comando(QStringLiteral("store %1 %2").arg(unita, attesi.last()));
            }
            attesi.sort();
            sim.comando(QStringLiteral("on %1 amid fault unplug 300")
                            .arg(comune::kLetturaSingola ? QStringLiteral("AT+CMGR") : QStringLiteral("AT+CMGL=0")));
            QMetaObject::invokeMethod(r, [r] { r->linea().segnalaMessaggi(); });
            QTRY_VERIFY2_WITH_TIMEOUT(testi() == attesi && memoria().isEmpty(),
                                      qPrintable(QStringLiteral("round %1: %2").arg(giro).arg(testi().join(u','))),
                                      20000);
        }
        // The strip follows the receiver's state within the desk's one-second refresh.
        QTRY_COMPARE_WITH_TIMEOUT(w.striscia()->pannello(5)->testo(), QStringLiteral("connesso"), 3000);
    }
};

QTEST_MAIN(TestRicollegamento)
#include "tst_ricollegamento.moc"
