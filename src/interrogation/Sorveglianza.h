#pragma once
// The two passes the tick starts every ten minutes over the subscribers:
// the polling of monitored units whose test period has run out, and the
// one-time alarm for each SIM card past its expiry date.

#include <chrono>

namespace sorvela {

struct Contesto;

namespace interrogazione {
using namespace std::chrono_literals;
// A unit due within this margin is called now: each unit is called at the
// ten-minute pass nearest its due time rather than at the one after it.
inline constexpr auto MargineInterrogazione = 5min;
} // namespace interrogazione

// Calls every monitored unit with a period of at least one hour whose
// `[Ultima interrogazione]` + period falls before now + 5 minutes (a unit
// never interrogated is due at once) and records each accepted call as an
// automatic interrogation, which starts its next period. A call not accepted
// leaves the unit due for the next pass. The tick is suspended meanwhile:
// each call may last half a minute.
void InterrogaPeriferiche(Contesto& c);

// Writes the "Scadenza SIM" alarm of every unit whose card expired before
// today and was not yet signalled, and marks it signalled, all in one
// transaction: a card expiring today is signalled at the first pass after
// midnight, and never twice.
void ControllaScadenzeSim(Contesto& c);

} // namespace sorvela
