#include "display/candatadisplaysupport.h"
#include "protocol/canframe.h"

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

QStringList idList(const char *ids)
{
    return QString::fromLatin1(ids).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString idText(const CanRecord &r)
{
    return CanFrameFormatter::fieldText(r, CanFrameFormatter::FrameId);
}

QString dirText(const CanRecord &r)
{
    return CanFrameFormatter::fieldText(r, CanFrameFormatter::Direction);
}

QStringList texts(const CanRecord &r)
{
    QStringList all;
    for (int f = CanFrameFormatter::SystemTime; f <= CanFrameFormatter::Data; ++f)
        all << CanFrameFormatter::fieldText(r, CanFrameFormatter::Field(f));
    return all;
}
} // namespace

// Plays the codec: frames reach the display thread by queued delivery, as in the program.
class FrameSource : public QObject
{
    Q_OBJECT
signals:
    void frame(uchar channel, QByteArray CanFrame, uint TimeStamp, uint dir);
    void sentFrame(uchar channel, QByteArray CanFrame, qulonglong TimeStamp, uint dir);
};

class tst_CAN_DataDisplaySupport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void recordsTheWorkedExample();
    void countsReceivedAndSent();
    void trimsTheOldestTenThousandAtTheLimit_data();
    void trimsTheOldestTenThousandAtTheLimit();
    void viewIsNewestFirstAndCapped();
    void newerFilterTakesOverARebuild();
    void filters_data();
    void filters();
    void extendedListEqualsARebuild_data();
    void extendedListEqualsARebuild();
    void timeFilterFollowsTheTimeFormat();
    void emptyBufferRebuildsNothing();
    void pauseHoldsTheTableButNotTheCounters();
    void filterChangeWhilePausedShowsFramesOfThePause();
    void clearEmptiesBuffersAndCounters();
    void requestsActAtTheirPlaceAmongTheFrames_data();
    void requestsActAtTheirPlaceAmongTheFrames();
    void liveFramesStayOutOfAnOpenedLog();
    void realTimeSignalOnlyWhileConnected();
    void globalSaveCopyHoldsTheBufferAtRequest();
    void sentTimeStampAbove32BitsShowsLowBits();
    void normalCloseLosesNoLoggedFrame();

private:
    void send(uchar channel,
              quint32 id,
              uint timeStamp,
              uint dir = 0,
              const QByteArray &data = QByteArray::fromHex("01AB0F"),
              bool extended = false);
    // As the panel does: the request reaches the display thread queued.
    void startRefresh()
    {
        QMetaObject::invokeMethod(
            display, [this] { display->startRefresh(); }, Qt::QueuedConnection);
    }
    // Waits until the display thread has handled everything queued to it so far.
    void sync();
    CanRecordView view() const { return display->viewBuff()->get(); }
    // Runs `count` frames straight on the display thread, for bulk fills.
    void fill(int count, uint firstTimeStamp = 0);

    CAN_DataDisplaySupport *display = nullptr;
    FrameSource *source = nullptr;
};

void tst_CAN_DataDisplaySupport::init()
{
    display = new CAN_DataDisplaySupport;
    source = new FrameSource;
    connect(source, &FrameSource::frame, display, &CAN_DataDisplaySupport::onFrame);
}

void tst_CAN_DataDisplaySupport::cleanup()
{
    delete source;
    delete display;
    display = nullptr;
}

void tst_CAN_DataDisplaySupport::send(
    uchar channel, quint32 id, uint timeStamp, uint dir, const QByteArray &data, bool extended)
{
    const quint8 info = quint8((extended ? 0x80 : 0) | data.size());
    emit source->frame(channel, frameBytes(info, id, data), timeStamp, dir);
}

void tst_CAN_DataDisplaySupport::sync()
{
    QMetaObject::invokeMethod(
        display, [] {}, Qt::BlockingQueuedConnection);
}

