#include "support/soakrun.h"

#include "app/razoradurodmainwindow.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/rstanditemmodel.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"
#include "recording/filesave_widget.h"
#include "recording/filesavesupport.h"
#include "simulator/virtualadapter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <memory>

namespace {

constexpr int LatencyPeriodMs = 10;

// Measures how late a 10 ms timer on the GUI thread fires: the longest time the event loop was
// kept from running.
class LatencyProbe : public QObject
{
public:
    LatencyProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(LatencyPeriodMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    // The lateness that `share` of all ticks stayed within, to the millisecond.
    double percentileMs(double share) const
    {
        quint64 total = 0;
        for (quint64 n : m_histogram)
            total += n;
        quint64 seen = 0;
        for (int ms = 0; ms < HistogramSize; ++ms) {
            seen += m_histogram[ms];
            if (total > 0 && double(seen) >= share * double(total))
                return ms + 1;
        }
        return HistogramSize;
    }
    void setSaving(bool saving) { m_saving = saving; }

    double worstMs = 0;
    double worstAtMs = 0; // when it happened, from start()
    double worstOutsideSaveMs = 0;

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const double late = double(now - m_last) / 1e6 - LatencyPeriodMs;
        m_last = now;
        if (late > worstMs) {
            worstMs = late;
            worstAtMs = double(now) / 1e6;
        }
        ++m_histogram[qBound(0, int(late), HistogramSize - 1)];
        if (!m_saving && !m_savedSinceLastTick)
            worstOutsideSaveMs = qMax(worstOutsideSaveMs, late);
        m_savedSinceLastTick = m_saving;
    }

    static constexpr int HistogramSize = 2000;
    quint64 m_histogram[HistogramSize] = {};
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    bool m_saving = false;
    bool m_savedSinceLastTick = false;
};

// A marker sent through the display thread's queue and then the GUI thread's: it comes back once
// every frame queued before it has been recorded and handed to the log writer.
class PipelineMarker : public QObject
{
public:
    void send(CAN_DataDisplaySupport *display)
    {
        if (m_outstanding)
            return;
        m_outstanding = true;
        m_sent.start();
        QMetaObject::invokeMethod(
            display,
            [this] {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        m_outstanding = false;
                        worstLagMs = qMax(worstLagMs, double(m_sent.nsecsElapsed()) / 1e6);
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }
    bool outstanding() const { return m_outstanding; }
    double pendingMs() const { return m_outstanding ? double(m_sent.nsecsElapsed()) / 1e6 : 0; }

    double worstLagMs = 0;

private:
    QElapsedTimer m_sent;
    bool m_outstanding = false;
};

template<typename T>
T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

qint64 statusValueKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray wanted(key);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(wanted)) {
            const QByteArray value = line.mid(wanted.size()).trimmed();
            return value.left(value.indexOf(' ')).toLongLong();
        }
    }
    return 0;
}

// The 64-bit little-endian count a sequence-numbered frame carries in its eight data bytes.
bool sequenceOf(const QList<QByteArray> &fields, quint64 *value)
{
    if (fields.size() != 14 || fields.at(5) != "8")
        return false;
    quint64 v = 0;
    for (int i = 13; i >= 6; --i) {
        bool ok = false;
        const uint byte = fields.at(i).toUInt(&ok, 16);
        if (!ok || fields.at(i).size() != 2)
            return false;
        v = (v << 8) | byte;
    }
    *value = v;
    return true;
}

