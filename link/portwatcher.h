#pragma once

// Notices serial devices coming and going on this platform and asks the serial link to rebuild
// its port list. Lives on the GUI thread: udev events arrive through a socket notifier, and a
// one-second poll covers machines without a udev daemon and pseudo-terminals, which udev never
// announces; where udev sees every port, nothing polls.

#include <QObject>
#include <QStringList>

class QSocketNotifier;
class QTimer;
class SerialControl;
struct udev;
struct udev_monitor;

class PortWatcher : public QObject
{
    Q_OBJECT
public:
    explicit PortWatcher(SerialControl *serial, QObject *parent = nullptr);
    ~PortWatcher() override;

    bool hasUdevEvents() const { return m_notifier != nullptr; }

public slots:
    void rebuildNow();
    // Starts or stops the poll as the serial link's ports need it.
    void updatePolling();

private:
    void onUdevEvent();
    void onPoll();

    SerialControl *m_serial;
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_pollTimer = nullptr;
    QStringList m_lastListing;
    int m_scansLeft = 0;
};
