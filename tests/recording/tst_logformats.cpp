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
} // namespace

class tst_LogFormats : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void realTimeLogMatchesGlobalSave_data() { roundTrip_data(); }
    void realTimeLogMatchesGlobalSave();
    void timeline_data();
    void timeline();
    void badLinesAndNonLogs_data();
    void badLinesAndNonLogs();
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
    QCOMPARE(result.format, format);
    QCOMPARE(result.badLines, 0);
    QCOMPARE(frames.size(), records.size());

    const QVector<qint64> gaps = LogFrameTable::gapsUs();
    for (int i = 0; i < frames.size(); ++i) {
        const LogFrame &want = records.at(i).frame;
        const LogFrame &got = frames.at(i);
        // The native log tells a remote frame only by its type text.
        const bool remote = format == LogFormat::Native
            ? records.at(i).canType.endsWith(QLatin1String("-R"))
            : want.isRemote();
        QCOMPARE(got.channel, want.channel);
        QCOMPARE(got.id, want.id);
        QCOMPARE(got.isExtended(), want.isExtended());
        QCOMPARE(got.isRemote(), remote);
        QCOMPARE(got.dlc(), want.dlc());
        QCOMPARE(got.dir, want.dir);
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
        QVERIFY(qAbs(frames.first().hostTimeUs - records.first().frame.hostTimeUs) < 1000);
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
        = QDateTime::currentMSecsSinceEpoch() * 1000 + 1000000 - records.first().frame.hostTimeUs;
    for (CanRecord &record : records) {
        record.frame.hostTimeUs += shift;
        writer.writeFrame(record);
    }
    writer.realTimeSaveCommand(QString(), false);

    QFile file(live);
    QVERIFY(file.open(QIODevice::ReadOnly));
    LogReadResult result;
    const QVector<LogFrame> frames = readFrames(file.readAll(), &result);
    QCOMPARE(result.format, format);
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
