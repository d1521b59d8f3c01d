// The virtual adapter seen through the analyser's own serial link and codec, as the device
// panel, the send scheduler and the displays will see it.

#include "link/serialcontrol.h"
#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"
#include "simulator/virtualadapter.h"
#include "support/signalrecorder.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr quint32 Rate1000k = 0x030C0004;
constexpr quint32 Rate500k = 0x030C0008;
constexpr quint32 Rate125k = 0x020B0024;
constexpr quint32 Rate5k = 0x020F02D0;
constexpr quint32 Rank = 0x01234678;

bool openBlocking(SerialControl *serial, const QString &path)
{
    bool opened = false;
    QMetaObject::invokeMethod(serial, "serialSocketOpen", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(bool, opened), Q_ARG(QString, path));
    return opened;
}

void closeBlocking(SerialControl *serial)
{
    QMetaObject::invokeMethod(serial, "serialSocketClose", Qt::BlockingQueuedConnection);
}

void send(const QByteArray &bytes)
{
    QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketSend", Qt::QueuedConnection,
                              Q_ARG(QByteArray, bytes));
}

QByteArray code(quint32 timingCode)
{
    QByteArray value;
    Wire::appendU32(value, timingCode);
    return value;
}

QByteArray baud(uchar channel, quint32 timingCode)
{
    return contextProtocol::buildBaudRateConfig(channel, code(timingCode));
}

QByteArray sampleFrame()
{
    return contextProtocol::buildCanFrame(CanFrame::FrameFormatData, CanFrame::FrameTypeExtended, 3,
                                          0x18FF50E5, QByteArray::fromHex("AABBCC0000000000"));
}

QByteArray sendOn(uchar channel)
{
    return contextProtocol::buildCanSend(channel, sampleFrame(), Rank);
}

void pause(int ms)
{
    QTest::qWait(ms);
}

// Answers and frames only: the half-second status reports come and go on their own.
QStringList withoutReports(const QStringList &events)
{
    QStringList out;
    for (const QString &e : events) {
        if (!e.startsWith(QLatin1String("states")) && !e.startsWith(QLatin1String("errors")))
            out << e;
    }
    return out;
}

struct Report
{
    int channel;
    int speed;
    double percent;
};

QList<Report> reports(const QStringList &events)
{
    QList<Report> out;
    for (const QString &e : events) {
        const QStringList f = e.split(QLatin1Char(' '));
        if (f.value(0) == QLatin1String("states"))
            out.append({ f.at(1).toInt(), f.at(2).toInt(), f.at(3).toDouble() });
    }
    return out;
}

int countFrames(const QStringList &events, int channel)
{
    const QString prefix = QStringLiteral("frame %1 ").arg(channel);
    int n = 0;
    for (const QString &e : events)
        n += e.startsWith(prefix) ? 1 : 0;
    return n;
}

// Device time stamps (0.1 ms) of a channel's frames, in arrival order.
QList<quint32> frameStamps(const QStringList &events, int channel)
{
    const QString prefix = QStringLiteral("frame %1 ").arg(channel);
    QList<quint32> stamps;
    for (const QString &e : events) {
        if (!e.startsWith(prefix))
            continue;
        const QStringList parts = e.split(QLatin1Char(' '));
        stamps.append(parts.at(parts.size() - 2).toUInt());
    }
    return stamps;
}
} // namespace

class tst_VirtualAdapter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandsAreAnswered_data();
    void commandsAreAnswered();
    void commandSplitAcrossWritesIsStillOneCommand();
    void trafficFollowsTheConfiguredRate_data();
    void trafficFollowsTheConfiguredRate();
    void busCapacityCapsTraffic();
    void linkLimitPacesLikeTheRealLink();
    void faultsChangeTheAnswers_data();
    void faultsChangeTheAnswers();
    void garbageAndLostBytesAreSurvived();
    void openingMidStreamStillOpensTheDevice();
    void unplugIsSeenByTheSerialLink();

private:
    bool openPort();
    QStringList exchange(const QByteArray &command, int answers, int settleMs = 150);

    SerialControl *m_serial = nullptr;
    std::unique_ptr<VirtualAdapter> m_adapter;
    std::unique_ptr<SignalRecorder> m_recorder;
};

void tst_VirtualAdapter::initTestCase()
{
    m_serial = SerialControl::instance();
    contextProtocol::instance();
    // No real adapters may leak into the port lists this test looks at.
    m_serial->setPortSource([] { return QList<SerialPortEntry>(); });
}

