#pragma once
// Placing the subscriber window's controls at their designed places. Places
// and sizes are designed in twips and converted with the screen's scale; one
// row of fields is 21 pixels at 96 DPI and rows are 24 apart.

#include "platform/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
