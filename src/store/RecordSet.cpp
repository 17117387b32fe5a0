#include "store/RecordSet.h"
#include "store/Interno.h"

#include <algorithm>

namespace sorvela::store {

using namespace detail;

namespace detail {

StatoRecordSet::~StatoRecordSet()
{
    rilascia();
}

void StatoRecordSet::rilascia()
{
    if (st) {
        sqlite3_finalize(st);
        st = nullptr;
    }
    if (conn) {
        auto& v = conn->aperti;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        conn.reset();
    }
}

sqlite3* StatoRecordSet::db() const
{
    return conn ? conn->db : nullptr;
}

bool StatoRecordSet::leggiAltra()
{
    if (!st)
        return false;
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) {
        // Every row is in hand: let go of the statement and its read lock.
        sqlite3_finalize(st);
        st = nullptr;
        return false;
    }
    if (rc != SQLITE_ROW) {
        const QString sqlTesto = QString::fromUtf8(sqlite3_sql(st)).simplified();
        sqlite3_finalize(st);
        st = nullptr;
        lancia(db(), rc, sqlTesto);
    }
    Riga r;
    const int n = int(nomi.size());
    r.valori.reserve(n);
    for (int i = 0; i < n; ++i)
        r.valori << leggi(st, i + primaColonna, tipi.at(i));
    if (primaColonna == 1)
        r.chiave = qlonglong(sqlite3_column_int64(st, 0));
    else if (colonnaChiave >= 0)
        r.chiave = leggi(st, colonnaChiave, Tipo::Generico);
    righe.push_back(std::move(r));
    return true;
}

void StatoRecordSet::assestaAvanti()
{
    if (pos >= int(righe.size()))
        leggiAltra();
}

int StatoRecordSet::colonna(const QString& nome) const
{
    QString n = nome.trimmed();
    if (n.size() >= 2 && n.startsWith(QLatin1Char('[')) && n.endsWith(QLatin1Char(']')))
        n = n.mid(1, n.size() - 2);
    const auto it = indice.constFind(n.toCaseFolded());
    if (it == indice.constEnd())
        throw ErroreDatabase(QStringLiteral("Errore del database: campo \"%1\" inesistente").arg(nome),
                             SQLITE_ERROR);
    return *it;
}

const Riga& StatoRecordSet::corrente() const
{
    if (pos >= int(righe.size()))
        throw ErroreDatabase(QStringLiteral("Errore del database: nessun record corrente"), SQLITE_NOTFOUND);
    return righe[pos];
}

} // namespace detail

namespace {

void verifica(const std::unique_ptr<StatoRecordSet>& d)
{
    if (!d || !d->db())
        lanciaUso(QStringLiteral("il record set è chiuso"));
}

void verificaScrivibile(const StatoRecordSet& s)
{
    if (s.bersaglio == StatoRecordSet::Bersaglio::Nessuno)
        lanciaUso(QStringLiteral("il record set è di sola lettura"));
}

void lasciaModifica(StatoRecordSet& s)
{
    s.modo = StatoRecordSet::Modo::Nessuno;
    s.pendenti.clear();
    s.ordinePendenti.clear();
}

QString colonneQuotate(const StatoRecordSet& s, const QString& suffisso)
{
    QStringList parti;
    for (int i : s.ordinePendenti)
        parti << quota(s.nomi.at(i)) + suffisso;
    return parti.join(QStringLiteral(", "));
}

} // namespace

RecordSet::RecordSet() = default;
RecordSet::RecordSet(std::unique_ptr<StatoRecordSet> s)
    : d(std::move(s))
{
}
RecordSet::RecordSet(RecordSet&&) noexcept = default;
RecordSet& RecordSet::operator=(RecordSet&&) noexcept = default;
RecordSet::~RecordSet() = default;

bool RecordSet::aperto() const
{
    return d && d->db();
}

bool RecordSet::eof() const
{
    return !aperto() || d->pos >= int(d->righe.size());
}

int RecordSet::recordCount() const
{
    return aperto() ? int(d->righe.size()) : 0;
}

