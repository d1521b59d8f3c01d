// The transmit list and log replay end to end: the send window's list page drives its schedulers
// through the real serial link and codec to the virtual adapter.

#include "device/devicemanagement.h"
#include "link/serialcontrol.h"
#include "link/transmitlistscheduler.h"
#include "protocol/contextprotocol.h"
#include "recording/logfilereader.h"
#include "send/transmitlistwidget.h"
#include "simulator/virtualadapter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/settings.h"

#include <sys/stat.h>

#include "support/privatesettingsmain.h"
#include "support/textfile.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {
struct Shown
{
    uchar channel;
    QByteArray frame;
    uint stamp;
};

struct Sent
{
    int index;
    qint64 dueNs;
    qint64 sentNs;
};

TransmitEntry entry(int channel, quint32 id, int periodMs)
{
    TransmitEntry e;
    e.channel = channel;
    e.id = id;
    e.dlc = 2;
    e.data = QByteArray::fromHex("A55A000000000000");
    e.periodMs = periodMs;
    return e;
}
} // namespace

class tst_TransmitList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void periodsGiveTheirCounts();
    void stopEndsAtOnce();
    void replaySendsTheLogByteForByte_data();
    void replaySendsTheLogByteForByte();
    void listKeptInJsonAndSettings();
    void brokenListIsRefusedWhole_data();
    void brokenListIsRefusedWhole();
    void replayGapsAreBounded_data();
    void replayGapsAreBounded();
    void pipeIsRefusedAsLog();
    void languageSwitchKeepsRunsAndLog();
    void inputRules_data();
    void inputRules();
    // Channel 2 is stopped behind the device panel's back.
    void refusedFrameIsMarked();
    // Last: the adapter is gone.
    void unplugEndsListAndReplay();

private:
    TransmitReport runUntilEnd();

    std::unique_ptr<VirtualAdapter> m_adapter;
    std::unique_ptr<TransmitListWidget> m_page;
    QList<Shown> m_shown; // confirmed by the list scheduler, in order
    QList<Shown> m_looped; // received through the adapter's loopback, in order
    QList<TransmitReport> m_reports;
    QList<Sent> m_sent; // by the replay scheduler, in order
};

void tst_TransmitList::initTestCase()
{
    SerialControl *serial = SerialControl::instance();
    serial->setPortSource([] { return QList<SerialPortEntry>(); });
    m_adapter = std::make_unique<VirtualAdapter>();
    QVERIFY(m_adapter->start());
    serial->addExtraPort(m_adapter->slavePath());
    DeviceManagement *device = DeviceManagement::instance();
    m_page = std::make_unique<TransmitListWidget>();

    serial->refreshPortList();
    auto *port = device->findChild<QComboBox *>(QStringLiteral("chose_port"));
    QTRY_VERIFY(port->findText(m_adapter->slavePath()) >= 0);
    port->setCurrentIndex(port->findText(m_adapter->slavePath()));
    device->findChild<QPushButton *>(QStringLiteral("device_open"))->click();
    QTRY_VERIFY(device->findChild<QPushButton *>(QStringLiteral("device_close"))->isEnabled());
    device->findChild<QComboBox *>(QStringLiteral("baud_2"))
        ->setCurrentIndex(device->findChild<QComboBox *>(QStringLiteral("baud_1"))->currentIndex());
    device->findChild<QPushButton *>(QStringLiteral("channel_control_1"))->click();
    device->findChild<QPushButton *>(QStringLiteral("channel_control_2"))->click();
    QTRY_VERIFY(m_adapter->settings().loopback);
    QTest::qWait(200);

    for (TransmitListScheduler *s : { m_page->listScheduler(), m_page->replayScheduler() }) {
        connect(s, &TransmitListScheduler::signal_RSP_CANSendDisplay, this,
                [this](uchar channel, const QByteArray &frame, qulonglong stamp, uint) {
                    m_shown.append({ channel, frame, uint(stamp) });
                });
        connect(s, &TransmitListScheduler::signal_report, this,
                [this](const TransmitReport &r) { m_reports.append(r); });
    }
    connect(m_page->replayScheduler(), &TransmitListScheduler::signal_frameSent, this,
            [this](int index, qint64 due, qint64 sent) {
                m_sent.append({ index, due, sent });
            });
    connect(contextProtocol::instance(), &contextProtocol::signal_REP_CANFrame, this,
            [this](uchar channel, const QByteArray &frame, uint stamp, uint) {
                m_looped.append({ channel, frame, stamp });
            });
}

