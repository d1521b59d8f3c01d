// The virtual adapter's device logic on a made-up clock: which timing codes it runs, how it
// reads the command stream, and what its traffic and status reports say.

#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"
#include "simulator/adapterdevice.h"

#include <QtTest>

#include <cstring>

namespace {
constexpr quint64 Second = 1000000;
constexpr quint32 Rate1000k = 0x030C0004;
constexpr quint32 Rate250k = 0x020B0012;

QByteArray baud(uchar channel, quint32 timingCode)
{
    QByteArray value;
    Wire::appendU32(value, timingCode);
    return contextProtocol::buildBaudRateConfig(channel, value);
}

QByteArray take(AdapterDevice &device)
{
    return std::exchange(device.output(), QByteArray());
}

QList<QByteArray> records(const QByteArray &bytes)
{
    QList<QByteArray> out;
    for (int i = 0; i + Wire::RecordSize <= bytes.size(); i += Wire::RecordSize)
        out << bytes.mid(i, Wire::RecordSize);
    return out;
}

float loadOf(const QByteArray &r)
{
    const quint32 bits = Wire::readU32(r.constData() + 5);
    float load = 0;
    std::memcpy(&load, &bits, sizeof load);
    return load;
}

// A 20-byte record from its leading bytes; the rest is zero.
QByteArray record(const char *hex)
{
    QByteArray r = QByteArray::fromHex(hex);
    r.append(QByteArray(Wire::RecordSize - r.size(), '\0'));
    return r;
}

void feed(AdapterDevice &device, const QByteArray &bytes, quint64 now)
{
    device.receive(bytes.constData(), bytes.size(), now);
}

// Runs the device from `from` to `to` in steps of `step` microseconds, like the worker's tick.
void run(AdapterDevice &device, quint64 from, quint64 to, quint64 step = 1000)
{
    for (quint64 t = from; t <= to; t += step)
        device.advance(t);
}
} // namespace

class tst_AdapterDevice : public QObject
{
    Q_OBJECT
private slots:
    void timingCodes_data();
    void timingCodes();
    void frameBitsFollowTheFrameFormat_data();
    void frameBitsFollowTheFrameFormat();
    void answersByteForByte_data();
    void answersByteForByte();
    void commandsAreFoundInAnyChunking();
    void unfinishedCommandIsAbandoned();
    void clockWrapsAt32Bits();
    void trafficAndReportsAgree_data();
    void trafficAndReportsAgree();
    void errorFramesAreCounted();
    void sequenceNumbersRunWithoutGaps();
    void faultsShapeTheStream();
    void loopedBackFrameFollowsTheOtherChannelsTraffic_data();
    void loopedBackFrameFollowsTheOtherChannelsTraffic();
};

void tst_AdapterDevice::timingCodes_data()
{
    QTest::addColumn<quint32>("code");
    QTest::addColumn<double>("bitRate"); // 0: refused

    QTest::newRow("1000kbps") << 0x030C0004u << 1e6;
    QTest::newRow("800kbps") << 0x030C0005u << 800e3;
    QTest::newRow("500kbps") << 0x030C0008u << 500e3;
    QTest::newRow("250kbps") << 0x020B0012u << 250e3;
    QTest::newRow("125kbps") << 0x020B0024u << 125e3;
    QTest::newRow("100kbps") << 0x020D0028u << 100e3;
    QTest::newRow("50kbps") << 0x020F0048u << 50e3;
    QTest::newRow("20kbps") << 0x020F00B4u << 20e3;
    QTest::newRow("10kbps") << 0x020F0168u << 10e3;
    QTest::newRow("5kbps") << 0x020F02D0u << 5e3;
    QTest::newRow("UserBaud-40kbps") << 0x040D005Au << 40e3;
    QTest::newRow("calculator's last 1000kbps row") << 0x00010012u << 1e6;
    QTest::newRow("largest calculated prescaler") << 0x00010E10u << 5e3;
    QTest::newRow("channel close code") << 0u << 0.0;
    QTest::newRow("prescaler 0") << 0x030C0000u << 0.0;
    QTest::newRow("1333 kbps") << 0x030C0003u << 0.0;
    QTest::newRow("4.5 kbps") << 0x020F0320u << 0.0;
    QTest::newRow("TBS1 16") << 0x03100004u << 0.0;
    QTest::newRow("TBS2 8") << 0x080C0004u << 0.0;
}

void tst_AdapterDevice::timingCodes()
{
    QFETCH(quint32, code);
    QFETCH(double, bitRate);
    QCOMPARE(AdapterDevice::bitRate(code), bitRate);
}

