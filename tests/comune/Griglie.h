#pragma once
// The operator's hand on a grid of cells: a click on a cell, the text shown.

#include <QTableWidget>
#include <QtTest>

namespace sorvela::comune {

inline void clicCella(QTableWidget* griglia, int riga, int colonna)
{
    const QRect r = griglia->visualRect(griglia->model()->index(riga, colonna));
    QTest::mouseClick(griglia->viewport(), Qt::LeftButton, {}, r.center());
}

inline QString testoCella(const QTableWidget* griglia, int riga, int colonna)
{
    const QTableWidgetItem* i = griglia->item(riga, colonna);
    return i ? i->text() : QString();
}

} // namespace sorvela::comune
