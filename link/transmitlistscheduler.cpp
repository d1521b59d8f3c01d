#include "transmitlistscheduler.h"

#include "link/serialcontrol.h"
#include "link/trans_cansendsupport.h"
#include "link/transmitworker.h"
#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <thread>

namespace {
constexpr qint64 NsPerMs = 1000000;
// A timer wakes on whole milliseconds at best, and later on a busy machine: it only brings the
// thread this close to a deadline, and the thread sleeps the rest itself.
constexpr qint64 FinalStretchNs = 2 * NsPerMs;
// The sleep's own slack; the last part is spent yielding instead.
constexpr qint64 SpinNs = 100000;
} // namespace

QByteArray TransmitEntry::canFrame() const
{
    QByteArray bytes = data.left(CanFrame::DataSize);
    bytes.resize(CanFrame::DataSize);
    const int length = qBound(0, dlc, CanFrame::MaxDlc);
    // A remote frame asks for data and carries none.
    for (int i = remote ? 0 : length; i < CanFrame::DataSize; ++i)
        bytes[i] = '\0';
    return contextProtocol::buildCanFrame(
        remote ? 0x40 : 0, extended ? CanFrame::FrameTypeExtended : CanFrame::FrameTypeStandard,
        length, id, bytes);
}

TransmitListScheduler::TransmitListScheduler()
{
    qRegisterMetaType<TransmitReport>();
    Rank = Trans_canSendSupport::takeRank();
    clock.start();

    dueTimer = new QTimer;
    dueTimer->setSingleShot(true);
    dueTimer->setTimerType(Qt::PreciseTimer);
    responseTimer = new QTimer;
    responseTimer->setSingleShot(true);
    reportTimer = new QTimer;
    reportTimer->setInterval(ReportIntervalMs);
    worker = new TransmitWorker;
    // Periods of a few milliseconds need the thread to wake on time while the GUI is busy.
    worker->start(this, QStringLiteral("transmit list %1").arg(Rank, 0, 16), QThread::HighPriority,
                  { dueTimer, responseTimer, reportTimer });
    connect(dueTimer, &QTimer::timeout, this, &TransmitListScheduler::pump);
    connect(responseTimer, &QTimer::timeout, this, &TransmitListScheduler::onResponseTimeout);
    connect(reportTimer, &QTimer::timeout, this, &TransmitListScheduler::emitReport);
}

TransmitListScheduler::~TransmitListScheduler() = default;

void TransmitListScheduler::release()
{
    worker->finish(this, [this] {
        mode = Mode::Idle;
        dueTimer = responseTimer = reportTimer = nullptr;
    });
    delete worker;
    delete this;
}

void TransmitListScheduler::startList(const QVector<TransmitEntry> &list)
{
    QMetaObject::invokeMethod(this, [this, list] {
        finishRun(RunEnd::Stopped);
        entries = list;
        frames.clear();
        replayIndex = 0;
        pass = 0;
        const qint64 now = clock.nsecsElapsed();
        dueNs = QVector<qint64>(entries.size(), now);
        status = QVector<TransmitEntryStatus>(entries.size());
        mode = Mode::List;
        paused = false;
        windowStartNs = now;
        confirmedInWindow = 0;
        lateInWindow = false;
        reportTimer->start();
        pump();
    });
}

void TransmitListScheduler::startReplay(const QVector<LogFrame> &log, const ReplayOptions &opts)
{
    QMetaObject::invokeMethod(this, [this, log, opts] {
        finishRun(RunEnd::Stopped);
        frames = log;
        options = opts;
        options.loops = qMax(1, options.loops);
        offsetsNs = replayOffsets(frames, options.speed, &cappedGaps);
        entries.clear();
        status.clear();
        mode = Mode::Replay;
        paused = false;
        pass = 0;
        replayFailed = 0;
        windowStartNs = clock.nsecsElapsed();
        confirmedInWindow = 0;
        lateInWindow = false;
        reportTimer->start();
        startReplayPass();
    });
}

void TransmitListScheduler::stop()
{
    QMetaObject::invokeMethod(this, [this] { endRun(RunEnd::Stopped); });
}

void TransmitListScheduler::setPaused(bool pause)
{
    QMetaObject::invokeMethod(this, [this, pause] {
        if (mode == Mode::Idle || ending || pause == paused)
            return;
        paused = pause;
        const qint64 now = clock.nsecsElapsed();
        if (paused) {
            pausedAtNs = now;
            dueTimer->stop();
        } else {
            // The schedule resumes where it stood, shifted by the pause.
            const qint64 shift = now - pausedAtNs;
            passStartNs += shift;
            for (qint64 &due : dueNs)
                due += shift;
            pump();
        }
        emitReport();
    });
}