// Compares the global save with the real-time log: its frame lines must be one unbroken run of
// the real-time log's lines.
QStringList checkGlobalSave(const QString &globalPath, const QString &realTimePath, quint64 *lines)
{
    QStringList failures;
    QFile global(globalPath);
    if (!global.open(QIODevice::ReadOnly))
        return { QStringLiteral("global save missing: ") + globalPath };
    QVector<QByteArray> saved;
    for (int i = 0; !global.atEnd(); ++i) {
        QByteArray line = global.readLine();
        if (i == 1 && !line.startsWith("base hex timestamps system toltal "))
            failures << QStringLiteral("global save: second header line wrong");
        if (i < FileSaveSupport::HeaderLines)
            continue;
        saved.append(line);
    }
    *lines = quint64(saved.size());
    if (saved.isEmpty())
        return failures;

    QFile realTime(realTimePath);
    if (!realTime.open(QIODevice::ReadOnly))
        return failures << QStringLiteral("real-time log missing");
    int matched = -1;
    while (!realTime.atEnd() && matched < saved.size()) {
        const QByteArray line = realTime.readLine();
        if (matched < 0) {
            if (line == saved.first())
                matched = 1;
            continue;
        }
        if (line != saved.at(matched)) {
            failures << QStringLiteral("global save line %1 differs from the real-time log")
                            .arg(matched + 1);
            return failures;
        }
        ++matched;
    }
    if (matched != saved.size())
        failures << QStringLiteral("global save: only %1 of %2 lines found in the real-time log")
                        .arg(qMax(matched, 0))
                        .arg(saved.size());
    return failures;
}

} // namespace

QString SoakResult::summary() const
{
    QString text;
    text += QStringLiteral("frames recorded         %1\n").arg(framesRecorded);
    text += QStringLiteral("frames in real-time log %1\n").arg(framesLogged);
    text += QStringLiteral("frames generated        %1 (overrun %2)\n")
                .arg(framesGenerated)
                .arg(framesOverrun);
    text += QStringLiteral("global save lines       %1\n").arg(globalSaveLines);
    text += QStringLiteral("seconds                 %1\n").arg(seconds, 0, 'f', 1);
    text += QStringLiteral("frames per second       %1 (adapter to table and log)\n")
                .arg(framesPerSecond, 0, 'f', 0);
    text += QStringLiteral("peak resident memory    %1 MB (VmHWM)\n").arg(peakResidentKb / 1024);
    text += QStringLiteral("resident, buffer full   %1 MB first time, %2 MB at the end\n")
                .arg(residentAtFirstFullKb / 1024)
                .arg(residentAtEndKb / 1024);
    text += QStringLiteral("worst GUI latency       %1 ms (%2 ms outside the global save)\n")
                .arg(worstLatencyMs, 0, 'f', 1)
                .arg(worstLatencyOutsideSaveMs, 0, 'f', 1);
    text += QStringLiteral("GUI latency percentiles 99 %: below %1 ms, 99.9 %: below %2 ms\n")
                .arg(latency99Ms)
                .arg(latency999Ms);
    text += QStringLiteral("worst pipeline lag      %1 ms (codec to log writer)\n")
                .arg(worstPipelineLagMs, 0, 'f', 0);
    text += QStringLiteral("largest table           %1 rows\n").arg(largestTable);
    text += failures.isEmpty() ? QStringLiteral("result                  PASS\n")
                               : QStringLiteral("result                  FAIL\n  ")
            + failures.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    return text;
}

namespace Soak {

FrameTally::FrameTally()
{
    const std::shared_ptr<Counts> counts = m_counts;
    QObject::connect(
        contextProtocol::instance(), &contextProtocol::signal_REP_CANFrame, &m_context,
        [counts](uchar channel, const QByteArray &, uint, uint dir) {
            if (dir == 0 && (channel == 1 || channel == 2))
                ++counts->decoded[channel - 1];
        },
        Qt::DirectConnection);
    QObject::connect(
        CAN_DataDisplaySupport::instance(), &CAN_DataDisplaySupport::signal_realTime_FrameSave,
        &m_context,
        [counts](FileSaveSupport::CAN_StructureDescription &record) {
            if (record.direction == QLatin1String("Tx"))
                ++counts->recordedTx;
            else if (record.channel == QLatin1String("1"))
                ++counts->recorded[0];
            else if (record.channel == QLatin1String("2"))
                ++counts->recorded[1];
        },
        Qt::DirectConnection);
}

void FrameTally::reset()
{
    for (int c = 0; c < 2; ++c) {
        m_counts->decoded[c] = 0;
        m_counts->recorded[c] = 0;
    }
    m_counts->recordedTx = 0;
}

qint64 peakResidentKb()
{
    return statusValueKb("VmHWM:");
}

qint64 residentKb()
{
    return statusValueKb("VmRSS:");
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        wait(10);
    }
    return true;
}

