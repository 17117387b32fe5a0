#include "modem/pdu/Esadecimale.h"

namespace sorvela::pdu {

namespace {

int cifra(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

int ValoreCoppia(const QString& testo, qsizetype i)
{
    if (i < 0 || i >= testo.size())
        return 0;
    const int alta = cifra(testo[i]);
    if (alta < 0)
        return 0;
    const int bassa = i + 1 < testo.size() ? cifra(testo[i + 1]) : -1;
    return bassa < 0 ? alta : alta * 16 + bassa;
}

QString OttettoEsadecimale(int valore)
{
    static constexpr char16_t cifre[] = u"0123456789ABCDEF";
    const QChar coppia[2] = {QChar(cifre[(valore >> 4) & 0xF]), QChar(cifre[valore & 0xF])};
    return QString(coppia, 2);
}

} // namespace sorvela::pdu
