// Renders the signal watch and the plot window, in both languages, over twenty seconds of a
// small vehicle bus decoded with its database.
//
//   rcan-signal-screenshots <output-dir>

#include "app/runtimefiles.h"
#include "candb/databaseset.h"
#include "candb/signalstore.h"
#include "display/signalplot.h"
#include "display/signalwatch.h"
#include "tools/toolenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>

#include <qcustomplot.h>

#include <cmath>
#include <cstdio>

namespace {
const char Dbc[] = R"(VERSION ""
NS_ :
BS_:
BU_: ECM TCM ABS

BO_ 256 EngineData: 8 ECM
 SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|16383.75] "rpm" TCM
 SG_ CoolantTemp : 16|8@1+ (1,-40) [-40|215] "degC" TCM
 SG_ ThrottlePos : 24|8@1+ (0.4,0) [0|100] "%" TCM

BO_ 512 Transmission: 8 TCM
 SG_ GearSelected : 0|4@1+ (1,0) [0|15] "" ECM
 SG_ OutputShaftSpeed : 8|16@1+ (0.5,0) [0|32767.5] "rpm" ECM

BO_ 768 WheelSpeeds: 8 ABS
 SG_ WheelFL : 0|16@1+ (0.01,0) [0|655.35] "km/h" ECM
 SG_ WheelFR : 16|16@1+ (0.01,0) [0|655.35] "km/h" ECM

VAL_ 512 GearSelected 0 "Park" 1 "Reverse" 2 "Neutral" 3 "Drive" ;
)";

using Screenshots::save;

LogFrame frame(int channel, quint32 id, double seconds, quint64 bits)
{
    LogFrame f;
    f.channel = quint8(channel);
    f.id = id;
    f.timeStamp = quint32(std::llround(seconds * 10000));
    f.info = 8;
    for (int i = 0; i < 8; ++i)
        f.data[i] = quint8(bits >> (8 * i));
    return f;
}

// Twenty seconds of a car pulling away: engine, gearbox and wheels.
QVector<LogFrame> traffic()
{
    QVector<LogFrame> frames;
    for (int tick = 0; tick < 2000; ++tick) {
        const double t = tick * 0.01;
        const double rpm = 800 + 2200 * (0.5 - 0.5 * std::cos(t * 0.9)) + 40 * std::sin(t * 7);
        const double temp = 60 + t * 1.2;
        const double throttle = qBound(0.0, 50 + 45 * std::sin(t * 0.9), 100.0);
        frames << frame(1, 0x100, t,
                        quint64(rpm / 0.25) | quint64(temp + 40) << 16
                            | quint64(throttle / 0.4) << 24);
        if (tick % 2 == 0) {
            const quint64 gear = t < 2 ? 0 : t < 4 ? 2 : 3;
            frames << frame(1, 0x200, t + 0.0003, gear | quint64(rpm * 0.3 / 0.5) << 8);
        }
        if (tick % 5 == 0) {
            const double speed = t < 4 ? 0 : (t - 4) * 4.5;
            frames << frame(2, 0x300, t + 0.0007,
                            quint64(speed / 0.01) | quint64((speed + 0.3) / 0.01) << 16);
        }
    }
    return frames;
}
} // namespace

int main(int argc, char *argv[])
{
    ProgramTool tool(argc, argv);
    QDir out;
    if (!Screenshots::outputDir("rcan-signal-screenshots", &out))
        return 2;
    QTemporaryDir files;
    const QString dbc = files.filePath(QStringLiteral("vehicle.dbc"));
    QFile file(dbc);
    file.open(QIODevice::WriteOnly);
    file.write(Dbc);
    file.close();

    DatabaseSet databases;
    databases.add(dbc, DatabaseSet::BothChannels);
    SignalStore store(&databases);
    const QVector<LogFrame> frames = traffic();
    store.add(frames.constData(), frames.size());
    CanRecordBuffer history;
    for (const LogFrame &f : frames) {
        history.append(CanRecord::fromFrame(f, 0));
    }

    bool ok = true;
    QTranslator english;
    for (const QString &lang : { QStringLiteral("CN"), QStringLiteral("EN") }) {
        if (lang == QLatin1String("EN")) {
            ok &= english.load(RuntimeFiles::locate(QStringLiteral("language/Language_EN.qm")));
            QCoreApplication::installTranslator(&english);
        }
        SignalWatch watch(&store, &databases, [&] { return history; });
        watch.resize(900, 330);
        watch.show();
        watch.findChild<QTableView *>()->sortByColumn(0, Qt::AscendingOrder);
        QCoreApplication::processEvents();
        ok &= save(&watch, out.filePath(QStringLiteral("signal-watch-%1.png").arg(lang)));

        SignalPlot plot(&store, &databases, [&](const std::function<void()> &atCopy) {
            atCopy();
            return history;
        });
        plot.resize(900, 620);
        plot.show();
        QEventLoop filled;
        QObject::connect(&plot, &SignalPlot::backfilled, &filled, &QEventLoop::quit);
        plot.addSignals({ { 1, 0x100, false, QStringLiteral("EngineSpeed") },
                          { 1, 0x100, false, QStringLiteral("ThrottlePos") },
                          { 1, 0x200, false, QStringLiteral("GearSelected") },
                          { 2, 0x300, false, QStringLiteral("WheelFL") } });
        filled.exec();
        plot.setFollow(false);
        plot.plot()->axisRect(0)->axis(QCPAxis::atBottom)->setRange(0, 20);
        plot.setCursor(12.5);
        plot.update();
        plot.plot()->replot();
        QCoreApplication::processEvents();
        ok &= save(&plot, out.filePath(QStringLiteral("signal-plot-%1.png").arg(lang)));
    }
    return ok ? 0 : 1;
}
