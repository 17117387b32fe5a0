#pragma once
// The clean-up window: deletes the events of a date range after asking.

#include <QWidget>

class QLineEdit;

namespace sorvela {

struct Contesto;

class Ripulisci : public QWidget {
    Q_OBJECT
public:
    explicit Ripulisci(Contesto& ctx, QWidget* genitore = nullptr);

    QLineEdit* txtFromDate() const { return m_dal; }
    QLineEdit* txtToDate() const { return m_al; }

    void cmdOK();

private:
    Contesto& m_ctx;
    QLineEdit* m_dal;
    QLineEdit* m_al;
};

} // namespace sorvela
