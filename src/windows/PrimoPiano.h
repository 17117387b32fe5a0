#pragma once
// Which operator window is in front, in the main window's MDI area.
//
// The console brings a window forward by itself (the queue, when events
// arrive) without taking the keyboard from the window the operator types in.
// That window is then active but covered, and the area raises a window only
// when it becomes active: a click on it would not bring it back. Here a
// click on any of the area's windows raises and activates it, always.
//
// A window opened from another one, closed while the operator is in it,
// hands the keyboard back to its opener rather than to whichever window the
// area would pick next.

#include <QObject>

class QMdiArea;
class QMdiSubWindow;

namespace sorvela {

class PrimoPiano : public QObject {
    Q_OBJECT
public:
    explicit PrimoPiano(QMdiArea* area);

    // When `aperta` closes while active, `apritrice` (if still open) becomes
    // active again; unless dimenticaApritrice() was called for it first.
    static void ricordaApritrice(QMdiSubWindow* aperta, QMdiSubWindow* apritrice);
    static void dimenticaApritrice(QMdiSubWindow* aperta);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QMdiArea* m_area;
};

} // namespace sorvela
