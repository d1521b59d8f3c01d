#include "display/canframeformatter.h"
#include "display/canrecordbuffer.h"
#include "display/lockedhandoff.h"
#include "display/logfiledialogs.h"
#include "recording/filesavesupport.h"
#include "recording/logcodec.h"
#include "recording/logfilereader.h"
#include "support/logframetable.h"

#include <QBuffer>
#include <QtTest>

Q_DECLARE_METATYPE(LogFormat)

namespace {
QVector<LogFrame> readFrames(const QByteArray &content, LogReadResult *result)
{
    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    QVector<LogFrame> frames;
    *result = LogFileReader::read(buffer, [&](const LogFrame &frame) {
        frames.append(frame);
        return true;
    });
    return frames;
}

// "2 1F3A5x r4 - Tx +1500": channel, identifier (x: extended), DLC (r: remote), data, direction
// and microseconds since the file's first frame.
QString describe(const LogFrame &frame, qint64 firstUs)
{
    QString data;
    for (int i = 0; i < frame.dataCount(); ++i)
        data += QStringLiteral("%1").arg(frame.data[i], 2, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("%1 %2%3 %4%5 %6 %7 +%8")
        .arg(frame.channel)
        .arg(QString::number(frame.id, 16).toUpper(),
             frame.isExtended() ? QStringLiteral("x") : QString(),
             frame.isRemote() ? QStringLiteral("r") : QString())
        .arg(frame.dlc())
        .arg(data.isEmpty() ? QStringLiteral("-") : data,
             frame.dir != 0 ? QStringLiteral("Tx") : QStringLiteral("Rx"))
        .arg(frame.hostTimeUs - firstUs);
}

// The reader finds the format from the content; both candump logs read as one.
LogFormat readFormat(LogFormat written)
{
    return written == LogFormat::CandumpWithDirection ? LogFormat::Candump : written;
}
} // namespace

class tst_LogFormats : public QObject
{
    Q_OBJECT
private:
    void readsVariant();
    static void variantColumns();

private slots:
    void roundTrip_data();
    void roundTrip();
    void realTimeLogMatchesGlobalSave_data() { roundTrip_data(); }
    void realTimeLogMatchesGlobalSave();
    void timeline_data();
    void timeline();
    void badLinesAndNonLogs_data();
    void badLinesAndNonLogs();
    void candumpVariants_data();
    void candumpVariants() { readsVariant(); }
    void ascVariants_data();
    void ascVariants() { readsVariant(); }
    void trcVariants_data();
    void trcVariants() { readsVariant(); }
    void nativeVariants_data();
    void nativeVariants() { readsVariant(); }
    void nativeLongCaptureKeepsItsDays_data();
    void nativeLongCaptureKeepsItsDays();
    void saveDialogChoices_data();
    void saveDialogChoices();
    void saveDialogStartFolder();
};

void tst_LogFormats::roundTrip_data()
{
    QTest::addColumn<LogFormat>("format");
    QTest::newRow("native") << LogFormat::Native;
    QTest::newRow("candump") << LogFormat::Candump;
    QTest::newRow("asc") << LogFormat::Asc;
    QTest::newRow("trc") << LogFormat::Trc;
    QTest::newRow("candump with direction") << LogFormat::CandumpWithDirection;
}

void tst_LogFormats::roundTrip()
{
    QFETCH(LogFormat, format);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table") + LogCodec::suffix(format));
    const QVector<CanRecord> records = LogFrameTable::records();
    CanRecordBuffer buffer;
    for (const CanRecord &record : records)
        buffer.append(record);
    LockedHandoff<CanRecordBuffer> history;
    history.set(buffer);
    FileSaveSupport writer(&history);
    writer.setGlobalSavePath(path);
    writer.setGlobalSaveFormat(format);
    writer.globalSave();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    LogReadResult result;
    const QVector<LogFrame> frames = readFrames(file.readAll(), &result);
    QVERIFY(result.recognised);
    QCOMPARE(result.format, readFormat(format));
    QCOMPARE(result.badLines, 0);
    QCOMPARE(frames.size(), records.size());

    const QVector<qint64> gaps = LogFrameTable::gapsUs();
    for (int i = 0; i < frames.size(); ++i) {
        const LogFrame want = records.at(i).frame();
        const LogFrame &got = frames.at(i);
        QCOMPARE(got.channel, want.channel);
        QCOMPARE(got.id, want.id);
        QCOMPARE(got.isExtended(), want.isExtended());
        // The native log writes a remote frame as a data frame with the bytes it carries; the
        // plain candump log has no direction.
        QCOMPARE(got.isRemote(), format != LogFormat::Native && want.isRemote());
        QCOMPARE(got.dlc(), want.dlc());
        QCOMPARE(got.dir, format == LogFormat::Candump ? 0 : want.dir);
        QCOMPARE(got.dataCount(), format == LogFormat::Native ? want.dlc() : want.dataCount());
        for (int b = 0; b < got.dataCount(); ++b)
            QCOMPARE(got.data[b], want.data[b]);
        if (format == LogFormat::Native) {
            // Host time of day to the millisecond; the day is the one the header names.
            const auto timeOfDay
                = [](qint64 us) { return QDateTime::fromMSecsSinceEpoch(us / 1000).time(); };
            QCOMPARE(timeOfDay(got.hostTimeUs), timeOfDay(want.hostTimeUs));
        } else {
            // The first frame at its host time, the others at the device stamps' gaps.
            QVERIFY2(qAbs(got.hostTimeUs - frames.first().hostTimeUs - gaps.at(i)) <= 1,
                     qPrintable(QString::number(got.hostTimeUs - frames.first().hostTimeUs)));
        }
    }
    if (format != LogFormat::Native)
        QVERIFY(qAbs(frames.first().hostTimeUs - records.first().hostTimeUs) < 1000);
}

void tst_LogFormats::realTimeLogMatchesGlobalSave()
{
    // Both ways of saving write the same frame lines; only the header may differ.
    QFETCH(LogFormat, format);
    QTemporaryDir dir;
    LockedHandoff<CanRecordBuffer> history;
    FileSaveSupport writer(&history);
    const QString live = dir.filePath(QStringLiteral("live"));
    writer.setRealTimeFormat(format);
    writer.realTimeSaveCommand(live, true);
    // Frames arrive after the log was started.
    QVector<CanRecord> records = LogFrameTable::records();
    const qint64 shift
        = QDateTime::currentMSecsSinceEpoch() * 1000 + 1000000 - records.first().hostTimeUs;
    for (CanRecord &record : records)
        record.hostTimeUs += shift;
    writer.writeRecords(records.mid(0, 3));
    writer.writeRecords(records.mid(3));
    writer.realTimeSaveCommand(QString(), false);

    QFile file(live);
    QVERIFY(file.open(QIODevice::ReadOnly));
    LogReadResult result;
    const QVector<LogFrame> frames = readFrames(file.readAll(), &result);
    QCOMPARE(result.format, readFormat(format));
    QCOMPARE(result.badLines, 0);
    QCOMPARE(frames.size(), records.size());
    const QVector<qint64> gaps = LogFrameTable::gapsUs();
    if (format != LogFormat::Native) {
        for (int i = 0; i < frames.size(); ++i)
            QVERIFY(qAbs(frames.at(i).hostTimeUs - frames.first().hostTimeUs - gaps.at(i)) <= 1);
    }
}

void tst_LogFormats::timeline_data()
{
    // Device stamps (0.1 ms) and host times (ms) of successive frames, and the times (ms) a
    // written log gives them.
    using Times = QVector<qint64>;
    QTest::addColumn<Times>("stamps");
    QTest::addColumn<Times>("hosts");
    QTest::addColumn<Times>("expected");
    QTest::newRow("gaps from the stamps")
        << Times { 100, 150, 10150 } << Times { 7, 9, 1000 } << Times { 7, 12, 1012 };
    QTest::newRow("across the wrap")
        << Times { 4294967096, 200 } << Times { 7, 9 } << Times { 7, 47 };
    QTest::newRow("a little out of order")
        << Times { 5000, 4990 } << Times { 7, 7 } << Times { 7, 6 };
    QTest::newRow("device clock started again")
        << Times { 900000, 50, 150 } << Times { 7, 5000, 5001 } << Times { 7, 5000, 5010 };
}

void tst_LogFormats::timeline()
{
    using Times = QVector<qint64>;
    QFETCH(Times, stamps);
    QFETCH(Times, hosts);
    QFETCH(Times, expected);
    LogTimeline timeline;
    for (int i = 0; i < stamps.size(); ++i) {
        LogFrame frame;
        frame.timeStamp = quint32(stamps.at(i));
        frame.hostTimeUs = hosts.at(i) * 1000;
        QCOMPARE(timeline.timeOf(frame), expected.at(i) * 1000);
    }
}

void tst_LogFormats::badLinesAndNonLogs_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("badLines");
    QTest::addColumn<int>("firstBadLine");

