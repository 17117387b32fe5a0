// Time to drain the handset's store, against the time the bytes of that
// exchange need on the wire. The simulated handset sends at the real line
// rate (19200 baud, 10 bits a byte) and reports every command and reply it
// handled, so the byte count is the handset's own, not the console's guess.
//
//   bench_lettura [--messages N] [--runs R] [--elenco]
//
// --elenco: the cycle takes each message from the listing instead of reading
// it again with "AT+CMGR".
//
// Prints, per run and as the median: the drain time, the wire time of the
// bytes both ways and the ratio between them, and the same ratio against the
// handset's replies alone (the bytes that really crossed at the paced rate).

#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "modem/Lettura.h"
#include "modem/pdu/Messaggio.h"
#include "modem/Seriale.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace sorvela;

namespace {

constexpr double kSecondiPerByte = 10.0 / 19200.0;

const char* const kRapporto = "credito: 12.50 euro; rete TIM; sim 01/2027; liv. batt. 80 segnale 4/5 sw: 1.2.";

class Telefono {
public:
    Telefono()
    {
        m_p.setProgram(QStringLiteral(SORVELA_SIM));
        // Room for the largest drain measured (--messages up to 255).
        m_p.setArguments({QStringLiteral("--pace"), QStringLiteral("--trace"), QStringLiteral("--capacity"), QStringLiteral("255")});
        m_p.start();
        m_p.waitForStarted(5000);
        m_percorso = riga();
    }
    ~Telefono()
    {
        m_p.write("quit\n");
        if (!m_p.waitForFinished(2000))
            m_p.kill();
    }
    QString percorso() const { return m_percorso; }
    QString comando(const QString& c)
    {
        m_p.write(c.toUtf8() + '\n');
        return riga();
    }
    // Bytes of the commands ("< AT…" lines, plus their CR) and of the
    // replies ("> …" lines, CR and LF written as \r and \n) traced since
    // the last call.
    std::pair<qint64, qint64> traffico()
    {
        m_p.waitForReadyRead(50);
        const QList<QByteArray> righe = m_p.readAllStandardError().split('\n');
        qint64 comandi = 0, risposte = 0;
        for (QByteArray r : righe) {
            if (r.startsWith("< "))
                comandi += r.size() - 2 + 1;
            else if (r.startsWith("> "))
                risposte += r.mid(2).replace("\\r", "\r").replace("\\n", "\n").size();
        }
        return {comandi, risposte};
    }

private:
    QString riga()
    {
        while (!m_p.canReadLine() && m_p.waitForReadyRead(5000)) {
        }
        return QString::fromUtf8(m_p.readLine()).trimmed();
    }
    QProcess m_p;
    QString m_percorso;
};

struct Misura {
    double secondi, filo, soloRisposte;
};

Misura unGiro(int messaggi, bool daElenco)
{
    Telefono sim;
    QTemporaryDir cartella;
    Preferenze preferenze(cartella.filePath(QStringLiteral("Sorvela.ini")));
    preferenze.setDispositivoPorta(1, sim.percorso());
    store::Database::crea(cartella.filePath(QStringLiteral("Sorvela.db")), false);
    auto db = store::Database::apri(cartella.filePath(QStringLiteral("Sorvela.db")));
    db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', '3351234567')"));
    Orologio orologio;
    MessaggiRegistrati operatore;
    modem::LineaTelefono linea([&preferenze](int n) { return preferenze.dispositivoPorta(n); });
    Contesto c;
    c.db = db.get();
    c.orologio = &orologio;
    c.messaggi = &operatore;
    c.preferenze = &preferenze;
    c.linea = &linea;
    c.NumeroPorta = 1;

    for (int i = 0; i < messaggi; ++i)
        sim.comando(QStringLiteral("store +393351234567 %1").arg(QLatin1String(kRapporto)));
    // As the manual load does before the cycle: echo off.
    {
        modem::Sessione s = linea.prendi(QStringLiteral("bench"));
        modem::InizializzaModem(s);
        s.scambia(QStringLiteral("ATE0"));
    }
    sim.traffico();

    modem::CicloLettura ciclo{[](Contesto& k, const pdu::MessaggioRicevuto& m) { return RegistraMessaggio(k, m); }};
    ciclo.setDaElenco(daElenco);
    QElapsedTimer t;
    t.start();
    const modem::RiepilogoLettura r = ciclo.LetturaMessaggi(c);
    const double secondi = t.nsecsElapsed() / 1e9;
    const auto [comandi, risposte] = sim.traffico();
    if (r.registrati != messaggi || r.cancellati != messaggi || !operatore.testi().isEmpty()) {
        std::fprintf(stderr, "bench_lettura: the cycle registered %d and deleted %d of %d\n", r.registrati,
                     r.cancellati, messaggi);
        std::exit(1);
    }
    std::printf("drain %.3f s  bytes out %lld in %lld  wire %.3f s  ratio %.3f  (replies only %.3f)\n", secondi,
                comandi, risposte, (comandi + risposte) * kSecondiPerByte,
                secondi / ((comandi + risposte) * kSecondiPerByte), secondi / (risposte * kSecondiPerByte));
    return {secondi, (comandi + risposte) * kSecondiPerByte, risposte * kSecondiPerByte};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int messaggi = 10, giri = 5;
    bool daElenco = false;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--help")) {
            std::puts("usage: bench_lettura [--messages N] [--runs R] [--elenco]");
            return 0;
        }
        if (a[i] == QLatin1String("--elenco")) {
            daElenco = true;
            continue;
        }
        bool ok = false;
        if (a[i] == QLatin1String("--messages") && i + 1 < a.size())
            messaggi = a[++i].toInt(&ok);
        else if (a[i] == QLatin1String("--runs") && i + 1 < a.size())
            giri = a[++i].toInt(&ok);
        if (!ok || messaggi < 1 || giri < 1) {
            std::fprintf(stderr, "bench_lettura: bad argument %s\n", qPrintable(a[i]));
            return 2;
        }
    }
    QList<Misura> misure;
    for (int g = 0; g < giri; ++g)
        misure << unGiro(messaggi, daElenco);
    std::sort(misure.begin(), misure.end(), [](const Misura& x, const Misura& y) { return x.secondi < y.secondi; });
    const Misura& m = misure[misure.size() / 2];
    std::printf("median: %d messages drained in %.3f s; wire time %.3f s; ratio %.3f (replies only %.3f)\n", messaggi,
                m.secondi, m.filo, m.secondi / m.filo, m.secondi / m.soloRisposte);
    return 0;
}
