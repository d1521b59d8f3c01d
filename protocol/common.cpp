#include "common.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

void common::delayMsec(uint ms)
{
    const qint64 start = QDateTime::currentDateTime().toMSecsSinceEpoch();
    for (;;) {
        const qint64 now = QDateTime::currentDateTime().toMSecsSinceEpoch();
        if (now - start > qint64(ms))
            return;
        QCoreApplication::processEvents();
        // A short nap keeps the wait from starving the serial and display workers on small machines.
        QThread::usleep(100);
    }
}