    QTest::newRow("candump") << QByteArray("(1.000000) can0 123#11\r\nhello\n\n"
                                           "(1.000100) can1 12345678#R T\n(x) can0 1#\n"
                                           "(2.0) can0 123#112\n(2.0) can0 800#\n")
                             << true << 2 << 4 << 2;
    QTest::newRow("asc") << QByteArray("date Tue Dec 8 06:05:57.000 am 2026\n"
                                       "base hex  timestamps absolute\n"
                                       "Begin Triggerblock Tue Dec 8 06:05:57.000 am 2026\n"
                                       "   0.000000 Start of measurement\n"
                                       "   0.001000 1  7EF  Rx d 2 01\n"
                                       "   0.002000 2  1F3A5x Tx r 8\n"
                                       "   0.003000 1 Statistic: D 1\n"
                                       "garbage\nEnd TriggerBlock\n")
                         << true << 1 << 2 << 5;
    QTest::newRow("trc") << QByteArray(";$FILEVERSION=2.1\n;$STARTTIME=46000.5\n"
                                       ";$COLUMNS=N,O,T,B,I,d,R,L,D\n"
                                       "      1         1.000 DT  1     07EF Rx -  2    01 02\n"
                                       "      2         2.000 DT  1     07EF Rx -  2    01\n"
                                       "      3         3.000 ST  1 Rx - 4 00 00 00 00\n")
                         << true << 1 << 1 << 5;
    QTest::newRow("native") << QByteArray(
        "date 2026-12-07 14:05:08\r\nbase hex timestamps system\r\n"
        "version 1.0\r\n\r\n"
        "14:05:09.042 1 0x7ef STD Rx 3 01 AB 0F\r\n"
        "14:05:09.043 1 0x7ef STD Rx 3 01 AB\r\n"
        "14:05:09.050 2 0x1f3a5 EXT-R Tx 8 \r\n")
                            << true << 2 << 1 << 6;
    QTest::newRow("overlong line") << QByteArray("(1.0) can0 123#\n") + QByteArray(100000, 'A')
            + QByteArray("\n(1.1) can0 124#\n")
                                   << true << 2 << 1 << 2;
    QTest::newRow("plain text") << QByteArray("Dear diary,\ntoday the bus was quiet.\n") << false
                                << 0 << 0 << 0;
    QTest::newRow("binary") << QByteArray("\x00\x01\x02\xFF\xFE(1.0) can0", 14) << false << 0 << 0
                            << 0;
    QTest::newRow("empty") << QByteArray() << false << 0 << 0 << 0;
}

