#pragma once
// One AT command and its own reply: what an exchange returns, and the pure
// reading of a reply (LineaTelefono does the talking).
//
// A handset's output is not only replies: it slips unsolicited lines in
// anywhere ("+CMTI:" for a new message, "+CREG:", "RING", "^RSSI:" …), even
// inside a PDU line, and a reply that arrives after its command was given up
// would be taken for the next command's. So every exchange:
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
//   noting a "+CMTI:" as news.

#include <QString>

#include <chrono>

namespace sorvela::modem {

using namespace std::chrono_literals;

// Silence that ends a wait, and the longest a wait lasts however much keeps
// arriving (a listing of a full store at the line rate takes seconds, not
// minutes).
inline constexpr std::chrono::milliseconds SilenzioMassimo = 8s;
inline constexpr std::chrono::milliseconds DurataMassima = 120s;

// Asks the handset to announce each new message with "+CMTI:".
inline const QString ComandoIndicazioni = QStringLiteral("AT+CNMI=1,1,0,0,1");

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
    bool chiusa = false;      // the line was closed, or went away, by the end of the exchange
    bool rifiutata = false;   // another held the line: nothing was sent

    bool ok() const { return esito == Esito::Ok; }
};

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
