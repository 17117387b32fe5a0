#pragma once
// The progress window shown by long serial operations: a label set by the
// caller and "Annulla", which only raises AnnullaAttesa. It stays above all
// other windows; whoever showed it hides it.

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

private:
    Contesto& m_ctx;
};

} // namespace sorvela
