#pragma once
// What the status report window shows for one message, worked out without
// any widget: the four heading lines, which battery and antenna cell to
// show, and the credit, network, SIM and software lines with the credit's
// emphasis. The window only copies this onto its labels.

#include <QString>
#include <QtGlobal>

#include <optional>

namespace sorvela {

struct Contesto;

// Each picture strip has seven cells, 0 at the top. Cell 6 stands for "not
// reported": it is also what a value outside the strip's range shows, so a
// unit that reports nonsense is never drawn as a healthy one.
inline constexpr int kCelleStriscia = 7;
inline constexpr int kCellaNonRiportata = 6;

// Battery level in steps of 20 centred on the marks: 0-9 cell 0, 10-29
// cell 1 ... 90-109 cell 5; 110-129 (the missing-field value 120 among them)
// cell 6, and so is anything below -29 or above 129.
int CellaBatteria(qint16 livello);
// Signal 0-5 is its own cell; anything else, the missing field included, 6.
int CellaAntenna(qint16 segnale);

struct ContenutoStato {
    QString intestazione; // unit, time of display, sender, subscriber: four lines
    int cellaBatteria = kCellaNonRiportata;
    int cellaAntenna = kCellaNonRiportata;
    QString credito;
    bool creditoScarso = false; // shown bold red
    QString rete;
    QString sim;
    QString versione;
};

// The window's content for a message, or nothing when the text carries none
// of the report's state (an alarm text, for instance). `codice` is the unit
// code the registration found ("000000" when none), `mittente` the sender as
// read from the PDU, `testo` the decoded text with its NULs. The subscriber
// line comes from the database; if the database cannot be read the line is
// left empty rather than losing the report.
std::optional<ContenutoStato> ComponiStato(Contesto& c, const QString& codice, const QString& mittente,
                                           const QString& testo);

} // namespace sorvela
