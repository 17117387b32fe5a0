#include "catalog/Contatti.h"

#include "store/Database.h"

namespace sorvela::catalog {

namespace {
QString testo(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

// Empty texts, not Null: the list is read back cell by cell, and a null
// QString could reach SQLite as NULL.
QVariant nonNullo(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}
} // namespace

QList<Contatto> Contatti::leggi(const QString& codice) const
{
    QList<Contatto> elenco;
    store::RecordSet rs = m_db.apriRecordSet(
        QStringLiteral("SELECT Contatto, Num_Tel, Des_Telefoni FROM Telefoni_Utenti WHERE CodPer = ? ORDER BY rowid"),
        {codice});
    for (; !rs.eof(); rs.moveNext())
        elenco.append({testo(rs.campo(0)), testo(rs.campo(1)), testo(rs.campo(2))});
    return elenco;
}

void Contatti::sostituisci(const QString& codice, const QList<Contatto>& elenco)
{
    store::Transazione t(m_db);
    m_db.esegui(QStringLiteral("DELETE FROM Telefoni_Utenti WHERE CodPer = ?"), {codice});
    for (const Contatto& c : elenco) {
        if (c.vuoto())
            continue;
        m_db.esegui(QStringLiteral("INSERT INTO Telefoni_Utenti (CodPer, Contatto, Num_Tel, Des_Telefoni) "
                                   "VALUES (?, ?, ?, ?)"),
                    {codice, nonNullo(c.nome), nonNullo(c.numero), nonNullo(c.nota)});
    }
    t.conferma();
}

} // namespace sorvela::catalog
