#include "shell/InCorso.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace sorvela {

InCorso::InCorso(Contesto& ctx, QWidget* genitore)
    : QWidget(genitore, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_ctx(ctx)
{
    setObjectName(QStringLiteral("InCorso"));
    // The tick's retrieval and polling calls show it on their own: the
    // operator's typing must stay where it is. "Annulla" is still a click away.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QString());
    auto* v = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setAlignment(Qt::AlignCenter);
    QFont f = m_label->font();
    f.setBold(true);
    m_label->setFont(f);
    v->addWidget(m_label);
    auto* barra = new QProgressBar(this);
    barra->setRange(0, 0); // busy indicator: the length of an exchange is unknown
    barra->setTextVisible(false);
    v->addWidget(barra);
    auto* h = new QHBoxLayout;
    h->addStretch();
    m_annulla = new QPushButton(QStringLiteral("Annulla"), this);
    m_annulla->setObjectName(QStringLiteral("cmdAnnulla"));
    h->addWidget(m_annulla);
    h->addStretch();
    v->addLayout(h);
    setMinimumWidth(320);
    connect(m_annulla, &QPushButton::clicked, this, [this] {
        m_ctx.AnnullaAttesa = true;
        emit annullato();
    });
}

void InCorso::mostra(const QString& etichetta)
{
    m_label->setText(etichetta);
    if (parentWidget() && !isVisible()) {
        const QRect g = parentWidget()->window()->geometry();
        adjustSize();
        move(g.center() - rect().center());
    }
    show();
    raise();
}

void InCorso::chiudi()
{
    hide();
}

} // namespace sorvela
