#include "registry/IngressiUtente.h"

#include "store/Database.h"

namespace sorvela::registry {

using store::RecordSet;

bool RigaIngresso::vuota() const
{
    return uso.isEmpty() && codiceEvento.isEmpty() && zona.isEmpty() && desEvento.isEmpty() && tipoEvento.isEmpty()
           && trattamento.isEmpty() && numero.isEmpty() && !contatore;
}

namespace vista {

QList<RigaIngresso> vuota()
{
    return {RigaIngresso{}};
}

namespace {

// A trailing empty row is the place the table keeps for a new subscriber;
// once other rows are there it goes. A row with anything typed in it stays.
void togliUltimaVuota(QList<RigaIngresso>& righe)
{
    if (righe.size() > 1 && righe.last().vuota())
        righe.removeLast();
}

} // namespace

QList<RigaIngresso> tutti(QList<RigaIngresso> righe, const QList<catalog::Ingresso>& tipo)
{
    qsizetype r = 0;
    for (const catalog::Ingresso& i : tipo) {
        // Rows of counters the type no longer has are passed over, so that
        // every input of the type finds its place.
        while (r < righe.size() && righe[r].contatore && *righe[r].contatore < i.contatore)
            ++r;
        const bool elencato = r < righe.size() && righe[r].contatore && *righe[r].contatore == i.contatore;
        if (!elencato) {
            RigaIngresso n;
            n.uso = NonInUso;
            n.codiceEvento = i.codiceEvento;
            n.zona = i.zona;
            n.desEvento = i.desEvento;
            n.tipoEvento = i.tipoEvento;
            n.trattamento = i.trattamento;
            n.numero = QStringLiteral("0");
            n.contatore = i.contatore;
            righe.insert(r, n);
        }
        ++r;
    }
    togliUltimaVuota(righe);
    return righe;
}

QList<RigaIngresso> inUso(QList<RigaIngresso> righe)
{
    for (qsizetype r = 0; r < righe.size();) {
        if (righe[r].uso != NonInUso) {
            ++r;
            continue;
        }
        if (righe.size() == 1)
            righe[r] = RigaIngresso{};
        else
            righe.removeAt(r);
    }
    togliUltimaVuota(righe);
    return righe;
}

} // namespace vista

namespace {

QString testo(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

} // namespace

QList<RigaIngresso> IngressiUtente::leggi(const QString& codice) const
{
    QList<RigaIngresso> righe;
    RecordSet rs = m_db.apriRecordSet(
        QStringLiteral("SELECT Contatore, CodiceEvento, Zona, DesEvento, TipoEvento, Trattamento, Numero "
                       "FROM IngressiUtente WHERE [Codice periferica] = ? ORDER BY Posizione"),
        {codice});
    for (; !rs.eof(); rs.moveNext()) {
        RigaIngresso r;
        r.uso = InUso;
        if (!rs.campo(0).isNull())
            r.contatore = rs.campo(0).toInt();
        r.codiceEvento = testo(rs.campo(1));
        r.zona = testo(rs.campo(2));
        r.desEvento = testo(rs.campo(3));
        r.tipoEvento = testo(rs.campo(4));
        r.trattamento = testo(rs.campo(5));
        r.numero = testo(rs.campo(6));
        righe << r;
    }
    return righe.isEmpty() ? vista::vuota() : righe;
}

void IngressiUtente::scrivi(const QString& codice, const QList<RigaIngresso>& righe)
{
    std::optional<store::Transazione> propria;
    if (!m_db.inTransazione())
        propria.emplace(m_db);
    elimina(codice);
    int posizione = 0;
    for (const RigaIngresso& r : righe) {
        if (r.uso != InUso)
            continue;
        auto t = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
        m_db.esegui(QStringLiteral("INSERT INTO IngressiUtente ([Codice periferica], Posizione, Contatore, "
                                   "CodiceEvento, Zona, DesEvento, TipoEvento, Trattamento, Numero) "
                                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                    {codice, ++posizione, r.contatore ? QVariant(*r.contatore) : QVariant(), t(r.codiceEvento),
                     t(r.zona), t(r.desEvento), t(r.tipoEvento), t(r.trattamento), t(r.numero)});
    }
    if (propria)
        propria->conferma();
}

void IngressiUtente::elimina(const QString& codice)
{
    m_db.esegui(QStringLiteral("DELETE FROM IngressiUtente WHERE [Codice periferica] = ?"), {codice});
}

} // namespace sorvela::registry
