#pragma once
// Placing the subscriber window's controls at their designed places. Places
// and sizes are designed in twips and converted with the screen's scale; one
// row of fields is 21 pixels at 96 DPI and rows are 24 apart.

#include "platform/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace sorvela::registry::disposizione {

inline constexpr int Riga = 315;
inline constexpr int Passo = 360;

template <class W>
W* metti(W* w, int x, int y, int larghezza, int altezza = Riga)
{
    w->setGeometry(twips::inPixel(x), twips::inPixel(y), twips::inPixel(larghezza), twips::inPixel(altezza));
    return w;
}

inline QLabel* etichetta(QWidget* genitore, const QString& testo, int x, int y, int larghezza)
{
    auto* l = new QLabel(testo, genitore);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return metti(l, x, y, larghezza);
}

inline QLineEdit* campo(QWidget* genitore, const char* nome, int x, int y, int larghezza)
{
    auto* e = new QLineEdit(genitore);
    e->setObjectName(QString::fromUtf8(nome));
    return metti(e, x, y, larghezza);
}

// A field as long as its column. A stored text longer than that (written
// before, or by another program) is shown whole: cutting it to the field
// would lose its end at the next save.
inline void limita(QLineEdit* e, int lunghezza)
{
    e->setProperty("lunghezzaColonna", lunghezza);
    e->setMaxLength(lunghezza);
}

inline void mostraTesto(QLineEdit* e, const QString& testo)
{
    const int lunghezza = e->property("lunghezzaColonna").toInt();
    if (lunghezza > 0)
        e->setMaxLength(std::max(lunghezza, int(testo.size())));
    e->setText(testo);
}

inline QGroupBox* riquadro(QWidget* genitore, const QString& titolo, int x, int y, int larghezza, int altezza)
{
    return metti(new QGroupBox(titolo, genitore), x, y, larghezza, altezza);
}

inline QPushButton* pulsante(QWidget* genitore, const char* nome, const QString& testo, int x, int y,
                             int larghezza)
{
    auto* b = new QPushButton(testo, genitore);
    b->setObjectName(QLatin1String(nome));
    return metti(b, x, y, larghezza, 375);
}

} // namespace sorvela::registry::disposizione
