// bench-live: the whole analyser (main window, device panel, receive view, real-time log) fed by
// an adapter in another process, e.g. rcan-sim, so that only the analyser's own cost is measured.
// Opens the port from the device panel, starts both channels, starts the real-time log, lets it
// settle, then prints the CPU each thread used over the measuring time, the frames recorded and,
// with --latency, how late a 10 ms GUI timer fired. tools/bench-live.sh runs it beside pty-reader.
//
//   bench-live <port> [--seconds S] [--settle S] [--latency] [--no-log] [--idle] [--paints]
//              [--signals]
//     --idle    opens the device but starts no channel
//     --paints  counts paint events per widget class
//     --signals loads a database describing every identifier the virtual adapter sends (eight
//               signals each), shows the signal watch and plots ten signals following live
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xcb under xvfb-run).

#include "app/razoradurodmainwindow.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/canview_widget.h"
#include "display/signalhub.h"
#include "display/signalplot.h"
#include "link/serialcontrol.h"
#include "support/soakrun.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QMenu>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <qcustomplot.h>

#include <unistd.h>

namespace {
QTextStream out(stdout);

template<typename T>
T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

struct ThreadUse
{
    qint64 ticks = 0;
    qint64 switches = 0; // voluntary context switches: each is a sleep and a later wake-up
};

// CPU ticks and sleeps so far of each thread of this process, by thread name.
QMap<QString, ThreadUse> threadUse()
{
    QMap<QString, ThreadUse> ticks;
    const QStringList tids
        = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tids) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('(');
        const int close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QString name = QString::fromLocal8Bit(line.mid(open + 1, close - open - 1));
        // Fields after the name: state is field 3, utime 14, stime 15.
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 13)
            continue;
        ticks[name].ticks += fields.at(11).toLongLong() + fields.at(12).toLongLong();
        QFile status(QStringLiteral("/proc/self/task/%1/status").arg(tid));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &row : status.readAll().split('\n')) {
                if (row.startsWith("voluntary_ctxt_switches:"))
                    ticks[name].switches += row.mid(24).trimmed().toLongLong();
            }
        }
    }
    return ticks;
}

class LatencyProbe : public QObject
{
public:
    LatencyProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double late = double(now - m_last) / 1e6 - 10;
            m_last = now;
            ++m_histogram[qBound(0, int(late), Size - 1)];
            worstMs = qMax(worstMs, late);
        });
    }
    void start()
    {
        m_clock.start();
        m_timer.start();
    }
    double percentileMs(double share) const
    {
        quint64 total = 0;
        for (quint64 n : m_histogram)
            total += n;
        quint64 seen = 0;
        for (int ms = 0; ms < Size; ++ms) {
            seen += m_histogram[ms];
            if (total > 0 && double(seen) >= share * double(total))
                return ms + 1;
        }
        return Size;
    }
    double worstMs = 0;

private:
    static constexpr int Size = 2000;
    quint64 m_histogram[Size] = {};
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};
// Counts paint events per widget class while on, to tell which widgets repaint with the traffic.
class PaintCounter : public QObject
{
public:
    QMap<QString, int> counts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            QString name = QString::fromLatin1(watched->metaObject()->className());
            if (watched->parent())
                name += QStringLiteral(" in ")
                    + QString::fromLatin1(watched->parent()->metaObject()->className());
            ++counts[name];
        }
        return false;
    }
};
// Eight signals for each identifier the virtual adapter sends: Intel and Motorola, signed and
// scaled, one with named values, so that decoding costs what a real database costs.
QByteArray simulatorDatabase()
{
    const quint32 ids[]
        = { 0x100,      0x101,      0x18F,      0x1A0,      0x200,      0x2F0,
            0x321,      0x3E8,      0x400,      0x555,      0x6FF,      0x7DF,
            0x98FF50E5, 0x98FEF100, 0x8CF00400, 0x98FEE000, 0x9CECFF00, 0x90FF1234 };
    QByteArray dbc = "VERSION \"\"\nNS_ :\nBS_:\nBU_: ECU\n";
    QByteArray names;
    for (quint32 id : ids) {
        const QByteArray m = "M" + QByteArray::number(id & 0x1FFFFFFF, 16).toUpper();
        dbc += "\nBO_ " + QByteArray::number(id) + " " + m + ": 8 ECU\n";
        dbc += " SG_ " + m + "_speed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" ECU\n";
        dbc += " SG_ " + m + "_temp : 16|8@1- (1,-40) [-168|87] \"degC\" ECU\n";
        dbc += " SG_ " + m + "_state : 24|3@1+ (1,0) [0|7] \"\" ECU\n";
        dbc += " SG_ " + m + "_flag : 27|1@1+ (1,0) [0|1] \"\" ECU\n";
        dbc += " SG_ " + m + "_torque : 39|12@0- (0.1,-10) [-214.8|194.7] \"Nm\" ECU\n";
        dbc += " SG_ " + m + "_level : 40|4@1+ (6.25,0) [0|93.75] \"%\" ECU\n";
        dbc += " SG_ " + m + "_count : 48|8@1+ (1,0) [0|255] \"\" ECU\n";
        dbc += " SG_ " + m + "_volt : 63|8@0+ (0.1,0) [0|25.5] \"V\" ECU\n";
        names += "VAL_ " + QByteArray::number(id) + " " + m
            + "_state 0 \"Off\" 1 \"Idle\" 2 \"Run\" 3 \"Fault\" ;\n";
    }
    return dbc + "\n" + names;
}
} // namespace

