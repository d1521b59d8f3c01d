// Transmit list and replay timing against the virtual adapter over a pseudo-terminal paced like
// the real 460800 baud link: the highest total rate of 20 frames at period 0 (on a quiet adapter,
// whose confirmations arrive alone, and with loopback traffic), the timing error of one frame on a
// 10 ms period, the gap error of a log replayed at 1x, and the speed replays at 10x reach. Errors
// are taken on the host clock as each command leaves the scheduler (against the deadline it set),
// and from the adapter's own time stamps (0.1 ms) in its send results, which add the link's own
// jitter.
// Last, a log of a million frames is loaded for replay: the time, the longest stall of the GUI
// thread meanwhile, and the memory the frames take.
// Usage: bench-transmitlist [seconds per run] [--unpaced] [--rate-only]
//   --rate-only: only the period 0 rates

#include "display/candatadisplaysupport.h"
#include "display/logloader.h"
#include "link/serialcontrol.h"
#include "link/transmitlistscheduler.h"
#include "protocol/contextprotocol.h"
#include "send/transmitlistwidget.h"
#include "simulator/adapterdevice.h"
#include "simulator/virtualadapter.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

void send(const QByteArray &command)
{
    QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketSend", Qt::QueuedConnection,
                              Q_ARG(QByteArray, command));
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Capture
{
    std::vector<uint> stamps;
    TransmitReport last;
    // Host time each command left the scheduler, taken on its thread.
    std::mutex mutex;
    std::vector<qint64> sentNs;
    // How late each frame left after its deadline, on the scheduler's clock.
    std::vector<double> lateMs;
};

QElapsedTimer hostClock;

// Runs until the scheduler reports its end; `stopAfterMs` > 0 stops it after that time.
void runToEnd(TransmitListScheduler *s, Capture &capture, int stopAfterMs)
{
    QEventLoop loop;
    QObject guard;
    QObject::connect(s, &TransmitListScheduler::signal_RSP_CANSendDisplay, &guard,
                     [&](uchar, const QByteArray &, qulonglong stamp, uint) {
                         capture.stamps.push_back(uint(stamp));
                     });
    QObject::connect(s, &TransmitListScheduler::signal_report, &guard,
                     [&](const TransmitReport &r) {
                         capture.last = r;
                         if (!r.running)
                             loop.quit();
                     });
    QObject::connect(
        s, &TransmitListScheduler::Signal_payLoad_Send, &guard,
        [&capture](const QByteArray &) {
            const std::lock_guard<std::mutex> lock(capture.mutex);
            capture.sentNs.push_back(hostClock.nsecsElapsed());
        },
        Qt::DirectConnection);
    QObject::connect(s, &TransmitListScheduler::signal_frameSent, &guard,
                     [&capture](int, qint64 due, qint64 sent) {
                         capture.lateMs.push_back(double(sent - due) / 1e6);
                     });
    if (stopAfterMs > 0)
        QTimer::singleShot(stopAfterMs, &guard, [s] { s->stop(); });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    wait(100); // a frame in flight at the stop
}

