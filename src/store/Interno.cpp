#include "store/Interno.h"

#include "core/DateItaliane.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace sorvela::store {

ErroreDatabase::ErroreDatabase(const QString& messaggio, int codice)
    : std::runtime_error(messaggio.toStdString())
    , m_codice(codice)
{
}

bool ErroreDatabase::irraggiungibile() const
{
    return (m_codice & 0xff) == SQLITE_IOERR || (m_codice & 0xff) == SQLITE_CANTOPEN;
}

QString ErroreDatabase::messaggio() const
{
    return QString::fromUtf8(what());
}

} // namespace sorvela::store

namespace sorvela::store::detail {

void lancia(sqlite3* db, int rc, const QString& contesto)
{
    // The connection's message describes the last failure on it; without a
    // connection only the code is known.
    const int codice = db ? sqlite3_extended_errcode(db) : rc;
    QString dettaglio = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    // Said so that an operator reading the notice knows it will pass.
    if (((codice ? codice : rc) & 0xff) == SQLITE_BUSY)
        dettaglio = QStringLiteral("il database è occupato da un'altra operazione, si riprova più tardi (%1)")
                        .arg(dettaglio);
    throw ErroreDatabase(QStringLiteral("Errore del database (%1): %2").arg(contesto, dettaglio),
                         codice ? codice : rc);
}

void lanciaUso(const QString& messaggio)
{
    throw ErroreDatabase(QStringLiteral("Errore del database: %1").arg(messaggio), SQLITE_MISUSE);
}

QString quota(const QString& nome)
{
    QString q = nome;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

Tipo tipoDichiarato(const char* dichiarato)
{
    if (!dichiarato)
        return Tipo::Generico;
    const QByteArray t = QByteArray(dichiarato).trimmed().toUpper();
    if (t == "DATE")
        return Tipo::Data;
    if (t == "DATETIME")
        return Tipo::DataOra;
    if (t == "BOOLEAN")
        return Tipo::SiNo;
    return Tipo::Generico;
}

QVariant perDatabase(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    switch (v.typeId()) {
    case QMetaType::Bool:
        return QVariant(qlonglong(v.toBool() ? 1 : 0));
    // An invalid date would be written as an empty text, which sorts before
    // every real date: a date check would then take it for long past.
    case QMetaType::QDate:
        return v.toDate().isValid() ? QVariant(date::perDatabase(v.toDate())) : QVariant();
    case QMetaType::QDateTime:
        return v.toDateTime().isValid() ? QVariant(date::perDatabase(v.toDateTime())) : QVariant();
    case QMetaType::QTime:
        return v.toTime().isValid() ? QVariant(v.toTime().toString(QStringLiteral("HH:mm:ss"))) : QVariant();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QVariant(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(v.toDouble());
    case QMetaType::QByteArray:
        return v;
    default:
        return v.toString();
    }
}

namespace {

// The stored forms are fixed, and the queue reads its dates every second:
// digits are picked out directly, which is many times quicker than a
// format-driven parse. Anything else goes to the general conversions.
int cifre(const QString& t, int da, int quante)
{
    int n = 0;
    for (int i = da; i < da + quante; ++i) {
        const QChar c = t.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

QDate dataRapida(const QString& t)
{
    if (t.size() < 10 || t.at(4) != QLatin1Char('-') || t.at(7) != QLatin1Char('-'))
        return QDate();
    return QDate(cifre(t, 0, 4), cifre(t, 5, 2), cifre(t, 8, 2));
}

QDateTime dataOraRapida(const QString& t)
{
    if (t.size() != 19 || (t.at(10) != QLatin1Char(' ') && t.at(10) != QLatin1Char('T'))
        || t.at(13) != QLatin1Char(':') || t.at(16) != QLatin1Char(':'))
        return QDateTime();
    const QDate d = dataRapida(t);
    const QTime o(cifre(t, 11, 2), cifre(t, 14, 2), cifre(t, 17, 2));
    if (!d.isValid() || !o.isValid())
        return QDateTime();
    return QDateTime(d, o);
}

} // namespace

QVariant comeLetto(const QVariant& valoreDb, Tipo tipo)
{
    if (valoreDb.isNull())
        return QVariant();
    switch (tipo) {
    case Tipo::Data:
        if (valoreDb.typeId() == QMetaType::QString) {
            const QString t = valoreDb.toString();
            if (const QDate d = t.size() == 10 ? dataRapida(t) : QDate(); d.isValid())
                return d;
            if (auto d = date::daDatabaseData(t))
                return *d;
        }
        return valoreDb;
    case Tipo::DataOra:
        if (valoreDb.typeId() == QMetaType::QString) {
            const QString testo = valoreDb.toString();
            if (const QDateTime t = dataOraRapida(testo); t.isValid())
                return t;
            if (auto t = date::daDatabaseOra(testo))
                return *t;
        }
        return valoreDb;
    case Tipo::SiNo:
        if (valoreDb.typeId() == QMetaType::LongLong || valoreDb.typeId() == QMetaType::Double)
            return valoreDb.toDouble() != 0.0;
        return valoreDb;
    case Tipo::Generico:
        break;
    }
    return valoreDb;
}

QVariant leggi(sqlite3_stmt* st, int colonna, Tipo tipo)
{
    QVariant grezzo;
    switch (sqlite3_column_type(st, colonna)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        grezzo = qlonglong(sqlite3_column_int64(st, colonna));
        break;
    case SQLITE_FLOAT:
        grezzo = sqlite3_column_double(st, colonna);
        break;
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, colonna));
        grezzo = QByteArray(p, sqlite3_column_bytes(st, colonna));
        break;
    }
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, colonna));
        grezzo = QString::fromUtf8(p, sqlite3_column_bytes(st, colonna));
        break;
    }
    }
    return comeLetto(grezzo, tipo);
}

