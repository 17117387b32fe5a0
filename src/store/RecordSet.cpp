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
    ris.reset();
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
    if (ris) {
        const PGresult* r = ris.get();
        if (rigaRis >= PQntuples(r)) {
            ris.reset();
            return false;
        }
        Riga riga;
        const int n = int(nomi.size());
        riga.valori.reserve(n);
        for (int i = 0; i < n; ++i)
            riga.valori << pg::leggi(r, rigaRis, i + primaColonna);
        if (primaColonna == 1) {
            riga.chiave = QString::fromUtf8(PQgetvalue(r, rigaRis, 0));  // the ctid, as text
        } else if (!colonneChiave.isEmpty()) {
            QVariantList k;
            for (int c : colonneChiave)
                k << riga.valori.at(c);
            riga.chiave = k;
        } else if (colonnaChiave >= 0) {
            riga.chiave = riga.valori.at(colonnaChiave);
        }
        ++rigaRis;
        righe.push_back(std::move(riga));
        return true;
    }
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
    if (!d || !d->aperto())
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
    return d && d->aperto();
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

namespace {

// The INSERT of a row added through the set, one "?" for each field set, in
// the order they were set; the same text on both engines.
QString istruzioneInserimento(const StatoRecordSet& s)
{
    if (s.ordinePendenti.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quota(s.nomeBersaglio)); // sql: identificatore verificato
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quota(s.nomeBersaglio), colonneQuotate(s, QString()), // sql: identificatore verificato
             QStringList(s.ordinePendenti.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
}

// The server's side of update(): the same statements, the row found by its
// primary key (or ctid) instead of its rowid.
void aggiornaSulServer(StatoRecordSet& s, const QVariantList& valori)
{
    Connessione& c = *s.conn;
    if (s.modo == StatoRecordSet::Modo::Nuovo) {
        const QString sql = istruzioneInserimento(s);
        pg::esegui(c, sql, valori);
        return;
    }
    Riga& r = s.righe[s.pos];
    const bool tabella = s.bersaglio == StatoRecordSet::Bersaglio::Tabella;
    QStringList condizioni;
    QVariantList chiave;
    if (tabella && s.primaColonna == 1) {
        condizioni << QStringLiteral("ctid = ?::tid");
        chiave << r.chiave;
    } else if (tabella) {
        for (int i : std::as_const(s.colonneChiave))
            condizioni << quota(s.nomi.at(i)) + QStringLiteral(" = ?");
        chiave = r.chiave.toList();
    } else {
        condizioni << quota(s.nomi.at(s.colonnaChiave)) + QStringLiteral(" = ?");
        chiave << r.chiave;
    }
    const QString ritorno = tabella && s.primaColonna == 1 ? QStringLiteral(" RETURNING ctid") : QString();
    const auto ris = pg::esegui(c, QStringLiteral("UPDATE %1 SET %2 WHERE %3%4")
                                       .arg(quota(s.nomeBersaglio), colonneQuotate(s, QStringLiteral(" = ?")), // sql: identificatore verificato
                                            condizioni.join(QStringLiteral(" AND ")), ritorno),
                                valori + chiave);
    if (tabella && c.modificate == 0)
        throw ErroreDatabase(QStringLiteral("Errore del database: il record non esiste più"), SQLITE_NOTFOUND);
    // The row may have moved (a new ctid) or changed its key: later writes
    // must find it where it is now.
    if (!ritorno.isEmpty()) {
        r.chiave = QString::fromUtf8(PQgetvalue(ris.get(), 0, 0));
    } else if (tabella) {
        QVariantList k = r.chiave.toList();
        for (int j = 0; j < s.colonneChiave.size(); ++j) {
            if (s.pendenti.contains(s.colonneChiave.at(j)))
                k[j] = s.pendenti.value(s.colonneChiave.at(j));
        }
        r.chiave = k;
    } else if (s.pendenti.contains(s.colonnaChiave)) {
        r.chiave = s.pendenti.value(s.colonnaChiave);
    }
}

} // namespace

void RecordSet::update()
{
    verifica(d);
    StatoRecordSet& s = *d;
    QVariantList valori;
    for (int i : s.ordinePendenti)
        valori << s.pendenti.value(i);
    if (s.conn->pg && (s.modo == StatoRecordSet::Modo::Nuovo
                       || (s.modo == StatoRecordSet::Modo::Modifica && !s.ordinePendenti.isEmpty()))) {
        if (s.modo == StatoRecordSet::Modo::Modifica)
            s.corrente();
        aggiornaSulServer(s, valori);
        if (s.modo == StatoRecordSet::Modo::Modifica) {
            Riga& scritta = s.righe[s.pos];
            for (int i : s.ordinePendenti)
                scritta.valori[i] = comeLetto(perDatabase(s.pendenti.value(i)), s.tipi.at(i));
        }
        lasciaModifica(s);
        return;
    }
    sqlite3* db = s.db();

    if (s.modo == StatoRecordSet::Modo::Nuovo) {
        const QString sql = istruzioneInserimento(s);
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
