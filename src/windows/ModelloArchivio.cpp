#include "windows/ModelloArchivio.h"

#include "core/DateItaliane.h"
#include "platform/Contesto.h"
#include "store/Database.h"

#include <QColor>

namespace sorvela {

ModelloArchivio::ModelloArchivio(Contesto& ctx, QObject* genitore)
    : QAbstractTableModel(genitore)
    , m_ctx(ctx)
{
}

void ModelloArchivio::svuota()
{
    beginResetModel();
    m_righe.clear();
    m_segno.reset();
    m_totale = 0;
    m_finito = true;
    endResetModel();
}

void ModelloArchivio::cerca(const archivio::Criteri& c)
{
    svuota();
    m_criteri = c;
    m_totale = archivio::Conta(*m_ctx.db, c);
    m_finito = m_totale == 0;
    fetchMore({});
}

void ModelloArchivio::leggiTutto()
{
    while (canFetchMore({}))
        fetchMore({});
}

int ModelloArchivio::rowCount(const QModelIndex& p) const
{
    return p.isValid() ? 0 : int(m_righe.size());
}

int ModelloArchivio::columnCount(const QModelIndex& p) const
{
    return p.isValid() ? 0 : NumeroColonne;
}

QVariant ModelloArchivio::data(const QModelIndex& i, int ruolo) const
{
    if (!i.isValid() || i.row() >= m_righe.size())
        return {};
    const archivio::Riga& r = m_righe.at(i.row());
    switch (ruolo) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (i.column()) {
        case Codice: return r.codice;
        case Nome: return r.nome;
        case DataOra: return r.dataOra.isValid() ? date::mostra(r.dataOra) : QString();
        case Tipo: return r.tipo;
        case Descrizione: return r.descrizione;
        case Archiviato: return r.archiviato ? QStringLiteral("Sì") : QStringLiteral("No");
        case ArchiviatoDa: return archivio::DescriviArchiviazione(r);
        }
        break;
    case Qt::ForegroundRole:
        // Alarms red, the rest blue, as in the queue.
        return r.tipo == QLatin1String("Allarme") ? QColor(255, 0, 0) : QColor(0, 0, 255);
    case Qt::TextAlignmentRole:
        if (i.column() == Codice || i.column() == Archiviato)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        break;
    }
    return {};
}

QVariant ModelloArchivio::headerData(int sezione, Qt::Orientation o, int ruolo) const
{
    if (o != Qt::Horizontal || ruolo != Qt::DisplayRole)
        return QAbstractTableModel::headerData(sezione, o, ruolo);
    static const QStringList titoli{QStringLiteral("Codice"), QStringLiteral("Nome"), QStringLiteral("Data e ora"),
                                    QStringLiteral("Tipo"), QStringLiteral("Descrizione evento"),
                                    QStringLiteral("Archiviato"), QStringLiteral("Archiviato da")};
    return titoli.value(sezione);
}

bool ModelloArchivio::canFetchMore(const QModelIndex& p) const
{
    return !p.isValid() && !m_finito;
}

void ModelloArchivio::fetchMore(const QModelIndex& p)
{
    if (p.isValid() || m_finito)
        return;
    QList<archivio::Riga> nuove;
    archivio::Segno fine;
    try {
        if (!m_ctx.db)
            return;
        nuove = archivio::Pagina(*m_ctx.db, m_criteri, m_segno, RighePerPagina, &fine);
    } catch (const store::ErroreDatabase& e) {
        m_finito = true;
        if (errore)
            errore(e.messaggio());
        return;
    }
    if (nuove.size() < RighePerPagina)
        m_finito = true;
    if (nuove.isEmpty())
        return;
    m_segno = fine;
    beginInsertRows({}, int(m_righe.size()), int(m_righe.size() + nuove.size() - 1));
    m_righe += nuove;
    endInsertRows();
}

} // namespace sorvela
