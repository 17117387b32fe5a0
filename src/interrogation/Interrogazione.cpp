#include "interrogation/Interrogazione.h"

#include "core/DateItaliane.h"
#include "core/Orologio.h"
#include "interrogation/Errori.h"
#include "modem/Seriale.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/RegistroOperazioni.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QList>

#include <optional>

namespace sorvela {

using namespace interrogazione;

namespace {

// What a call needs to know about a subscriber; nothing when the code has
// none.
struct Utente {
    QString telefono; // [Telefono GSM fonia] as dialled; may be empty
};

// The number as the handset dials it: digits, "+", "*" and "#" only. Blanks
// and dashes typed for readability go, and so does anything that would end
// the dial command early or add one of its own (";", CR).
QString numeroDaComporre(const QString& telefono)
{
    QString n;
    for (const QChar ch : telefono) {
        if ((ch >= u'0' && ch <= u'9') || ch == u'+' || ch == u'*' || ch == u'#')
            n += ch;
    }
    return n;
}

std::optional<Utente> cercaUtente(store::Database& db, const QString& codice)
{
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT [Telefono GSM fonia] FROM DatiUtente WHERE [Codice periferica] = ?"), {codice});
    if (rs.eof())
        return std::nullopt;
    return Utente{numeroDaComporre(rs.campo(0).toString())};
}

QString testoEvento(const QString& modo)
{
    return modo == ModoManuale ? QStringLiteral("Interrogazione manuale della periferica")
                               : QStringLiteral("Interrogazione automatica della periferica");
}

struct Pendente {
    qint64 riga = 0;
    QString codice;
    QVariant quando;   // [Data e ora]; may be Null
    QVariant tentativi; // may be Null
};

int chiama(Contesto& c, const QString& codice, errori::Per per)
{
    std::optional<Utente> u;
    try {
        u = cercaUtente(errori::database(c), codice);
    } catch (const store::ErroreDatabase& e) {
        errori::avvisa(c, per, QStringLiteral("Impossibile leggere l'utente %1.").arg(codice), e);
        return 1;
    }
    // Nothing to dial: no serial traffic at all, not even the initialisation.
    if (!u || u->telefono.isEmpty())
        return 1;

    if (!c.linea)
        return 1;
    modem::Sessione linea = c.linea->prendi(EtichettaInCorso + codice);
    if (!linea.valida()) {
        errori::dici(c, per, Icona::Avviso,
                     QStringLiteral("Il telefono è impegnato (%1): la periferica %2 non è stata chiamata.")
                         .arg(linea.chi(), codice));
        return 1;
    }

    const modem::Prontezza pronto = modem::InizializzaModem(linea);
    if (!pronto.pronto) {
        // The tick's passes leave a lost handset to the watch's one notice;
        // the operator's button is answered why.
        if (per == errori::Per::Operatore)
            errori::dici(c, per, Icona::Avviso,
                         !pronto.avviso.isEmpty() ? pronto.avviso
                                                  : QStringLiteral("Controlla il telefono.\nTelefono non rilevato "
                                                                   "alla porta COM%1")
                                                        .arg(c.linea->porta()));
        else if (!pronto.persa && !pronto.avviso.isEmpty() && c.messaggi)
            c.messaggi->notifica(QStringLiteral("telefono"), Icona::Avviso, pronto.avviso);
        return 1;
    }

    // Every command waits for its own final result before the next is sent:
    // a handset answers "ATH" only once it has hung up, and a late "OK" left
    // on the line would be taken for the reply of the next command (the
    // dial), shifting every reply after it by one.
    auto scambia = [&linea](const QString& comando) {
        modem::RispostaModem r = linea.scambia(comando, std::chrono::seconds(AttesaComandoSecondi));
        if (r.esito == modem::Esito::Scaduto && !r.muta)
            linea.rimettiInPasso(); // a reply cut short may still be arriving
        return r;
    };
    // Told without waiting for OK: this may run from the tick, which must go on.
    auto avvisaTelefono = [&c] {
        if (c.messaggi)
            c.messaggi->notifica(QStringLiteral("scambio"), Icona::Avviso, QStringLiteral("Controlla il telefono."));
    };

    // Whatever was in progress is hung up first; the CR before it ends
    // whatever half-command the line holds.
    if (!scambia(QStringLiteral("\rATH")).ok()) {
        avvisaTelefono();
        return 1;
    }

    // The ";" makes it a voice call: the unit recognises the ring and answers
    // by SMS, no connection is ever made. BUSY, NO CARRIER or ERROR: refused.
    const bool accettata = scambia(QStringLiteral("ATD") + u->telefono + u';').ok();
    if (!accettata)
        avvisaTelefono();

    int esito = 1;
    {
        const FinestraInCorso finestra(c.InCorso, EtichettaInCorso + codice);
        if (accettata) {
            esito = 0;
            // The unit drops the call once it has recognised it; the
            // operator may stop waiting sooner with "Annulla".
            c.AnnullaAttesa = false;
            linea.attendi(QStringLiteral("NO CARRIER"),
                          modem::DurataAttesa(c.orologio->adesso().time(), AttesaChiamataSecondi),
                          [&c] { return c.AnnullaAttesa; });
        }
        // Hung up in every case, and its reply waited for: the line is left
        // to the next caller with nothing of this call still to come.
        scambia(QStringLiteral("\rATH"));
    }
    return esito;
}

} // namespace

int ChiamaPeriferica(Contesto& c, const QString& codice)
{
    return chiama(c, codice, errori::Per::Tick);
}

bool RegistraInterrogazione(Contesto& c, const QString& codice, const QString& modo)
{
    try {
        store::Database& db = errori::database(c);
        const QDateTime adesso = c.orologio->adesso();
        store::Transazione t(db);
        // One row per unit: a unit still pending starts again from one call.
        const QVariant riga = db.valore(
            QStringLiteral("SELECT rowid FROM InterrogazioniPendenti WHERE [Codice periferica] = ? ORDER BY rowid LIMIT 1"),
            {codice});
        if (riga.isNull()) {
            db.esegui(QStringLiteral("INSERT INTO InterrogazioniPendenti ([Codice periferica], [Data e ora], [Tentativi]) "
                                     "VALUES (?, ?, 1)"),
                      {codice, adesso});
        } else {
            db.esegui(QStringLiteral("UPDATE InterrogazioniPendenti SET [Data e ora] = ?, [Tentativi] = 1 WHERE rowid = ?"),
                      {adesso, riga});
        }
        // [Archiviato] is left to its default: the event starts unarchived.
        db.esegui(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio], "
                                 "[Tipo evento], [Descrizione evento]) VALUES (?, ?, ?, ?, ?)"),
                  {codice, adesso, QStringLiteral("Interrogazione della periferica"), QStringLiteral("Test"),
                   testoEvento(modo)});
        db.esegui(QStringLiteral("UPDATE DatiUtente SET [Ultima interrogazione] = ? WHERE [Codice periferica] = ?"),
                  {adesso, codice});
        if (modo == ModoManuale)
            RegistraOperazione(c, azione::Interrogazione, QStringLiteral("Utente ") + codice,
                               QStringLiteral("chiamata accettata dal telefono"));
        t.conferma();
        return true;
    } catch (const store::ErroreDatabase& e) {
        errori::avvisa(c, modo == ModoManuale ? errori::Per::Operatore : errori::Per::Tick,
                       QStringLiteral("Impossibile registrare l'interrogazione della periferica %1.").arg(codice), e);
        return false;
    }
}

