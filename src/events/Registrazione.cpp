#include "events/Registrazione.h"

#include "core/Orologio.h"
#include "events/grammar/GrammaticaRapporto.h"
#include "modem/pdu/AlfabetoGsm.h"
#include "modem/pdu/DecodificaPdu.h"
#include "modem/pdu/Messaggio.h"
#include "platform/Contesto.h"
#include "store/Database.h"

#include <exception>

namespace sorvela {

namespace {

store::Database& database(Contesto& c)
{
    if (!c.db || !c.db->aperto())
        throw store::ErroreDatabase(QStringLiteral("il database non è aperto"), 0);
    return *c.db;
}

QDateTime adesso(const Contesto& c)
{
    return c.orologio ? c.orologio->adesso() : QDateTime::currentDateTime();
}

// Runs `scrivi` inside the caller's transaction if there is one, so that a
// routine built from several of these commits them together; otherwise in a
// transaction of its own.
template <typename F>
void inTransazione(store::Database& db, F&& scrivi)
{
    if (db.inTransazione()) {
        scrivi();
        return;
    }
    store::Transazione t(db);
    scrivi();
    t.conferma();
}

// False when an event of this message identity is already stored: the
// schema keeps one per identity, whoever else (another receiver) stored it
// between our look and this write.
bool aggiungiEvento(store::Database& db, const QString& codice, const QDateTime& quando, const QString& testo,
                    const QString& tipo, const QString& descrizione, const QString& impronta = {})
{
    db.esegui(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio], "
                             "[Archiviato], [Tipo evento], [Descrizione evento], [Impronta]) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (\"Impronta\") DO NOTHING"),
              {codice, quando, testo, false, tipo, descrizione,
               impronta.isEmpty() ? QVariant() : QVariant(impronta)});
    return db.righeModificate() == 1;
}

// The subscriber whose GSM number is `mittente`, written with or without the
// Italian prefix. Empty numbers are left out of the comparison on purpose:
// the subscribers without a GSM number on file are many, and none of them
// sent this message.
QString cercaUtente(store::Database& db, const QString& mittente)
{
    if (mittente.isEmpty())
        return {};
    const QString nazionale = pdu::NumeroNazionale(mittente);
    // A number without "+39" has no national form: Null matches nothing.
    const QVariant codice = db.valore(QStringLiteral("SELECT [Codice periferica] FROM DatiUtente "
                                                     "WHERE [Telefono GSM fonia] IN (?, ?) ORDER BY rowid LIMIT 1"),
                                      {mittente, nazionale.isEmpty() ? QVariant() : QVariant(nazionale)});
    return codice.isNull() ? QString() : codice.toString();
}

// Whether a message of this identity is already kept, as an event or as a
// message of no subscriber (one may have become the other through "Assegna…").
bool giaPresente(store::Database& db, const QString& impronta)
{
    return !impronta.isEmpty()
           && !db.valore(QStringLiteral("SELECT 1 FROM ArchivioEventi WHERE [Impronta] = ? UNION ALL "
                                        "SELECT 1 FROM \"MessaggiNonAttribuiti\" WHERE \"Impronta\" = ? LIMIT 1"),
                         {impronta, impronta})
                  .isNull();
}

// A message that no subscriber's number matches is kept before the handset
// may forget it: the unit may be one whose SIM card was replaced. Committed
// here, for the same reason as an event.
EsitoRegistrazione tieniNonAttribuito(store::Database& db, const QDateTime& quando, const QString& mittente,
                                      const QString& testo, const QString& impronta)
{
    store::Transazione t(db);
    if (giaPresente(db, impronta))
        return EsitoRegistrazione::Ripetuto;
    db.esegui(QStringLiteral("INSERT INTO \"MessaggiNonAttribuiti\" (\"Data e ora\", \"Mittente\", "
                             "\"Testo messaggio\", \"Tipo evento\", \"Descrizione evento\", \"Impronta\") "
                             "VALUES (?, ?, ?, ?, ?, ?)"),
              {quando, mittente, pdu::TogliNul(testo), grammar::ClassificaEvento(testo), grammar::DescriviEvento(testo),
               impronta.isEmpty() ? QVariant() : QVariant(impronta)});
    t.conferma();
    return EsitoRegistrazione::MittenteSconosciuto;
}

} // namespace

namespace {

Registrazione registra(Contesto& c, const QString& mittente, const QString& testo, const QString& impronta)
{
    Registrazione r;
    try {
        store::Database& db = database(c);
        const QString codice = cercaUtente(db, mittente);
        if (codice.isEmpty()) {
            r.esito = tieniNonAttribuito(db, adesso(c), mittente, testo, impronta);
            return r;
        }
        r.codice = codice; // kept on failure too: the report still names its unit
        // A transaction of its own, never the caller's: "Registrato" lets the
        // handset forget the message, so the event must be committed here,
        // not left to the fate of someone else's transaction. One already
        // open makes this throw, and the message waits for the next cycle.
        store::Transazione t(db);
        if (giaPresente(db, impronta)) {
            r.esito = EsitoRegistrazione::Ripetuto;
            return r;
        }
        if (!aggiungiEvento(db, codice, adesso(c), pdu::TogliNul(testo), grammar::ClassificaEvento(testo),
                            grammar::DescriviEvento(testo), impronta)) {
            r.esito = EsitoRegistrazione::Ripetuto;
            return r;
        }
        RisolviInterrogazione(c, codice); // within `t`
        t.conferma();
        r.esito = EsitoRegistrazione::Registrato;
    } catch (const store::ErroreDatabase& e) {
        r.esito = EsitoRegistrazione::Fallito;
        r.errore = e.messaggio();
    } catch (const std::exception& e) {
        r.esito = EsitoRegistrazione::Fallito;
        r.errore = QString::fromLocal8Bit(e.what());
    }
    return r;
}

} // namespace

Registrazione RegistraMessaggio(Contesto& c, const pdu::MessaggioRicevuto& m)
{
    return registra(c, m.mittente, m.testo, m.impronta());
}

Registrazione RegistraMessaggio(Contesto& c, const QString& rispostaCmgr)
{
    const pdu::MessaggioRicevuto m = pdu::LeggiMessaggioRicevuto(rispostaCmgr);
    if (m.valido)
        return RegistraMessaggio(c, m);
    // The reply's tail decodes as NULs, which the alphabet would read as "@":
    // they go before the translation.
    return registra(c, pdu::EstraiMittente(rispostaCmgr),
                    pdu::TraduciAlfabetoGsm(pdu::TogliNul(pdu::DecodificaSettetti(pdu::EstraiDatiPdu(rispostaCmgr)))),
                    {});
}

void RisolviInterrogazione(Contesto& c, const QString& codice)
{
    store::Database& db = database(c);
    inTransazione(db, [&] {
        db.esegui(QStringLiteral("DELETE FROM InterrogazioniPendenti WHERE rowid = "
                                 "(SELECT rowid FROM InterrogazioniPendenti WHERE [Codice periferica] = ? "
                                 "ORDER BY rowid LIMIT 1)"),
                  {codice});
    });
}

void RegistraScadenzaSim(Contesto& c, const QString& codice)
{
    store::Database& db = database(c);
    inTransazione(db, [&] {
        aggiungiEvento(db, codice, adesso(c), QStringLiteral("Scadenza carta SIM"), QStringLiteral("Allarme"),
                       QStringLiteral("Scadenza SIM"));
    });
}

} // namespace sorvela