void RecordSet::moveFirst()
{
    verifica(d);
    lasciaModifica(*d);
    d->pos = 0;
    d->assestaAvanti();
}

void RecordSet::moveNext()
{
    verifica(d);
    lasciaModifica(*d);
    if (d->pos < int(d->righe.size()))
        ++d->pos;
    d->assestaAvanti();
}

QVariant RecordSet::campo(const QString& nome) const
{
    verifica(d);
    return campo(d->colonna(nome));
}

QVariant RecordSet::campo(int indice) const
{
    verifica(d);
    if (indice < 0 || indice >= d->nomi.size())
        throw ErroreDatabase(QStringLiteral("Errore del database: campo %1 inesistente").arg(indice), SQLITE_RANGE);
    if (d->modo != StatoRecordSet::Modo::Nessuno && d->pendenti.contains(indice))
        return comeLetto(perDatabase(d->pendenti.value(indice)), d->tipi.at(indice));
    if (d->modo == StatoRecordSet::Modo::Nuovo)
        return QVariant();
    return d->corrente().valori.at(indice);
}

QStringList RecordSet::nomiCampi() const
{
    return d ? d->nomi : QStringList();
}

void RecordSet::addNew()
{
    verifica(d);
    verificaScrivibile(*d);
    lasciaModifica(*d);
    d->modo = StatoRecordSet::Modo::Nuovo;
}

void RecordSet::edit()
{
    verifica(d);
    verificaScrivibile(*d);
    d->corrente();
    lasciaModifica(*d);
    d->modo = StatoRecordSet::Modo::Modifica;
}

void RecordSet::setCampo(const QString& nome, const QVariant& valore)
{
    verifica(d);
    if (d->modo == StatoRecordSet::Modo::Nessuno)
        lanciaUso(QStringLiteral("setCampo senza addNew o edit"));
    const int i = d->colonna(nome);
    if (!d->pendenti.contains(i))
        d->ordinePendenti << i;
    d->pendenti.insert(i, valore);
}

void RecordSet::update()
{
    verifica(d);
    StatoRecordSet& s = *d;
    sqlite3* db = s.db();
    QVariantList valori;
    for (int i : s.ordinePendenti)
        valori << s.pendenti.value(i);

    if (s.modo == StatoRecordSet::Modo::Nuovo) {
        const QString sql = s.ordinePendenti.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quota(s.nomeBersaglio)) // sql: identificatore verificato
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quota(s.nomeBersaglio), colonneQuotate(s, QString()), // sql: identificatore verificato
                       QStringList(s.ordinePendenti.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
        Istruzione st(db, sql);
        st.lega(valori);
        st.eseguiTutto();
        lasciaModifica(s);
        return;
    }
    if (s.modo != StatoRecordSet::Modo::Modifica)
        lanciaUso(QStringLiteral("update senza addNew o edit"));
    if (s.ordinePendenti.isEmpty()) {
        lasciaModifica(s);
        return;
    }
    const Riga& r = s.corrente();
    const bool tabella = s.bersaglio == StatoRecordSet::Bersaglio::Tabella;
    const QString chiave = tabella ? QStringLiteral("rowid") : quota(s.nomi.at(s.colonnaChiave));
    Istruzione st(db, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                          .arg(quota(s.nomeBersaglio), colonneQuotate(s, QStringLiteral(" = ?")), chiave)); // sql: identificatore verificato
    st.lega(valori + QVariantList{r.chiave});
    st.eseguiTutto();
    // Changes made by a view's trigger are not counted, so only a table can
    // tell that the row had gone.
    if (tabella && sqlite3_changes(db) == 0)
        throw ErroreDatabase(QStringLiteral("Errore del database: il record non esiste più"), SQLITE_NOTFOUND);
    Riga& scritta = s.righe[s.pos];
    for (int i : s.ordinePendenti)
        scritta.valori[i] = comeLetto(perDatabase(s.pendenti.value(i)), s.tipi.at(i));
    lasciaModifica(s);
}

void RecordSet::chiudi()
{
    d.reset();
}

} // namespace sorvela::store
