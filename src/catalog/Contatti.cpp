#include "catalog/Contatti.h"
#include "platform/RegistroOperazioni.h"

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
    QStringList scritti;
    for (const Contatto& c : elenco) {
        if (c.vuoto())
            continue;
        scritti << QStringLiteral("%1 %2").arg(c.nome, c.numero).trimmed();
        m_db.esegui(QStringLiteral("INSERT INTO Telefoni_Utenti (CodPer, Contatto, Num_Tel, Des_Telefoni) "
                                   "VALUES (?, ?, ?, ?)"),
                    {codice, nonNullo(c.nome), nonNullo(c.numero), nonNullo(c.nota)});
    }
    if (m_registro)
        RegistraOperazione(*m_registro, azione::ContattiSalvati, QStringLiteral("Utente ") + codice,
                           QStringLiteral("%1 contatti: %2").arg(scritti.size()).arg(scritti.join(QStringLiteral("; "))));
    t.conferma();
}

} // namespace sorvela::catalog
