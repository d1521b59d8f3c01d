#include "display/canframeformatter.h"
#include "protocol/canframe.h"
#include "recording/logcodec.h"

#include <QtTest>

namespace {
QByteArray frameBytes(quint8 info, quint32 id, const QByteArray &data)
{
    QByteArray frame;
    frame.append(char(info));
    for (int i = 0; i < 4; ++i)
        frame.append(char((id >> (8 * i)) & 0xFF));
    frame.append(data.left(8));
    frame.append(QByteArray(CanFrame::Size - frame.size(), '\0'));
    return frame;
}

int msecsOfDay(int h, int m, int s, int ms)
{
    return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

// The history keeps numbers only: every text must come out of them as it did from the frame.
QString fieldOf(const CanRecord &record, CanFrameFormatter::Field field)
{
    char text[CanFrameFormatter::MaxFieldChars];
    const int n = CanFrameFormatter::writeField(text, record, field);
    const QString viaString = CanFrameFormatter::fieldText(record, field);
    return viaString == QString::fromLatin1(text, n) ? viaString : QStringLiteral("<differs>");
}
} // namespace

class tst_CanFrameFormatter : public QObject
{
    Q_OBJECT
private slots:
    void timeStamp_data();
    void timeStamp();
    void frameId_data();
    void frameId();
    void record_data();
    void record();
    void systemTime_data();
    void systemTime();
    void repeatedTextsAreShared();
};

void tst_CanFrameFormatter::timeStamp_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0u << QStringLiteral("000000.0000");
    QTest::newRow("one digit") << 7u << QStringLiteral("000000.0007");
    QTest::newRow("four digits") << 1234u << QStringLiteral("000000.1234");
    QTest::newRow("five digits") << 12345u << QStringLiteral("000001.2345");
    QTest::newRow("six digits") << 123456u << QStringLiteral("000012.3456");
    QTest::newRow("largest") << 4294967295u << QStringLiteral("429496.7295");
}

void tst_CanFrameFormatter::timeStamp()
{
    QFETCH(uint, value);
    QFETCH(QString, text);
    QCOMPARE(CanFrameFormatter::timeStampText(value), text);
    CanRecord record;
    record.timeStamp = value;
    QCOMPARE(fieldOf(record, CanFrameFormatter::TimeStamp), text);
}

void tst_CanFrameFormatter::frameId_data()
{
    QTest::addColumn<quint32>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << quint32(0) << QStringLiteral("0x0");
    QTest::newRow("standard") << quint32(0x7EF) << QStringLiteral("0x7ef");
    QTest::newRow("extended") << quint32(0x1F3A5) << QStringLiteral("0x1f3a5");
    QTest::newRow("largest extended") << quint32(0x1FFFFFFF) << QStringLiteral("0x1fffffff");
    QTest::newRow("all bits") << quint32(0xFFFFFFFF) << QStringLiteral("0xffffffff");
}

void tst_CanFrameFormatter::frameId()
{
    QFETCH(quint32, id);
    QFETCH(QString, text);
    QCOMPARE(CanFrameFormatter::frameIdText(id), text);
    CanRecord record;
    record.id = id;
    QCOMPARE(fieldOf(record, CanFrameFormatter::FrameId), text);
}

