#include "core/Numeri.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace sorvela {

namespace {

bool ignorato(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }
bool cifra(char16_t c) { return c >= u'0' && c <= u'9'; }

// Collects the characters of the leading number, without the ignored blanks,
// into plain ASCII so that the conversion does not depend on the locale.
std::string numeroIniziale(const QString& testo)
{
    const qsizetype fine = testo.size();
    qsizetype i = 0;
    auto salta = [&] {
        while (i < fine && ignorato(testo[i].unicode()))
            ++i;
    };
    std::string numero;
    salta();
    if (i < fine && (testo[i] == u'+' || testo[i] == u'-')) {
        numero += char(testo[i].unicode());
        ++i;
    }
    bool cifre = false;
    bool punto = false;
    for (;; ++i) {
        salta();
        if (i >= fine)
            break;
        const char16_t c = testo[i].unicode();
        if (cifra(c)) {
            numero += char(c);
            cifre = true;
        } else if (c == u'.' && !punto) {
            numero += '.';
            punto = true;
        } else {
            break;
        }
    }
    if (!cifre)
        return {};

    // The exponent belongs to the number only when at least one digit
    // follows its letter; "5e" and "5e+" read 5.
    if (i < fine && (testo[i] == u'e' || testo[i] == u'E')) {
        qsizetype j = i + 1;
        std::string esponente = "e";
        auto saltaJ = [&] {
            while (j < fine && ignorato(testo[j].unicode()))
                ++j;
        };
        saltaJ();
        if (j < fine && (testo[j] == u'+' || testo[j] == u'-')) {
            esponente += char(testo[j].unicode());
            ++j;
        }
        bool cifreEsponente = false;
        for (;; ++j) {
            saltaJ();
            if (j >= fine || !cifra(testo[j].unicode()))
                break;
            esponente += char(testo[j].unicode());
            cifreEsponente = true;
        }
        if (cifreEsponente)
            numero += esponente;
    }
    return numero;
}

} // namespace

double ValoreNumerico(const QString& testo)
{
    const std::string numero = numeroIniziale(testo);
    if (numero.empty())
        return 0.0;
    // from_chars does not take a leading "+".
    const char* inizio = numero.data() + (numero.front() == '+' ? 1 : 0);
    const char* fine = numero.data() + numero.size();
    double valore = 0.0;
    const auto [dove, errore] = std::from_chars(inizio, fine, valore);
    Q_UNUSED(dove);
    if (errore == std::errc::result_out_of_range) {
        // from_chars leaves the value alone when out of range; strtod tells
        // overflow (an infinity) from underflow (0 or a tiny number). The C
        // locale keeps "." the decimal point whatever the operator's locale.
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        valore = strtod_l(numero.c_str(), nullptr, c);
        if (std::isinf(valore))
            valore = std::copysign(std::numeric_limits<double>::max(), valore);
    } else if (errore != std::errc()) {
        valore = 0.0;
    }
    // A reading of "-0" is shown and compared as plain 0.
    return valore == 0.0 ? 0.0 : valore;
}

qint16 InteroArrotondato(double valore)
{
    if (std::isnan(valore))
        return 0;
    constexpr double minimo = std::numeric_limits<qint16>::min();
    constexpr double massimo = std::numeric_limits<qint16>::max();
    if (valore <= minimo)
        return std::numeric_limits<qint16>::min();
    if (valore >= massimo)
        return std::numeric_limits<qint16>::max();
    // Done by hand rather than with the floating-point rounding mode, which
    // some library elsewhere in the process could have changed.
    const double basso = std::floor(valore);
    const double resto = valore - basso;
    double intero = basso;
    if (resto > 0.5 || (resto == 0.5 && std::fmod(basso, 2.0) != 0.0))
        intero = basso + 1.0;
    if (intero > massimo)
        intero = massimo;
    return qint16(intero);
}

float ValoreSingolo(double valore)
{
    if (std::isnan(valore))
        return 0.0f;
    constexpr double massimo = std::numeric_limits<float>::max();
    if (valore > massimo)
        return std::numeric_limits<float>::max();
    if (valore < -massimo)
        return -std::numeric_limits<float>::max();
    return float(valore);
}

} // namespace sorvela
