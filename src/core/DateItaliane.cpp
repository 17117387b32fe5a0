#include "core/DateItaliane.h"

#include <QRegularExpression>

namespace sorvela::date {

QString perDatabase(const QDateTime& t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString perDatabase(const QDate& d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<QDateTime> daDatabaseOra(const QString& testo)
{
    const QString t = testo.trimmed();
    QDateTime r = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!r.isValid())
        r = QDateTime::fromString(t, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!r.isValid()) {
        const QDate d = QDate::fromString(t.left(10), QStringLiteral("yyyy-MM-dd"));
        if (d.isValid() && t.size() == 10)
            r = QDateTime(d, QTime(0, 0));
    }
    if (!r.isValid())
        return std::nullopt;
    return r;
}

std::optional<QDate> daDatabaseData(const QString& testo)
{
    const QDate d = QDate::fromString(testo.trimmed().left(10), QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString mostra(const QDate& d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

QString mostra(const QDateTime& t)
{
    return t.toString(QStringLiteral("dd/MM/yyyy HH.mm.ss"));
}

std::optional<QString> mostraTestoDatabase(const QString& t)
{
    if (t.size() != 19 || t.at(4) != u'-' || t.at(7) != u'-' || (t.at(10) != u' ' && t.at(10) != u'T')
        || t.at(13) != u':' || t.at(16) != u':')
        return std::nullopt;
    auto numero = [&t](int da, int n) {
        int v = 0;
        for (int i = da; i < da + n; ++i) {
            if (!t.at(i).isDigit())
                return -1;
            v = v * 10 + t.at(i).digitValue();
        }
        return v;
    };
    if (!QDate::isValid(numero(0, 4), numero(5, 2), numero(8, 2))
        || !QTime::isValid(numero(11, 2), numero(14, 2), numero(17, 2)))
        return std::nullopt;
    QString r(19, Qt::Uninitialized);
    const QChar* d = t.constData();
    QChar* o = r.data();
    // dd/MM/yyyy HH.mm.ss
    const int da[] = {8, 9, -'/', 5, 6, -'/', 0, 1, 2, 3, -' ', 11, 12, -'.', 14, 15, -'.', 17, 18};
    for (int i = 0; i < 19; ++i)
        o[i] = da[i] >= 0 ? d[da[i]] : QChar(char16_t(-da[i]));
    return r;
}

QString mostraOra(const QTime& t)
{
    return t.toString(QStringLiteral("HH.mm.ss"));
}

std::optional<QDate> leggiData(const QString& testo)
{
    static const QRegularExpression forma(
        QStringLiteral("^\\s*(\\d{1,2})[/.\\-](\\d{1,2})[/.\\-](\\d{2}|\\d{4})\\s*$"));
    const auto m = forma.match(testo);
    if (!m.hasMatch())
        return std::nullopt;
    const int giorno = m.captured(1).toInt();
    const int mese = m.captured(2).toInt();
    int anno = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        anno += anno < PrimoAnnoFinestra % 100 ? 2000 : 1900;
    const QDate d(anno, mese, giorno);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

} // namespace sorvela::date
