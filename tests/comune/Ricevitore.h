#pragma once
// A desk and its receiver on one real database file and one settings file:
// the desk's context with its own connection and recorded boxes, and the
// receiver running on the test's thread, so that it serves the desk's
// requests whenever the test lets the event loop run.

#include "modem/Simulatore.h"
#include "receiver/Ricevitore.h"
#include "receiver/Sportello.h"
#include "comune/ServerDatabase.h"
#include "store/Database.h"

#include <memory>

namespace sorvela::prova {
inline const QString kUnitaSimulata = QStringLiteral("+393351111111");
}

namespace sorvela::comune {

struct ScrivaniaERicevitore : prova::Banco {
    std::unique_ptr<DatabaseDiProva> base;
    std::unique_ptr<store::Database> db;
    std::unique_ptr<ricevitore::Ricevitore> r;

    ScrivaniaERicevitore()
    {
        base = databaseDelBanco(cartella.path(), c);
        db = std::move(base->db);
        c.linea = nullptr; // the desk has none: the handset is the receiver's
    }
    // Starts the receiver on the settings as they are now; its refusal, if any.
    QString avviaRicevitore()
    {
        r = std::make_unique<ricevitore::Ricevitore>(
            ricevitore::Configurazione{.cartellaDati = cartella.path(), .urlDatabase = c.urlDatabase,
                                      .fileImpostazioni = preferenze.percorso(), .orologio = &orologio,
                                      .programma = QStringLiteral("prova")});
        return r->avvia();
    }
    // The receiver's line really talks to the handset behind it.
    bool parla()
    {
        return r->linea().prendi(QStringLiteral("prova")).scambia(QStringLiteral("AT"), std::chrono::seconds(3)).ok();
    }
};

} // namespace sorvela::comune
