#pragma once
// A console with a database and a simulated handset on COM1: what the
// interrogation tests stand on. Calls are short (the simulated handset drops
// them after a few milliseconds) and the clock only moves when told.

#include "comune/Banco.h"
#include "events/Registrazione.h"
#include "modem/Lettura.h"
#include "modem/Simulatore.h"

#include <QSerialPort>

namespace sorvela::prova {

struct BancoChiamate : comune::Banco {
    Simulatore sim;
    QSerialPort linea;

    explicit BancoChiamate(int fineChiamataMs = 20)
        : sim({QStringLiteral("--delay-nocarrier"), QString::number(fineChiamataMs)})
    {
        for (int n = 1; n <= 6; ++n)
            pref.setDispositivoPorta(n, dir.filePath(QStringLiteral("nessun-dispositivo-%1").arg(n)));
        pref.setDispositivoPorta(1, sim.percorso());
        ctx.NumeroPorta = 1;
        ctx.MSComm1 = &linea;
    }

    // One retrieval cycle, as the tick runs it.
    void leggiMessaggi()
    {
        modem::CicloLettura ciclo(
            [](Contesto& c, const pdu::MessaggioRicevuto& m) { return RegistraMessaggio(c, m); });
        ciclo.LetturaMessaggi(ctx);
    }

    // A subscriber as the registry stores it.
    void utente(const QString& codice, const QVariant& gsm, bool monitorato = false, double periodo = 0,
                const QVariant& ultima = {}, const QVariant& scadenza = {}, bool segnalata = false)
    {
        ctx.db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia], [Nome], "
                                      "[Monitoraggio], [Periodo], [Ultima interrogazione], [Scadenza carta], "
                                      "[Scadenza segnalata]) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                       {codice, gsm, QStringLiteral("Utente ") + codice, monitorato, periodo, ultima, scadenza,
                        segnalata});
    }

    // A unit that answers every call to `numero` with `testo` by SMS.
    void unita(const QString& numero, const QString& testo = QString::fromLatin1(Rapporto))
    {
        sim.comando(QStringLiteral("unit %1 5 %2").arg(numero, testo));
    }

    // The dialled numbers the handset saw since the last look.
    QStringList chiamati()
    {
        QStringList r;
        for (const QString& l : sim.storia()) {
            if (l.startsWith(QLatin1String("ATD")))
                r << l.mid(3).chopped(1);
        }
        return r;
    }

    // [Descrizione evento] of every event, oldest first.
    QStringList descrizioni(const QString& codice = {})
    {
        store::RecordSet rs = ctx.db->apriRecordSet(
            QStringLiteral("SELECT [Descrizione evento] FROM ArchivioEventi WHERE ? = '' OR [Codice periferica] = ? "
                           "ORDER BY ID"),
            {codice, codice});
        QStringList r;
        for (; !rs.eof(); rs.moveNext())
            r << rs.campo(0).toString();
        return r;
    }

    static constexpr const char* Rapporto = "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3";
};

} // namespace sorvela::prova
