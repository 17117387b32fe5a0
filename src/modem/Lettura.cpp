#include "modem/Lettura.h"

#include "core/Numeri.h"
#include "core/Orologio.h"
#include "modem/Seriale.h"
#include "modem/pdu/DecodificaPdu.h"
#include "modem/pdu/Messaggio.h"
#include "platform/Contesto.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <atomic>
#include <limits>

namespace sorvela::modem {

namespace {

// A handset that keeps announcing messages gets this many listings of each
// state in one cycle; what it announces after that is kept as news for the
// next tick.
constexpr int kGiriMassimi = 4;


// The PDU line of a read reply.
QString lineaPdu(const QString& risposta)
{
    const QString resto = pdu::DividiRisposta(risposta).pdu;
    return resto.left(resto.indexOf(u'\r')).trimmed();
}

// One message read whole in this cycle, where it lies in the handset.
struct Letto {
    int indice = 0;
    pdu::MessaggioRicevuto messaggio;
};

// The state of one cycle: what it has done, what it leaves behind.
struct Giro {
    Contesto& c;
    Sessione& s;
    const RegistraFn& registra;
    const MostraStatoFn& mostraStato;
    RiepilogoLettura& riepilogo;
    QSet<int> lasciati;          // stay in the handset; not read again in this cycle
    bool guastoTelefono = false; // an exchange did not end in "OK"
    bool fermo = false;          // stop: the line is out of step, or the archive refuses
    bool elencoDubbio = false;   // the last round's listing was garbled: a message may be hidden
    QString erroreArchivio;

    // After an exchange that got no final result: nothing more is deleted in
    // this cycle, and the line is brought back in step for the next one.
    void fuoriPasso()
    {
        guastoTelefono = true;
        fermo = true;
        s.rimettiInPasso();
    }

    // Registers one message (the parts of a concatenated one together), shows
    // its report and deletes it, `indici` in the order of deletion.
    EsitoRegistrazione gestisci(const pdu::MessaggioRicevuto& m, const QList<int>& indici)
    {
        const Registrazione reg = registra ? registra(c, m) : Registrazione{};
        // Shown even when the archive refused it: the operator sees the unit's
        // state now, and the event follows when the message is read again.
        if (reg.esito != EsitoRegistrazione::Ripetuto && mostraStato)
            mostraStato(reg.codice, m.mittente, m.testo);
        if (!reg.definitiva()) {
            erroreArchivio = reg.errore;
            for (int i : indici)
                lasciati.insert(i);
            fermo = true; // the next message would meet the same archive
            return reg.esito;
        }
        switch (reg.esito) {
        case EsitoRegistrazione::Registrato: ++riepilogo.registrati; break;
        case EsitoRegistrazione::Ripetuto: ++riepilogo.ripetuti; break;
        default: ++riepilogo.sconosciuti; break;
        }
        cancella(indici);
        return reg.esito;
    }