// Mean and 99th percentile of the absolute values, in ms.
void printErrors(const char *what, std::vector<double> errors)
{
    if (errors.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    double sum = 0;
    for (double &e : errors) {
        e = std::fabs(e);
        sum += e;
    }
    std::sort(errors.begin(), errors.end());
    const double p99 = errors[std::min(errors.size() - 1, size_t(errors.size() * 0.99))];
    std::printf("%s: %zu samples, mean %.3f ms, p99 %.3f ms, max %.3f ms\n", what, errors.size(),
                sum / errors.size(), p99, errors.back());
}

// A field of /proc/self/status in kB, 0 where it is missing.
long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void benchReplayLoad()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("million.log"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::printf("replay load: cannot write %s\n", qPrintable(path));
        return;
    }
    const int count = CAN_DataDisplaySupport::DefaultMaxBuffSize;
    QByteArray text;
    char line[80];
    for (int i = 0; i < count; ++i) {
        const int n = std::snprintf(line, sizeof line, "(%.6f) can%d %03X#%016llX\n",
                                    1700000000.0 + i * 0.0005, i % 2, i & 0x7FF,
                                    static_cast<unsigned long long>(i) * 0x9E3779B97F4A7C15ULL);
        text.append(line, n);
        if (text.size() > (1 << 20)) {
            file.write(text);
            text.clear();
        }
    }
    file.write(text);
    file.close();

    const long rssBefore = statusKb("VmRSS:");
    LogLoader loader(nullptr);
    loader.setFrameLimit(count);
    LogLoadResult result;
    QEventLoop loop;
    QObject::connect(&loader, &LogLoader::finished, &loop, [&](const LogLoadResult &r) {
        result = r;
        loop.quit();
    });
    // The GUI thread keeps ticking while the worker reads; its longest gap is the stall a user
    // would see.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    clock.start();
    ticker.start();
    loader.start(path);
    loop.exec();
    const qint64 ms = clock.elapsed();
    std::printf("replay load of %d frames (%.0f MB log): %lld frames in %.2f s, longest GUI "
                "stall %lld ms, frames take %ld MB (resident grew %ld MB, peak %ld MB)\n",
                count, double(file.size()) / 1e6, static_cast<long long>(result.frames.size()),
                double(ms) / 1000.0, static_cast<long long>(longestGap),
                long(size_t(result.frames.size()) * sizeof(LogFrame) / 1000000),
                (statusKb("VmRSS:") - rssBefore) / 1000, statusKb("VmHWM:") / 1000);
}

} // namespace

