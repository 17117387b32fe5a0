// A read reply (AT+CMGR) as the line delivers it, byte for byte (the line is
// read as Latin-1): every reader of the reply path must give a bounded
// result without crashing, whatever the bytes.

#include "modem/pdu/DecodificaPdu.h"
#include "modem/pdu/Messaggio.h"

#include <cstdint>
#include <cstdlib>

using namespace sorvela::pdu;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n)
{
    const QString risposta = QString::fromLatin1(reinterpret_cast<const char*>(dati), qsizetype(n));

    const PartiRisposta parti = DividiRisposta(risposta);
    if (parti.pdu.size() > risposta.size())
        abort();
    const QString mittente = EstraiMittente(risposta);
    // "+" and at most two digits per octet of an address of at most 255 digits.
    if (mittente.size() > 1 + 256)
        abort();
    const QString datiPdu = EstraiDatiPdu(risposta);
    if (datiPdu.size() > risposta.size())
        abort();
    // One character per seven bits of the text given, never more.
    const QString testo = DecodificaSettetti(datiPdu);
    if (testo.size() > (4 * datiPdu.size() + 6) / 7 + 1)
        abort();
    TogliNul(testo);
    NumeroNazionale(mittente);

    MessaggioRicevuto m = LeggiMessaggioRicevuto(risposta);
    if (m.valido) {
        if (m.impronta().size() != 40)
            abort();
        if (m.concatenato() && (m.parte < 1 || m.parte > m.parti))
            abort();
        if (m.testo.size() > 2 * risposta.size())
            abort();
        UnisciParti({m, m});
    }
    return 0;
}
