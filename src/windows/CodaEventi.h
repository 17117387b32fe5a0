#pragma once
// "Eventi nuovi": the operator's in-tray. A grid of every event not yet
// archived (alarms red, the rest blue), "Archivia" to archive them, "Tacita"
// to silence the alert while leaving them queued, and `Esci` to close. It opens by itself when the number of new events changes, and
// from the menu. Double-clicking a row asks for that unit's subscriber record
// through `apriUtente`; the main window, which knows the subscriber window,
// answers it.
//
// The window is only the view: filling is RiempiCoda, archiving ArchiviaCoda.

#include <QList>
#include <QWidget>

class QFontMetrics;
class QPushButton;
class QTableWidget;

namespace sorvela {

struct Contesto;
class Cornice;
namespace store { class RecordSet; }

class CodaEventi : public QWidget {
    Q_OBJECT
public:
    // Loads the window: headings and column widths, the first fill from
    // `Coda Query`, the open flag. The remembered position and the default
    // size are applied when it first shows inside its MDI sub-window.
    explicit CodaEventi(Contesto& ctx, QWidget* genitore = nullptr);
    ~CodaEventi() override;

    QTableWidget* Coda() const { return m_coda; }
    QPushButton* Command1() const { return m_archivia; }
    QPushButton* Esci() const { return m_esci; }
    Cornice* cornice() const { return m_cornice; }

    // Refills the grid from an open `Coda Query` set (the tick's), closing it.
    void riempi(store::RecordSet& rs);
    // Brings the queue in front of the other operator windows without taking
    // the keyboard from whatever the operator is typing into.
    void portaInPrimoPiano();

    // The highest event ID the grid has shown; "Archivia" stops there.
    qint64 ultimoIdMostrato() const { return m_ultimoIdMostrato; }

    // "Archivia", "Tacita" and `Esci`, callable as the buttons are clicked.
    void archivia();
    void tacita();
    void esci();
    QPushButton* cmdTacita() const { return m_tacita; }

signals:
    // "Tacita" was recorded: the alert stops until the next new event. The
    // events stay in the queue.
    void tacitato();
    // The code in column 0 of the double-clicked row (possibly empty).
    void apriUtente(const QString& codice);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void impostaColonne();
    void disponi(const QSize& internoPixel);
    void riempiDaQuery();
    void chiudiFinestra();

    Contesto& m_ctx;
    Cornice* m_cornice;
    QTableWidget* m_coda;
    QPushButton* m_archivia;
    QPushButton* m_esci;
    QPushButton* m_tacita;
    qint64 m_ultimoIdMostrato = 0;
    bool m_geometriaApplicata = false;
    bool m_chiusa = false;
};

// Widths of the queue's four columns in pixels for a grid `disponibile`
// pixels wide: "Codice" (or "000000", if wider) + 120 twips, 4 x "Abcdefghij",
// 4 x "Abcdefghijklmn", "00/00/0000 00.00.00" + 120 twips in the window's
// font, the first and last with the cell's text margins added; the two text
// columns are narrowed in proportion when the four do not fit.
QList<int> larghezzeColonne(const QFontMetrics& fm, int disponibile, int margineCella = 0);

} // namespace sorvela
