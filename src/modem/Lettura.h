#pragma once
// The retrieval cycle: empties the handset's message store into the event
// archive. It lists the received messages (unread, then read), reads each
// one with "AT+CMGR" (or, switched to it, takes each from a whole listing),
// registers it, shows its report and deletes it from the handset.
//
// What the cycle promises, in the order of importance:
// - No message is lost. A message leaves the handset only after it came
//   whole (in a whole listing, or a read with its "+CMGR:" header and one
//   whole PDU line, of the length that header gives) and its
//   event was committed, or after it was found to come from no known unit or
//   to be an event already. Nothing is deleted after an exchange that timed
//   out or got a reply that was not its own: the line is brought back in
//   step and the cycle ends; the next one starts clean.
// - Each message is one event, once. Every event keeps its message's
//   identity, so a message read again (the console stopped between the
//   commit and the deletion) is deleted without a second event.
// - Every listed message is read, whatever its index and however long the
//   listing, in the order the handset listed them. The parts of a
//   concatenated message listed together are one event; a part whose
//   siblings are not in the store is registered alone.
// - A new-message indication ("+CMTI:") seen anywhere, in a reply or between
//   two commands, makes the cycle list the store again (a few times at
//   most); one that comes after the last listing is kept as news, and the
//   next tick runs another cycle.
// - A fault is summed up once per cycle, never once per message, for the
//   caller to tell the operator; messages left in the handset are tried
//   again in 30 seconds, not at the ten-minute sweep.
//
// The cycle holds the line (a Sessione) for its whole length, with the tick
// suspended; its waits run the event loop, so other windows keep working
// meanwhile.

#include "modem/EsitoRegistrazione.h"
#include "modem/LineaTelefono.h"

#include <QList>
#include <QMap>
#include <QString>

#include <functional>

namespace sorvela {
struct Contesto;
}

namespace sorvela::modem {

inline const QString EtichettaLettura = QStringLiteral("Lettura messaggi in corso");

// How long messages left in the handset by a fault wait before the next try.
inline constexpr std::chrono::seconds AttesaRiprova{30};

// "AT+CMGL=<stato>".
RispostaModem ElencaMessaggi(Sessione& s, int stato);

// The indices of a listing reply in the order listed: the number between
// each "+CMGL:" and the following ",". Index 0 is an index like any other;
// an entry without a number is left out. A listing of any length is whole.
QList<int> EstraiIndici(const QString& risposta);
// True when every line of a listing is a "+CMGL:" header with a readable
// index or a hexadecimal PDU, one PDU to each header.
bool ElencoIntegro(const QString& risposta);

// Each entry of a listing whose header and PDU are whole, as the reply of a
// read of that index ("+CMGR: <stat>,,<length>", the PDU, "OK"), by index.
// A damaged or cut entry is left out: that index is read with "AT+CMGR".
QMap<int, QString> VociElenco(const QString& risposta);

// "AT+CMGR=<indice>".
RispostaModem LeggiMessaggio(Sessione& s, int indice);

// "AT+CMGD=<indice>", waiting for the handset's confirmation, so that a
// refused deletion is known and the handset is ready for the next command.
RispostaModem CancellaMessaggio(Sessione& s, int indice);

// Whether a read reply carries its "+CMGR:" header and one whole PDU line,
// hexadecimal and as long as the header says.
bool RispostaLetturaIntera(const QString& risposta);

// Shows a message's status report: unit code ("000000" for nobody), sender
// number, decoded text. The main window connects it to MostraStato.
using MostraStatoFn = std::function<void(const QString& codice, const QString& mittente, const QString& testo)>;

struct RiepilogoLettura {
    bool modemPronto = false; // false: the line was busy or the handset not ready
    int elenchi = 0;          // listings sent
    int letti = 0;            // messages taken whole, from the listing or read
    int riletti = 0;          // "AT+CMGR" reads sent (a listing not whole, a damaged entry, or the switch off)
    int registrati = 0;       // events committed
    int ripetuti = 0;         // already events (read again after a crash): deleted without a second
    int sconosciuti = 0;      // from no known unit, kept apart and deleted
    int cancellati = 0;       // deletions the handset confirmed
    int lasciati = 0;         // known to stay in the handset for the next try
    // What the operator is to be told, in a notice of kind TipoAvvisoLettura
    // that does not wait for OK; empty when all went well, or when the only
    // fault is the handset lost, which its watch tells.
    QString avviso;
};

inline const QString TipoAvvisoLettura = QStringLiteral("lettura");

class CicloLettura {
public:
    // `registra` turns a message into an event (the event registration,
    // handed down by the shell); `mostraStato` shows its report.
    explicit CicloLettura(RegistraFn registra, MostraStatoFn mostraStato = {});

    // The whole cycle: takes the line (a cycle or a call already holding it
    // makes this one a no-op that leaves the news for the next tick), makes
    // sure the handset is ready ("AT+CNMI=1,1,0,0,1"), shows the progress
    // window labelled "Lettura messaggi in corso" when there is one, lists,
    // reads, registers, shows and deletes. Messages left in the handset by a
    // fault set the line's riprovaLettura for a retry in 30 seconds.
    RiepilogoLettura LetturaMessaggi(Contesto& c);

    // Each message is taken from a whole listing, and the line carries its
    // PDU once; only an entry the listing damaged or cut is read again with
    // "AT+CMGR". Off, every listed index is read again: the old way, kept so
    // that the benchmark can compare the two and the reception tests can run
    // each way. Nothing else turns it off.
    void setDaElenco(bool si) { m_daElenco = si; }
    // The way the cycles made from now on take their messages.
    static void setDaElencoPredefinito(bool si);

private:
    bool m_daElenco;
    RegistraFn m_registra;
    MostraStatoFn m_mostraStato;
};

} // namespace sorvela::modem