void TransmitListScheduler::startReplayPass()
{
    ++pass;
    replayIndex = 0;
    lastSentOffsetNs = -1;
    passStartNs = clock.nsecsElapsed();
    pump();
}

int TransmitListScheduler::mappedChannel(const LogFrame &frame) const
{
    // Channels beyond the adapter's two are never mapped.
    return frame.channel >= 1 && frame.channel <= 2 ? options.channelFor[frame.channel] : 0;
}

QVector<qint64>
TransmitListScheduler::replayOffsets(const QVector<LogFrame> &log, double speed, int *capped)
{
    // Even at the slowest speed a pass then spans decades at most, far inside the clock's range.
    constexpr double MaxOffsetNs = 1e18;
    QVector<qint64> offsets(log.size(), 0);
    int bounded = 0;
    qint64 logUs = 0;
    for (int i = 1; i < log.size(); ++i) {
        const qint64 before = log.at(i - 1).hostTimeUs;
        const qint64 after = log.at(i).hostTimeUs;
        // The difference of two arbitrary 64-bit times fits only in unsigned arithmetic.
        quint64 gapUs = after > before ? quint64(after) - quint64(before) : 0;
        if (gapUs > quint64(MaxReplayGapUs)) {
            gapUs = quint64(MaxReplayGapUs);
            ++bounded;
        }
        logUs = qMin<qint64>(logUs + qint64(gapUs), qint64(MaxOffsetNs / 1000));
        if (speed > 0)
            offsets[i] = qint64(std::llround(qMin(MaxOffsetNs, double(logUs) * 1000.0 / speed)));
    }
    if (capped)
        *capped = bounded;
    return offsets;
}

bool TransmitListScheduler::waitUntil(qint64 due)
{
    const qint64 waitNs = due - clock.nsecsElapsed();
    if (waitNs >= FinalStretchNs + NsPerMs) {
        // Rounded down, so the timer wakes the thread within the final stretch at the earliest.
        const qint64 timerMs = (waitNs - FinalStretchNs) / NsPerMs;
        dueTimer->start(int(qMin<qint64>(timerMs, 3600000)));
        return false;
    }
    // Deadlines are absolute, so a late wake-up shortens the next wait instead of adding up.
    if (waitNs > SpinNs)
        std::this_thread::sleep_for(std::chrono::nanoseconds(waitNs - SpinNs));
    while (clock.nsecsElapsed() < due)
        std::this_thread::yield();
    return true;
}

void TransmitListScheduler::pump()
{
    if (mode == Mode::Idle || ending || paused || inFlight)
        return;

    if (mode == Mode::List) {
        int next = -1;
        for (int i = 0; i < entries.size(); ++i) {
            if (entries.at(i).enabled && (next < 0 || dueNs.at(i) < dueNs.at(next)))
                next = i;
        }
        if (next < 0 || !waitUntil(dueNs.at(next)))
            return;
        const qint64 period = qint64(entries.at(next).periodMs) * NsPerMs;
        if (period == 0 || clock.nsecsElapsed() - dueNs.at(next) > period)
            lateInWindow = true;
        sendFrame(next, dueNs.at(next), entries.at(next).channel, entries.at(next).canFrame());
        return;
    }

    // Replay: skip frames of unmapped channels, then send the next when its time has come.
    while (replayIndex < frames.size() && mappedChannel(frames.at(replayIndex)) == 0)
        ++replayIndex;
    if (replayIndex >= frames.size()) {
        if (pass < options.loops && !frames.isEmpty())
            startReplayPass();
        else
            finishRun(RunEnd::Finished);
        return;
    }
    const qint64 due = passStartNs + offsetsNs.at(replayIndex);
    if (!waitUntil(due))
        return;
    const LogFrame &frame = frames.at(replayIndex);
    lastSentOffsetNs = offsetsNs.at(replayIndex);
    lastSentAtNs = clock.nsecsElapsed();
    sendFrame(replayIndex, due, mappedChannel(frame), frame.toDeviceFrame());
}

void TransmitListScheduler::sendFrame(int index, qint64 due, int channel, const QByteArray &frame)
{
    inFlight = true;
    flightIndex = index;
    flightChannel = channel;
    flightFrame = frame;
    const qint64 sentNs = clock.nsecsElapsed();
    emit Signal_payLoad_Send(contextProtocol::buildCanSend(uchar(channel), frame, Rank));
    responseTimer->start(ResponseTimeoutMs);
    emit signal_frameSent(index, due, sentNs);
}

