#pragma once

// Drives the whole analyser in this process (main window, device panel, receive view, real-time
// log) against the virtual adapter on the real serial path, with every generated frame carrying
// its sequence number, and checks afterwards that the real-time log holds every frame the adapter
// sent and the buffer recorded, in order, none twice. Used by the soak tool and, at small scale, by
// the end-to-end tests. Needs a QApplication; uses no Qt Test, so the tool can link it alone.

#include <QString>
#include <QStringList>

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class RAZOradurodMainWindow;
class VirtualAdapter;

struct SoakOptions
{
    quint64 frames = 10000000; // frames to record; 0 runs until the process is killed
    int ratePerChannel = 20000; // generated frames per second on each channel
    QString folder; // where the real-time log and the global save go
    bool scenario = true; // pause, filter changes, clears and a global save along the way
    // Called about every 100 ms with the number of frames recorded so far (for a watching parent).
    std::function<void(quint64 recorded)> progress;
    // Called about once a second with a one-line status.
    std::function<void(const QString &line)> status;
};

struct SoakResult
{
    QStringList failures;
    quint64 framesRecorded = 0; // by the display buffer, both channels
    quint64 framesLogged = 0; // frame lines in the real-time log
    quint64 framesGenerated = 0;
    quint64 framesOverrun = 0; // dropped by the adapter because the host fell behind
    quint64 globalSaveLines = 0;
    double seconds = 0; // from the first frame to the last one written
    double framesPerSecond = 0;
    qint64 peakResidentKb = 0; // VmHWM
    qint64 residentAtFirstFullKb = 0; // VmRSS when the buffer first reached its limit
    qint64 residentAtEndKb = 0;
    double worstLatencyMs = 0; // lateness of a 10 ms GUI timer, whole run
    double worstLatencyOutsideSaveMs = 0; // the same, leaving out the global save
    double latency99Ms = 0; // the lateness 99 % of the ticks stayed below
    double latency999Ms = 0;
    double worstPipelineLagMs = 0; // a marker's trip through the display and GUI queues
    int largestTable = 0;
    QString realTimeLog;

    bool ok() const { return failures.isEmpty(); }
    QString summary() const;
};

namespace Soak {

// Counts, on the threads that produce them, the frames the codec decodes and the frames the
// display buffer records, per channel (received) and in total (sent).
class FrameTally
{
public:
    FrameTally();
    quint64 decoded(int channel) const { return m_counts->decoded[channel - 1]; }
    quint64 recorded(int channel) const { return m_counts->recorded[channel - 1]; }
    quint64 decodedTotal() const { return decoded(1) + decoded(2); }
    quint64 recordedRx() const { return recorded(1) + recorded(2); }
    quint64 recordedTx() const { return m_counts->recordedTx; }
    void reset();

private:
    struct Counts
    {
        std::atomic<quint64> decoded[2] { { 0 }, { 0 } };
        std::atomic<quint64> recorded[2] { { 0 }, { 0 } };
        std::atomic<quint64> recordedTx { 0 };
    };
    // Shared with the connected functions, which may still run on a worker thread while this
    // object goes away.
    std::shared_ptr<Counts> m_counts = std::make_shared<Counts>();
    QObject m_context;
};

// Frames per second an 8-byte frame line stream sustains at each rate tried, stepping up until the
// analyser falls behind; returns the highest per-channel rate it kept up with.
int findSustainedRate(const QString &folder, const std::function<void(const QString &)> &status);

SoakResult run(const SoakOptions &options);

// Checks a real-time log of sequence-numbered frames: header, whole CR LF lines (the last may be
// cut when `lastMayBeCut`), each channel counting up without repeats. Fills the per-channel line
// counts; with `contiguous` a gap in a channel's numbers is a failure too.
struct LogCheck
{
    QStringList failures;
    quint64 lines[2] = { 0, 0 };
    quint64 txLines = 0;
    bool lastLineCut = false;
};
LogCheck checkRealTimeLog(const QString &path, bool contiguous, bool lastMayBeCut);

// Resident memory of this process in kB: the high-water mark and the current value.
qint64 peakResidentKb();
qint64 residentKb();

// Waits, running the event loop, until `done` or the time-out; true when done.
bool waitUntil(const std::function<bool()> &done, int timeoutMs);
void wait(int ms);

// Opens `adapter` from the device panel and starts both channels at the stored bit rates.
bool openAndStart(VirtualAdapter *adapter, QString *error);

} // namespace Soak