void RegistraMancataRisposta(Contesto& c, const QString& codice, const QDateTime& inviata)
{
    store::Database& db = errori::database(c);
    const QString testo = QStringLiteral("Mancata risposta della periferica ") + codice
        + QStringLiteral(" all'interrogazione inviata il ") + date::mostra(inviata.date())
        + QStringLiteral(" alle ore ") + date::mostraOra(inviata.time());
    // The INSERT ... SELECT writes the event only when the subscriber exists,
    // in one statement, so there is no window between asking and writing.
    db.esegui(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio], "
                             "[Archiviato], [Tipo evento], [Descrizione evento]) "
                             "SELECT ?, ?, ?, FALSE, 'Allarme', ? WHERE EXISTS "
                             "(SELECT 1 FROM DatiUtente WHERE [Codice periferica] = ?)"),
              {codice, c.orologio->adesso(), testo, QStringLiteral("Mancata risposta della periferica ") + codice,
               codice});
}

void ControllaInterrogazioni(Contesto& c)
{
    QList<Pendente> pendenti;
    try {
        store::RecordSet rs = errori::database(c).apriRecordSet(QStringLiteral(
            "SELECT rowid, [Codice periferica], [Data e ora], [Tentativi] FROM InterrogazioniPendenti ORDER BY rowid"));
        // Read whole before the first call: the calls run the window system,
        // and nothing may step a statement across that.
        for (; !rs.eof(); rs.moveNext())
            pendenti.append({rs.campo(0).toLongLong(), rs.campo(1).toString(), rs.campo(2), rs.campo(3)});
    } catch (const store::ErroreDatabase& e) {
        errori::avvisa(c, errori::Per::Tick, QStringLiteral("Impossibile leggere le interrogazioni in attesa."), e);
        return;
    }

    for (const Pendente& p : pendenti) {
        try {
            store::Database& db = errori::database(c);
            const QDateTime adesso = c.orologio->adesso();
            const QDateTime quando = p.quando.toDateTime();
            if (p.quando.isNull() || !quando.isValid()) {
                // A row written outside the console without its time: it is
                // judged from now on, so its alarm can say when it started.
                db.esegui(QStringLiteral("UPDATE InterrogazioniPendenti SET [Data e ora] = ? WHERE rowid = ?"),
                          {adesso, p.riga});
                continue;
            }
            if (quando.addSecs(std::chrono::seconds(EtaRiprova).count()) >= adesso)
                continue;
            // A row exists only after an accepted call, so an empty count is one.
            const int n = p.tentativi.isNull() ? 1 : p.tentativi.toInt();

            const bool utente = !db.valore(QStringLiteral("SELECT 1 FROM DatiUtente WHERE [Codice periferica] = ?"),
                                           {p.codice})
                                     .isNull();
            if (n >= LimiteTentativi || !utente) {
                // A deleted subscriber can never be called nor answer: its
                // row goes now rather than be retried for ever.
                store::Transazione t(db);
                RegistraMancataRisposta(c, p.codice, quando);
                db.esegui(QStringLiteral("DELETE FROM InterrogazioniPendenti WHERE rowid = ?"), {p.riga});
                t.conferma();
                continue;
            }
            if (ChiamaPeriferica(c, p.codice) == 0) {
                // The row may have been settled by the unit meanwhile (and
                // its rowid taken by another unit's row); then there is
                // nothing left to count.
                db.esegui(QStringLiteral("UPDATE InterrogazioniPendenti SET [Tentativi] = ? "
                                         "WHERE rowid = ? AND [Codice periferica] = ?"),
                          {n + 1, p.riga, p.codice});
            }
        } catch (const store::ErroreDatabase& e) {
            errori::avvisa(c, errori::Per::Tick,
                           QStringLiteral("Impossibile aggiornare l'interrogazione della periferica %1.").arg(p.codice), e);
            return; // the next pass tries again; the next row would meet the same database
        }
    }
}