void tst_AdapterDevice::frameBitsFollowTheFrameFormat_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("unstuffed"); // bits without stuffing

    QTest::newRow("standard, no data") << QByteArray::fromHex("00230100000000000000000000") << 47;
    QTest::newRow("standard, 8 bytes")
        << QByteArray::fromHex("08230100005555555555555555") << 47 + 64;
    QTest::newRow("standard remote, DLC 8 carries no data")
        << QByteArray::fromHex("48230100005555555555555555") << 47;
    QTest::newRow("extended, 3 bytes")
        << QByteArray::fromHex("83E550FF18AABBCC0000000000") << 67 + 24;
    QTest::newRow("extended, 8 zero bytes")
        << QByteArray::fromHex("88E550FF180000000000000000") << 67 + 64;
    QTest::newRow("standard id 0, 8 zero bytes")
        << QByteArray::fromHex("08000000000000000000000000") << 47 + 64;
}

void tst_AdapterDevice::frameBitsFollowTheFrameFormat()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, unstuffed);
    const int bits = AdapterDevice::frameBits(frame.constData());
    // Stuffing covers start of frame to the CRC, 13 bits short of the whole frame; it adds at
    // most one bit per four after the first.
    const int stuffable = unstuffed - 13;
    QVERIFY2(bits >= unstuffed && bits <= unstuffed + (stuffable - 1) / 4,
             qPrintable(QString::number(bits)));
    // Long runs of equal bits need stuffing: an all-zero frame cannot do without it.
    if (quint8(frame.at(0)) == 0x08 && frame.mid(5) == QByteArray(8, '\0'))
        QVERIFY(bits >= unstuffed + 64 / 5);
}

void tst_AdapterDevice::answersByteForByte_data()
{
    QTest::addColumn<QByteArrayList>("setup");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer"); // the clock stands at 1.0000 s

    const QByteArray send = contextProtocol::buildCanSend(
        2, contextProtocol::buildCanFrame(0, 0, 2, 0x7FF, QByteArray::fromHex("AABB000000000000")),
        0x01234678);
    QTest::newRow("open") << QByteArrayList {} << contextProtocol::buildDeviceOpen()
                          << record("FF0101025243414E2D553031");
    QTest::newRow("start") << QByteArrayList {} << baud(1, Rate1000k) << record("FF02010100000000");
    QTest::newRow("refused rate") << QByteArrayList {} << baud(2, 0x030C0003)
                                  << record("FF02020000000000");
    QTest::newRow("stop") << QByteArrayList { baud(1, Rate1000k) } << baud(1, 0)
                          << record("FF02010100000000");
    QTest::newRow("send on a stopped channel") << QByteArrayList {} << send
                                               << record("FF05020078462301"
                                                         "10270000");
    QTest::newRow("close") << QByteArrayList { baud(2, Rate250k) }
                           << contextProtocol::buildDeviceClose() << record("FF0F");
}

void tst_AdapterDevice::answersByteForByte()
{
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);

    AdapterDevice device;
    for (const QByteArray &step : setup)
        feed(device, step, 0);
    take(device);
    feed(device, command, Second);
    QCOMPARE(take(device).toHex(' '), answer.toHex(' '));
}

void tst_AdapterDevice::commandsAreFoundInAnyChunking()
{
    const QByteArray stream = QByteArray::fromHex("0D0AF0") + contextProtocol::buildDeviceOpen()
        + baud(1, Rate1000k) + QByteArray::fromHex("F099")
        + contextProtocol::buildCanSend(1, QByteArray(13, '\x0D'), 7)
        + contextProtocol::buildDeviceClose();
    AdapterDevice whole;
    feed(whole, stream, 0);
    const QByteArray expected = take(whole);
    QCOMPARE(records(expected).size(), 4);

    for (int chunk = 1; chunk <= 9; ++chunk) {
        AdapterDevice device;
        for (int i = 0; i < stream.size(); i += chunk)
            feed(device, stream.mid(i, chunk), 0);
        QCOMPARE(take(device).toHex(), expected.toHex());
    }
}

void tst_AdapterDevice::unfinishedCommandIsAbandoned()
{
    AdapterDevice device;
    feed(device, QByteArray::fromHex("F005010203"), 0); // a send that never completes
    device.advance(Second / 2);
    feed(device, contextProtocol::buildDeviceOpen(), Second);
    const QList<QByteArray> got = records(take(device));
    QCOMPARE(got.size(), 1);
    QCOMPARE(quint8(got.at(0).at(1)), quint8(Wire::DeviceOpen));
}

void tst_AdapterDevice::clockWrapsAt32Bits()
{
    AdapterDevice device;
    device.setClockStart(0xFFFFFFF0u);
    QCOMPARE(device.clockAt(0), 0xFFFFFFF0u);
    QCOMPARE(device.clockAt(1500), 0xFFFFFFFFu);
    QCOMPARE(device.clockAt(1600), 0u);
    QCOMPARE(device.clockAt(2 * Second), quint32(0xFFFFFFF0u + 20000u));
}

