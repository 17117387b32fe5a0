#pragma once
// The operator's hand on a grid of cells: a click on a cell (scrolled into
// view first), the text shown in a cell or down a column.

#include <QTableView>
#include <QTableWidget>
#include <QtTest>

namespace sorvela::comune {

inline void clicCella(QTableView* griglia, int riga, int colonna)
{
    const QModelIndex i = griglia->model()->index(riga, colonna);
    griglia->scrollTo(i);
    QTest::mouseClick(griglia->viewport(), Qt::LeftButton, {}, griglia->visualRect(i).center());
}

inline QString testoCella(const QTableWidget* griglia, int riga, int colonna)
{
    const QTableWidgetItem* i = griglia->item(riga, colonna);
    return i ? i->text() : QString();
}

// The texts of column `colonna`, top to bottom; an empty cell is "".
inline QStringList testiColonna(const QAbstractItemView* griglia, int colonna)
{
    const QAbstractItemModel* m = griglia->model();
    QStringList t;
    for (int r = 0; r < m->rowCount(); ++r)
        t << m->index(r, colonna).data().toString();
    return t;
}

} // namespace sorvela::comune
