#pragma once

// Opens the adapter, starts and stops its channels and closes it again, without any window: the
// command line's counterpart of the device panel. Requests go out through the one serial link and
// every answer is awaited in a local event loop on the calling thread, with the panel's time-outs.

#include <QObject>
#include <QString>

class QEventLoop;

class AdapterSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int ResponseTimeoutMs = 200;
    static constexpr int CloseTries = 3;
    static constexpr int CloseRetryMs = 50;

    explicit AdapterSession(QObject *parent = nullptr);
    // Stops what still runs and closes the device.
    ~AdapterSession() override;

    // Opens the serial port and the device; a device that does not report two channels is
    // refused. On failure the port is closed again and `error` holds the reason.
    bool open(const QString &port, QString *error);
    bool startChannel(uchar channel, quint32 timingCode, QString *error);
    // Stops the running channels and closes the device, giving the adapter at most `budgetMs`.
    void close(int budgetMs = 300);

    // The timing code for a bit rate written as "500k", "500", "1M" or "500kbps": the standard
    // code for the ten standard rates, the first calculated candidate for any other rate the
    // 72 MHz clock gives exactly, or a raw code as "0x030C0008". False when none fits.
    static bool timingCodeFor(const QString &rate, quint32 *code);
    // The first prescaler / TBS1 / TBS2 combination for `kbps` with a sample point between 75 %
    // and 88 %, in the calculator's order; 0 when there is none.
    static quint32 calculatedTimingCode(int kbps);

private:
    // An awaited answer came: ends the wait.
    void answered();
    // Runs the event loop until `m_waiting` is cleared by an answer or the time-out passes.
    bool waitForAnswer(int timeoutMs);
    void send(const QByteArray &command);

    bool m_open = false;
    bool m_running[2] = { false, false };

    // What the pending request waits for.
    enum class Pending { None, Open, BaudConfig, Close };
    Pending m_pending = Pending::None;
    uchar m_pendingChannel = 0;
    bool m_waiting = false;
    QEventLoop *m_loop = nullptr; // the wait in progress, ended by an answer
    bool m_accepted = false;
    uchar m_reportedChannels = 0;
};