void tst_AdapterDevice::trafficAndReportsAgree_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<quint32>("code");

    QTest::newRow("100 frames/s at 250 kbps") << 100 << Rate250k;
    QTest::newRow("3000 frames/s at 1000 kbps") << 3000 << Rate1000k;
    QTest::newRow("20000 frames/s on an unlimited bus") << 20000 << Rate1000k;
}

void tst_AdapterDevice::trafficAndReportsAgree()
{
    QFETCH(int, rate);
    QFETCH(quint32, code);
    const double bitRate = AdapterDevice::bitRate(code);

    AdapterDevice device;
    AdapterSettings settings;
    settings.frameRate[0] = rate;
    settings.busLimit = rate < 10000;
    device.setSettings(settings);
    feed(device, baud(1, code), 0);
    take(device);
    run(device, 0, 2 * Second);

    const QList<QByteArray> got = records(take(device));
    int frames = 0;
    quint64 bits = 0;
    quint32 lastStamp = 0;
    QList<QByteArray> states;
    for (const QByteArray &r : got) {
        QCOMPARE(quint8(r.at(0)), quint8(Wire::RecordMark));
        if (quint8(r.at(1)) == Wire::DeviceStates) {
            states << r;
            continue;
        }
        QCOMPARE(quint8(r.at(1)), quint8(Wire::CANFrame));
        QCOMPARE(int(r.at(2)), 1);
        const CanFrameInfo info(r.mid(3, CanFrame::Size));
        QVERIFY(info.dlc() <= 8);
        QVERIFY(info.id() <= (info.extended() ? CanFrame::MaxExtendedId : CanFrame::MaxStandardId));
        const quint32 stamp = Wire::readU32(r.constData() + 16);
        QVERIFY(stamp >= lastStamp);
        lastStamp = stamp;
        if (states.size() < 2) // the frames of the first two report windows
            bits += quint64(AdapterDevice::frameBits(r.constData() + 3));
        ++frames;
    }
    QVERIFY2(qAbs(frames - 2 * rate) <= 2, qPrintable(QString::number(frames)));
    QCOMPARE(states.size(), 4); // every half second

    for (const QByteArray &r : states) {
        QCOMPARE(int(r.at(2)), 1);
        const int speed = Wire::readU16(r.constData() + 3);
        QVERIFY2(qAbs(speed - rate) <= 2, qPrintable(QString::number(speed)));
    }
    // The first second's load is the bits of its frames over the bits the bus could carry.
    const double expected = double(bits) / bitRate;
    const double reported = (loadOf(states.at(0)) + loadOf(states.at(1))) / 2;
    QVERIFY2(qAbs(reported - expected) < 0.01 * expected + 0.001,
             qPrintable(QStringLiteral("%1 vs %2").arg(reported).arg(expected)));
    if (settings.busLimit)
        QVERIFY(reported <= 1.0);
    else
        QVERIFY(reported > 1.0);
}

void tst_AdapterDevice::errorFramesAreCounted()
{
    AdapterDevice device;
    AdapterSettings settings;
    settings.errorFramesPerSecond = 10;
    device.setSettings(settings);
    feed(device, baud(2, Rate250k), 0);
    take(device);
    run(device, 0, 2 * Second);
    quint32 last = 0;
    for (const QByteArray &r : records(take(device))) {
        if (quint8(r.at(1)) == Wire::DeviceStates)
            last = Wire::readU32(r.constData() + 9);
    }
    QVERIFY2(last >= 19 && last <= 20, qPrintable(QString::number(last)));
}

void tst_AdapterDevice::sequenceNumbersRunWithoutGaps()
{
    AdapterDevice device;
    AdapterSettings settings;
    settings.frameRate[0] = 500;
    settings.frameRate[1] = 700;
    settings.sequenceNumbers = true;
    device.setSettings(settings);
    feed(device, baud(1, Rate1000k) + baud(2, Rate250k), 0);
    take(device);
    run(device, 0, Second - 1000);

    quint64 next[2] = { 0, 0 };
    for (const QByteArray &r : records(take(device))) {
        if (quint8(r.at(1)) != Wire::CANFrame)
            continue;
        const int channel = r.at(2);
        QCOMPARE(quint8(r.at(3)) & 0x4F, 0x08); // data frames of 8 bytes
        quint64 seq = 0;
        std::memcpy(&seq, r.constData() + 3 + CanFrame::DataOffset, 8);
        QCOMPARE(seq, next[channel - 1]++);
    }
    QCOMPARE(next[0], quint64(500));
    QCOMPARE(next[1], quint64(700));
}

void tst_AdapterDevice::loopedBackFrameFollowsTheOtherChannelsTraffic_data()
{
    QTest::addColumn<bool>("busLimit");
    QTest::newRow("bus limited") << true;
    QTest::newRow("frames may overlap") << false;
}

