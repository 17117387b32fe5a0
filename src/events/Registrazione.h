#pragma once
// Registering what the units send: every message read from the handset
// becomes one event of its subscriber and settles one pending interrogation,
// and the expiry check adds its own event. All writes of one routine happen
// in one transaction, so an event never exists without the pending row it
// answered being settled, and a failure leaves nothing behind.
//
// Nothing here talks to the operator: a database failure is handed back (or
// thrown, see each routine) for the caller to report, because only the caller
// knows what the failure means for the message at hand, e.g. that it stays in
// the handset to be registered by the next cycle.

#include "modem/EsitoRegistrazione.h"

#include <QString>

namespace sorvela {

namespace pdu { struct MessaggioRicevuto; }

// Registers one message read from the handset. The
// sender is compared with [Telefono GSM fonia] both as received and, when it
// carries "+39", without it; an empty number never matches, so a message
// whose sender could not be read is not pinned on a subscriber who simply
// has no GSM number on file. When several subscribers share the number the
// oldest record wins. The event carries the clock's time, the text without
// its surrounding NULs, and the type and description of the report grammar;
// in the same transaction the subscriber's oldest pending interrogation is
// settled. The event keeps the message's identity: a message whose identity
// is already in the archive writes nothing and comes back Ripetuto, so a
// message read again after a crash is not an event twice. A message whose
// sender matches no subscriber is kept in "MessaggiNonAttribuiti" with its
// time, text, type, description and identity, exactly once likewise, and
// comes back MittenteSconosciuto once it is committed. The transaction
// is always its own: with one already open it writes nothing and fails.
// Never throws.
Registrazione RegistraMessaggio(Contesto& c, const pdu::MessaggioRicevuto& messaggio);

// The same from the handset's whole reply to AT+CMGR. A reply whose PDU
// cannot be read whole is registered with the 7-bit text of whatever user
// data it has, and without an identity.
Registrazione RegistraMessaggio(Contesto& c, const QString& rispostaCmgr);

// Deletes the oldest pending interrogation of `codice`, if any; further rows
// of the same unit stay. Joins the caller's transaction when one is open,
// otherwise runs in its own. Throws store::ErroreDatabase.
void RisolviInterrogazione(Contesto& c, const QString& codice);

// Appends the SIM-expiry alarm of `codice` (which is not checked against the
// subscribers). Joins the caller's transaction when one is open, so the
// expiry pass can mark the subscriber as signalled in the same commit;
// otherwise runs in its own. Throws store::ErroreDatabase.
void RegistraScadenzaSim(Contesto& c, const QString& codice);

} // namespace sorvela
