#include "modem/pdu/AlfabetoGsm.h"

namespace sorvela::pdu {

namespace {

constexpr char16_t kEscape = 0x1B;

// The default table, septet by septet. ESC (0x1B) stands for itself here.
constexpr char16_t kBase[128] = {
    u'@',    u'\u00A3', u'$',     u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC', // 0x00
    u'\u00F2', u'\u00C7', u'\n',  u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5', // 0x08
    u'\u0394', u'_',    u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8', // 0x10
    u'\u03A3', u'\u0398', u'\u039E', kEscape,  u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9', // 0x18
    u' ',    u'!',      u'"',     u'#',      u'\u00A4', u'%',      u'&',      u'\'',     // 0x20
    u'(',    u')',      u'*',     u'+',      u',',      u'-',      u'.',      u'/',      // 0x28
    u'0',    u'1',      u'2',     u'3',      u'4',      u'5',      u'6',      u'7',      // 0x30
    u'8',    u'9',      u':',     u';',      u'<',      u'=',      u'>',      u'?',      // 0x38
    u'\u00A1', u'A',    u'B',     u'C',      u'D',      u'E',      u'F',      u'G',      // 0x40
    u'H',    u'I',      u'J',     u'K',      u'L',      u'M',      u'N',      u'O',      // 0x48
    u'P',    u'Q',      u'R',     u'S',      u'T',      u'U',      u'V',      u'W',      // 0x50
    u'X',    u'Y',      u'Z',     u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7', // 0x58
    u'\u00BF', u'a',    u'b',     u'c',      u'd',      u'e',      u'f',      u'g',      // 0x60
    u'h',    u'i',      u'j',     u'k',      u'l',      u'm',      u'n',      u'o',      // 0x68
    u'p',    u'q',      u'r',     u's',      u't',      u'u',      u'v',      u'w',      // 0x70
    u'x',    u'y',      u'z',     u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0', // 0x78
};

struct Estensione {
    char16_t codice;
    char16_t carattere;
};

constexpr Estensione kEstensione[] = {
    {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'},
    {0x3C, u'['},  {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'}, {0x65, u'\u20AC'},
};

} // namespace

QString TraduciAlfabetoGsm(const QString& settetti)
{
    QString testo;
    testo.reserve(settetti.size());
    for (qsizetype i = 0; i < settetti.size(); ++i) {
        const char16_t s = settetti[i].unicode();
        if (s >= 128) {
            testo += QChar(s);
            continue;
        }
        if (s != kEscape) {
            testo += QChar(kBase[s]);
            continue;
        }
        if (++i >= settetti.size())
            break;
        const char16_t e = settetti[i].unicode();
        char16_t c = e < 128 ? kBase[e] : e;
        for (const Estensione& x : kEstensione) {
            if (x.codice == e)
                c = x.carattere;
        }
        // Two escapes in a row: the standard keeps that code for a further
        // table nobody defines; a blank shows that something was there.
        testo += QChar(c == kEscape ? u' ' : c);
    }
    return testo;
}

QString SettettiGsm(const QString& testo)
{
    QString s;
    s.reserve(testo.size());
    for (const QChar ch : testo) {
        const char16_t c = ch.unicode();
        qsizetype trovato = -1;
        for (qsizetype k = 0; k < 128 && trovato < 0; ++k) {
            if (kBase[k] == c && k != kEscape)
                trovato = k;
        }
        if (trovato >= 0) {
            s += QChar(char16_t(trovato));
            continue;
        }
        bool esteso = false;
        for (const Estensione& x : kEstensione) {
            if (x.carattere == c) {
                s += QChar(kEscape);
                s += QChar(x.codice);
                esteso = true;
                break;
            }
        }
        if (!esteso)
            s += QChar(u'?');
    }
    return s;
}

} // namespace sorvela::pdu
