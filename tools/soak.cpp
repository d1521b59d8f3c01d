// soak: the whole analyser in one process against the virtual adapter on the real serial path,
// for millions of sequence-numbered frames, with real-time saving on, a global save half-way,
// pause, filter changes and clears. Checks the real-time log frame by frame afterwards and reports
// the end-to-end frame rate, peak resident memory and the worst GUI event-loop latency.
//
//   soak [--frames N] [--rate R | --find-rate] [--folder DIR] [--keep] [--plain]
//     --frames N    frames to record over both channels (default 10000000)
//     --rate R      frames per second on each channel (default: the rate --find-rate finds)
//     --find-rate   step the rate up in short runs until the analyser falls behind, then stop
//     --folder DIR  where the logs go (default: a temporary folder, removed unless --keep)
//     --plain       frames only: no pause, filter changes, clears or global save (for CPU figures)
// Runs without a display (offscreen) and with private settings. Exit code 0 when every check
// passed. Run it niced on a shared machine: it keeps every core busy.

#include "support/soakrun.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {
QTextStream out(stdout);

void say(const QString &line)
{
    out << line << Qt::endl;
}
} // namespace

int main(int argc, char *argv[])
{
    ProgramTool tool(argc, argv);

    SoakOptions options;
    options.ratePerChannel = 0;
    bool findOnly = false;
    bool keep = false;
    QString folder;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--frames") && hasValue) {
            options.frames = args.at(++i).toULongLong();
        } else if (arg == QLatin1String("--rate") && hasValue) {
            options.ratePerChannel = args.at(++i).toInt();
        } else if (arg == QLatin1String("--find-rate")) {
            findOnly = true;
        } else if (arg == QLatin1String("--folder") && hasValue) {
            folder = args.at(++i);
        } else if (arg == QLatin1String("--keep")) {
            keep = true;
        } else if (arg == QLatin1String("--plain")) {
            options.scenario = false;
        } else {
            say(QStringLiteral("usage: soak [--frames N] [--rate R | --find-rate] [--folder DIR] "
                               "[--keep] [--plain]"));
            return 2;
        }
    }

    QTemporaryDir scratch;
    scratch.setAutoRemove(!keep);
    options.folder = folder.isEmpty() ? scratch.path() : folder;
    options.status = say;

    if (findOnly || options.ratePerChannel <= 0) {
        const int rate = Soak::findSustainedRate(options.folder, say);
        say(QStringLiteral("highest sustained rate: %1 frames/s per channel").arg(rate));
        if (findOnly)
            return rate > 0 ? 0 : 1;
        options.ratePerChannel = rate > 0 ? rate : 1000;
    }

    say(QStringLiteral("soak: %1 frames at %2 frames/s per channel, logs in %3")
            .arg(options.frames)
            .arg(options.ratePerChannel)
            .arg(options.folder));
    const SoakResult result = Soak::run(options);
    out << result.summary();
    out.flush();
    if (!keep && folder.isEmpty())
        QFile::remove(result.realTimeLog);
    return result.ok() ? 0 : 1;
}
