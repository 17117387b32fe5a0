#include "windows/PrimoPiano.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

namespace sorvela {

namespace {
constexpr const char* ProprietaRitorno = "sorvelaRitornoApritrice";
} // namespace

PrimoPiano::PrimoPiano(QMdiArea* area)
    : QObject(area)
    , m_area(area)
{
    // Application-wide: a press lands on the control under the mouse, deep
    // inside the window, and the control takes it for itself.
    qApp->installEventFilter(this);
}

bool PrimoPiano::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::Close) {
        auto* sub = qobject_cast<QMdiSubWindow*>(o);
        QPointer<QMdiSubWindow> apritrice;
        if (sub)
            apritrice = sub->property(ProprietaRitorno).value<QPointer<QMdiSubWindow>>();
        // Only the window the operator was in hands the keyboard back: one
        // that closes by itself meanwhile must not take it from him. Checked
        // once the close has gone through (the window may refuse it) and the
        // area has chosen a window of its own.
        if (apritrice && sub->mdiArea() == m_area && m_area->activeSubWindow() == sub) {
            QTimer::singleShot(0, m_area, [this, chiusa = QPointer<QMdiSubWindow>(sub), apritrice] {
                if ((!chiusa || !chiusa->isVisible()) && apritrice && apritrice->isVisible())
                    m_area->setActiveSubWindow(apritrice);
            });
        }
        return false;
    }
    if (e->type() != QEvent::MouseButtonPress || !o->isWidgetType())
        return false;
    for (QWidget* w = static_cast<QWidget*>(o); w && !w->isWindow(); w = w->parentWidget()) {
        auto* sub = qobject_cast<QMdiSubWindow*>(w);
        if (!sub)
            continue;
        if (sub->mdiArea() != m_area)
            break;
        const QList<QMdiSubWindow*> pila = m_area->subWindowList(QMdiArea::StackingOrder);
        if (!pila.isEmpty() && pila.last() != sub)
            sub->raise();
        if (m_area->activeSubWindow() != sub)
            m_area->setActiveSubWindow(sub);
        break;
    }
    return false;
}

void PrimoPiano::ricordaApritrice(QMdiSubWindow* aperta, QMdiSubWindow* apritrice)
{
    if (aperta && apritrice != aperta)
        aperta->setProperty(ProprietaRitorno, QVariant::fromValue(QPointer<QMdiSubWindow>(apritrice)));
}

void PrimoPiano::dimenticaApritrice(QMdiSubWindow* aperta)
{
    if (aperta)
        aperta->setProperty(ProprietaRitorno, QVariant());
}

} // namespace sorvela
