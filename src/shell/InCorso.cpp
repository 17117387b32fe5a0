#include "shell/InCorso.h"

#include <QLabel>
#include <QPushButton>

namespace sorvela {

InCorso::InCorso(Contesto& ctx, QWidget* genitore)
    : FinestraAttesa(genitore, QStringLiteral("InCorso"), 320, false)
    , m_ctx(ctx)
{
    // The tick's retrieval and polling calls show it on their own; "Annulla"
    // is still a click away.
    setWindowTitle(QString());
    connect(m_annulla, &QPushButton::clicked, this, [this] {
        m_ctx.AnnullaAttesa = true;
        emit annullato();
    });
}

void InCorso::mostra(const QString& etichetta)
{
    m_titolo->setText(etichetta);
    if (parentWidget() && !isVisible())
        centra();
    show();
    raise();
}

void InCorso::chiudi()
{
    hide();
}

} // namespace sorvela