void tst_CAN_DataDisplaySupport::fill(int count, uint firstTimeStamp)
{
    CAN_DataDisplaySupport *d = display;
    QMetaObject::invokeMethod(
        display,
        [d, count, firstTimeStamp] {
            for (int i = 0; i < count; ++i) {
                d->onFrame(1, frameBytes(0x02, quint32(i), QByteArray::fromHex("CAFE")),
                           firstTimeStamp + uint(i), 0);
            }
        },
        Qt::BlockingQueuedConnection);
}

void tst_CAN_DataDisplaySupport::recordsTheWorkedExample()
{
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    QVERIFY(changed.isValid());
    startRefresh();
    const QTime before = QTime::currentTime();
    send(1, 0x7EF, 123456);
    QVERIFY(changed.wait(5000));

    const CanRecordView rows = view();
    QCOMPARE(rows.size(), 1);
    const QStringList got = texts(rows.first());
    QCOMPARE(got.mid(1),
             (QStringList { QStringLiteral("000012.3456"), QStringLiteral("1"),
                            QStringLiteral("0x7ef"), QStringLiteral("STD"), QStringLiteral("Rx"),
                            QStringLiteral("3"), QStringLiteral("01 AB 0F") }));
    // The host time of day when the frame was handled.
    const QTime shown = QTime::fromString(got.first(), QStringLiteral("hh:mm:ss.zzz"));
    QVERIFY(shown.isValid());
    QVERIFY(qAbs(before.msecsTo(shown)) < 60000);
    QCOMPARE(display->recvCount(), 1);
}

void tst_CAN_DataDisplaySupport::countsReceivedAndSent()
{
    QSignalSpy counted(display, &CAN_DataDisplaySupport::signal_DisplayCount_Changed);
    startRefresh();
    send(1, 0x100, 1, 0);
    send(2, 0x101, 2, 1);
    send(2, 0x102, 3, 1);
    send(1, 0x103, 4, 0);
    send(1, 0x104, 5, 0);
    QTRY_VERIFY_WITH_TIMEOUT(display->recvCount() == 3 && display->sendCount() == 2, 5000);
    QVERIFY(counted.count() >= 1);
    const CanRecordView rows = view();
    QCOMPARE(rows.size(), 5);
    QCOMPARE(dirText(rows.at(0)), QStringLiteral("Rx"));
    QCOMPARE(dirText(rows.at(2)), QStringLiteral("Tx"));
    QCOMPARE(rows.at(2).channel, quint8(2));
}

void tst_CAN_DataDisplaySupport::trimsTheOldestTenThousandAtTheLimit_data()
{
    QTest::addColumn<int>("historySize"); // 0: as the program starts
    QTest::newRow("default size") << 0;
    QTest::newRow("set above a million") << 1030000;
}

