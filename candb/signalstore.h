#pragma once

// Decoded signals as the frames bring them: per signal its latest value, raw value, minimum,
// maximum, count and time, and for the signals being plotted their values over device time. Fed
// in batches from the display thread, read from the GUI thread; one mutex guards it all.

#include "candb/databaseset.h"
#include "candb/signalcodec.h"
#include "recording/logframe.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

struct SignalKey
{
    int channel = 1;
    quint32 id = 0;
    bool extended = false;
    QString signal;

    bool operator==(const SignalKey &other) const
    {
        return channel == other.channel && id == other.id && extended == other.extended
            && signal == other.signal;
    }
};
inline uint qHash(const SignalKey &key, uint seed = 0)
{
    return ::qHash(key.signal, seed) ^ (key.id * 31u + uint(key.channel) * 7u + key.extended);
}

struct SignalSample
{
    // Device time in seconds, as the trace shows it (the adapter's clock), carried on past the
    // clock's wrap. A replay of the same frames in another store gives the same times.
    double time = 0.0;
    double value = 0.0; // physical
};

struct SignalState
{
    SignalKey key;
    QString messageName;
    QString unit;
    QString text; // the latest value as shown (named value or number)
    double value = 0.0;
    double raw = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    quint64 count = 0;
    double lastTime = 0.0;
    bool named = false; // the signal has named values (plotted as steps)
};

class SignalStore : public QObject
{
    Q_OBJECT
public:
    explicit SignalStore(DatabaseSet *databases, QObject *parent = nullptr);

    // Any thread. Frames in stream order; remote frames and frames no database describes add
    // nothing.
    void add(const LogFrame *frames, int count);
    void clear();

    // Grows with every change, so a view polls cheaply.
    quint64 serial() const;
    QVector<SignalState> states(quint64 *generation = nullptr) const;
    // Grows with every clear. The calls that take or give it tell a reader whether what it holds
    // still belongs to the store's frames: the cleared() signal may come later than new frames.
    quint64 generation() const;

    // From now on the values of `keys` are kept over time (others are dropped).
    void setTracked(const QVector<SignalKey> &keys);
    // The kept values of `key` from the `from`-th on (counted since tracking or a clear began).
    QVector<SignalSample>
    samples(const SignalKey &key, int from = 0, quint64 *generation = nullptr) const;
    // The values of `key` before the `before`-th are no longer needed: the one reader has them.
    // The numbering of later values stays. Ignored when the store was cleared since `generation`.
    void forget(const SignalKey &key, int before, quint64 generation);
    static constexpr int ForgetLump = 4096;
    QVector<SignalKey> tracked() const;

    // Device seconds of `timeStamp` on `channel` (1 or 2) with the clock's wraps seen so far on
    // that channel; each channel's first frame starts without a wrap.
    class Timeline
    {
    public:
        double seconds(int channel, quint32 timeStamp);
        void reset() { *this = Timeline(); }

    private:
        qint64 m_last[2] = { -1, -1 };
    };

signals:
    // Queued to the GUI: the store was emptied (a Clear, a log opened).
    void cleared();

private:
    // One message as seen on one channel: where its signals' states and series are.
    struct MessageSlot
    {
        const DbcMessage *message = nullptr; // null: no database describes it
        QVector<int> states; // per signal index, into m_states; -1 until first decoded
        QVector<int> series; // per signal index, into m_series; -1 when not tracked
    };
    // What the latest text is made from, kept so that the text is built only when asked for.
    struct Series
    {
        QVector<SignalSample> samples;
        int forgotten = 0; // values dropped from the front
    };
    struct Latest
    {
        const DbcSignal *signal = nullptr;
        DecodedSignal decoded;
    };

    MessageSlot &slotFor(const LogFrame &frame);
    int stateFor(MessageSlot &slot, const LogFrame &frame, int signalIndex);
    void resetSlotsLocked();

    DatabaseSet *m_databases;
    mutable QMutex m_mutex;
    // The rest is guarded by m_mutex.
    QSharedPointer<const DatabaseSet::Snapshot> m_snapshot;
    QHash<quint64, MessageSlot> m_slots;
    mutable QVector<SignalState> m_states; // texts filled in when read
    QVector<Latest> m_latest; // beside m_states
    QHash<SignalKey, int> m_stateIndex;
    QSet<SignalKey> m_tracked;
    QHash<SignalKey, int> m_seriesIndex;
    QVector<Series> m_series;
    QVector<DecodedSignal> m_decoded;
    Timeline m_timeline;
    quint64 m_serial = 0;
    quint64 m_generation = 0;
};
