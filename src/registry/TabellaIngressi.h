#pragma once
// The inputs table of the subscriber window, in the frame "Dati Periferica"
// of tab "Impianto": the grid `Ingressi` (in use, event code, zone,
// description, event kind, treatment, number), the hidden grid `Contatore`
// with the type's row behind each grid row, and the box `VisualTutto` that
// switches between all the inputs the type offers and those in use.
//
// Cells are edited through editors laid over the clicked cell and kept over
// it by the 20 ms timer `Timer1`: the panel `SSPanel3` with `Check1`, the text
// boxes `Text2`, `Text1`, `Text3` and the lists `Combo1`, `Combo2`. The views
// and the kept rows are IngressiUtente's; the table settles into the window
// and answers its calls (GanciScheda). Every change the operator makes marks
// the record modified, since the rows in use are kept with it.

#include "registry/IngressiUtente.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace sorvela {

struct Contesto;
class AnagraficaUtenti;

namespace registry {

class TabellaIngressi : public QWidget {
    Q_OBJECT
public:
    TabellaIngressi(Contesto& ctx, AnagraficaUtenti& finestra);

    QList<RigaIngresso> righe() const;
    void mostraRighe(const QList<RigaIngresso>& righe);

    // The box set from outside: nothing happens when it already says so.
    void VisualTutto(bool tutti);
    int colonnaInModifica() const { return m_colonna; }
    int rigaInModifica() const { return m_riga; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void cambiaVista();
    void carica(const QString& codice);
    void apriCella(int riga, int colonna);
    void chiudiEditor();
    QWidget* editor(int colonna) const;
    void segui();
    void scriviCella(const QString& testo);
    void segnaUso(bool si);
    bool trattata(int riga) const;

    Contesto& m_ctx;
    AnagraficaUtenti& m_finestra;
    QCheckBox* m_visualTutto = nullptr;
    QTableWidget* m_griglia = nullptr;
    QTableWidget* m_contatore = nullptr;
    QFrame* m_ssPanel3 = nullptr;
    QCheckBox* m_check1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QPushButton* m_ssCommand4 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QComboBox* m_combo1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QPushButton* m_ssCommand6 = nullptr;
    QTimer* m_timer1 = nullptr;
    int m_colonna = -1;
    int m_riga = 0;
    // The kept rows were read (or there are none to read): only then may a
    // save replace them.
    bool m_letto = true;
};

} // namespace registry
} // namespace sorvela
