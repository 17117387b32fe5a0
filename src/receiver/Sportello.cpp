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

QList<Stato> LeggiStati(store::Database& db)
{
    QList<Stato> r;
    for (store::RecordSet rs = db.apriRecordSet(
             QStringLiteral("SELECT \"Nome\", \"Capo\", \"Processo\", \"Avviato\", \"Battito\", \"Porta\", "
                            "\"Telefono\", \"Attività\" FROM \"StatoRicevitore\" ORDER BY \"Nome\""));
         !rs.eof(); rs.moveNext()) {
        Stato s;
        s.presente = true;
        s.nome = rs.campo(0).toString();
        s.capo = rs.campo(1).toBool();
        s.processo = rs.campo(2).toString();
        s.avviato = rs.campo(3).toDateTime();
        s.battito = rs.campo(4).toDateTime();
        s.avviato.setTimeSpec(Qt::UTC);
        s.battito.setTimeSpec(Qt::UTC);
        s.porta = rs.campo(5).toInt();
        s.telefono = rs.campo(6).toString();
        s.attivita = rs.campo(7).toString();
        r.append(s);
    }
    return r;
}

Stato PiuRecente(const QList<Stato>& stati)
{
    Stato r;
    for (const Stato& s : stati) {
        if (!r.presente || s.battito > r.battito)
            r = s;
    }
    return r;
}

Stato LeggiStato(store::Database& db)
{
    return PiuRecente(LeggiStati(db));
}

QString Capo(const QList<Stato>& stati, const QDateTime& adessoUtc)
{
    const Stato* capo = nullptr;
    for (const Stato& s : stati) {
        if (s.capo && s.attivo(adessoUtc) && (!capo || s.battito > capo->battito))
            capo = &s;
    }
    return capo ? capo->nome : QString();
}

Quadro DescriviRicevitori(const QList<Stato>& stati, const QDateTime& adessoUtc)
{
    Quadro q;
    QStringList righe;
    int vivi = 0;
    const QString capo = Capo(stati, adessoUtc);
    for (const Stato& s : stati) {
        const bool attivo = s.attivo(adessoUtc);
        if (attivo) {
            ++vivi;
            if (s.telefono != QLatin1String("connesso"))
                q.guasto = true;
        }
        righe << QStringLiteral("%1%2: telefono COM%3 %4")
                     .arg(s.nome, s.nome == capo ? QStringLiteral(" (guida i controlli)") : QString())
                     .arg(s.porta)
                     .arg(attivo ? s.telefono : TestoNonAttivo.toLower());
    }
    // One silent (its row left by a receiver that died) is a handset the
    // centre no longer hears: red too, though the others receive.
    if (capo.isEmpty() || vivi < stati.size())
        q.guasto = true;
    q.attivi = vivi;
    q.conteggio = QStringLiteral("Ricevitori: %1 di %2").arg(vivi).arg(stati.size());
    q.guida = vivi == 0 ? TestoNonAttivo
                        : QStringLiteral("guida: %1").arg(capo.isEmpty() ? QStringLiteral("nessuno") : capo);
    q.dettaglio = righe.join(u'\n');
    return q;
}

Stato RicevitoreDellaPostazione(store::Database& db, const QString& preferito)
{
    const QDateTime adesso = QDateTime::currentDateTimeUtc();
    const QList<Stato> stati = LeggiStati(db);
    for (const Stato& s : stati) {
        if (s.nome == preferito && s.attivo(adesso))
            return s;
    }
    return PiuRecente(stati);
}

qint64 Richiedi(store::Database& db, const QString& richiesta, const QString& argomento, const QString& operatore,
                const QString& ricevitore)
{
    return db
        .valore(QStringLiteral("INSERT INTO \"RichiesteRicevitore\" (\"Data e ora\", \"Richiesta\", \"Argomento\", "
                               "\"Operatore\", \"Ricevitore\") VALUES (?, ?, ?, ?, ?) RETURNING \"ID\""),
                {QDateTime::currentDateTimeUtc(), richiesta, argomento, operatore,
                 ricevitore.isEmpty() ? QVariant() : QVariant(ricevitore)})
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
