#include "events/NonAttribuiti.h"

#include "core/DateItaliane.h"
#include "platform/Contesto.h"
#include "platform/RegistroOperazioni.h"
#include "store/Database.h"
#include "store/RecordSet.h"

namespace sorvela {

namespace {

QString testo(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

QString descrivi(const QDateTime& quando, const QString& mittente, const QString& testoMessaggio)
{
    return QStringLiteral("%1 del %2: %3").arg(mittente, date::mostra(quando), testoMessaggio);
}

} // namespace

QList<MessaggioNonAttribuito> ElencoNonAttribuiti(store::Database& db)
{
    QList<MessaggioNonAttribuito> l;
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"ID\", \"Data e ora\", \"Mittente\", \"Testo messaggio\", \"Tipo evento\", "
                       "\"Descrizione evento\" FROM \"MessaggiNonAttribuiti\" ORDER BY \"Data e ora\", \"ID\""));
    for (; !rs.eof(); rs.moveNext())
        l << MessaggioNonAttribuito{rs.campo(0).toLongLong(), rs.campo(1).toDateTime(), testo(rs.campo(2)),
                                    testo(rs.campo(3)), testo(rs.campo(4)), testo(rs.campo(5))};
    return l;
}

int ContaNonAttribuiti(store::Database& db)
{
    return db.valore(QStringLiteral("SELECT count(*) FROM \"MessaggiNonAttribuiti\"")).toInt();
}

bool GsmMancante(store::Database& db, const QString& codice)
{
    const QVariant v = db.valore(QStringLiteral("SELECT coalesce(\"Telefono GSM fonia\", '') FROM \"DatiUtente\" "
                                                "WHERE \"Codice periferica\" = ?"),
                                 {codice});
    return !v.isNull() && v.toString().trimmed().isEmpty();
}

EsitoAssegnazione AssegnaMessaggio(Contesto& c, qint64 id, const QString& codice, bool salvaNumero)
{
    store::Database& db = *c.db;
    store::Transazione t(db);
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"Data e ora\", \"Mittente\", \"Testo messaggio\", \"Tipo evento\", "
                       "\"Descrizione evento\", \"Impronta\" FROM \"MessaggiNonAttribuiti\" WHERE \"ID\" = ?"),
        {id});
    if (rs.eof())
        return EsitoAssegnazione::MessaggioSparito;
    const QVariant quando = rs.campo(0);
    const QString mittente = testo(rs.campo(1));
    const QString testoMessaggio = testo(rs.campo(2));
    const QVariant tipo = rs.campo(3), descrizione = rs.campo(4), impronta = rs.campo(5);
    rs.chiudi();
    if (db.valore(QStringLiteral("SELECT 1 FROM \"DatiUtente\" WHERE \"Codice periferica\" = ?"), {codice}).isNull())
        return EsitoAssegnazione::UtenteInesistente;

    db.esegui(QStringLiteral("INSERT INTO \"ArchivioEventi\" (\"Codice periferica\", \"Data e ora\", "
                             "\"Testo messaggio\", \"Archiviato\", \"Tipo evento\", \"Descrizione evento\", "
                             "\"Impronta\") VALUES (?, ?, ?, FALSE, ?, ?, ?)"),
              {codice, quando, testoMessaggio, tipo, descrizione, impronta});
    // Inside this transaction the newest event is the one just written.
    const qint64 evento = db.valore(QStringLiteral("SELECT max(\"ID\") FROM \"ArchivioEventi\"")).toLongLong();
    db.esegui(QStringLiteral("DELETE FROM \"MessaggiNonAttribuiti\" WHERE \"ID\" = ?"), {id});
    QString dettagli = descrivi(quando.toDateTime(), mittente, testoMessaggio)
                       + QStringLiteral("; evento ID %1").arg(evento);
    if (salvaNumero && !mittente.isEmpty() && GsmMancante(db, codice)) {
        db.esegui(QStringLiteral("UPDATE \"DatiUtente\" SET \"Telefono GSM fonia\" = ? WHERE \"Codice periferica\" = ?"),
                  {mittente, codice});
        dettagli += QStringLiteral("; Telefono GSM fonia: \"\" -> \"%1\"").arg(mittente);
    }
    RegistraOperazione(c, azione::MessaggioAssegnato, QStringLiteral("Utente %1").arg(codice), dettagli);
    t.conferma();
    return EsitoAssegnazione::Assegnato;
}

bool EliminaNonAttribuito(Contesto& c, qint64 id)
{
    store::Database& db = *c.db;
    store::Transazione t(db);
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"Data e ora\", \"Mittente\", \"Testo messaggio\" FROM \"MessaggiNonAttribuiti\" "
                       "WHERE \"ID\" = ?"),
        {id});
    if (rs.eof())
        return false;
    const QString mittente = testo(rs.campo(1));
    const QString dettagli = descrivi(rs.campo(0).toDateTime(), mittente, testo(rs.campo(2)));
    rs.chiudi();
    db.esegui(QStringLiteral("DELETE FROM \"MessaggiNonAttribuiti\" WHERE \"ID\" = ?"), {id});
    RegistraOperazione(c, azione::MessaggioEliminato, QStringLiteral("Mittente %1").arg(mittente), dettagli);
    t.conferma();
    return true;
}

} // namespace sorvela
