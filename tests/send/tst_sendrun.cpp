// Send runs end to end: the send window's panels drive their schedulers through the real serial
// link and codec to the virtual adapter, and confirmed frames come back into the receive view.

#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/canframeformatter.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"
#include "send/generallyframesendwidget.h"
#include "send/tablepanel_widget.h"
#include "simulator/virtualadapter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "support/privatesettingsmain.h"
#include <memory>

namespace {
constexpr int AdapterSettleMs = 50;

struct RunSetup
{
    int typeIndex = 0;
    QString id;
    int lengthIndex = 0;
    QString data;
    bool idIncrement = false;
    bool dataIncrement = false;
    int times = 1;
    int interval = 0;
};

struct Confirmation
{
    uint rank = 0;
    uchar channel = 0;
    uint stamp = 0;
};

QList<QMessageBox *> openBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes.append(box);
    }
    return boxes;
}
} // namespace

Q_DECLARE_METATYPE(RunSetup)

class tst_SendRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void run_data();
    void run();
    void silentAdapterEndsWithNoResponse();
    void refusedSendEndsWithSendFailed();
    void secondClickStopsTheRun();
    void stopClickAfterTheRunEndedStartsNothing();
    void twoPanelsOnOneChannel();
    void strayBytesAfterConfirmationsDoNotEndTheRun();

private:
    template<typename T>
    T *child(QWidget *parent, const char *name) const
    {
        T *found = parent->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    void prepare(tablePanel_Widget *panel, const QString &channel, const RunSetup &setup);
    QList<int> *watchEnds(tablePanel_Widget *panel);
    // The receive view's records, oldest first, once it shows `total` of them.
    QList<CanRecord> records(int total);
    QString channelName(int channel) const;

    std::unique_ptr<VirtualAdapter> m_adapter;
    std::unique_ptr<generallyFrameSendWidget> m_window;
    DeviceManagement *m_device = nullptr;
    CAN_DataDisplaySupport *m_display = nullptr;
    QList<Confirmation> m_confirmations;
    QHash<tablePanel_Widget *, QList<int>> m_ends;
};

void tst_SendRun::initTestCase()
{
    SerialControl *serial = SerialControl::instance();
    serial->setPortSource([] { return QList<SerialPortEntry>(); });
    m_adapter = std::make_unique<VirtualAdapter>();
    QVERIFY(m_adapter->start());
    serial->addExtraPort(m_adapter->slavePath());

    m_device = DeviceManagement::instance();
    m_display = CAN_DataDisplaySupport::instance();
    m_window = std::make_unique<generallyFrameSendWidget>();
    QMetaObject::invokeMethod(m_display, &CAN_DataDisplaySupport::startRefresh,
                              Qt::QueuedConnection);
    connect(contextProtocol::instance(), &contextProtocol::signal_RSP_CANSend, this,
            [this](uchar channel, uchar state, uint rank, uint stamp) {
                if (state != 0)
                    m_confirmations.append({ rank, channel, stamp });
            });
    for (int i = 0; i < 2; ++i)
        watchEnds(m_window->panel(i));

    // Open the adapter and start both channels at the same bit rate, as a user would.
    serial->refreshPortList();
    auto *port = child<QComboBox>(m_device, "chose_port");
    QTRY_VERIFY(port->findText(m_adapter->slavePath()) >= 0);
    port->setCurrentIndex(port->findText(m_adapter->slavePath()));
    child<QPushButton>(m_device, "device_open")->click();
    QTRY_VERIFY(child<QPushButton>(m_device, "device_close")->isEnabled());
    auto *baud2 = child<QComboBox>(m_device, "baud_2");
    baud2->setCurrentIndex(child<QComboBox>(m_device, "baud_1")->currentIndex());
    child<QPushButton>(m_device, "channel_control_1")->click();
    child<QPushButton>(m_device, "channel_control_2")->click();
    QTRY_VERIFY(m_adapter->settings().loopback);
    for (int i = 0; i < 2; ++i) {
        auto *channels = child<QComboBox>(m_window->panel(i), "devicec_hannel");
        QCOMPARE(channels->count(), 2);
        QCOMPARE(channels->itemText(0), channelName(1));
    }
}

