#include "hostclock.h"

#include <QDateTime>

namespace {
qint64 floorDiv(qint64 value, qint64 divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}
} // namespace

int LocalTimeOfDay::msecsOfDay(qint64 us)
{
    const qint64 second = floorDiv(us, 1000000);
    if (second != m_second) {
        m_second = second;
        m_secondMs
            = QDateTime::fromSecsSinceEpoch(second, Qt::LocalTime).time().msecsSinceStartOfDay();
    }
    return m_secondMs + int((us - second * 1000000) / 1000);
}

int HostClock::msecsOfDay()
{
    m_lastNow = QDateTime::currentMSecsSinceEpoch();
    return m_local.msecsOfDay(m_lastNow * 1000);
}
