#include "idoverview.h"

#include <algorithm>

void IdOverview::add(const CanRecord &record, bool live)
{
    const LogFrame frame = record.frame();
    const qint64 at = m_timeline.timeOf(frame);
    m_newestUs = at;
    m_newestHostUs = frame.hostTimeUs;
    m_live = live;

    const quint64 key = keyOf(frame);
    int index = 0;
    const auto listed = m_indexOf.find(key);
    if (listed != m_indexOf.end()) {
        index = listed->second;
    } else if (int(m_rows.size()) < maxRows()) {
        index = int(m_rows.size());
        m_indexOf.emplace(key, index);
        m_rows.emplace_back();
        m_rows.back().index = index;
        m_isDirty.push_back(false);
    } else {
        ++m_unlistedFrames;
        return;
    }
    IdOverviewRow &row = m_rows[std::size_t(index)];
    if (!m_isDirty[std::size_t(index)]) {
        m_isDirty[std::size_t(index)] = true;
        m_dirty.push_back(index);
    }
    row.lastSeenUs = at;

    if (frame.isRemote()) {
        ++row.remoteCount;
        if (row.count == 0)
            row.last = record;
        return;
    }
    if (row.count > 0) {
        const qint64 gap = at - row.lastDataUs;
        // A device reopened mid-stream restarts its clock; such a step says nothing of the cycle.
        if (gap >= 0) {
            row.lastCycleUs = gap;
            row.minCycleUs = row.cycles ? qMin(row.minCycleUs, gap) : gap;
            row.maxCycleUs = row.cycles ? qMax(row.maxCycleUs, gap) : gap;
            row.cycleSumUs += gap;
            ++row.cycles;
        }
        // Bytes that appear with a longer frame count as changed, as do the new values.
        const CanRecord &before = row.last;
        const int oldCount = before.dataCount();
        const int newCount = frame.dataCount();
        for (int i = 0; i < newCount; ++i) {
            if (i >= oldCount || before.data[i] != frame.data[i])
                row.changedUs[i] = at;
        }
    }
    row.lastDataUs = at;
    ++row.count;
    row.last = record;
}

void IdOverview::clear()
{
    m_timeline = LogTimeline();
    m_indexOf.clear();
    m_rows.clear();
    m_dirty.clear();
    m_isDirty.clear();
    m_newestUs = IdOverviewRow::Never;
    m_newestHostUs = 0;
    m_unlistedFrames = 0;
    IdOverviewUpdate fresh;
    fresh.reset = true;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        std::swap(m_outbox, fresh);
    }
}

void IdOverview::publishAll()
{
    m_dirty.resize(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_dirty[i] = int(i);
        m_isDirty[i] = true;
    }
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_outbox.rows.clear();
        m_outbox.reset = true;
    }
    publish();
}

void IdOverview::publish()
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_outbox.unlistedFrames = m_unlistedFrames;
        if (m_dirty.empty())
            return;
        m_outbox.newestUs = m_newestUs;
        m_outbox.newestHostUs = m_newestHostUs;
        m_outbox.live = m_live;
        // The GUI has not taken the last hand-over (a hidden overview takes none): the rows stay
        // marked and go out, as they are then, once it has. Only take() empties the outbox.
        if (!m_outbox.rows.isEmpty())
            return;
    }
    std::sort(m_dirty.begin(), m_dirty.end());
    QVector<IdOverviewRow> rows;
    rows.reserve(int(m_dirty.size()));
    for (const int index : m_dirty) {
        rows.append(m_rows[std::size_t(index)]);
        m_isDirty[std::size_t(index)] = false;
    }
    m_dirty.clear();

    std::lock_guard<std::mutex> locker(m_mutex);
    m_outbox.rows.swap(rows);
}

IdOverviewUpdate IdOverview::take()
{
    IdOverviewUpdate update;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        std::swap(update, m_outbox);
        m_outbox.newestUs = update.newestUs;
        m_outbox.newestHostUs = update.newestHostUs;
        m_outbox.live = update.live;
        m_outbox.unlistedFrames = update.unlistedFrames;
    }
    return update;
}