void tst_CanFrameFormatter::record_data()
{
    QTest::addColumn<uchar>("channel");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<uint>("timeStamp");
    QTest::addColumn<uint>("dir");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("worked example")
        << uchar(1) << frameBytes(0x03, 0x7EF, QByteArray::fromHex("01AB0F")) << 123456u << 0u
        << QStringList { QStringLiteral("14:05:09.042"),
                         QStringLiteral("000012.3456"),
                         QStringLiteral("1"),
                         QStringLiteral("0x7ef"),
                         QStringLiteral("STD"),
                         QStringLiteral("Rx"),
                         QStringLiteral("3"),
                         QStringLiteral("01 AB 0F") };
    QTest::newRow("extended sent eight bytes")
        << uchar(2) << frameBytes(0x88, 0x1F3A5, QByteArray::fromHex("1122334455667788")) << 5u
        << 1u
        << QStringList { QStringLiteral("14:05:09.042"),
                         QStringLiteral("000000.0005"),
                         QStringLiteral("2"),
                         QStringLiteral("0x1f3a5"),
                         QStringLiteral("EXT"),
                         QStringLiteral("Tx"),
                         QStringLiteral("8"),
                         QStringLiteral("11 22 33 44 55 66 77 88") };
    QTest::newRow("dlc zero") << uchar(1) << frameBytes(0x00, 0x100, QByteArray::fromHex("FFFF"))
                              << 0u << 0u
                              << QStringList { QStringLiteral("14:05:09.042"),
                                               QStringLiteral("000000.0000"),
                                               QStringLiteral("1"),
                                               QStringLiteral("0x100"),
                                               QStringLiteral("STD"),
                                               QStringLiteral("Rx"),
                                               QStringLiteral("0"),
                                               QString() };
    QTest::newRow("identifier zero")
        << uchar(1) << frameBytes(0x01, 0, QByteArray::fromHex("00")) << 0u << 0u
        << QStringList { QStringLiteral("14:05:09.042"),
                         QStringLiteral("000000.0000"),
                         QStringLiteral("1"),
                         QStringLiteral("0x0"),
                         QStringLiteral("STD"),
                         QStringLiteral("Rx"),
                         QStringLiteral("1"),
                         QStringLiteral("00") };
    // A remote frame carries no data, whatever its length says and its record holds.
    QTest::newRow("extended remote")
        << uchar(2) << frameBytes(0xC2, 0x18FF50E5, QByteArray::fromHex("A0B1")) << 10000u << 0u
        << QStringList { QStringLiteral("14:05:09.042"),
                         QStringLiteral("000001.0000"),
                         QStringLiteral("2"),
                         QStringLiteral("0x18ff50e5"),
                         QStringLiteral("EXT-R"),
                         QStringLiteral("Rx"),
                         QStringLiteral("2"),
                         QString() };
    QTest::newRow("standard remote of length 8")
        << uchar(1) << frameBytes(0x48, 0x7EF, QByteArray::fromHex("0102030405060708")) << 0u << 1u
        << QStringList { QStringLiteral("14:05:09.042"),
                         QStringLiteral("000000.0000"),
                         QStringLiteral("1"),
                         QStringLiteral("0x7ef"),
                         QStringLiteral("STD-R"),
                         QStringLiteral("Tx"),
                         QStringLiteral("8"),
                         QString() };
    QTest::newRow("dlc above eight reads zeros")
        << uchar(1) << frameBytes(0x0A, 0x12, QByteArray::fromHex("0102030405060708")) << 0u << 0u
        << QStringList { QStringLiteral("14:05:09.042"),
                         QStringLiteral("000000.0000"),
                         QStringLiteral("1"),
                         QStringLiteral("0x12"),
                         QStringLiteral("STD"),
                         QStringLiteral("Rx"),
                         QStringLiteral("10"),
                         QStringLiteral("01 02 03 04 05 06 07 08 00 00") };
    QTest::newRow("short record") << uchar(1) << QByteArray::fromHex("0477665544AABB") << 0u << 0u
                                  << QStringList { QStringLiteral("14:05:09.042"),
                                                   QStringLiteral("000000.0000"),
                                                   QStringLiteral("1"),
                                                   QStringLiteral("0x44556677"),
                                                   QStringLiteral("STD"),
                                                   QStringLiteral("Rx"),
                                                   QStringLiteral("4"),
                                                   QStringLiteral("AA BB 00 00") };
    QTest::newRow("channel byte in decimal")
        << uchar(200) << frameBytes(0x01, 0x1, QByteArray::fromHex("0F")) << 0u << 3u
        << QStringList { QStringLiteral("14:05:09.042"),
                         QStringLiteral("000000.0000"),
                         QStringLiteral("200"),
                         QStringLiteral("0x1"),
                         QStringLiteral("STD"),
                         QStringLiteral("Tx"),
                         QStringLiteral("1"),
                         QStringLiteral("0F") };
}

