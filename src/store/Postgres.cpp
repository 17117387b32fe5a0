// The store on a PostgreSQL server: what Database and RecordSet do when the
// connection is a server's rather than a SQLite file's. Values travel as text
// and the server infers their types from where they are used; results come
// back as text and are turned into the same QVariant types the SQLite side
// gives (Interno.cpp).

#include "store/Interno.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sorvela::store::detail::pg {

namespace {

// Type numbers of the server's built-in types (pg_type.oid); they never change.
enum : Oid {
    kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26,
    kFloat4 = 700, kFloat8 = 701, kNumeric = 1700, kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184,
};

// A lock not granted within this time is reported busy, as SQLite's busy
// timeout does on a file.
constexpr int kAttesaOccupatoMs = 5000;

// The SQLite result code a caller would have seen for the same failure, so
// that a caller telling a duplicate from a busy database needs no second
// branch.
int codiceDa(const char* stato)
{
    const QByteArray s(stato ? stato : "");
    if (s == "23505")
        return SQLITE_CONSTRAINT_UNIQUE;
    if (s == "23502")
        return SQLITE_CONSTRAINT_NOTNULL;
    if (s == "23503")
        return SQLITE_CONSTRAINT_FOREIGNKEY;
    if (s == "23514")
        return SQLITE_CONSTRAINT_CHECK;
    if (s.startsWith("23"))
        return SQLITE_CONSTRAINT;
    if (s == "P0001")  // raised by a trigger
        return SQLITE_CONSTRAINT_TRIGGER;
    if (s == "55P03" || s == "40P01" || s == "40001")
        return SQLITE_BUSY;
    if (s.startsWith("08") || s.startsWith("57P"))
        return SQLITE_IOERR;
    return SQLITE_ERROR;
}

[[noreturn]] void lanciaDa(PGconn* pg, const PGresult* r, const QString& contesto)
{
    QString dettaglio;
    int codice = SQLITE_ERROR;
    if (r && PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY)) {
        dettaglio = QString::fromUtf8(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY));
        if (const char* d = PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL))
            dettaglio += QStringLiteral(" (%1)").arg(QString::fromUtf8(d));
        codice = codiceDa(PQresultErrorField(r, PG_DIAG_SQLSTATE));
    } else {
        dettaglio = QString::fromUtf8(PQerrorMessage(pg)).trimmed();
    }
    if (PQstatus(pg) == CONNECTION_BAD) {
        codice = SQLITE_IOERR;
        dettaglio = QStringLiteral("connessione al server interrotta, si riprova alla prossima operazione (%1)")
                        .arg(dettaglio);
    } else if (codice == SQLITE_BUSY) {
        dettaglio = QStringLiteral("il database è occupato da un'altra operazione, si riprova più tardi (%1)")
                        .arg(dettaglio);
    }
    throw ErroreDatabase(QStringLiteral("Errore del database (%1): %2").arg(contesto, dettaglio), codice);
}

void applicaAttesa(PGconn* pg, bool nonAttendere)
{
    // SET takes no parameters; the value is one of two constants.
    Risultato r(PQexec(pg, nonAttendere ? "SET lock_timeout = 1" : "SET lock_timeout = 5000"));
    static_assert(kAttesaOccupatoMs == 5000);
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
        lanciaDa(pg, r.get(), QStringLiteral("attesa dei blocchi"));
}

// A connection the server dropped (restart, terminated backend, network) is
// opened again before the next statement; if it cannot be, that statement
// fails like any other. After a failed try the next is made no sooner than
// 1 s later, then 2, 4 and at most every 8 s.
constexpr int kPrimaAttesaMs = 1000;
constexpr int kMassimaAttesaMs = 8000;