void tst_TransmitList::cleanupTestCase()
{
    m_page.reset();
    m_adapter.reset();
}

void tst_TransmitList::init()
{
    m_shown.clear();
    m_looped.clear();
    m_reports.clear();
    m_sent.clear();
}

TransmitReport tst_TransmitList::runUntilEnd()
{
    const bool ended = QTest::qWaitFor(
        [this] { return !m_reports.isEmpty() && !m_reports.last().running; }, 20000);
    return ended ? m_reports.last() : TransmitReport();
}

void tst_TransmitList::periodsGiveTheirCounts()
{
    const QList<int> periods { 10, 50, 200 };
    QVector<TransmitEntry> list;
    for (int i = 0; i < periods.size(); ++i)
        list.append(entry(1, quint32(0x100 + i), periods.at(i)));
    m_page->setEntries(list);

    QElapsedTimer clock;
    clock.start();
    m_page->startList();
    QTest::qWait(2000);
    const qint64 atStop = clock.elapsed();
    m_page->stopList();
    const TransmitReport end = runUntilEnd();
    const qint64 atEnd = clock.elapsed();
    QCOMPARE(end.entries.size(), periods.size());
    QVERIFY(!m_page->listRunning());

    for (int i = 0; i < periods.size(); ++i) {
        const int p = periods.at(i);
        // Slots the busy machine let pass are dropped, not sent late in a burst: count them as
        // missed, not as sent.
        const qint64 least = atStop / p + 1 - qMax<qint64>(1, atStop / p / 5);
        const qint64 most = atEnd / p + 1;
        const qint64 count = qint64(end.entries.at(i).confirmed);
        QVERIFY2(count >= least && count <= most,
                 qPrintable(QStringLiteral("period %1: %2 frames, expected %3..%4")
                                .arg(p)
                                .arg(count)
                                .arg(least)
                                .arg(most)));
        QCOMPARE(end.entries.at(i).refused + end.entries.at(i).unanswered, quint64(0));

        // Each frame's confirmations come in the adapter's time order.
        uint last = 0;
        qint64 shown = 0;
        for (const Shown &s : qAsConst(m_shown)) {
            if (quint8(s.frame.at(1)) != 0x00 + i || quint8(s.frame.at(2)) != 0x01)
                continue;
            QVERIFY(s.stamp >= last);
            last = s.stamp;
            ++shown;
        }
        QVERIFY(shown >= count);
    }
}

void tst_TransmitList::stopEndsAtOnce()
{
    QVector<TransmitEntry> list;
    for (int i = 0; i < 20; ++i)
        list.append(entry(1 + i % 2, quint32(i), 0));
    m_page->setEntries(list);
    m_page->startList();
    QTRY_VERIFY(m_shown.size() >= 20);
    m_page->stopList();
    const TransmitReport end = runUntilEnd();
    QVERIFY(!end.running);
    // Period 0 asks for more than any link carries.
    QVERIFY(std::any_of(m_reports.cbegin(), m_reports.cend(),
                        [](const TransmitReport &r) { return r.overloaded; }));
    QTest::qWait(300); // the frame written just before the stop may still be on its way
    const quint64 sent = m_adapter->statistics().framesSent;
    QTest::qWait(500);
    QCOMPARE(m_adapter->statistics().framesSent, sent);
    // The frame in flight at the stop is counted once the adapter confirmed it.
    quint64 counted = 0;
    for (const TransmitEntryStatus &s : end.entries)
        counted += s.confirmed;
    QCOMPARE(counted, quint64(m_shown.size()));
    QCOMPARE(end.end, RunEnd::Stopped);
}

void tst_TransmitList::replaySendsTheLogByteForByte_data()
{
    QTest::addColumn<double>("speed"); // 0: as fast as the adapter confirms
    QTest::addColumn<bool>("pause"); // paused for a while before the last frame

    QTest::newRow("1x") << 1.0 << false;
    QTest::newRow("2x") << 2.0 << false;
    QTest::newRow("as fast as confirmed") << 0.0 << false;
    QTest::newRow("1x paused and resumed") << 1.0 << true;
}