void tst_SendRun::cleanupTestCase()
{
    child<QPushButton>(m_device, "device_close")->click();
    m_window.reset();
    m_adapter.reset();
}

void tst_SendRun::init()
{
    AdapterSettings settings = m_adapter->settings();
    settings.silent = false;
    settings.refuse = false;
    settings.loopback = true;
    settings.strayAfterSendEvery = 0;
    m_adapter->setSettings(settings);
    QTest::qWait(AdapterSettleMs);
    QMetaObject::invokeMethod(m_display, &CAN_DataDisplaySupport::clearHistory,
                              Qt::QueuedConnection);
    QTRY_COMPARE(m_display->sendCount() + m_display->recvCount(), 0);
    m_confirmations.clear();
    for (auto &ends : m_ends)
        ends.clear();
}

void tst_SendRun::cleanup()
{
    for (QMessageBox *box : openBoxes())
        box->close();
}

QString tst_SendRun::channelName(int channel) const
{
    return QCoreApplication::translate("DeviceManagement", channel == 1 ? "通道1" : "通道2");
}

QList<int> *tst_SendRun::watchEnds(tablePanel_Widget *panel)
{
    connect(panel->scheduler(), &Trans_canSendSupport::signal_Trans_End, this,
            [this, panel](int status) { m_ends[panel].append(status); });
    return &m_ends[panel];
}

void tst_SendRun::prepare(tablePanel_Widget *panel, const QString &channel, const RunSetup &setup)
{
    auto *channels = child<QComboBox>(panel, "devicec_hannel");
    channels->setCurrentIndex(channels->findText(channel));
    child<QComboBox>(panel, "canType")->setCurrentIndex(setup.typeIndex);
    child<QComboBox>(panel, "canFormat")->setCurrentIndex(0);
    auto *id = child<QLineEdit>(panel, "canID");
    id->clear();
    QTest::keyClicks(id, setup.id);
    child<QComboBox>(panel, "canDataLength")->setCurrentIndex(setup.lengthIndex);
    auto *data = child<QLineEdit>(panel, "canData");
    data->clear();
    QTest::keyClicks(data, setup.data);
    child<QCheckBox>(panel, "idIncrement")->setChecked(setup.idIncrement);
    child<QCheckBox>(panel, "dataIncrement")->setChecked(setup.dataIncrement);
    child<QSpinBox>(panel, "sendTimes")->setValue(setup.times);
    child<QSpinBox>(panel, "sendInterval")->setValue(setup.interval);
}

QList<CanRecord> tst_SendRun::records(int total)
{
    QList<CanRecord> list;
    const bool complete
        = QTest::qWaitFor([&] { return m_display->viewBuff()->get().size() >= total; }, 10000);
    if (!complete)
        return list;
    QTest::qWait(300); // a few more ticks: nothing else may arrive
    const CanRecordView newestFirst = m_display->viewBuff()->get();
    for (int i = newestFirst.size() - 1; i >= 0; --i)
        list.append(newestFirst.at(i));
    return list;
}

void tst_SendRun::run_data()
{
    QTest::addColumn<RunSetup>("setup");
    QTest::addColumn<QList<quint32>>("ids");
    QTest::addColumn<QStringList>("data");

    RunSetup wrapStd { 0, QStringLiteral("7FF"), 2, QStringLiteral("AABB"), true, false, 3, 0 };
    QTest::newRow("standard identifier 7FF wraps to 000")
        << wrapStd << QList<quint32> { 0x7FF, 0x000, 0x001 }
        << QStringList { QStringLiteral("AA BB"), QStringLiteral("AA BB"),
                         QStringLiteral("AA BB") };
    RunSetup wrapExt { 1, QStringLiteral("1FFFFFFF"), 0, QString(), true, false, 2, 0 };
    QTest::newRow("extended identifier 1FFFFFFF wraps to 0")
        << wrapExt << QList<quint32> { 0x1FFFFFFF, 0 } << QStringList { QString(), QString() };
    RunSetup dataWrap { 0, QStringLiteral("10"), 1, QStringLiteral("FF"), false, true, 2, 0 };
    QTest::newRow("data FF with length 1 is followed by 00")
        << dataWrap << QList<quint32> { 0x10, 0x10 }
        << QStringList { QStringLiteral("FF"), QStringLiteral("00") };
    RunSetup paced { 0, QStringLiteral("123"), 3, QStringLiteral("ABC"), false, true, 4, 20 };
    QTest::newRow("paced run with data increment")
        << paced << QList<quint32> { 0x123, 0x123, 0x123, 0x123 }
        << QStringList { QStringLiteral("AB C0 00"), QStringLiteral("AB C0 01"),
                         QStringLiteral("AB C0 02"), QStringLiteral("AB C0 03") };
}

