// Log opening benchmark: a file of 1,000,000 frames in each format is opened through the receive
// view as the user does. Prints the seconds until the first frames show in the table, the seconds
// until the whole file is in, and the process's peak resident memory during that load.

#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/logloader.h"
#include "recording/logcodec.h"
#include "recording/logfilereader.h"
#include "tools/benchlog.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {
constexpr int Frames = 1000000;

} // namespace

int main(int argc, char **argv)
{
    ToolEnvironment::quietOffscreen();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    CANView_Widget view;
    view.setUserPrompts(
        [](const QString &text) { std::printf("  message: %s\n", qPrintable(text)); },
        [](const QString &) { return true; });
    view.resize(1200, 700);
    view.show();
    CAN_DataDisplaySupport *display = CAN_DataDisplaySupport::instance();
    QAbstractItemModel *model = view.table()->tableView->model();

    const char *names[] = { "native", "candump", "asc", "trc", "candump-x" };
    for (int f = 0; f < LogCodec::FormatCount; ++f) {
        const LogFormat format = LogCodec::formatAt(f);
        const QString path = dir.filePath(QStringLiteral("bench") + LogCodec::suffix(format));
        BenchLog::writeLog(path, format, Frames);
        QCoreApplication::processEvents();
        view.findChild<QPushButton *>(QStringLiteral("button_clear"))->click();
        while (model->rowCount() > 0 || display->counts().recv + display->counts().send > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        BenchLog::resetPeak();
        const long before = BenchLog::statusKb("VmRSS:");

        bool finished = false;
        QObject context;
        QObject::connect(view.logLoader(), &LogLoader::finished, &context,
                         [&](const LogLoadResult &) { finished = true; });
        QElapsedTimer timer;
        timer.start();
        // Starts from an empty table, so the first reset with rows shows the file's frames.
        double first = -1;
        QObject::connect(model, &QAbstractItemModel::modelReset, &context, [&] {
            if (first < 0 && model->rowCount() > 0)
                first = timer.nsecsElapsed() / 1e9;
        });
        view.openLogFile(path);
        while (true) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            const CAN_DataDisplaySupport::Counts counts = display->counts();
            if (finished && counts.recv + counts.send == Frames
                && model->rowCount() == display->maxViewSize())
                break;
            if (timer.elapsed() > 120000) {
                std::printf("  time-out\n");
                break;
            }
        }
        const double end = timer.nsecsElapsed() / 1e9;
        std::printf("%-8s %9lld bytes  first frames %5.2f s  all %5.2f s  target <= 3 s %s  "
                    "peak RSS %ld MB (%ld MB before)\n",
                    names[f], static_cast<long long>(QFile(path).size()), first, end,
                    end <= 3.0 ? "ok" : "MISSED", BenchLog::statusKb("VmHWM:") / 1024,
                    before / 1024);
        std::fflush(stdout);

        // Reading alone, without turning frames into records.
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        timer.restart();
        const LogReadResult read = LogFileReader::read(file, [](const LogFrame &) { return true; });
        std::printf("%-8s reading alone %5.2f s (%lld frames)\n", names[f],
                    timer.nsecsElapsed() / 1e9, static_cast<long long>(read.frames));
        QFile::remove(path);
    }

    // More frames than the history holds: the newest million stay and the user is told.
    const QString big = dir.filePath(QStringLiteral("big.log"));
    BenchLog::writeLog(big, LogFormat::Candump, Frames + 50000);
    bool finished = false;
    QObject context;
    QObject::connect(view.logLoader(), &LogLoader::finished, &context,
                     [&](const LogLoadResult &result) {
                         finished = true;
                         std::printf("candump, %d frames: %lld kept, %lld dropped\n",
                                     Frames + 50000, static_cast<long long>(result.kept),
                                     static_cast<long long>(result.dropped));
                     });
    view.openLogFile(big);
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return 0;
}
