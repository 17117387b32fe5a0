// A listing reply (AT+CMGL) as the line delivers it: the indices read from
// it are real slot numbers, never negative, never more than the entries.

#include "modem/Lettura.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n)
{
    const QString risposta = QString::fromLatin1(reinterpret_cast<const char*>(dati), qsizetype(n));
    const QList<int> indici = sorvela::modem::EstraiIndici(risposta);
    if (indici.size() > risposta.count(QStringLiteral("+CMGL:")))
        abort();
    for (int i : indici) {
        if (i < 0)
            abort();
    }
    sorvela::modem::RispostaLetturaIntera(risposta);
    return 0;
}