void tst_VirtualAdapter::init()
{
    m_adapter = std::make_unique<VirtualAdapter>();
    m_recorder = std::make_unique<SignalRecorder>(contextProtocol::instance());
}

void tst_VirtualAdapter::cleanup()
{
    closeBlocking(m_serial);
    m_recorder.reset();
    m_adapter.reset();
}

bool tst_VirtualAdapter::openPort()
{
    QString error;
    if (!m_adapter->isRunning() && !m_adapter->start(&error)) {
        qWarning() << error;
        return false;
    }
    return openBlocking(m_serial, m_adapter->slavePath());
}

// Sends one command and collects what came back, reports left out.
QStringList tst_VirtualAdapter::exchange(const QByteArray &command, int answers, int settleMs)
{
    m_recorder->clear();
    send(command);
    QElapsedTimer timer;
    timer.start();
    while (withoutReports(m_recorder->events()).size() < answers && timer.elapsed() < 3000)
        pause(5);
    pause(settleMs); // anything extra would show up here
    return withoutReports(m_recorder->events());
}

void tst_VirtualAdapter::commandsAreAnswered_data()
{
    QTest::addColumn<QByteArrayList>("setup");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QStringList>("expected"); // regular expressions, in order

    const QByteArray open = contextProtocol::buildDeviceOpen();
    const QByteArray close = contextProtocol::buildDeviceClose();
    const QString frameHex = QString::fromLatin1(sampleFrame().toHex(' ').toUpper());
    const QString sent = QStringLiteral("sent %1 %2 1234678 \\d+");

    QTest::newRow("open") << QByteArrayList {} << open
                          << QStringList { QStringLiteral("open 1 2 RCAN-U01") };
    QTest::newRow("start 1 at 1000 kbps") << QByteArrayList { open } << baud(1, Rate1000k)
                                          << QStringList { QStringLiteral("baud 1 true") };
    QTest::newRow("start 2 at 5 kbps") << QByteArrayList { open } << baud(2, Rate5k)
                                       << QStringList { QStringLiteral("baud 2 true") };
    QTest::newRow("calculated 40 kbps") << QByteArrayList { open } << baud(1, 0x040D005A)
                                        << QStringList { QStringLiteral("baud 1 true") };
    QTest::newRow("above 1000 kbps") << QByteArrayList { open } << baud(1, 0x030C0003)
                                     << QStringList { QStringLiteral("baud 1 false") };
    QTest::newRow("below 5 kbps") << QByteArrayList { open } << baud(2, 0x020F0320)
                                  << QStringList { QStringLiteral("baud 2 false") };
    QTest::newRow("TBS1 beyond its register") << QByteArrayList { open } << baud(1, 0x03100004)
                                              << QStringList { QStringLiteral("baud 1 false") };
    QTest::newRow("no such channel") << QByteArrayList { open } << baud(3, Rate1000k)
                                     << QStringList { QStringLiteral("baud 3 false") };
    QTest::newRow("stop a started channel")
        << QByteArrayList { open, baud(1, Rate1000k) } << baud(1, 0)
        << QStringList { QStringLiteral("baud 1 true") };
    QTest::newRow("stop a stopped channel")
        << QByteArrayList { open } << baud(2, 0) << QStringList { QStringLiteral("baud 2 true") };
    QTest::newRow("send on a started channel") << QByteArrayList { open, baud(1, Rate1000k) }
                                               << sendOn(1) << QStringList { sent.arg(1).arg(1) };
    QTest::newRow("send on a stopped channel") << QByteArrayList { open, baud(1, Rate1000k) }
                                               << sendOn(2) << QStringList { sent.arg(2).arg(0) };
    QTest::newRow("send after the channel stopped")
        << QByteArrayList { open, baud(1, Rate1000k), baud(1, 0) } << sendOn(1)
        << QStringList { sent.arg(1).arg(0) };
    QTest::newRow("send after device close") << QByteArrayList { open, baud(1, Rate1000k), close }
                                             << sendOn(1) << QStringList { sent.arg(1).arg(0) };
    QTest::newRow("loopback at equal bit rates")
        << QByteArrayList { open, baud(1, Rate1000k), baud(2, Rate1000k) } << sendOn(1)
        << QStringList { sent.arg(1).arg(1), QStringLiteral("frame 2 %1 \\d+ 0").arg(frameHex) };
    QTest::newRow("loopback from channel 2")
        << QByteArrayList { open, baud(1, Rate125k), baud(2, Rate125k) } << sendOn(2)
        << QStringList { sent.arg(2).arg(1), QStringLiteral("frame 1 %1 \\d+ 0").arg(frameHex) };
    QTest::newRow("no loopback at different bit rates")
        << QByteArrayList { open, baud(1, Rate1000k), baud(2, Rate500k) } << sendOn(1)
        << QStringList { sent.arg(1).arg(1) };
    QTest::newRow("close") << QByteArrayList { open, baud(1, Rate1000k) } << close
                           << QStringList { QStringLiteral("close") };
    QTest::newRow("stray bytes before a command")
        << QByteArrayList {} << QByteArray::fromHex("000D0AF013F0020D0A") + open
        << QStringList { QStringLiteral("open 1 2 RCAN-U01") };
    QTest::newRow("open with a broken terminator is no command")
        << QByteArrayList {} << QByteArray::fromHex("F0010D0B") + close
        << QStringList { QStringLiteral("close") };
}

