// Deep history benchmark: a candump log of many frames (10,000,000 unless told otherwise) is opened
// through the receive view as the user does, with the history sized to hold it, as
// `rcan-tools --history N FILE` does, in the whole program's window. Prints the resident memory
// empty and with the history full, the seconds until the first rows show and until the whole file
// is in, how late a 5 ms timer on the GUI thread fired meanwhile, the seconds a filter change takes
// over the full history and the seconds a global save of it takes. One line per figure, with its
// target and the load average.
//
//   bench-history [frames] [history size] [--log FILE]
//     history size  defaults to the frame count
//     --log FILE    opens FILE if it exists (written by an earlier run with the same frame count),
//                   else writes it there and keeps it; without it the log goes to a temporary
//                   folder

#include "app/razoradurodmainwindow.h"
#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/logloader.h"
#include "recording/filesavesupport.h"
#include "support/soakrun.h"
#include "tools/benchlog.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
constexpr qint64 DefaultFrames = 10000000;
// The table's identifier column.
constexpr int IdColumn = 3;

void report(const char *what, double value, const char *unit, const char *target, bool ok)
{
    std::printf("%-52s %11.2f %-6s target %-10s %-6s load %s\n", what, value, unit, target,
                ok ? "ok" : "MISSED", BenchLog::loadAverage().constData());
    std::fflush(stdout);
}

void note(const QString &text)
{
    std::printf("  %s\n", qPrintable(text));
    std::fflush(stdout);
}

// How late a 5 ms timer on the GUI thread fires while it runs: each tick is timed from the moment
// its timer was started, so a late tick does not hide the next one's delay.
class LatencyProbe
{
public:
    static constexpr int IntervalMs = 5;

    LatencyProbe()
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            m_late.push_back(std::max(0.0, m_clock.nsecsElapsed() / 1e6 - IntervalMs));
            arm();
        });
    }
    void start()
    {
        m_late.clear();
        arm();
    }
    void stop() { m_timer.stop(); }
    int ticks() const { return int(m_late.size()); }
    double percentile(double p) const
    {
        if (m_late.empty())
            return 0;
        std::vector<double> sorted = m_late;
        std::sort(sorted.begin(), sorted.end());
        return sorted.at(std::min(sorted.size() - 1, std::size_t(p * double(sorted.size()))));
    }
    double worst() const
    {
        return m_late.empty() ? 0 : *std::max_element(m_late.begin(), m_late.end());
    }
    void print(const char *during) const
    {
        std::printf("%-52s p50 %.1f ms  p99 %.1f ms  max %.1f ms  (%d ticks)\n", during,
                    percentile(0.5), percentile(0.99), worst(), ticks());
    }

private:
    void arm()
    {
        m_clock.start();
        m_timer.start(IntervalMs);
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<double> m_late;
};

struct HeapUse
{
    double inUse = 0;
    double free = 0;
};

// Returns free heap to the system first, so that the resident size read next is what is in use.
HeapUse heapUse()
{
    HeapUse use;
#ifdef __GLIBC__
    const struct mallinfo2 before = mallinfo2();
    use.free = double(before.fordblks);
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    use.inUse = double(info.uordblks + info.hblkhd);
#endif
    return use;
}

QString idText(QAbstractItemModel *model, int row)
{
    return model->data(model->index(row, IdColumn)).toString();
}
} // namespace

