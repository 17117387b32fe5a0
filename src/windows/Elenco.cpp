#include "windows/Elenco.h"

#include <QHeaderView>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTableWidget>

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

QTableWidget* grigliaSolaLettura(QWidget* finestra, const QString& nome, const QStringList& colonne)
{
    auto* g = new QTableWidget(0, int(colonne.size()), finestra);
    g->setObjectName(nome);
    g->setHorizontalHeaderLabels(colonne);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->verticalHeader()->hide();
    return g;
}

QTableWidget* grigliaElenco(QWidget* finestra, const QString& nome, const QStringList& colonne,
                            const QStringList& campioni)
{
    QTableWidget* g = grigliaSolaLettura(finestra, nome, colonne);
    g->setWordWrap(false);
    const QFontMetrics fm = finestra->fontMetrics();
    g->verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    g->horizontalHeader()->setStretchLastSection(true);
    for (int k = 0; k < campioni.size(); ++k)
        g->setColumnWidth(k, fm.horizontalAdvance(campioni.at(k)) + 16);
    return g;
}

void scriviRiga(QTableWidget* griglia, int r, const QStringList& celle, const QColor* colore)
{
    for (int k = 0; k < celle.size(); ++k) {
        auto* it = new QTableWidgetItem(celle[k]);
        it->setToolTip(celle[k]);
        if (colore)
            it->setForeground(*colore);
        griglia->setItem(r, k, it);
    }
}

QSize misuraElenco(const QWidget* finestra, int colonne, int righe)
{
    const QFontMetrics fm = finestra->fontMetrics();
    return {fm.horizontalAdvance(QLatin1Char('x')) * colonne, fm.height() * righe};
}

void chiudiElenco(QWidget* finestra)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(finestra->parentWidget()))
        sub->close();
    else
        finestra->close();
}

} // namespace sorvela
