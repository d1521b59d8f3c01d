#pragma once

// Per-identifier statistics of the received and sent frames: one row per channel, identifier and
// identifier kind, with counts, cycle times from the device stamps and the time each data byte
// last changed. Fed frame by frame on the display thread; each refresh tick hands the rows that
// changed since the last one to the GUI as copies, behind one lock.

#include "display/canrecordbuffer.h"
#include "recording/logtimeline.h"

#include <QVector>

#include <atomic>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <vector>

struct IdOverviewRow
{
    static constexpr qint64 Never = std::numeric_limits<qint64>::min();

    int index = 0; // place in the order identifiers were first seen, stable until a clear
    CanRecord last; // the newest data frame; the newest remote frame while there is none
    quint64 count = 0; // data frames
    quint64 remoteCount = 0;
    // Device time in microseconds, unwrapped across the stamp's 32-bit wrap.
    qint64 lastSeenUs = Never; // newest frame of either kind
    qint64 lastDataUs = Never;
    // Gaps between consecutive data frames, in microseconds; meaningful while cycles > 0.
    qint64 lastCycleUs = 0;
    qint64 minCycleUs = 0;
    qint64 maxCycleUs = 0;
    qint64 cycleSumUs = 0;
    quint64 cycles = 0;
    // When each data byte last took a new value; Never while it has kept its first one.
    qint64 changedUs[8] = { Never, Never, Never, Never, Never, Never, Never, Never };

    qint64 meanCycleUs() const { return cycles ? cycleSumUs / qint64(cycles) : 0; }
};

// What the GUI takes at a tick: the rows changed since the previous hand-over, by rising index,
// and the stream's clock.
struct IdOverviewUpdate
{
    bool reset = false; // everything before was cleared; the rows start afresh
    QVector<IdOverviewRow> rows;
    // Device time of the newest frame, and the host time it was handled at; a live stream's
    // clock goes on with the host's while no frame comes, a log's stands still.
    qint64 newestUs = IdOverviewRow::Never;
    qint64 newestHostUs = 0;
    bool live = true;
    // Frames of identifiers beyond the row limit, since the last clear.
    quint64 unlistedFrames = 0;
};

class IdOverview
{
public:
    // A bus, or a fault, that sends ever new identifiers must not grow the overview without end;
    // a real network has a few thousand at most.
    static constexpr int DefaultMaxRows = 20000;

    // Any thread: tests and tools change the limit while frames come in, the GUI shows it.
    void setMaxRows(int rows) { m_maxRows.store(rows, std::memory_order_relaxed); }
    int maxRows() const { return m_maxRows.load(std::memory_order_relaxed); }
    // Display thread. `live` is false for frames read from a log file.
    void add(const CanRecord &record, bool live);
    void clear();
    // Display thread: makes the rows changed since the GUI's last take() ready for the next.
    void publish();
    // Display thread: hands every row over again, for a view that starts empty.
    void publishAll();

    // Any thread: the rows published since the previous take.
    IdOverviewUpdate take();

    static quint64 keyOf(const LogFrame &frame)
    {
        return (quint64(frame.channel) << 33) | (quint64(frame.isExtended()) << 32) | frame.id;
    }

private:
    LogTimeline m_timeline;
    std::unordered_map<quint64, int> m_indexOf;
    std::vector<IdOverviewRow> m_rows;
    std::vector<int> m_dirty;
    std::vector<bool> m_isDirty;
    qint64 m_newestUs = IdOverviewRow::Never;
    qint64 m_newestHostUs = 0;
    bool m_live = true;
    std::atomic<int> m_maxRows { DefaultMaxRows };
    quint64 m_unlistedFrames = 0;

    std::mutex m_mutex;
    IdOverviewUpdate m_outbox; // guarded by m_mutex
};