int main(int argc, char **argv)
{
    ProgramTool tool(argc, argv);

    qint64 frames = DefaultFrames;
    qint64 history = -1;
    QString logPath;
    const QStringList args = QCoreApplication::arguments();
    int positional = 0;
    for (int i = 1; i < args.size(); ++i) {
        bool ok = true;
        if (args.at(i) == QLatin1String("--log") && i + 1 < args.size())
            logPath = args.at(++i);
        else if (positional == 0 && !args.at(i).startsWith(QLatin1Char('-')))
            frames = args.at(i).toLongLong(&ok), ++positional;
        else if (positional == 1 && !args.at(i).startsWith(QLatin1Char('-')))
            history = args.at(i).toLongLong(&ok), ++positional;
        else
            ok = false;
        if (!ok || frames <= 0) {
            std::fprintf(stderr, "usage: bench-history [frames] [history size] [--log FILE]\n");
            return 2;
        }
    }
    if (history <= 0)
        history = frames;

    QTemporaryDir dir;
    CAN_DataDisplaySupport *display = CAN_DataDisplaySupport::instance();
    // As --history does before the file is opened.
    display->setMaxBuffSize(int(qMin<qint64>(history, INT_MAX)));
    // The whole program, so that its empty size is the user's.
    RAZOradurodMainWindow window;
    window.show();
    CANView_Widget &view = *window.receiveView();
    view.setUserPrompts([](const QString &text) { note(QStringLiteral("message: ") + text); },
                        [](const QString &) { return true; });
    QAbstractItemModel *model = view.table()->tableView->model();
    Soak::wait(500);
    std::printf("bench-history: %lld frames, history size %d, load average at start %s\n",
                static_cast<long long>(frames), display->maxBuffSize(),
                BenchLog::loadAverage().constData());
    const long emptyKb = BenchLog::statusKb("VmRSS:");
    report("RSS, empty program (MB)", emptyKb / 1024.0, "MB", "(info)", true);

    // The log, unless an earlier run left it.
    if (logPath.isEmpty())
        logPath = dir.filePath(QStringLiteral("history.log"));
    QElapsedTimer timer;
    if (!QFileInfo::exists(logPath)) {
        timer.start();
        if (!BenchLog::writeLog(logPath, LogFormat::Candump, frames)) {
            std::printf("cannot write %s\n", qPrintable(logPath));
            return 1;
        }
        report("writing the candump log (s, not a program figure)", timer.nsecsElapsed() / 1e9, "s",
               "(info)", true);
    }
    std::printf("  log %s, %lld bytes\n", qPrintable(logPath),
                static_cast<long long>(QFileInfo(logPath).size()));

    // Opening, from an empty table.
    LatencyProbe probe;
    LogLoadResult loaded;
    bool finished = false;
    double first = -1;
    QObject context;
    QObject::connect(view.logLoader(), &LogLoader::finished, &context,
                     [&](const LogLoadResult &result) {
                         loaded = result;
                         finished = true;
                     });
    const auto seeRows = [&] {
        if (first < 0 && model->rowCount() > 0)
            first = timer.nsecsElapsed() / 1e9;
    };
    QObject::connect(model, &QAbstractItemModel::modelReset, &context, seeRows);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &context, seeRows);
    BenchLog::resetPeak();
    probe.start();
    timer.start();
    view.openLogFile(logPath);
    const bool whole = Soak::waitUntil(
        [&] {
            seeRows();
            const CAN_DataDisplaySupport::Counts counts = display->counts();
            return finished && counts.recv + counts.send == loaded.read.frames
                && model->rowCount() == qMin<qint64>(display->maxViewSize(), loaded.kept);
        },
        600000);
    const double all = timer.nsecsElapsed() / 1e9;
    probe.stop();
    if (!whole)
        std::printf("  time-out: the load did not end within 600 s\n");
    std::printf("  read %lld frames, %lld kept in the history, %lld dropped\n",
                static_cast<long long>(loaded.read.frames), static_cast<long long>(loaded.kept),
                static_cast<long long>(loaded.dropped));
    report("open: first rows shown (s)", first, "s", "<= 0.5", first >= 0 && first <= 0.5);
    report("open: whole history in (s)", all, "s", "<= 10", whole && all <= 10);
    report("open: GUI latency p99 (ms)", probe.percentile(0.99), "ms", "<= 20",
           probe.percentile(0.99) <= 20);
    probe.print("  open: GUI latency");

    // Memory with the history full, once the load's leftovers have gone.
    Soak::wait(1000);
    const long peakKb = BenchLog::statusKb("VmHWM:");
    const long fullKb = BenchLog::statusKb("VmRSS:");
    const qint64 held = qMax<qint64>(1, loaded.kept);
    const double perFrame = double(fullKb - emptyKb) * 1024.0 / double(held);
    report("RSS, history full (MB)", fullKb / 1024.0, "MB", "<= 800", fullKb <= 800 * 1024);
    report("RSS above the empty program per frame held (bytes)", perFrame, "bytes", "<= 64",
           perFrame <= 64);
    report("peak RSS during the load (MB)", peakKb / 1024.0, "MB", "(info)", true);
    // What of that the records and the rest really use, and what the allocator only keeps.
    const HeapUse heap = heapUse();
    std::printf("  heap in use %.1f MB, %.1f MB free but kept; RSS once the allocator gives back "
                "what it can %.1f MB\n",
                heap.inUse / 1048576.0, heap.free / 1048576.0,
                BenchLog::statusKb("VmRSS:") / 1024.0);

    // Filter changes over the full history: each counts until the table shows the new rows.
    struct FilterCase
    {
        const char *what;
        QString text;
        std::function<bool()> shown;
    };
    const auto allRows = [&](const QString &id) {
        const int rows = model->rowCount();
        return rows > 0 && idText(model, 0) == id && idText(model, rows - 1) == id;
    };
    const auto unfiltered = [&] {
        const int rows = model->rowCount();
        if (rows != qMin<qint64>(display->maxViewSize(), loaded.kept))
            return false;
        for (int row = 0; row < qMin(rows, 50); ++row) {
            if (idText(model, row) != BenchLog::rareIdText())
                return true;
        }
        return false;
    };
    const FilterCase filters[] = {
        { "filter: identifier of one frame in 50 (s)", BenchLog::rareIdText(),
          [&] { return allRows(BenchLog::rareIdText()); } },
        { "filter: identifier matching none (s)", QStringLiteral("0x7ff"),
          [&] { return model->rowCount() == 0; } },
        { "filter: cleared again (s)", QString(), unfiltered },
    };
    for (const FilterCase &filter : filters) {
        Soak::wait(500);
        probe.start();
        timer.start();
        // As if pasted into the identifier filter.
        view.table()->idEdit->setText(filter.text);
        const bool shown = Soak::waitUntil(filter.shown, 120000);
        const double seconds = timer.nsecsElapsed() / 1e9;
        probe.stop();
        report(filter.what, seconds, "s", "<= 1", shown && seconds <= 1);
        std::printf("  %d rows shown%s; GUI latency p99 %.1f ms, max %.1f ms\n", model->rowCount(),
                    shown ? "" : " (time-out)", probe.percentile(0.99), probe.worst());
    }

    // Global save in the native format, as the save button does once the user chose a file.
    Soak::wait(500);
    FileSaveSupport *writer = display->fileSaveSupport();
    const QString savePath = dir.filePath(QStringLiteral("global.txt"));
    writer->setGlobalSavePath(savePath);
    bool saved = false;
    QString failure;
    QObject::connect(writer, &FileSaveSupport::signal_processSet, &context, [&](int percent) {
        // The file takes its name only once whole.
        if (percent == 100 && QFileInfo::exists(savePath))
            saved = true;
    });
    QObject::connect(writer, &FileSaveSupport::signal_globalSaveFailed, &context,
                     [&](const QString &, const QString &reason) { failure = reason; });
    probe.start();
    timer.start();
    QMetaObject::invokeMethod(
        display, [display] { display->copyForGlobalSave(); }, Qt::QueuedConnection);
    const bool done = Soak::waitUntil([&] { return saved || !failure.isEmpty(); }, 600000);
    const double saveSeconds = timer.nsecsElapsed() / 1e9;
    probe.stop();
    if (!failure.isEmpty())
        std::printf("  the save failed: %s\n", qPrintable(failure));
    report("global save of the history (s)", saveSeconds, "s", "<= 10",
           done && saved && saveSeconds <= 10);
    std::printf("  %lld bytes written; GUI latency p99 %.1f ms, max %.1f ms\n",
                static_cast<long long>(QFileInfo(savePath).size()), probe.percentile(0.99),
                probe.worst());
    QFile::remove(savePath);
    std::printf("load average at the end %s\n", BenchLog::loadAverage().constData());
    return 0;
}