void tst_CAN_DataDisplaySupport::trimsTheOldestTenThousandAtTheLimit()
{
    QFETCH(int, historySize);
    if (historySize > 0)
        display->setMaxBuffSize(historySize);
    const int size = display->maxBuffSize();
    QCOMPARE(size, historySize > 0 ? historySize : 1000000);
    fill(size);
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    startRefresh();
    QVERIFY(changed.wait(10000));
    QCOMPARE(view().size(), display->maxViewSize());
    QCOMPARE(idText(view().first()), CanFrameFormatter::frameIdText(quint32(size - 1)));
    QCOMPARE(display->recvCount(), size);

    // One more frame: the ten thousand oldest go. A global save shows the whole buffer, oldest
    // first.
    send(1, 0x7FF, 4000000000u);
    const int kept = size - CAN_DataDisplaySupport::TrimCount + 1;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.txt"));
    display->fileSaveSupport()->setGlobalSavePath(path);
    QSignalSpy progress(display->fileSaveSupport(), &FileSaveSupport::signal_processSet);
    QMetaObject::invokeMethod(
        display, [this] { display->copyForGlobalSave(); }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().first().toInt() == 100, 60000);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readLine().startsWith("date "));
    QCOMPARE(file.readLine(),
             "base hex timestamps system toltal " + QByteArray::number(kept) + "\r\n");
    QCOMPARE(file.readLine(), QByteArray("version 1.0\r\n"));
    QCOMPARE(file.readLine(), QByteArray("\r\n"));
    QVERIFY(file.readLine().contains(" 1 0x2710 STD Rx 2 CA FE\r\n"));
    QByteArray last;
    int lines = 5;
    while (!file.atEnd()) {
        last = file.readLine();
        ++lines;
    }
    QCOMPARE(lines, FileSaveSupport::HeaderLines + kept);
    QVERIFY(last.contains(" 1 0x7ff STD Rx 3 01 AB 0F\r\n"));

    QTRY_VERIFY_WITH_TIMEOUT(idText(view().constFirst()) == QLatin1String("0x7ff"), 5000);
    QCOMPARE(view().size(), display->maxViewSize());
    QCOMPARE(idText(view().at(1)), CanFrameFormatter::frameIdText(quint32(size - 1)));
    QTRY_COMPARE_WITH_TIMEOUT(display->recvCount(), size + 1, 5000);

    // A smaller size takes effect at once; the counters keep counting what came.
    display->setMaxBuffSize(CAN_DataDisplaySupport::MinBuffSize);
    const CanRecordBuffer history = display->historyCopy();
    QCOMPARE(history.size(), CAN_DataDisplaySupport::MinBuffSize);
    QCOMPARE(history.at(history.size() - 1).id, 0x7FFu);
    QCOMPARE(display->recvCount(), size + 1);
}

void tst_CAN_DataDisplaySupport::viewIsNewestFirstAndCapped()
{
    fill(150000);
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    startRefresh();
    QVERIFY(changed.wait(10000));
    const CanRecordView rows = view();
    QCOMPARE(rows.size(), 100000);
    QCOMPARE(rows.first().timeStamp, 149999u);
    QCOMPARE(rows.last().timeStamp, 50000u);
    for (int i = 1; i < rows.size(); i += 997)
        QVERIFY(rows.at(i - 1).timeStamp > rows.at(i).timeStamp);
}

void tst_CAN_DataDisplaySupport::newerFilterTakesOverARebuild()
{
    // Four slices of history with a filter that finds nothing: its rebuild takes several turns
    // of the display thread, and a newer filter text arrives during the second.
    const int frames = 4 * CAN_DataDisplaySupport::RebuildSlice;
    fill(frames);
    display->setRebuildProgressMs(0);
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    startRefresh();
    QVERIFY(changed.wait(10000));

    QList<int> progress;
    QList<int> shownSizes;
    connect(
        display, &CAN_DataDisplaySupport::signal_FilterProgress, display,
        [this, &progress](int percent) {
            if (progress.isEmpty())
                display->setFilterText(CAN_DataDisplaySupport::FilterID, QStringLiteral("0xf423"));
            progress << percent;
        },
        Qt::DirectConnection);
    connect(
        display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed, display,
        [this, &shownSizes] { shownSizes << display->viewBuff()->get().size(); },
        Qt::DirectConnection);
    display->setFilterText(CAN_DataDisplaySupport::FilterID, QStringLiteral("nothing"));
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last() == 100, 10000);
    sync();
    disconnect(display, nullptr, display, nullptr);

    // Only the newer filter's rows were ever shown: 0xf423f down to 0xf4230, and 0xf423.
    QCOMPARE(shownSizes, QList<int> { 17 });
    const CanRecordView rows = view();
    QCOMPARE(idText(rows.first()), QStringLiteral("0xf423f"));
    QCOMPARE(idText(rows.last()), QStringLiteral("0xf423"));
    // The newer rebuild went on showing progress where the older left off, and ended it.
    QVERIFY(progress.size() >= 3);
    QCOMPARE(std::count(progress.begin(), progress.end(), 100), 1);
}