int main(int argc, char *argv[])
{
    ProgramTool tool(argc, argv);

    QString port;
    double seconds = 30;
    double settle = 5;
    bool latency = false;
    bool log = true;
    bool idle = false;
    bool paints = false;
    bool decode = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--seconds") && hasValue)
            seconds = args.at(++i).toDouble();
        else if (arg == QLatin1String("--settle") && hasValue)
            settle = args.at(++i).toDouble();
        else if (arg == QLatin1String("--latency"))
            latency = true;
        else if (arg == QLatin1String("--no-log"))
            log = false;
        else if (arg == QLatin1String("--idle"))
            idle = true;
        else if (arg == QLatin1String("--paints"))
            paints = true;
        else if (arg == QLatin1String("--signals"))
            decode = true;
        else if (port.isEmpty() && !arg.startsWith(QLatin1Char('-')))
            port = arg;
        else
            port.clear(), i = args.size();
    }
    if (port.isEmpty()) {
        out << "usage: bench-live <port> [--seconds S] [--settle S] [--latency] [--no-log] "
               "[--idle] [--paints] [--signals]"
            << Qt::endl;
        return 2;
    }

    QTemporaryDir folder;
    const QString logPath = folder.filePath(QStringLiteral("live.txt"));
    CAN_DataDisplaySupport *display = CAN_DataDisplaySupport::instance();
    auto window = std::make_unique<RAZOradurodMainWindow>();
    window->show();
    CANView_Widget *view = window->receiveView();
    view->setFileNameProvider([logPath] { return logPath; });
    if (log)
        child<QPushButton>(view, "Button_saveOnTime")->click();

    SerialControl *serial = SerialControl::instance();
    serial->addExtraPort(port);
    serial->refreshPortList();
    DeviceManagement *panel = DeviceManagement::instance();
    auto *ports = child<QComboBox>(panel, "chose_port");
    if (!Soak::waitUntil([&] { return ports->findText(port) >= 0; }, 10000)) {
        out << "the device panel does not list " << port << Qt::endl;
        return 1;
    }
    ports->setCurrentIndex(ports->findText(port));
    child<QPushButton>(panel, "device_open")->click();
    if (!Soak::waitUntil([&] { return child<QPushButton>(panel, "device_close")->isEnabled(); },
                         10000)) {
        out << "the adapter did not open" << Qt::endl;
        return 1;
    }
    if (!idle) {
        for (const char *name : { "channel_control_1", "channel_control_2" })
            child<QPushButton>(panel, name)->click();
        if (!Soak::waitUntil(
                [&] {
                    return child<QPushButton>(panel, "channelClose1")->isEnabled()
                        && child<QPushButton>(panel, "channelClose1_2")->isEnabled();
                },
                10000)) {
            out << "the channels did not start" << Qt::endl;
            return 1;
        }
    }

    if (decode) {
        const QString path = folder.filePath(QStringLiteral("simulator.dbc"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(simulatorDatabase()) < 0) {
            out << "cannot write the database" << Qt::endl;
            return 1;
        }
        file.close();
        const DbcReadResult read
            = SignalHub::instance()->databases()->add(path, DatabaseSet::BothChannels);
        if (!read.ok || !read.problems.isEmpty()) {
            out << "the database did not load cleanly: " << read.error << read.problemSummary()
                << Qt::endl;
            return 1;
        }
        child<QAction>(window.get(), "signalWatchAction")->trigger();
        QVector<SignalKey> keys;
        for (const char *name :
             { "M100_speed", "M100_temp", "M100_state", "M100_torque", "M200_volt" }) {
            const QString signal = QLatin1String(name);
            const quint32 id = signal.mid(1, 3).toUInt(nullptr, 16);
            keys << SignalKey { 1, id, false, signal } << SignalKey { 2, id, false, signal };
        }
        SignalHub::instance()->requestPlot(keys);
    }

    Soak::wait(int(settle * 1000));
    LatencyProbe probe;
    if (latency)
        probe.start();
    PaintCounter paintCounter;
    if (paints)
        qApp->installEventFilter(&paintCounter);
    const CAN_DataDisplaySupport::Counts before = display->counts();
    const QMap<QString, ThreadUse> ticksBefore = threadUse();
    QElapsedTimer clock;
    clock.start();
    Soak::wait(int(seconds * 1000));
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const QMap<QString, ThreadUse> ticksAfter = threadUse();
    const CAN_DataDisplaySupport::Counts after = display->counts();

    const double hz = double(sysconf(_SC_CLK_TCK));
    const qint64 frames = qint64(after.recv - before.recv) + (after.send - before.send);
    double total = 0;
    out << QStringLiteral("bench-live: %1 frames in %2 s = %3 frames/s%4\n")
               .arg(frames)
               .arg(elapsed, 0, 'f', 1)
               .arg(double(frames) / elapsed, 0, 'f', 0)
               .arg(log ? QStringLiteral(", real-time log on") : QString());
    for (auto it = ticksAfter.cbegin(); it != ticksAfter.cend(); ++it) {
        const ThreadUse was = ticksBefore.value(it.key());
        const double cpu = 100.0 * double(it.value().ticks - was.ticks) / hz / elapsed;
        const double wakes = double(it.value().switches - was.switches) / elapsed;
        total += cpu;
        if (cpu >= 0.05 || wakes >= 1) {
            out << QStringLiteral("  thread %1: %2 %, %3 wake-ups/s\n")
                       .arg(it.key(), -16)
                       .arg(cpu, 0, 'f', 2)
                       .arg(wakes, 0, 'f', 0);
        }
    }
    out << QStringLiteral("  whole program: %1 % of a core").arg(total, 0, 'f', 2);
    if (frames > 0)
        out << QStringLiteral(", %1 us per frame")
                   .arg(total * 1e4 * elapsed / double(frames), 0, 'f', 2);
    out << '\n';
    if (latency) {
        out << QStringLiteral("  GUI latency: 99 % below %1 ms, 99.9 % below %2 ms, worst %3 ms\n")
                   .arg(probe.percentileMs(0.99))
                   .arg(probe.percentileMs(0.999))
                   .arg(probe.worstMs, 0, 'f', 1);
    }
    if (decode) {
        // Proof that the plot followed: the values it holds and the newest time it shows.
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *plot = qobject_cast<SignalPlot *>(top)) {
                int values = 0;
                for (const SignalKey &key : plot->plotted())
                    values += plot->graph(key)->data()->size();
                out << QStringLiteral("  plot: %1 signals, %2 values, time axis ends at %3 s\n")
                           .arg(plot->plotted().size())
                           .arg(values)
                           .arg(plot->graph(plot->plotted().constFirst())->keyAxis()->range().upper,
                                0, 'f', 1);
            }
        }
    }
    for (auto it = paintCounter.counts.cbegin(); it != paintCounter.counts.cend(); ++it)
        out << QStringLiteral("  paints/s %1: %2\n")
                   .arg(it.key())
                   .arg(double(it.value()) / elapsed, 0, 'f', 1);
    out.flush();

    if (log)
        child<QPushButton>(view, "Button_saveOnTime")->click();
    child<QPushButton>(panel, "device_close")->click();
    serial->removeExtraPort(port);
    window.reset();
    return 0;
}
