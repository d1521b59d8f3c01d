#include "hostclock.h"

#include <QDateTime>

int HostClock::msecsOfDay()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_lastNow = now;
    const qint64 second = now / 1000;
    if (second != m_second) {
        m_second = second;
        m_secondOfDayMs
            = QDateTime::fromSecsSinceEpoch(second, Qt::LocalTime).time().msecsSinceStartOfDay();
    }
    return m_secondOfDayMs + int(now % 1000);
}
