#include "events/ModelloEventi.h"

#include <QBrush>

namespace sorvela {

ModelloEventi::ModelloEventi(QList<Qt::Alignment> allineamenti, QObject* genitore)
    : QAbstractTableModel(genitore)
    , m_allineamenti(std::move(allineamenti))
{
}

void ModelloEventi::imposta(QList<Riga> righe)
{
    beginResetModel();
    m_righe = std::move(righe);
    endResetModel();
}

QString ModelloEventi::testo(int riga, int colonna) const
{
    if (riga < 0 || riga >= m_righe.size())
        return {};
    return m_righe.at(riga).celle.value(colonna);
}

int ModelloEventi::rowCount(const QModelIndex& genitore) const
{
    return genitore.isValid() ? 0 : int(m_righe.size());
}

int ModelloEventi::columnCount(const QModelIndex& genitore) const
{
    return genitore.isValid() ? 0 : int(m_allineamenti.size());
}

QVariant ModelloEventi::data(const QModelIndex& indice, int ruolo) const
{
    if (!indice.isValid() || indice.row() >= m_righe.size() || indice.column() >= m_allineamenti.size())
        return {};
    const Riga& r = m_righe.at(indice.row());
    switch (ruolo) {
    case Qt::DisplayRole:
        return r.celle.value(indice.column());
    case Qt::ForegroundRole:
        return QBrush(r.colore);
    case Qt::TextAlignmentRole:
        return int(m_allineamenti.at(indice.column()));
    default:
        return {};
    }
}

Qt::ItemFlags ModelloEventi::flags(const QModelIndex& indice) const
{
    return indice.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace sorvela
