#include "modem/Seriale.h"

#include "platform/Contesto.h"

namespace sorvela::modem {

using namespace std::chrono_literals;

Prontezza InizializzaModem(Sessione& s)
{
    Prontezza p;
    if (!s.valida())
        return p;
    LineaTelefono& linea = s.linea();
    // An open line is kept: reopening it would throw away what the handset
    // has sent meanwhile, a new-message indication among it. A closed one
    // (never opened, or its device went away) is opened.
    if (!linea.aperta()) {
        p.avviso = s.apri(linea.porta());
        if (!p.avviso.isEmpty()) {
            p.persa = true;
            return p;
        }
    }
    const RispostaModem r = s.scambia(ComandoIndicazioni, 4s);
    if (r.ok()) {
        p.pronto = true;
        return p;
    }
    if (r.esito == Esito::Scaduto && !r.muta)
        s.rimettiInPasso();
    // A silent handset is the watch's to tell (after a few silences, not
    // one); a handset that answers but refuses is told now.
    if (!r.muta)
        p.avviso = QStringLiteral("Controlla il telefono.\nTelefono non rilevato alla porta COM%1").arg(linea.porta());
    return p;
}

Prontezza CaricaMessaggi(Contesto& c, const std::function<void()>& letturaMessaggi)
{
    // The tick is suspended before the line is opened, not after: a tick
    // running inside the initialisation's wait would start a cycle of its own.
    const TickSospeso tick(c);
    Prontezza p;
    {
        Sessione s = c.linea->prendi(QStringLiteral("Carica messaggi"));
        if (!s.valida())
            return p;
        p = InizializzaModem(s);
        if (!p.pronto)
            return p;
        s.scambia(QStringLiteral("ATE0"));
    }
    if (letturaMessaggi)
        letturaMessaggi();
    return p;
}

std::optional<QString> VerificaPorte(Contesto& c)
{
    const TickSospeso tick(c);
    const QStringList righe = c.linea->prova({1, 2, 3, 4, 5, 6});
    if (righe.isEmpty())
        return std::nullopt;
    return righe.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace sorvela::modem