PGconn* pronto(Connessione& c)
{
    PGconn* pg = c.serverAperto();
    if (PQstatus(pg) != CONNECTION_OK) {
        // A desk asks every second and a try may take the connect timeout:
        // a server that stays away is asked less and less often.
        if (!c.prossimoTentativo.hasExpired())
            throw ErroreDatabase(c.ultimoTentativo, SQLITE_IOERR);
        PQreset(pg);
        if (PQstatus(pg) != CONNECTION_OK) {
            c.attesaTentativoMs = std::min(std::max(kPrimaAttesaMs, 2 * c.attesaTentativoMs), kMassimaAttesaMs);
            c.prossimoTentativo.setRemainingTime(c.attesaTentativoMs);
            c.ultimoTentativo = QStringLiteral("Errore del database: il server non risponde: %1")
                                    .arg(QString::fromUtf8(PQerrorMessage(pg)).trimmed());
            throw ErroreDatabase(c.ultimoTentativo, SQLITE_IOERR);
        }
        c.attesaTentativoMs = 0;
        if (c.nonAttendere)
            applicaAttesa(pg, true);
        // The server let the session's locks go with the lost connection.
        c.bloccoDaRiprendere = !c.blocchi.isEmpty();
    }
    // Whoever took one of them meanwhile keeps it, and this connection is of
    // no use to its holder until that one lets it go.
    if (c.bloccoDaRiprendere) {
        for (const qint64 chiave : c.blocchi) {
            if (!bloccoSessione(pg, chiave))
                throw ErroreDatabase(QStringLiteral("Errore del database: riaperta la connessione, il blocco che essa "
                                                    "teneva è ora di un'altra connessione"),
                                     SQLITE_BUSY);
        }
        c.bloccoDaRiprendere = false;
    }
    return pg;
}

bool riuscito(const PGresult* r)
{
    const auto s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK || s == PGRES_EMPTY_QUERY;
}

void comando(PGconn* pg, const char* sql)
{
    Risultato r(PQexec(pg, sql));
    if (!riuscito(r.get()))
        lanciaDa(pg, r.get(), QString::fromUtf8(sql));
}

// SQLite numbers a new row after the highest key, whoever wrote it; an
// identity column takes its sequence's next value, which a key written by
// hand does not move. After an INSERT that wrote the identity column itself
// (named, or every column by position) the sequence goes past the highest key.
void allineaIdentita(Connessione& c, const QString& sql)
{
    static const QRegularExpression insert(
        QStringLiteral(R"(^\s*INSERT\s+INTO\s+(\[[^\]]+\]|"[^"]+"|\w+)\s*(\(([^)]*)\))?)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = insert.match(sql);
    if (!m.hasMatch())
        return;
    QString tabella = m.captured(1);
    if (tabella.startsWith(QLatin1Char('[')) || tabella.startsWith(QLatin1Char('"')))
        tabella = tabella.mid(1, tabella.size() - 2);
    else if (tipoOggetto(c, tabella, &tabella) != QLatin1String("table"))
        return;
    const QString chiave = QStringLiteral("identita ") + tabella;
    auto it = c.catalogo.constFind(chiave);
    if (it == c.catalogo.constEnd()) {
        const Risultato r = esegui(c, QStringLiteral(
            "SELECT a.attname FROM pg_catalog.pg_attribute a WHERE a.attidentity <> '' AND a.attrelid = "
            "(SELECT t.oid FROM pg_catalog.pg_class t WHERE t.relname = ? AND t.relnamespace = "
            "(SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()))"), {tabella});
        QStringList colonne;
        for (int i = 0; i < PQntuples(r.get()); ++i)
            colonne << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        it = c.catalogo.insert(chiave, colonne);
    }
    const QString elenco = m.captured(3);
    for (const QString& colonna : *it) {
        bool scritta = m.captured(2).isEmpty();
        for (QString nome : elenco.split(QLatin1Char(','))) {
            nome = nome.trimmed();
            if (nome.startsWith(QLatin1Char('[')) || nome.startsWith(QLatin1Char('"')))
                nome = nome.mid(1, nome.size() - 2);
            scritta = scritta || nome.compare(colonna, Qt::CaseInsensitive) == 0;
        }
        if (!scritta)
            continue;
        // Both names come from the server's catalogue.
        esegui(c, QStringLiteral("SELECT setval(s, m) FROM (SELECT pg_get_serial_sequence(?, ?)::regclass AS s, "
                                 "(SELECT max(") + quota(colonna) + QStringLiteral(") FROM ") + quota(tabella) // sql: identificatore verificato
                      + QStringLiteral(") AS m) x WHERE m > coalesce(pg_sequence_last_value(s), 0)"),
               {quota(tabella), colonna});
    }
}

