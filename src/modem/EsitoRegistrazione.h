#pragma once
// What became of one message handed to the event registration, as the
// retrieval cycle needs to know it: whether the handset may now forget the
// message. The registration itself lives above the modem layer and is handed
// to the cycle as a callable, so the modem library depends on nothing above
// it.

#include <QString>

#include <functional>

namespace sorvela {

struct Contesto;
namespace pdu { struct MessaggioRicevuto; }

// The code that stands for "no subscriber matched".
inline const QString CodiceNessunUtente = QStringLiteral("000000");

enum class EsitoRegistrazione {
    Registrato,          // the event is committed
    MittenteSconosciuto, // no subscriber has the sender's number: kept apart, committed
    Ripetuto,            // this very message is already in the archive, or already kept apart
    Fallito,             // the database refused: nothing written
};

struct Registrazione {
    EsitoRegistrazione esito = EsitoRegistrazione::Fallito;
    QString codice = CodiceNessunUtente; // the matched unit code (also when Fallito), or "000000"
    QString errore;                      // the database's message when Fallito

    // Whether the handset may forget the message: it is either safely in the
    // archive or it belongs to nobody.
    bool definitiva() const { return esito != EsitoRegistrazione::Fallito; }
};

using RegistraFn = std::function<Registrazione(Contesto&, const pdu::MessaggioRicevuto&)>;

} // namespace sorvela
