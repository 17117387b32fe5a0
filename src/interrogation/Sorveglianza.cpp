#include "interrogation/Sorveglianza.h"

#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "interrogation/Errori.h"
#include "interrogation/Interrogazione.h"
#include "platform/Contesto.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QList>

#include <cmath>
#include <limits>

namespace sorvela {

using namespace interrogazione;

namespace {

// The period in whole hours: rounded to the nearest (halves to even) and kept
// within the 16-bit range of a period.
int oreDelPeriodo(const QVariant& periodo)
{
    const double p = std::nearbyint(periodo.toDouble());
    if (!std::isfinite(p) || p <= 0)
        return 0;
    return int(std::min(p, double(std::numeric_limits<qint16>::max())));
}

struct DaInterrogare {
    QString codice;
    int ore = 0;
    QVariant ultima;
};

} // namespace

void InterrogaPeriferiche(Contesto& c)
{
    const TickSospeso tick(c);
    QList<DaInterrogare> unita;
    try {
        store::RecordSet rs = errori::database(c).apriRecordSet(
            QStringLiteral("SELECT [Codice periferica], [Periodo], [Ultima interrogazione] FROM DatiUtente "
                           "WHERE [Monitoraggio] = TRUE AND [Periodo] > 0 ORDER BY rowid"));
        // Read whole first: the calls below run the window system.
        for (; !rs.eof(); rs.moveNext())
            unita.append({rs.campo(0).toString(), oreDelPeriodo(rs.campo(1)), rs.campo(2)});
    } catch (const store::ErroreDatabase& e) {
        errori::avvisa(c, errori::Per::Tick, QStringLiteral("Impossibile leggere gli utenti da interrogare."), e);
        return;
    }

    for (const DaInterrogare& u : unita) {
        if (u.ore <= 0)
            continue; // a period under half an hour rounds to none
        const QDateTime ultima = u.ultima.toDateTime();
        // Never interrogated (a record made outside the console): due now,
        // or it would never be polled at all.
        const bool dovuta = u.ultima.isNull() || !ultima.isValid()
            || ultima.addSecs(qint64(u.ore) * 3600)
                   < c.orologio->adesso().addSecs(std::chrono::seconds(MargineInterrogazione).count());
        if (!dovuta)
            continue;
        if (ChiamaPeriferica(c, u.codice) == 0)
            RegistraInterrogazione(c, u.codice, ModoAutomatico);
    }
}

void ControllaScadenzeSim(Contesto& c)
{
    try {
        store::Database& db = errori::database(c);
        store::Transazione t(db);
        // The conditions are those of the expiry index, so only the cards
        // not yet signalled are read. "Not signalled" is a bound false: the
        // server compares a boolean with no number, and SQLite matches a
        // bound value to its index's "= 0".
        store::RecordSet rs = db.apriRecordSet(
            QStringLiteral("SELECT [Codice periferica] FROM DatiUtente WHERE [Scadenza carta] IS NOT NULL "
                           "AND [Scadenza segnalata] = ? AND [Scadenza carta] < ? ORDER BY rowid"),
            {false, c.orologio->oggi()});
        QStringList codici;
        for (; !rs.eof(); rs.moveNext())
            codici << rs.campo(0).toString();
        rs.chiudi();
        for (const QString& codice : codici) {
            RegistraScadenzaSim(c, codice);
            db.esegui(QStringLiteral("UPDATE DatiUtente SET [Scadenza segnalata] = TRUE WHERE [Codice periferica] = ?"),
                      {codice});
        }
        t.conferma();
    } catch (const store::ErroreDatabase& e) {
        errori::avvisa(c, errori::Per::Tick, QStringLiteral("Impossibile segnalare le carte SIM scadute."), e);
    }
}

} // namespace sorvela
