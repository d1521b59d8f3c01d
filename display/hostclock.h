#pragma once

// The host's local time of day in milliseconds, for stamping every frame. Converting to local time
// is costly, so it is done once per second and the milliseconds are added to it; a change of the
// UTC offset is picked up with the next second.

#include <QtGlobal>

class HostClock
{
public:
    int msecsOfDay();
    // The moment the last msecsOfDay() call read, in milliseconds since the epoch.
    qint64 lastMsecsSinceEpoch() const { return m_lastNow; }

private:
    qint64 m_second = -1;
    int m_secondOfDayMs = 0;
    qint64 m_lastNow = 0;
};