// A short frame sent while channel 2's long frame is still on the shared wire: channel 2 must
// not see the echo stamped before the frame it has already reported.
void tst_AdapterDevice::loopedBackFrameFollowsTheOtherChannelsTraffic()
{
    QFETCH(bool, busLimit);
    AdapterDevice device;
    AdapterSettings settings;
    settings.frameRate[1] = 1000;
    settings.sequenceNumbers = true; // 8 data bytes: about 0.5 ms on the wire at 250 kbps
    settings.busLimit = busLimit;
    device.setSettings(settings);
    feed(device, baud(1, Rate250k) + baud(2, Rate250k), 0);
    run(device, 0, 10000);
    const QByteArray shortFrame = contextProtocol::buildCanFrame(0, 0, 0, 0x100, QByteArray(8, 0));
    feed(device, contextProtocol::buildCanSend(1, shortFrame, 1), 10010);

    QList<quint32> stamps;
    for (const QByteArray &r : records(take(device))) {
        if (quint8(r.at(1)) == Wire::CANFrame && r.at(2) == 2)
            stamps << Wire::readU32(r.constData() + 16);
    }
    QVERIFY(stamps.size() >= 2);
    for (int i = 1; i < stamps.size(); ++i)
        QVERIFY2(stamps.at(i) >= stamps.at(i - 1),
                 qPrintable(QStringLiteral("frame %1 stamped %2 after %3")
                                .arg(i)
                                .arg(stamps.at(i))
                                .arg(stamps.at(i - 1))));
}

void tst_AdapterDevice::faultsShapeTheStream()
{
    AdapterDevice device;
    AdapterSettings settings;
    settings.frameRate[0] = 1000;
    settings.dropEvery = 10;
    settings.garbageEvery = 0;
    device.setSettings(settings);
    feed(device, baud(1, Rate1000k), 0);
    run(device, 0, Second / 10);
    const int records = device.statistics().recordsOut;
    QCOMPARE(take(device).size(), records * Wire::RecordSize - records / 10);

    settings.dropEvery = 0;
    settings.garbageEvery = 1;
    device.setSettings(settings);
    run(device, Second / 10 + 1000, Second / 5);
    const int more = int(device.statistics().recordsOut) - records;
    const int size = take(device).size();
    QVERIFY(size >= more * (Wire::RecordSize + 1) && size <= more * (Wire::RecordSize + 7));

    // Stray bytes after every second send confirmation, then a record of an unknown kind after
    // every record.
    settings.garbageEvery = 0;
    settings.loopback = false;
    settings.strayAfterSendEvery = 2;
    device.setSettings(settings);
    take(device);
    const QByteArray frame = contextProtocol::buildCanFrame(0, 0, 1, 0x10, QByteArray(8, '\0'));
    QByteArray sends;
    for (uint rank = 0; rank < 4; ++rank)
        sends += contextProtocol::buildCanSend(1, frame, rank);
    feed(device, sends, Second / 5);
    QByteArray out = take(device);
    QVERIFY(out.size() >= 4 * Wire::RecordSize + 2 && out.size() <= 4 * Wire::RecordSize + 14);
    QCOMPARE(out.mid(Wire::RecordSize, 2), QByteArray::fromHex("FF05"));
    QVERIFY(out.mid(2 * Wire::RecordSize, 2) != QByteArray::fromHex("FF05"));

    settings.strayAfterSendEvery = 0;
    settings.unknownEvery = 1;
    device.setSettings(settings);
    feed(device, sends.left(2 * Wire::CANSendLength), Second / 5);
    out = take(device);
    QCOMPARE(out.size(), 4 * Wire::RecordSize);
    for (int at : { 0, 2 * Wire::RecordSize }) {
        QCOMPARE(out.mid(at, 2), QByteArray::fromHex("FF05"));
        QCOMPARE(quint8(out.at(at + Wire::RecordSize)), Wire::RecordMark);
        QVERIFY(!Wire::isRecordCode(quint8(out.at(at + Wire::RecordSize + 1))));
    }

    settings.unknownEvery = 0;
    settings.streamBeforeOpen = true;
    settings.frameRate[1] = 1000;
    device.setSettings(settings);
    device.advance(Second / 5 + 1000);
    // The stream now starts inside a record, and both channels run without being asked.
    QVERIFY(take(device).size() % Wire::RecordSize != 0);
    QVERIFY(device.isChannelStarted(1) && device.isChannelStarted(2));

    settings.streamBeforeOpen = false;
    settings.silent = true;
    device.setSettings(settings);
    feed(device, contextProtocol::buildDeviceOpen() + baud(1, Rate250k), Second);
    QCOMPARE(take(device).size(), 0);
}

QTEST_APPLESS_MAIN(tst_AdapterDevice)
#include "tst_adapterdevice.moc"
