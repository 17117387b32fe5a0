#pragma once
// "Ricerca codice": the subscriber picker. A grid of every subscriber in one
// of six orders (a click on a heading switches between them), the current
// row's code, serial number and name, and "Seleziona" to hand the code to the
// window and field named by the context's caller tag.
//
// The picker does not know the other windows: "Seleziona" (or two clicks on
// the grid within 300 ms) emits `consegna` with the tag cut into window and
// field, and the main window puts the code where it belongs. A tag without an
// underscore hands nothing over. The picker then closes.

#include "windows/RicercaCodice.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace sorvela {

struct Contesto;

class Form15 : public QWidget {
    Q_OBJECT
public:
    explicit Form15(Contesto& ctx, QWidget* genitore = nullptr);

    QTableView* DBGrid1() const { return m_griglia; }
    ricerca::ModelloUtenti* modello() const { return m_modello; }
    ricerca::Ordine ordine() const { return m_ordine; }
    QLabel* SSPanel2() const { return m_didascalia; }
    QLabel* SSPanel1(int i) const { return m_etichette[i]; }
    QLineEdit* Text1(int i) const { return m_campi[i]; }
    QTimer* Timer1() const { return m_timer; }

    QSize sizeHint() const override;

    // A click on a heading of the grid.
    void ordinaPer(int colonna);
    void Seleziona();

signals:
    // The window and the field of the caller tag, and the chosen code.
    void consegna(const QString& finestra, const QString& campo, const QString& codice);

private:
    void carica();
    void evidenzia();
    void rigaCorrente();
    void clic();
    void chiudi();

    Contesto& m_ctx;
    ricerca::ModelloUtenti* m_modello;
    ricerca::Ordine m_ordine;
    QTableView* m_griglia;
    QLabel* m_didascalia;
    QLabel* m_etichette[3];
    QLineEdit* m_campi[3];
    QTimer* m_timer;
    bool m_primoClic = false;
    bool m_scelto = false;
    QSize m_dimensione;
};

} // namespace sorvela