    // Deletes what is safely registered, in the order given.
    void cancella(const QList<int>& indici)
    {
        for (int indice : indici) {
            const RispostaModem d = CancellaMessaggio(s, indice);
            if (d.ok()) {
                ++riepilogo.cancellati;
                continue;
            }
            lasciati.insert(indice);
            if (d.esito == Esito::Scaduto) {
                fuoriPasso();
                return;
            }
            // Refused: the message stays; its identity keeps the next cycle
            // from making it an event twice.
            guastoTelefono = true;
        }
    }
};

// A PDU line: whole octets in hexadecimal, nothing else.
const QRegularExpression& soloEsadecimale()
{
    static const QRegularExpression e(QStringLiteral("^(?:[0-9A-Fa-f]{2})+$"));
    return e;
}

// Whether `pdu` is a whole PDU of the length its header (of a read or a
// listing) gives: the length comes off the line like the rest, so a negative
// or absurd one (no PDU has more than 255 octets) is garbled, and doubling it
// must not overflow.
bool pduDellaLunghezza(const QString& intestazione, const QString& pdu)
{
    if (!soloEsadecimale().match(pdu).hasMatch())
        return false;
    bool ok = false;
    const int lunghezza = intestazione.section(u',', -1).trimmed().toInt(&ok);
    const int centro = pdu.left(2).toInt(nullptr, 16);
    return ok && lunghezza >= 0 && lunghezza <= 255 && pdu.size() == 2 * (1 + centro + lunghezza);
}

// A header line without control characters or bytes beyond ASCII: noise
// inside one makes the entry damaged, and its message is read by index.
bool stampabile(const QString& riga)
{
    for (const QChar c : riga) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

// The key that groups the parts of one concatenated message.
QString chiaveParti(const pdu::MessaggioRicevuto& m)
{
    return m.mittente + u'|' + QString::number(m.riferimento) + u'|' + QString::number(m.parti);
}

} // namespace

RispostaModem ElencaMessaggi(Sessione& s, int stato)
{
    return s.scambia(QStringLiteral("AT+CMGL=%1").arg(stato));
}

QList<int> EstraiIndici(const QString& risposta)
{
    static const QString intestazione = QStringLiteral("+CMGL:");
    QList<int> indici;
    for (qsizetype k = risposta.indexOf(intestazione); k >= 0; k = risposta.indexOf(intestazione, k + 1)) {
        const qsizetype inizio = k + intestazione.size();
        const qsizetype virgola = risposta.indexOf(u',', inizio);
        if (virgola < 0)
            break;
        const QString numero = risposta.mid(inizio, virgola - inizio).trimmed();
        if (numero.isEmpty() || !numero.front().isDigit())
            continue; // index 0 is real, so a missing number must not read as 0
        // Converting a double beyond int's range is undefined; no handset has
        // such an index, so the entry is line noise.
        const double indice = ValoreNumerico(numero);
        if (indice > std::numeric_limits<int>::max())
            continue;
        indici << int(indice);
    }
    return indici;
}

bool ElencoIntegro(const QString& risposta)
{
    // A sound listing is pairs of lines: a "+CMGL:" header with its index
    // and length, then the PDU of that length in hexadecimal. Noise that
    // garbles a header hides its message from EstraiIndici (and the reply's
    // parser may join the PDU lines around it), so anything else makes the
    // listing suspect.
    QString intestazione;
    qsizetype coppie = 0;
    for (QStringView riga : QStringView(risposta).split(u'\n')) {
        riga = riga.trimmed();
        if (riga.isEmpty() || riga == QLatin1String("OK"))
            continue;
        if (intestazione.isEmpty() && riga.startsWith(QLatin1String("+CMGL:"))) {
            intestazione = riga.toString();
            continue;
        }
        if (intestazione.isEmpty() || !pduDellaLunghezza(intestazione, riga.toString()))
            return false;
        intestazione.clear();
        ++coppie;
    }
    return intestazione.isEmpty() && coppie == EstraiIndici(risposta).size();
}

QMap<int, QString> VociElenco(const QString& risposta)
{
    QMap<int, QString> voci;
    QString intestazione;
    for (QStringView riga : QStringView(risposta).split(u'\n')) {
        riga = riga.trimmed();
        if (riga.startsWith(QLatin1String("+CMGL:"))) {
            intestazione = riga.toString();
            continue;
        }
        if (intestazione.isEmpty())
            continue;
        const QString pdu = riga.toString();
        const QList<int> indice = EstraiIndici(intestazione);
        // "+CMGL: <index>,<stat>,[<alpha>],<length>": the read's own header
        // is the same without the index.
        const QString resto = intestazione.section(u',', 1);
        if (indice.size() == 1 && stampabile(intestazione) && pduDellaLunghezza(intestazione, pdu)
            && !voci.contains(indice.first()))
            voci.insert(indice.first(), QStringLiteral("\r\n+CMGR: %1\r\n%2\r\n\r\nOK\r\n").arg(resto, pdu));
        intestazione.clear();
    }
    return voci;
}

RispostaModem LeggiMessaggio(Sessione& s, int indice)
{
    return s.scambia(QStringLiteral("AT+CMGR=%1").arg(indice));
}

RispostaModem CancellaMessaggio(Sessione& s, int indice)
{
    return s.scambia(QStringLiteral("AT+CMGD=%1").arg(indice));
}

bool RispostaLetturaIntera(const QString& risposta)
{
    const qsizetype h = risposta.indexOf(QStringLiteral("+CMGR:"));
    if (h < 0)
        return false;
    const qsizetype fineTesta = risposta.indexOf(u'\r', h);
    if (fineTesta < 0)
        return false;
    return pduDellaLunghezza(risposta.mid(h, fineTesta - h), lineaPdu(risposta));
}

namespace {
std::atomic<bool> g_daElencoPredefinito{true};
}

void CicloLettura::setDaElencoPredefinito(bool si)
{
    g_daElencoPredefinito = si;
}

CicloLettura::CicloLettura(RegistraFn registra, MostraStatoFn mostraStato)
    : m_daElenco(g_daElencoPredefinito)
    , m_registra(std::move(registra))
    , m_mostraStato(std::move(mostraStato))
{
}

RiepilogoLettura CicloLettura::LetturaMessaggi(Contesto& c)
{
    const TickSospeso tick(c);
    RiepilogoLettura riepilogo;
    LineaTelefono& linea = *c.linea;
    Sessione s = linea.prendi(EtichettaLettura);
    if (!s.valida()) {
        // A call or another cycle is talking to the handset: this cycle would
        // steal its replies. The news stays for the next tick.
        linea.segnalaMessaggi();
        return riepilogo;
    }
    const Prontezza pronto = InizializzaModem(s);
    if (!pronto.pronto) {
        linea.setRiprovaLettura(c.orologio->adesso().addSecs(AttesaRiprova.count()));
        if (!pronto.persa)
            riepilogo.avviso = pronto.avviso;
        return riepilogo;
    }
    riepilogo.modemPronto = true;
    const FinestraInCorso inCorso(c.InCorso, EtichettaLettura);

    Giro g{c, s, m_registra, m_mostraStato, riepilogo, {}, false, false, false, {}};
    for (int giro = 0; giro < kGiriMassimi && !g.fermo; ++giro) {
        // What is announced from now on calls for another listing.
        linea.prendiNotizia();
        QSet<int> lettiNelGiro;
        QMap<QString, QList<Letto>> gruppi; // parts of concatenated messages, by message
        QStringList ordineGruppi;
        g.elencoDubbio = false;

        for (const int stato : {0, 1}) {
            const RispostaModem elenco = ElencaMessaggi(s, stato);
            ++riepilogo.elenchi;
            if (elenco.esito == Esito::Scaduto) {
                g.fuoriPasso();
                break;
            }
            if (!elenco.ok()) {
                g.guastoTelefono = true; // refused: nothing listed, the other state may still work
                continue;
            }
            // A garbled listing is listed again in the next round: what it
            // hid may be a message no indication will announce again.
            const bool integro = !elenco.rumore && ElencoIntegro(elenco.testo);
            if (!integro)
                g.elencoDubbio = true;
            // A whole listing already carries every message: each is taken
            // from it, and the line carries each PDU once. A garbled one is
            // trusted for nothing but its indices, each read again.
            const QMap<int, QString> voci = m_daElenco && integro ? VociElenco(elenco.testo) : QMap<int, QString>();
            for (const int indice : EstraiIndici(elenco.testo)) {
                if (g.lasciati.contains(indice) || lettiNelGiro.contains(indice))
                    continue;
                RispostaModem m;
                pdu::MessaggioRicevuto messaggio;
                bool dallElenco = voci.contains(indice);
                for (;;) {
                    if (dallElenco) {
                        m.testo = voci.value(indice);
                        m.esito = Esito::Ok;
                        m.finale = QStringLiteral("OK");
                        m.muta = false;
                    } else {
                        m = LeggiMessaggio(s, indice);
                        ++riepilogo.riletti;
                    }
                    if (!m.ok())
                        break;
                    messaggio = pdu::LeggiMessaggioRicevuto(m.testo);
                    if ((RispostaLetturaIntera(m.testo) && messaggio.valido) || !dallElenco)
                        break;
                    // An entry that looked whole but does not read is read
                    // again by its index, in this cycle.
                    dallElenco = false;
                }
                if (m.esito == Esito::Scaduto) {
                    g.lasciati.insert(indice);
                    g.fuoriPasso();
                    break;
                }
                if (!m.ok()) {
                    // An empty slot (deleted since the listing) is no fault;
                    // anything else leaves the message for the next try.
                    if (m.finale.startsWith(QLatin1String("+CMS ERROR")) && m.finale.endsWith(QLatin1String(" 321")))
                        continue;
                    g.guastoTelefono = true;
                    g.lasciati.insert(indice);
                    continue;
                }
                messaggio.indice = indice;
                if (!RispostaLetturaIntera(m.testo) || !messaggio.valido) {
                    // Garbled on the line: left in the handset, read again.
                    g.guastoTelefono = true;
                    g.lasciati.insert(indice);
                    continue;
                }
                ++riepilogo.letti;
                lettiNelGiro.insert(indice);
                if (messaggio.concatenato()) {
                    const QString chiave = chiaveParti(messaggio);
                    if (!gruppi.contains(chiave))
                        ordineGruppi << chiave;
                    gruppi[chiave].append(Letto{indice, messaggio});
                    continue;
                }
                g.gestisci(messaggio, {indice});
                if (g.fermo)
                    break;
            }
            if (g.fermo)
                break;
        }

        // Concatenated messages: whole ones as one event, the rest part by part.
        for (const QString& chiave : std::as_const(ordineGruppi)) {
            if (g.fermo) {
                for (const Letto& l : gruppi.value(chiave))
                    g.lasciati.insert(l.indice);
                continue;
            }
            QList<Letto> parti = gruppi.value(chiave);
            std::sort(parti.begin(), parti.end(),
                      [](const Letto& a, const Letto& b) { return a.messaggio.parte < b.messaggio.parte; });
            const int attese = parti.front().messaggio.parti;
            bool intero = parti.size() == attese;
            for (int k = 0; intero && k < parti.size(); ++k)
                intero = parti[k].messaggio.parte == k + 1;
            if (!intero) {
                // The first part is deleted last: found again and already an
                // event, it says that the parts beside it were in that event.
                if (parti.front().messaggio.parte == 1
                    && g.gestisci(parti.front().messaggio, {parti.front().indice}) == EsitoRegistrazione::Ripetuto) {
                    QList<int> resto;
                    for (qsizetype k = 1; k < parti.size(); ++k)
                        resto << parti[k].indice;
                    riepilogo.ripetuti += int(resto.size());
                    g.cancella(resto);
                    continue;
                }
                for (const Letto& l : parti) {
                    if (!g.fermo && l.messaggio.parte != 1)
                        g.gestisci(l.messaggio, {l.indice});
                }
                continue;
            }
            QList<pdu::MessaggioRicevuto> messaggi;
            QList<int> indici;
            for (const Letto& l : parti) {
                messaggi << l.messaggio;
                indici << l.indice;
            }
            // The first part goes last: its identity is the event's, so
            // while any part is left in the handset the event is known.
            indici.move(0, indici.size() - 1);
            g.gestisci(pdu::UnisciParti(messaggi), indici);
        }

        if (!linea.messaggiInAttesa() && !g.elencoDubbio)
            break;
    }
    // Still garbled after the last round: the handset or the line is at
    // fault, and the cycle is tried again soon.
    if (g.elencoDubbio)
        g.guastoTelefono = true;

    riepilogo.lasciati = int(g.lasciati.size());
    // Messages left by a fault are tried again soon; a clean cycle clears it.
    if (g.lasciati.isEmpty() && !g.fermo && !g.guastoTelefono)
        linea.setRiprovaLettura(QDateTime());
    else
        linea.setRiprovaLettura(c.orologio->adesso().addSecs(AttesaRiprova.count()));

    QStringList avviso;
    // A handset that went away has been told by the supervisor already:
    // one notice per loss, not one more per cycle.
    const bool persoGiaDetto = linea.stato() != StatoTelefono::Connesso;
    if (g.guastoTelefono && !persoGiaDetto)
        avviso << QStringLiteral("Controlla il telefono.");
    if (!g.erroreArchivio.isEmpty())
        avviso << QStringLiteral("Impossibile registrare i messaggi ricevuti: %1").arg(g.erroreArchivio);
    if ((!g.lasciati.isEmpty() || g.fermo) && !(persoGiaDetto && g.erroreArchivio.isEmpty()))
        avviso << QStringLiteral("I messaggi non registrati restano nel telefono e saranno letti al prossimo ciclo.");
    riepilogo.avviso = avviso.join(u'\n');
    return riepilogo;
}

} // namespace sorvela::modem
