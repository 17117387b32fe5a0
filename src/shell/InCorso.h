#pragma once
// The progress window of the receiver's long operations (a retrieval cycle,
// a call): a label set by the caller and "Annulla", which only says that the
// operator asked to stop waiting (`annullato`). It stays above all other
// windows; whoever showed it hides it.

#include "platform/Contesto.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace sorvela {

class InCorso : public QWidget, public Avanzamento {
    Q_OBJECT
public:
    explicit InCorso(Contesto& ctx, QWidget* genitore = nullptr);

    void mostra(const QString& etichetta) override;
    void chiudi() override;

    QLabel* Label1() const { return m_label; }

signals:
    void annullato();

private:
    Contesto& m_ctx;
    QLabel* m_label;
    QPushButton* m_annulla;
};

} // namespace sorvela
