#include "windows/Elenco.h"

#include <QHeaderView>
#include <QTableView>

namespace sorvela {

void preparaElenco(QTableView* elenco, int margine)
{
    elenco->setEditTriggers(QAbstractItemView::NoEditTriggers);
    elenco->setSelectionBehavior(QAbstractItemView::SelectRows);
    elenco->setSelectionMode(QAbstractItemView::SingleSelection);
    elenco->setWordWrap(false);
    QHeaderView* righe = elenco->verticalHeader();
    righe->hide();
    righe->setMinimumSectionSize(1);
    righe->setDefaultSectionSize(elenco->fontMetrics().height() + margine);
    righe->setSectionResizeMode(QHeaderView::Fixed);
}

} // namespace sorvela