int main(int argc, char *argv[])
{
    ToolEnvironment::quietOffscreen();
    QApplication app(argc, argv);
    hostClock.start();
    const QStringList args = app.arguments();
    const bool paced = !args.contains(QStringLiteral("--unpaced"));
    const bool rateOnly = args.contains(QStringLiteral("--rate-only"));
    int seconds = 5;
    for (const QString &a : args.mid(1)) {
        if (a.toInt() > 0)
            seconds = a.toInt();
    }

    VirtualAdapter adapter;
    adapter.setLinkRateLimit(paced);
    if (!adapter.start()) {
        std::fprintf(stderr, "cannot start the virtual adapter\n");
        return 1;
    }
    CAN_DataDisplaySupport::instance();
    bool opened = false;
    QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketOpen",
                              Qt::BlockingQueuedConnection, Q_RETURN_ARG(bool, opened),
                              Q_ARG(QString, adapter.slavePath()));
    if (!opened) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(adapter.slavePath()));
        return 1;
    }
    QByteArray code;
    Wire::appendU32(code, AdapterDevice::DefaultTimingCode);
    send(contextProtocol::buildDeviceOpen());
    send(contextProtocol::buildBaudRateConfig(1, code));
    send(contextProtocol::buildBaudRateConfig(2, code));
    wait(300);

    auto *scheduler = new TransmitListScheduler;
    std::printf("bench-transmitlist: %d s per run, %s link, 1000 kbps\n", seconds,
                paced ? "paced 460800 baud" : "unpaced pseudo-terminal");

    // 1. Twenty frames at period 0: as fast as the link confirms.
    QVector<TransmitEntry> list;
    for (int i = 0; i < 20; ++i) {
        TransmitEntry e;
        e.channel = 1 + i % 2;
        e.id = quint32(0x100 + i);
        e.periodMs = 0;
        list.append(e);
    }
    for (const bool loopback : { false, true }) {
        adapter.setLoopback(loopback);
        wait(50);
        Capture fast;
        scheduler->startList(list);
        runToEnd(scheduler, fast, seconds * 1000);
        quint64 total = 0;
        quint64 least = ~quint64(0);
        quint64 most = 0;
        for (const TransmitEntryStatus &s : fast.last.entries) {
            total += s.confirmed;
            least = std::min(least, s.confirmed);
            most = std::max(most, s.confirmed);
        }
        std::printf("20 frames at period 0, %s: %llu confirmed in %d s = %.0f frames/s total "
                    "(per frame %llu..%llu)\n",
                    loopback ? "loopback on " : "quiet (no loopback)",
                    static_cast<unsigned long long>(total), seconds, double(total) / seconds,
                    static_cast<unsigned long long>(least), static_cast<unsigned long long>(most));
    }
    if (rateOnly) {
        scheduler->release();
        QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketClose",
                                  Qt::BlockingQueuedConnection);
        return 0;
    }

    // 2. One frame on a 10 ms period: error of each send against the ideal grid.
    TransmitEntry tick;
    tick.id = 0x10;
    tick.periodMs = 10;
    Capture periodic;
    scheduler->startList({ tick });
    runToEnd(scheduler, periodic, seconds * 1000);
    // The deadlines lie on the period grid: lateness against them is the error against the grid.
    std::vector<double> gapErrors10;
    const std::vector<qint64> &sent = periodic.sentNs;
    for (size_t i = 1; i < sent.size(); ++i)
        gapErrors10.push_back(double(sent[i] - sent[i - 1]) / 1e6 - 10);
    std::printf("dropped slots at 10 ms: %llu\n",
                static_cast<unsigned long long>(
                    periodic.last.entries.isEmpty() ? 0 : periodic.last.entries[0].droppedSlots));
    printErrors("10 ms period, error of the gap between sends", gapErrors10);
    printErrors("10 ms period, lateness against the scheduler's deadline", periodic.lateMs);

    // 3. A log with 5 ms gaps replayed at 1x: error of every gap.
    QVector<LogFrame> log;
    const int replayFrames = seconds * 200;
    for (int i = 0; i < replayFrames; ++i) {
        LogFrame f;
        f.hostTimeUs = 1700000000000000LL + i * 5000LL;
        f.channel = 1;
        f.id = 0x20;
        f.info = 8;
        log.append(f);
    }
    ReplayOptions options;
    Capture replay;
    scheduler->startReplay(log, options);
    runToEnd(scheduler, replay, 0);
    std::vector<double> gapErrors;
    for (size_t i = 1; i < replay.stamps.size(); ++i)
        gapErrors.push_back(double(replay.stamps[i] - replay.stamps[i - 1]) / 10.0 - 5.0);
    std::printf("replay 1x: %zu of %d frames confirmed\n", replay.stamps.size(), replayFrames);
    printErrors("replay at 1x, 5 ms gaps, gap error at the adapter", gapErrors);
    std::vector<double> hostGapErrors;
    for (size_t i = 1; i < replay.sentNs.size(); ++i)
        hostGapErrors.push_back(double(replay.sentNs[i] - replay.sentNs[i - 1]) / 1e6 - 5.0);
    printErrors("replay at 1x, 5 ms gaps, gap error on the host", hostGapErrors);
    printErrors("replay at 1x, lateness against the scheduler's deadline", replay.lateMs);

    // 4. Replays at 10x: on 20 ms gaps (2 ms on the bus, which the link carries) and on 5 ms
    // gaps (0.5 ms, under the link's round trip): the speed reached, measured from the first and
    // last command on the host clock, beside the one the scheduler reports to the page.
    // The same 5 ms log as fast as confirmed gives the link's ceiling for it.
    for (const int gapMs : { 20, 5, 0 }) {
        QVector<LogFrame> fastLog;
        const int logGapMs = gapMs > 0 ? gapMs : 5;
        const int frames = seconds * 1000 * 10 / logGapMs;
        for (int i = 0; i < frames; ++i) {
            LogFrame f;
            f.hostTimeUs = 1700000000000000LL + i * logGapMs * 1000LL;
            f.channel = 1;
            f.id = 0x21;
            f.info = 8;
            fastLog.append(f);
        }
        ReplayOptions tenfold;
        tenfold.speed = gapMs > 0 ? 10 : 0;
        Capture capture;
        scheduler->startReplay(fastLog, tenfold);
        runToEnd(scheduler, capture, 0);
        const std::vector<qint64> &at = capture.sentNs;
        const double logSpan = double(frames - 1) * logGapMs * 1e6;
        const double reached = at.size() > 1 ? logSpan / double(at.back() - at.front()) : 0;
        if (gapMs > 0)
            std::printf("replay 10x on %d ms gaps: %zu frames, speed reached %.2fx (reported "
                        "%.2fx)\n",
                        gapMs, at.size(), reached, capture.last.replaySpeed);
        else
            std::printf("replay as fast as confirmed on 5 ms gaps: %zu frames, %.2fx, %.0f "
                        "frames/s\n",
                        at.size(), reached, reached * 1000.0 / logGapMs);
    }

    scheduler->release();
    QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketClose",
                              Qt::BlockingQueuedConnection);

    benchReplayLoad();
    return 0;
}
