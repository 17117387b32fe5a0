#include "shell/FinestraAttesa.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace sorvela {

FinestraAttesa::FinestraAttesa(QWidget* genitore, const QString& nome, int larghezzaMinima, bool conPasso)
    : QWidget(genitore, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(nome);
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* v = new QVBoxLayout(this);
    m_titolo = new QLabel(this);
    m_titolo->setObjectName(QStringLiteral("Label1"));
    m_titolo->setAlignment(Qt::AlignCenter);
    QFont f = m_titolo->font();
    f.setBold(true);
    m_titolo->setFont(f);
    v->addWidget(m_titolo);
    if (conPasso) {
        m_passo = new QLabel(this);
        m_passo->setObjectName(QStringLiteral("Label2"));
        m_passo->setAlignment(Qt::AlignCenter);
        v->addWidget(m_passo);
    }
    auto* barra = new QProgressBar(this);
    barra->setRange(0, 0); // how long the job takes is not known beforehand
    barra->setTextVisible(false);
    v->addWidget(barra);
    auto* h = new QHBoxLayout;
    h->addStretch();
    m_annulla = new QPushButton(QStringLiteral("Annulla"), this);
    m_annulla->setObjectName(QStringLiteral("cmdAnnulla"));
    h->addWidget(m_annulla);
    h->addStretch();
    v->addLayout(h);
    setMinimumWidth(larghezzaMinima);
}

void FinestraAttesa::centra()
{
    const QRect g = parentWidget()->window()->geometry();
    adjustSize();
    move(g.center() - rect().center());
}

} // namespace sorvela