void TransmitListScheduler::On_RSP_CANSend_Hander(uchar channel,
                                                  uchar state,
                                                  uint rank,
                                                  uint TimeStamp)
{
    if (rank != Rank || !inFlight || channel != uchar(flightChannel))
        return;
    // A frame the adapter put on the bus belongs in the receive view even after a stop.
    if (state != 0)
        emit signal_RSP_CANSendDisplay(channel, flightFrame, qulonglong(TimeStamp), 1);
    finishFrame(state != 0 ? SendOutcome::Confirmed : SendOutcome::Refused);
}

void TransmitListScheduler::onResponseTimeout()
{
    if (!inFlight)
        return;
    // A run started on a closed port (or one whose closing went unnoticed) ends here instead of
    // counting a failure every time-out.
    if (!SerialControl::instance()->isOpen()) {
        onPortClosed();
        return;
    }
    finishFrame(SendOutcome::NoResponse);
}

void TransmitListScheduler::onPortClosed()
{
    // The frame in flight went into a port that is gone; no answer will come for it.
    inFlight = false;
    flightIndex = -1;
    responseTimer->stop();
    if (mode != Mode::Idle)
        finishRun(RunEnd::DeviceGone);
}

void TransmitListScheduler::finishFrame(SendOutcome outcome)
{
    responseTimer->stop();
    inFlight = false;
    if (outcome == SendOutcome::Confirmed)
        ++confirmedInWindow;
    if (mode == Mode::List && flightIndex >= 0 && flightIndex < entries.size()) {
        TransmitEntryStatus &s = status[flightIndex];
        s.last = outcome;
        if (outcome == SendOutcome::Confirmed)
            ++s.confirmed;
        else if (outcome == SendOutcome::Refused)
            ++s.refused;
        else
            ++s.unanswered;
        // The next slot follows the last one on the period grid; slots that already passed
        // while the link was busy are dropped rather than sent in a burst.
        const qint64 now = clock.nsecsElapsed();
        const qint64 period = qint64(entries.at(flightIndex).periodMs) * NsPerMs;
        qint64 &due = dueNs[flightIndex];
        if (period == 0) {
            due = now;
        } else {
            due += period;
            if (due < now - period) {
                const qint64 missed = (now - due) / period;
                s.droppedSlots += quint64(missed);
                due += missed * period;
                lateInWindow = true;
            }
        }
    } else if (mode == Mode::Replay && flightIndex >= 0) {
        if (outcome != SendOutcome::Confirmed)
            ++replayFailed;
        ++replayIndex;
    }
    flightIndex = -1;
    if (ending)
        finishRun(endReason);
    else
        pump();
}

void TransmitListScheduler::emitReport()
{
    TransmitReport report;
    const qint64 now = clock.nsecsElapsed();
    const qint64 window = now - windowStartNs;
    if (window > 0)
        report.framesPerSecond = double(confirmedInWindow) * 1e9 / double(window);
    report.overloaded = lateInWindow;
    report.entries = status;
    report.done = replayIndex;
    report.total = frames.size();
    report.pass = pass;
    report.failed = replayFailed;
    // Judged over half a second at least: one frame a little late says nothing about the pace.
    if (!frames.isEmpty() && options.speed > 0 && lastSentOffsetNs > 0) {
        const qint64 wall = lastSentAtNs - passStartNs;
        if (wall >= 500 * NsPerMs)
            report.replaySpeed = double(lastSentOffsetNs) * options.speed / double(wall);
    }
    report.cappedGaps = cappedGaps;
    report.running = mode != Mode::Idle;
    report.paused = paused;
    report.end = mode == Mode::Idle ? endReason : RunEnd::None;
    windowStartNs = now;
    confirmedInWindow = 0;
    lateInWindow = false;
    emit signal_report(report);
}

void TransmitListScheduler::endRun(RunEnd reason)
{
    if (mode == Mode::Idle || ending)
        return;
    dueTimer->stop();
    if (inFlight && flightIndex >= 0) {
        ending = true;
        endReason = reason;
        paused = false;
        return;
    }
    finishRun(reason);
}

void TransmitListScheduler::finishRun(RunEnd reason)
{
    if (mode == Mode::Idle)
        return;
    mode = Mode::Idle;
    ending = false;
    paused = false;
    // A frame still in flight keeps its wait so that its confirmation is shown as sent, but its
    // outcome no longer counts for any run.
    flightIndex = -1;
    dueTimer->stop();
    reportTimer->stop();
    endReason = reason;
    emitReport();
    endReason = RunEnd::None;
}
