#pragma once
// The status report window "Messaggio ricevuto": a small window above all
// others that shows the last report a unit sent. It is made by the first
// report, each further report replaces its whole content, and "Chiudi"
// destroys it; the next report makes a new one where the last one stood. It
// never takes the keyboard from the window the operator is typing in.

#include "events/StatoRapporto.h"

#include <QPixmap>
#include <QWidget>

class QLabel;
class QPushButton;

namespace sorvela {

// The two picture strips, drawn by our own code: a battery whose fill and
// colour follow the charge, and an antenna with a five-bar graph. Cell 6
// (and any cell outside 0..6) is the bare grey ground.
QPixmap CellaPclipBattery(int cella);
QPixmap CellaPclipAntenna(int cella);

class frmStato : public QWidget {
    Q_OBJECT
public:
    explicit frmStato(QWidget* genitore = nullptr);

    // Replaces every line and picture with `s`.
    void mostra(const ContenutoStato& s);

    QLabel* labelCodice() const { return m_labelCodice; }
    QLabel* imgBattery() const { return m_imgBattery; }
    QLabel* imgAntenna() const { return m_imgAntenna; }
    QLabel* labelCredito() const { return m_labelCredito; }
    QLabel* labelRete() const { return m_labelRete; }
    QLabel* labelSIM() const { return m_labelSIM; }
    QLabel* labelSW() const { return m_labelSW; }
    QPushButton* cmdChiudi() const { return m_cmdChiudi; }

    // Which cell each picture shows, for whoever checks the window.
    int cellaBatteria() const { return m_cellaBatteria; }
    int cellaAntenna() const { return m_cellaAntenna; }

protected:
    void moveEvent(QMoveEvent* e) override;

private:
    QLabel* m_labelCodice;
    QLabel* m_imgBattery;
    QLabel* m_imgAntenna;
    QLabel* m_labelCredito;
    QLabel* m_labelRete;
    QLabel* m_labelSIM;
    QLabel* m_labelSW;
    QPushButton* m_cmdChiudi;
    int m_cellaBatteria = kCellaNonRiportata;
    int m_cellaAntenna = kCellaNonRiportata;
};

// Shows the report of one message in the window, making the window if it is
// not there; a text without report fields leaves everything as it was. Not
// modal: the caller carries on at once.
void MostraStato(Contesto& c, const QString& codice, const QString& mittente, const QString& testo);

// The window as it stands, or null when no report is on screen.
frmStato* FinestraStato();

} // namespace sorvela