void tst_CAN_DataDisplaySupport::extendedListEqualsARebuild_data()
{
    QTest::addColumn<QString>("idFilter");
    // a<n>: append n records, r<n>: drop the n oldest, c: clear; the list is extended after each.
    QTest::addColumn<QString>("steps");
    QTest::newRow("no filter, past the limit") << QString() << QStringLiteral("a3 a9 a1 a30");
    QTest::newRow("filter, past the limit") << QStringLiteral("1") << QStringLiteral("a5 a40 a2");
    QTest::newRow("trims inside the list")
        << QStringLiteral("1") << QStringLiteral("a30 r12 a3 r1");
    QTest::newRow("trim of everything") << QStringLiteral("2") << QStringLiteral("a25 r25 a4");
    QTest::newRow("clear") << QStringLiteral("3") << QStringLiteral("a40 c a6 c");
    QTest::newRow("across blocks")
        << QStringLiteral("7") << QStringLiteral("a10005 r10002 a19999 r3");
    QTest::newRow("matches none") << QStringLiteral("zz") << QStringLiteral("a20 r3 a5");
}

void tst_CAN_DataDisplaySupport::extendedListEqualsARebuild()
{
    QFETCH(QString, idFilter);
    QFETCH(QString, steps);
    CAN_DataDisplaySupport::ViewFilter filter;
    filter.id = idFilter;
    const int limit = 10;
    CanRecordBuffer buffer;
    std::vector<qint64> numbers;
    int next = 0;
    for (const QString &step : steps.split(QLatin1Char(' '))) {
        const qint64 scanned = buffer.endNumber();
        const int n = step.mid(1).toInt();
        if (step.startsWith(QLatin1Char('a'))) {
            for (int i = 0; i < n; ++i) {
                CanRecord record;
                record.id = quint32(next++);
                buffer.append(record);
            }
        } else if (step.startsWith(QLatin1Char('r'))) {
            buffer.removeFirst(n);
        } else {
            buffer.clear();
        }
        CAN_DataDisplaySupport::extendNumbers(numbers, scanned, buffer, filter, limit);
        QCOMPARE(numbers, CAN_DataDisplaySupport::filteredNumbers(buffer, filter, limit));
        const CanRecordView view(buffer, std::make_shared<const std::vector<qint64>>(numbers));
        QStringList expected; // newest first
        buffer.forEachNewestFirst([&](const CanRecord &record) {
            if (idText(record).contains(idFilter))
                expected.append(idText(record));
            return expected.size() < limit;
        });
        QStringList shown;
        for (int row = 0; row < view.size(); ++row)
            shown.append(idText(view.at(row)));
        QCOMPARE(shown, expected);
    }
}

void tst_CAN_DataDisplaySupport::filters_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expectedIds"); // newest first

    // Frames: 0x7ef Rx ch1 "01 AB 0F"; 0x1f3a5 Tx ch2 EXT "11 22"; 0x100 Rx ch2 DLC 0;
    // 0x7e0 Rx ch1 "AB".
    using D = CAN_DataDisplaySupport;
    QTest::newRow("no filter") << int(D::FilterID) << QString()
                               << idList("0x7e0 0x100 0x1f3a5 0x7ef");
    QTest::newRow("id substring") << int(D::FilterID) << QStringLiteral("7e")
                                  << idList("0x7e0 0x7ef");
    QTest::newRow("id upper case does not match")
        << int(D::FilterID) << QStringLiteral("7EF") << QStringList();
    QTest::newRow("data upper case")
        << int(D::FilterData) << QStringLiteral("AB") << idList("0x7e0 0x7ef");
    QTest::newRow("data lower case does not match")
        << int(D::FilterData) << QStringLiteral("ab") << QStringList();
    QTest::newRow("data across bytes")
        << int(D::FilterData) << QStringLiteral("1 2") << idList("0x1f3a5");
    QTest::newRow("channel") << int(D::FilterChannel) << QStringLiteral("2")
                             << idList("0x100 0x1f3a5");
    QTest::newRow("type") << int(D::FilterType) << QStringLiteral("EXT") << idList("0x1f3a5");
    QTest::newRow("direction") << int(D::FilterDir) << QStringLiteral("Tx") << idList("0x1f3a5");
    QTest::newRow("length") << int(D::FilterLength) << QStringLiteral("0") << idList("0x100");
    QTest::newRow("time stamp column by default is host time")
        << int(D::FilterTime) << QStringLiteral("000000.") << QStringList();
}

