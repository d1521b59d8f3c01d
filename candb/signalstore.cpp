#include "signalstore.h"

#include <QMutexLocker>

#include <cmath>

namespace {
quint64 slotKey(const LogFrame &frame)
{
    return (quint64(frame.channel) << 32) | frame.id | (frame.isExtended() ? 0x80000000u : 0u);
}
} // namespace

double SignalStore::Timeline::seconds(int channel, quint32 timeStamp)
{
    qint64 &last = m_last[channel == 2 ? 1 : 0];
    if (last < 0) {
        last = timeStamp;
    } else {
        // The nearest reading of the 32-bit clock to the one before: a wrap moves on by 2^32, and
        // a frame a little out of order steps back instead of jumping days ahead.
        last += qint32(timeStamp - quint32(last));
    }
    return double(last) * 1e-4;
}

SignalStore::SignalStore(DatabaseSet *databases, QObject *parent)
    : QObject(parent)
    , m_databases(databases)
{
}

void SignalStore::resetSlotsLocked()
{
    m_slots.clear();
}

SignalStore::MessageSlot &SignalStore::slotFor(const LogFrame &frame)
{
    const quint64 key = slotKey(frame);
    auto it = m_slots.find(key);
    if (it != m_slots.end())
        return it.value();
    MessageSlot slot;
    const DatabaseSet::Match match = m_snapshot
        ? m_snapshot->find(frame.channel, frame.id, frame.isExtended())
        : DatabaseSet::Match();
    if (match) {
        slot.message = match.message;
        slot.states.fill(-1, match.message->signalList.size());
        slot.series.fill(-1, match.message->signalList.size());
        // States made under an earlier snapshot keep their rows; their series too.
        for (int i = 0; i < match.message->signalList.size(); ++i) {
            const SignalKey signalKey { frame.channel, frame.id, frame.isExtended(),
                                        match.message->signalList.at(i).name };
            slot.states[i] = m_stateIndex.value(signalKey, -1);
            slot.series[i] = m_seriesIndex.value(signalKey, -1);
            if (slot.series[i] < 0 && m_tracked.contains(signalKey)) {
                slot.series[i] = m_series.size();
                m_seriesIndex.insert(signalKey, slot.series[i]);
                m_series.append(Series());
            }
        }
    }
    return m_slots.insert(key, slot).value();
}

int SignalStore::stateFor(MessageSlot &slot, const LogFrame &frame, int signalIndex)
{
    int &index = slot.states[signalIndex];
    if (index >= 0)
        return index;
    const DbcSignal &signal = slot.message->signalList.at(signalIndex);
    SignalState state;
    state.key = SignalKey { frame.channel, frame.id, frame.isExtended(), signal.name };
    state.messageName = slot.message->name;
    state.unit = signal.unit;
    state.named = !signal.valueNames.isEmpty();
    index = m_states.size();
    m_states.append(state);
    m_latest.append(Latest { &signal, DecodedSignal() });
    m_stateIndex.insert(state.key, index);
    return index;
}

void SignalStore::add(const LogFrame *frames, int count)
{
    if (count <= 0)
        return;
    QSharedPointer<const DatabaseSet::Snapshot> snapshot
        = m_databases ? m_databases->snapshot() : QSharedPointer<const DatabaseSet::Snapshot>();
    QMutexLocker locker(&m_mutex);
    if (snapshot != m_snapshot) {
        // The latest values point into the old databases: give them their texts now, so the
        // old snapshot can go instead of piling up with every reload.
        for (int i = 0; i < m_latest.size(); ++i) {
            Latest &latest = m_latest[i];
            if (m_states[i].text.isNull() && latest.signal)
                m_states[i].text = SignalCodec::valueText(*latest.signal, latest.decoded);
            latest.signal = nullptr;
        }
        m_snapshot = snapshot;
        resetSlotsLocked();
    }
    bool changed = false;
    for (int f = 0; f < count; ++f) {
        const LogFrame &frame = frames[f];
        // Every frame moves the clock on, so that a wrap is seen even among undescribed frames.
        const double time = m_timeline.seconds(frame.channel, frame.timeStamp);
        if (frame.isRemote() || !m_snapshot)
            continue;
        MessageSlot &slot = slotFor(frame);
        if (!slot.message)
            continue;
        SignalCodec::decode(*slot.message, frame.data, frame.dataCount(), &m_decoded);
        for (const DecodedSignal &decoded : qAsConst(m_decoded)) {
            const int index = stateFor(slot, frame, decoded.signalIndex);
            SignalState &state = m_states[index];
            state.value = decoded.physical;
            state.raw = decoded.raw;
            if (state.count == 0 || decoded.physical < state.minimum)
                state.minimum = decoded.physical;
            if (state.count == 0 || decoded.physical > state.maximum)
                state.maximum = decoded.physical;
            ++state.count;
            state.lastTime = time;
            state.text.clear();
            Latest &latest = m_latest[index];
            latest.signal = &slot.message->signalList.at(decoded.signalIndex);
            latest.decoded = decoded;
            const int series = slot.series.at(decoded.signalIndex);
            if (series >= 0)
                m_series[series].samples.append(SignalSample { time, decoded.physical });
            changed = true;
        }
    }
    if (changed)
        ++m_serial;
}

