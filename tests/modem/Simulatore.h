#pragma once
// The simulated handset for tests: starts the real sorvela-sim, reads the path
// of its pseudo-terminal and drives it through its control language. The
// console's side talks to that terminal through the real serial code.

#include "core/Orologio.h"
#include "modem/LineaTelefono.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#ifndef SORVELA_SIM
#error "SORVELA_SIM must name the sorvela-sim executable"
#endif

namespace sorvela::prova {

class Simulatore {
public:
    explicit Simulatore(const QStringList& argomenti = {})
    {
        m_p.setProgram(QStringLiteral(SORVELA_SIM));
        m_p.setArguments(argomenti);
        m_p.start();
        if (m_p.waitForStarted(5000))
            m_percorso = riga();
    }

    ~Simulatore()
    {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.write("quit\n");
            if (!m_p.waitForFinished(2000))
                m_p.kill();
            m_p.waitForFinished(1000);
        }
    }

    Simulatore(const Simulatore&) = delete;
    Simulatore& operator=(const Simulatore&) = delete;

    // The terminal's path; empty when the program did not start.
    QString percorso() const { return m_percorso; }

    // Runs one control command; all the lines it printed, the last being
    // "ok ..." or "error: ...".
    QStringList comando(const QString& c)
    {
        m_p.write(c.toUtf8() + '\n');
        QStringList righe;
        for (;;) {
            const QString r = riga();
            if (r.isNull())
                return righe << QStringLiteral("error: no answer");
            righe << r;
            if (r.startsWith(QLatin1String("ok")) || r.startsWith(QLatin1String("error")))
                return righe;
        }
    }

    // The AT command lines the handset received since the last call.
    QStringList storia()
    {
        QStringList r = comando(QStringLiteral("history"));
        r.removeLast();
        return r;
    }

private:
    QString riga()
    {
        while (!m_p.canReadLine()) {
            if (!m_p.waitForReadyRead(5000))
                return {};
        }
        return QString::fromUtf8(m_p.readLine()).trimmed();
    }

    QProcess m_p;
    QString m_percorso;
};

// A console context as the tests need it: a settings file in a temporary
// folder with every port 1..6 mapped to a device that does not exist, the
// operator's boxes recorded, a clock that stands still at an ordinary moment
// and a line of its own.
struct Banco {
    QTemporaryDir cartella;
    Preferenze preferenze{cartella.filePath(QStringLiteral("Sorvela.ini"))};
    MessaggiRegistrati messaggi;
    OrologioVirtuale orologio;
    modem::LineaTelefono linea{[this](int n) { return preferenze.dispositivoPorta(n); }};
    Contesto c;

    Banco()
    {
        c.preferenze = &preferenze;
        c.messaggi = &messaggi;
        c.orologio = &orologio;
        c.linea = &linea;
        for (int n = 1; n <= 6; ++n)
            mappa(n, cartella.filePath(QStringLiteral("nessun-dispositivo-%1").arg(n)));
    }

    void mappa(int porta, const QString& dispositivo) { preferenze.setDispositivoPorta(porta, dispositivo); }
};

// The same context with a simulated handset, started with `argomenti`, on COM1.
struct BancoConTelefono : Banco {
    Simulatore sim;
    explicit BancoConTelefono(const QStringList& argomenti = {}) : sim(argomenti) { mappa(1, sim.percorso()); }
};

} // namespace sorvela::prova
