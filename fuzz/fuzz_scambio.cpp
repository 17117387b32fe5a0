// What arrives after a command was written, for each kind of command the
// console sends: the first byte picks the command and what is known of the
// echo, the rest is the line's bytes. A reply said complete has its final
// result, and the clean text never holds more than what arrived.

#include "modem/Scambio.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

using namespace sorvela::modem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n)
{
    static const QStringList comandi = {
        QStringLiteral("AT+CMGL=0"), QStringLiteral("AT+CMGL=1"),   QStringLiteral("AT+CMGR=1"),
        QStringLiteral("AT+CMGD=1"), QStringLiteral("ATD3351234567;"), QStringLiteral("AT"),
        QStringLiteral("AT+CNMI=1,1,0,0,1"), QStringLiteral("ATE0"), QStringLiteral("AT+CSQ"),
        QStringLiteral("ATH"),
    };
    if (n < 1)
        return 0;
    const QString& comando = comandi[dati[0] % comandi.size()];
    const int eco = int(dati[0] / comandi.size()) % 3 - 1;
    const QString ricevuto = QString::fromLatin1(reinterpret_cast<const char*>(dati + 1), qsizetype(n - 1));

    const Analisi a = AnalizzaRisposta(comando, ricevuto, eco);
    const RispostaModem& r = a.risposta;
    if (a.completa) {
        if (r.finale.isEmpty() || r.esito == Esito::Scaduto)
            abort();
        if (!r.testo.endsWith(QStringLiteral("\r\n") + r.finale + QStringLiteral("\r\n")))
            abort();
        Esito e;
        if (!RisultatoFinale(r.finale, comando.startsWith(QLatin1String("ATD")), &e) || e != r.esito)
            abort();
    } else if (r.esito != Esito::Scaduto) {
        abort();
    }
    // Rejoined lines and the added CR LF pairs aside, nothing is invented.
    if (r.testo.size() > ricevuto.size() + 8)
        abort();
    return 0;
}
