#pragma once
// "Registro operazioni": the record of what the operators did, newest first,
// filtered by a range of days, an operator and an action, printed or written
// to a PDF the way the history is. Read-only: nothing here changes a row.

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace sorvela {

struct Contesto;

class FinestraRegistro : public QWidget {
    Q_OBJECT
public:
    explicit FinestraRegistro(Contesto& c, QWidget* genitore = nullptr);
    QSize sizeHint() const override;

    // Reads the record with the filters on screen.
    void cerca();
    void stampa();

    QTableWidget* griglia() const { return m_griglia; }

private:
    void chiudi();

    Contesto& m_ctx;
    QLineEdit* m_dal;
    QLineEdit* m_al;
    QComboBox* m_operatore;
    QComboBox* m_azione;
    QTableWidget* m_griglia;
    QLabel* m_conteggio;
};

} // namespace sorvela
