#pragma once

// The receive path's buffer: keeps every received or sent frame as a record of numbers, up to the
// history size (a million by default, tens of millions on request), counts them, builds the
// filtered newest-first list the table shows and feeds the log writer. Runs on a thread of its own;
// the GUI only reads finished results. A filter over a deep history is worked through in slices
// between the frames coming in, and a newer filter drops the rebuild of an older one.

#include "display/canframeformatter.h"
#include "display/canrecordbuffer.h"
#include "display/hostclock.h"
#include "display/idoverview.h"
#include "display/lockedhandoff.h"
#include "recording/filesavesupport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

class QThread;
class QTimer;
class SignalStore;

class CAN_DataDisplaySupport : public QObject
{
    Q_OBJECT
public:
    enum FilterField {
        FilterTime,
        FilterChannel,
        FilterID,
        FilterType,
        FilterDir,
        FilterLength,
        FilterData,
    };

    // The seven filter texts and the time column they apply to.
    struct ViewFilter
    {
        QString time;
        QString channel;
        QString id;
        QString type;
        QString dir;
        QString length;
        QString data;
        unsigned int timeStampeFormat = 0;

        bool isEmpty() const;
        bool operator==(const ViewFilter &other) const;
    };

    // The newest `limit` records of `buffer` whose every field holds its filter text as a
    // case-sensitive substring, newest first.
    static CanRecordList
    filteredView(const CanRecordBuffer &buffer, const ViewFilter &filter, int limit);
    // The same records as numbers into `buffer`, oldest first.
    static std::vector<qint64>
    filteredNumbers(const CanRecordBuffer &buffer, const ViewFilter &filter, int limit);
    // Brings `numbers`, built by the calls above with the same filter and limit when the buffer
    // ended at `scannedEnd`, up to the buffer as it is now, looking only at the records added
    // since.
    static void extendNumbers(std::vector<qint64> &numbers,
                              qint64 scannedEnd,
                              const CanRecordBuffer &buffer,
                              const ViewFilter &filter,
                              int limit);

    // Whether `record` passes every non-empty filter text, as the table's records do.
    static bool recordMatches(const ViewFilter &filter, const CanRecord &record);
    // Records a filter rebuild looks at in one go before frames and newer filters get their turn.
    static constexpr int RebuildSlice = 250000;
    // A rebuild that takes longer than this shows its progress.
    static constexpr int RebuildProgressMs = 200;
    // Any thread; tests watch a rebuild from its first slice on.
    void setRebuildProgressMs(int ms) { m_rebuildProgressMs.store(ms); }

    struct Counts
    {
        int recv = 0;
        int send = 0;
    };

    // Must first be called on the GUI thread: it creates the log writer, which owns a window.
    static CAN_DataDisplaySupport *instance();

    // Tests and benchmarks build their own; the program uses instance() only.
    explicit CAN_DataDisplaySupport(QObject *parent = nullptr);
    ~CAN_DataDisplaySupport() override;

    // Safe from any thread: frames wait in an inbox that the display thread empties in one go, so
    // a burst read from the port crosses threads once, not once per frame. While frames keep
    // coming the display thread empties it every DrainIntervalMs instead of waking per read.
    void queueFrame(uchar channel, const QByteArray &CanFrame, uint TimeStamp, uint dir);
    // Called on the display thread through queued connections; frames already waiting in the inbox
    // are recorded first.
    void onFrame(uchar channel, const QByteArray &CanFrame, uint TimeStamp, uint dir);
    void startRefresh();
    // Safe from any thread: the clear and the pause take their place among the frames handed in,
    // so a frame queued after the call is never wiped by the clear, nor held back from the table
    // by a pause that came after it.
    void clearHistory();
    void setPause(bool pause);
    void copyForGlobalSave();
    // Any thread: frames handed in before the call are taken under the old setting, later ones
    // under the new.
    void setRealTimeSave(bool on);
    void setTimeStampeFormat(int format);

