#pragma once
// Asking a unit for its state: a short voice call to its GSM number, which
// the unit answers with an SMS report. Between the call and the report the
// interrogation is pending (a row of `InterrogazioniPendenti`); the retry pass
// calls a silent unit again every ten minutes and, after three calls the
// handset accepted, writes the no-answer alarm.
//
// Everything runs on the user-interface thread. A call holds the serial line
// (a modem::Sessione) for its whole length and its waits run the window system,
// so no transaction is ever open across a call: each routine writes after the
// call, in a transaction of its own, all or nothing. A database failure is
// told to the operator here, with the database's own words, and nothing is
// thrown. What the passes say on their own comes as notices, which neither
// wait for the operator nor take the keyboard; what answers the operator's
// button comes in boxes.

#include <QDateTime>
#include <QString>

#include <chrono>

namespace sorvela {

struct Contesto;

namespace interrogazione {

using namespace std::chrono_literals;

// A pending row is called again once it is older than this.
inline constexpr auto EtaRiprova = 10min;
// Calls the handset must accept before a silent unit is reported.
inline constexpr int LimiteTentativi = 3;
// Wait for the handset's answer to each command, and for the unit to drop
// the call.
inline constexpr int AttesaComandoSecondi = 4;
inline constexpr int AttesaChiamataSecondi = 25;

inline const QString ModoManuale = QStringLiteral("Manuale");
inline const QString ModoAutomatico = QStringLiteral("Auto");

inline const QString EtichettaInCorso = QStringLiteral("Interrogazione in corso della periferica ");

} // namespace interrogazione

// Calls the unit of `codice` and hangs up. 0 when the handset accepted the
// dial ("OK"); 1 otherwise, the operator already told what there was to tell.
// A code with no subscriber, or a subscriber without a GSM number, gets 1
// with no serial traffic at all, and so does a line held by a retrieval cycle
// or another call (with a notice saying so): talking on a held line would
// steal its holder's replies.
int ChiamaPeriferica(Contesto& c, const QString& codice);

// Records an accepted call: the unit's pending row is created or restarted
// (now, one call), the "Test" event "Interrogazione manuale della periferica"
// (mode "Manuale") or "Interrogazione automatica della periferica" (any other
// mode) is written and `[Ultima interrogazione]` becomes now, all in one
// transaction. False when the database refused, after telling the operator
// (in a box for "Manuale", else in a notice); then nothing is written.
bool RegistraInterrogazione(Contesto& c, const QString& codice, const QString& modo);

// The no-answer alarm of `codice` for the interrogation sent at `inviata`,
// written only when the subscriber still exists. Joins the caller's
// transaction when one is open. Throws store::ErroreDatabase.
void RegistraMancataRisposta(Contesto& c, const QString& codice, const QDateTime& inviata);

// The retry pass, every ten minutes: each pending row older than ten minutes
// is called again (one more accepted call on the row) or, after three
// accepted calls, turned into the no-answer alarm and dropped. A row whose
// subscriber is gone is dropped without an event. A call the handset does
// not accept changes nothing and is repeated at the next pass.
void ControllaInterrogazioni(Contesto& c);

// The button "Interroga adesso": with the tick suspended, calls the unit and
// records a manual interrogation when the call was accepted. Tells the
// operator when the code has no stored subscriber or no GSM number, since
// the button otherwise seems to do nothing. True when an interrogation was
// recorded.
bool InterrogaAdesso(Contesto& c, const QString& codice);

// What "Interroga adesso" checks before anything is dialled: the code has a
// stored subscriber with a GSM number. Otherwise the operator is told in a
// box and the answer is false.
bool PuoEssereInterrogata(Contesto& c, const QString& codice);

} // namespace sorvela
