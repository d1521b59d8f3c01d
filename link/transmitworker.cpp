#include "transmitworker.h"

#include <QMetaObject>
#include <QTimer>

void TransmitWorker::startThread(QObject *scheduler,
                                 const QString &name,
                                 QThread::Priority priority,
                                 std::initializer_list<QTimer *> timers)
{
    m_thread = new QThread;
    m_thread->setObjectName(name);
    m_timers = timers;
    for (QTimer *timer : timers)
        timer->moveToThread(m_thread);
    scheduler->moveToThread(m_thread);
    m_thread->start(priority);
}

void TransmitWorker::finish(QObject *scheduler, const std::function<void()> &tidy)
{
    QThread *home = QThread::currentThread();
    QMetaObject::invokeMethod(
        scheduler,
        [this, scheduler, home, &tidy] {
            if (tidy)
                tidy();
            qDeleteAll(m_timers);
            m_timers.clear();
            scheduler->moveToThread(home);
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}
