#pragma once

// Keeps a list of frames alive, each on its own period, or plays a recorded log back, on a thread
// of its own. Like a send panel's scheduler it has one frame in flight at a time and waits for the
// adapter's send result tagged with its own Rank, so the pace never outruns the link: when the
// periods ask for more, frames come late (and slots are dropped, never queued) and the reports
// say so with the rate really reached.

#include "recording/logframe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>

class QTimer;
class TransmitWorker;

struct TransmitEntry
{
    bool enabled = true;
    QString name;
    int channel = 1; // 1 or 2
    bool extended = false;
    bool remote = false;
    int dlc = 8;
    quint32 id = 0;
    QByteArray data = QByteArray(8, '\0'); // the first dlc bytes are the frame's data
    int periodMs = 100; // 0: as often as the adapter confirms

    // The 13-byte frame record the adapter takes.
    QByteArray canFrame() const;
};

enum class SendOutcome { None, Confirmed, Refused, NoResponse };

// How a run ended; None while it runs.
enum class RunEnd { None, Finished, Stopped, DeviceGone };

struct TransmitEntryStatus
{
    quint64 confirmed = 0;
    quint64 refused = 0;
    quint64 unanswered = 0;
    quint64 droppedSlots = 0; // periods that passed while the link was busy with other frames
    SendOutcome last = SendOutcome::None;
};

struct TransmitReport
{
    QVector<TransmitEntryStatus> entries; // list mode only, in list order
    double framesPerSecond = 0; // confirmed frames per second over the last report interval
    bool overloaded = false; // the periods asked for more than the link carried
    // Replay: frames handled in the current pass, out of `total`, and the pass counted from 1.
    qint64 done = 0;
    qint64 total = 0;
    int pass = 0;
    quint64 failed = 0; // refused or unanswered replay frames
    // Replay: how fast the log's time passes on the bus, as a multiple of its recorded pace, over
    // the current pass so far; 0 before the first frame or for "as fast as confirmed".
    double replaySpeed = 0;
    int cappedGaps = 0; // replay gaps longer than MaxReplayGapUs, each shortened to it
    bool running = false;
    bool paused = false;
    RunEnd end = RunEnd::None;
};

struct ReplayOptions
{
    double speed = 1.0; // gaps divided by this; 0 = as fast as the adapter confirms
    int loops = 1;
    int channelFor[3] = { 0, 1, 2 }; // adapter channel for log channel 1 and 2; 0 skips
};

Q_DECLARE_METATYPE(TransmitReport)
Q_DECLARE_METATYPE(ReplayOptions)

class TransmitListScheduler : public QObject
{
    Q_OBJECT
public:
    static constexpr int ResponseTimeoutMs = 400;
    static constexpr int ReportIntervalMs = 250;
    // A replay waits at most this long between two frames, whatever the log says.
    static constexpr qint64 MaxReplayGapUs = 24LL * 3600 * 1000000;

    // Built on the GUI thread; lives on its own worker thread until release().
    TransmitListScheduler();
    ~TransmitListScheduler() override;
    void release();

    quint32 rank() const { return Rank; }

    // Requests, queued from any thread.
    void startList(const QVector<TransmitEntry> &entries);
    void startReplay(const QVector<LogFrame> &frames, const ReplayOptions &options);
    void stop();
    void setPaused(bool paused);

    void On_RSP_CANSend_Hander(uchar channel, uchar state, uint Rank, uint TimeStamp);
    // The serial port closed: the run in progress ends at once.
    void onPortClosed();

    // Each frame's deadline in a pass, in nanoseconds from the pass's start: the log's gaps
    // divided by the speed, with gaps over MaxReplayGapUs (and backwards steps, taken as 0)
    // bounded, so no log can push a deadline out of range. `capped` counts the bounded gaps.
    static QVector<qint64>
    replayOffsets(const QVector<LogFrame> &frames, double speed, int *capped = nullptr);

signals:
    void Signal_payLoad_Send(QByteArray message);
    void
    signal_RSP_CANSendDisplay(uchar channel, QByteArray CanFrame, qulonglong TimeStamp, uint dir);
    // Every ReportIntervalMs while running, and once when a run ends (running false).
    void signal_report(const TransmitReport &report);
    // Each frame as it leaves: its list entry or log frame, the time it was due and the time it
    // went, in nanoseconds on the scheduler's clock. Replay deadlines lie on the log's gaps
    // divided by the speed, counted from the start of the pass and shifted by any pause.
    void signal_frameSent(int index, qint64 dueNs, qint64 sentNs);

private:
    enum class Mode { Idle, List, Replay };

    void pump();
    void sendFrame(int index, qint64 due, int channel, const QByteArray &frame);
    void finishFrame(SendOutcome outcome);
    void onResponseTimeout();
    void emitReport();
    // A stop lets the frame in flight finish, so its confirmation still counts for the run.
    void endRun(RunEnd reason);
    void finishRun(RunEnd reason);
    void startReplayPass();
    int mappedChannel(const LogFrame &frame) const;
    bool waitUntil(qint64 dueNs);

    TransmitWorker *worker = nullptr;
    QTimer *dueTimer = nullptr;
    QTimer *responseTimer = nullptr;
    QTimer *reportTimer = nullptr;
    quint32 Rank = 0;

    Mode mode = Mode::Idle;
    bool ending = false; // stopped, waiting for the frame in flight
    RunEnd endReason = RunEnd::None;
    bool paused = false;
    qint64 pausedAtNs = 0;
    QElapsedTimer clock;

    // The frame in flight.
    bool inFlight = false;
    int flightChannel = 0;
    int flightIndex = -1;
    QByteArray flightFrame;

    QVector<TransmitEntry> entries;
    QVector<qint64> dueNs;
    QVector<TransmitEntryStatus> status;

    QVector<LogFrame> frames;
    ReplayOptions options;
    QVector<qint64> offsetsNs;
    int cappedGaps = 0;
    qint64 lastSentOffsetNs = -1; // offset of the last frame sent in this pass
    qint64 lastSentAtNs = 0;
    int replayIndex = 0;
    int pass = 0;
    qint64 passStartNs = 0;
    quint64 replayFailed = 0;

    quint64 confirmedInWindow = 0;
    qint64 windowStartNs = 0;
    bool lateInWindow = false;
};
