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
