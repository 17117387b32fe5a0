#include "catalog/Periferiche.h"
#include "platform/RegistroOperazioni.h"

#include "store/Database.h"
#include "store/Identificatori.h"

namespace sorvela::catalog {

using store::RecordSet;

namespace {

QString testo(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

// At most a few numbers in a message: a long list says nothing more.
QString elencoNumeri(const QList<int>& n)
{
    QStringList t;
    for (int i = 0; i < n.size() && i < 5; ++i)
        t << QString::number(n[i]);
    if (n.size() > 5)
        t << QStringLiteral("…");
    return t.join(QStringLiteral(", "));
}

TipoPeriferica comeTipo(const RecordSet& rs)
{
    TipoPeriferica t;
    t.id = rs.campo(0).toInt();
    t.nome = testo(rs.campo(1));
    t.descrizione = testo(rs.campo(2));
    t.protocollo = rs.campo(3).toInt();
    t.predefinita = rs.campo(4).toBool();
    t.tabella = testo(rs.campo(5));
    return t;
}

} // namespace

int riconosci(const QStringList& voci, const QString& cella, int caratteri)
{
    const QString inizio = cella.left(caratteri);
    if (inizio.isEmpty())
        return -1;
    for (int i = 0; i < voci.size(); ++i)
        if (voci[i].left(caratteri) == inizio)
            return i;
    return -1;
}

Elenco Catalogo::elenco(const QString& sql, const QString& segnaposto, const QString& cosa) const
{
    Elenco e;
    e.voci << segnaposto;
    QList<int> fuori;
    QList<int> doppi;
    RecordSet rs = m_db.apriRecordSet(sql);
    for (; !rs.eof(); rs.moveNext()) {
        const QVariant v = rs.campo(0);
        const int id = v.toInt();
        if (v.isNull() || id < 1 || id > PosizioneMassima) {
            fuori << id;
            continue;
        }
        if (id < e.voci.size() && !e.voci[id].isNull()) {
            doppi << id;
            continue;
        }
        while (e.voci.size() <= id)
            e.voci << QString();
        // An empty name still takes its place, as a non-null text.
        e.voci[id] = testo(rs.campo(1)).isNull() ? QStringLiteral("") : testo(rs.campo(1));
    }
    QList<int> mancanti;
    for (int i = 1; i < e.voci.size(); ++i)
        if (e.voci[i].isNull())
            mancanti << i;
    for (QString& v : e.voci)
        if (v.isNull())
            v = QStringLiteral("");
    if (!mancanti.isEmpty())
        e.danni << QStringLiteral("%1: manca l'identificativo %2.").arg(cosa, elencoNumeri(mancanti));
    if (!fuori.isEmpty())
        e.danni << QStringLiteral("%1: identificativo fuori dall'intervallo 1..%2 (%3), la riga non è in elenco.")
                       .arg(cosa)
                       .arg(PosizioneMassima)
                       .arg(elencoNumeri(fuori));
    if (!doppi.isEmpty())
        e.danni << QStringLiteral("%1: identificativo ripetuto (%2).").arg(cosa, elencoNumeri(doppi));
    return e;
}

Elenco Catalogo::tipi(const QString& segnaposto) const
{
    return elenco(QStringLiteral("SELECT IDPeriferica, PerifericaTipo FROM TipoPeriferica ORDER BY IDPeriferica"), segnaposto,
                  QStringLiteral("Tipi di periferica"));
}

Elenco Catalogo::protocolli(const QString& segnaposto) const
{
    return elenco(QStringLiteral("SELECT IDProtocollo, Protocollo FROM TipoProtocolli ORDER BY IDProtocollo"), segnaposto,
                  QStringLiteral("Protocolli"));
}

std::optional<TipoPeriferica> Catalogo::predefinita() const
{
    // The last marked row in table order wins, as when the list is read.
    RecordSet rs = m_db.apriRecordSet(
        QStringLiteral("SELECT IDPeriferica, PerifericaTipo, DesPeriferica, Protocollo, Predefinita, Tabella "
                       "FROM TipoPeriferica WHERE Predefinita <> FALSE ORDER BY IDPeriferica DESC LIMIT 1"));
    if (rs.eof())
        return std::nullopt;
    return comeTipo(rs);
}

std::optional<TipoPeriferica> Catalogo::primo(RecordSet rs) const
{
    if (rs.eof())
        return std::nullopt;
    return comeTipo(rs);
}

std::optional<TipoPeriferica> Catalogo::tipo(int id) const
{
    return primo(m_db.apriRecordSet(
        QStringLiteral("SELECT IDPeriferica, PerifericaTipo, DesPeriferica, Protocollo, Predefinita, Tabella "
                       "FROM TipoPeriferica WHERE IDPeriferica = ?"),
        {id}));
}

std::optional<TipoPeriferica> Catalogo::tipo(const QString& nome) const
{
    return primo(m_db.apriRecordSet(
        QStringLiteral("SELECT IDPeriferica, PerifericaTipo, DesPeriferica, Protocollo, Predefinita, Tabella "
                       "FROM TipoPeriferica WHERE PerifericaTipo = ?"),
        {nome}));
}

ElencoIngressi Catalogo::ingressi(const QString& tabella) const
{
    ElencoIngressi e;
    const std::optional<QString> nome = store::tabellaVerificata(m_db, tabella);
    if (!nome)
        return e;
    const QString riga = m_db.colonnaRiga();
    const QString sql = QStringLiteral("SELECT ") + riga + QStringLiteral(", Contatore, CodiceEvento, Zona, DesEvento, TipoEvento, Trattamento FROM ") + *nome + QStringLiteral(" ORDER BY Contatore NULLS FIRST, ") + riga; // sql: identificatore verificato
    RecordSet rs = m_db.apriRecordSet(sql);
    bool regolare = true;
    for (int k = 1; !rs.eof(); rs.moveNext(), ++k) {
        Ingresso i;
        i.riga = rs.campo(0);
        const QVariant c = rs.campo(1);
        i.contatore = c.toInt();
        if (c.isNull() || i.contatore != k)
            regolare = false;
        i.codiceEvento = testo(rs.campo(2));
        i.zona = testo(rs.campo(3));
        i.desEvento = testo(rs.campo(4));
        i.tipoEvento = testo(rs.campo(5));
        i.trattamento = testo(rs.campo(6));
        e.righe << i;
    }
    if (!regolare)
        e.danni << QStringLiteral("Ingressi della tabella \"%1\": il Contatore non va da 1 a %2 senza salti.")
                       .arg(tabella)
                       .arg(e.righe.size());
    return e;
}

ElencoIngressi Catalogo::ingressiDelTipo(const QString& nome) const
{
    const auto t = tipo(nome);
    if (!t)
        return {};
    return ingressi(t->tabella);
}

bool Catalogo::salva(const TipoPeriferica& t, const QList<Ingresso>& righe)
{
    store::Transazione tr(m_db);
    const QVariant tabella = m_db.valore(QStringLiteral("SELECT Tabella FROM TipoPeriferica WHERE IDPeriferica = ?"),
                                         {t.id});
    if (m_db.valore(QStringLiteral("SELECT count(*) FROM TipoPeriferica WHERE IDPeriferica = ?"), {t.id}).toInt() == 0)
        return false;
    m_db.esegui(QStringLiteral("UPDATE TipoPeriferica SET DesPeriferica = ?, Protocollo = ?, Predefinita = ? "
                               "WHERE IDPeriferica = ?"),
                {t.descrizione.isNull() ? QStringLiteral("") : t.descrizione, t.protocollo, t.predefinita, t.id});
    if (t.predefinita) {
        // Through the saved query that says which rows may carry the mark.
        RecordSet rs = m_db.apriRecordSet(
            QStringLiteral("SELECT * FROM F_PeriferichePredefinite WHERE PerifericaTipo <> ? AND Predefinita <> FALSE"),
            {t.nome});
        for (; !rs.eof(); rs.moveNext()) {
            rs.edit();
            rs.setCampo(QStringLiteral("Predefinita"), false);
            rs.update();
        }
    }
    if (const auto nome = store::tabellaVerificata(m_db, testo(tabella))) {
        const QString sql = QStringLiteral("UPDATE ") + *nome + QStringLiteral(" SET CodiceEvento = ?, Zona = ?, DesEvento = ?, TipoEvento = ?, Trattamento = ? WHERE ") + m_db.colonnaRiga() + QStringLiteral(" = ?"); // sql: identificatore verificato
        for (const Ingresso& i : righe)
            m_db.esegui(sql, {i.codiceEvento, i.zona, i.desEvento, i.tipoEvento, i.trattamento, i.riga});
    }
    if (m_registro)
        RegistraOperazione(*m_registro, azione::CatalogoSalvato, QStringLiteral("Tipo ") + t.nome,
                           QStringLiteral("descrizione \"%1\", protocollo %2, %3predefinita, %4 ingressi")
                               .arg(t.descrizione)
                               .arg(t.protocollo)
                               .arg(t.predefinita ? QString() : QStringLiteral("non "))
                               .arg(righe.size()));
    tr.conferma();
    return true;
}

} // namespace sorvela::catalog
