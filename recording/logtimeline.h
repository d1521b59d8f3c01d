#pragma once

// The time a frame gets in a written log: the host clock at the file's first frame, then the steps
// of the adapter's 0.1 ms stamps, unwrapped across their 32-bit wrap. Host times jitter by the
// thread's scheduling; the device stamps give the exact gaps between frames.

#include "recording/logframe.h"

class LogTimeline
{
public:
    // Microseconds since the epoch.
    qint64 timeOf(const LogFrame &frame);

private:
    bool m_started = false;
    qint64 m_anchorUs = 0;
    qint64 m_ticks = 0;
    quint32 m_lastStamp = 0;
};
