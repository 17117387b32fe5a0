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
    if (!aperta || !apritrice || aperta == apritrice)
        return;
    const QPointer<QMdiSubWindow> torna(apritrice);
    // Bound to the opener: when the whole area goes, so does the opener, and
    // nothing is left to activate. Deferred, so the area has finished with
    // the closed window first.
    const QMetaObject::Connection c = QObject::connect(aperta, &QObject::destroyed, apritrice, [torna] {
        QTimer::singleShot(0, torna.data(), [torna] {
            if (torna && torna->mdiArea() && torna->isVisible())
                torna->mdiArea()->setActiveSubWindow(torna);
        });
    });
    aperta->setProperty(ProprietaRitorno, QVariant::fromValue(c));
}

void PrimoPiano::dimenticaApritrice(QMdiSubWindow* aperta)
{
    if (aperta)
        QObject::disconnect(aperta->property(ProprietaRitorno).value<QMetaObject::Connection>());
}

} // namespace sorvela
