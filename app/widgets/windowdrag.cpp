#include "app/widgets/windowdrag.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

WindowDrag::WindowDrag(QWidget *target)
    : m_target(target)
{
}

void WindowDrag::press(QMouseEvent *event)
{
    event->ignore();
    m_tracking = false;
    if (!m_target || event->button() != Qt::LeftButton)
        return;
    QWidget *window = m_target->window();
#ifdef Q_OS_WIN
    if (ReleaseCapture()) {
        SendMessageW(reinterpret_cast<HWND>(window->winId()), WM_SYSCOMMAND, 0xF012, 0);
        QCoreApplication::processEvents();
    }
#else
    if (window->isMaximized())
        return;
    if (QWindow *handle = window->windowHandle()) {
        if (handle->startSystemMove())
            return;
    }
    m_tracking = true;
    m_pressGlobal = event->globalPos();
    m_windowAtPress = window->pos();
#endif
}

void WindowDrag::move(QMouseEvent *event)
{
    if (!m_tracking || !m_target || !(event->buttons() & Qt::LeftButton))
        return;
    m_target->window()->move(m_windowAtPress + (event->globalPos() - m_pressGlobal));
}

void WindowDrag::release(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_tracking = false;
}
