#pragma once
// The serial line to the GSM handset and the AT command exchange.
//
// Every routine works on the line of the running console, Contesto::MSComm1,
// and on Contesto::NumeroPorta; nothing is passed a port handle. All of it runs
// on the user-interface thread: the waits run a local event loop, so timers,
// menus and windows keep working while the console waits for the handset, and
// a wait costs no CPU (it sleeps until the port has data, its limit passes or
// the window system has something to do).
//
// Ownership of the line: the main window creates the QSerialPort, parents it
// and stores it in Contesto::MSComm1 before calling ApriPorta. When MSComm1 is
// still null, ApriPorta/ProvaPorta create one parented to the application
// object so that the line exists for the rest of the run; nobody else creates
// or deletes it.
//
// Port numbers: port N is "COM" + N in every text the operator sees, and names
// the device that Preferenze::dispositivoPorta(N) gives.
//
// Routines that can fail return 0 for success and 1 for failure, and have
// already told the operator whatever there was to tell.

#include <QString>
#include <QTime>
#include <chrono>
#include <functional>

namespace sorvela {
struct Contesto;
}

namespace sorvela::modem {

inline const QString ComandoIndicazioni = QStringLiteral("AT+CNMI=1,1,0,0,1\r");

// Holds the line for the life of the object: a retrieval cycle or a call to a
// unit takes it before its first command. `libera()` tells whether the line
// was free when the object was made; when it was not, nothing is taken and
// the caller must not talk to the handset (the other holder's replies would
// be stolen).
class UsoLinea {
public:
    UsoLinea(Contesto& c, const QString& chi);
    ~UsoLinea();
    UsoLinea(const UsoLinea&) = delete;
    UsoLinea& operator=(const UsoLinea&) = delete;
    bool libera() const { return m_preso; }

private:
    Contesto& m_c;
    bool m_preso = false;
};

// Opens the line on NumeroPorta, closing it first if open, without telling
// anyone: empty when open, otherwise the reason in the operator's words
// ("COM<n> non è una porta valida.", "La porta COM<n> non è disponibile.", or
// that the device is the system's console, which is never opened).
QString ApriLinea(Contesto& c);

// Opens the line on NumeroPorta, closing it first if open. 0 when open; 1 on
// failure, after the reason in a box: "COM<n> non è una porta valida." (no such device, or not a
// serial line) or "La porta COM<n> non è disponibile." (held by another
// program, locked, or not permitted).
int ApriPorta(Contesto& c);

// Opens the line on `porta`, asks the handset for new-message indications and
// returns one report line; no box is shown. The line stays open on `porta`
// when the open succeeded.
QString ProvaPorta(Contesto& c, int porta);

// Probes ports 1 to 6 with the tick suspended and shows the six report lines
// in one box. Leaves the line as the last probe left it.
void VerificaPorte(Contesto& c);

// Throws away everything the line has received so far; a new-message
// indication among it is kept as news (Contesto::modem.messaggiInAttesa).
void SvuotaIngresso(Contesto& c);

// SvuotaIngresso, then writes `comando` (which already ends in CR) and
// remembers it, so that AttendiRisposta takes only its reply.
void InviaComando(Contesto& c, const QString& comando);

// Collects the reply to the command just sent (see Scambio.h: only its own
// reply, the wait ending on its final result or after `secondi` of silence)
// and returns it without echo and unsolicited lines. When it is not "OK" the
// operator gets "Controlla il telefono." in a notice that does not wait.
QString AttendiRisposta(Contesto& c, int secondi);

// Collects input until it contains `atteso`, the limit passes or the operator
// sets AnnullaAttesa (cleared on entry, left as it was when the wait ended).
// A new-message indication among it is kept as news.
void AttendiTesto(Contesto& c, const QString& atteso, int secondi);

// "ATE0": stops the handset echoing commands; the reply is not used.
void DisattivaEco(Contesto& c);

// Opens the line when it is closed (an open one is kept: reopening would
// throw away what arrived meanwhile) and sends "AT+CNMI=1,1,0,0,1". 0 when
// the handset answered "OK"; otherwise 1. Nothing here waits for the
// operator: a port that cannot be opened goes to the line supervisor (or a
// notice where there is none), a handset that refuses gets the notice
// "Controlla il telefono." and "Telefono non rilevato alla porta COM<n>".
int InizializzaModem(Contesto& c);

// The manual message load ("Carica messaggi"): InizializzaModem, then with the
// tick suspended DisattivaEco and the retrieval cycle `letturaMessaggi` (none
// means nothing more is done). Nothing happens after a failed
// InizializzaModem; the operator has been told why.
void CaricaMessaggi(Contesto& c, const std::function<void()>& letturaMessaggi = {});

// Collects what the line delivers, yielding to the window system, until
// `completo` holds for the text so far, `durata` passes, the line has been
// silent for `silenzio` (when not zero: a reply still arriving keeps the wait
// going), the line closes or (when asked) AnnullaAttesa is set. Costs no CPU
// while it waits. The one wait loop of every exchange with the handset.
QString RaccogliRisposta(Contesto& c, std::chrono::milliseconds durata,
                         const std::function<bool(const QString&)>& completo, bool guardaAnnulla = false,
                         std::chrono::milliseconds silenzio = std::chrono::milliseconds::zero());

// How long a wait of `secondi` started at `oraDelGiorno` really lasts: a wait
// counts from the time of day rounded to the whole second and goes on while
// the clock is at most start + secondi, so a 4 s wait started at x.6 lasts
// 4.4 s and one started at x.4 lasts 3.6 s.
std::chrono::milliseconds DurataAttesa(const QTime& oraDelGiorno, int secondi);

} // namespace sorvela::modem
