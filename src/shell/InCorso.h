#pragma once
// The progress window of the receiver's long operations (a retrieval cycle,
// a call): a label set by the caller and "Annulla", which only says that the
// operator asked to stop waiting (`annullato`). It stays above all other
// windows; whoever showed it hides it.

#include "platform/Contesto.h"
#include "shell/FinestraAttesa.h"

namespace sorvela {

class InCorso : public FinestraAttesa, public Avanzamento {
    Q_OBJECT
public:
    explicit InCorso(Contesto& ctx, QWidget* genitore = nullptr);

    void mostra(const QString& etichetta) override;
    void chiudi() override;

    QLabel* Label1() const { return m_titolo; }

signals:
    void annullato();

private:
    Contesto& m_ctx;
};

} // namespace sorvela
