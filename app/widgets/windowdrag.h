#pragma once

#include <QPoint>
#include <QPointer>

class QMouseEvent;
class QWidget;

// Moves a frameless window while its title strip is dragged. Windows and window managers that
// offer an interactive move get the press handed over; without one (no window manager, as under
// Xvfb) the window follows the mouse until the button is released. The press itself is left
// unaccepted so that the title strip's parent sees it too.
class WindowDrag
{
public:
    explicit WindowDrag(QWidget *target);

    void press(QMouseEvent *event);
    void move(QMouseEvent *event);
    void release(QMouseEvent *event);

    bool isTracking() const { return m_tracking; }

private:
    QPointer<QWidget> m_target;
    bool m_tracking = false;
    QPoint m_pressGlobal;
    QPoint m_windowAtPress;
};