void tst_LogFormats::badLinesAndNonLogs()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, recognised);
    QFETCH(int, frames);
    QFETCH(int, badLines);
    QFETCH(int, firstBadLine);
    LogReadResult result;
    const QVector<LogFrame> read = readFrames(content, &result);
    QCOMPARE(result.recognised, recognised);
    QCOMPARE(read.size(), frames);
    QCOMPARE(result.badLines, qint64(badLines));
    QCOMPARE(result.firstBadLine, qint64(firstBadLine));
    QVERIFY(result.firstBadText.size() <= 80);
}

void tst_LogFormats::variantColumns()
{
    QTest::addColumn<LogFormat>("format");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArrayList>("frames");
    // Lines refused, and a part of the reason given for them.
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("reason");
    // Local time of the first frame when the file tells it, else empty.
    QTest::addColumn<QString>("firstTime");
}

void tst_LogFormats::readsVariant()
{
    QFETCH(LogFormat, format);
    QFETCH(QByteArray, content);
    QFETCH(QByteArrayList, frames);
    QFETCH(int, refused);
    QFETCH(QString, reason);
    QFETCH(QString, firstTime);
    LogReadResult result;
    const QVector<LogFrame> read = readFrames(content, &result);
    QVERIFY(result.recognised);
    QCOMPARE(result.format, format);
    QVERIFY2(result.badLines == 0, result.firstBadText.constData());
    QByteArrayList got;
    for (const LogFrame &frame : read)
        got << describe(frame, read.first().hostTimeUs).toLatin1();
    QCOMPARE(got, frames);
    QCOMPARE(result.refusedLines, qint64(refused));
    if (refused > 0)
        QVERIFY2(result.refusal.contains(reason), qPrintable(result.refusal));
    if (!firstTime.isEmpty()) {
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(read.first().hostTimeUs / 1000)
                     .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
                 firstTime);
    }
}