void tst_CAN_DataDisplaySupport::filters()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QStringList, expectedIds);

    send(1, 0x7EF, 1, 0, QByteArray::fromHex("01AB0F"));
    send(2, 0x1F3A5, 2, 1, QByteArray::fromHex("1122"), true);
    send(2, 0x100, 3, 0, QByteArray());
    send(1, 0x7E0, 4, 0, QByteArray::fromHex("AB"));
    display->setFilterText(CAN_DataDisplaySupport::FilterField(field), text);
    sync();
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    startRefresh();
    QVERIFY(changed.wait(5000));

    QStringList ids;
    for (const CanRecord &r : view())
        ids << idText(r);
    QCOMPARE(ids, expectedIds);
}

void tst_CAN_DataDisplaySupport::timeFilterFollowsTheTimeFormat()
{
    send(1, 0x1, 12345);
    send(1, 0x2, 99999);
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    startRefresh();
    QVERIFY(changed.wait(5000));
    QCOMPARE(view().size(), 2);

    // "0001." appears in the device time stamp of the first frame only; host times of day never
    // hold it.
    display->setFilterText(CAN_DataDisplaySupport::FilterTime, QStringLiteral("0001."));
    QVERIFY(changed.wait(5000));
    QCOMPARE(view().size(), 0);

    QMetaObject::invokeMethod(
        display, [this] { display->setTimeStampeFormat(1); }, Qt::QueuedConnection);
    display->setFilterText(CAN_DataDisplaySupport::FilterTime, QStringLiteral("0001."));
    QVERIFY(changed.wait(5000));
    QCOMPARE(view().size(), 1);
    QCOMPARE(idText(view().first()), QStringLiteral("0x1"));

    // Values other than 0 and 1 are ignored.
    QMetaObject::invokeMethod(
        display, [this] { display->setTimeStampeFormat(7); }, Qt::QueuedConnection);
    display->setFilterText(CAN_DataDisplaySupport::FilterTime, QStringLiteral("0009."));
    QVERIFY(changed.wait(5000));
    QCOMPARE(view().size(), 1);
    QCOMPARE(idText(view().first()), QStringLiteral("0x2"));
}

void tst_CAN_DataDisplaySupport::emptyBufferRebuildsNothing()
{
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    QSignalSpy counted(display, &CAN_DataDisplaySupport::signal_DisplayCount_Changed);
    startRefresh();
    display->setFilterText(CAN_DataDisplaySupport::FilterID, QStringLiteral("0x"));
    QTest::qWait(600); // four ticks
    QCOMPARE(changed.count(), 0);
    QCOMPARE(counted.count(), 0);
    QVERIFY(view().isEmpty());
}

