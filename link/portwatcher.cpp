#include "portwatcher.h"

#include "serialcontrol.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <libudev.h>
#endif

PortWatcher::PortWatcher(SerialControl *serial, QObject *parent)
    : QObject(parent)
    , m_serial(serial)
{
#ifdef Q_OS_LINUX
    // Without a running udev daemon the "udev" monitor opens fine but never hears anything.
    if (QFileInfo::exists(QStringLiteral("/run/udev/control"))) {
        m_udev = udev_new();
        if (m_udev)
            m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) >= 0
            && udev_monitor_enable_receiving(m_monitor) >= 0) {
            m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read,
                                             this);
            connect(m_notifier, &QSocketNotifier::activated, this, &PortWatcher::onUdevEvent);
        }
    }
#endif
#ifndef Q_OS_WIN
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(1000);
    connect(m_pollTimer, &QTimer::timeout, this, &PortWatcher::onPoll);
#endif
    updatePolling();
}

void PortWatcher::updatePolling()
{
    if (!m_pollTimer)
        return;
    const bool needed = !hasUdevEvents() || m_serial->portsNeedPolling();
    if (needed && !m_pollTimer->isActive())
        m_pollTimer->start();
    else if (!needed)
        m_pollTimer->stop();
}

PortWatcher::~PortWatcher()
{
#ifdef Q_OS_LINUX
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
#endif
}

void PortWatcher::rebuildNow()
{
    m_serial->refreshPortList();
}

void PortWatcher::onUdevEvent()
{
#ifdef Q_OS_LINUX
    udev_device *device = udev_monitor_receive_device(m_monitor);
    if (!device)
        return;
    const QByteArray action = udev_device_get_action(device);
    udev_device_unref(device);
    if (action == "add" || action == "remove")
        m_serial->refreshPortList();
#endif
}

void PortWatcher::onPoll()
{
    // The full port scan opens and reads files for every terminal the system knows, dozens of
    // them; listing the device folder is one directory read. Scan only when the listing changed.
    QStringList listing = QDir(QStringLiteral("/dev"))
                              .entryList({ QStringLiteral("tty*"), QStringLiteral("cu.*") },
                                         QDir::AllEntries | QDir::System, QDir::Name);
    for (const QString &path : m_serial->extraPorts())
        listing.append(QFileInfo::exists(path) ? path : QString());
    // A new device node may come before its attributes do: scan a few more times after a change.
    if (listing != m_lastListing)
        m_scansLeft = 3;
    if (m_scansLeft == 0 && !m_serial->hasPortSource())
        return;
    if (m_scansLeft > 0)
        --m_scansLeft;
    m_lastListing = listing;
    m_serial->refreshPortListIfChanged();
}
