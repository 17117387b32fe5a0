#pragma once
// The reception tests run twice: once as the console reads (each message
// taken from the listing), once with every listed message read again by its
// index, the way a damaged listing is still read. CTest sets
// SORVELA_PROVA_LETTURA=singola for the second run.

#include "modem/Lettura.h"

#include <QString>

namespace sorvela::comune {

inline const bool kLetturaSingola = [] {
    const bool singola = qEnvironmentVariable("SORVELA_PROVA_LETTURA") == QLatin1String("singola");
    modem::CicloLettura::setDaElencoPredefinito(!singola);
    return singola;
}();

// The command whose reply carries the PDU of the message at `indice` in this
// run: its own read, or the listing of the unread messages. A fault aimed at
// "the message on the wire" is aimed at it.
inline QString comandoPdu(int indice)
{
    return kLetturaSingola ? QStringLiteral("AT+CMGR=%1").arg(indice) : QStringLiteral("AT+CMGL=0");
}

} // namespace sorvela::comune
