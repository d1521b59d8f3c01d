// Throughput of the receive path:
//  1. codec decode: records per second through contextProtocol::On_SerialSocket_BytesRecved_Hander
//     into a connected receiver (queued, as in the program);
//  2. serial ingest: records per second written on a pseudo-terminal's master side and decoded
//     by SerialControl on its worker thread.
// Usage: bench-codec [records]

#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray makeRecords(int count)
{
    QByteArray out;
    out.reserve(count * Wire::RecordSize);
    for (int i = 0; i < count; ++i) {
        out.append(char(Wire::RecordMark));
        out.append(char(Wire::CANFrame));
        out.append(char(1 + (i & 1)));
        out.append(char((i & 1) ? 0x88 : 0x08));
        Wire::appendU32(out, quint32(i) & 0x7FF);
        for (int b = 0; b < 8; ++b)
            out.append(char(i + b));
        Wire::appendU32(out, quint32(i) * 3);
    }
    return out;
}

class Counter : public QObject
{
public:
    std::atomic<qint64> frames{0};
    void onFrame(uchar, QByteArray frame, uint, uint)
    {
        if (frame.size() == 13)
            ++frames;
    }
};

void waitFor(Counter &counter, qint64 target, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (counter.frames < target && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    const int records = argc > 1 ? atoi(argv[1]) : 500000;
    const QByteArray stream = makeRecords(records);

    SerialControl *serial = SerialControl::instance();
    contextProtocol *codec = contextProtocol::instance();
    Counter counter;
    QObject::connect(codec, &contextProtocol::signal_REP_CANFrame, &counter, &Counter::onFrame);

    // 1. Decode on this thread, delivery queued to the receiver on this thread as well; the
    // figure includes the queued hop that every received frame takes in the program.
    {
        QElapsedTimer timer;
        timer.start();
        const int batch = 100 * Wire::RecordSize;
        for (int off = 0; off < stream.size(); off += batch) {
            QByteArray chunk = stream.mid(off, batch);
            codec->On_SerialSocket_BytesRecved_Hander(chunk);
            if ((off / batch) % 50 == 0)
                QCoreApplication::processEvents();
        }
        waitFor(counter, records, 60000);
        const double s = timer.nsecsElapsed() / 1e9;
        std::printf("codec decode:  %d records in %.3f s = %.0f records/s (received %lld)\n",
                    records, s, records / s, static_cast<long long>(counter.frames.load()));
    }

    // 2. Through a pseudo-terminal and the serial worker.
    counter.frames = 0;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    const QString slave = QString::fromLocal8Bit(ptsname(master));
    bool opened = false;
    QMetaObject::invokeMethod(serial, "serialSocketOpen", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(bool, opened), Q_ARG(QString, slave));
    if (!opened) {
        std::printf("could not open %s\n", qPrintable(slave));
        return 1;
    }
    std::atomic<bool> writing{true};
    QElapsedTimer timer;
    timer.start();
    QThread *writer = QThread::create([&] {
        int done = 0;
        while (done < stream.size()) {
            const ssize_t n = ::write(master, stream.constData() + done,
                                      size_t(qMin(4096, stream.size() - done)));
            if (n > 0) {
                done += int(n);
            } else {
                pollfd pfd{master, POLLOUT, 0};
                poll(&pfd, 1, 10);
            }
        }
        writing = false;
    });
    writer->start();
    waitFor(counter, records, 120000);
    const double s = timer.nsecsElapsed() / 1e9;
    writer->wait();
    std::printf("serial ingest: %d records in %.3f s = %.0f records/s (received %lld, discarded %lld bytes)\n",
                records, s, counter.frames.load() / s, static_cast<long long>(counter.frames.load()),
                static_cast<long long>(serial->discardedBytes()));
    std::printf("adapter link at 460800 baud: about 2304 records/s\n");
    QMetaObject::invokeMethod(serial, "serialSocketClose", Qt::BlockingQueuedConnection);
    ::close(master);
    delete writer;
    return counter.frames == records ? 0 : 1;
}