void tst_CanFrameFormatter::record()
{
    QFETCH(uchar, channel);
    QFETCH(QByteArray, frame);
    QFETCH(uint, timeStamp);
    QFETCH(uint, dir);
    QFETCH(QStringList, texts);

    CanFrameFormatter formatter;
    FileSaveSupport::CAN_StructureDescription record;
    formatter.format(record, channel, frame, timeStamp, dir, msecsOfDay(14, 5, 9, 42));
    const QStringList got { record.systemTime, record.timeStamp, record.channel,    record.frameID,
                            record.canType,    record.direction, record.dataLength, record.data };
    QCOMPARE(got, texts);

    const CanRecord numbers
        = CanFrameFormatter::recordOf(channel, frame, timeStamp, dir, msecsOfDay(14, 5, 9, 42), 0);
    QStringList fromNumbers;
    for (int f = CanFrameFormatter::SystemTime; f <= CanFrameFormatter::Data; ++f)
        fromNumbers << fieldOf(numbers, CanFrameFormatter::Field(f));
    QCOMPARE(fromNumbers, texts);

    // The native log's line, remote frames' own rule included, from the numbers as from the texts.
    record.frame = numbers.frame();
    QByteArray fromTexts;
    QByteArray fromRecord = "before ";
    LogCodec::create(LogFormat::Native)->appendFrame(fromTexts, record);
    LogCodec::create(LogFormat::Native)->appendRecord(fromRecord, numbers);
    QCOMPARE(fromRecord, "before " + fromTexts);
}

void tst_CanFrameFormatter::systemTime_data()
{
    QTest::addColumn<int>("msecs");
    QTest::addColumn<QString>("text");
    QTest::newRow("midnight") << 0 << QStringLiteral("00:00:00.000");
    QTest::newRow("afternoon") << msecsOfDay(14, 5, 9, 42) << QStringLiteral("14:05:09.042");
    QTest::newRow("last millisecond")
        << msecsOfDay(23, 59, 59, 999) << QStringLiteral("23:59:59.999");
}

void tst_CanFrameFormatter::systemTime()
{
    QFETCH(int, msecs);
    QFETCH(QString, text);
    QCOMPARE(CanFrameFormatter::systemTimeText(msecs), text);
    CanRecord record;
    record.msecsOfDay = msecs;
    QCOMPARE(fieldOf(record, CanFrameFormatter::SystemTime), text);
    QCOMPARE(text, QTime::fromMSecsSinceStartOfDay(msecs).toString(QStringLiteral("hh:mm:ss.zzz")));
}

void tst_CanFrameFormatter::repeatedTextsAreShared()
{
    // A full buffer holds a million records: the texts that repeat must not be stored a million
    // times.
    CanFrameFormatter formatter;
    FileSaveSupport::CAN_StructureDescription a;
    FileSaveSupport::CAN_StructureDescription b;
    const QByteArray frame = frameBytes(0x08, 0x7EF, QByteArray::fromHex("0102030405060708"));
    formatter.format(a, 1, frame, 10, 0, 1000);
    formatter.format(b, 1, frame, 11, 0, 1000);
    QVERIFY(a.channel.isSharedWith(b.channel));
    QVERIFY(a.canType.isSharedWith(b.canType));
    QVERIFY(a.direction.isSharedWith(b.direction));
    QVERIFY(a.dataLength.isSharedWith(b.dataLength));
    QVERIFY(a.systemTime.isSharedWith(b.systemTime));
    QVERIFY(a.frameID.isSharedWith(b.frameID));
    QVERIFY(!a.timeStamp.isSharedWith(b.timeStamp));

    formatter.format(b, 1, frame, 12, 0, 1001);
    QCOMPARE(b.systemTime, QStringLiteral("00:00:01.001"));
    QCOMPARE(a.systemTime, QStringLiteral("00:00:01.000"));
}

QTEST_APPLESS_MAIN(tst_CanFrameFormatter)
#include "tst_canframeformatter.moc"