void tst_CAN_DataDisplaySupport::pauseHoldsTheTableButNotTheCounters()
{
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    QSignalSpy counted(display, &CAN_DataDisplaySupport::signal_DisplayCount_Changed);
    startRefresh();
    send(1, 0x1, 1);
    send(1, 0x2, 2);
    QTRY_COMPARE_WITH_TIMEOUT(view().size(), 2, 5000);

    QMetaObject::invokeMethod(
        display, [this] { display->setPause(true); }, Qt::QueuedConnection);
    send(2, 0x3, 3, 1);
    sync();
    changed.clear();
    counted.clear();
    // Every tick reports the counters while frames have arrived since the pause.
    QTRY_VERIFY_WITH_TIMEOUT(counted.count() >= 3, 5000);
    QCOMPARE(display->recvCount(), 2);
    QCOMPARE(display->sendCount(), 1);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(view().size(), 2);

    // Resuming without a filter change shows the frames at the next tick.
    QMetaObject::invokeMethod(
        display, [this] { display->setPause(false); }, Qt::QueuedConnection);
    QVERIFY(changed.wait(5000));
    QCOMPARE(view().size(), 3);
    QCOMPARE(idText(view().first()), QStringLiteral("0x3"));

    // With nothing new, ticks stay quiet.
    counted.clear();
    changed.clear();
    QTest::qWait(500);
    QCOMPARE(counted.count(), 0);
    QCOMPARE(changed.count(), 0);
}

void tst_CAN_DataDisplaySupport::filterChangeWhilePausedShowsFramesOfThePause()
{
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    startRefresh();
    send(1, 0x10, 1);
    QTRY_COMPARE_WITH_TIMEOUT(view().size(), 1, 5000);
    QMetaObject::invokeMethod(
        display, [this] { display->setPause(true); }, Qt::QueuedConnection);
    send(1, 0x11, 2);
    send(2, 0x12, 3);
    QTest::qWait(400);
    QCOMPARE(view().size(), 1);

    changed.clear();
    display->setFilterText(CAN_DataDisplaySupport::FilterChannel, QStringLiteral("1"));
    QVERIFY(changed.wait(5000));
    QStringList ids;
    for (const CanRecord &r : view())
        ids << idText(r);
    QCOMPARE(ids, (idList("0x11 0x10")));
}

void tst_CAN_DataDisplaySupport::clearEmptiesBuffersAndCounters()
{
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    QSignalSpy counted(display, &CAN_DataDisplaySupport::signal_DisplayCount_Changed);
    startRefresh();
    send(1, 0x1, 1);
    send(2, 0x2, 2, 1);
    QTRY_VERIFY_WITH_TIMEOUT(view().size() == 2 && display->sendCount() == 1, 5000);

    changed.clear();
    counted.clear();
    QMetaObject::invokeMethod(
        display, [this] { display->clearHistory(); }, Qt::QueuedConnection);
    // The clear announces itself at once, possibly before a wait() here would begin.
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 5000);
    QVERIFY(view().isEmpty());
    // The counters report zero with the next tick.
    QTRY_VERIFY_WITH_TIMEOUT(counted.count() >= 1, 5000);
    QCOMPARE(display->recvCount(), 0);
    QCOMPARE(display->sendCount(), 0);

    // Filters survive a clear; as many frames as before still update the table.
    display->setFilterText(CAN_DataDisplaySupport::FilterChannel, QStringLiteral("2"));
    send(1, 0x3, 3);
    send(2, 0x4, 4, 1);
    QTRY_COMPARE_WITH_TIMEOUT(view().size(), 1, 5000);
    QCOMPARE(idText(view().first()), QStringLiteral("0x4"));
    QTRY_COMPARE_WITH_TIMEOUT(display->sendCount(), 1, 5000);
    QCOMPARE(display->recvCount(), 1);
}

void tst_CAN_DataDisplaySupport::requestsActAtTheirPlaceAmongTheFrames_data()
{
    // f<id>: a frame handed in; c: clear; p: pause; r: resume. The display thread is held up
    // while the whole sequence is handed in, as when it is busy and frames keep coming.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("expectedView"); // newest first
    QTest::addColumn<int>("expectedCount");
    QTest::newRow("frames after a clear survive")
        << QStringLiteral("f1 f2 c f3 f4") << idList("0x4 0x3") << 2;
    QTest::newRow("clear last") << QStringLiteral("f1 c") << QStringList() << 0;
    QTest::newRow("two clears") << QStringLiteral("f1 c f2 c f3") << idList("0x3") << 1;
    QTest::newRow("pause holds what came before it")
        << QStringLiteral("f1 f2 p f3") << idList("0x2 0x1") << 3;
    QTest::newRow("clear while paused") << QStringLiteral("f1 p c f2") << QStringList() << 1;
    QTest::newRow("resume shows everything")
        << QStringLiteral("f1 p f2 r f3") << idList("0x3 0x2 0x1") << 3;
}