// Wall-clock accuracy belongs to the benchmark; here the deadlines the scheduler set must lie
// exactly on the log's gaps, and no frame may leave before its deadline.
void tst_TransmitList::replaySendsTheLogByteForByte()
{
    QFETCH(double, speed);
    QFETCH(bool, pause);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("replay.log"));
    QVERIFY(writeTestFile(path,
                          "(1700000000.000000) can0 123#1122334455667788\n"
                          "(1700000000.005000) can1 1ABCDEF0#01\n"
                          "(1700000000.010000) can0 7FF#R\n"
                          "(1700000000.012000) can0 000#\n"
                          "(1700000000.020000) can1 00000001#DEADBEEF\n"
                          "(1700000000.600001) can0 456#0102\n"));
    QSignalSpy loaded(m_page.get(), &TransmitListWidget::replayLogLoaded);
    QVERIFY(m_page->openReplayLog(path));
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.first().first().toBool(), true);
    QCOMPARE(m_page->replayFrameCount(), 6);

    QVector<LogFrame> expected;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    LogFileReader::read(file, [&expected](const LogFrame &f) {
        expected.append(f);
        return true;
    });
    m_page->findChild<QCheckBox *>(QStringLiteral("replayFast"))->setChecked(speed == 0);
    if (speed > 0)
        m_page->findChild<QDoubleSpinBox *>(QStringLiteral("replaySpeed"))->setValue(speed);
    m_page->startReplay();
    if (pause) {
        auto *button = m_page->findChild<QPushButton *>(QStringLiteral("replayPause"));
        QTRY_VERIFY(m_shown.size() >= 5);
        button->click();
        QTRY_VERIFY(!m_reports.isEmpty() && m_reports.last().paused);
        const int sentAtPause = m_sent.size();
        QTest::qWait(300);
        QCOMPARE(m_sent.size(), sentAtPause);
        QCOMPARE(button->text(), TransmitListWidget::tr("继续"));
        button->click();
    }
    const TransmitReport end = runUntilEnd();
    QCOMPARE(end.done, qint64(expected.size()));
    QCOMPARE(end.failed, quint64(0));
    QTRY_COMPARE(m_looped.size(), expected.size());
    QCOMPARE(m_sent.size(), expected.size());
    qint64 pauseShift = 0;
    for (int i = 0; i < expected.size(); ++i) {
        // The loopback hands each frame to the other channel, exactly as the adapter sent it.
        QCOMPARE(m_looped.at(i).channel, uchar(3 - expected.at(i).channel));
        QCOMPARE(m_looped.at(i).frame.toHex(), expected.at(i).toDeviceFrame().toHex());
        QCOMPARE(m_shown.at(i).frame, expected.at(i).toDeviceFrame());

        QCOMPARE(m_sent.at(i).index, i);
        QVERIFY(m_sent.at(i).sentNs >= m_sent.at(i).dueNs);
        const qint64 gapNs = (expected.at(i).hostTimeUs - expected.first().hostTimeUs) * 1000;
        const qint64 wanted = speed > 0 ? qint64(std::llround(double(gapNs) / speed)) : 0;
        const qint64 excess = m_sent.at(i).dueNs - m_sent.first().dueNs - wanted;
        // A pause moves the rest of the schedule by its length, once.
        if (excess != pauseShift) {
            QVERIFY2(pause && pauseShift == 0 && excess >= 300000000,
                     qPrintable(QStringLiteral("frame %1 due %2 ns off").arg(i).arg(excess)));
            pauseShift = excess;
        }
    }
    QCOMPARE(pauseShift > 0, pause);
}

void tst_TransmitList::listKeptInJsonAndSettings()
{
    QVector<TransmitEntry> list { entry(2, 0x1FFFFFFF, 1000), entry(1, 0x7FF, 0) };
    list[0].extended = true;
    list[0].name = QStringLiteral("心跳");
    list[1].remote = true;
    list[1].enabled = false;
    m_page->setEntries(list);
    QTemporaryDir dir;
    // A name typed without the suffix still lands where the load dialog looks.
    QVERIFY(m_page->saveList(dir.filePath(QStringLiteral("list"))));
    const QString path = dir.filePath(QStringLiteral("list.json"));

    m_page->setEntries({});
    QVERIFY(m_page->loadList(path));
    TransmitListWidget fromSettings;
    for (const QVector<TransmitEntry> &got : { m_page->entries(), fromSettings.entries() }) {
        QCOMPARE(got.size(), list.size());
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(got.at(i).name, list.at(i).name);
            QCOMPARE(got.at(i).canFrame(), list.at(i).canFrame());
            QCOMPARE(got.at(i).channel, list.at(i).channel);
            QCOMPARE(got.at(i).periodMs, list.at(i).periodMs);
            QCOMPARE(got.at(i).enabled, list.at(i).enabled);
        }
    }
}