void tst_LogFormats::candumpVariants_data()
{
    variantColumns();
    const LogFormat f = LogFormat::Candump;
    QTest::newRow("candump -l") << f
                                << QByteArray("(1765180800.123000) can0 7EF#01AB0F\n"
                                              "(1765180800.223456) can1 0001F3A5#R\n"
                                              "(1765180800.323456) can1 123#R4\n")
                                << QByteArrayList { "1 7EF 3 01AB0F Rx +0",
                                                    "2 1F3A5x r0 - Rx +100456",
                                                    "2 123 r4 - Rx +200456" }
                                << 0 << QString() << QString();
    QTest::newRow("candump -x direction")
        << f << QByteArray("(1.000000) can0 123#11 T\n(1.500000) vcan1 124#R2 R\n")
        << QByteArrayList { "1 123 1 11 Tx +0", "2 124 r2 - Rx +500000" } << 0 << QString()
        << QString();
    QTest::newRow("raw DLC above 8")
        << f
        << QByteArray("(1.000000) can0 123#1122334455667788_E\n(1.100000) can0 0000ABCD#R8_F\n")
        << QByteArrayList { "1 123 14 1122334455667788 Rx +0", "1 ABCDx r15 - Rx +100000" } << 0
        << QString() << QString();
    QTest::newRow("error frame")
        << f << QByteArray("(1.000000) can0 20000080#0000000000000000\n(1.100000) can0 123#\n")
        << QByteArrayList { "1 123 0 - Rx +0" } << 0 << QString() << QString();
    QTest::newRow("CAN FD refused")
        << f << QByteArray("(1.000000) can0 123##1112233\n(1.100000) can0 124#11\n")
        << QByteArrayList { "1 124 1 11 Rx +0" } << 1 << QStringLiteral("CAN FD") << QString();
}

