#include "windows/RicercaCodice.h"

#include "store/Database.h"
#include "store/RecordSet.h"

namespace sorvela::ricerca {

QString Vista(Ordine o)
{
    switch (o.chiave) {
    case Chiave::Codice: return o.crescente ? QStringLiteral("F_CodiceC") : QStringLiteral("F_CodiceD");
    case Chiave::RagioneSociale: return o.crescente ? QStringLiteral("F_Rag_SocC") : QStringLiteral("F_Rag_SocD");
    case Chiave::Nome: break;
    }
    return o.crescente ? QStringLiteral("F_NomeC") : QStringLiteral("F_NomeD");
}

QString Didascalia(Ordine o)
{
    const QString chiave = o.chiave == Chiave::Codice           ? QStringLiteral("Codice")
                           : o.chiave == Chiave::RagioneSociale ? QStringLiteral("Ragione sociale")
                                                                : QStringLiteral("Nominativo");
    return QStringLiteral("Ordinamento per %1 in senso %2")
        .arg(chiave, o.crescente ? QStringLiteral("Crescente") : QStringLiteral("Decrescente"));
}

Ordine DopoClic(Ordine attuale, int colonna)
{
    const Chiave c = colonna == 1 ? Chiave::RagioneSociale : colonna == 2 ? Chiave::Nome : Chiave::Codice;
    return {c, !(attuale.chiave == c && attuale.crescente)};
}

int EtichettaEvidenziata(Ordine o)
{
    return o.chiave == Chiave::Codice ? 0 : 2;
}

std::optional<Destinazione> LeggiTag(const QString& tag)
{
    const qsizetype i = tag.indexOf(QLatin1Char('_'));
    if (i < 0)
        return std::nullopt;
    return Destinazione{tag.left(i), tag.mid(i + 1)};
}

QList<Utente> LeggiUtenti(store::Database& db, Ordine o)
{
    QList<Utente> l;
    store::RecordSet rs = db.apriRecordSet(Vista(o));
    auto testo = [](const QVariant& v) { return v.isNull() ? QString() : v.toString(); };
    for (; !rs.eof(); rs.moveNext())
        l << Utente{testo(rs.campo(0)), testo(rs.campo(1)), testo(rs.campo(2))};
    return l;
}

QString Matricola(store::Database& db, const QString& codice)
{
    const QVariant v = db.valore(
        QStringLiteral("SELECT [Matricola] FROM Matricole WHERE [Codice periferica] = ? ORDER BY rowid LIMIT 1"),
        {codice});
    return v.isNull() ? QString() : v.toString();
}

void ModelloUtenti::imposta(QList<Utente> utenti)
{
    beginResetModel();
    m_utenti = std::move(utenti);
    endResetModel();
}

int ModelloUtenti::rowCount(const QModelIndex& p) const
{
    return p.isValid() ? 0 : int(m_utenti.size());
}

int ModelloUtenti::columnCount(const QModelIndex& p) const
{
    return p.isValid() ? 0 : 3;
}

QVariant ModelloUtenti::data(const QModelIndex& i, int ruolo) const
{
    if (!i.isValid() || i.row() >= m_utenti.size() || (ruolo != Qt::DisplayRole && ruolo != Qt::ToolTipRole))
        return {};
    const Utente& u = m_utenti.at(i.row());
    return i.column() == 0 ? u.codice : i.column() == 1 ? u.ragioneSociale : u.nome;
}

QVariant ModelloUtenti::headerData(int sezione, Qt::Orientation o, int ruolo) const
{
    if (o != Qt::Horizontal || ruolo != Qt::DisplayRole)
        return QAbstractTableModel::headerData(sezione, o, ruolo);
    return sezione == 0 ? QStringLiteral("Codice") : sezione == 1 ? QStringLiteral("Ragione sociale")
                                                                  : QStringLiteral("Nome");
}

} // namespace sorvela::ricerca