void tst_TransmitList::brokenListIsRefusedWhole_data()
{
    QTest::addColumn<QByteArray>("second"); // the list's second entry; the first is sound
    QTest::addColumn<QString>("reason"); // part of the message after the entry's name

    QTest::newRow("not an object") << QByteArray("5") << QStringLiteral("不是一个对象");
    QTest::newRow("negative period")
        << QByteArray(R"({"channel":1,"id":"1","dlc":0,"periodMs":-5})")
        << QStringLiteral("“periodMs”为 -5");
    QTest::newRow("period not whole")
        << QByteArray(R"({"channel":1,"id":"1","dlc":0,"periodMs":2.5})")
        << QStringLiteral("“periodMs”应为整数");
    QTest::newRow("enabled as text")
        << QByteArray(R"({"enabled":"false","channel":1,"id":"1","dlc":0,"periodMs":5})")
        << QStringLiteral("“enabled”应为 true 或 false");
    QTest::newRow("channel 3") << QByteArray(R"({"channel":3,"id":"1","dlc":0,"periodMs":5})")
                               << QStringLiteral("“channel”为 3");
    QTest::newRow("dlc 9") << QByteArray(R"({"channel":1,"id":"1","dlc":9,"periodMs":5})")
                           << QStringLiteral("“dlc”为 9");
    QTest::newRow("standard id 800")
        << QByteArray(R"({"channel":1,"id":"800","dlc":0,"periodMs":5})")
        << QStringLiteral("标识符 800");
    QTest::newRow("extended id 20000000")
        << QByteArray(R"({"extended":true,"channel":1,"id":"20000000","dlc":0,"periodMs":5})")
        << QStringLiteral("标识符 20000000");
    QTest::newRow("id not hex") << QByteArray(R"({"channel":1,"id":"xyz","dlc":0,"periodMs":5})")
                                << QStringLiteral("“id”应为");
    QTest::newRow("id missing") << QByteArray(R"({"channel":1,"dlc":0,"periodMs":5})")
                                << QStringLiteral("缺少“id”");
    QTest::newRow("nine data bytes") << QByteArray(
        R"({"channel":1,"id":"1","dlc":8,"data":"11 22 33 44 55 66 77 88 99","periodMs":5})")
                                     << QStringLiteral("9 个字节");
    QTest::newRow("name too long") << QByteArray(
        R"({"name":"abcdefghijklmnopqrstu","channel":1,"id":"1","dlc":0,"periodMs":5})")
                                   << QStringLiteral("名称超过 20 个字符");
    QTest::newRow("not JSON") << QByteArray("{") << QStringLiteral("不是有效的 JSON");
}

