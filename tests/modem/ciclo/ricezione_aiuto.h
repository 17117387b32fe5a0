#pragma once
// A retrieval cycle as the console runs it: the real registration on a real
// database file with one unit, the simulated handset on a pseudo-terminal,
// and the reports the cycle shows recorded.

#include "comune/ServerDatabase.h"
#include "events/Registrazione.h"
#include "comune/ModoLettura.h"
#include "modem/Lettura.h"
#include "modem/Simulatore.h"
#include "modem/pdu/Messaggio.h"
#include "store/Database.h"

#include <QRegularExpression>

#include <functional>
#include <memory>

namespace sorvela::prova {

const QString kUnita = QStringLiteral("+393351111111");

struct BancoCiclo : BancoConTelefono {
    std::unique_ptr<comune::DatabaseDiProva> base;
    std::unique_ptr<store::Database> db;
    QStringList mostrati;
    std::function<void(int)> dopoMostrato;
    modem::CicloLettura ciclo{[](Contesto& k, const pdu::MessaggioRicevuto& m) { return RegistraMessaggio(k, m); },
                              [this](const QString&, const QString&, const QString& testo) {
                                  mostrati << testo;
                                  if (dopoMostrato)
                                      dopoMostrato(int(mostrati.size()));
                              }};

    explicit BancoCiclo(const QStringList& argomenti = {}) : BancoConTelefono(argomenti)
    {
        base = comune::databaseDelBanco(cartella.path(), c);
        db = std::move(base->db);
        db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)", {kUnita});
    }
    // The cycle, its summary told as the console tells it.
    modem::RiepilogoLettura leggi()
    {
        const modem::RiepilogoLettura r = ciclo.LetturaMessaggi(c);
        if (!r.avviso.isEmpty())
            messaggi.notifica(modem::TipoAvvisoLettura, Icona::Avviso, r.avviso);
        return r;
    }
    QStringList testi()
    {
        QStringList r;
        for (auto rs = db->apriRecordSet("SELECT [Testo messaggio] FROM ArchivioEventi ORDER BY ID"); !rs.eof();
             rs.moveNext())
            r << rs.campo("Testo messaggio").toString();
        return r;
    }
    QStringList memoria() { return sim.comando("list").filter(QRegularExpression("^\\d")); }
    void putpdu(int indice, const QString& pdu) { sim.comando(QStringLiteral("putpdu %1 0 %2").arg(indice).arg(pdu)); }
};

} // namespace sorvela::prova