void tst_VirtualAdapter::commandsAreAnswered()
{
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, command);
    QFETCH(QStringList, expected);

    QVERIFY(openPort());
    for (const QByteArray &step : setup)
        exchange(step, 1, 0);

    const QStringList got = exchange(command, expected.size());
    QCOMPARE(got.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(expected.at(i)));
        QVERIFY2(pattern.match(got.at(i)).hasMatch(), qPrintable(got.at(i)));
    }
}

void tst_VirtualAdapter::commandSplitAcrossWritesIsStillOneCommand()
{
    QVERIFY(openPort());
    const QByteArray command = sendOn(1);
    exchange(baud(1, Rate1000k), 1);
    m_recorder->clear();
    // The device must parse by the command format, not by how the bytes happen to arrive.
    send(command.left(7));
    pause(30);
    send(command.mid(7, 9));
    pause(30);
    send(command.mid(16) + contextProtocol::buildDeviceOpen());
    QTRY_COMPARE_WITH_TIMEOUT(withoutReports(m_recorder->events()).size(), 2, 3000);
    const QStringList got = withoutReports(m_recorder->events());
    QVERIFY2(got.at(0).startsWith(QLatin1String("sent 1 1 1234678 ")), qPrintable(got.at(0)));
    QCOMPARE(got.at(1), QStringLiteral("open 1 2 RCAN-U01"));
}

void tst_VirtualAdapter::trafficFollowsTheConfiguredRate_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("rate");
    QTest::addColumn<quint32>("timingCode");
    QTest::addColumn<double>("bitRate");

    QTest::newRow("channel 1, 1000 frames/s at 1000 kbps") << 1 << 1000 << Rate1000k << 1e6;
    QTest::newRow("channel 2, 800 frames/s at 125 kbps") << 2 << 800 << Rate125k << 125e3;
    QTest::newRow("channel 1, 4000 frames/s at 500 kbps") << 1 << 4000 << Rate500k << 500e3;
}

void tst_VirtualAdapter::trafficFollowsTheConfiguredRate()
{
    QFETCH(int, channel);
    QFETCH(int, rate);
    QFETCH(quint32, timingCode);
    QFETCH(double, bitRate);

    m_adapter->setFrameRate(channel, rate);
    QVERIFY(openPort());
    exchange(contextProtocol::buildDeviceOpen(), 1, 0);
    exchange(baud(uchar(channel), timingCode), 1, 0);
    pause(300); // let the first report's partial window pass
    m_recorder->clear();
    pause(2000);
    // Count over two seconds of the device's own clock, so a host that is slow to read on a
    // busy machine does not shorten the window.
    QTRY_VERIFY_WITH_TIMEOUT(frameStamps(m_recorder->events(), channel).size() > 1
                                 && frameStamps(m_recorder->events(), channel).constLast()
                                            - frameStamps(m_recorder->events(), channel).constFirst()
                                        >= 20000,
                             10000);
    const QStringList events = m_recorder->events();
    const QList<quint32> stamps = frameStamps(events, channel);
    const int frames = int(std::count_if(stamps.cbegin(), stamps.cend(), [&](quint32 stamp) {
        return stamp - stamps.constFirst() < 20000;
    }));
    QVERIFY2(qAbs(frames - 2 * rate) <= 2 * rate / 10,
             qPrintable(QStringLiteral("%1 frames in 2 s").arg(frames)));
    QCOMPARE(countFrames(events, 3 - channel), 0); // the other channel is not started

    const QList<Report> got = reports(events);
    QVERIFY(got.size() >= 3);
    // A frame of this mix averages roughly 90 bits on the wire (47 for an empty standard
    // frame up to about 160 for a full extended one with stuffing).
    for (const Report &r : got) {
        QCOMPARE(r.channel, channel);
        QVERIFY2(qAbs(r.speed - rate) <= rate / 10, qPrintable(QString::number(r.speed)));
        const double low = 100.0 * rate * 70 / bitRate;
        const double high = 100.0 * rate * 115 / bitRate;
        QVERIFY2(
            r.percent >= low && r.percent <= high,
            qPrintable(QStringLiteral("%1 % not in %2..%3").arg(r.percent).arg(low).arg(high)));
    }
}