void tst_LogFormats::ascVariants_data()
{
    variantColumns();
    const LogFormat f = LogFormat::Asc;
    const QByteArray date = "date Tue Dec 8 06:05:57.000 am 2026\n";
    QTest::newRow("CANoe with Length and BitCount")
        << f
        << date
            + "base hex  timestamps absolute\ninternal events logged\n// version 9.0.0\n"
              "Begin Triggerblock Tue Dec 8 06:05:57.000 am 2026\n"
              "   0.000000 Start of measurement\n"
              "   0.001000 1  7EF             Rx   d 3 01 AB 0F  Length = 272000 "
              "BitCount = 70 ID = 2031\n"
              "   0.002500 2  1F3A5x          Tx   d 8 11 22 33 44 55 66 77 88  Length = 0 "
              "BitCount = 0 ID = 127909x\n"
              "   0.003000 1  100             TxRq d 2 01 02\n"
              "End TriggerBlock\n"
        << QByteArrayList { "1 7EF 3 01AB0F Rx +0", "2 1F3A5x 8 1122334455667788 Tx +1500" } << 0
        << QString() << QStringLiteral("2026-12-08 06:05:57.001");
    QTest::newRow("older remote line without DLC")
        << f
        << date
            + "base hex  timestamps absolute\n"
              "   2.520002 3  200             Tx   r Length = 1704000 BitCount = 44 ID = 512\n"
              "   2.530000 1  300             Rx   r 4\n"
        << QByteArrayList { "3 200 r0 - Tx +0", "1 300 r4 - Rx +9998" } << 0 << QString()
        << QStringLiteral("2026-12-08 06:05:59.520");
    QTest::newRow("relative timestamps are gaps")
        << f
        << date
            + "base hex  timestamps relative\n"
              "   0.010000 1  100             Rx   d 1 01\n"
              "   0.500000 1 Statistic: D 1 R 0 XD 0 XR 0 E 0 O 0 B 0.05%\n"
              "   0.020000 2  101             Tx   d 0\n"
        << QByteArrayList { "1 100 1 01 Rx +0", "2 101 0 - Tx +520000" } << 0 << QString()
        << QStringLiteral("2026-12-08 06:05:57.010");
    QTest::newRow("classic frames in CANFD lines")
        << f
        << date
            + "base hex  timestamps absolute\n"
              "   0.001000 CANFD   1 Rx         7EF                                  0 0 3  3 "
              "01 AB 0F   130000  130        0 0 0 0 0 0\n"
              "   0.002000 CANFD   2 Tx      1F3A5x                                  0 0 4  0"
              "   130000  130       10 0 0 0 0 0\n"
              "   0.003000 CANFD   1 Rx         123  EngineData                      0 0 8  8 "
              "11 22 33 44 55 66 77 88   130000  130        0 0 0 0 0 0\n"
              "   0.004000 CANFD   1 Rx         124                                  1 0 9 12 "
              "00 01 02 03 04 05 06 07 08 09 0A 0B   130000  130     3000 0 0 0 0 0\n"
              "   0.005000 CANFD   1 Rx         125                                  0 0 8  8 "
              "01 02 03 04 05 06 07 08   130000  130     1000 0 0 0 0 0\n"
        << QByteArrayList { "1 7EF 3 01AB0F Rx +0", "2 1F3A5x r4 - Tx +1000",
                            "1 123 8 1122334455667788 Rx +2000" }
        << 2 << QStringLiteral("CAN FD") << QString();
}

void tst_LogFormats::trcVariants_data()
{
    variantColumns();
    const LogFormat f = LogFormat::Trc;
    QTest::newRow("1.0 without version line")
        << f
        << QByteArray(
               ";##########################################################################\n"
               ";   C:\\Temp\\bus.trc\n;\n"
               ";    Start time: 02.03.2009 11:11:13.110\n"
               ";    Generated by PCAN-View v3.0.0.212\n;\n"
               ";----+- ---+--- ----+--- + -+ -- -- -- -- -- -- --\n"
               "     1)      1841     0001  8  00 11 22 33 44 55 66 77\n"
               "     2)      1842 FFFFFFFF  4  00 00 00 08\n"
               "     3)      1843 00012345  2  AA BB\n")
        << QByteArrayList { "1 1 8 0011223344556677 Rx +0", "1 12345x 2 AABB Rx +2000" } << 0
        << QString() << QStringLiteral("2009-03-02 11:11:14.951");
    QTest::newRow("1.1 with Rx/Tx, RTR and bus states")
        << f
        << QByteArray(";$FILEVERSION=1.1\n;$STARTTIME=41764.5\n;\n"
                      ";   Start time: 05.05.2014 12:00:00.000.0\n"
                      "     1)      1841.0  Rx         0001  8  00 00 00 00 00 00 00 00\n"
                      "     2)      1842.3  Tx     00012345  2  AA BB\n"
                      "     3)      1843.7  Rx         0100  4  RTR\n"
                      "     4)      2850.9  Warng  FFFFFFFF  4  00 00 00 08 BUSHEAVY\n"
                      "     5)      2851.0  Error      0008  4  00 19 08 08\n")
        << QByteArrayList { "1 1 8 0000000000000000 Rx +0", "1 12345x 2 AABB Tx +1300",
                            "1 100 r4 - Rx +2700" }
        << 0 << QString() << QStringLiteral("2014-05-05 12:00:01.841");
    QTest::newRow("1.2 with the bus")
        << f
        << QByteArray(";$FILEVERSION=1.2\n;$STARTTIME=41764.5\n"
                      "     1)      1841.0 1  Rx         0001  8  00 11 22 33 44 55 66 77\n"
                      "     2)      1842.0 2  Tx         0002  0\n"
                      "     3)      1843.5 2  Rx         0003  2  RTR\n")
        << QByteArrayList { "1 1 8 0011223344556677 Rx +0", "2 2 0 - Tx +1000",
                            "2 3 r2 - Rx +2500" }
        << 0 << QString() << QString();
    QTest::newRow("1.3 with a reserved column")
        << f
        << QByteArray(";$FILEVERSION=1.3\n;$STARTTIME=41764.5\n"
                      "     1)      1841.0 1  Rx         0001 -  8  00 11 22 33 44 55 66 77\n"
                      "     2)      1842.0 2  Tx     1FFFFFFF -  1  5A\n")
        << QByteArrayList { "1 1 8 0011223344556677 Rx +0", "2 1FFFFFFFx 1 5A Tx +1000" } << 0
        << QString() << QString();
    QTest::newRow("2.0 without $COLUMNS")
        << f
        << QByteArray(
               ";$FILEVERSION=2.0\n;$STARTTIME=41764.5\n"
               "      1      1059.900 DT     0300 Rx 7  00 00 00 00 04 00 00\n"
               "      2      1060.000 RR     0301 Tx 2\n"
               "      3      1061.000 ST          Rx    00 00 00 08\n"
               "      4      1062.000 FD     0302 Rx 9  00 01 02 03 04 05 06 07 08 09 0A 0B\n")
        << QByteArrayList { "1 300 7 00000000040000 Rx +0", "1 301 r2 - Tx +100" } << 1
        << QStringLiteral("CAN FD") << QStringLiteral("2014-05-05 12:00:01.059");
    QTest::newRow("unknown version without $COLUMNS refused")
        << f
        << QByteArray(";$FILEVERSION=3.0\n;$STARTTIME=41764.5\n"
                      "      1         1.000 DT  1     0100 Rx -  1    00\n")
        << QByteArrayList() << 1 << QStringLiteral("3.0") << QString();
}

