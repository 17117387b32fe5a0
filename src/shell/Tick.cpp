#include "shell/Tick.h"

#include "core/DateItaliane.h"
#include "core/Orologio.h"
#include "events/RiempiCoda.h"
#include "modem/LineaTelefono.h"
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

void Tick::passo()
{
    if (m_inCorso)
        return;
    m_inCorso = true;
    {
        // No tick may start while this one runs (the jobs' serial waits run
        // the event loop); the timer restarts however the step ends.
        const TickSospeso fermo(m_ctx);

        controllaEventiNuovi();

        const QDateTime adesso = m_ctx.orologio->adesso();
        mostraOra(adesso.time());
        m_secondi = static_cast<qint16>((m_secondi + 1) % 60);
        m_minuto = static_cast<qint16>(adesso.time().minute());

        const bool letto = sorvegliaLinea();
        lavoriDelTurno(letto);
    }
    m_inCorso = false;
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
        segnalaErrore(e.messaggio());
    }
}

void Tick::mostraOra(const QTime& ora)
{
    if (m_k.stampaOra)
        m_k.stampaOra(date::mostraOra(ora));
}

QDateTime Tick::inizioTurno(const QDateTime& t)
{
    const QTime ora = t.time();
    QDateTime inizio = t;
    inizio.setTime(QTime(ora.hour(), ora.minute() - ora.minute() % 10));
    return inizio;
}

void Tick::lavoriDelTurno(bool letturaFatta)
{
    // The jobs of a ten-minute slot are due at fixed offsets from its start
    // and run in order, each once, as soon as its time has come and the one
    // before it has ended. Deadlines come from the clock, not from counting
    // ticks: a job that runs for minutes holds the tick still, and the jobs
    // after it must still run in its slot, late, rather than not at all.
    static constexpr int kScarti[] = {5, 10, 15, 20};
    QDateTime adesso = m_ctx.orologio->adesso();
    const QDateTime turno = inizioTurno(adesso);
    if (turno != m_turno) {
        // A console started after the first minute of a slot waits for the
        // next one, as the slot's jobs belong to its first minute.
        const bool avvio = !m_turno.isValid();
        m_turno = turno;
        m_prossimo = avvio && adesso >= turno.addSecs(60) ? int(std::size(kScarti)) : 0;
    }
    while (m_prossimo < int(std::size(kScarti)) && adesso >= m_turno.addSecs(kScarti[m_prossimo])) {
        switch (m_prossimo++) {
        case 0:
            // The fallback retrieval: for messages no indication announced.
            if (!letturaFatta && m_ctx.linea && m_ctx.linea->aperta())
                esegui(m_k.LetturaMessaggi);
            break;
        case 1:
            esegui(m_k.ControllaInterrogazioni);
            break;
        case 2:
            esegui(m_k.InterrogaPeriferiche);
            break;
        default:
            esegui(m_k.ControllaScadenzeSim);
            break;
        }
        adesso = m_ctx.orologio->adesso();
        if (inizioTurno(adesso) != m_turno)
            break; // the next slot starts at the next tick, from its first job
    }
}

bool Tick::sorvegliaLinea()
{
    modem::LineaTelefono* linea = m_ctx.linea;
    if (!linea || !linea->aperta())
        return false;
    // Everything received so far is taken: nothing else is waiting for it
    // while the line is free. A new-message indication in it becomes news,
    // and news stays until a retrieval cycle has served it, so one that came
    // after a cycle's last listing is served now.
    linea->svuota();
    const QDateTime riprova = linea->riprovaLettura();
    const bool riprovaDovuta = riprova.isValid() && m_ctx.orologio->adesso() >= riprova;
    if (!linea->messaggiInAttesa() && !riprovaDovuta)
        return false;
    esegui(m_k.LetturaMessaggi);
    return true;
}

void Tick::esegui(const std::function<void()>& lavoro)
{
    if (!lavoro)
        return;
    try {
        lavoro();
    } catch (const store::ErroreDatabase& e) {
        segnalaErrore(e.messaggio());
    } catch (const std::exception& e) {
        segnalaErrore(QString::fromUtf8(e.what()));
    }
}

void Tick::segnalaErrore(const QString& testo)
{
    // One box per failure, not one a second while the database stays broken.
    if (testo == m_ultimoErrore)
        return;
    m_ultimoErrore = testo;
    // A notice, not a box: the tick goes on while the operator reads it.
    if (m_ctx.messaggi)
        m_ctx.messaggi->notifica(QStringLiteral("tick"), Icona::Errore, testo);
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