bool PuoEssereInterrogata(Contesto& c, const QString& codice)
{
    std::optional<Utente> u;
    try {
        u = cercaUtente(errori::database(c), codice);
    } catch (const store::ErroreDatabase& e) {
        errori::avvisa(c, errori::Per::Operatore, QStringLiteral("Impossibile leggere l'utente %1.").arg(codice), e);
        return false;
    }
    if (!u) {
        c.messaggi->avvisa(Icona::Avviso,
                           QStringLiteral("L'utente %1 non è memorizzato: salvarlo prima di interrogare la periferica.")
                               .arg(codice));
        return false;
    }
    if (u->telefono.isEmpty()) {
        c.messaggi->avvisa(Icona::Avviso,
                           QStringLiteral("L'utente %1 non ha un telefono GSM fonia: la periferica non può essere chiamata.")
                               .arg(codice));
        return false;
    }
    return true;
}

bool InterrogaAdesso(Contesto& c, const QString& codice)
{
    // The tick must not read the line while the call waits on it.
    const TickSospeso tick(c);
    if (!PuoEssereInterrogata(c, codice))
        return false;
    if (chiama(c, codice, errori::Per::Operatore) != 0)
        return false;
    return RegistraInterrogazione(c, codice, ModoManuale);
}

} // namespace sorvela
