#include "events/StatoRapporto.h"

#include "core/DateItaliane.h"
#include "core/Numeri.h"
#include "core/Orologio.h"
#include "events/grammar/GrammaticaRapporto.h"
#include "platform/Contesto.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <exception>

namespace sorvela {

namespace {

// "Ragione sociale; Nome;" with a missing part left out, as the operator is
// used to read it.
QString testoUtente(Contesto& c, const QString& codice)
{
    if (!c.db || !c.db->aperto())
        return {};
    try {
        store::RecordSet rs = c.db->apriRecordSet(
            QStringLiteral("SELECT [Ragione sociale], [Nome] FROM DatiUtente WHERE [Codice periferica] = ?"),
            {codice});
        if (rs.eof())
            return {};
        return rs.campo(QStringLiteral("Ragione sociale")).toString() + QStringLiteral("; ")
            + rs.campo(QStringLiteral("Nome")).toString() + QStringLiteral(";");
    } catch (const std::exception&) {
        // The report matters more than the name beside it: the operator still
        // sees the unit's code and number.
        return {};
    }
}

} // namespace

int CellaBatteria(qint16 livello)
{
    if (livello < -29 || livello > 129)
        return kCellaNonRiportata;
    return (livello + 10) / 20; // C++ division cuts toward zero, as the marks need
}

int CellaAntenna(qint16 segnale)
{
    return segnale >= 0 && segnale <= 5 ? segnale : kCellaNonRiportata;
}

std::optional<ContenutoStato> ComponiStato(Contesto& c, const QString& codice, const QString& mittente,
                                           const QString& testo)
{
    const qint16 batteria = grammar::EstraiLivelloBatteria(testo);
    const qint16 segnale = grammar::EstraiSegnale(testo);
    const QString credito = grammar::EstraiCredito(testo);
    const QString creditoMinuscolo = credito.toLower();
    if (batteria == grammar::kBatteriaAssente && segnale > 5 && !creditoMinuscolo.contains(u"euro"))
        return std::nullopt;

    const QDateTime ora = c.orologio ? c.orologio->adesso() : QDateTime::currentDateTime();
    ContenutoStato s;
    s.intestazione = QStringList{
        QStringLiteral("Periferica ") + codice,
        QStringLiteral("Messaggio ricevuto il %1 alle ore %2").arg(date::mostra(ora.date()), date::mostraOra(ora.time())),
        QStringLiteral("Numero GSM fonia: ") + mittente,
        QStringLiteral("Utente: ") + testoUtente(c, codice),
    }.join(u'\n');
    s.cellaBatteria = CellaBatteria(batteria);
    s.cellaAntenna = CellaAntenna(segnale);

    if (creditoMinuscolo.contains(u"euro"))
        s.credito = QStringLiteral("Credito: ") + credito;
    // Strictly below: a credit of exactly 2.5 is already archived as low,
    // but on screen it is shown as ordinary.
    s.creditoScarso = ValoreNumerico(credito) < 2.5;
    if (creditoMinuscolo.contains(u"n/d")) {
        s.credito = QStringLiteral("Credito non disponibile.");
        s.creditoScarso = false;
    }

    const QString sim = grammar::EstraiSim(testo);
    const QString rete = grammar::EstraiRete(testo);
    const QString versione = grammar::EstraiVersioneSw(testo);
    s.sim = sim.isEmpty() ? QString() : QStringLiteral("SIM ") + sim;
    s.rete = rete.isEmpty() ? QString() : QStringLiteral("Rete ") + rete;
    s.versione = versione.isEmpty() ? QString() : QStringLiteral("Versione software telefono GSM: ") + versione;
    return s;
}

} // namespace sorvela