void tst_SendRun::run()
{
    QFETCH(RunSetup, setup);
    QFETCH(QList<quint32>, ids);
    QFETCH(QStringList, data);

    tablePanel_Widget *panel = m_window->panel(0);
    prepare(panel, channelName(1), setup);
    auto *send = child<QPushButton>(panel, "Button_send");
    send->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[panel].size(), 1, 10000);
    QCOMPARE(m_ends[panel].first(), int(TransEnd_Finished));
    QCOMPARE(send->text(), QStringLiteral("立即发送"));
    const QString elapsed = child<QLabel>(panel, "label_expendTime")->text();
    QVERIFY2(!elapsed.isEmpty() && elapsed != QLatin1String("0.000"), qPrintable(elapsed));

    // Every confirmed frame is shown as Tx with the adapter's time stamp, and the loopback
    // shows it again as Rx on channel 2.
    const QList<CanRecord> shown = records(2 * ids.size());
    QCOMPARE(shown.size(), 2 * ids.size());
    QList<uint> stamps;
    for (const Confirmation &c : qAsConst(m_confirmations)) {
        if (c.rank == panel->scheduler()->rank())
            stamps.append(c.stamp);
    }
    QCOMPARE(stamps.size(), ids.size());
    int tx = 0;
    int rx = 0;
    CanFrameFormatter formatter;
    for (const CanRecord &shownRecord : shown) {
        FileSaveSupport::CAN_StructureDescription record;
        formatter.format(record, shownRecord);
        if (record.direction == QLatin1String("Tx")) {
            QCOMPARE(record.channel, QStringLiteral("1"));
            QCOMPARE(record.frameID, CanFrameFormatter::frameIdText(ids.at(tx)));
            QCOMPARE(record.data, data.at(tx));
            QCOMPARE(record.timeStamp, CanFrameFormatter::timeStampText(stamps.at(tx)));
            ++tx;
        } else {
            QCOMPARE(record.direction, QStringLiteral("Rx"));
            QCOMPARE(record.channel, QStringLiteral("2"));
            QCOMPARE(record.frameID, CanFrameFormatter::frameIdText(ids.at(rx)));
            QCOMPARE(record.data, data.at(rx));
            QCOMPARE(record.timeStamp, CanFrameFormatter::timeStampText(stamps.at(rx)));
            ++rx;
        }
    }
    QCOMPARE(tx, ids.size());
    QCOMPARE(rx, ids.size());
}

