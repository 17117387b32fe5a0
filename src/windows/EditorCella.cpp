#include "windows/EditorCella.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace sorvela::cella {

void preparaGriglia(QTableWidget* griglia, int altezzaRiga)
{
    griglia->horizontalHeader()->setHighlightSections(false);
    griglia->horizontalHeader()->setStretchLastSection(true);
    griglia->verticalHeader()->hide();
    griglia->verticalHeader()->setMinimumSectionSize(1);
    griglia->verticalHeader()->setDefaultSectionSize(altezzaRiga);
    griglia->setEditTriggers(QAbstractItemView::NoEditTriggers);
    griglia->setSelectionMode(QAbstractItemView::NoSelection);
    griglia->setFocusPolicy(Qt::NoFocus);
    griglia->setAutoScroll(false);
    griglia->setWordWrap(false);
}

QRect posaEditor(QTableWidget* griglia, int riga, int colonna, QWidget* editor, QPushButton* pulsantino,
                 int larghezzaPulsantino)
{
    const QRect cella = griglia->visualRect(griglia->model()->index(riga, colonna));
    if (cella.isEmpty() || !griglia->viewport()->rect().intersects(cella)) {
        editor->hide();
        if (pulsantino)
            pulsantino->hide();
        return {};
    }
    QRect dove = cella;
    if (pulsantino) {
        dove.setWidth(std::max(1, cella.width() - larghezzaPulsantino));
        const QRect p(dove.right() + 1, cella.top(), larghezzaPulsantino, cella.height());
        if (pulsantino->geometry() != p)
            pulsantino->setGeometry(p);
        pulsantino->show();
        pulsantino->raise();
    }
    if (editor->geometry() != dove)
        editor->setGeometry(dove);
    editor->show();
    editor->raise();
    return dove;
}

void riempiEditor(QLineEdit* editor, const QString& testo)
{
    editor->setText(testo);
    editor->setSelection(int(testo.size()), -int(testo.size()));
}

bool scriviCella(QTableWidget* griglia, int riga, int colonna, const QString& testo, bool centrata)
{
    if (colonna < 0 || riga < 0 || riga >= griglia->rowCount() || colonna >= griglia->columnCount())
        return false;
    QTableWidgetItem* cella = griglia->item(riga, colonna);
    if (!cella) {
        cella = new QTableWidgetItem;
        if (centrata)
            cella->setTextAlignment(Qt::AlignCenter);
        griglia->setItem(riga, colonna, cella);
    }
    if (cella->text() == testo)
        return false;
    cella->setText(testo);
    return true;
}

} // namespace sorvela::cella
