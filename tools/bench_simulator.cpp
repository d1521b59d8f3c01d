// bench-simulator: how fast the virtual adapter can stream through its pseudo-terminal, and
// how much of that the analyser's serial link (SerialControl, record framing, codec, queued
// delivery to another thread) decodes without falling behind.
//
//   bench-simulator [seconds per step, default 2]

#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"
#include "simulator/virtualadapter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTextStream>
#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {
QTextStream out(stdout);

QByteArray startBoth()
{
    QByteArray value;
    Wire::appendU32(value, 0x030C0004); // 1000 kbps
    return contextProtocol::buildBaudRateConfig(1, value)
        + contextProtocol::buildBaudRateConfig(2, value);
}

struct Result
{
    double recordsPerSecond = 0;
    double generatedPerSecond = 0;
    quint64 overrun = 0;
};

// The pseudo-terminal alone: a reader that does nothing but drain the slave side.
Result rawThroughput(int ratePerChannel, int ms)
{
    VirtualAdapter adapter;
    adapter.setBusLimit(false);
    adapter.setFrameRate(ratePerChannel);
    Result result;
#ifdef Q_OS_UNIX
    if (!adapter.start())
        return result;
    const int fd = ::open(adapter.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    const QByteArray start = startBoth();
    if (::write(fd, start.constData(), size_t(start.size())) != start.size())
        return result;

    char buffer[65536];
    quint64 bytes = 0;
    QElapsedTimer timer;
    timer.start();
    const AdapterStatistics before = adapter.statistics();
    while (timer.elapsed() < ms) {
        pollfd pfd { fd, POLLIN, 0 };
        if (poll(&pfd, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes += quint64(n);
    }
    const double seconds = timer.elapsed() / 1000.0;
    const AdapterStatistics after = adapter.statistics();
    ::close(fd);
    result.recordsPerSecond = bytes / 20.0 / seconds;
    result.generatedPerSecond = (after.framesGenerated[0] + after.framesGenerated[1]
                                 - before.framesGenerated[0] - before.framesGenerated[1])
        / seconds;
    result.overrun = after.framesOverrun - before.framesOverrun;
#else
    Q_UNUSED(ms)
#endif
    return result;
}

// Through the analyser's serial link: frames decoded by the codec and delivered, queued, to
// a receiver on this thread, as the display buffer receives them.
Result linkThroughput(int ratePerChannel, int ms)
{
    SerialControl *serial = SerialControl::instance();
    contextProtocol *codec = contextProtocol::instance();
    VirtualAdapter adapter;
    adapter.setBusLimit(false);
    adapter.setFrameRate(ratePerChannel);
    Result result;
    if (!adapter.start())
        return result;

    quint64 frames = 0;
    QObject receiver;
    QObject::connect(codec, &contextProtocol::signal_REP_CANFrame, &receiver,
                     [&frames](uchar, const QByteArray &, uint, uint) { ++frames; });
    bool opened = false;
    QMetaObject::invokeMethod(serial, "serialSocketOpen", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(bool, opened), Q_ARG(QString, adapter.slavePath()));
    QMetaObject::invokeMethod(serial, "serialSocketSend", Qt::QueuedConnection,
                              Q_ARG(QByteArray, startBoth()));

    // Let the stream settle, then measure.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const quint64 framesBefore = frames;
    const AdapterStatistics before = adapter.statistics();
    timer.restart();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const double seconds = timer.elapsed() / 1000.0;
    const AdapterStatistics after = adapter.statistics();
    const quint64 decoded = frames - framesBefore;

    QMetaObject::invokeMethod(serial, "serialSocketClose", Qt::BlockingQueuedConnection);
    QCoreApplication::processEvents();
    result.recordsPerSecond = decoded / seconds;
    result.generatedPerSecond = (after.framesGenerated[0] + after.framesGenerated[1]
                                 - before.framesGenerated[0] - before.framesGenerated[1])
        / seconds;
    result.overrun = after.framesOverrun - before.framesOverrun;
    return result;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int ms = argc > 1 ? int(QByteArray(argv[1]).toDouble() * 1000) : 2000;
    const QList<int> rawRates = { 1000, 20000, 80000, 160000, 320000, 640000 };
    const QList<int> linkRates = { 1000, 10000, 20000, 40000, 60000, 80000, 160000 };

    out << "Virtual adapter through the pseudo-terminal (reader only drains):\n"
        << "  frames/s/channel asked   generated/s   records/s read   overrun\n";
    double bestRaw = 0;
    for (int rate : rawRates) {
        const Result r = rawThroughput(rate, ms);
        out << qSetFieldWidth(25) << rate << qSetFieldWidth(14) << qRound(r.generatedPerSecond)
            << qSetFieldWidth(17) << qRound(r.recordsPerSecond) << qSetFieldWidth(10) << r.overrun
            << qSetFieldWidth(0) << "\n";
        out.flush();
        bestRaw = qMax(bestRaw, r.recordsPerSecond);
    }

    out << "Analyser serial link (SerialControl + framing + codec + queued delivery):\n"
        << "  frames/s/channel asked   generated/s   decoded/s        overrun   keeps up\n";
    double bestKept = 0;
    for (int rate : linkRates) {
        const Result r = linkThroughput(rate, ms);
        const bool keepsUp = r.overrun == 0 && r.recordsPerSecond >= 0.98 * r.generatedPerSecond;
        out << qSetFieldWidth(25) << rate << qSetFieldWidth(14) << qRound(r.generatedPerSecond)
            << qSetFieldWidth(17) << qRound(r.recordsPerSecond) << qSetFieldWidth(10) << r.overrun
            << qSetFieldWidth(0) << (keepsUp ? "   yes" : "   no") << "\n";
        out.flush();
        if (keepsUp)
            bestKept = qMax(bestKept, r.recordsPerSecond);
    }
    out << "Highest rate through the pseudo-terminal: " << qRound(bestRaw) << " records/s\n"
        << "Highest rate the serial link decodes without falling behind: " << qRound(bestKept)
        << " frames/s\n"
        << "(The real adapter's 460800 baud link carries about 2,300 records/s.)\n";
    out.flush();
    return 0;
}
