// Throughput of the receive path:
//  1. codec decode: records per second through contextProtocol::On_SerialSocket_BytesRecved_Hander
//     into a connected receiver (queued, as in the program);
//  2. serial ingest: records per second written on a pseudo-terminal's master side and decoded
//     by SerialControl on its worker thread;
//  3. framing damaged streams: records per second through the record framer, and good records
//     lost and records invented per 1,000 damage events, for each kind of damage, and on a stream
//     with a record of an unknown kind after every record.
// Usage: bench-codec [records]

#include "link/recordframer.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QRandomGenerator>
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

// Frames (a quarter with data that reads like a header) and status reports, every one distinct.
QByteArray damageRecord(QRandomGenerator &random, quint32 n)
{
    QByteArray r;
    r.append(char(Wire::RecordMark));
    if (random.bounded(10) == 0) {
        r.append(char(Wire::DeviceStates)).append(char(1 + (n & 1)));
        r.append(char(n)).append(char(n >> 8));
        Wire::appendU32(r, 0x3F000000);
        Wire::appendU32(r, n);
        r.append(QByteArray(7, '\0'));
        return r;
    }
    static const QByteArray mimics[] = { "\xFF\x0F", "\xFF\x04\x01\x08", "\xFF\x03\x01" };
    r.append(char(Wire::CANFrame)).append(char(1 + (n & 1))).append(char(0x08));
    Wire::appendU32(r, random.bounded(0x800u));
    QByteArray data = random.bounded(4) == 0 ? mimics[random.bounded(3)] : QByteArray();
    while (data.size() < 8)
        data.append(char(random.bounded(256)));
    r.append(data);
    Wire::appendU32(r, n);
    return r;
}

enum class Damage { Lost, Inserted, Stray, Flipped, Unknown, AnswerInside, DenseUnknown };

struct DamageResult
{
    double recordsPerSecond = 0;
    int events = 0;
    qint64 lost = 0;
    qint64 invented = 0;
};

// A record of a kind the decoder does not know, as newer firmware may interleave with its frames.
QByteArray unknownRecord(QRandomGenerator &random)
{
    QByteArray r;
    r.append(char(Wire::RecordMark)).append(char(0x06 + random.bounded(9)));
    while (r.size() < Wire::RecordSize)
        r.append(char(random.bounded(256)));
    return r;
}

// One damage event every 100 records (DenseUnknown: an unknown record after every one); the
// framer is fed in 4 KB reads as from the port.
DamageResult frameDamaged(Damage damage, int records)
{
    QRandomGenerator random(quint32(damage) + 1);
    QList<QByteArray> truth;
    QByteArray stream;
    QList<int> answerAt; // where in the stream an answer starts, to announce its command first
    DamageResult result;
    for (int i = 0; i < records; ++i) {
        QByteArray r = damageRecord(random, quint32(i));
        truth.append(r);
        if (damage == Damage::DenseUnknown) {
            ++result.events;
            truth.append(unknownRecord(random));
            stream.append(r).append(truth.last());
            continue;
        }
        if (i % 100 != 50) {
            stream.append(r);
            continue;
        }
        ++result.events;
        const int at = 1 + random.bounded(Wire::RecordSize - 1);
        switch (damage) {
        case Damage::Lost:
            r.remove(random.bounded(Wire::RecordSize), 1);
            break;
        case Damage::Inserted:
            r.insert(at, char(random.bounded(256)));
            break;
        case Damage::Stray:
            for (int k = 1 + random.bounded(7); k > 0; --k)
                r.append(char(random.bounded(256)));
            break;
        case Damage::Flipped:
            r[at] = char(r[at] ^ char(1 + random.bounded(255)));
            break;
        case Damage::Unknown:
            r[0] = 0;
            truth.last() = r;
            break;
        case Damage::DenseUnknown:
            break;
        case Damage::AnswerInside: {
            const QByteArray answer
                = QByteArray::fromHex("FF020100000001").leftJustified(Wire::RecordSize, '\0');
            truth.insert(truth.size() - 1, answer);
            answerAt.append(stream.size() + at);
            r.insert(at, answer);
            break;
        }
        }
        stream.append(r);
    }

    RecordFramer framer;
    QByteArray out;
    QByteArray produced;
    QElapsedTimer timer;
    timer.start();
    int nextAnswer = 0;
    for (int off = 0; off < stream.size(); off += 4096) {
        const int end = qMin(stream.size(), off + 4096);
        for (; nextAnswer < answerAt.size() && answerAt[nextAnswer] < end; ++nextAnswer)
            framer.expectAnswer(Wire::BaudRateConfig);
        framer.feed(stream.constData() + off, end - off, produced);
        out.append(produced);
    }
    framer.flush(produced);
    out.append(produced);
    result.recordsPerSecond = truth.size() / (timer.nsecsElapsed() / 1e9);

    int t = 0;
    qint64 good = 0;
    qint64 kept = 0;
    for (const QByteArray &r : truth)
        good += quint8(r.at(0)) == Wire::RecordMark && Wire::isRecordCode(quint8(r.at(1))) ? 1 : 0;
    for (int k = 0; k + Wire::RecordSize <= out.size(); k += Wire::RecordSize) {
        const QByteArray r = out.mid(k, Wire::RecordSize);
        if (quint8(r.at(0)) != Wire::RecordMark || !Wire::isRecordCode(quint8(r.at(1))))
            continue;
        const int found = truth.indexOf(r, t);
        if (found >= 0 && found - t < 8) {
            ++kept;
            t = found + 1;
        } else {
            ++result.invented;
        }
    }
    result.lost = good - kept;
    return result;
}

