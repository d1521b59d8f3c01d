#pragma once

// Carries out one send panel's runs on a thread of its own: one frame at a time, each waiting
// for the adapter's send result tagged with this scheduler's Rank, with optional identifier and
// data increments between frames. Reports every confirmed frame to the receive view.

#include <QByteArray>
#include <QObject>

class QTimer;
class TransmitWorker;

enum TransEnd_Sta {
    TransEnd_Finished = 0,
    TransEnd_Stopped = 1,
    TransEnd_NoResponse = 2,
    TransEnd_SendFailed = 3,
    TransEnd_DeviceGone = 4, // the port closed under the run: unplugged or closed
};

struct SendParams
{
    int channel = 0;
    bool dataIncrement = false;
    bool idIncrement = false;
    int sendTimes = 1;
    int sendInterval = 10;
};

struct SendFrameSpec
{
    unsigned frameType = 0; // 0 standard, 0x80 extended
    unsigned frameFormat = 0; // 0 data, 0x40 remote
    int dataLength = 0;
    quint32 canId = 0;
    quint64 data = 0; // the dataLength low bytes, most significant first, are the frame's data
};

class Trans_canSendSupport : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 FirstRank = 0x01234678;
    static constexpr int ResponseTimeoutMs = 400;

    // The records stay owned by the panel; they are read only when a run starts.
    Trans_canSendSupport(SendParams *params, SendFrameSpec *frameDesc);
    ~Trans_canSendSupport() override;

    quint32 rank() const { return Rank; }
    // A tag no other scheduler uses; taken on the GUI thread while senders are built.
    static quint32 takeRank() { return nextRank++; }

    // Stops the worker thread and deletes the scheduler from the calling (owning) thread.
    void release();

    // The 8 data bytes of a frame: the low dlc bytes of data, most significant first, then zeros.
    static QByteArray frameData(quint64 data, int dlc);
    // The identifier after one increment, wrapping past the frame type's largest identifier.
    static quint32 nextIdentifier(quint32 id, unsigned frameType);

    void On_SendCommand_Hander(bool start);
    void On_RSP_CANSend_Hander(uchar channel, uchar state, uint Rank, uint TimeStamp);
    void On_ResponseTimeout();
    void sendOneFrame();
    // The serial port closed: nothing sent from now on can be answered, so the run ends at once.
    void onPortClosed();

signals:
    void Signal_payLoad_Send(QByteArray message);
    void
    signal_RSP_CANSendDisplay(uchar channel, QByteArray CanFrame, qulonglong TimeStamp, uint dir);
    void signal_Trans_End(int TransEnd_Sta);

private:
    void endRun(TransEnd_Sta status);

    static quint32 nextRank;

    int channel = 0;
    bool dataIncrement = false;
    bool idIncrement = false;
    int sendTimes = 1;
    int sendInterval = 10;

    QTimer *intervalTimer = nullptr;
    QTimer *responseTimer = nullptr;
    TransmitWorker *worker = nullptr;

    SendParams *sendParams = nullptr;
    SendFrameSpec *frameSpec = nullptr;

    int responseTimeout = ResponseTimeoutMs;
    int remaining = 1;
    quint32 currentId = 0;
    quint64 currentData = 0;
    quint32 Rank = 0;

    unsigned frameType = 0;
    unsigned frameFormat = 0;
    int dataLength = 0;

    QByteArray lastFrame;

    bool running = false;
    // A frame whose send result has not come yet; its confirmation still belongs in the receive
    // view after the user stopped the run or the wait timed out, since the adapter did put it on
    // the bus.
    bool frameOutstanding = false;
};
