#include "shell/Immagini.h"

#include <QPainter>
#include <QPainterPath>

namespace sorvela::immagini {

namespace {

// A handset mast sending waves: the console's mark.
void disegnaAntenna(QPainter& p, const QRectF& r)
{
    const QColor blu(0x1f, 0x4e, 0x8c);
    const QColor rosso(0xc0, 0x1c, 0x1c);
    const double cx = r.center().x();
    const double base = r.bottom() - r.height() * 0.08;
    const double cima = r.top() + r.height() * 0.35;
    QPen pen(blu, std::max(1.5, r.height() * 0.07), Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QPointF(cx, cima), QPointF(cx - r.height() * 0.22, base));
    p.drawLine(QPointF(cx, cima), QPointF(cx + r.height() * 0.22, base));
    p.setBrush(rosso);
    p.setPen(Qt::NoPen);
    const double raggio = r.height() * 0.09;
    p.drawEllipse(QPointF(cx, cima), raggio, raggio);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        QPen onda(rosso, std::max(1.0, r.height() * 0.05));
        p.setPen(onda);
        const double d = r.height() * 0.16 * i;
        QRectF arco(cx - d, cima - d, 2 * d, 2 * d);
        p.drawArc(arco, 30 * 16, 120 * 16);
    }
}

} // namespace

QPixmap marchio(int larghezza, int altezza)
{
    QPixmap px(std::max(1, larghezza), std::max(1, altezza));
    px.fill(Qt::transparent);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    const double lato = altezza;
    disegnaAntenna(p, QRectF(2, 0, lato, lato));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(std::max(8, static_cast<int>(altezza * 0.45)));
    p.setFont(f);
    p.setPen(QColor(0x1f, 0x4e, 0x8c));
    p.drawText(QRectF(lato + 4, 0, larghezza - lato - 4, altezza), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Sorvela"));
    return px;
}

QPixmap icona(int lato)
{
    QPixmap px(lato, lato);
    px.fill(Qt::transparent);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    disegnaAntenna(p, QRectF(0, 0, lato, lato));
    return px;
}

} // namespace sorvela::immagini
