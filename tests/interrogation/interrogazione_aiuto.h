#pragma once
// A console with a database and the simulated handset on COM1, on which the
// interrogation tests stand. Calls last a few milliseconds (the handset
// drops them at once) and the clock only moves when told.

#include "comune/Banco.h"
#include "events/Registrazione.h"
#include "modem/Lettura.h"
#include "modem/Simulatore.h"


namespace sorvela::prova {

inline const QString Rapporto = QStringLiteral("credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3");

struct BancoChiamate : comune::Banco {
    Simulatore sim;
    modem::LineaTelefono linea{[this](int n) { return pref.dispositivoPorta(n); }};

    explicit BancoChiamate(int fineChiamataMs = 20)
        : sim({QStringLiteral("--delay-nocarrier"), QString::number(fineChiamataMs)})
    {
        pref.setDispositivoPorta(1, sim.percorso());
        ctx.linea = &linea;
    }
    // Code, GSM number, monitored, period, last interrogation, card expiry, expiry told.
    void utente(const QString& codice, const QVariant& gsm, bool monitorato = false, double periodo = 0,
                const QVariant& ultima = {}, const QVariant& scadenza = {}, bool segnalata = false)
    {
        ctx.db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia], [Monitoraggio], [Periodo], "
                       "[Ultima interrogazione], [Scadenza carta], [Scadenza segnalata]) VALUES (?, ?, ?, ?, ?, ?, ?)",
                       {codice, gsm, monitorato, periodo, ultima, scadenza, segnalata});
    }
    // A unit that answers every call to `numero` with `testo` by SMS.
    void unita(const QString& numero, const QString& testo = Rapporto)
    {
        sim.comando(QStringLiteral("unit %1 5 %2").arg(numero, testo));
    }
    // The numbers dialled since the last look.
    QStringList chiamati()
    {
        QStringList r;
        for (const QString& l : sim.storia())
            if (l.startsWith(QLatin1String("ATD")))
                r << l.mid(3).chopped(1);
        return r;
    }
    // One retrieval cycle, as the tick runs it.
    void leggiMessaggi()
    {
        const modem::RiepilogoLettura r =
            modem::CicloLettura([](Contesto& c, const pdu::MessaggioRicevuto& m) { return RegistraMessaggio(c, m); })
                .LetturaMessaggi(ctx);
        if (!r.avviso.isEmpty())
            msg.notifica(modem::TipoAvvisoLettura, Icona::Avviso, r.avviso);
    }
    // One query's rows, each as its columns joined by "|".
    QStringList righe(const QString& sql, const QVariantList& p = {})
    {
        QStringList r;
        for (auto rs = ctx.db->apriRecordSet(sql, p); !rs.eof(); rs.moveNext()) {
            QStringList campi;
            for (int i = 0; i < rs.nomiCampi().size(); ++i) {
                const QVariant v = rs.campo(i);
                campi << (v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().toString("yyyy-MM-dd HH:mm:ss")
                                                                     : v.toString());
            }
            r << campi.join('|');
        }
        return r;
    }
};

} // namespace sorvela::prova
