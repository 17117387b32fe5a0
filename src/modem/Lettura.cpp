#include "modem/Lettura.h"

#include "core/Numeri.h"
#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "modem/Seriale.h"
#include "modem/pdu/DecodificaPdu.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>

#include <limits>

namespace sorvela::modem {

namespace {

using namespace std::chrono_literals;

constexpr int kAttesaSecondi = 8;
// A handset that keeps announcing messages gets this many listings of each
// state in one cycle; whatever it announces after that waits for the tick.
constexpr int kGiriMassimi = 4;

const QString kIndicazione = QStringLiteral("+CMTI:");

// The final result of a reply, judged on whole lines so that a "+CMGL:" line
// with "OK" inside a name or a "+CMTI:" after the result cannot fool it.
bool risultatoFinale(const QString& testo, Esito* esito)
{
    qsizetype inizio = 0;
    while (inizio < testo.size()) {
        qsizetype fine = inizio;
        while (fine < testo.size() && testo[fine] != u'\r' && testo[fine] != u'\n')
            ++fine;
        if (fine == testo.size())
            return false; // a line still arriving
        const QStringView riga = QStringView(testo).mid(inizio, fine - inizio).trimmed();
        if (riga == u"OK") {
            *esito = Esito::Ok;
            return true;
        }
        if (riga == u"ERROR" || riga.startsWith(u"+CMS ERROR") || riga.startsWith(u"+CME ERROR")) {
            *esito = Esito::Errore;
            return true;
        }
        inizio = fine + 1;
    }
    return false;
}

QTime oraDelGiorno(const Contesto& c)
{
    return (c.orologio ? c.orologio->adesso() : QDateTime::currentDateTime()).time();
}

// The reply without the unsolicited lines a handset may slip into it (a new
// message, a ring). Each goes with the line break before it, so one that
// landed inside the PDU line leaves the PDU whole again.
QString senzaNonRichiesti(QString risposta)
{
    static const QRegularExpression nonRichiesto(
        QStringLiteral("\\r\\n(?:\\+CMTI:|\\+CDSI:|\\+CRING:|RING\\r)[^\\r\\n]*\\r?\\n?"));
    return risposta.remove(nonRichiesto);
}

// One command and its reply. The discard before the command is done here
// rather than by InviaComando because the cycle must see what it throws
// away: a "+CMTI:" that arrived after the previous reply's "OK" is the only
// news of a message that came in meanwhile.
RispostaModem scambia(Contesto& c, const QString& comando)
{
    RispostaModem r;
    const QPointer<QSerialPort> p = c.MSComm1;
    if (!p || !p->isOpen())
        return r;

    QString scartato = QString::fromLatin1(p->readAll());
    while (p->waitForReadyRead(0))
        scartato += QString::fromLatin1(p->readAll());
    r.indicazione = scartato.contains(kIndicazione);

    p->write(comando.toLatin1());
    p->flush();

    // The final result is judged without the unsolicited lines: one that
    // lands inside the "OK" line would otherwise hide it.
    r.testo = RaccogliRisposta(c, DurataAttesa(oraDelGiorno(c), kAttesaSecondi), [&r](const QString& t) {
        return risultatoFinale(senzaNonRichiesti(t), &r.esito);
    });
    r.indicazione = r.indicazione || r.testo.contains(kIndicazione);
    r.testo = senzaNonRichiesti(r.testo);
    if (!risultatoFinale(r.testo, &r.esito))
        r.esito = Esito::Scaduto;
    QString senzaEco = r.testo;
    senzaEco.remove(comando.trimmed());
    r.muta = senzaEco.trimmed().isEmpty();
    return r;
}

// The PDU line of a read reply: what identifies the message itself, with
// its service centre time stamp, whatever else shared the reply.
QString lineaPdu(const QString& risposta)
{
    const QString resto = pdu::DividiRisposta(risposta).pdu;
    return resto.left(resto.indexOf(u'\r')).trimmed();
}

// Whether a read reply carries a whole PDU: hexadecimal only, as long as the
// header's length says. A message garbled on the line would otherwise be
// pinned on nobody and deleted; left in the handset it is read again.
bool pduIntegra(const QString& risposta)
{
    const qsizetype h = risposta.indexOf(QStringLiteral("+CMGR:"));
    if (h < 0)
        return false;
    const qsizetype fineTesta = risposta.indexOf(u'\r', h);
    if (fineTesta < 0)
        return false;
    const QString p = lineaPdu(risposta);
    static const QRegularExpression esadecimale(QStringLiteral("^(?:[0-9A-Fa-f]{2})+$"));
    if (!esadecimale.match(p).hasMatch())
        return false;
    bool ok = false;
    const int lunghezza = risposta.mid(h, fineTesta - h).section(u',', -1).trimmed().toInt(&ok);
    const int centro = p.left(2).toInt(nullptr, 16);
    return !ok || p.size() == 2 * (1 + centro + lunghezza);
}

// Shows the progress window for as long as the cycle runs, however it ends.
class FinestraInCorso {
public:
    explicit FinestraInCorso(Contesto& c) : m_finestra(c.InCorso)
    {
        if (m_finestra)
            m_finestra->mostra(EtichettaLettura);
    }
    ~FinestraInCorso()
    {
        if (m_finestra)
            m_finestra->chiudi();
    }
    FinestraInCorso(const FinestraInCorso&) = delete;
    FinestraInCorso& operator=(const FinestraInCorso&) = delete;

private:
    Avanzamento* m_finestra;
};

} // namespace

RispostaModem ElencaMessaggi(Contesto& c, int stato)
{
    return scambia(c, QStringLiteral("AT+CMGL=%1\r").arg(stato));
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

RispostaModem LeggiMessaggio(Contesto& c, int indice)
{
    return scambia(c, QStringLiteral("AT+CMGR=%1\r").arg(indice));
}

RispostaModem CancellaMessaggio(Contesto& c, int indice)
{
    return scambia(c, QStringLiteral("AT+CMGD=%1\r").arg(indice));
}

CicloLettura::CicloLettura(MostraStatoFn mostraStato)
    : m_mostraStato(std::move(mostraStato))
{
}

RiepilogoLettura CicloLettura::LetturaMessaggi(Contesto& c)
{
    const TickSospeso tick(c);
    RiepilogoLettura riepilogo;
    if (InizializzaModem(c) != 0)
        return riepilogo;
    riepilogo.modemPronto = true;
    const FinestraInCorso inCorso(c);

    // Messages that stay in the handset this cycle: not read again when a
    // later listing shows them, so a fault costs one wait, not one per pass.
    QSet<int> lasciati;
    bool guastoTelefono = false; // a listing, read or deletion did not end in "OK"
    bool fermo = false;          // stop: the handset went silent or the archive refused
    QString erroreArchivio;

    for (int giro = 0; giro < kGiriMassimi && !fermo; ++giro) {
        bool indicazione = false;
        for (const int stato : {0, 1}) {
            const RispostaModem elenco = ElencaMessaggi(c, stato);
            ++riepilogo.elenchi;
            indicazione = indicazione || elenco.indicazione;
            if (!elenco.ok()) {
                // What was listed before the fault is still worth reading.
                guastoTelefono = true;
                if (elenco.muta) {
                    fermo = true;
                    break;
                }
            }
            for (const int indice : EstraiIndici(elenco.testo)) {
                if (fermo) {
                    lasciati.insert(indice);
                    continue;
                }
                if (lasciati.contains(indice))
                    continue;
                RispostaModem m = LeggiMessaggio(c, indice);
                indicazione = indicazione || m.indicazione;
                if (!m.ok() || !pduIntegra(m.testo)) {
                    guastoTelefono = true;
                    lasciati.insert(indice);
                    fermo = m.muta && m.esito == Esito::Scaduto;
                    continue;
                }
                ++riepilogo.letti;

                const QString chiave = QString::number(indice) + u'|' + lineaPdu(m.testo);
                if (!m_registratiDaCancellare.contains(chiave)) {
                    const Registrazione reg = RegistraMessaggio(c, m.testo);
                    // Shown even when the archive refused it: the operator
                    // sees the unit's state now, and the event follows when
                    // the message is read again.
                    if (m_mostraStato)
                        m_mostraStato(reg.codice, pdu::EstraiMittente(m.testo),
                                      pdu::DecodificaSettetti(pdu::EstraiDatiPdu(m.testo)));
                    if (!reg.definitiva()) {
                        erroreArchivio = reg.errore;
                        lasciati.insert(indice);
                        fermo = true; // the next message would meet the same archive
                        continue;
                    }
                    ++(reg.esito == EsitoRegistrazione::Registrato ? riepilogo.registrati : riepilogo.sconosciuti);
                }

                const RispostaModem d = CancellaMessaggio(c, indice);
                indicazione = indicazione || d.indicazione;
                if (d.ok()) {
                    ++riepilogo.cancellati;
                    m_registratiDaCancellare.remove(chiave);
                } else {
                    guastoTelefono = true;
                    m_registratiDaCancellare.insert(chiave);
                    lasciati.insert(indice);
                    fermo = d.muta && d.esito == Esito::Scaduto;
                }
            }
            if (fermo)
                break;
        }
        if (!indicazione)
            break;
    }

    riepilogo.lasciati = int(lasciati.size());
    QStringList avviso;
    if (guastoTelefono)
        avviso << QStringLiteral("Controlla il telefono.");
    if (!erroreArchivio.isEmpty())
        avviso << QStringLiteral("Impossibile registrare i messaggi ricevuti: %1").arg(erroreArchivio);
    if (!lasciati.isEmpty())
        avviso << QStringLiteral("I messaggi non registrati restano nel telefono e saranno letti al prossimo ciclo.");
    if (!avviso.isEmpty()) {
        riepilogo.avviso = true;
        c.messaggi->avvisa(Icona::Avviso, avviso.join(u'\n'));
    }
    return riepilogo;
}

} // namespace sorvela::modem
