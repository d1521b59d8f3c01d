// bench-signals: decoded signals over an opened log. Builds a log of N frames (default 1,000,000,
// at the full link rate of 2,304 frames/s) of five messages, then measures
//  - feeding the signal store with it, as opening the log does, beside the same without a
//    database;
//  - the plot window's fill from that history for ten signals (decoded once, on a worker);
//  - redraws of the plot while zooming and panning the time axis, beside the same plot over a
//    log of 10,000 frames.
//
//   bench-signals [--frames N]

#include "candb/databaseset.h"
#include "candb/signalstore.h"
#include "display/signalplot.h"
#include "tools/toolenvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
QTextStream out(stdout);

const char Dbc[] = R"(VERSION ""
NS_ :
BS_:
BU_: ECM TCM ABS BCM

BO_ 256 EngineData: 8 ECM
 SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|16383.75] "rpm" TCM
 SG_ CoolantTemp : 16|8@1+ (1,-40) [-40|215] "degC" TCM
 SG_ ThrottlePos : 24|8@1+ (0.4,0) [0|100] "%" TCM
 SG_ EngineTorque : 39|12@0- (0.5,0) [-1024|1023.5] "Nm" TCM
BO_ 512 Transmission: 8 TCM
 SG_ GearSelected : 0|4@1+ (1,0) [0|15] "" ECM
 SG_ OutputShaftSpeed : 8|16@1+ (0.5,0) [0|32767.5] "rpm" ECM
BO_ 768 WheelSpeeds: 8 ABS
 SG_ WheelFL : 0|16@1+ (0.01,0) [0|655.35] "km/h" ECM
 SG_ WheelFR : 16|16@1+ (0.01,0) [0|655.35] "km/h" ECM
 SG_ WheelRL : 32|16@1+ (0.01,0) [0|655.35] "km/h" ECM
 SG_ WheelRR : 48|16@1+ (0.01,0) [0|655.35] "km/h" ECM
BO_ 2566844416 BodyStatus: 8 BCM
 SG_ BatteryVoltage : 0|8@1+ (0.1,0) [0|25.5] "V" ECM
 SG_ DoorsOpen : 8|4@1+ (1,0) [0|15] "" ECM
BO_ 1024 Chassis: 8 ABS
 SG_ YawRate : 0|16@1- (0.01,0) [-327.68|327.67] "deg/s" ECM
 SG_ LatAccel : 16|16@1- (0.001,0) [-32.768|32.767] "g" ECM

VAL_ 512 GearSelected 0 "Park" 1 "Reverse" 2 "Neutral" 3 "Drive" ;
)";

LogFrame frame(quint32 id, bool extended, quint32 stamp, quint64 bits)
{
    LogFrame f;
    f.channel = 1;
    f.id = id;
    f.timeStamp = stamp;
    f.info = 8 | (extended ? LogFrame::Extended : 0);
    for (int i = 0; i < 8; ++i)
        f.data[i] = quint8(bits >> (8 * i));
    return f;
}

// Frame i of a drive: smooth values with some noise, round robin over the five messages.
LogFrame driveFrame(int i)
{
    const double t = i / 2304.0;
    const quint32 stamp = quint32(std::llround(t * 10000));
    const quint64 noise = quint64((i * 2654435761u) >> 28);
    const double rpm = 1800 + 1200 * std::sin(t * 0.3) + double(noise) * 4;
    switch (i % 5) {
    case 0:
        return frame(0x100, false, stamp,
                     quint64(rpm / 0.25) | quint64(90 + 40) << 16
                         | quint64((50 + 45 * std::sin(t * 0.3)) / 0.4) << 24
                         | quint64(std::llround(200 * std::sin(t)) & 0xFFF) << 32);
    case 1:
        return frame(0x200, false, stamp, quint64(int(t / 20) % 4) | quint64(rpm * 0.3 / 0.5) << 8);
    case 2: {
        const quint64 v = quint64((60 + 50 * std::sin(t * 0.05)) / 0.01) + noise;
        return frame(0x300, false, stamp, v | v << 16 | (v + 3) << 32 | (v + 5) << 48);
    }
    case 3:
        return frame(0x18FF1000, true, stamp, quint64(138 + noise % 3) | quint64(noise % 2) << 8);
    default:
        return frame(0x400, false, stamp,
                     quint64(qint16(std::llround(1000 * std::sin(t * 2)))) & 0xFFFF);
    }
}

CanRecordBuffer makeLog(int frames)
{
    CanRecordBuffer log;
    for (int i = 0; i < frames; ++i)
        log.append(CanRecord::fromFrame(driveFrame(i), 0));
    return log;
}

// Frames per second the store takes the log at, in chunks as the display thread hands them.
double feedRate(DatabaseSet *databases, const CanRecordBuffer &log)
{
    SignalStore store(databases);
    std::vector<LogFrame> chunk;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < log.size(); ++i) {
        chunk.push_back(log.at(i).frame());
        if (chunk.size() == 4096 || i == log.size() - 1) {
            store.add(chunk.data(), int(chunk.size()));
            chunk.clear();
        }
    }
    return log.size() / (double(clock.nsecsElapsed()) / 1e9);
}