Istruzione::Istruzione(sqlite3* db, const QString& sql)
    : m_db(db)
{
    const QByteArray testo = sql.toUtf8();
    const char* resto = nullptr;
    const int rc = sqlite3_prepare_v2(db, testo.constData(), int(testo.size()), &m_st, &resto);
    if (rc != SQLITE_OK)
        lancia(db, rc, QStringLiteral("preparazione di \"%1\"").arg(sql.simplified()));
    if (!m_st)
        lanciaUso(QStringLiteral("istruzione vuota"));
    // A second statement after the first would run unseen: refuse it.
    if (resto && !QByteArray(resto).trimmed().isEmpty() && QByteArray(resto).trimmed() != ";") {
        sqlite3_finalize(m_st);
        m_st = nullptr;
        lanciaUso(QStringLiteral("una sola istruzione alla volta: \"%1\"").arg(sql.simplified()));
    }
}

Istruzione::~Istruzione()
{
    if (m_st)
        sqlite3_finalize(m_st);
}

sqlite3_stmt* Istruzione::rilascia()
{
    sqlite3_stmt* s = m_st;
    m_st = nullptr;
    return s;
}

void Istruzione::lega(const QVariantList& valori)
{
    const int posti = sqlite3_bind_parameter_count(m_st);
    if (posti != valori.size())
        lanciaUso(QStringLiteral("%1 valori per %2 parametri in \"%3\"")
                      .arg(valori.size()).arg(posti)
                      .arg(QString::fromUtf8(sqlite3_sql(m_st)).simplified()));
    for (int i = 0; i < valori.size(); ++i) {
        const int n = 1 + i;
        const QVariant v = perDatabase(valori.at(i));
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(m_st, n);
        } else if (v.typeId() == QMetaType::LongLong) {
            rc = sqlite3_bind_int64(m_st, n, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            rc = sqlite3_bind_double(m_st, n, v.toDouble());
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob64(m_st, n, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        } else {
            // An empty text stays an empty text: never let it become NULL.
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text64(m_st, n, t.isEmpty() ? "" : t.constData(),
                                     sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        if (rc != SQLITE_OK)
            lancia(m_db, rc, QStringLiteral("parametro %1").arg(n));
    }
}

bool Istruzione::passo()
{
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    lancia(m_db, rc, QString::fromUtf8(sqlite3_sql(m_st)).simplified());
}

void Istruzione::eseguiTutto()
{
    while (passo()) {
    }
}

void eseguiScript(sqlite3* db, const QString& sql, const QString& contesto)
{
    char* errore = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &errore);
    if (rc != SQLITE_OK) {
        const QString msg = errore ? QString::fromUtf8(errore) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(errore);
        throw ErroreDatabase(QStringLiteral("Errore del database (%1): %2").arg(contesto, msg),
                             sqlite3_extended_errcode(db));
    }
}

} // namespace sorvela::store::detail
