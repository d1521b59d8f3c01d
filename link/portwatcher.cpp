#include "portwatcher.h"

#include "serialcontrol.h"

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
    m_pollTimer->start();
#endif
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
    m_serial->refreshPortListIfChanged();
}
