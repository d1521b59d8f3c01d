#pragma once

// The virtual adapter's worker: owns the master side of the pseudo-terminal on its own thread,
// feeds the host's bytes to the AdapterDevice, ticks its clock every millisecond and writes
// what it produced, at pseudo-terminal speed or paced like the real 460800 baud link.

#include "adapterdevice.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

// What the controlling side and the worker share; every field behind the one mutex.
struct AdapterShared
{
    QMutex mutex;
    AdapterSettings settings;
    quint64 generation = 1; // bumped on every settings change
    quint64 appliedGeneration = 0; // the generation the worker runs with
    bool linkRateLimit = false;
    AdapterStatistics statistics;
    quint64 bytesWritten = 0;
};

class AdapterLink : public QObject
{
    Q_OBJECT
public:
    // Takes ownership of both descriptors. The slave descriptor is only held open, so the
    // master never sees a hang-up while the host has the port closed.
    AdapterLink(int masterFd,
                int slaveFd,
                std::shared_ptr<AdapterShared> shared,
                quint32 clockStart,
                quint64 seed);
    ~AdapterLink() override;

    // Worker thread only.
    void begin();
    void finish();

private:
    void onReadable();
    void onTick();
    void syncShared();
    void flush(quint64 nowUs);
    quint64 nowUs() const;
    void closeDescriptors();

    std::shared_ptr<AdapterShared> m_shared;
    AdapterDevice m_device;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_tick = nullptr;
    QElapsedTimer m_clock;
    QByteArray m_pending;
    int m_pendingHead = 0;
    quint64 m_seenGeneration = 0;
    bool m_linkRateLimit = false;
    double m_linkTokens = 0.0;
    quint64 m_lastFlushUs = 0;
    quint64 m_bytesWritten = 0;
};