void tst_VirtualAdapter::busCapacityCapsTraffic()
{
    // 125 kbps carries about 1,400 frames of this mix per second, far below the rate asked.
    m_adapter->setFrameRate(1, 5000);
    QVERIFY(openPort());
    exchange(baud(1, Rate125k), 1, 0);
    pause(300);
    m_recorder->clear();
    pause(1100);
    const QList<Report> got = reports(m_recorder->events());
    QVERIFY(!got.isEmpty());
    for (const Report &r : got) {
        QVERIFY2(r.percent <= 100.0 && r.percent > 90.0, qPrintable(QString::number(r.percent)));
        QVERIFY2(r.speed > 900 && r.speed < 2000, qPrintable(QString::number(r.speed)));
    }

    // Asked to, the adapter ignores the bus capacity and reports the overload.
    m_adapter->setBusLimit(false);
    pause(600);
    m_recorder->clear();
    pause(1100);
    const QList<Report> overloaded = reports(m_recorder->events());
    QVERIFY(!overloaded.isEmpty());
    QVERIFY2(overloaded.last().percent > 150.0,
             qPrintable(QString::number(overloaded.last().percent)));
}

void tst_VirtualAdapter::linkLimitPacesLikeTheRealLink()
{
    // 460800 baud carries about 2,300 records a second; the rest of the traffic is lost in
    // the adapter, as on the real link.
    m_adapter->setFrameRate(5000);
    m_adapter->setLinkRateLimit(true);
    QVERIFY(openPort());
    exchange(baud(1, Rate1000k) + baud(2, Rate1000k), 2, 0);
    pause(300);
    m_recorder->clear();
    pause(1000);
    const QStringList events = m_recorder->events();
    const int records = events.size() - reports(events).size(); // a report makes two events
    QVERIFY2(records > 1000 && records < 2700, qPrintable(QString::number(records)));
    QVERIFY(m_adapter->statistics().framesOverrun > 0);
}

void tst_VirtualAdapter::faultsChangeTheAnswers_data()
{
    QTest::addColumn<int>("fault"); // -1: channel count 3
    QTest::addColumn<QByteArrayList>("setup");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QStringList>("expected");

    const QByteArray open = contextProtocol::buildDeviceOpen();
    QTest::newRow("silent open") << int(VirtualAdapter::Fault::Silent) << QByteArrayList {} << open
                                 << QStringList {};
    QTest::newRow("silent send") << int(VirtualAdapter::Fault::Silent)
                                 << QByteArrayList { baud(1, Rate1000k) } << sendOn(1)
                                 << QStringList {};
    QTest::newRow("refused start")
        << int(VirtualAdapter::Fault::Refuse) << QByteArrayList {} << baud(1, Rate1000k)
        << QStringList { QStringLiteral("baud 1 false") };
    QTest::newRow("refused send") << int(VirtualAdapter::Fault::Refuse)
                                  << QByteArrayList { baud(2, Rate1000k) } << sendOn(2)
                                  << QStringList { QStringLiteral("sent 2 0 1234678 \\d+") };
    QTest::newRow("refusing still opens")
        << int(VirtualAdapter::Fault::Refuse) << QByteArrayList {} << open
        << QStringList { QStringLiteral("open 1 2 RCAN-U01") };
    QTest::newRow("three channels")
        << -1 << QByteArrayList {} << open << QStringList { QStringLiteral("open 1 3 RCAN-U01") };
}

void tst_VirtualAdapter::faultsChangeTheAnswers()
{
    QFETCH(int, fault);
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, command);
    QFETCH(QStringList, expected);

    QVERIFY(openPort());
    for (const QByteArray &step : setup)
        exchange(step, 1, 0);
    if (fault < 0)
        m_adapter->setChannelCount(3);
    else
        m_adapter->setFault(VirtualAdapter::Fault(fault), true);
    pause(20);

    const QStringList got = exchange(command, expected.size(), expected.isEmpty() ? 400 : 150);
    QCOMPARE(got.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(expected.at(i)));
        QVERIFY2(pattern.match(got.at(i)).hasMatch(), qPrintable(got.at(i)));
    }

    // Switched off again, the device answers normally.
    if (fault < 0)
        m_adapter->setChannelCount(2);
    else
        m_adapter->setFault(VirtualAdapter::Fault(fault), false);
    pause(20);
    QCOMPARE(exchange(contextProtocol::buildDeviceOpen(), 1),
             QStringList { QStringLiteral("open 1 2 RCAN-U01") });
}

