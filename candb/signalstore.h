#pragma once

// Decoded signals as the frames bring them: per signal its latest value, raw value, minimum,
// maximum, count and time, and for the signals being plotted their values over device time. Fed
// in batches from the display thread, read from the GUI thread; one mutex guards it all.

#include "candb/databaseset.h"
#include "recording/logframe.h"

#include <QHash>
#include <QMutex>
#include <QObject>
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
    double time = 0.0; // device time, seconds, unwrapped, from the store's first frame
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
    QVector<SignalState> states() const;

    // From now on the values of `keys` are kept over time (others are dropped).
    void setTracked(const QVector<SignalKey> &keys);
    // The kept values of `key` from the `from`-th on.
    QVector<SignalSample> samples(const SignalKey &key, int from = 0) const;

signals:
    // Queued to the GUI: the store was emptied (a Clear, a log opened).
    void cleared();

private:
    DatabaseSet *m_databases;
    mutable QMutex m_mutex;
    // The rest is the implementation's; guarded by m_mutex.
};
