#include "adapterlink.h"

#include <QMutexLocker>
#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace {
constexpr int TickMs = 1;
// With no traffic to pace, a slower tick still keeps the half-second reports on time.
constexpr int IdleTickMs = 10;
// 460800 baud with start and stop bit: ten line bits per byte.
constexpr double RealLinkBytesPerSecond = 46080.0;
constexpr double RealLinkBurstBytes = 64.0;
// Beyond this backlog new traffic is dropped, as the adapter's own buffer would overflow;
// answers and reports still go out. Kept small so that a host reopening the port after a
// while finds little stale traffic (the pseudo-terminal itself holds about 20 KB).
constexpr int CongestionBytes = 32 * 1024;
constexpr int ReadChunk = 4096;
} // namespace

AdapterLink::AdapterLink(int masterFd,
                         int slaveFd,
                         std::shared_ptr<AdapterShared> shared,
                         quint32 clockStart,
                         quint64 seed)
    : m_shared(std::move(shared))
    , m_master(masterFd)
    , m_slave(slaveFd)
{
    m_device.setClockStart(clockStart);
    m_device.setSeed(seed);
}

AdapterLink::~AdapterLink()
{
    closeDescriptors();
}

quint64 AdapterLink::nowUs() const
{
    return quint64(m_clock.nsecsElapsed() / 1000);
}

void AdapterLink::begin()
{
    m_clock.start();
    syncShared();
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &AdapterLink::onReadable);
    m_tick = new QTimer(this);
    m_tick->setTimerType(Qt::PreciseTimer);
    m_tick->setInterval(TickMs);
    connect(m_tick, &QTimer::timeout, this, &AdapterLink::onTick);
    m_tick->start();
    onTick();
}

void AdapterLink::syncShared()
{
    QMutexLocker lock(&m_shared->mutex);
    if (m_shared->generation != m_seenGeneration) {
        m_seenGeneration = m_shared->generation;
        m_device.setSettings(m_shared->settings);
        m_linkRateLimit = m_shared->linkRateLimit;
    }
    m_shared->appliedGeneration = m_seenGeneration;
    m_shared->statistics = m_device.statistics();
    m_shared->bytesWritten = m_bytesWritten;
}

void AdapterLink::onReadable()
{
#ifdef Q_OS_UNIX
    // A fault switched on just before a command must already apply to that command.
    syncShared();
    char buffer[ReadChunk];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n > 0) {
        const quint64 now = nowUs();
        m_device.receive(buffer, int(n), now);
        // Publish the counts before the answers leave, so whoever reads an answer also sees
        // the command counted.
        syncShared();
        flush(now);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        // Cannot happen while the slave is held open; do not spin on it if it does.
        m_notifier->setEnabled(false);
    }
#endif
}

void AdapterLink::onTick()
{
    if (m_master < 0)
        return;
    syncShared();
    const quint64 now = nowUs();
    m_device.setCongested(m_pending.size() - m_pendingHead > CongestionBytes);
    m_device.advance(now);
    flush(now);
    const int interval
        = m_device.isGenerating() || m_pendingHead < m_pending.size() || m_linkRateLimit
        ? TickMs
        : IdleTickMs;
    if (m_tick->interval() != interval)
        m_tick->setInterval(interval);
}

void AdapterLink::flush(quint64 nowUs)
{
    QByteArray &produced = m_device.output();
    if (!produced.isEmpty()) {
        if (m_pendingHead == m_pending.size()) {
            m_pending.clear();
            m_pendingHead = 0;
        }
        m_pending.append(produced);
        produced.clear();
    }
    const quint64 dt = nowUs - qMin(nowUs, m_lastFlushUs);
    m_lastFlushUs = nowUs;
    int allowed = m_pending.size() - m_pendingHead;
    if (m_linkRateLimit) {
        m_linkTokens
            = qMin(m_linkTokens + RealLinkBytesPerSecond * double(dt) / 1e6, RealLinkBurstBytes);
        allowed = qMin(allowed, int(m_linkTokens));
    }
    if (allowed <= 0 || m_master < 0)
        return;
#ifdef Q_OS_UNIX
    while (allowed > 0) {
        const ssize_t n = ::write(m_master, m_pending.constData() + m_pendingHead, size_t(allowed));
        if (n <= 0)
            break; // a full pseudo-terminal (EAGAIN) keeps the rest for the next tick
        m_pendingHead += int(n);
        m_bytesWritten += quint64(n);
        allowed -= int(n);
        if (m_linkRateLimit)
            m_linkTokens -= double(n);
    }
    if (m_pendingHead > 1024 * 1024) {
        m_pending.remove(0, m_pendingHead);
        m_pendingHead = 0;
    }
#endif
}

void AdapterLink::finish()
{
    closeDescriptors();
}

void AdapterLink::closeDescriptors()
{
    if (m_tick)
        m_tick->stop();
    if (m_notifier) {
        m_notifier->setEnabled(false);
        delete m_notifier;
        m_notifier = nullptr;
    }
#ifdef Q_OS_UNIX
    // Closing the master removes the slave's device node: to the host the adapter is gone.
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
#endif
    m_slave = -1;
    m_master = -1;
}