// Whatever is wrong, nothing of the file is taken: the list shown before stays, the message names
// the entry and the reason, and the same file kept in the settings leaves a new page empty.
void tst_TransmitList::brokenListIsRefusedWhole()
{
    QFETCH(QByteArray, second);
    QFETCH(QString, reason);
    const QByteArray json
        = R"({"frames":[{"channel":1,"id":"7","dlc":1,"data":"AA","periodMs":10},)" + second + "]}";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.json"));
    QVERIFY(writeTestFile(path, json));
    const QVector<TransmitEntry> before { entry(1, 0x321, 50) };
    m_page->setEntries(before);

    QString why;
    QVERIFY(!m_page->loadList(path, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
    if (second != "{")
        QVERIFY2(why.startsWith(QStringLiteral("第 2 项")), qPrintable(why));
    QCOMPARE(m_page->entries().size(), 1);
    QCOMPARE(m_page->entries().first().canFrame(), before.first().canFrame());

    writeSetting(QLatin1String(TransmitListWidget::SettingsKey), json);
    TransmitListWidget fromSettings;
    QVERIFY(fromSettings.entries().isEmpty());
    // Told on the first page only, not again by each page a language switch builds.
    const QString told = fromSettings.findChild<QLabel *>(QStringLiteral("listState"))->text();
    QCOMPARE(told.contains(reason), QByteArray(QTest::currentDataTag()) == "not an object");
    writeSetting(QLatin1String(TransmitListWidget::SettingsKey),
                 TransmitListWidget::toJson(before).toJson());
}

void tst_TransmitList::replayGapsAreBounded_data()
{
    QTest::addColumn<QVector<qint64>>("timesUs");
    QTest::addColumn<double>("speed");
    QTest::addColumn<QVector<qint64>>("offsetsNs");
    QTest::addColumn<int>("capped");

    constexpr qint64 day = TransmitListScheduler::MaxReplayGapUs * 1000;
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    QTest::newRow("ordinary at 2x") << QVector<qint64> { 100, 1100, 5100 } << 2.0
                                    << QVector<qint64> { 0, 500000, 2500000 } << 0;
    QTest::newRow("time going back waits nothing")
        << QVector<qint64> { 5000, 1000, 3000 } << 1.0 << QVector<qint64> { 0, 0, 2000000 } << 0;
    QTest::newRow("just over a day") << QVector<qint64> { 0, day / 1000 + 1, day / 1000 + 2 } << 1.0
                                     << QVector<qint64> { 0, day, day + 1000 } << 1;
    QTest::newRow("whole 64-bit range") << QVector<qint64> { min, max, min, max } << 1.0
                                        << QVector<qint64> { 0, day, day, 2 * day } << 2;
    QTest::newRow("absurd gap at a tenth")
        << QVector<qint64> { 0, max } << 0.1 << QVector<qint64> { 0, 10 * day } << 1;
    QTest::newRow("as fast as confirmed")
        << QVector<qint64> { 0, max, 7 } << 0.0 << QVector<qint64> { 0, 0, 0 } << 1;
}

void tst_TransmitList::replayGapsAreBounded()
{
    QFETCH(QVector<qint64>, timesUs);
    QFETCH(double, speed);
    QFETCH(QVector<qint64>, offsetsNs);
    QFETCH(int, capped);
    QVector<LogFrame> log(timesUs.size());
    for (int i = 0; i < log.size(); ++i)
        log[i].hostTimeUs = timesUs.at(i);
    int bounded = -1;
    QCOMPARE(TransmitListScheduler::replayOffsets(log, speed, &bounded), offsetsNs);
    QCOMPARE(bounded, capped);
}

// Opening a pipe would block its reader until someone writes into it.
void tst_TransmitList::pipeIsRefusedAsLog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pipe.log"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QSignalSpy loaded(m_page.get(), &TransmitListWidget::replayLogLoaded);
    QVERIFY(m_page->openReplayLog(path));
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.first().first().toBool(), false);
    QVERIFY(m_page->findChild<QLabel *>(QStringLiteral("replayState"))
                ->text()
                .contains(QStringLiteral("不是普通文件")));
}

// The main window is rebuilt for a language switch: the list keeps running on the new page,
// which still has the log chosen before.
void tst_TransmitList::languageSwitchKeepsRunsAndLog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.log"));
    QVERIFY(
        writeTestFile(path, "(1700000000.000000) can0 123#11\n(1700000000.001000) can0 124#22\n"));
    QSignalSpy loaded(m_page.get(), &TransmitListWidget::replayLogLoaded);
    QVERIFY(m_page->openReplayLog(path));
    QVERIFY(loaded.wait(10000));
    m_page->setEntries({ entry(1, 0x55, 5) });
    m_page->startList();
    QTRY_VERIFY(m_shown.size() >= 3);

    m_page->keepForRebuild();
    m_page = std::make_unique<TransmitListWidget>();
    QVERIFY(m_page->listRunning());
    QCOMPARE(m_page->replayFrameCount(), 2);
    const int shownAtSwitch = m_shown.size();
    QTRY_VERIFY(m_shown.size() >= shownAtSwitch + 3);
    m_page->stopList();
    QCOMPARE(runUntilEnd().end, RunEnd::Stopped);
    QVERIFY(!m_page->listRunning());
}