class Counter : public QObject
{
public:
    std::atomic<qint64> frames { 0 };
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
    // The receiver has a thread of its own, as the display buffer has in the program, so every
    // frame pays for the hop to another thread and its wake-up.
    struct ReceiverThread : QThread
    {
        ~ReceiverThread() override
        {
            quit();
            wait();
        }
    } receiverThread;
    counter.moveToThread(&receiverThread);
    receiverThread.start();
    QObject::connect(codec, &contextProtocol::signal_REP_CANFrame, &counter, &Counter::onFrame,
                     Qt::QueuedConnection);

    // 1. Decode on this thread, each frame queued to the receiver on its own thread.
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

    // 3. The framer alone on damaged streams.
    {
        const struct
        {
            Damage damage;
            const char *name;
        } kinds[] = { { Damage::Lost, "lost byte" },
                      { Damage::Inserted, "inserted byte" },
                      { Damage::Stray, "1-7 stray bytes" },
                      { Damage::Flipped, "flipped byte" },
                      { Damage::Unknown, "aligned unknown record" },
                      { Damage::AnswerInside, "answer inside a record" },
                      { Damage::DenseUnknown, "unknown after each record" } };
        const int damagedRecords = qMin(records, 200000);
        for (const auto &kind : kinds) {
            const DamageResult r = frameDamaged(kind.damage, damagedRecords);
            std::printf("framer, %-25s: %.0f records/s, %d events, per 1,000 events %.0f good "
                        "records lost, %.0f invented\n",
                        kind.name, r.recordsPerSecond, r.events, r.lost * 1000.0 / r.events,
                        r.invented * 1000.0 / r.events);
        }
    }

    // 2. Through a pseudo-terminal and the serial worker.
    counter.frames = 0;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    termios tio {};
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
    std::atomic<bool> writing { true };
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
                pollfd pfd { master, POLLOUT, 0 };
                poll(&pfd, 1, 10);
            }
        }
        writing = false;
    });
    writer->start();
    waitFor(counter, records, 120000);
    const double s = timer.nsecsElapsed() / 1e9;
    writer->wait();
    std::printf("serial ingest: %d records in %.3f s = %.0f records/s (received %lld, discarded "
                "%lld bytes)\n",
                records, s, counter.frames.load() / s,
                static_cast<long long>(counter.frames.load()),
                static_cast<long long>(serial->discardedBytes()));
    std::printf("adapter link at 460800 baud: about 2304 records/s\n");
    QMetaObject::invokeMethod(serial, "serialSocketClose", Qt::BlockingQueuedConnection);
    ::close(master);
    delete writer;
    return counter.frames == records ? 0 : 1;
}
