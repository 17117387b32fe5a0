#pragma once
// One AT command and its own reply.
//
// A handset's output is not only replies: it slips unsolicited lines in
// anywhere ("+CMTI:" for a new message, "+CREG:", "RING", "^RSSI:" …), even
// inside a PDU line, and a reply that arrives after its command was given up
// would be taken for the next command's. So every exchange here:
// - drains what arrived before the command (a "+CMTI:" in it is news, kept);
// - accepts only the reply that follows its own command: after the echo of
//   the command when the handset echoes, otherwise only what arrived after
//   the command was written;
// - ends on the reply's final result, not on a fixed clock: the wait goes on
//   while bytes keep arriving, ending after `silenzio` without a byte or
//   after two minutes in all;
// - keeps of the reply only the lines of the command's own grammar (its
//   information lines and, for listings and reads, the PDU lines, rejoined
//   when an unsolicited line cut one in two) and takes every other line out,
//   noting a "+CMTI:" as news in Contesto::modem.messaggiInAttesa.
//
// Every exchange also tells the line supervisor (Contesto::sorveglianza)
// whether the handset answered at all, so a handset gone silent is noticed.

#include <QString>

#include <chrono>

namespace sorvela {
struct Contesto;
}

namespace sorvela::modem {

using namespace std::chrono_literals;

// Silence that ends a wait, and the longest a wait lasts however much keeps
// arriving (a listing of a full store at the line rate takes seconds, not
// minutes).
inline constexpr std::chrono::milliseconds SilenzioMassimo = 8s;
inline constexpr std::chrono::milliseconds DurataMassima = 120s;

// How one command's exchange ended.
enum class Esito {
    Ok,      // final "OK"
    Errore,  // "ERROR", "+CMS ERROR: …", "+CME ERROR: …", or a refused call (BUSY, NO CARRIER …)
    Scaduto, // no final result: silence, the two-minute limit, the line closed
};

struct RispostaModem {
    // The reply in a clean form: CR LF, its own lines joined by CR LF, CR LF,
    // the final result, CR LF, e.g. "\r\n+CMGR: 0,,28\r\n0791…\r\n\r\nOK\r\n".
    // Echo and unsolicited lines are out. Empty when nothing of it came.
    QString testo;
    Esito esito = Esito::Scaduto;
    QString finale;           // the final result line as received ("OK", "+CMS ERROR: 321" …)
    bool indicazione = false; // a "+CMTI:" arrived before or during the reply
    bool muta = true;         // nothing came back but (at most) the echo
    bool rumore = false;      // a line of no reply and no network message was dropped: line noise

    bool ok() const { return esito == Esito::Ok; }
};

// Drains, writes `comando` (without CR) and collects its reply.
RispostaModem Scambia(Contesto& c, const QString& comando, std::chrono::milliseconds silenzio = SilenzioMassimo);

// The first half of Scambia: drains what arrived (noting any "+CMTI:") and
// writes the command; the reply is collected by RaccogliRispostaA.
void Scrivi(Contesto& c, const QString& comando);

// The second half: the reply to the command last written.
RispostaModem RaccogliRispostaA(Contesto& c, std::chrono::milliseconds silenzio = SilenzioMassimo);

// Throws away what the line holds now, noting any "+CMTI:" among it. True
// when there was one.
bool SvuotaNotando(Contesto& c);

// Brings the line back in step after an exchange that timed out or got a
// reply that was not its own: waits for the line to fall quiet (what still
// arrives belongs to the abandoned command), sends "AT" and waits for its
// own "OK", then drains. True when the handset answered.
bool RimettiInPasso(Contesto& c);

// Whether `riga` (one whole line, trimmed) is a final result. Calls (ATD)
// also end on BUSY, NO CARRIER, NO ANSWER and NO DIALTONE.
bool RisultatoFinale(const QString& riga, bool chiamata, Esito* esito);

// The reply to `comando` within `ricevuto` (what arrived after it was
// written): the pure part of the exchange, tested on its own. `eco` is the
// handset's echo as known (-1 not known, 0 off, 1 on); when it is on, what
// precedes the echo is somebody else's. `completa` tells whether the final
// result has arrived.
struct Analisi {
    bool completa = false;
    bool ecoTrovata = false;
    bool indicazione = false;
    bool vuota = true; // nothing but the echo (and unsolicited lines)
    RispostaModem risposta;
};
Analisi AnalizzaRisposta(const QString& comando, const QString& ricevuto, int eco);

} // namespace sorvela::modem