void tst_LogFormats::nativeVariants_data()
{
    variantColumns();
    const LogFormat f = LogFormat::Native;
    QTest::newRow("remote type of an earlier writer")
        << f
        << QByteArray(
               "date 2026-12-07 14:05:08\r\nbase hex timestamps system\r\nversion 1.0\r\n\r\n"
               "14:05:09.050 2 0x1f3a5 EXT-R Tx 8 \r\n")
        << QByteArrayList { "2 1F3A5x r8 - Tx +0" } << 0 << QString()
        << QStringLiteral("2026-12-07 14:05:09.050");
    QTest::newRow("real-time log across midnight")
        << f
        << QByteArray(
               "date 2026-12-07 23:59:59\r\nbase hex timestamps system\r\nversion 1.0\r\n\r\n"
               "23:59:59.500 1 0x1 STD Rx 0 \r\n00:00:01.000 1 0x2 STD Rx 0 \r\n")
        << QByteArrayList { "1 1 0 - Rx +0", "1 2 0 - Rx +1500000" } << 0 << QString()
        << QStringLiteral("2026-12-07 23:59:59.500");
    QTest::newRow("real-time log whose first frame is past midnight")
        << f
        << QByteArray(
               "date 2026-12-07 23:59:59\r\nbase hex timestamps system\r\nversion 1.0\r\n\r\n"
               "00:00:01.000 1 0x2 STD Rx 0 \r\n")
        << QByteArrayList { "1 2 0 - Rx +0" } << 0 << QString()
        << QStringLiteral("2026-12-08 00:00:01.000");
    QTest::newRow("whole-history save from the day before")
        << f
        << QByteArray("date 2026-12-08 00:10:00\r\nbase hex timestamps system toltal 2\r\n"
                      "version 1.0\r\n\r\n"
                      "23:00:00.000 1 0x1 STD Rx 0 \r\n00:05:00.000 1 0x2 STD Rx 0 \r\n")
        << QByteArrayList { "1 1 0 - Rx +0", "1 2 0 - Rx +3900000000" } << 0 << QString()
        << QStringLiteral("2026-12-07 23:00:00.000");
}