void tst_SendRun::silentAdapterEndsWithNoResponse()
{
    m_adapter->setFault(VirtualAdapter::Fault::Silent, true);
    QTest::qWait(AdapterSettleMs);
    const quint64 before = m_adapter->statistics().framesSent;

    tablePanel_Widget *panel = m_window->panel(1);
    prepare(panel, channelName(1),
            RunSetup { 0, QStringLiteral("55"), 1, QStringLiteral("01"), false, false, 5, 0 });
    child<QPushButton>(panel, "Button_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[panel].size(), 1, 10000);
    QCOMPARE(m_ends[panel].first(), int(TransEnd_NoResponse));
    QCOMPARE(m_adapter->statistics().framesSent, before + 1);
    QTRY_COMPARE(openBoxes().size(), 1);
    QCOMPARE(openBoxes().first()->windowTitle(), QStringLiteral("发送失败 通道1"));
    QCOMPARE(openBoxes().first()->text(), QStringLiteral("设备未响应"));
    QCOMPARE(child<QLabel>(panel, "label_expendTime")->text(), QStringLiteral("0.000"));
    QTest::qWait(600);
    QCOMPARE(m_adapter->statistics().framesSent, before + 1);
    QCOMPARE(m_display->sendCount(), 0);
}

void tst_SendRun::refusedSendEndsWithSendFailed()
{
    // The adapter's channel 2 is stopped behind the device panel's back, so the panel still
    // offers it and the adapter refuses the frame.
    QMetaObject::invokeMethod(
        SerialControl::instance(), "serialSocketSend", Qt::QueuedConnection,
        Q_ARG(QByteArray, contextProtocol::buildBaudRateConfig(2, QByteArray(4, '\0'))));
    QTest::qWait(200);
    QMetaObject::invokeMethod(m_display, &CAN_DataDisplaySupport::clearHistory,
                              Qt::QueuedConnection);

    tablePanel_Widget *panel = m_window->panel(0);
    prepare(panel, channelName(2),
            RunSetup { 0, QStringLiteral("66"), 2, QStringLiteral("0102"), false, false, 5, 0 });
    child<QPushButton>(panel, "Button_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[panel].size(), 1, 10000);
    QCOMPARE(m_ends[panel].first(), int(TransEnd_SendFailed));
    QTRY_COMPARE(openBoxes().size(), 1);
    QCOMPARE(openBoxes().first()->windowTitle(), QStringLiteral("发送失败 通道2"));
    QCOMPARE(openBoxes().first()->text(), QStringLiteral("设备发送失败"));
    QCOMPARE(child<QLabel>(panel, "label_expendTime")->text(), QStringLiteral("0.000"));
    QTest::qWait(400); // a few display ticks
    QCOMPARE(m_display->sendCount(), 0);
    QCOMPARE(m_display->recvCount(), 0);

    // Bring channel 2 back the way the user would.
    child<QPushButton>(m_device, "channelClose1_2")->click();
    child<QPushButton>(m_device, "channel_control_2")->click();
    QTRY_COMPARE(child<QComboBox>(panel, "devicec_hannel")->count(), 2);
}

void tst_SendRun::secondClickStopsTheRun()
{
    tablePanel_Widget *panel = m_window->panel(0);
    prepare(panel, channelName(1),
            RunSetup { 0, QStringLiteral("77"), 8, QString(), false, true, 1000000, 20 });
    auto *send = child<QPushButton>(panel, "Button_send");
    send->click();
    QTRY_VERIFY_WITH_TIMEOUT(m_display->sendCount() >= 3, 10000);
    QCOMPARE(send->text(), QStringLiteral("停止发送"));
    send->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[panel].size(), 1, 10000);
    QCOMPARE(m_ends[panel].first(), int(TransEnd_Stopped));
    QCOMPARE(send->text(), QStringLiteral("立即发送"));
    QVERIFY(child<QLabel>(panel, "label_expendTime")->text() != QLatin1String("0.000"));
    // The frame written just before the stop may still be on its way through the
    // pseudo-terminal (slow under sanitizers); only frames after that one would be wrong.
    QTest::qWait(300);
    const quint64 sent = m_adapter->statistics().framesSent;
    QTest::qWait(500);
    QCOMPARE(m_adapter->statistics().framesSent, sent);
    QCOMPARE(m_ends[panel].size(), 1);
    QVERIFY(openBoxes().isEmpty());
}

void tst_SendRun::stopClickAfterTheRunEndedStartsNothing()
{
    tablePanel_Widget *panel = m_window->panel(1);
    prepare(panel, channelName(1),
            RunSetup { 0, QStringLiteral("88"), 1, QStringLiteral("01"), false, false, 1, 0 });
    auto *send = child<QPushButton>(panel, "Button_send");
    const quint64 before = m_adapter->statistics().framesSent;
    send->click();
    // The GUI thread is busy while the one-frame run ends on the scheduler's thread: the panel
    // still shows the stop caption when the user clicks it.
    QThread::msleep(100);
    QCOMPARE(send->text(), QStringLiteral("停止发送"));
    send->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[panel].size(), 1, 10000);
    QTest::qWait(600);
    QCOMPARE(m_ends[panel].size(), 1);
    QVERIFY(m_ends[panel].first() == TransEnd_Finished
            || m_ends[panel].first() == TransEnd_Stopped);
    QCOMPARE(m_adapter->statistics().framesSent, before + 1);
    QCOMPARE(send->text(), QStringLiteral("立即发送"));
    QCOMPARE(m_display->sendCount(), 1);
}

