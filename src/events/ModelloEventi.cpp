#include "events/ModelloEventi.h"

#include "core/DateItaliane.h"
#include "events/RiempiCoda.h"

#include <QBrush>
#include <QDateTime>

namespace sorvela {

QString testoDataOra(const QVariant& v)
{
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDateTime)
        return date::mostra(v.toDateTime());
    const QString t = v.toString();
    if (auto r = date::mostraTestoDatabase(t))
        return *r;
    if (const auto d = date::daDatabaseOra(t))
        return date::mostra(*d);
    return t;
}

ModelloEventi::ModelloEventi(QObject* genitore) : QAbstractTableModel(genitore) {}

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
    const Riga& r = m_righe.at(riga);
    return colonna == 0 ? testoDataOra(r.dataOra) : colonna == 1 ? r.descrizione : QString();
}

int ModelloEventi::rowCount(const QModelIndex& genitore) const
{
    return genitore.isValid() ? 0 : int(m_righe.size());
}

int ModelloEventi::columnCount(const QModelIndex& genitore) const
{
    return genitore.isValid() ? 0 : 2;
}

QVariant ModelloEventi::data(const QModelIndex& indice, int ruolo) const
{
    if (!indice.isValid() || indice.row() >= m_righe.size() || indice.column() >= 2)
        return {};
    switch (ruolo) {
    case Qt::DisplayRole:
        return testo(indice.row(), indice.column());
    case Qt::ForegroundRole:
        return QBrush(coloreEvento(m_righe.at(indice.row()).allarme ? QStringLiteral("Allarme") : QString()));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

Qt::ItemFlags ModelloEventi::flags(const QModelIndex& indice) const
{
    return indice.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace sorvela
