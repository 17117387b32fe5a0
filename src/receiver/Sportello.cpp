#include "receiver/Sportello.h"

#include "interrogation/Interrogazione.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

namespace sorvela::ricevitore {

QString FileCompattazione(const QString& cartellaDati)
{
    return QDir(cartellaDati).filePath(QStringLiteral("Sorvela.db.compattazione"));
}

bool Stato::attivo(const QDateTime& adessoUtc) const
{
    return presente && battito.isValid() && battito.secsTo(adessoUtc) <= SilenzioMassimo.count();
}

Stato LeggiStato(store::Database& db)
{
    Stato s;
    store::RecordSet rs = db.apriRecordSet(QStringLiteral(
        "SELECT \"Processo\", \"Avviato\", \"Battito\", \"Porta\", \"Telefono\", \"Attività\" "
        "FROM \"StatoRicevitore\" ORDER BY \"Battito\" DESC LIMIT 1"));
    if (rs.eof())
        return s;
    s.presente = true;
    s.processo = rs.campo(0).toString();
    s.avviato = rs.campo(1).toDateTime();
    s.battito = rs.campo(2).toDateTime();
    s.avviato.setTimeSpec(Qt::UTC);
    s.battito.setTimeSpec(Qt::UTC);
    s.porta = rs.campo(3).toInt();
    s.telefono = rs.campo(4).toString();
    s.attivita = rs.campo(5).toString();
    return s;
}

qint64 Richiedi(store::Database& db, const QString& richiesta, const QString& argomento, const QString& operatore)
{
    return db
        .valore(QStringLiteral("INSERT INTO \"RichiesteRicevitore\" (\"Data e ora\", \"Richiesta\", \"Argomento\", "
                               "\"Operatore\") VALUES (?, ?, ?, ?) RETURNING \"ID\""),
                {QDateTime::currentDateTimeUtc(), richiesta, argomento, operatore})
        .toLongLong();
}

Esito EsitoRichiesta(store::Database& db, qint64 id)
{
    Esito e;
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"Stato\", \"Esito\" FROM \"RichiesteRicevitore\" WHERE \"ID\" = ?"), {id});
    if (!rs.eof()) {
        e.servita = rs.campo(0).toString() == Servita;
        e.testo = rs.campo(1).toString();
    }
    return e;
}

QList<Avviso> AvvisiDopo(store::Database& db, qint64 ultimo)
{
    QList<Avviso> r;
    for (store::RecordSet rs = db.apriRecordSet(
             QStringLiteral("SELECT \"ID\", \"Tipo\", \"Icona\", \"Testo\", \"Codice periferica\", \"Mittente\", "
                            "\"Allarme\" FROM \"AvvisiRicevitore\" WHERE \"ID\" > ? ORDER BY \"ID\""),
             {ultimo});
         !rs.eof(); rs.moveNext()) {
        r.append({rs.campo(0).toLongLong(), rs.campo(1).toString(), rs.campo(2).toInt(), rs.campo(3).toString(),
                  rs.campo(4).toString(), rs.campo(5).toString(), rs.campo(6).toBool()});
    }
    return r;
}

qint64 UltimoAvviso(store::Database& db)
{
    return db.valore(QStringLiteral("SELECT coalesce(max(\"ID\"), 0) FROM \"AvvisiRicevitore\"")).toLongLong();
}

Esito AttendiEsito(store::Database& db, qint64 id, std::chrono::milliseconds limite, std::chrono::milliseconds passo)
{
    const QDeadlineTimer scadenza(limite);
    QEventLoop ciclo;
    QTimer battito;
    battito.setInterval(passo);
    Esito e;
    QObject::connect(&battito, &QTimer::timeout, &ciclo, [&] {
        try {
            e = EsitoRichiesta(db, id);
        } catch (const store::ErroreDatabase&) {
            // A busy file now is asked again at the next step.
        }
        if (e.servita || scadenza.hasExpired())
            ciclo.quit();
    });
    battito.start();
    ciclo.exec();
    return e;
}

bool ChiediInterrogazione(Contesto& c, const QString& codice)
{
    if (!PuoEssereInterrogata(c, codice))
        return false;
    try {
        Richiedi(*c.db, RichiestaInterrogazione, codice, c.operatore);
        return true;
    } catch (const store::ErroreDatabase& e) {
        c.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile chiedere l'interrogazione della periferica %1.\n"
                                                         "Errore del database: %2")
                                              .arg(codice, e.messaggio()));
        return false;
    }
}

} // namespace sorvela::ricevitore