void tst_SendRun::twoPanelsOnOneChannel()
{
    constexpr int Frames = 100;
    tablePanel_Widget *first = m_window->panel(0);
    tablePanel_Widget *second = m_window->panel(1);
    prepare(
        first, channelName(1),
        RunSetup { 0, QStringLiteral("100"), 1, QStringLiteral("01"), false, false, Frames, 0 });
    prepare(
        second, channelName(1),
        RunSetup { 0, QStringLiteral("200"), 1, QStringLiteral("02"), false, false, Frames, 0 });
    QVERIFY(first->scheduler()->rank() != second->scheduler()->rank());
    const quint64 before = m_adapter->statistics().framesSent;

    child<QPushButton>(first, "Button_send")->click();
    child<QPushButton>(second, "Button_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[first].size(), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[second].size(), 1, 20000);
    QCOMPARE(m_ends[first].first(), int(TransEnd_Finished));
    QCOMPARE(m_ends[second].first(), int(TransEnd_Finished));
    // Had either taken the other's confirmations, it would have stopped short.
    QTRY_COMPARE_WITH_TIMEOUT(m_adapter->statistics().framesSent, before + 2 * Frames, 2000);

    const QList<CanRecord> shown = records(4 * Frames);
    QCOMPARE(shown.size(), 4 * Frames);
    int fromFirst = 0;
    int fromSecond = 0;
    CanFrameFormatter formatter;
    for (const CanRecord &shownRecord : shown) {
        FileSaveSupport::CAN_StructureDescription record;
        formatter.format(record, shownRecord);
        if (record.direction != QLatin1String("Tx"))
            continue;
        if (record.frameID == CanFrameFormatter::frameIdText(0x100)) {
            QCOMPARE(record.data, QStringLiteral("01"));
            ++fromFirst;
        } else {
            QCOMPARE(record.frameID, CanFrameFormatter::frameIdText(0x200));
            QCOMPARE(record.data, QStringLiteral("02"));
            ++fromSecond;
        }
    }
    QCOMPARE(fromFirst, Frames);
    QCOMPARE(fromSecond, Frames);
}

void tst_SendRun::strayBytesAfterConfirmationsDoNotEndTheRun()
{
    // A quiet adapter on a noisy line: each confirmation arrives alone, and one in a hundred
    // is followed by a few stray bytes.
    constexpr int Frames = 1000;
    AdapterSettings settings = m_adapter->settings();
    settings.loopback = false;
    settings.strayAfterSendEvery = 100;
    m_adapter->setSettings(settings);
    QTest::qWait(AdapterSettleMs);
    const quint64 before = m_adapter->statistics().framesSent;

    tablePanel_Widget *panel = m_window->panel(0);
    prepare(panel, channelName(1),
            RunSetup { 0, QStringLiteral("321"), 8, QString(), false, true, Frames, 0 });
    child<QPushButton>(panel, "Button_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_ends[panel].size(), 1, 60000);
    QCOMPARE(m_ends[panel].first(), int(TransEnd_Finished));
    QVERIFY(openBoxes().isEmpty());
    QCOMPARE(m_adapter->statistics().framesSent, before + Frames);
    QTRY_COMPARE(m_display->sendCount(), Frames);
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_SendRun)

#include "tst_sendrun.moc"