bool inizioNome(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool parteNome(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

} // namespace

bool eUnServer(const QString& percorso)
{
    return percorso.startsWith(QLatin1String("postgresql://")) || percorso.startsWith(QLatin1String("postgres://"))
        || percorso.contains(QLatin1Char('='));
}

QString traduci(const QString& sql, int* segnaposti, const QSet<QString>* nomi)
{
    QString out;
    out.reserve(sql.size() + 16);
    int n = 0;
    const int len = int(sql.size());
    // Copies sql[i] up to and including the first `fine` after it.
    auto finoA = [&](int i, QChar fine) {
        int j = i + 1;
        while (j < len && sql.at(j) != fine)
            ++j;
        out += QStringView(sql).mid(i, qMin(j + 1, len) - i);
        return qMin(j + 1, len);
    };
    for (int i = 0; i < len;) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside is read as two strings back to back.
            i = finoA(i, c);
        } else if (c == QLatin1Char('[')
                   && (i == 0 || !(parteNome(sql.at(i - 1)) || sql.at(i - 1) == QLatin1Char(']')
                                   || sql.at(i - 1) == QLatin1Char(')')))) {
            // [Name]; after a name or a bracket it is an array's subscript.
            int j = i + 1;
            while (j < len && sql.at(j) != QLatin1Char(']'))
                ++j;
            out += quota(sql.mid(i + 1, j - i - 1));
            i = qMin(j + 1, len);
        } else if (c == QLatin1Char('-') && i + 1 < len && sql.at(i + 1) == QLatin1Char('-')) {
            i = finoA(i, QLatin1Char('\n'));
        } else if (c == QLatin1Char('/') && i + 1 < len && sql.at(i + 1) == QLatin1Char('*')) {
            const int j = int(sql.indexOf(QLatin1String("*/"), i + 2));
            const int fine = j < 0 ? len : j + 2;
            out += QStringView(sql).mid(i, fine - i);
            i = fine;
        } else if (c == QLatin1Char('$') && (i == 0 || !parteNome(sql.at(i - 1)))) {
            // $tag$ … $tag$ (a function body); $1 is a placeholder already.
            int j = i + 1;
            while (j < len && (j == i + 1 ? inizioNome(sql.at(j)) : parteNome(sql.at(j))) && sql.at(j) != QLatin1Char('$'))
                ++j;
            if (j < len && sql.at(j) == QLatin1Char('$')) {
                const QString tag = sql.mid(i, j - i + 1);
                const int chiusa = int(sql.indexOf(tag, j + 1));
                const int fine = chiusa < 0 ? len : chiusa + int(tag.size());
                out += QStringView(sql).mid(i, fine - i);
                i = fine;
            } else {
                out += c;
                ++i;
            }
        } else if (c == QLatin1Char('?')) {
            // "?N" is the Nth value wherever it stands, as often as it is
            // written; a bare "?" the one after the highest so far (SQLite's rule).
            int j = i + 1;
            while (j < len && sql.at(j).isDigit())
                ++j;
            const int numero = j > i + 1 ? sql.mid(i + 1, j - i - 1).toInt() : n + 1;
            n = std::max(n, numero);
            out += QLatin1Char('$') + QString::number(numero);
            i = j;
        } else if (parteNome(c)) {
            // A whole word at once, so that a '$' or a digit inside a name
            // is never taken for the start of something else.
            int j = i;
            while (j < len && parteNome(sql.at(j)))
                ++j;
            const QString parola = sql.mid(i, j - i);
            if (nomi && parola != parola.toLower() && nomi->contains(parola))
                out += quota(parola);
            else
                out += parola;
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    if (segnaposti)
        *segnaposti = n;
    return out;
}

QString descrivi(const QString& url)
{
    char* errore = nullptr;
    PQconninfoOption* opzioni = PQconninfoParse(url.toUtf8().constData(), &errore);
    if (!opzioni) {
        PQfreemem(errore);
        return url;
    }
    QStringList parti;
    for (PQconninfoOption* o = opzioni; o->keyword; ++o) {
        if (o->val && *o->val && std::strcmp(o->keyword, "password") != 0)
            parti << QStringLiteral("%1=%2").arg(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(opzioni);
    return parti.join(QLatin1Char(' '));
}

PGconn* connetti(const QString& url)
{
    // The caller's text is expanded where it stands: it may change what
    // comes before it (a server that does not answer is given up after 10 s,
    // not waited for with a frozen desk), not what follows it (the session
    // speaks UTF-8 and ISO dates whatever the server's defaults).
    const QByteArray u = url.toUtf8();
    const QByteArray opzioni = QByteArrayLiteral("-c DateStyle=ISO,YMD -c client_min_messages=warning -c lock_timeout=")
                               + QByteArray::number(kAttesaOccupatoMs);
    const char* chiavi[] = {"connect_timeout", "dbname", "client_encoding", "options", "fallback_application_name", nullptr};
    const char* valori[] = {"10", u.constData(), "UTF8", opzioni.constData(), "sorvela", nullptr};
    PGconn* pg = PQconnectdbParams(chiavi, valori, 1);
    if (!pg)
        throw ErroreDatabase(QStringLiteral("Impossibile aprire il database %1: memoria esaurita").arg(descrivi(url)),
                             SQLITE_NOMEM);
    if (PQstatus(pg) != CONNECTION_OK) {
        const QString msg = QString::fromUtf8(PQerrorMessage(pg)).trimmed();
        PQfinish(pg);
        throw ErroreDatabase(QStringLiteral("Impossibile aprire il database %1: %2").arg(descrivi(url), msg),
                             SQLITE_CANTOPEN);
    }
    return pg;
}

Risultato esegui(Connessione& c, const QString& sql, const QVariantList& parametri)
{
    PGconn* pg = pronto(c);
    int posti = 0;
    const QByteArray testo = traduci(sql, &posti, &c.nomi).toUtf8();
    if (posti != parametri.size())
        lanciaUso(QStringLiteral("%1 valori per %2 parametri in \"%3\"")
                      .arg(parametri.size()).arg(posti).arg(sql.simplified()));

    std::vector<QByteArray> dati(static_cast<size_t>(posti));
    std::vector<const char*> valori(size_t(posti), nullptr);
    std::vector<int> lunghezze(size_t(posti), 0), formati(size_t(posti), 0);
    for (int i = 0; i < posti; ++i) {
        const QVariant v = perDatabase(parametri.at(i));
        if (v.isNull())
            continue;
        if (v.typeId() == QMetaType::LongLong) {
            dati[i] = QByteArray::number(v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            dati[i] = QByteArray::number(v.toDouble(), 'g', 17);
        } else if (v.typeId() == QMetaType::QByteArray) {
            dati[i] = v.toByteArray();
            formati[i] = 1;  // bytes as they are
        } else {
            dati[i] = v.toString().toUtf8();
        }
        // An empty text stays an empty text: never let it become NULL.
        valori[i] = dati[i].isNull() ? "" : dati[i].constData();
        lunghezze[i] = int(dati[i].size());
    }

    // SQLite undoes a failed statement and keeps the transaction; the server
    // would abandon the whole of it. A savepoint around each statement keeps
    // SQLite's behaviour, which the callers were written for.
    const bool protetto = inTransazione(pg);
    if (protetto)
        comando(pg, "SAVEPOINT sorvela_istruzione");
    Risultato r(PQexecParams(pg, testo.constData(), posti, nullptr, valori.data(), lunghezze.data(),
                             formati.data(), 0));
    if (!riuscito(r.get())) {
        if (protetto && PQstatus(pg) == CONNECTION_OK) {
            Risultato annullato(PQexec(pg, "ROLLBACK TO SAVEPOINT sorvela_istruzione"));
            Risultato rilasciato(PQexec(pg, "RELEASE SAVEPOINT sorvela_istruzione"));
        }
        lanciaDa(pg, r.get(), sql.simplified());
    }
    if (protetto)
        comando(pg, "RELEASE SAVEPOINT sorvela_istruzione");
    const char* stato = PQcmdStatus(r.get());
    for (const char* verbo : {"INSERT", "UPDATE", "DELETE", "MERGE"}) {
        if (std::strncmp(stato, verbo, std::strlen(verbo)) == 0)
            c.modificate = std::atoi(PQcmdTuples(r.get()));
    }
    if (std::strncmp(stato, "INSERT", 6) == 0) {
        const int modificate = c.modificate;
        allineaIdentita(c, sql);
        c.modificate = modificate;
    }
    for (const char* verbo : {"CREATE", "ALTER", "DROP"}) {
        if (std::strncmp(stato, verbo, std::strlen(verbo)) == 0)
            caricaNomi(c);
    }
    return r;
}

void caricaNomi(Connessione& c)
{
    // Every name of the schema, whether this login may touch it or not (as
    // information_schema would have it): a table it may not read is then
    // refused for what it is, not as one that does not exist.
    const Risultato r = esegui(c, QStringLiteral(
        "SELECT t.relname FROM pg_catalog.pg_class t "
        "WHERE t.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()) "
        "AND t.relkind IN ('r', 'p', 'v', 'm', 'f') "
        "UNION SELECT a.attname FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class t ON t.oid = a.attrelid "
        "WHERE t.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()) "
        "AND t.relkind IN ('r', 'p', 'v', 'm', 'f') AND a.attnum > 0 AND NOT a.attisdropped"));
    QSet<QString> nomi;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        nomi.insert(QString::fromUtf8(PQgetvalue(r.get(), i, 0)));
    c.nomi = std::move(nomi);
    c.catalogo.clear();
}

void eseguiScript(PGconn* pg, const QString& sql, const QString& contesto)
{
    Risultato r(PQexec(pg, sql.toUtf8().constData()));
    if (!riuscito(r.get()))
        lanciaDa(pg, r.get(), contesto);
}

Tipo tipoColonna(Oid tipo)
{
    switch (tipo) {
    case kDate:
        return Tipo::Data;
    case kTimestamp:
    case kTimestampTz:
        return Tipo::DataOra;
    case kBool:
        return Tipo::SiNo;
    default:
        return Tipo::Generico;
    }
}

QVariant leggi(const PGresult* r, int riga, int colonna)
{
    if (PQgetisnull(r, riga, colonna))
        return QVariant();
    const char* testo = PQgetvalue(r, riga, colonna);
    const int lunghezza = PQgetlength(r, riga, colonna);
    const Oid tipo = PQftype(r, colonna);
    switch (tipo) {
    case kBool:
        return testo[0] == 't';
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return qlonglong(std::strtoll(testo, nullptr, 10));
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return QByteArray(testo, lunghezza).toDouble();
    case kBytea: {
        size_t n = 0;
        unsigned char* b = PQunescapeBytea(reinterpret_cast<const unsigned char*>(testo), &n);
        const QByteArray dati(reinterpret_cast<const char*>(b), qsizetype(n));
        PQfreemem(b);
        return dati;
    }
    default:
        return comeLetto(QString::fromUtf8(testo, lunghezza), tipoColonna(tipo));
    }
}

QString tipoOggetto(Connessione& c, const QString& nome, QString* nomeVero)
{
    const QString chiave = QStringLiteral("oggetto ") + nome;
    if (const auto it = c.catalogo.constFind(chiave); it != c.catalogo.constEnd()) {
        if (nomeVero)
            *nomeVero = it->at(1);
        return it->at(0);
    }
    const Risultato r = esegui(c, QStringLiteral(
        "SELECT CASE WHEN c.relkind IN ('v', 'm') THEN 'view' ELSE 'table' END, c.relname "
        "FROM pg_catalog.pg_class c "
        "WHERE c.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()) "
        "AND c.relkind IN ('r', 'p', 'v', 'm') AND lower(c.relname) = lower(?) "
        "ORDER BY c.relname = ? DESC LIMIT 1"), {nome, nome});
    if (PQntuples(r.get()) == 0)
        return QString();
    const QStringList trovato{QString::fromUtf8(PQgetvalue(r.get(), 0, 0)), QString::fromUtf8(PQgetvalue(r.get(), 0, 1))};
    c.catalogo.insert(chiave, trovato);
    if (nomeVero)
        *nomeVero = trovato.at(1);
    return trovato.at(0);
}

namespace {

QStringList primaColonnaDi(const PGresult* r)
{
    QStringList nomi;
    for (int i = 0; i < PQntuples(r); ++i)
        nomi << QString::fromUtf8(PQgetvalue(r, i, 0));
    return nomi;
}

} // namespace

QStringList chiavePrimaria(Connessione& c, const QString& tabella)
{
    const QString chiave = QStringLiteral("chiave ") + tabella;
    if (const auto it = c.catalogo.constFind(chiave); it != c.catalogo.constEnd())
        return *it;
    const Risultato r = esegui(c, QStringLiteral(
        "SELECT a.attname FROM pg_catalog.pg_index i "
        "JOIN pg_catalog.pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey) "
        "WHERE i.indisprimary AND i.indrelid = (SELECT c.oid FROM pg_catalog.pg_class c WHERE c.relname = ? "
        "AND c.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema())) "
        "ORDER BY array_position(i.indkey::int2[], a.attnum)"), {tabella});
    return *c.catalogo.insert(chiave, primaColonnaDi(r.get()));
}

QStringList chiaviDellaVista(Connessione& c, const QString& vista)
{
    const QString chiave = QStringLiteral("vista ") + vista;
    if (const auto it = c.catalogo.constFind(chiave); it != c.catalogo.constEnd())
        return *it;
    // The tables a view reads are what its rewrite rule depends on.
    const Risultato r = esegui(c, QStringLiteral(
        "SELECT DISTINCT a.attname FROM pg_catalog.pg_rewrite w "
        "JOIN pg_catalog.pg_depend d ON d.classid = 'pg_catalog.pg_rewrite'::regclass AND d.objid = w.oid "
        "AND d.refclassid = 'pg_catalog.pg_class'::regclass AND d.refobjid <> w.ev_class "
        "JOIN pg_catalog.pg_index i ON i.indrelid = d.refobjid AND i.indisprimary AND i.indnkeyatts = 1 "
        "JOIN pg_catalog.pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0] "
        "WHERE w.ev_class = (SELECT c.oid FROM pg_catalog.pg_class c WHERE c.relname = ? "
        "AND c.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()))"),
        {vista});
    return *c.catalogo.insert(chiave, primaColonnaDi(r.get()));
}

bool bloccoSessione(PGconn* pg, qint64 chiave)
{
    const QByteArray testo = QByteArray::number(chiave);
    const char* valori[] = {testo.constData()};
    Risultato r(PQexecParams(pg, "SELECT pg_try_advisory_lock(CAST($1 AS bigint))", 1, nullptr, valori, nullptr,
                             nullptr, 0));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK)
        lanciaDa(pg, r.get(), QStringLiteral("blocco di sessione"));
    return PQgetvalue(r.get(), 0, 0)[0] == 't';
}

bool inTransazione(PGconn* pg)
{
    const auto s = PQtransactionStatus(pg);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

void impostaAttesa(Connessione& c, bool nonAttendere)
{
    c.nonAttendere = nonAttendere;
    applicaAttesa(pronto(c), nonAttendere);
}

void transazione(Connessione& c, const char* comandoSql)
{
    PGconn* pg = pronto(c);
    Risultato r(PQexec(pg, comandoSql));
    if (!riuscito(r.get()))
        lanciaDa(pg, r.get(), QString::fromUtf8(comandoSql));
    // A COMMIT of a transaction the server had already abandoned answers
    // ROLLBACK: the writes are gone, and the caller must know.
    if (std::strcmp(comandoSql, "COMMIT") == 0 && std::strcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        throw ErroreDatabase(QStringLiteral("Errore del database (conferma transazione): la transazione era già "
                                            "stata annullata dal server"),
                             SQLITE_ABORT);
}

} // namespace sorvela::store::detail::pg
