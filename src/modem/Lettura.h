#pragma once
// The retrieval cycle: empties the handset's message store into the event
// archive. It lists the received messages (unread, then read), reads each
// one, registers it, shows its report and deletes it from the handset.
//
// What the cycle promises, in the order of importance:
// - No message is lost. A message leaves the handset only after its read
//   ended in a final "OK" and its event was committed, or after it was found
//   to come from no known unit. A read that was cut short or refused, or an
//   archive that refused the event, leaves it in the handset for the next
//   cycle, and the operator is told once per cycle, never once per message.
// - Every listed message is read, whatever its index and however long the
//   listing, in the order the handset listed them.
// - A new-message indication ("+CMTI:") seen anywhere while the cycle holds
//   the line, in a reply or in what arrived between two commands, makes the
//   cycle list the store again before it ends (a few times at most), so a
//   message that arrives while another is being read is registered now and
//   not at the next poll.
// - A message whose event was committed but whose deletion the handset did
//   not confirm is remembered, so a later cycle deletes it without writing
//   its event twice.
//
// The cycle runs on the user-interface thread with the tick suspended; its
// waits run the window system, so other windows keep working meanwhile.

#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace sorvela {
struct Contesto;
}

namespace sorvela::modem {

inline const QString EtichettaLettura = QStringLiteral("Lettura messaggi in corso");

// How one command's exchange ended.
enum class Esito {
    Ok,      // final "OK"
    Errore,  // final "ERROR", "+CMS ERROR: …" or "+CME ERROR: …"
    Scaduto, // no final result within the wait (or the line is closed)
};

struct RispostaModem {
    QString testo;            // what came back for the command, echo included, unsolicited lines taken out
    Esito esito = Esito::Scaduto;
    bool indicazione = false; // a "+CMTI:" arrived before or during the reply
    // Nothing but (at most) the echo came back: the handset is not answering.
    bool muta = true;

    bool ok() const { return esito == Esito::Ok; }
};

// "AT+CMGL=<stato>", waiting up to 8 s.
RispostaModem ElencaMessaggi(Contesto& c, int stato);

// The indices of a listing reply in the order listed: the number between
// each "+CMGL:" and the following ",". Index 0 is an index like any other;
// an entry without a number is left out. A listing of any length is whole.
QList<int> EstraiIndici(const QString& risposta);

// "AT+CMGR=<indice>", waiting up to 8 s.
RispostaModem LeggiMessaggio(Contesto& c, int indice);

// "AT+CMGD=<indice>", waiting up to 8 s for the handset's confirmation, so
// that a refused deletion is known and the handset is ready for the next
// command.
RispostaModem CancellaMessaggio(Contesto& c, int indice);

// Shows a message's status report: unit code ("000000" for nobody), sender
// number, decoded text. The main window connects it to MostraStato.
using MostraStatoFn = std::function<void(const QString& codice, const QString& mittente, const QString& testo)>;

struct RiepilogoLettura {
    bool modemPronto = false; // false: InizializzaModem failed and told the operator
    int elenchi = 0;          // listings sent
    int letti = 0;            // reads that ended in "OK"
    int registrati = 0;       // events committed
    int sconosciuti = 0;      // from no known unit, deleted without an event
    int cancellati = 0;       // deletions the handset confirmed
    int lasciati = 0;         // known to stay in the handset for the next cycle
    bool avviso = false;      // the operator was told something went wrong
};

class CicloLettura {
public:
    explicit CicloLettura(MostraStatoFn mostraStato = {});

    // The whole cycle: reopens the line ("AT+CNMI=1,1,0,0,1"), shows the
    // progress window labelled "Lettura messaggi in corso" when there is one,
    // lists, reads, registers, shows and deletes. When the modem does not
    // answer the initialisation nothing else happens.
    RiepilogoLettura LetturaMessaggi(Contesto& c);

private:
    MostraStatoFn m_mostraStato;
    // Committed but not confirmed deleted: "<index>|<PDU>".
    QSet<QString> m_registratiDaCancellare;
};

} // namespace sorvela::modem
