// rcan-sim: runs the virtual RCAN-U01 adapter on a pseudo-terminal and prints the serial
// device path to open (first line of standard output, alone). Options set traffic and
// faults at start; lines typed on standard input change them while it runs.

#include "simulator/virtualadapter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool parseSwitch(const QString &text, bool *on)
{
    if (text == QLatin1String("on") || text == QLatin1String("1"))
        *on = true;
    else if (text == QLatin1String("off") || text == QLatin1String("0"))
        *on = false;
    else
        return false;
    return true;
}

void printStatistics(const VirtualAdapter &adapter)
{
    const AdapterStatistics s = adapter.statistics();
    err() << "generated ch1 " << s.framesGenerated[0] << " ch2 " << s.framesGenerated[1]
          << ", overrun " << s.framesOverrun << ", host sends " << s.framesSent << ", records "
          << s.recordsOut << ", bytes " << adapter.bytesWritten() << ", commands " << s.commandsIn
          << Qt::endl;
}

const char *const Commands
    = "commands: rate [1|2] N, loopback on|off, sequence on|off, buslimit on|off, errors N,\n"
      "          linklimit on|off, silent on|off, refuse on|off, garbage N, drop N, stray N,\n"
      "          unknown N, channels N, prestream on|off, unplug, stats, quit\n";