bool openAndStart(VirtualAdapter *adapter, QString *error)
{
    SerialControl *serial = SerialControl::instance();
    serial->addExtraPort(adapter->slavePath());
    serial->refreshPortList();
    DeviceManagement *panel = DeviceManagement::instance();
    auto *port = child<QComboBox>(panel, "chose_port");
    if (!waitUntil([&] { return port->findText(adapter->slavePath()) >= 0; }, 10000)) {
        *error = QStringLiteral("the device panel does not list ") + adapter->slavePath();
        return false;
    }
    port->setCurrentIndex(port->findText(adapter->slavePath()));
    child<QPushButton>(panel, "device_open")->click();
    if (!waitUntil([&] { return child<QPushButton>(panel, "device_close")->isEnabled(); }, 10000)) {
        *error = QStringLiteral("the adapter did not open");
        return false;
    }
    for (const char *name : { "channel_control_1", "channel_control_2" })
        child<QPushButton>(panel, name)->click();
    if (!waitUntil(
            [&] {
                return child<QPushButton>(panel, "channelClose1")->isEnabled()
                    && child<QPushButton>(panel, "channelClose1_2")->isEnabled();
            },
            10000)) {
        *error = QStringLiteral("the channels did not start");
        return false;
    }
    return true;
}

LogCheck checkRealTimeLog(const QString &path, bool contiguous, bool lastMayBeCut)
{
    LogCheck check;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        check.failures << QStringLiteral("cannot read ") + path;
        return check;
    }
    const QByteArray header[FileSaveSupport::HeaderLines]
        = { "date ", "base hex timestamps system\r\n", "version 1.0\r\n", "\r\n" };
    qint64 next[2] = { 0, 0 }; // the number each channel must show next (or exceed)
    quint64 lineNumber = 0;
    QByteArray pendingCut;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        ++lineNumber;
        if (!pendingCut.isEmpty()) {
            check.failures << QStringLiteral("line %1 is cut short: %2")
                                  .arg(lineNumber - 1)
                                  .arg(QString::fromLatin1(pendingCut));
            pendingCut.clear();
        }
        if (!line.endsWith("\r\n")) {
            pendingCut = line.isEmpty() ? QByteArray(" ") : line;
            continue;
        }
        if (lineNumber <= FileSaveSupport::HeaderLines) {
            if (!line.startsWith(header[lineNumber - 1]))
                check.failures << QStringLiteral("header line %1 wrong").arg(lineNumber);
            continue;
        }
        const QList<QByteArray> fields = line.chopped(2).split(' ');
        if (fields.size() < 7 || fields.at(0).size() != 12) {
            check.failures << QStringLiteral("line %1 malformed").arg(lineNumber);
            continue;
        }
        if (fields.at(4) == "Tx") {
            ++check.txLines;
            continue;
        }
        const int channel = fields.at(1).toInt();
        quint64 sequence = 0;
        if (fields.at(4) != "Rx" || (channel != 1 && channel != 2)
            || !sequenceOf(fields, &sequence)) {
            check.failures << QStringLiteral("line %1 is no numbered frame: %2")
                                  .arg(lineNumber)
                                  .arg(QString::fromLatin1(line.chopped(2)));
            continue;
        }
        qint64 &expected = next[channel - 1];
        if (qint64(sequence) < expected || (contiguous && qint64(sequence) != expected)) {
            if (check.failures.size() < 20)
                check.failures << QStringLiteral("channel %1: frame %2 where %3 was due (line %4)")
                                      .arg(channel)
                                      .arg(sequence)
                                      .arg(expected)
                                      .arg(lineNumber);
        }
        expected = qint64(sequence) + 1;
        ++check.lines[channel - 1];
    }
    if (!pendingCut.isEmpty()) {
        check.lastLineCut = true;
        if (!lastMayBeCut)
            check.failures << QStringLiteral("the last line is cut short");
    }
    if (lineNumber < FileSaveSupport::HeaderLines)
        check.failures << QStringLiteral("the log has no header");
    return check;
}

