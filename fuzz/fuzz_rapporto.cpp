// A unit's text as decoded, including what invalid UTF-8 turns into, through
// the report grammar and the number and date readers the console applies to
// texts: always a value, always finite, always one of the known kinds.

#include "core/DateItaliane.h"
#include "core/Numeri.h"
#include "events/grammar/GrammaticaRapporto.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace sorvela;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n)
{
    const QByteArray byte(reinterpret_cast<const char*>(dati), qsizetype(n));
    for (const QString& testo : {QString::fromUtf8(byte), QString::fromLatin1(byte)}) {
        const grammar::Rapporto r = grammar::LeggiRapporto(testo);
        if (!std::isfinite(r.importoCredito))
            abort();
        if (!r.tipo.isEmpty() && r.tipo != QLatin1String("Test") && r.tipo != QLatin1String("Allarme"))
            abort();
        if (r.tipo != grammar::ClassificaEvento(testo) || r.descrizione != grammar::DescriviEvento(testo))
            abort();

        const double v = ValoreNumerico(testo);
        if (!std::isfinite(v))
            abort();
        InteroArrotondato(v);
        if (!std::isfinite(ValoreSingolo(v)))
            abort();

        if (const auto d = date::leggiData(testo); d && !d->isValid())
            abort();
        if (const auto t = date::daDatabaseOra(testo); t && !t->isValid())
            abort();
        if (const auto d = date::daDatabaseData(testo); d && !d->isValid())
            abort();
    }
    return 0;
}
