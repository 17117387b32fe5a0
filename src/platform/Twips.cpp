#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace sorvela::twips {

namespace {
bool g_fisso = false;
double g_perPixel = 15.0;
int g_larghezza = 0;
int g_altezza = 0;

QScreen* schermo()
{
    return QGuiApplication::primaryScreen();
}
} // namespace

double perPixel()
{
    if (g_fisso)
        return g_perPixel;
    if (auto* s = schermo()) {
        const double dpi = s->logicalDotsPerInchX();
        if (dpi > 0)
            return 1440.0 / dpi;
    }
    return 15.0;
}

int daPixel(int pixel)
{
    return static_cast<int>(std::lround(pixel * perPixel()));
}

int inPixel(int t)
{
    return static_cast<int>(std::lround(t / perPixel()));
}

int larghezzaSchermo()
{
    if (g_fisso)
        return g_larghezza;
    if (auto* s = schermo())
        return daPixel(s->geometry().width());
    return 12000;
}

int altezzaSchermo()
{
    if (g_fisso)
        return g_altezza;
    if (auto* s = schermo())
        return daPixel(s->geometry().height());
    return 9000;
}

void imposta(double twipsPerPixel, int larghezzaTwips, int altezzaTwips)
{
    g_fisso = true;
    g_perPixel = twipsPerPixel;
    g_larghezza = larghezzaTwips;
    g_altezza = altezzaTwips;
}

void ripristina()
{
    g_fisso = false;
}

} // namespace sorvela::twips