SoakResult run(const SoakOptions &options)
{
    SoakResult result;
    QDir().mkpath(options.folder);
    result.realTimeLog = QDir(options.folder).filePath(QStringLiteral("soak-realtime.txt"));
    const QString globalPath = QDir(options.folder).filePath(QStringLiteral("soak-global.txt"));
    QFile::remove(globalPath);

    VirtualAdapter adapter;
    adapter.setSequenceNumbers(true);
    adapter.setBusLimit(false);
    adapter.setLoopback(false);
    QString error;
    if (!adapter.start(&error)) {
        result.failures << QStringLiteral("virtual adapter: ") + error;
        return result;
    }

    CAN_DataDisplaySupport *display = CAN_DataDisplaySupport::instance();
    FrameTally tally;
    FrameTally *counters = &tally;

    LatencyProbe latency;
    QObject::connect(display->fileSaveSupport(), &FileSaveSupport::signal_processSet, &latency,
                     [&latency](int value) { latency.setSaving(value < 100); });
    PipelineMarker marker;

    auto window = std::make_unique<RAZOradurodMainWindow>();
    window->show();
    CANView_Widget *view = window->receiveView();
    CANTableWidget *table = view->table();
    const QString realTimePath = result.realTimeLog;
    view->setFileNameProvider([realTimePath] { return realTimePath; });
    child<QPushButton>(view, "Button_saveOnTime")->click();
    if (!display->fileSaveSupport()->isRealTimeSaving())
        result.failures << QStringLiteral("real-time saving did not start");

    const auto finish = [&] {
        latency.stop();
        if (display->fileSaveSupport()->isRealTimeSaving())
            child<QPushButton>(view, "Button_saveOnTime")->click();
        if (child<QPushButton>(DeviceManagement::instance(), "device_close")->isEnabled())
            child<QPushButton>(DeviceManagement::instance(), "device_close")->click();
        SerialControl::instance()->removeExtraPort(adapter.slavePath());
        window.reset();
    };

    if (!openAndStart(&adapter, &error)) {
        result.failures << error;
        finish();
        return result;
    }
    // Counting starts from a clear buffer so that the first frame is number 0 on both channels.
    latency.start();
    adapter.setFrameRate(options.ratePerChannel);

    struct Step
    {
        double at;
        std::function<void()> act;
        bool done = false;
    };
    QPushButton *pause = child<QPushButton>(view, "Button_pause");
    QPushButton *clear = child<QPushButton>(view, "button_clear");
    QComboBox *timeColumn = child<QComboBox>(view, "comboBox");
    // Taken on the display thread: the clear's count as the clear is carried out at its place
    // among the frames, the save's right behind its request (the copy takes in every frame that
    // came before it), so both count what the buffer held then.
    std::atomic<quint64> recordedAtClear { 0 };
    std::atomic<bool> clearAsked { false };
    QObject clearWatch;
    QObject::connect(
        display, &CAN_DataDisplaySupport::signal_HistoryCleared, &clearWatch,
        [&clearAsked, &recordedAtClear, counters] {
            if (clearAsked.exchange(false))
                recordedAtClear = counters->recordedRx();
        },
        Qt::DirectConnection);
    std::atomic<quint64> recordedAtSave { 0 };
    std::atomic<quint64> clearBeforeSave { 0 };
    const auto countBehindRequest = [display, counters](std::atomic<quint64> *target) {
        QMetaObject::invokeMethod(
            display, [counters, target] { *target = counters->recordedRx(); },
            Qt::QueuedConnection);
    };
    bool globalSaveAsked = false;
    QVector<Step> steps;
    if (options.scenario && options.frames > 0) {
        const auto clearNow = [&] {
            clearAsked = true;
            clear->click();
        };
        steps = {
            { 0.10, [&] { pause->click(); } },
            { 0.13,
              [&] {
                  table->idEdit->setText(QStringLiteral("0x"));
                  table->channelEdit->setText(QStringLiteral("2"));
              } },
            { 0.16, [&] { pause->click(); } },
            { 0.20, [&] { table->dataEdit->setText(QStringLiteral(" 00 ")); } },
            { 0.25,
              [&] {
                  table->idEdit->clear();
                  table->channelEdit->clear();
                  table->dataEdit->clear();
              } },
            { 0.30, clearNow },
            { 0.50,
              [&] {
                  clearBeforeSave = recordedAtClear.load();
                  globalSaveAsked = true;
                  view->setFileNameProvider([globalPath] { return globalPath; });
                  child<QPushButton>(view, "button_save")->click();
                  countBehindRequest(&recordedAtSave);
                  view->setFileNameProvider([realTimePath] { return realTimePath; });
              } },
            { 0.55,
              [&] {
                  timeColumn->setCurrentIndex(1);
                  table->timeEdit->setText(QStringLiteral("0"));
              } },
            { 0.60,
              [&] {
                  table->timeEdit->clear();
                  timeColumn->setCurrentIndex(0);
              } },
            { 0.70, [&] { pause->click(); } },
            { 0.72, clearNow },
            { 0.75, [&] { pause->click(); } },
        };
    }

    QElapsedTimer clock;
    clock.start();
    qint64 nextProgress = 0;
    qint64 nextStatus = 1000;
    qint64 firstFrameMs = -1;
    quint64 lastStatusRecorded = 0;
    for (;;) {
        wait(20);
        const quint64 recorded = counters->recordedRx();
        const qint64 now = clock.elapsed();
        if (firstFrameMs < 0 && recorded > 0)
            firstFrameMs = now;
        if (options.progress && now >= nextProgress) {
            options.progress(recorded);
            nextProgress = now + 100;
        }
        if (options.frames > 0) {
            for (Step &step : steps) {
                if (!step.done && recorded >= quint64(step.at * double(options.frames))) {
                    step.done = true;
                    step.act();
                }
            }
        }
        if (result.residentAtFirstFullKb == 0
            && recorded - recordedAtClear.load() >= quint64(display->maxBuffSize()))
            result.residentAtFirstFullKb = residentKb();
        result.largestTable = qMax(result.largestTable, table->model()->rowCount());
        if (!marker.outstanding())
            marker.send(display);
        if (now >= nextStatus) {
            if (options.status) {
                const AdapterStatistics stats = adapter.statistics();
                options.status(
                    QStringLiteral("%1 s: recorded %2 (%3/s), overrun %4, lag %5 ms, rss %6 MB, "
                                   "worst latency %7 ms at %8 s")
                        .arg(now / 1000)
                        .arg(recorded)
                        .arg(recorded - lastStatusRecorded)
                        .arg(stats.framesOverrun)
                        .arg(qMax(marker.worstLagMs, marker.pendingMs()), 0, 'f', 0)
                        .arg(residentKb() / 1024)
                        .arg(latency.worstMs, 0, 'f', 1)
                        .arg(latency.worstAtMs / 1000, 0, 'f', 2));
            }
            lastStatusRecorded = recorded;
            nextStatus = now + 1000;
        }
        if (options.frames > 0 && recorded >= options.frames)
            break;
    }

    // Stop the traffic and let every frame the adapter sent travel through to the log.
    adapter.setFrameRate(0);
    const bool settled = waitUntil(
        [&] {
            if (!adapter.settingsInEffect())
                return false;
            const AdapterStatistics stats = adapter.statistics();
            const quint64 sent
                = stats.framesGenerated[0] + stats.framesGenerated[1] - stats.framesOverrun;
            return counters->decodedTotal() == sent && counters->recordedRx() == sent;
        },
        120000);
    if (!settled)
        result.failures << QStringLiteral("frames the adapter sent never reached the buffer");
    // A marker sent now comes back behind the last frame's log line.
    waitUntil([&] { return !marker.outstanding(); }, 120000);
    marker.send(display);
    waitUntil([&] { return !marker.outstanding(); }, 120000);
    const qint64 lastFrameMs = clock.elapsed();
    if (globalSaveAsked)
        waitUntil([&] { return !display->fileSaveSupport()->progressWindow()->isVisible(); },
                  120000);

    const AdapterStatistics stats = adapter.statistics();
    result.framesGenerated = stats.framesGenerated[0] + stats.framesGenerated[1];
    result.framesOverrun = stats.framesOverrun;
    result.framesRecorded = counters->recordedRx();
    result.worstLatencyMs = latency.worstMs;
    result.worstLatencyOutsideSaveMs = latency.worstOutsideSaveMs;
    result.latency99Ms = latency.percentileMs(0.99);
    result.latency999Ms = latency.percentileMs(0.999);
    result.worstPipelineLagMs = marker.worstLagMs;
    result.seconds = double(lastFrameMs - qMax<qint64>(firstFrameMs, 0)) / 1000.0;
    result.framesPerSecond
        = result.seconds > 0 ? double(result.framesRecorded) / result.seconds : 0;
    result.residentAtEndKb = residentKb();
    result.peakResidentKb = peakResidentKb();

    finish();

    if (result.largestTable > display->maxViewSize())
        result.failures << QStringLiteral("the table held %1 rows").arg(result.largestTable);
    if (counters->decodedTotal() != result.framesRecorded)
        result.failures << QStringLiteral("codec decoded %1 frames, buffer recorded %2")
                               .arg(counters->decodedTotal())
                               .arg(result.framesRecorded);

    const LogCheck log = checkRealTimeLog(result.realTimeLog, result.framesOverrun == 0, false);
    result.failures += log.failures;
    result.framesLogged = log.lines[0] + log.lines[1];
    for (int c = 0; c < 2; ++c) {
        if (log.lines[c] != counters->recorded(c + 1))
            result.failures << QStringLiteral("channel %1: %2 frames recorded, %3 in the log")
                                   .arg(c + 1)
                                   .arg(counters->recorded(c + 1))
                                   .arg(log.lines[c]);
    }
    if (result.framesLogged != result.framesGenerated - result.framesOverrun)
        result.failures << QStringLiteral("the adapter sent %1 frames, the log holds %2")
                               .arg(result.framesGenerated - result.framesOverrun)
                               .arg(result.framesLogged);

    if (globalSaveAsked) {
        result.failures += checkGlobalSave(globalPath, result.realTimeLog, &result.globalSaveLines);
        const quint64 limit = quint64(display->maxBuffSize());
        if (result.globalSaveLines > limit)
            result.failures << QStringLiteral("the global save holds %1 frames, more than the "
                                              "buffer may keep")
                                   .arg(result.globalSaveLines);
        // A frame or two may slip in between a request and the count taken behind it.
        constexpr quint64 Slack = 100;
        const quint64 sinceClear = recordedAtSave - clearBeforeSave;
        const quint64 least = qMin(sinceClear, limit - CAN_DataDisplaySupport::TrimCount);
        if (result.globalSaveLines + Slack < least || result.globalSaveLines > sinceClear + Slack)
            result.failures << QStringLiteral("the global save holds %1 frames, the buffer had %2 "
                                              "since the clear")
                                   .arg(result.globalSaveLines)
                                   .arg(sinceClear);
    }
    return result;
}

