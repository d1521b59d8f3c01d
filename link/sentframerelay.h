#pragma once

// Where the transmit schedulers announce every frame the adapter confirmed as sent. The core has
// no receive view of its own: the GUI connects the view's inbox here, the command line its log.
// Emitted on the scheduler's thread; connect directly to a thread-safe receiver or queued.

#include <QByteArray>
#include <QObject>

class SentFrameRelay : public QObject
{
    Q_OBJECT
public:
    static SentFrameRelay *instance();

signals:
    // The same arguments as the schedulers' signal_RSP_CANSendDisplay.
    void signal_frameSent(uchar channel, const QByteArray &frame, qulonglong timeStamp, uint dir);

private:
    SentFrameRelay() = default;
};
