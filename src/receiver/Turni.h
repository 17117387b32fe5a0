#pragma once
// The receiver's scheduler, one step a second: watches the line for the
// handset's "+CMTI:" news and messages left by a fault, and in every
// ten-minute slot starts the periodic jobs 5 s (fallback retrieval), 10 s
// (pending interrogations), 15 s (polling) and 20 s (SIM expiry) after the
// slot's start by the clock: each once per slot, in that order, a late one as
// soon as the one before it has ended.
//
// The jobs are hooks: the receiver connects its routines, tests connect
// recorders; a hook left empty does nothing. `passo()` runs one whole step;
// tests call it directly with a virtual clock, so hours take milliseconds.

#include <QDateTime>
#include <QString>
#include <functional>

namespace sorvela {
struct Contesto;
}

namespace sorvela::ricevitore {

class Turni {
public:
    struct Lavori {
        std::function<void()> LetturaMessaggi;
        std::function<void()> ControllaInterrogazioni;
        std::function<void()> InterrogaPeriferiche;
        std::function<void()> ControllaScadenzeSim;
        // Asked before each of the last three (the centre's jobs, by name)
        // with the slot's start: false leaves it to another receiver. Empty:
        // this receiver runs them all.
        std::function<bool(const QString& lavoro, const QDateTime& turno)> PrendiLavoro;
    };

    Turni(Contesto& ctx, Lavori lavori = {});
    Lavori& lavori() { return m_k; }

    // One step. Re-entry (from an event loop running inside a job) is refused.
    void passo();
    bool inCorso() const { return m_inCorso; }

    // Only the line: a retrieval cycle when news or a retry is due. True when
    // it ran one. The receiver calls it as soon as an indication arrives.
    bool sorvegliaLinea();

    // This receiver has just taken the centre's jobs over: this slot's jobs
    // that are past due are looked at again (PrendiLavoro decides, so those
    // another receiver already ran in this slot are not run twice).
    void riprendiTurno();

    static QDateTime inizioTurno(const QDateTime& t);

private:
    void lavoriDelTurno(bool letturaFatta);
    void lavoroDelCentro(const QString& nome, const std::function<void()>& lavoro);
    void esegui(const std::function<void()>& lavoro);

    Contesto& m_ctx;
    Lavori m_k;
    QDateTime m_turno;  // start of the ten-minute slot whose jobs are under way
    int m_prossimo = 0; // the next of that slot's jobs
    QString m_ultimoErrore;
    bool m_inCorso = false;
};

} // namespace sorvela::ricevitore
