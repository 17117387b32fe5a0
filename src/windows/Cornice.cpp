#include "windows/Cornice.h"

#include "core/Numeri.h"
#include "platform/Preferenze.h"
#include "platform/Twips.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace sorvela {

namespace {

// Round half to even, as the scroll steps are rounded.
int arrotondaPari(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

// The corner square between the bars; a click restores the default size.
class Angolo : public QFrame {
public:
    Angolo(Cornice* c, QWidget* genitore) : QFrame(genitore), m_c(c)
    {
        setFrameShape(QFrame::Panel);
        setFrameShadow(QFrame::Raised);
        setToolTip(QStringLiteral("Dimensioni predefinite"));
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            m_c->ripristinaDimensione();
    }

private:
    Cornice* m_c;
};

} // namespace

IntervalloBarra intervalloBarra(int interno, int vista, int barraOpposta)
{
    const int eccesso = interno - vista + barraOpposta;
    if (eccesso < 0)
        return {0, 0, 0};
    const int massimo = eccesso + 75;
    return {massimo, arrotondaPari(massimo / 2.0), arrotondaPari(massimo / 4.0)};
}

Cornice::Cornice(const ParametriCornice& parametri, Preferenze& preferenze, QWidget* genitore)
    : QFrame(genitore), m_p(parametri), m_pref(preferenze)
{
    setObjectName(QStringLiteral("Picture2"));
    m_interno = new QWidget(this);
    m_interno->setObjectName(QStringLiteral("Picture1"));
    m_h = new QScrollBar(Qt::Horizontal, this);
    m_h->setObjectName(QStringLiteral("HScroll1"));
    m_v = new QScrollBar(Qt::Vertical, this);
    m_v->setObjectName(QStringLiteral("VScroll1"));
    m_angolo = new Angolo(this, this);
    m_angolo->setObjectName(QStringLiteral("SSPanel2"));
    m_h->hide();
    m_v->hide();
    m_angolo->hide();
    connect(m_h, &QScrollBar::valueChanged, this,
            [this](int v) { m_interno->move(-twips::inPixel(v), m_interno->y()); });
    connect(m_v, &QScrollBar::valueChanged, this,
            [this](int v) { m_interno->move(m_interno->x(), -twips::inPixel(v)); });
    setDimensioneInterna(m_p.larghezza - 45, m_p.altezza - 345);
}

void Cornice::setDimensioneInterna(int larghezzaTwips, int altezzaTwips)
{
    m_interno->resize(twips::inPixel(larghezzaTwips), twips::inPixel(altezzaTwips));
    disponi();
}

QWidget* Cornice::finestra() const
{
    if (!m_finestra) {
        QWidget* w = parentWidget();
        while (w && !qobject_cast<QMdiSubWindow*>(w) && !w->isWindow())
            w = w->parentWidget();
        m_finestra = w ? w : const_cast<Cornice*>(this);
        m_finestra->installEventFilter(const_cast<Cornice*>(this));
    }
    return m_finestra;
}

bool Cornice::normale(const QWidget* f)
{
    return !(f->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void Cornice::setFinestra(QWidget* f)
{
    if (m_finestra)
        m_finestra->removeEventFilter(this);
    m_finestra = f;
    if (f)
        f->installEventFilter(this);
}

QRect Cornice::geometriaTwips() const
{
    const QRect g = finestra()->geometry();
    return {twips::daPixel(g.x()), twips::daPixel(g.y()), twips::daPixel(g.width()), twips::daPixel(g.height())};
}

void Cornice::setGeometriaTwips(const QRect& r)
{
    finestra()->setGeometry(twips::inPixel(r.x()), twips::inPixel(r.y()), twips::inPixel(r.width()),
                            twips::inPixel(r.height()));
}

void Cornice::ridimensionaTwips(int larghezza, int altezza)
{
    finestra()->resize(twips::inPixel(larghezza), twips::inPixel(altezza));
}

void Cornice::leggiGeometria()
{
    const GeometriaSalvata g = m_pref.geometria(m_p.sezione);
    const int schermoL = twips::larghezzaSchermo();
    const int schermoA = twips::altezzaSchermo();
    // A window opens at its designed size; the centring below takes that
    // size, before the remembered one is applied.
    ridimensionaTwips(m_p.larghezza, m_p.altezza);
    QRect attuale = geometriaTwips();

    int larghezza = m_p.larghezza;
    if (!g.WiPos.isEmpty() && ValoreNumerico(g.WiPos) < schermoL)
        larghezza = static_cast<int>(std::lround(ValoreNumerico(g.WiPos)));
    int altezza = m_p.altezza;
    if (!g.HePos.isEmpty() && ValoreNumerico(g.HePos) < schermoA - AltezzaBarraStato)
        altezza = static_cast<int>(std::lround(ValoreNumerico(g.HePos)));

    // The centring uses the window's size before the saved size is applied.
    int sinistra;
    if (!g.XPos.isEmpty() && ValoreNumerico(g.XPos) >= 0)
        sinistra = static_cast<int>(std::lround(ValoreNumerico(g.XPos)));
    else
        sinistra = (schermoL - attuale.width()) / 2;
    int alto;
    if (!g.YPos.isEmpty() && ValoreNumerico(g.YPos) >= 0)
        alto = arrotondaPari(ValoreNumerico(g.YPos));
    else
        alto = (schermoA - attuale.height()) / 2 - AltezzaBarraStato;

    ridimensionaTwips(larghezza, altezza);
    const QRect dopo = geometriaTwips();
    setGeometriaTwips(QRect(sinistra, alto, dopo.width(), dopo.height()));
    applicaRegole();
    tieniInVista();
}

void Cornice::tieniInVista()
{
    // Positions are screen-wide but an operator window lives in the main
    // window's MDI area, which is smaller: a window left (or centred) beyond
    // the area's edge would open out of sight. It is pulled back inside.
    QWidget* f = finestra();
    QWidget* area = f->isWindow() ? nullptr : f->parentWidget();
    if (!area || area->rect().isEmpty())
        return;
    const QRect a = area->rect();
    const QRect g = f->geometry();
    if (a.contains(g))
        return;
    f->move(std::clamp(g.x(), 0, std::max(0, a.width() - g.width())),
            std::clamp(g.y(), 0, std::max(0, a.height() - g.height())));
}

void Cornice::salvaGeometria()
{
    // A minimised or maximised window is remembered at its normal place and
    // size: reopened at the minimised bar's size it would be of no use.
    QRect g = geometriaTwips();
    if (!normale(finestra()) && m_normale.isValid()) {
        const QRect& n = m_normale;
        g = QRect(twips::daPixel(n.x()), twips::daPixel(n.y()), twips::daPixel(n.width()), twips::daPixel(n.height()));
    }
    m_pref.salvaGeometria(m_p.sezione, g.x(), g.y(), g.width(), g.height());
}

void Cornice::ripristinaDimensione()
{
    ridimensionaTwips(m_p.larghezza, m_p.altezza);
    applicaRegole();
}

bool Cornice::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_finestra && (e->type() == QEvent::Resize || e->type() == QEvent::Move) && normale(m_finestra))
        m_normale = m_finestra->geometry();
    if (o == m_finestra && e->type() == QEvent::Resize)
        applicaRegole();
    return QFrame::eventFilter(o, e);
}

void Cornice::resizeEvent(QResizeEvent* e)
{
    QFrame::resizeEvent(e);
    disponi();
}

void Cornice::applicaRegole()
{
    QWidget* f = finestra();
    if (m_inRegole || f->isMinimized())
        return;
    m_inRegole = true;
    const QRect g = geometriaTwips();
    int larghezza = g.width();
    int altezza = g.height();
    if (larghezza <= m_p.larghezzaMinima)
        larghezza = m_p.larghezzaMinima;
    if (altezza <= m_p.sogliaAltezza)
        altezza = m_p.altezzaMinima;
    if (larghezza != g.width() || altezza != g.height())
        ridimensionaTwips(larghezza, altezza);
    // Compared in whole pixels: at a scale that does not divide the designed
    // size, the window opened at that size reads back a few twips short and
    // must still count as whole.
    m_scorrimento = f->width() < twips::inPixel(m_p.larghezza) || f->height() < twips::inPixel(m_p.altezza);
    m_inRegole = false;
    disponi();
}

void Cornice::disponi()
{
    const int est = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (!m_scorrimento) {
        m_h->hide();
        m_v->hide();
        m_angolo->hide();
        m_h->setValue(0);
        m_v->setValue(0);
        m_interno->move(0, 0);
        return;
    }
    const int w = width();
    const int h = height();
    m_h->setGeometry(0, h - est, w - est, est);
    m_v->setGeometry(w - est, 0, est, h - est);
    m_angolo->setGeometry(w - est, h - est, est, est);
    m_h->show();
    m_v->show();
    m_angolo->show();
    m_angolo->raise();

    const int vistaL = twips::daPixel(w);
    const int vistaA = twips::daPixel(h);
    const auto oriz = intervalloBarra(twips::daPixel(m_interno->width()), vistaL, twips::daPixel(est));
    const auto vert = intervalloBarra(twips::daPixel(m_interno->height()), vistaA, twips::daPixel(est));
    m_h->setRange(0, oriz.massimo);
    m_h->setPageStep(oriz.passoGrande);
    m_h->setSingleStep(oriz.passoPiccolo);
    m_v->setRange(0, vert.massimo);
    m_v->setPageStep(vert.passoGrande);
    m_v->setSingleStep(vert.passoPiccolo);
    m_interno->move(-twips::inPixel(m_h->value()), -twips::inPixel(m_v->value()));
}

} // namespace sorvela
