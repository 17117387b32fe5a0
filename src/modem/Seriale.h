#pragma once
// What the console asks of the handset before it uses it, and the checks the
// operator starts: the routines above the line object (LineaTelefono) that
// every retrieval, call and settings window share. They return what happened;
// the caller decides what to tell the operator.

#include "modem/LineaTelefono.h"

#include <QString>

#include <functional>
#include <optional>

namespace sorvela {
struct Contesto;
}

namespace sorvela::modem {

// Whether the handset is ready for a retrieval or a call.
struct Prontezza {
    bool pronto = false;
    // Why not, in the operator's words; empty when ready, or when the
    // handset was merely silent (the watch tells that after a few silences).
    QString avviso;
    // The reason is the handset lost (a port that will not open), which the
    // line's watch has told: the jobs of the tick say nothing more, the
    // operator's own command still answers why.
    bool persa = false;
};

// Opens the line when it is closed (an open one is kept: reopening would
// throw away what arrived meanwhile) and sends "AT+CNMI=1,1,0,0,1". Ready
// when the handset answered "OK". A reply cut short is let run out and the
// line brought back in step before it is given back.
Prontezza InizializzaModem(Sessione& s);

// The manual message load ("Carica messaggi"): with the tick suspended,
// InizializzaModem and "ATE0", then the retrieval cycle `letturaMessaggi`
// (none means nothing more is done), which takes the line itself. Nothing is
// read when the handset is not ready, or when a cycle or a call holds the
// line (the cycle running empties the handset anyway).
Prontezza CaricaMessaggi(Contesto& c, const std::function<void()>& letturaMessaggi = {});

// The port check of the settings window: ports 1 to 6 probed with the tick
// suspended, one report line each, each ended by CR LF. Nothing when the
// line is held: the operator is to be told it is busy.
std::optional<QString> VerificaPorte(Contesto& c);

} // namespace sorvela::modem