    // Safe from any thread: the text reaches the display thread as a queued copy, and the next tick
    // rebuilds the table.
    void setFilterText(FilterField field, const QString &text);
    // The filter texts and time column the table is built with, counting texts already asked for
    // and on their way to the display thread; safe from any thread. A receive view rebuilt after a
    // language switch shows these.
    ViewFilter filterInForce() const { return m_filterInForce.get(); }
    // Called on the GUI thread before the real-time log stops: lines of the frames recorded so far
    // reach the writer first.
    void handOverLogLines();
    // Safe from any thread: makes the display thread announce the current table list once.
    void announceView();

    // A log opened from a file replaces the history: startLoad empties it, then the file's records
    // arrive oldest first through appendLoaded, which keeps the newest maxBuffSize of them. Both
    // run on the display thread; loaded records are not written to a running real-time log.
    // From startLoad until the next clear the history is the log's alone: live frames are
    // refused, and signal_LiveFramesRefused tells so once.
    void startLoad();
    void appendLoaded(const CanRecordList &records);
    // True when the history holds frames that no log took: recorded while no real-time log ran,
    // and not saved by a global save since. Called from the GUI thread; waits for the display
    // thread's answer.
    bool hasUnsavedFrames();

    // The counters as of the last tick or clear; safe from any thread.
    Counts counts() const { return m_publishedCounts.get(); }
    int recvCount() const { return counts().recv; }
    int sendCount() const { return counts().send; }

    // The table list and the global-save history, handed between threads under their own locks.
    const LockedHandoff<CanRecordView> *viewBuff() const { return &m_viewBuff; }
    FileSaveSupport *fileSaveSupport() const { return m_fileSave; }
    // The per-identifier overview, fed from the same frames as the history.
    IdOverview *idOverview() { return &m_idOverview; }
    // Any thread: every recorded or loaded frame also goes, batch by batch, to `store` for
    // decoding, and a clear empties it; nullptr stops that.
    void setSignalStore(SignalStore *store) { m_signalStore.store(store); }
    // Any thread but the display thread: a copy of the whole history as it is now, oldest first;
    // it shares the records, so it is cheap. `atCopy` runs on the display thread right after the
    // copy, before any later frame reaches the store: a plot starts its series there.
    CanRecordBuffer historyCopy(const std::function<void()> &atCopy = {});

    int maxViewSize() const { return m_maxViewSize; }
    // The history size: the number of records at which the oldest are trimmed. Safe from any
    // thread; a smaller size than the history holds trims it at once.
    int maxBuffSize() const { return m_maxBuffSize.load(std::memory_order_relaxed); }
    void setMaxBuffSize(int records);
    static constexpr int DefaultMaxBuffSize = 1000000;
    static constexpr int MinBuffSize = 10000;
    static constexpr int MaxBuffSize = 50000000;
    // About what a history of `records` frames takes in memory, for the user choosing its size.
    static qint64 historyBytes(qint64 records);
    static constexpr int TrimCount = 10000;
    static constexpr int RefreshIntervalMs = 150;
    static constexpr int DrainIntervalMs = 20;
    // Log lines wait at most this long before they go to the writer in one batch.
    static constexpr int LogBatchMs = 100;

signals:
    void signal_DisplayBuff_Changed();
    void signal_DisplayCount_Changed();
    void signal_GlobalSave_CopyCopmpelt();
    // On the display thread, as a clear is carried out at its place among the frames.
    void signal_HistoryCleared();
    void signal_realTime_FrameSave(FileSaveSupport::CAN_StructureDescription &frameStr);
    // A filter rebuild under way for longer than RebuildProgressMs: how far it is, 0 to 99; 100
    // when it has ended or was dropped for a newer one that finished at once.
    void signal_FilterProgress(int percent);
    // Live frames came while the history holds an opened log, and were not recorded.
    void signal_LiveFramesRefused();

private:
    // Tells whether a record passes every non-empty filter text. The fields' texts are made in a
    // few bytes on the stack, one field at a time, and only as far as the first that fails.
    class RecordMatcher
    {
    public:
        explicit RecordMatcher(const ViewFilter &filter);
        bool operator()(const CanRecord &record) const;

    private:
        struct Test
        {
            QByteArray text;
            CanFrameFormatter::Field field;
        };
        Test m_tests[7] {};
        int m_active = 0;
        // A text no field can hold: the fields are ASCII.
        bool m_never = false;
    };

