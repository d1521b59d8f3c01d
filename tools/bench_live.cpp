// bench-live: the whole analyser (main window, device panel, receive view, real-time log) fed by
// an adapter in another process, e.g. rcan-sim, so that only the analyser's own cost is measured.
// Opens the port from the device panel, starts both channels, starts the real-time log, lets it
// settle, then prints the CPU each thread used over the measuring time, the frames recorded and,
// with --latency, how late a 10 ms GUI timer fired. tools/bench-live.sh runs it beside pty-reader.
//
//   bench-live <port> [--seconds S] [--settle S] [--latency] [--no-log] [--idle] [--paints]
//     --idle   opens the device but starts no channel
//     --paints counts paint events per widget class
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xcb under xvfb-run).

#include "app/razoradurodmainwindow.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/canview_widget.h"
#include "link/serialcontrol.h"
#include "support/soakrun.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

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
        else if (port.isEmpty() && !arg.startsWith(QLatin1Char('-')))
            port = arg;
        else
            port.clear(), i = args.size();
    }
    if (port.isEmpty()) {
        out << "usage: bench-live <port> [--seconds S] [--settle S] [--latency] [--no-log] "
               "[--idle] [--paints]"
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