void tst_VirtualAdapter::garbageAndLostBytesAreSurvived()
{
    m_adapter->setFrameRate(1, 2000);
    m_adapter->setSequenceNumbers(true);
    QVERIFY(openPort());
    exchange(baud(1, Rate1000k), 1, 0);
    const qint64 discardedBefore = m_serial->discardedBytes();
    // One fault at a time: a record that lost a byte and is followed by exactly one stray
    // byte has the right length again, and no framing can tell it from a whole one.
    m_recorder->clear();
    m_adapter->setGarbageEvery(7);
    pause(500);
    m_adapter->setGarbageEvery(0);
    m_adapter->setDropEvery(11);
    pause(500);
    m_adapter->setDropEvery(0);
    pause(100);
    const QStringList events = m_recorder->events();

    // Every frame that gets through is whole: its running count only ever goes up, and
    // most of the traffic survives.
    quint64 last = 0;
    int frames = 0;
    for (const QString &e : events) {
        if (!e.startsWith(QLatin1String("frame ")))
            continue;
        const QStringList f = e.split(QLatin1Char(' '));
        QCOMPARE(f.at(1), QStringLiteral("1"));
        const QByteArray frame = QByteArray::fromHex(f.mid(2, 13).join(QString()).toLatin1());
        QCOMPARE(quint8(frame.at(0)) & 0x7F, 0x08);
        quint64 seq = 0;
        for (int i = 7; i >= 0; --i)
            seq = (seq << 8) | quint8(frame.at(CanFrame::DataOffset + i));
        QVERIFY2(frames == 0 || seq > last, qPrintable(e));
        last = seq;
        ++frames;
    }
    QVERIFY2(frames > 2000 * 7 / 10, qPrintable(QString::number(frames)));
    QVERIFY(m_serial->discardedBytes() > discardedBefore);
    m_adapter->setFrameRate(0);
    pause(50);
    QCOMPARE(exchange(contextProtocol::buildDeviceOpen(), 1),
             QStringList { QStringLiteral("open 1 2 RCAN-U01") });
}

void tst_VirtualAdapter::openingMidStreamStillOpensTheDevice()
{
    m_adapter->setFrameRate(1000);
    m_adapter->setFault(VirtualAdapter::Fault::StreamBeforeOpen, true);
    QVERIFY(m_adapter->start());
    pause(300); // traffic piles up in the pseudo-terminal before anyone listens
    QVERIFY(openPort());
    const QStringList got = exchange(contextProtocol::buildDeviceOpen(), 1);
    QVERIFY(got.contains(QStringLiteral("open 1 2 RCAN-U01")));
    pause(300);
    const QStringList events = m_recorder->events();
    QVERIFY(countFrames(events, 1) > 100);
    QVERIFY(countFrames(events, 2) > 100);
}

void tst_VirtualAdapter::unplugIsSeenByTheSerialLink()
{
    QVERIFY(openPort());
    const QString path = m_adapter->slavePath();
    m_serial->addExtraPort(path);
    QVERIFY(m_serial->availablePorts().contains(path));
    QCOMPARE(exchange(contextProtocol::buildDeviceOpen(), 1),
             QStringList { QStringLiteral("open 1 2 RCAN-U01") });

    QStringList published;
    int refreshes = 0;
    connect(m_serial, &SerialControl::Signal_Host_SerialRefresh, this, [&](QList<QString> *list) {
        published = *list;
        ++refreshes;
    });
    QSignalSpy unplugged(m_adapter.get(), &VirtualAdapter::unplugged);
    m_adapter->unplug();
    QCOMPARE(unplugged.count(), 1);

    // The device node goes with the master side, the link closes on the read error, and the
    // port list that the device panel receives no longer holds the port.
    QVERIFY(!QFileInfo::exists(path));
    QTRY_VERIFY_WITH_TIMEOUT(!m_serial->isOpen(), 5000);
    QVERIFY(!m_serial->availablePorts().contains(path));
    QTRY_VERIFY_WITH_TIMEOUT(refreshes > 0, 5000);
    QVERIFY(!published.contains(path));
    m_serial->removeExtraPort(path);
}

QTEST_GUILESS_MAIN(tst_VirtualAdapter)
#include "tst_virtualadapter.moc"
