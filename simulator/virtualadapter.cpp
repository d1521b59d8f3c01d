#include "virtualadapter.h"

#include "adapterlink.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {
constexpr int FaultPeriodRecords = 50;
} // namespace

VirtualAdapter::VirtualAdapter(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<AdapterShared>())
{
}

VirtualAdapter::~VirtualAdapter()
{
    stop();
}

template<typename Change>
void VirtualAdapter::change(Change &&apply)
{
    QMutexLocker lock(&m_shared->mutex);
    apply(m_shared->settings);
    ++m_shared->generation;
}

bool VirtualAdapter::start(QString *error)
{
    if (isRunning())
        return true;
#ifdef Q_OS_UNIX
    const auto fail = [error](const QString &what) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return fail(QStringLiteral("posix_openpt"));
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    termios tio {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || tcgetattr(master, &tio) != 0) {
        ::close(master);
        return fail(QStringLiteral("pseudo-terminal set-up"));
    }
    // Raw before the first byte: a cooked line discipline would eat or echo 0x03, 0x0D, ...
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    const QByteArray path = ptsname(master);
    const int slave = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return fail(QStringLiteral("open ") + QString::fromLocal8Bit(path));
    }
    m_slavePath = QString::fromLocal8Bit(path);

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("virtual adapter"));
    m_link = new AdapterLink(master, slave, m_shared, m_clockStart, m_seed);
    m_link->moveToThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(m_link, &AdapterLink::begin, Qt::QueuedConnection);
    return true;
#else
    if (error)
        *error = QStringLiteral("the virtual adapter needs pseudo-terminals");
    return false;
#endif
}

void VirtualAdapter::shutDown()
{
    if (!m_thread)
        return;
    // Closing the master removes the slave's device node; a host holding the port open sees
    // read errors from then on, exactly as when the USB plug is pulled.
    QMetaObject::invokeMethod(m_link, &AdapterLink::finish, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_link;
    delete m_thread;
    m_link = nullptr;
    m_thread = nullptr;
    m_slavePath.clear();
}

void VirtualAdapter::stop()
{
    shutDown();
}

void VirtualAdapter::unplug()
{
    if (!isRunning())
        return;
    shutDown();
    emit unplugged();
}

bool VirtualAdapter::isRunning() const
{
    return m_thread != nullptr;
}

QString VirtualAdapter::slavePath() const
{
    return m_slavePath;
}

void VirtualAdapter::setFrameRate(int channel, int framesPerSecond)
{
    const int rate = qMax(0, framesPerSecond);
    change([channel, rate](AdapterSettings &s) {
        if (channel == 0 || channel == 1)
            s.frameRate[0] = rate;
        if (channel == 0 || channel == 2)
            s.frameRate[1] = rate;
    });
}

void VirtualAdapter::setLoopback(bool on)
{
    change([on](AdapterSettings &s) { s.loopback = on; });
}

void VirtualAdapter::setSequenceNumbers(bool on)
{
    change([on](AdapterSettings &s) { s.sequenceNumbers = on; });
}

void VirtualAdapter::setBusLimit(bool on)
{
    change([on](AdapterSettings &s) { s.busLimit = on; });
}

void VirtualAdapter::setErrorFrameRate(double perSecond)
{
    change([perSecond](AdapterSettings &s) { s.errorFramesPerSecond = qMax(0.0, perSecond); });
}

void VirtualAdapter::setLinkRateLimit(bool on)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->linkRateLimit = on;
    ++m_shared->generation;
}

void VirtualAdapter::setFault(Fault fault, bool on)
{
    change([fault, on](AdapterSettings &s) {
        switch (fault) {
        case Fault::Silent:
            s.silent = on;
            break;
        case Fault::Refuse:
            s.refuse = on;
            break;
        case Fault::Garbage:
            s.garbageEvery = on ? FaultPeriodRecords : 0;
            break;
        case Fault::DropBytes:
            s.dropEvery = on ? FaultPeriodRecords : 0;
            break;
        case Fault::StreamBeforeOpen:
            s.streamBeforeOpen = on;
            break;
        case Fault::StrayAfterConfirmation:
            s.strayAfterSendEvery = on ? FaultPeriodRecords : 0;
            break;
        case Fault::UnknownRecords:
            s.unknownEvery = on ? FaultPeriodRecords : 0;
            break;
        }
    });
}

void VirtualAdapter::setChannelCount(int count)
{
    change([count](AdapterSettings &s) { s.channelCount = quint8(qBound(0, count, 255)); });
}

void VirtualAdapter::setGarbageEvery(int records)
{
    change([records](AdapterSettings &s) { s.garbageEvery = qMax(0, records); });
}

void VirtualAdapter::setDropEvery(int records)
{
    change([records](AdapterSettings &s) { s.dropEvery = qMax(0, records); });
}

void VirtualAdapter::setStrayAfterConfirmationEvery(int confirmations)
{
    change([confirmations](AdapterSettings &s) { s.strayAfterSendEvery = qMax(0, confirmations); });
}

void VirtualAdapter::setUnknownEvery(int records)
{
    change([records](AdapterSettings &s) { s.unknownEvery = qMax(0, records); });
}

AdapterSettings VirtualAdapter::settings() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->settings;
}

void VirtualAdapter::setSettings(const AdapterSettings &settings)
{
    change([&settings](AdapterSettings &s) { s = settings; });
}

AdapterStatistics VirtualAdapter::statistics() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->statistics;
}

bool VirtualAdapter::settingsInEffect() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->appliedGeneration == m_shared->generation;
}

quint64 VirtualAdapter::bytesWritten() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->bytesWritten;
}