void tst_TransmitList::inputRules_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint32>("bounded");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("standard 800") << QStringLiteral("800") << false << 0x7FFu
                                  << QStringLiteral("AB C")
                                  << QByteArray::fromHex("ABC0000000000000");
    QTest::newRow("standard 0001")
        << QStringLiteral("0001") << false << 0x7FFu << QStringLiteral("11 22 33")
        << QByteArray::fromHex("1122330000000000");
    QTest::newRow("extended 20000000") << QStringLiteral("20000000") << true << 0x1FFFFFFFu
                                       << QStringLiteral("") << QByteArray(8, '\0');
    QTest::newRow("extended 1234")
        << QStringLiteral("1234") << true << 0x1234u << QStringLiteral("0102030405060708")
        << QByteArray::fromHex("0102030405060708");
    QTest::newRow("not hex keeps the last")
        << QStringLiteral("xyz") << false << 0x55u << QStringLiteral("GG") << QByteArray();
}

void tst_TransmitList::inputRules()
{
    QFETCH(QString, id);
    QFETCH(bool, extended);
    QFETCH(quint32, bounded);
    QFETCH(QString, data);
    QFETCH(QByteArray, bytes);
    QCOMPARE(TransmitListWidget::boundedId(id, extended, 0x55), bounded);
    QByteArray parsed;
    QCOMPARE(TransmitListWidget::parseData(data, &parsed), !bytes.isEmpty());
    if (!bytes.isEmpty())
        QCOMPARE(parsed, bytes);
}

void tst_TransmitList::refusedFrameIsMarked()
{
    QMetaObject::invokeMethod(
        SerialControl::instance(), "serialSocketSend", Qt::QueuedConnection,
        Q_ARG(QByteArray, contextProtocol::buildBaudRateConfig(2, QByteArray(4, '\0'))));
    QTest::qWait(200);
    m_page->setEntries({ entry(1, 0x11, 20), entry(2, 0x22, 20) });
    m_page->startList();
    auto *table = m_page->findChild<QTableWidget *>(QStringLiteral("transmitTable"));
    QTRY_VERIFY(table->item(1, TransmitListWidget::ColResult)
                    ->text()
                    .startsWith(QStringLiteral("设备发送失败")));
    QTRY_VERIFY(table->item(0, TransmitListWidget::ColCount)->text().toInt() >= 3);
    m_page->stopList();
    const TransmitReport end = runUntilEnd();
    QCOMPARE(end.entries.at(1).confirmed, quint64(0));
    QVERIFY(end.entries.at(1).refused > 0);
    QCOMPARE(end.entries.at(0).refused, quint64(0));
    QCOMPARE(table->item(0, TransmitListWidget::ColResult)->text(), QStringLiteral("成功"));
    QVERIFY(table->item(1, TransmitListWidget::ColResult)->background() != QBrush());
}

void tst_TransmitList::unplugEndsListAndReplay()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.log"));
    QByteArray log;
    for (int i = 0; i < 2000; ++i)
        log += QStringLiteral("(%1.%2) can0 100#01\n")
                   .arg(1700000000 + i / 100)
                   .arg((i % 100) * 10000, 6, 10, QLatin1Char('0'))
                   .toLatin1();
    QVERIFY(writeTestFile(path, log));
    QSignalSpy loaded(m_page.get(), &TransmitListWidget::replayLogLoaded);
    QVERIFY(m_page->openReplayLog(path));
    QVERIFY(loaded.wait(10000));
    m_page->setEntries({ entry(1, 0x66, 2) });
    m_page->startList();
    m_page->startReplay();
    QTRY_VERIFY(m_shown.size() >= 20);

    m_adapter->unplug();
    QTRY_VERIFY(!m_page->listRunning());
    const auto *play = m_page->findChild<QPushButton *>(QStringLiteral("replayPlay"));
    QTRY_COMPARE(play->text(), TransmitListWidget::tr("回放"));
    int ends = 0;
    for (const TransmitReport &r : qAsConst(m_reports)) {
        if (!r.running) {
            QCOMPARE(r.end, RunEnd::DeviceGone);
            ++ends;
        }
    }
    QCOMPARE(ends, 2);
    for (const char *label : { "listState", "replayState" }) {
        QVERIFY(m_page->findChild<QLabel *>(QLatin1String(label))
                    ->text()
                    .contains(QStringLiteral("设备已断开")));
    }
    // Nothing goes on counting failures.
    m_reports.clear();
    QTest::qWait(2 * TransmitListScheduler::ReportIntervalMs);
    QVERIFY(m_reports.isEmpty());
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_TransmitList)

#include "tst_transmitlist.moc"