void tst_CAN_DataDisplaySupport::requestsActAtTheirPlaceAmongTheFrames()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, expectedView);
    QFETCH(int, expectedCount);

    startRefresh();
    QSemaphore held;
    QMetaObject::invokeMethod(
        display, [&held] { held.acquire(); }, Qt::QueuedConnection);
    for (const QString &step : steps.split(QLatin1Char(' '))) {
        switch (step.at(0).toLatin1()) {
        case 'f': {
            const quint32 id = step.mid(1).toUInt();
            display->queueFrame(1, frameBytes(0x01, id, QByteArray::fromHex("AA")), id, 0);
            break;
        }
        case 'c':
            display->clearHistory();
            break;
        default:
            display->setPause(step == QLatin1String("p"));
        }
    }
    held.release();
    const auto shown = [this] {
        QStringList ids;
        for (const CanRecord &r : view())
            ids << idText(r);
        return ids;
    };
    QTRY_COMPARE_WITH_TIMEOUT(shown(), expectedView, 5000);
    // The counters come with a tick, which would also have shown frames a pause did not hold.
    QTRY_COMPARE_WITH_TIMEOUT(display->recvCount(), expectedCount, 5000);
    sync();
    QCOMPARE(shown(), expectedView);
}

void tst_CAN_DataDisplaySupport::liveFramesStayOutOfAnOpenedLog()
{
    QSignalSpy refused(display, &CAN_DataDisplaySupport::signal_LiveFramesRefused);
    startRefresh();
    const auto live = [this](quint32 id) {
        display->queueFrame(1, frameBytes(0x01, id, QByteArray::fromHex("AA")), id, 0);
    };
    live(0x1);
    CanRecordList loaded;
    CanRecord record;
    record.id = 0x7ef;
    record.dir = 0;
    loaded.append(record);
    QMetaObject::invokeMethod(
        display,
        [this, loaded] {
            display->startLoad();
            display->appendLoaded(loaded);
        },
        Qt::QueuedConnection);
    sync();
    // An adapter left streaming goes on sending while the log is shown.
    live(0x2);
    live(0x3);
    sync();
    QTRY_COMPARE_WITH_TIMEOUT(display->recvCount(), 1, 5000);
    sync();
    QCOMPARE(view().size(), 1);
    QCOMPARE(idText(view().first()), QStringLiteral("0x7ef"));
    // Said once, not once per frame.
    QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, 5000);

    // A clear leaves the log: live frames count again.
    display->clearHistory();
    live(0x4);
    const auto shown = [this] {
        QStringList ids;
        for (const CanRecord &r : view())
            ids << idText(r);
        return ids;
    };
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QStringList { QStringLiteral("0x4") }, 5000);
    QCOMPARE(refused.count(), 1);
}

