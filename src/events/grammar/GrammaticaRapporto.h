#pragma once
// How the console reads the text a unit sends. A status report states the
// unit's credit, battery, signal, network, SIM and software version as
// keyword/value pairs in any order; any other text (an alarm written by the
// unit) carries none of them. Keywords are found case-insensitively, first
// occurrence only; values are cut from the text as received.
//
// Every routine takes the text as decoded, NUL characters at its ends
// included, and returns a value for any text whatsoever.

#include <QString>
#include <QtGlobal>

namespace sorvela::grammar {

// Values a unit never reports, so a missing field can be told apart; both
// also pass every fault threshold, so a missing field is never a fault.
inline constexpr qint16 kBatteriaAssente = 120;
inline constexpr qint16 kSegnaleAssente = 6;

// The characters between the keyword and its terminator, blanks included;
// empty when either is missing.
QString EstraiCredito(const QString& testo);    // "credito:" … ";"
QString EstraiRete(const QString& testo);       // "rete " … ";"
QString EstraiSim(const QString& testo);        // "sim " … ";"
QString EstraiVersioneSw(const QString& testo); // "sw:" … "."

// The number right after "liv. batt." (blanks allowed before it), rounded
// half to even; kBatteriaAssente without the keyword.
qint16 EstraiLivelloBatteria(const QString& testo);

// The number between "segnale" and the following "/5", rounded half to even;
// kSegnaleAssente when either is missing.
qint16 EstraiSegnale(const QString& testo);

// 50 when the credit text holds "N/D" (the network did not say; upper case
// only), otherwise its numeric reading; 0 without a credit field.
float ImportoCredito(const QString& testo);

// "Test" for a complete report with every value above its threshold,
// "Allarme" when any value is at or below it (credit 2.5, battery 20,
// signal 2), the empty text for a healthy text that lacks one of the words
// "credito", "rete", "segnale".
QString ClassificaEvento(const QString& testo);

// "Stato regolare" for a "Test"; for an "Allarme" the fault phrases in a
// fixed order (battery, signal, credit); empty otherwise.
QString DescriviEvento(const QString& testo);

// Everything above read at once, for callers that show the whole report.
struct Rapporto {
    QString credito;
    float importoCredito = 0.0f;
    QString rete;
    QString sim;
    QString versioneSw;
    qint16 batteria = kBatteriaAssente;
    qint16 segnale = kSegnaleAssente;
    QString tipo;
    QString descrizione;
};

Rapporto LeggiRapporto(const QString& testo);

} // namespace sorvela::grammar