// One line from standard input; returns false for an unknown command.
bool runCommand(VirtualAdapter &adapter, const QString &line)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    const QString &command = words.first();
    const QString arg = words.value(1);
    bool on = false;
    bool ok = false;
    const int number = arg.toInt(&ok);

    if (command == QLatin1String("rate") && ok) {
        if (words.size() >= 3)
            adapter.setFrameRate(number, words.at(2).toInt());
        else
            adapter.setFrameRate(number);
    } else if (command == QLatin1String("errors")) {
        adapter.setErrorFrameRate(arg.toDouble());
    } else if (command == QLatin1String("garbage") && ok) {
        adapter.setGarbageEvery(number);
    } else if (command == QLatin1String("drop") && ok) {
        adapter.setDropEvery(number);
    } else if (command == QLatin1String("stray") && ok) {
        adapter.setStrayAfterConfirmationEvery(number);
    } else if (command == QLatin1String("unknown") && ok) {
        adapter.setUnknownEvery(number);
    } else if (command == QLatin1String("channels") && ok) {
        adapter.setChannelCount(number);
    } else if (command == QLatin1String("unplug")) {
        adapter.unplug();
        err() << "unplugged" << Qt::endl;
    } else if (command == QLatin1String("stats")) {
        printStatistics(adapter);
    } else if (command == QLatin1String("quit")) {
        QCoreApplication::quit();
    } else if (parseSwitch(arg, &on)) {
        if (command == QLatin1String("loopback"))
            adapter.setLoopback(on);
        else if (command == QLatin1String("sequence"))
            adapter.setSequenceNumbers(on);
        else if (command == QLatin1String("buslimit"))
            adapter.setBusLimit(on);
        else if (command == QLatin1String("linklimit"))
            adapter.setLinkRateLimit(on);
        else if (command == QLatin1String("silent"))
            adapter.setFault(VirtualAdapter::Fault::Silent, on);
        else if (command == QLatin1String("refuse"))
            adapter.setFault(VirtualAdapter::Fault::Refuse, on);
        else if (command == QLatin1String("prestream"))
            adapter.setFault(VirtualAdapter::Fault::StreamBeforeOpen, on);
        else
            return false;
    } else {
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rcan-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Virtual RCAN-U01 adapter on a pseudo-terminal. Prints the device path "
                       "to open, then reads commands from standard input."));
    parser.addHelpOption();
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Frames per second per started channel."),
                                  QStringLiteral("n"), QStringLiteral("100"));
    const QCommandLineOption rate1(QStringLiteral("rate1"),
                                   QStringLiteral("Frames per second on channel 1."),
                                   QStringLiteral("n"));
    const QCommandLineOption rate2(QStringLiteral("rate2"),
                                   QStringLiteral("Frames per second on channel 2."),
                                   QStringLiteral("n"));
    const QCommandLineOption noLoopback(
        QStringLiteral("no-loopback"),
        QStringLiteral("Do not receive a sent frame on the other channel."));
    const QCommandLineOption sequence(
        QStringLiteral("sequence"),
        QStringLiteral("Generated frames carry a 64-bit running count (little-endian) as data."));
    const QCommandLineOption noBusLimit(
        QStringLiteral("no-bus-limit"),
        QStringLiteral(
            "Generate the full rate even past the bus capacity (load may exceed 100%)."));
    const QCommandLineOption errors(QStringLiteral("errors"),
                                    QStringLiteral("Error frames per second per channel."),
                                    QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption linkLimit(
        QStringLiteral("link-limit"),
        QStringLiteral("Pace output like the real 460800 baud link (~2300 records/s)."));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Fault: answer no command."));
    const QCommandLineOption refuse(QStringLiteral("refuse"),
                                    QStringLiteral("Fault: fail every send and bit-rate request."));
    const QCommandLineOption channels(QStringLiteral("channels"),
                                      QStringLiteral("Fault: channel count reported on open."),
                                      QStringLiteral("n"), QStringLiteral("2"));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Fault: stray bytes after every n-th record."),
                                     QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption drop(QStringLiteral("drop"),
                                  QStringLiteral("Fault: lose one byte of every n-th record."),
                                  QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption stray(
        QStringLiteral("stray-after-send"),
        QStringLiteral("Fault: stray bytes after every n-th send confirmation."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption unknown(
        QStringLiteral("unknown"),
        QStringLiteral("Fault: a record of an unknown kind after every n-th record."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption preStream(
        QStringLiteral("stream-before-open"),
        QStringLiteral("Fault: both channels stream at 1000 kbps before the port is opened."));
    const QCommandLineOption unplugAfter(
        QStringLiteral("unplug-after"),
        QStringLiteral("Fault: close the pseudo-terminal after this many seconds."),
        QStringLiteral("seconds"));
    const QCommandLineOption clockStart(
        QStringLiteral("clock-start"),
        QStringLiteral("Device clock at start, in 0.1 ms (e.g. 4294900000 to see the wrap)."),
        QStringLiteral("ticks"), QStringLiteral("0"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the generated traffic."),
                                  QStringLiteral("n"), QStringLiteral("1592647661"));
    const QCommandLineOption stats(QStringLiteral("stats"),
                                   QStringLiteral("Print statistics every second."));
    parser.addOptions({ rate,      rate1,     rate2,       noLoopback, sequence, noBusLimit, errors,
                        linkLimit, silent,    refuse,      channels,   garbage,  drop,       stray,
                        unknown,   preStream, unplugAfter, clockStart, seed,     stats });
    parser.process(app);

    VirtualAdapter adapter;
    adapter.setClockStart(parser.value(clockStart).toUInt());
    adapter.setSeed(parser.value(seed).toULongLong());
    adapter.setFrameRate(parser.value(rate).toInt());
    if (parser.isSet(rate1))
        adapter.setFrameRate(1, parser.value(rate1).toInt());
    if (parser.isSet(rate2))
        adapter.setFrameRate(2, parser.value(rate2).toInt());
    adapter.setLoopback(!parser.isSet(noLoopback));
    adapter.setSequenceNumbers(parser.isSet(sequence));
    adapter.setBusLimit(!parser.isSet(noBusLimit));
    adapter.setErrorFrameRate(parser.value(errors).toDouble());
    adapter.setLinkRateLimit(parser.isSet(linkLimit));
    adapter.setFault(VirtualAdapter::Fault::Silent, parser.isSet(silent));
    adapter.setFault(VirtualAdapter::Fault::Refuse, parser.isSet(refuse));
    adapter.setChannelCount(parser.value(channels).toInt());
    adapter.setGarbageEvery(parser.value(garbage).toInt());
    adapter.setDropEvery(parser.value(drop).toInt());
    adapter.setStrayAfterConfirmationEvery(parser.value(stray).toInt());
    adapter.setUnknownEvery(parser.value(unknown).toInt());
    adapter.setFault(VirtualAdapter::Fault::StreamBeforeOpen, parser.isSet(preStream));

    QString reason;
    if (!adapter.start(&reason)) {
        err() << "rcan-sim: " << reason << Qt::endl;
        return 1;
    }
    std::printf("%s\n", qPrintable(adapter.slavePath()));
    std::fflush(stdout);
    err() << "Virtual RCAN-U01 on " << adapter.slavePath() << " (open it with: rcan-tools --port "
          << adapter.slavePath() << ")\n"
          << Commands << Qt::endl;

    QObject::connect(&adapter, &VirtualAdapter::unplugged, &app,
                     [] { err() << "the virtual adapter is unplugged; quit to end" << Qt::endl; });
    if (parser.isSet(unplugAfter)) {
        const int ms = int(parser.value(unplugAfter).toDouble() * 1000);
        QTimer::singleShot(ms, &adapter, [&adapter] {
            adapter.unplug();
            err() << "unplugged" << Qt::endl;
        });
    }
    QTimer statsTimer;
    if (parser.isSet(stats)) {
        QObject::connect(&statsTimer, &QTimer::timeout, &adapter,
                         [&adapter] { printStatistics(adapter); });
        statsTimer.start(1000);
    }

#ifdef Q_OS_UNIX
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &adapter, [&adapter, &input] {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) {
            input.setEnabled(false); // end of input: keep running until killed
            return;
        }
        const QStringList lines
            = QString::fromLocal8Bit(buffer, int(n)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            if (!runCommand(adapter, line))
                err() << "unknown command: " << line << '\n' << Commands << Qt::endl;
        }
    });
#endif
    return app.exec();
}
