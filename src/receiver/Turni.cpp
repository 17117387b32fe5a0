#include "receiver/Turni.h"

#include "core/Orologio.h"
#include "modem/LineaTelefono.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"

#include <QScopeGuard>

namespace sorvela::ricevitore {

Turni::Turni(Contesto& ctx, Lavori lavori)
    : m_ctx(ctx)
    , m_k(std::move(lavori))
{
}

void Turni::passo()
{
    if (m_inCorso)
        return;
    m_inCorso = true;
    const auto fine = qScopeGuard([this] { m_inCorso = false; });
    // No step may start while this one runs (the jobs' serial waits run the
    // event loop); the timer restarts however the step ends.
    const TickSospeso fermo(m_ctx);
    const bool letto = sorvegliaLinea();
    lavoriDelTurno(letto);
}

QDateTime Turni::inizioTurno(const QDateTime& t)
{
    const QTime ora = t.time();
    QDateTime inizio = t;
    inizio.setTime(QTime(ora.hour(), ora.minute() - ora.minute() % 10));
    return inizio;
}

void Turni::lavoriDelTurno(bool letturaFatta)
{
    // The jobs of a ten-minute slot are due at fixed offsets from its start
    // and run in order, each once, as soon as its time has come and the one
    // before it has ended. Deadlines come from the clock, not from counting
    // steps: a job that runs for minutes holds the step still, and the jobs
    // after it must still run in its slot, late, rather than not at all.
    static constexpr int kScarti[] = {5, 10, 15, 20};
    QDateTime adesso = m_ctx.orologio->adesso();
    const QDateTime turno = inizioTurno(adesso);
    if (turno != m_turno) {
        // A receiver started after the first minute of a slot waits for the
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
            lavoroDelCentro(QStringLiteral("ControllaInterrogazioni"), m_k.ControllaInterrogazioni);
            break;
        case 2:
            lavoroDelCentro(QStringLiteral("InterrogaPeriferiche"), m_k.InterrogaPeriferiche);
            break;
        default:
            lavoroDelCentro(QStringLiteral("ControllaScadenzeSim"), m_k.ControllaScadenzeSim);
            break;
        }
        adesso = m_ctx.orologio->adesso();
        if (inizioTurno(adesso) != m_turno)
            break; // the next slot starts at the next step, from its first job
    }
}

void Turni::lavoroDelCentro(const QString& nome, const std::function<void()>& lavoro)
{
    if (!lavoro)
        return;
    if (m_k.PrendiLavoro) {
        bool mio = false;
        esegui([&] { mio = m_k.PrendiLavoro(nome, m_turno); });
        if (!mio)
            return;
    }
    esegui(lavoro);
}

void Turni::riprendiTurno()
{
    if (m_turno.isValid() && m_prossimo > 1)
        m_prossimo = 1;
}

bool Turni::sorvegliaLinea()
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

void Turni::esegui(const std::function<void()>& lavoro)
{
    if (!lavoro)
        return;
    try {
        lavoro();
        m_ultimoErrore.clear();
    } catch (const store::ErroreDatabase& e) {
        // A server out of reach is one failure, whatever words each try brings.
        const QString chiave = e.irraggiungibile() ? QStringLiteral("irraggiungibile") : e.messaggio();
        if (chiave != m_ultimoErrore && m_ctx.messaggi)
            m_ctx.messaggi->notifica(QStringLiteral("tick"), Icona::Errore, e.messaggio());
        m_ultimoErrore = chiave;
    } catch (const std::exception& e) {
        const QString testo = QString::fromUtf8(e.what());
        if (testo != m_ultimoErrore && m_ctx.messaggi)
            m_ctx.messaggi->notifica(QStringLiteral("tick"), Icona::Errore, testo);
        m_ultimoErrore = testo;
    }
}

} // namespace sorvela::ricevitore