int findSustainedRate(const QString &folder, const std::function<void(const QString &)> &status)
{
    int best = 0;
    for (int rate : { 5000, 10000, 15000, 20000, 25000, 30000, 40000, 50000, 65000, 80000 }) {
        SoakOptions options;
        options.frames = quint64(rate) * 2 * 8;
        options.ratePerChannel = rate;
        options.folder = folder;
        options.scenario = false;
        const SoakResult step = run(options);
        QFile::remove(step.realTimeLog);
        const bool keptUp = step.ok() && step.framesOverrun == 0 && step.worstPipelineLagMs < 1000
            && step.framesPerSecond >= 0.9 * 2 * rate;
        if (status) {
            status(QStringLiteral("rate %1/s per channel: %2 frames/s end to end, overrun %3, "
                                  "lag %4 ms, latency %5 ms: %6")
                       .arg(rate)
                       .arg(step.framesPerSecond, 0, 'f', 0)
                       .arg(step.framesOverrun)
                       .arg(step.worstPipelineLagMs, 0, 'f', 0)
                       .arg(step.worstLatencyMs, 0, 'f', 1)
                       .arg(keptUp ? QStringLiteral("kept up") : QStringLiteral("fell behind")));
        }
        if (!keptUp)
            break;
        best = rate;
    }
    return best;
}

} // namespace Soak
