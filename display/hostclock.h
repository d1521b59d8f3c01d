#pragma once

// The host's local time of day in milliseconds, for stamping every frame. Converting to local time
// is costly, so it is done once per second and the milliseconds are added to it; a change of the
// UTC offset is picked up with the next second.

#include <QtGlobal>

#include <limits>

// The local time of day of given moments, in the order they come.
class LocalTimeOfDay
{
public:
    // `us`: microseconds since the epoch.
    int msecsOfDay(qint64 us);

private:
    qint64 m_second = std::numeric_limits<qint64>::min();
    int m_secondMs = 0;
};

// The local time of day now.
class HostClock
{
public:
    int msecsOfDay();
    // The moment the last msecsOfDay() call read, in milliseconds since the epoch.
    qint64 lastMsecsSinceEpoch() const { return m_lastNow; }

private:
    LocalTimeOfDay m_local;
    qint64 m_lastNow = 0;
};