void SignalStore::clear()
{
    {
        QMutexLocker locker(&m_mutex);
        m_slots.clear();
        m_states.clear();
        m_latest.clear();
        m_stateIndex.clear();
        m_seriesIndex.clear();
        m_series.clear();
        m_timeline.reset();
        ++m_serial;
        ++m_generation;
    }
    emit cleared();
}

quint64 SignalStore::serial() const
{
    QMutexLocker locker(&m_mutex);
    return m_serial;
}

quint64 SignalStore::generation() const
{
    QMutexLocker locker(&m_mutex);
    return m_generation;
}

QVector<SignalState> SignalStore::states(quint64 *generation) const
{
    QMutexLocker locker(&m_mutex);
    if (generation)
        *generation = m_generation;
    // The text is built here, once per look, rather than for every frame.
    for (int i = 0; i < m_states.size(); ++i) {
        SignalState &state = m_states[i];
        const Latest &latest = m_latest.at(i);
        if (state.text.isNull() && latest.signal)
            state.text = SignalCodec::valueText(*latest.signal, latest.decoded);
    }
    return m_states;
}

void SignalStore::setTracked(const QVector<SignalKey> &keys)
{
    QMutexLocker locker(&m_mutex);
    QSet<SignalKey> tracked;
    for (const SignalKey &key : keys)
        tracked.insert(key);
    if (tracked == m_tracked)
        return;
    // Kept series of keys still tracked stay; the slots are rebuilt so that new keys get theirs.
    QHash<SignalKey, int> seriesIndex;
    QVector<Series> series;
    for (auto it = m_seriesIndex.cbegin(); it != m_seriesIndex.cend(); ++it) {
        if (!tracked.contains(it.key()))
            continue;
        seriesIndex.insert(it.key(), series.size());
        series.append(m_series.at(it.value()));
    }
    m_tracked = tracked;
    m_seriesIndex = seriesIndex;
    m_series = series;
    m_slots.clear();
    ++m_serial;
}

QVector<SignalKey> SignalStore::tracked() const
{
    QMutexLocker locker(&m_mutex);
    return QVector<SignalKey>(m_tracked.cbegin(), m_tracked.cend());
}

QVector<SignalSample>
SignalStore::samples(const SignalKey &key, int from, quint64 *generation) const
{
    QMutexLocker locker(&m_mutex);
    if (generation)
        *generation = m_generation;
    const int index = m_seriesIndex.value(key, -1);
    if (index < 0)
        return {};
    const Series &series = m_series.at(index);
    const int start = qMax(0, from - series.forgotten);
    if (start >= series.samples.size())
        return {};
    return start == 0 ? series.samples : series.samples.mid(start);
}

void SignalStore::forget(const SignalKey &key, int before, quint64 generation)
{
    QMutexLocker locker(&m_mutex);
    if (generation != m_generation)
        return;
    const int index = m_seriesIndex.value(key, -1);
    if (index < 0)
        return;
    Series &series = m_series[index];
    const int drop = qMin(before - series.forgotten, series.samples.size());
    // Dropped in lumps: moving the rest down for every few values would cost more than it frees.
    if (drop <= 0 || (drop < ForgetLump && drop < series.samples.size()))
        return;
    series.samples.remove(0, drop);
    series.forgotten += drop;
}
