#include "platform/RegistroOperazioni.h"

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QList>
#include <QSysInfo>

#include <algorithm>

namespace sorvela {

void RegistraOperazione(Contesto& c, const QString& azione, const QString& oggetto, const QString& dettagli)
{
    if (!c.db || !c.db->aperto())
        throw store::ErroreDatabase(QStringLiteral("il database non è aperto"), 0);
    store::Database& db = *c.db;
    const QDateTime adesso = c.orologio ? c.orologio->adesso() : QDateTime::currentDateTime();
    const QVariantList valori{adesso, c.operatore, QSysInfo::machineHostName(), azione,
                              oggetto.isEmpty() ? QVariant() : QVariant(oggetto),
                              dettagli.isEmpty() ? QVariant() : QVariant(dettagli)};
    const QString sql = QStringLiteral(
        "INSERT INTO \"RegistroOperazioni\" (\"Data e ora\", \"Operatore\", \"Postazione\", \"Azione\", "
        "\"Oggetto\", \"Dettagli\") VALUES (?, ?, ?, ?, ?, ?)");
    if (db.inTransazione()) {
        db.esegui(sql, valori);
        return;
    }
    store::Transazione t(db);
    db.esegui(sql, valori);
    t.conferma();
}

QList<VoceRegistro> LeggiRegistro(store::Database& db, const FiltroRegistro& f, int limite, bool* troncato)
{
    // Days bound the stored text "YYYY-MM-DD HH:MM:SS" from the first day up
    // to (not including) the day after the last, on the index of the time.
    const QVariant dal = f.dal.isValid() ? QVariant(f.dal) : QVariant(QStringLiteral("0000"));
    const QVariant dopo = f.al.isValid() ? QVariant(f.al.addDays(1)) : QVariant(QStringLiteral("9999"));
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"Data e ora\", \"Operatore\", \"Postazione\", \"Azione\", \"Oggetto\", "
                       "\"Dettagli\" FROM \"RegistroOperazioni\" WHERE \"Data e ora\" >= ? AND \"Data e ora\" < ? "
                       "AND (? = '' OR \"Operatore\" = ?) AND (? = '' OR \"Azione\" = ?) "
                       "ORDER BY \"Data e ora\" DESC, \"ID\" DESC LIMIT ?"),
        {dal, dopo, f.operatore, f.operatore, f.azione, f.azione, limite + 1});
    auto testo = [](const QVariant& v) { return v.isNull() ? QString() : v.toString(); };
    QList<VoceRegistro> l;
    for (; !rs.eof() && l.size() < limite; rs.moveNext())
        l << VoceRegistro{rs.campo(0).toDateTime(), testo(rs.campo(1)), testo(rs.campo(2)), testo(rs.campo(3)),
                          testo(rs.campo(4)), testo(rs.campo(5))};
    if (troncato)
        *troncato = !rs.eof();
    return l;
}

namespace {

QStringList distinti(store::Database& db, const QString& sql)
{
    QStringList l;
    for (store::RecordSet rs = db.apriRecordSet(sql); !rs.eof(); rs.moveNext())
        l << rs.campo(0).toString();
    return l;
}

} // namespace

QStringList OperatoriRegistrati(store::Database& db)
{
    return distinti(db, QStringLiteral("SELECT DISTINCT \"Operatore\" FROM \"RegistroOperazioni\" ORDER BY 1"));
}

QStringList AzioniRegistrate(store::Database& db)
{
    return distinti(db, QStringLiteral("SELECT DISTINCT \"Azione\" FROM \"RegistroOperazioni\" ORDER BY 1"));
}

QString IntervalliId(QList<qint64> id)
{
    std::sort(id.begin(), id.end());
    QStringList parti;
    for (qsizetype i = 0; i < id.size();) {
        qsizetype j = i;
        while (j + 1 < id.size() && id[j + 1] <= id[j] + 1)
            ++j;
        parti << (id[j] == id[i] ? QString::number(id[i]) : QStringLiteral("%1-%2").arg(id[i]).arg(id[j]));
        i = j + 1;
    }
    return parti.join(QStringLiteral(", "));
}

} // namespace sorvela
