// The serial line and the AT exchange against the simulated handset on a
// pseudo-terminal: opening and its two error texts, the port check, the waits
// and the modem initialisation, as the operator and the handset see them.

#include "modem/Simulatore.h"
#include "modem/Seriale.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

using namespace sorvela;
using namespace sorvela::modem;
using sorvela::prova::Banco;
using sorvela::prova::BancoConTelefono;
using sorvela::prova::Simulatore;

namespace {

const QString kControlla = QStringLiteral("Controlla il telefono.");

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
        b.c.NumeroPorta = 2;
        if (caso == QLatin1String("not-a-tty")) {
            b.mappa(2, QStringLiteral("/dev/null"));
        } else if (caso != QLatin1String("missing")) {
            b.mappa(2, sim.percorso());
            if (caso.startsWith(QLatin1String("hold")))
                QCOMPARE(sim.comando(caso).last(), QStringLiteral("ok"));
        }

        QCOMPARE(ApriPorta(b.c), messaggio.isEmpty() ? 0 : 1);
        QCOMPARE(b.linea.isOpen(), messaggio.isEmpty());
        QCOMPARE(b.messaggi.testi(), messaggio.isEmpty() ? QStringList() : QStringList{messaggio});
        for (const auto& v : b.messaggi.voci())
            QVERIFY(v.icona == Icona::Avviso && v.titolo == QStringLiteral("Sorvela"));
    }

    void apriPortaSegueIlCollegamentoEUsaLaVelocitaDelTelefono()
    {
        Banco b;
        const QString link = b.cartella.filePath(QStringLiteral("telefono"));
        Simulatore sim({QStringLiteral("--link"), link});
        b.mappa(1, link);
        QCOMPARE(ApriPorta(b.c), 0);
        QCOMPARE(b.linea.baudRate(), 19200);
        QVERIFY(b.linea.dataBits() == QSerialPort::Data8 && b.linea.parity() == QSerialPort::NoParity
                && b.linea.stopBits() == QSerialPort::OneStop && b.linea.flowControl() == QSerialPort::NoFlowControl);

        // A second program that reaches the same device by its real name finds it
        // taken, because the lock is named after the device, not the link.
        Banco altro;
        altro.mappa(1, sim.percorso());
        QCOMPARE(ApriPorta(altro.c), 1);
        QCOMPARE(altro.messaggi.testi(), QStringList{QStringLiteral("La porta COM1 non è disponibile.")});

        // Reopening from open works and leaves one line open.
        QCOMPARE(ApriPorta(b.c), 0);
        QVERIFY(b.linea.isOpen());
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

        int scatti = 0;
        Tick tick(b.c, 5);
        connect(&tick, &QTimer::timeout, [&] { ++scatti; });

        VerificaPorte(b.c);

        QCOMPARE(scatti, 0); // the tick stayed away from the line during the probes
        QVERIFY(tick.isActive());
        QCOMPARE(b.messaggi.voci().size(), 1);
        const auto& v = b.messaggi.voci().first();
        QVERIFY(v.icona == Icona::Nessuna && v.titolo == QStringLiteral("Sorvela"));
        QCOMPARE(v.testo, QStringLiteral("Telefono non rilevato alla porta COM1\r\n"
                                         "COM2 non è una porta valida.\r\n"
                                         "TELEFONO RILEVATO ALLA PORTA COM3\r\n"
                                         "COM4 non è una porta valida.\r\n"
                                         "COM5 non è una porta valida.\r\n"
                                         "COM6 non è una porta valida.\r\n"));
        QVERIFY(!b.linea.isOpen()); // port 6 did not open
        QVERIFY(telefono.storia().contains(QStringLiteral("AT+CNMI=1,1,0,0,1")));
    }

    // --- waits

    // A row per way a reply can end: how the handset behaves, the command,
    // the limit of silence, how long the wait may take, what comes back and
    // whether the operator is told. The reply comes back without its echo.
    void attendiRisposta_data()
    {
        QTest::addColumn<QString>("guasto");
        QTest::addColumn<QString>("comando");
        QTest::addColumn<int>("limite");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::addColumn<QString>("risposta"); // what the reply starts with
        QTest::addColumn<bool>("avvisa");
        QTest::newRow("OK ends it") << "fault none" << "AT\r" << 8 << 0 << 2000 << "\r\nOK\r\n" << false;
        QTest::newRow("ERROR ends it and warns") << "fault none" << "AT+XX\r" << 8 << 0 << 2000 << "\r\nERROR\r\n" << true;
        QTest::newRow("cut before OK: its whole lines come back after the silence")
            << "fault truncate" << "AT+CMGL=0\r" << 1 << 950 << 1500 << "\r\n+CMGL: 1,0,," << true;
        QTest::newRow("silent: the limit of silence") << "fault silent" << "AT\r" << 1 << 950 << 1400 << "" << true;
        // 10 bytes a second: the reply takes about three seconds, three times
        // the limit, and is still waited for because it keeps coming.
        QTest::newRow("slow line: the wait goes on while bytes arrive")
            << "pace 10" << "AT+CSQ\r" << 1 << 2000 << 5000 << "\r\n+CSQ: 20,99\r\n\r\nOK\r\n" << false;
    }

    void attendiRisposta()
    {
        QFETCH(QString, guasto);
        QFETCH(QString, comando);
        QFETCH(int, limite);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QFETCH(QString, risposta);
        QFETCH(bool, avvisa);
        BancoConTelefono b;
        b.sim.comando(QStringLiteral("store +393351234567 batt 80"));
        b.sim.comando(guasto);
        QCOMPARE(ApriPorta(b.c), 0);

        InviaComando(b.c, comando);
        QString r;
        const qint64 ms = durata([&] { r = AttendiRisposta(b.c, limite); });
        QVERIFY2(ms >= minMs && ms < maxMs, qPrintable(QString::number(ms)));
        QVERIFY2(r.left(risposta.size()) == risposta, qPrintable(r));
        QCOMPARE(b.messaggi.testi(), avvisa ? QStringList{kControlla} : QStringList());
        for (const auto& v : b.messaggi.voci())
            QCOMPARE(v.icona, Icona::Avviso);

        // Leftovers of that reply do not reach the next exchange.
        b.sim.comando(QStringLiteral("fault none"));
        b.sim.comando(QStringLiteral("pace off"));
        InviaComando(b.c, QStringLiteral("AT\r"));
        QCOMPARE(AttendiRisposta(b.c, 2), QStringLiteral("\r\nOK\r\n"));
    }

    void attendiRispostaFinisceQuandoIlTelefonoVieneStaccato()
    {
        BancoConTelefono b;
        b.sim.comando(QStringLiteral("fault silent"));
        QCOMPARE(ApriPorta(b.c), 0);

        InviaComando(b.c, QStringLiteral("AT\r"));
        QTimer::singleShot(200, [&] { b.sim.comando(QStringLiteral("fault unplug")); });
        const qint64 ms = durata([&] { AttendiRisposta(b.c, 8); });
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
        QCOMPARE(b.messaggi.testi(), QStringList{kControlla});
        // The dead line is closed, so the tick stops reading it and the next
        // open reports what the operator needs to know.
        QVERIFY(!b.linea.isOpen());
        b.messaggi.svuota();
        QCOMPARE(ApriPorta(b.c), 1);
        QCOMPARE(b.messaggi.testi(), QStringList{QStringLiteral("COM1 non è una porta valida.")});
    }

    void attendiTesto()
    {
        BancoConTelefono b;
        b.sim.comando(QStringLiteral("delay-nocarrier 300"));
        QCOMPARE(ApriPorta(b.c), 0);

        // The awaited text: the unit drops the call.
        InviaComando(b.c, QStringLiteral("ATD3351234567;\r"));
        QVERIFY(AttendiRisposta(b.c, 4).contains(QLatin1String("OK")));
        b.c.AnnullaAttesa = true; // a stale cancel must not end the next wait
        qint64 ms = durata([&] { AttendiTesto(b.c, QStringLiteral("NO CARRIER"), 5); });
        QVERIFY2(ms >= 150 && ms < 1500, qPrintable(QString::number(ms)));
        QVERIFY(!b.c.AnnullaAttesa);

        // The limit.
        ms = durata([&] { AttendiTesto(b.c, QStringLiteral("NO CARRIER"), 1); });
        QVERIFY2(ms >= 950 && ms < 1300, qPrintable(QString::number(ms)));

        // The operator's cancel, pressed while the wait runs.
        b.sim.comando(QStringLiteral("delay-nocarrier 10000"));
        InviaComando(b.c, QStringLiteral("ATD3351234567;\r"));
        AttendiRisposta(b.c, 4);
        QTimer::singleShot(200, [&] { b.c.AnnullaAttesa = true; });
        ms = durata([&] { AttendiTesto(b.c, QStringLiteral("NO CARRIER"), 25); });
        QVERIFY2(ms >= 150 && ms < 600, qPrintable(QString::number(ms)));
        QVERIFY(b.c.AnnullaAttesa);
        QVERIFY(b.messaggi.voci().isEmpty());
    }

    // --- modem initialisation and manual load

    void caricaMessaggiNonSiFaRubareLaRispostaDalTick()
    {
        BancoConTelefono b;
        QCOMPARE(ApriPorta(b.c), 0);
        // A tick that reads the line as often as it can, as the real one does
        // once a second: it must not get between a command and its reply.
        Tick tick(b.c, 1);
        connect(&tick, &QTimer::timeout, [&] {
            if (b.linea.isOpen())
                b.linea.readAll();
        });
        // Whatever the line held before is not taken for the handset's answer.
        b.sim.comando(QStringLiteral("sms +393351234567 batt 80"));

        int letture = 0;
        bool tickFermo = false;
        CaricaMessaggi(b.c, [&] {
            ++letture;
            tickFermo = !tick.isActive();
        });

        QCOMPARE(letture, 1);
        QVERIFY(tickFermo && tick.isActive() && b.linea.isOpen());
        QVERIFY(b.messaggi.voci().isEmpty());
        QCOMPARE(b.sim.storia(), (QStringList{QStringLiteral("AT+CNMI=1,1,0,0,1"), QStringLiteral("ATE0")}));
    }

    void caricaMessaggiSenzaTelefonoNonLegge_data()
    {
        QTest::addColumn<bool>("muto");
        QTest::addColumn<QStringList>("avvisi");
        QTest::newRow("silent handset: two warnings in order")
            << true << QStringList{kControlla + QStringLiteral("\nTelefono non rilevato alla porta COM4")};
        QTest::newRow("port missing") << false << QStringList{QStringLiteral("COM4 non è una porta valida.")};
    }

    void caricaMessaggiSenzaTelefonoNonLegge()
    {
        QFETCH(bool, muto);
        QFETCH(QStringList, avvisi);
        Banco b;
        Simulatore sim;
        sim.comando(QStringLiteral("fault silent"));
        if (muto)
            b.mappa(4, sim.percorso());
        b.c.NumeroPorta = 4;
        Tick tick(b.c, 1000);

        int letture = 0;
        const qint64 ms = durata([&] { CaricaMessaggi(b.c, [&] { ++letture; }); });

        QCOMPARE(letture, 0);
        QCOMPARE(b.messaggi.testi(), avvisi);
        for (const auto& v : b.messaggi.voci())
            QCOMPARE(v.icona, Icona::Avviso);
        QVERIFY(tick.isActive());
        // The handset is asked once and given its four seconds.
        if (muto)
            QVERIFY2(ms >= 3900 && ms < 4600, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(TestSeriale)
#include "tst_seriale.moc"
