#include "logtimeline.h"

namespace {
constexpr qint64 UsPerTick = 100;
// Frames of the two channels and sent frames may arrive a little out of stamp order; a step
// back by more than this means the adapter's clock started again (the device was reopened).
constexpr qint32 RestartTicks = -10000;
} // namespace

qint64 LogTimeline::timeOf(const LogFrame &frame)
{
    // The signed difference of two 32-bit stamps is the step across a wrap as well.
    const qint32 step = qint32(frame.timeStamp - m_lastStamp);
    m_lastStamp = frame.timeStamp;
    if (!m_started || step < RestartTicks) {
        m_started = true;
        m_anchorUs = frame.hostTimeUs;
        m_ticks = 0;
    } else {
        m_ticks += step;
    }
    return m_anchorUs + m_ticks * UsPerTick;
}
