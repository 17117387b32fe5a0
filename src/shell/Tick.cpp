#include "shell/Tick.h"

#include "core/DateItaliane.h"
#include "core/Orologio.h"
#include "events/RiempiCoda.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "registry/AnagraficaUtenti.h"
#include "shell/Allarme.h"
#include "shell/MDIForm1.h"
#include "shell/StrisciaStato.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "windows/CodaEventi.h"

#include <QMdiSubWindow>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace sorvela {

namespace {

void chiama(const std::function<void()>& f)
{
    if (f)
        f();
}

} // namespace

Tick::Tick(Contesto& ctx, QObject* genitore)
    : Tick(ctx, {}, genitore)
{
}

Tick::Tick(Contesto& ctx, Collegamenti collegamenti, QObject* genitore)
    : QObject(genitore)
    , m_ctx(ctx)
    , m_k(std::move(collegamenti))
{
    setObjectName(QStringLiteral("Tick"));
}

template <typename F>
void Tick::senzaRientro(F&& lavoro)
{
    if (m_inCorso)
        return;
    m_inCorso = true;
    {
        // No tick may start while this one runs (a window filled from it may
        // run the event loop); the timer restarts however the step ends.
        const TickSospeso fermo(m_ctx);
        lavoro();
    }
    m_inCorso = false;
}

void Tick::passo()
{
    senzaRientro([this] {
        controllaEventiNuovi();
        const QDateTime adesso = m_ctx.orologio->adesso();
        mostraOra(adesso.time());
        m_secondi = static_cast<qint16>((m_secondi + 1) % 60);
        m_minuto = static_cast<qint16>(adesso.time().minute());
    });
}

void Tick::aggiornaCoda()
{
    senzaRientro([this] { controllaEventiNuovi(); });
}

void Tick::controllaEventiNuovi()
{
    if (!m_ctx.db)
        return;
    try {
        const StatoCoda stato = LeggiStatoCoda(*m_ctx.db);
        const bool cambiato = stato.conteggio != m_ctx.NumEventiNuovi || stato.ultimoId != m_ultimoIdCoda;
        if (!cambiato) {
            m_ultimoErrore.clear();
            return;
        }
        const bool nuovo = stato.conteggio > m_ctx.NumEventiNuovi || stato.ultimoId > m_ultimoIdVisto;
        if (nuovo)
            chiama(m_k.suonaAllarme);
        if (!m_ctx.aperte.CodaEventi)
            chiama(m_k.apriCoda);
        if (m_ctx.aperte.AnagraficaUtenti && m_k.codiceAnagrafica && !m_k.codiceAnagrafica().isEmpty())
            chiama(m_k.ricaricaAnagrafica);
        chiama(m_k.portaCodaInPrimoPiano);

        store::RecordSet rs = m_ctx.db->apriRecordSet(QStringLiteral("Coda Query"));
        const bool riempita = m_k.riempiCoda && m_k.riempiCoda(rs);
        // No window took the fill: the count is still what was shown on the
        // strip, or the alert would sound again every second.
        if (!riempita)
            m_ctx.NumEventiNuovi = stato.conteggio;
        m_ultimoIdCoda = stato.ultimoId;
        m_ultimoIdVisto = std::max(m_ultimoIdVisto, stato.ultimoId);
        if (m_k.stampaConteggio)
            m_k.stampaConteggio(EtichettaConteggio + QString::number(m_ctx.NumEventiNuovi));
        m_ultimoErrore.clear();
    } catch (const store::ErroreDatabase& e) {
        segnalaErrore(e);
    }
}

void Tick::mostraOra(const QTime& ora)
{
    if (m_k.stampaOra)
        m_k.stampaOra(date::mostraOra(ora));
}

void Tick::segnalaErrore(const store::ErroreDatabase& e)
{
    // One notice per failure, not one a second while the database stays
    // broken. A server out of reach is one failure, though its words change
    // from one try to the next (refused, cut, shutting down).
    const QString chiave = e.irraggiungibile() ? QStringLiteral("irraggiungibile") : e.messaggio();
    if (chiave == m_ultimoErrore)
        return;
    m_ultimoErrore = chiave;
    // A notice, not a box: the tick goes on while the operator reads it.
    if (m_ctx.messaggi)
        m_ctx.messaggi->notifica(QStringLiteral("tick"), Icona::Errore, e.messaggio());
}

Tick::Collegamenti collegamentiFinestraPrincipale(MDIForm1& m)
{
    Tick::Collegamenti k;
    MDIForm1* finestra = &m;
    auto coda = [finestra] { return qobject_cast<CodaEventi*>(finestra->finestra(QStringLiteral("CodaEventi"))); };
    auto anagrafica = [finestra] {
        return qobject_cast<AnagraficaUtenti*>(finestra->finestra(QStringLiteral("AnagraficaUtenti")));
    };

    k.suonaAllarme = [finestra] { finestra->allarme()->suona(); };
    // Called only while the queue is closed, where reopening is opening: one
    // way to build the window, with its double-click wired, for menu and tick.
    k.apriCoda = [finestra] { finestra->apriCoda(false); };
    k.riempiCoda = [coda](store::RecordSet& rs) {
        CodaEventi* c = coda();
        if (!c)
            return false;
        c->riempi(rs);
        return true;
    };
    k.portaCodaInPrimoPiano = [coda] {
        if (CodaEventi* c = coda())
            c->portaInPrimoPiano();
    };
    k.codiceAnagrafica = [anagrafica] {
        AnagraficaUtenti* a = anagrafica();
        return a ? a->codice() : QString();
    };
    k.ricaricaAnagrafica = [anagrafica] {
        if (AnagraficaUtenti* a = anagrafica())
            a->nuoviEventi();
    };
    k.stampaConteggio = [finestra](const QString& t) {
        finestra->striscia()->pannello(1)->stampa(t, 20, Tick::EtichettaConteggio);
    };
    k.stampaOra = [finestra](const QString& t) {
        finestra->striscia()->pannello(4)->stampa(t, 100, QStringLiteral("88:88"));
    };
    return k;
}

} // namespace sorvela