void tst_CAN_DataDisplaySupport::realTimeSignalOnlyWhileConnected()
{
    // The writer only ever sees the frames recorded while the connection stands.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rt.txt"));
    FileSaveSupport *writer = display->fileSaveSupport();
    writer->realTimeSaveCommand(path, true);

    send(1, 0x1, 1);
    sync();
    // Frames and switches meet in the inbox in the order they were handed in, however late the
    // display thread runs.
    const auto in = [this](uchar channel, quint32 id, uint dir = 0) {
        display->queueFrame(channel, frameBytes(0x03, id, QByteArray::fromHex("01AB0F")), id, dir);
    };
    display->setRealTimeSave(true);
    // A second start must not double the lines.
    display->setRealTimeSave(true);
    in(1, 0x2);
    in(2, 0x3, 1);
    display->setRealTimeSave(false);
    in(1, 0x4);
    display->handOverLogLines();
    writer->realTimeSaveCommand(QString(), false);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), FileSaveSupport::HeaderLines + 2 + 1);
    QVERIFY(lines.at(FileSaveSupport::HeaderLines).contains(" 1 0x2 STD Rx 3 01 AB 0F\r"));
    QVERIFY(lines.at(FileSaveSupport::HeaderLines + 1).contains(" 2 0x3 STD Tx 3 01 AB 0F\r"));
    QVERIFY(lines.last().isEmpty());
}

void tst_CAN_DataDisplaySupport::globalSaveCopyHoldsTheBufferAtRequest()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.txt"));
    display->fileSaveSupport()->setGlobalSavePath(path);
    send(1, 0x1, 1);
    send(1, 0x2, 2);
    QMetaObject::invokeMethod(
        display, [this] { display->copyForGlobalSave(); }, Qt::QueuedConnection);
    send(1, 0x3, 3);
    sync();
    QSignalSpy progress(display->fileSaveSupport(), &FileSaveSupport::signal_processSet);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().first().toInt() == 100, 5000);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.at(1), QByteArray("base hex timestamps system toltal 2\r"));
    QCOMPARE(lines.size(), FileSaveSupport::HeaderLines + 2 + 1);
    QVERIFY(lines.at(FileSaveSupport::HeaderLines).contains(" 0x1 "));
    QVERIFY(lines.at(FileSaveSupport::HeaderLines + 1).contains(" 0x2 "));

    // A clear handled before the copy request leaves only the header.
    QMetaObject::invokeMethod(
        display, [this] { display->clearHistory(); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        display, [this] { display->copyForGlobalSave(); }, Qt::QueuedConnection);
    sync();
    progress.clear();
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().first().toInt() == 100, 5000);
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> cleared = file.readAll().split('\n');
    QCOMPARE(cleared.size(), FileSaveSupport::HeaderLines + 1);
    QCOMPARE(cleared.at(1), QByteArray("base hex timestamps system toltal 0\r"));
}

void tst_CAN_DataDisplaySupport::sentTimeStampAbove32BitsShowsLowBits()
{
    // The transmit scheduler's signal carries a 64-bit time stamp; the connection cuts it.
    connect(source, &FrameSource::sentFrame, display, &CAN_DataDisplaySupport::onFrame);
    emit source->sentFrame(2, frameBytes(0x01, 0x5, QByteArray::fromHex("AA")),
                           0x100000000ull + 123456u, 1);
    QSignalSpy changed(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed);
    startRefresh();
    QVERIFY(changed.wait(5000));
    QCOMPARE(CanFrameFormatter::fieldText(view().first(), CanFrameFormatter::TimeStamp),
             QStringLiteral("000012.3456"));
    QCOMPARE(dirText(view().first()), QStringLiteral("Tx"));
    QCOMPARE(display->sendCount(), 1);
}

void tst_CAN_DataDisplaySupport::normalCloseLosesNoLoggedFrame()
{
    // Frames still queued anywhere on their way to the log when the event loop ends are written
    // and flushed, without the user stopping real-time saving.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("close.txt"));
    display->fileSaveSupport()->realTimeSaveCommand(path, true);
    display->setRealTimeSave(true);
    const int frames = 20000;
    for (int i = 0; i < frames; ++i)
        send(1 + (i & 1), quint32(i), uint(i));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    QCOMPARE(contents.count("\r\n"), FileSaveSupport::HeaderLines + frames);
    QVERIFY(contents.endsWith(" 2 0x4e1f STD Rx 3 01 AB 0F\r\n"));
}

QTEST_MAIN(tst_CAN_DataDisplaySupport)
#include "tst_candatadisplaysupport.moc"