struct Redraws
{
    double fillMs = 0;
    double medianMs = 0;
    double p90Ms = 0;
    double worstMs = 0;
    int count = 0;
};

Redraws measurePlot(DatabaseSet *databases, const CanRecordBuffer &log)
{
    SignalStore store(databases);
    SignalPlot plot(&store, databases, [&](const std::function<void()> &atCopy) {
        atCopy();
        return log;
    });
    plot.resize(1400, 900);
    plot.show();
    QCoreApplication::processEvents();
    QVector<SignalKey> keys;
    for (const char *name : { "EngineSpeed", "ThrottlePos", "EngineTorque" })
        keys << SignalKey { 1, 0x100, false, QLatin1String(name) };
    keys << SignalKey { 1, 0x200, false, QStringLiteral("GearSelected") };
    for (const char *name : { "WheelFL", "WheelRR" })
        keys << SignalKey { 1, 0x300, false, QLatin1String(name) };
    keys << SignalKey { 1, 0x18FF1000, true, QStringLiteral("BatteryVoltage") };
    keys << SignalKey { 1, 0x18FF1000, true, QStringLiteral("DoorsOpen") };
    keys << SignalKey { 1, 0x400, false, QStringLiteral("YawRate") };
    keys << SignalKey { 1, 0x400, false, QStringLiteral("LatAccel") };

    Redraws result;
    QElapsedTimer clock;
    clock.start();
    QEventLoop filled;
    QObject::connect(&plot, &SignalPlot::backfilled, &filled, &QEventLoop::quit);
    plot.addSignals(keys);
    if (plot.backfillPending())
        filled.exec();
    result.fillMs = double(clock.nsecsElapsed()) / 1e6;

    plot.setFollow(false);
    QCPAxis *time = plot.graph(keys.first())->keyAxis();
    const double end = log.size() / 2304.0;
    std::vector<double> ms;
    auto redraw = [&](double lower, double upper) {
        time->setRange(lower, upper);
        clock.restart();
        plot.plot()->replot(QCustomPlot::rpImmediateRefresh);
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    };
    redraw(0, end); // the whole log
    // Zoom in on the middle by halves, pan to the right in tenths, zoom back out.
    double lower = 0, upper = end;
    for (int i = 0; i < 8; ++i) {
        const double mid = (lower + upper) / 2, half = (upper - lower) / 4;
        lower = mid - half, upper = mid + half;
        redraw(lower, upper);
    }
    for (int i = 0; i < 10; ++i) {
        const double step = (upper - lower) / 10;
        lower += step, upper += step;
        redraw(lower, upper);
    }
    for (int i = 0; i < 8; ++i) {
        const double mid = (lower + upper) / 2, half = upper - lower;
        lower = mid - half, upper = mid + half;
        redraw(lower, upper);
    }
    for (int i = 0; i < 10; ++i) {
        const double step = (upper - lower) / 10;
        lower -= step, upper -= step;
        redraw(lower, upper);
    }
    std::sort(ms.begin(), ms.end());
    result.count = int(ms.size());
    result.medianMs = ms[ms.size() / 2];
    result.p90Ms = ms[ms.size() * 9 / 10];
    result.worstMs = ms.back();
    return result;
}

void print(const char *what, const Redraws &r)
{
    out << QStringLiteral(
               "  %1: fill from the history %2 ms; %3 redraws while zooming and panning: "
               "median %4 ms, 90 % below %5 ms, worst %6 ms\n")
               .arg(QLatin1String(what))
               .arg(r.fillMs, 0, 'f', 0)
               .arg(r.count)
               .arg(r.medianMs, 0, 'f', 1)
               .arg(r.p90Ms, 0, 'f', 1)
               .arg(r.worstMs, 0, 'f', 1);
}
} // namespace

int main(int argc, char *argv[])
{
    ProgramTool tool(argc, argv);
    int frames = 1000000;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--frames"))
            frames = qMax(1000, args.at(++i).toInt());
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bench.dbc"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Dbc) < 0)
        return 1;
    file.close();
    DatabaseSet databases;
    const DbcReadResult read = databases.add(path, DatabaseSet::BothChannels);
    if (!read.ok || !read.problems.isEmpty()) {
        out << "the database did not load cleanly: " << read.error << read.problemSummary()
            << Qt::endl;
        return 1;
    }
    DatabaseSet none;

    const CanRecordBuffer log = makeLog(frames);
    const CanRecordBuffer small = makeLog(10000);
    out << QStringLiteral("bench-signals: a log of %1 frames, five messages, 16 signals\n")
               .arg(frames);
    out << QStringLiteral("  store fed with the log: %1 frames/s with the database, %2 frames/s "
                          "without one\n")
               .arg(feedRate(&databases, log), 0, 'f', 0)
               .arg(feedRate(&none, log), 0, 'f', 0);
    out.flush();
    print("10 signals over 10,000 frames", measurePlot(&databases, small));
    out.flush();
    print(qPrintable(QStringLiteral("10 signals over %1 frames").arg(frames)),
          measurePlot(&databases, log));
    return 0;
}
