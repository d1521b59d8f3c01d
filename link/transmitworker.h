#pragma once

// The thread a transmit scheduler runs on, and the links every transmit scheduler has: its
// commands go to the serial link, the adapter's send results come back to it, and the frames it
// put on the bus go to whoever listens to the sent-frame relay (the receive view). The scheduler
// and its timers live on the thread until finish() hands the scheduler back.

#include "link/sentframerelay.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"

#include <QList>
#include <QString>
#include <QThread>

#include <functional>
#include <initializer_list>

class QTimer;

class TransmitWorker
{
public:
    template<class Scheduler>
    void start(Scheduler *scheduler,
               const QString &name,
               QThread::Priority priority,
               std::initializer_list<QTimer *> timers)
    {
        startThread(scheduler, name, priority, timers);
        QObject::connect(scheduler, &Scheduler::Signal_payLoad_Send, SerialControl::instance(),
                         &SerialControl::serialSocketSend);
        QObject::connect(contextProtocol::instance(), &contextProtocol::signal_RSP_CANSend,
                         scheduler, &Scheduler::On_RSP_CANSend_Hander);
        QObject::connect(SerialControl::instance(), &SerialControl::signal_portClosed, scheduler,
                         &Scheduler::onPortClosed);
        // Directly, like received frames reach the display: a start or stop of real-time saving
        // then falls between the right two frames of either direction.
        QObject::connect(scheduler, &Scheduler::signal_RSP_CANSendDisplay,
                         SentFrameRelay::instance(), &SentFrameRelay::signal_frameSent,
                         Qt::DirectConnection);
    }

    // Runs `tidy` on the worker thread, deletes the timers there (they can only be stopped on
    // their own thread), moves the scheduler back to the calling thread and ends the worker.
    void finish(QObject *scheduler, const std::function<void()> &tidy);

private:
    void startThread(QObject *scheduler,
                     const QString &name,
                     QThread::Priority priority,
                     std::initializer_list<QTimer *> timers);

    QThread *m_thread = nullptr;
    QList<QTimer *> m_timers;
};