void tst_LogFormats::nativeLongCaptureKeepsItsDays_data()
{
    QTest::addColumn<int>("hours");
    QTest::newRow("under a day") << 20;
    QTest::newRow("a day and a quarter") << 30;
    QTest::newRow("over two days") << 50;
}

void tst_LogFormats::nativeLongCaptureKeepsItsDays()
{
    // A history saved a minute after its last frame, with a frame every two hours or so before:
    // read back, every frame is on its own day.
    QFETCH(int, hours);
    const qint64 lastMs = QDateTime::currentMSecsSinceEpoch() - 60000;
    const qint64 spanMs = qint64(hours) * 3600000;
    const int count = hours / 2 + 1;
    CanRecordBuffer buffer;
    QVector<qint64> wantMs;
    for (int i = 0; i < count; ++i) {
        const qint64 ms = lastMs - spanMs + spanMs * i / (count - 1);
        wantMs << ms;
        CanRecord record;
        record.channel = 1;
        record.id = quint32(i);
        record.hostTimeUs = ms * 1000;
        record.msecsOfDay = QDateTime::fromMSecsSinceEpoch(ms).time().msecsSinceStartOfDay();
        buffer.append(record);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.txt"));
    LockedHandoff<CanRecordBuffer> history;
    history.set(buffer);
    FileSaveSupport writer(&history);
    writer.setGlobalSavePath(path);
    writer.globalSave();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    LogReadResult result;
    const QVector<LogFrame> frames = readFrames(file.readAll(), &result);
    QCOMPARE(frames.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(frames.at(i).hostTimeUs / 1000),
                 QDateTime::fromMSecsSinceEpoch(wantMs.at(i)));
}

void tst_LogFormats::saveDialogChoices_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<LogFormat>("filter");
    QTest::addColumn<QString>("path");
    QTest::addColumn<LogFormat>("format");
    QTest::newRow("no suffix takes the filter's")
        << "/logs/bus" << LogFormat::Candump << "/logs/bus.log" << LogFormat::Candump;
    QTest::newRow("native gets .txt")
        << "bus" << LogFormat::Native << "bus.txt" << LogFormat::Native;
    QTest::newRow("a known suffix wins")
        << "/logs/bus.txt" << LogFormat::Trc << "/logs/bus.txt" << LogFormat::Native;
    QTest::newRow("suffix in capitals")
        << "BUS.ASC" << LogFormat::Native << "BUS.ASC" << LogFormat::Asc;
    QTest::newRow("other suffix kept")
        << "bus.dat" << LogFormat::Trc << "bus.dat" << LogFormat::Trc;
    QTest::newRow("dot in the folder only")
        << "/logs.v2/bus" << LogFormat::Asc << "/logs.v2/bus.asc" << LogFormat::Asc;
    QTest::newRow("the filter's candump when two share the suffix")
        << "bus.log" << LogFormat::CandumpWithDirection << "bus.log"
        << LogFormat::CandumpWithDirection;
    QTest::newRow("an existing file is the one picked")
        << "/dev/null" << LogFormat::Candump << "/dev/null" << LogFormat::Candump;
}

void tst_LogFormats::saveDialogChoices()
{
    QFETCH(QString, typed);
    QFETCH(LogFormat, filter);
    QFETCH(QString, path);
    QFETCH(LogFormat, format);
    LogFormat chosen = LogFormat::Native;
    QCOMPARE(LogFileDialogs::completedName(typed, filter, &chosen), path);
    QCOMPARE(chosen, format);
}

void tst_LogFormats::saveDialogStartFolder()
{
    // The folder: the remembered one while it exists, else the program's if it can be written,
    // else the documents folder.
    QTemporaryDir remembered;
    QTemporaryDir program;
    const QString docs = QStringLiteral("/documents");
    QCOMPARE(LogFileDialogs::startFolder(remembered.path(), program.path(), docs),
             remembered.path());
    QCOMPARE(LogFileDialogs::startFolder(remembered.path() + QStringLiteral("/gone"),
                                         program.path(), docs),
             program.path());
    QCOMPARE(LogFileDialogs::startFolder(QString(), program.path() + QStringLiteral("/gone"), docs),
             docs);
}

QTEST_MAIN(tst_LogFormats)
#include "tst_logformats.moc"