    // A filtered view being built newest first, slice by slice.
    struct Rebuild
    {
        bool active = false;
        ViewFilter filter;
        std::vector<qint64> found; // newest first
        qint64 next = 0; // the next record to look at, going back
        qint64 end = 0; // the end of the history when the rebuild began
        qint64 total = 0;
        QElapsedTimer age;
        int shownPercent = -1;
        quint64 generation = 0;
    };
    void startRebuild(const ViewFilter &filter);
    void continueRebuild(quint64 generation);
    void dropRebuild();

    void scheduleTick();
    void clearNow();
    void pauseNow(bool pause);
    // Records the frames waiting in the inbox; returns how many there were.
    int drainInbox();
    void recordFrame(uchar channel, const QByteArray &CanFrame, uint TimeStamp, uint dir);
    void onDrainTimer();
    void flushLogBatch();
    void onRefreshTick();
    void rebuildView();
    void showView(const ViewFilter &filter);
    void publishView(CanRecordView view);
    void publishCounts();
    void drainBeforeQuit();
    void feedSignals();

    // The texts of the newest frame, made only while signal_realTime_FrameSave has a receiver.
    FileSaveSupport::CAN_StructureDescription m_current;
    // Filters and the flags below are touched only on the display thread.
    QString filterTime;
    QString filterChannel;
    QString filterID;
    QString filterType;
    QString filterDir;
    QString filterLength;
    QString filterData;
    int m_recvCount = 0;
    int m_sendCount = 0;
    LockedHandoff<Counts> m_publishedCounts;
    LockedHandoff<ViewFilter> m_filterInForce;
    LockedHandoff<CanRecordView> m_viewBuff;
    // The list handed over the tick before the current one; see publishView().
    CanRecordView m_retiredView;
    // The filtered rows last handed out, oldest first, with the filter they were built with and
    // the end of the records already looked at; new frames only extend them.
    std::vector<qint64> m_viewNumbers;
    ViewFilter m_viewFilter;
    qint64 m_viewScanned = 0;
    bool m_viewNumbersValid = false;
    Rebuild m_rebuild;
    std::atomic<int> m_rebuildProgressMs { RebuildProgressMs };
    bool refreshRequest = false;
    FileSaveSupport *m_fileSave = nullptr;
    QThread *displayThread = nullptr;
    CanRecordBuffer displayBuff;
    LockedHandoff<CanRecordBuffer> historyBuff;
    int m_maxViewSize = 100000;
    std::atomic<int> m_maxBuffSize { DefaultMaxBuffSize };
    QTimer *refreshTimer = nullptr;
    bool m_refreshOn = false;
    unsigned int timeStampeFormat = 0;
    bool pauseFlag = false;
    bool m_unsaved = false;
    bool m_logShown = false;
    bool m_refusalTold = false;

    // Changes with every recorded frame and every clear; a tick compares it with the value it saw
    // last, which also notices a buffer whose size came back to where it was.
    quint64 m_changeSerial = 0;
    quint64 m_lastSerial = 0;
    bool m_realTimeOn = false;
    // Log lines go to the writer once per batch of frames, not once per frame.
    QVector<CanRecord> m_logBatch;

    // A frame, or a request that must act at its place among the frames.
    enum class Mark : uchar { Frame, LogOn, LogOff, Clear, Pause, Resume };
    struct PendingFrame
    {
        uchar channel;
        QByteArray frame;
        uint timeStamp;
        uint dir;
        Mark mark = Mark::Frame;
    };
    void enqueueMark(Mark mark);
    void enqueue(PendingFrame &&pending);
    std::mutex m_inboxMutex;
    std::vector<PendingFrame> m_inbox; // guarded by m_inboxMutex
    // Set while the display thread is sure to look at the inbox again; guarded by m_inboxMutex.
    bool m_drainArmed = false;
    QTimer *m_drainTimer = nullptr;
    QElapsedTimer m_logBatchAge;
    std::vector<PendingFrame> m_draining; // display thread only
    CanFrameFormatter m_formatter;
    HostClock m_clock;
    IdOverview m_idOverview;
    std::atomic<SignalStore *> m_signalStore { nullptr };
    std::vector<LogFrame> m_signalBatch; // display thread only
};
