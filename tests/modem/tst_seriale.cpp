// The line object against the simulated handset on a pseudo-terminal: opening
// and its error texts, the port check, the exchange and its waits, the hold
// that keeps two callers apart, and the modem initialisation.

#include "modem/Simulatore.h"
#include "modem/Seriale.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace sorvela;
using namespace sorvela::modem;
using sorvela::prova::Banco;
using sorvela::prova::BancoConTelefono;
using sorvela::prova::Simulatore;
using namespace std::chrono_literals;

namespace {

// Milliseconds a call takes.
template <typename F>
qint64 durata(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.elapsed();
}

// A running tick, as the main window's, that the serial code must suspend.
struct Tick : QTimer {
    Tick(Contesto& c, int ms)
    {
        setInterval(ms);
        c.Timer1 = this;
        start();
    }
};

} // namespace

class TestSeriale : public QObject {
    Q_OBJECT

private slots:
    // --- opening the line

    void apriPorta_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("messaggio");
        QTest::newRow("device missing") << "missing" << "COM2 non è una porta valida.";
        QTest::newRow("not a serial line") << "not-a-tty" << "COM2 non è una porta valida.";
        QTest::newRow("held by a Qt program") << "hold qt" << "La porta COM2 non è disponibile.";
        QTest::newRow("held with TIOCEXCL only") << "hold excl" << "La porta COM2 non è disponibile.";
        QTest::newRow("free") << "free" << "";
    }

    void apriPorta()
    {
        QFETCH(QString, caso);
        QFETCH(QString, messaggio);
        Banco b;
        Simulatore sim;
        QVERIFY(!sim.percorso().isEmpty());
        if (caso == QLatin1String("not-a-tty")) {
            b.mappa(2, QStringLiteral("/dev/null"));
        } else if (caso != QLatin1String("missing")) {
            b.mappa(2, sim.percorso());
            if (caso.startsWith(QLatin1String("hold")))
                QCOMPARE(sim.comando(caso).last(), QStringLiteral("ok"));
        }
        QSignalSpy persa(&b.linea, &LineaTelefono::persa);
        QCOMPARE(b.linea.apri(2), messaggio);
        QCOMPARE(b.linea.aperta(), messaggio.isEmpty());
        QCOMPARE(b.linea.porta(), messaggio.isEmpty() ? 2 : 1);
        QCOMPARE(persa.size(), 0); // another port than the handset's: nothing lost
        QVERIFY(b.messaggi.voci().isEmpty()); // the line tells nobody: its caller does
    }

    void apriPortaSegueIlCollegamentoEUsaLaVelocitaDelTelefono()
    {
        Banco b;
        const QString link = b.cartella.filePath(QStringLiteral("telefono"));
        Simulatore sim({QStringLiteral("--link"), link});
        b.mappa(1, link);
        QCOMPARE(b.linea.apri(1), QString());
        const QSerialPort& p = b.linea.seriale();
        QCOMPARE(p.baudRate(), 19200);
        QVERIFY(p.dataBits() == QSerialPort::Data8 && p.parity() == QSerialPort::NoParity
                && p.stopBits() == QSerialPort::OneStop && p.flowControl() == QSerialPort::NoFlowControl);

        // A second program that reaches the same device by its real name finds it
        // taken, because the lock is named after the device, not the link.
        Banco altro;
        altro.mappa(1, sim.percorso());
        QSignalSpy persa(&altro.linea, &LineaTelefono::persa);
        QCOMPARE(altro.linea.apri(1), QStringLiteral("La porta COM1 non è disponibile."));
        QCOMPARE(persa.size(), 1); // the handset's own port: the handset lost

        // Reopening from open works and leaves one line open.
        QCOMPARE(b.linea.apri(1), QString());
        QVERIFY(b.linea.aperta());
    }

    // --- the port check

    void verificaPorteRiportaOgniPortaInOrdine()
    {
        Banco b;
        Simulatore muto;
        Simulatore telefono;
        QCOMPARE(muto.comando(QStringLiteral("fault silent")).last(), QStringLiteral("ok"));
        b.mappa(1, muto.percorso());
        b.mappa(3, telefono.percorso());
        QCOMPARE(b.linea.apri(1), QString());

        int scatti = 0;
        Tick tick(b.c, 5);
        connect(&tick, &QTimer::timeout, [&] { ++scatti; });
        // The watch's check falls in the middle of a probe: the line is held,
        // so it neither reopens the port nor takes the probe's reply.
        int controlli = 0;
        QTimer::singleShot(300, [&] {
            ++controlli;
            b.linea.controlla();
        });
        const std::optional<QString> r = VerificaPorte(b.c);

        QCOMPARE(controlli, 1);
        QCOMPARE(scatti, 0); // the tick stayed away from the line during the probes
        QVERIFY(tick.isActive());
        QCOMPARE(r.value_or(QString()), QStringLiteral("Telefono non rilevato alla porta COM1\r\n"
                                                       "COM2 non è una porta valida.\r\n"
                                                       "TELEFONO RILEVATO ALLA PORTA COM3\r\n"
                                                       "COM4 non è una porta valida.\r\n"
                                                       "COM5 non è una porta valida.\r\n"
                                                       "COM6 non è una porta valida.\r\n"));
        QCOMPARE(muto.storia(), QStringList()); // silent: nothing heard, not even the check's "AT"
        QCOMPARE(telefono.storia(), QStringList{QStringLiteral("AT+CNMI=1,1,0,0,1")});
        // Back on the handset's port, which the probes did not count as lost.
        QVERIFY(b.linea.aperta() && b.linea.porta() == 1);
        QCOMPARE(b.linea.stato(), StatoTelefono::Connesso);

        // Held by a cycle: no probe at all, and the caller learns who holds it.
        const Sessione ciclo = b.linea.prendi(QStringLiteral("Lettura messaggi in corso"));
        QVERIFY(!VerificaPorte(b.c));
        QCOMPARE(b.linea.occupataDa(), QStringLiteral("Lettura messaggi in corso"));
        QCOMPARE(b.linea.apri(3), QStringLiteral("Il telefono è impegnato (Lettura messaggi in corso)."));
        QVERIFY(!b.linea.chiudi() && b.linea.porta() == 1);
        Sessione seconda = b.linea.prendi(QStringLiteral("altro"));
        QVERIFY(!seconda.valida());
        QVERIFY(seconda.scambia(QStringLiteral("AT")).rifiutata);
        QCOMPARE(telefono.storia(), QStringList());
    }

    // --- the exchange

    // The pure reading of a reply: raw bytes as the handset sent them, the
    // echo as known (-1 unknown, 0 off, 1 on), and what the exchange takes:
    // its final result ("" while it has not come), its clean text and its
    // news (i: a "+CMTI:", r: noise dropped, m: nothing but the echo).
    void analizzaRisposta_data()
    {
        QTest::addColumn<QString>("comando");
        QTest::addColumn<QString>("ricevuto");
        QTest::addColumn<int>("eco");
        QTest::addColumn<QString>("finale");
        QTest::addColumn<QString>("testo");
        QTest::addColumn<QString>("segni");
        QTest::newRow("echo on") << "AT" << "AT\r\r\nOK\r\n" << 1 << "OK" << "\r\nOK\r\n" << "";
        QTest::newRow("echo off") << "AT+CSQ" << "\r\n+CSQ: 20,99\r\n\r\nOK\r\n" << 0 << "OK" << "\r\n+CSQ: 20,99\r\n\r\nOK\r\n" << "";
        QTest::newRow("echo not known, found") << "AT+CSQ" << "AT+CSQ\r\r\n+CSQ: 20,99\r\n\r\nOK\r\n" << -1 << "OK" << "\r\n+CSQ: 20,99\r\n\r\nOK\r\n" << "";
        QTest::newRow("only the echo yet") << "AT" << "AT\r" << 1 << "" << "" << "m";
        QTest::newRow("silence") << "AT" << "" << 0 << "" << "" << "m";
        QTest::newRow("late final of an earlier command, then the echo") << "AT+CMGR=1" << "\r\nOK\r\nAT+CMGR=1\r" << 1 << "" << "" << "m";
        QTest::newRow("late final of an earlier command, then the reply") << "AT" << "\r\nOK\r\nAT\r\r\nERROR\r\n" << 1 << "ERROR" << "\r\nERROR\r\n" << "";
        QTest::newRow("cut inside a line") << "AT+CMGR=1" << "\r\n+CMGR: 0,,3\r\n0791A" << 0 << "" << "\r\n+CMGR: 0,,3\r\n" << "";
        QTest::newRow("cut before the final") << "AT+CMGL=0" << "\r\n+CMGL: 1,0,,3\r\n0791AB\r\n" << 0 << "" << "\r\n+CMGL: 1,0,,3\r\n0791AB\r\n" << "";
        QTest::newRow("doubled") << "AT" << "AT\r\r\nOK\r\nAT\r\r\nOK\r\n" << 1 << "OK" << "\r\nOK\r\n" << "";
        QTest::newRow("network line before") << "AT" << "\r\n+CREG: 1\r\n\r\nOK\r\n" << 0 << "OK" << "\r\nOK\r\n" << "";
        QTest::newRow("news before the echo") << "AT" << "\r\n+CMTI: \"SM\",4\r\nAT\r\r\nOK\r\n" << 1 << "OK" << "\r\nOK\r\n" << "i";
        QTest::newRow("news alone, echo not yet") << "AT+CMGR=1" << "\r\n+CMTI: \"SM\",4\r\n" << 1 << "" << "" << "im";
        QTest::newRow("news amid the lines") << "AT+CMGL=0" << "\r\n+CMGL: 1,0,,3\r\n\r\n+CMTI: \"SM\",2\r\n0791AB\r\n\r\nOK\r\n" << 0 << "OK" << "\r\n+CMGL: 1,0,,3\r\n0791AB\r\n\r\nOK\r\n" << "i";
        QTest::newRow("news after the final") << "AT" << "\r\nOK\r\n\r\n+CMTI: \"SM\",5\r\n" << 0 << "OK" << "\r\nOK\r\n" << "i";
        QTest::newRow("a PDU line and the final cut in two") << "AT+CMGR=1" << "AT+CMGR=1\r\r\n+CMGR: 0,,3\r\n0791AB\r\n+CGREG: 1\r\nCD12\r\n\r\nO\r\nRING\r\nK\r\n" << 1 << "OK" << "\r\n+CMGR: 0,,3\r\n0791ABCD12\r\n\r\nOK\r\n" << "";
        QTest::newRow("a refused call") << "ATD3351234567;" << "\r\nRING\r\n\r\nBUSY\r\n" << 0 << "BUSY" << "\r\nBUSY\r\n" << "";
        QTest::newRow("BUSY ends nothing but a call") << "AT" << "\r\nBUSY\r\n" << 0 << "" << "" << "r";
        QTest::newRow("store error") << "AT+CMGR=9" << "\r\n+CMS ERROR: 321\r\n" << 0 << "+CMS ERROR: 321" << "\r\n+CMS ERROR: 321\r\n" << "";
        QTest::newRow("noise amid the reply") << "AT+CSQ" << "\r\n+CSQ: 20,99\r\n#~z\r\n\r\nOK\r\n" << 0 << "OK" << "\r\n+CSQ: 20,99\r\n\r\nOK\r\n" << "r";
    }

    void analizzaRisposta()
    {
        QFETCH(QString, comando);
        QFETCH(QString, ricevuto);
        QFETCH(int, eco);
        QFETCH(QString, finale);
        QFETCH(QString, testo);
        QFETCH(QString, segni);
        const Analisi a = AnalizzaRisposta(comando, ricevuto, eco);
        const RispostaModem& r = a.risposta;
        QCOMPARE(a.completa, !finale.isEmpty());
        QCOMPARE(r.finale, finale);
        QCOMPARE(int(r.esito), int(finale.isEmpty() ? Esito::Scaduto : finale == u"OK" ? Esito::Ok : Esito::Errore));
        QCOMPARE(r.testo, testo);
        QCOMPARE(a.indicazione, segni.contains(u'i'));
        QCOMPARE(r.rumore, segni.contains(u'r'));
        QCOMPARE(r.muta, segni.contains(u'm'));
    }

    // A row per way a reply can end: how the handset behaves, the command,
    // the limit of silence, how long the wait may take, what comes back.
    // The reply comes back without its echo.
    void scambio_data()
    {
        QTest::addColumn<QString>("guasto");
        QTest::addColumn<QString>("comando");
        QTest::addColumn<int>("limite");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::addColumn<QString>("risposta"); // what the reply starts with
        QTest::addColumn<int>("esito");
        QTest::newRow("cut before OK: its whole lines come back after the silence")
            << "fault truncate" << "AT+CMGL=0" << 1 << 950 << 1500 << "\r\n+CMGL: 1,0,," << int(Esito::Scaduto);
        QTest::newRow("silent: the limit of silence") << "fault silent" << "AT" << 1 << 950 << 1400 << "" << int(Esito::Scaduto);
        // 10 bytes a second: the reply takes about three seconds, three times
        // the limit, and is still waited for because it keeps coming.
        QTest::newRow("slow line: the wait goes on while bytes arrive")
            << "pace 10" << "AT+CSQ" << 1 << 2000 << 5000 << "\r\n+CSQ: 20,99\r\n\r\nOK\r\n" << int(Esito::Ok);
        // The handset takes its time over the hang-up: its "OK" is waited for.
        QTest::newRow("late final result") << "slow ATH 1500" << "\rATH" << 4 << 1400 << 2500 << "\r\nOK\r\n" << int(Esito::Ok);
    }

    void scambio()
    {
        QFETCH(QString, guasto);
        QFETCH(QString, comando);
        QFETCH(int, limite);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QFETCH(QString, risposta);
        QFETCH(int, esito);
        BancoConTelefono b;
        b.sim.comando(QStringLiteral("store +393351234567 batt 80"));
        b.sim.comando(guasto);
        QCOMPARE(b.linea.apri(1), QString());
        Sessione s = b.linea.prendi(QStringLiteral("prova"));

        RispostaModem r;
        const qint64 ms = durata([&] { r = s.scambia(comando, std::chrono::seconds(limite)); });
        QVERIFY2(ms >= minMs && ms < maxMs, qPrintable(QString::number(ms)));
        QVERIFY2(r.testo.left(risposta.size()) == risposta, qPrintable(r.testo));
        QCOMPARE(int(r.esito), esito);

        // Leftovers of that reply do not reach the next exchange.
        b.sim.comando(QStringLiteral("fault none"));
        b.sim.comando(QStringLiteral("pace off"));
        if (r.esito == Esito::Scaduto && !r.muta)
            QVERIFY(s.rimettiInPasso());
        QCOMPARE(s.scambia(QStringLiteral("AT"), 2s).testo, QStringLiteral("\r\nOK\r\n"));
    }

    void scambioFinisceQuandoIlTelefonoVieneStaccato()
    {
        BancoConTelefono b;
        b.sim.comando(QStringLiteral("fault silent"));
        QCOMPARE(b.linea.apri(1), QString());
        QSignalSpy persa(&b.linea, &LineaTelefono::persa);
        Sessione s = b.linea.prendi(QStringLiteral("prova"));

        QTimer::singleShot(200, [&] { b.sim.comando(QStringLiteral("fault unplug")); });
        RispostaModem r;
        const qint64 ms = durata([&] { r = s.scambia(QStringLiteral("AT"), 8s); });
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
        QVERIFY(r.chiusa && !r.ok());
        // The dead line is closed, so the tick stops reading it, and the
        // handset is lost once; the next open says why.
        QVERIFY(!b.linea.aperta());
        QCOMPARE(persa.size(), 1);
        QCOMPARE(persa.first().first().toString(), QStringLiteral("Il telefono della porta COM1 è stato scollegato."));
        QCOMPARE(b.linea.stato(), StatoTelefono::NonConnesso);
        QCOMPARE(s.apri(1), QStringLiteral("COM1 non è una porta valida."));
        QCOMPARE(persa.size(), 1);
    }

    void attendi()
    {
        BancoConTelefono b;
        b.sim.comando(QStringLiteral("delay-nocarrier 300"));
        QCOMPARE(b.linea.apri(1), QString());
        Sessione s = b.linea.prendi(QStringLiteral("prova"));

        // The awaited text: the unit drops the call.
        QVERIFY(s.scambia(QStringLiteral("ATD3351234567;")).ok());
        qint64 ms = durata([&] { QVERIFY(s.attendi(QStringLiteral("NO CARRIER"), 5s)); });
        QVERIFY2(ms >= 150 && ms < 1500, qPrintable(QString::number(ms)));

        // The limit.
        ms = durata([&] { QVERIFY(!s.attendi(QStringLiteral("NO CARRIER"), 1s)); });
        QVERIFY2(ms >= 950 && ms < 1300, qPrintable(QString::number(ms)));

        // The operator's cancel, pressed while the wait runs.
        b.sim.comando(QStringLiteral("delay-nocarrier 10000"));
        QVERIFY(s.scambia(QStringLiteral("ATD3351234567;")).ok());
        bool annulla = false;
        QTimer::singleShot(200, [&] { annulla = true; });
        ms = durata([&] { QVERIFY(!s.attendi(QStringLiteral("NO CARRIER"), 25s, [&] { return annulla; })); });
        QVERIFY2(ms >= 150 && ms < 600, qPrintable(QString::number(ms)));
    }

    // --- modem initialisation and manual load

    void caricaMessaggiNonSiFaRubareLaRispostaDalTick()
    {
        BancoConTelefono b;
        QCOMPARE(b.linea.apri(1), QString());
        // A tick that looks at the line as often as it can, as the real one
        // does once a second: it must not get between a command and its reply.
        Tick tick(b.c, 1);
        connect(&tick, &QTimer::timeout, [&] { b.linea.svuota(); });
        // Whatever the line held before is not taken for the handset's answer.
        b.sim.comando(QStringLiteral("sms +393351234567 batt 80"));

        int letture = 0;
        bool tickFermo = false;
        const Prontezza p = CaricaMessaggi(b.c, [&] {
            ++letture;
            tickFermo = !tick.isActive();
            QVERIFY(b.linea.occupataDa().isEmpty()); // the cycle takes the line itself
        });

        QCOMPARE(letture, 1);
        QVERIFY(p.pronto && p.avviso.isEmpty());
        QVERIFY(tickFermo && tick.isActive() && b.linea.aperta());
        QVERIFY(b.linea.messaggiInAttesa());
        QCOMPARE(b.sim.storia(), (QStringList{QStringLiteral("AT+CNMI=1,1,0,0,1"), QStringLiteral("ATE0")}));
    }

    void caricaMessaggiSenzaTelefonoNonLegge_data()
    {
        QTest::addColumn<QString>("telefono");
        QTest::addColumn<QString>("avviso");
        QTest::addColumn<int>("perdite");
        // Silence is the watch's to tell, after three; a refusal is told now.
        QTest::newRow("silent handset") << "fault silent" << QString() << 0;
        QTest::newRow("refusing handset")
            << "fault error" << QStringLiteral("Controlla il telefono.\nTelefono non rilevato alla porta COM4") << 0;
        QTest::newRow("port missing: the handset lost") << "" << QStringLiteral("COM4 non è una porta valida.") << 1;
    }

    void caricaMessaggiSenzaTelefonoNonLegge()
    {
        QFETCH(QString, telefono);
        QFETCH(QString, avviso);
        QFETCH(int, perdite);
        Banco b;
        Simulatore sim;
        if (!telefono.isEmpty()) {
            sim.comando(telefono);
            b.mappa(4, sim.percorso());
        }
        QSignalSpy persa(&b.linea, &LineaTelefono::persa);
        b.linea.sorveglia(4, 1h);
        Tick tick(b.c, 1000);

        int letture = 0;
        Prontezza p;
        const qint64 ms = durata([&] { p = CaricaMessaggi(b.c, [&] { ++letture; }); });

        QCOMPARE(letture, 0);
        QVERIFY(!p.pronto);
        QCOMPARE(p.avviso, avviso);
        QCOMPARE(persa.size(), perdite);
        QVERIFY(tick.isActive());
        // The handset is asked once and given its four seconds.
        if (telefono == QLatin1String("fault silent"))
            QVERIFY2(ms >= 3900 && ms < 4600, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(TestSeriale)
#include "tst_seriale.moc"
