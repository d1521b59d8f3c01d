#include "app/settings.h"
#include "device/canbaudratecalculator.h"
#include "device/devicemanagement.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"
#include "simulator/virtualadapter.h"
#include "support/translationcheck.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLoggingCategory>
#include <QMutex>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include "support/privatesettingsmain.h"
#include <utility>

namespace {
QMutex logMutex;
QStringList logLines;
QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Q_UNUSED(type)
    Q_UNUSED(context)
    QMutexLocker lock(&logMutex);
    logLines.append(message);
}

// The test environment switches debug output off; the panel's debug lines are part of what
// it promises, so the default category is turned back on here.
void enableDefaultDebug(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), "default") == 0)
        category->setEnabled(QtDebugMsg, true);
}

QStringList takeLog()
{
    QMutexLocker lock(&logMutex);
    return std::exchange(logLines, {});
}

int countLines(const QStringList &lines, const QString &text)
{
    int n = 0;
    for (const QString &line : lines)
        n += line.contains(text) ? 1 : 0;
    return n;
}

constexpr int UserBaud40Code = 0x040D005A;
constexpr int SettleMs = 100; // the adapter answers within a few milliseconds
constexpr int LongWaitMs = 10000;
constexpr int AdapterSettleMs = 20;
} // namespace

class tst_DeviceManagement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void storedChoicesAreRestored();
    void constructionShowsClosedPanel();
    void fixedSizeAndTitle();
    void emptyPortSelectionDoesNothing();

    void openStartStopClose();
    void settingsWrittenOnStart_data();
    void settingsWrittenOnStart();
    void customEntryOpensCalculatorAndSendsNothing();
    void secondUserBaudReplacesFirst();

    void openFailures_data();
    void openFailures();
    void openWhileAdapterStreams();
    void unansweredCloseClosesLocally();
    void secondClickDuringWaitIsIgnored_data();
    void secondClickDuringWaitIsIgnored();
    void unansweredChannelStopKeepsChannelStarted();
    void lateResponsesChangeNothing_data();
    void lateResponsesChangeNothing();
    void refreshedListWithOpenPortChangesNothing();
    void refreshWhileClosedRefillsPortBox();
    void portBoxListsAdaptersAndExtraPorts();
    void retranslateRepeatsChannelStates();
    void unplugReturnsPanelToClosed();
    void statusLineTellsWhatHappened_data();
    void statusLineTellsWhatHappened();
    void closeBeforeExitReachesAdapter_data();
    void closeBeforeExitReachesAdapter();

    void englishTranslationIsComplete();

private:
    template<typename T>
    T *child(const char *name) const
    {
        T *w = m_panel->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    void plugAdapter();
    bool openDevice();
    void closeDevice();
    void selectRate(QComboBox *box, const QString &text);
    void setFault(VirtualAdapter::Fault fault, bool on);
    bool panelClosed() const;
    bool panelOpen() const;
    bool channelStarted(int channel) const;
    bool channelStopped(int channel) const;

    DeviceManagement *m_panel = nullptr;
    CANbaudRateCalculator *m_calculator = nullptr;
    std::unique_ptr<VirtualAdapter> m_adapter;
    QString m_adapterPath;
};

void tst_DeviceManagement::initTestCase()
{
    writeSetting(QStringLiteral("CBAUDNAME1"), QStringLiteral("UserBaud-40kbps"));
    writeSetting(QStringLiteral("CBAUDRATE1"), UserBaud40Code);
    // Names match case-sensitively: this matches no item.
    writeSetting(QStringLiteral("CBAUDNAME2"), QStringLiteral("500KBPS"));
    writeSetting(QStringLiteral("CBAUDRATE2"), 0x030C0008);

    // No real serial ports: only the virtual adapter is listed.
    SerialControl::instance()->setPortSource([] { return QList<SerialPortEntry>(); });
    m_adapter = std::make_unique<VirtualAdapter>();
    QVERIFY(m_adapter->start());
    m_adapterPath = m_adapter->slavePath();
    SerialControl::instance()->addExtraPort(m_adapterPath);

    m_panel = DeviceManagement::instance();
    QVERIFY(m_panel);
    QCOMPARE(DeviceManagement::instance(), m_panel);
    m_calculator = m_panel->findChild<CANbaudRateCalculator *>();
    QVERIFY(m_calculator);

    previousFilter = QLoggingCategory::installFilter(enableDefaultDebug);
    previousHandler = qInstallMessageHandler(captureLog);
}

void tst_DeviceManagement::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
    QLoggingCategory::installFilter(previousFilter);
    if (!panelClosed())
        closeDevice();
    m_adapter.reset();
}

void tst_DeviceManagement::init()
{
    takeLog();
    m_calculator->hide();
    if (!m_adapter->isRunning() || m_adapter->slavePath() != m_adapterPath)
        plugAdapter();
    AdapterSettings settings = m_adapter->settings();
    settings.silent = false;
    settings.refuse = false;
    settings.channelCount = 2;
    m_adapter->setSettings(settings);
    QTest::qWait(AdapterSettleMs);
}

void tst_DeviceManagement::plugAdapter()
{
    SerialControl *serial = SerialControl::instance();
    serial->removeExtraPort(m_adapterPath);
    if (!m_adapter->isRunning())
        QVERIFY(m_adapter->start());
    m_adapterPath = m_adapter->slavePath();
    serial->addExtraPort(m_adapterPath);
    serial->refreshPortList();
}

bool tst_DeviceManagement::panelClosed() const
{
    return child<QComboBox>("chose_port")->isEnabled()
        && child<QPushButton>("device_open")->isEnabled()
        && !child<QPushButton>("device_close")->isEnabled()
        && child<QStackedWidget>("stackedWidget")->isHidden();
}

bool tst_DeviceManagement::panelOpen() const
{
    return !child<QComboBox>("chose_port")->isEnabled()
        && !child<QPushButton>("device_open")->isEnabled()
        && child<QPushButton>("device_close")->isEnabled()
        && !child<QStackedWidget>("stackedWidget")->isHidden()
        && child<QStackedWidget>("stackedWidget")->currentWidget() == child<QWidget>("page");
}

bool tst_DeviceManagement::channelStarted(int channel) const
{
    const bool first = channel == 1;
    return !child<QPushButton>(first ? "channel_control_1" : "channel_control_2")->isEnabled()
        && child<QPushButton>(first ? "channelClose1" : "channelClose1_2")->isEnabled()
        && !child<QComboBox>(first ? "baud_1" : "baud_2")->isEnabled();
}

bool tst_DeviceManagement::channelStopped(int channel) const
{
    const bool first = channel == 1;
    return child<QPushButton>(first ? "channel_control_1" : "channel_control_2")->isEnabled()
        && !child<QPushButton>(first ? "channelClose1" : "channelClose1_2")->isEnabled()
        && child<QComboBox>(first ? "baud_1" : "baud_2")->isEnabled();
}

bool tst_DeviceManagement::openDevice()
{
    QComboBox *port = child<QComboBox>("chose_port");
    const int index = port->findText(m_adapterPath);
    if (index < 0)
        return false;
    port->setCurrentIndex(index);
    child<QPushButton>("device_open")->click();
    return panelOpen();
}

void tst_DeviceManagement::closeDevice()
{
    child<QPushButton>("device_close")->click();
}

// The adapter picks up changed settings on its next millisecond tick; a command that arrives
// before that would still be served the old way.
void tst_DeviceManagement::setFault(VirtualAdapter::Fault fault, bool on)
{
    m_adapter->setFault(fault, on);
    QTest::qWait(AdapterSettleMs);
}

void tst_DeviceManagement::selectRate(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
}

void tst_DeviceManagement::storedChoicesAreRestored()
{
    auto *baud1 = child<QComboBox>("baud_1");
    auto *baud2 = child<QComboBox>("baud_2");
    QCOMPARE(baud1->count(), 12);
    QCOMPARE(baud1->currentIndex(), 11);
    QCOMPARE(baud1->currentText(), QStringLiteral("UserBaud-40kbps"));
    QCOMPARE(baud1->currentData().toInt(), UserBaud40Code);
    QCOMPARE(baud2->count(), 11);
    QCOMPARE(baud2->currentIndex(), 0);
    QCOMPARE(baud2->currentText(), QStringLiteral("1000kbps"));
    // Restoring never opens the calculator.
    QVERIFY(m_calculator->isHidden());

    const QList<QPair<QString, int>> standard = { { QStringLiteral("1000kbps"), 0x030C0004 },
                                                  { QStringLiteral("800kbps"), 0x030C0005 },
                                                  { QStringLiteral("500kbps"), 0x030C0008 },
                                                  { QStringLiteral("250kbps"), 0x020B0012 },
                                                  { QStringLiteral("125kbps"), 0x020B0024 },
                                                  { QStringLiteral("100kbps"), 0x020D0028 },
                                                  { QStringLiteral("50kbps"), 0x020F0048 },
                                                  { QStringLiteral("20kbps"), 0x020F00B4 },
                                                  { QStringLiteral("10kbps"), 0x020F0168 },
                                                  { QStringLiteral("5kbps"), 0x020F02D0 },
                                                  { QStringLiteral("自定义"), 0 } };
    for (int i = 0; i < standard.size(); ++i) {
        for (QComboBox *box : { baud1, baud2 }) {
            QCOMPARE(box->itemText(i), standard.at(i).first);
            QCOMPARE(box->itemData(i).toInt(), standard.at(i).second);
        }
    }
}

void tst_DeviceManagement::constructionShowsClosedPanel()
{
    QVERIFY(panelClosed());
    QVERIFY(channelStopped(1));
    QVERIFY(channelStopped(2));
    const auto *port = child<QComboBox>("chose_port");
    QVERIFY(port->findText(m_adapterPath) >= 0);
}

void tst_DeviceManagement::fixedSizeAndTitle()
{
    QCOMPARE(m_panel->size(), QSize(550, 400));
    QCOMPARE(m_panel->minimumSize(), QSize(550, 400));
    QCOMPARE(m_panel->maximumSize(), QSize(550, 400));
    QCOMPARE(m_panel->objectName(), QStringLiteral("DeviceManagement"));
    QVERIFY(m_panel->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(m_panel->windowModality(), Qt::ApplicationModal);
    QVERIFY(!m_panel->parent());
}

void tst_DeviceManagement::emptyPortSelectionDoesNothing()
{
    auto *port = child<QComboBox>("chose_port");
    const QStringList saved = [port] {
        QStringList items;
        for (int i = 0; i < port->count(); ++i)
            items << port->itemText(i);
        return items;
    }();
    port->clear();
    QSignalSpy model(m_panel, &DeviceManagement::signals_deviceModelCommand);
    QElapsedTimer timer;
    timer.start();
    child<QPushButton>("device_open")->click();
    QVERIFY(timer.elapsed() < 150); // no response wait at all
    QCOMPARE(model.count(), 0);
    QVERIFY(!SerialControl::instance()->isOpen());
    QVERIFY(panelClosed());
    port->addItems(saved);
}

void tst_DeviceManagement::openStartStopClose()
{
    QSignalSpy model(m_panel, &DeviceManagement::signals_deviceModelCommand);
    QSignalSpy channels(m_panel, &DeviceManagement::signals_channelStateChanged);
    QVERIFY(model.isValid());
    QVERIFY(channels.isValid());

    QVERIFY(openDevice());
    QVERIFY(SerialControl::instance()->isOpen());
    QCOMPARE(model.count(), 1);
    QVERIFY(!model.at(0).at(0).toString().isEmpty());
    QVERIFY(channelStopped(1));
    QVERIFY(channelStopped(2));

    // Channel 1 at a standard rate.
    selectRate(child<QComboBox>("baud_1"), QStringLiteral("500kbps"));
    QVERIFY(m_calculator->isHidden());
    child<QPushButton>("channel_control_1")->click();
    QVERIFY(channelStarted(1));
    QVERIFY(channelStopped(2));
    QCOMPARE(channels.count(), 1);
    QCOMPARE(channels.at(0).at(0).toBool(), true);
    QCOMPARE(channels.at(0).at(1).toString(), QStringLiteral("通道1"));

    // Channel 2 at a user bit rate from the calculator.
    selectRate(child<QComboBox>("baud_2"), QStringLiteral("自定义"));
    QVERIFY(m_calculator->isVisible());
    m_calculator->findChild<QSpinBox *>(QStringLiteral("userbaud"))->setValue(40);
    m_calculator->findChild<QPushButton *>(QStringLiteral("calculate"))->click();
    m_calculator->findChild<QPushButton *>(QStringLiteral("confirm"))->click();
    QVERIFY(m_calculator->isHidden());
    QCOMPARE(child<QComboBox>("baud_2")->currentText(), QStringLiteral("UserBaud-40kbps"));
    child<QPushButton>("channel_control_2")->click();
    QVERIFY(channelStarted(1));
    QVERIFY(channelStarted(2));
    QCOMPARE(channels.count(), 2);
    QCOMPARE(channels.at(1).at(1).toString(), QStringLiteral("通道2"));
    QCOMPARE(readSetting(QStringLiteral("CBAUDNAME2"), QString()).toString(),
             QStringLiteral("UserBaud-40kbps"));
    QCOMPARE(readSetting(QStringLiteral("CBAUDRATE2"), 0).toInt(), UserBaud40Code);

    // Stop channel 1 only.
    child<QPushButton>("channelClose1")->click();
    QVERIFY(channelStopped(1));
    QVERIFY(channelStarted(2));
    QCOMPARE(channels.count(), 3);
    QCOMPARE(channels.at(2).at(0).toBool(), false);
    QCOMPARE(channels.at(2).at(1).toString(), QStringLiteral("通道1"));

    const QStringList log = takeLog();
    QCOMPARE(countLines(log, QStringLiteral("req_BaudConfig_states_Sucess")), 2);
    QCOMPARE(countLines(log, QStringLiteral("req_channelClose_Sucess")), 1);
    QCOMPARE(countLines(log, QStringLiteral("[SerialSocket:BytesSend]F0 02 01 08 00 0C 03 0D 0A")),
             1);
    QCOMPARE(countLines(log, QStringLiteral("[SerialSocket:BytesSend]F0 02 02 5A 00 0D 04 0D 0A")),
             1);
    QCOMPARE(countLines(log, QStringLiteral("[SerialSocket:BytesSend]F0 02 01 00 00 00 00 0D 0A")),
             1);

    // Close: both channels shown stopped, port closed, listeners told.
    channels.clear();
    model.clear();
    closeDevice();
    QVERIFY(panelClosed());
    QVERIFY(channelStopped(1));
    QVERIFY(channelStopped(2));
    QVERIFY(!SerialControl::instance()->isOpen());
    QCOMPARE(channels.count(), 2);
    QCOMPARE(channels.at(0), (QList<QVariant> { false, QStringLiteral("通道1") }));
    QCOMPARE(channels.at(1), (QList<QVariant> { false, QStringLiteral("通道2") }));
    QCOMPARE(model.count(), 1);
    QCOMPARE(model.at(0).at(0).toString(), QString());
    // The adapter answered the first close request.
    QCOMPARE(countLines(takeLog(), QStringLiteral("[SerialSocket:BytesSend]F0 0F 0D 0A")), 1);
}

void tst_DeviceManagement::settingsWrittenOnStart_data()
{
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<int>("code");
    QTest::newRow("accepted, channel 1") << false << 1 << QStringLiteral("250kbps") << 0x020B0012;
    QTest::newRow("accepted, channel 2") << false << 2 << QStringLiteral("5kbps") << 0x020F02D0;
    QTest::newRow("refused, channel 1") << true << 1 << QStringLiteral("125kbps") << 0x020B0024;
    QTest::newRow("refused, channel 2") << true << 2 << QStringLiteral("800kbps") << 0x030C0005;
}

void tst_DeviceManagement::settingsWrittenOnStart()
{
    QFETCH(bool, refuse);
    QFETCH(int, channel);
    QFETCH(QString, rate);
    QFETCH(int, code);
    const QString suffix = QString::number(channel);
    writeSetting(QLatin1String("CBAUDNAME") + suffix, QStringLiteral("stale"));
    writeSetting(QLatin1String("CBAUDRATE") + suffix, 1);

    QVERIFY(openDevice());
    setFault(VirtualAdapter::Fault::Refuse, refuse);
    selectRate(child<QComboBox>(channel == 1 ? "baud_1" : "baud_2"), rate);
    QSignalSpy channels(m_panel, &DeviceManagement::signals_channelStateChanged);
    child<QPushButton>(channel == 1 ? "channel_control_1" : "channel_control_2")->click();

    QCOMPARE(readSetting(QLatin1String("CBAUDNAME") + suffix, QString()).toString(), rate);
    QCOMPARE(readSetting(QLatin1String("CBAUDRATE") + suffix, 0).toInt(), code);
    if (refuse) {
        QVERIFY(channelStopped(channel));
        QCOMPARE(channels.count(), 0);
        QCOMPARE(countLines(takeLog(), QStringLiteral("req_BaudConfig_states_time_out")), 1);
    } else {
        QVERIFY(channelStarted(channel));
        QCOMPARE(channels.count(), 1);
    }
    setFault(VirtualAdapter::Fault::Refuse, false);
    closeDevice();
    QVERIFY(panelClosed());
}

void tst_DeviceManagement::customEntryOpensCalculatorAndSendsNothing()
{
    QVERIFY(openDevice());
    auto *baud1 = child<QComboBox>("baud_1");
    selectRate(baud1, QStringLiteral("自定义"));
    QVERIFY(m_calculator->isVisible());
    m_calculator->findChild<QPushButton *>(QStringLiteral("cancle"))->click();
    QVERIFY(m_calculator->isHidden());
    QCOMPARE(baud1->currentText(), QStringLiteral("自定义"));

    writeSetting(QStringLiteral("CBAUDNAME1"), QStringLiteral("untouched"));
    takeLog();
    child<QPushButton>("channel_control_1")->click();
    QTest::qWait(SettleMs);
    QVERIFY(m_calculator->isVisible());
    QVERIFY(channelStopped(1));
    const QStringList log = takeLog();
    QCOMPARE(countLines(log, QStringLiteral("[SerialSocket:BytesSend]F0 02")), 0);
    QCOMPARE(readSetting(QStringLiteral("CBAUDNAME1"), QString()).toString(),
             QStringLiteral("untouched"));
    m_calculator->hide();
    closeDevice();
}

void tst_DeviceManagement::secondUserBaudReplacesFirst()
{
    auto *baud1 = child<QComboBox>("baud_1");
    auto *spin = m_calculator->findChild<QSpinBox *>(QStringLiteral("userbaud"));
    auto *calculate = m_calculator->findChild<QPushButton *>(QStringLiteral("calculate"));
    auto *confirm = m_calculator->findChild<QPushButton *>(QStringLiteral("confirm"));

    for (int rate : { 40, 100, 250 }) {
        selectRate(baud1, QStringLiteral("1000kbps"));
        selectRate(baud1, QStringLiteral("自定义"));
        QVERIFY(m_calculator->isVisible());
        spin->setValue(rate);
        calculate->click();
        confirm->click();
        QVERIFY(m_calculator->isHidden());
        QCOMPARE(baud1->count(), 12);
        QCOMPARE(baud1->currentIndex(), 11);
        QCOMPARE(baud1->currentText(),
                 QLatin1String("UserBaud-") + QString::number(rate) + QLatin1String("kbps"));
        QCOMPARE(baud1->currentData().toInt(),
                 int(CANbaudRateCalculator::candidatesFor(rate).first().regsCode()));
    }
    // The other box is not touched.
    QCOMPARE(child<QComboBox>("baud_2")->count(), 12); // its user entry from openStartStopClose
}

void tst_DeviceManagement::openFailures_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("channelCount");
    QTest::newRow("silent adapter") << true << 2;
    QTest::newRow("one channel") << false << 1;
    QTest::newRow("four channels") << false << 4;
}

void tst_DeviceManagement::openFailures()
{
    QFETCH(bool, silent);
    QFETCH(int, channelCount);
    setFault(VirtualAdapter::Fault::Silent, silent);
    m_adapter->setChannelCount(channelCount);
    QTest::qWait(AdapterSettleMs);
    QSignalSpy model(m_panel, &DeviceManagement::signals_deviceModelCommand);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(!openDevice());
    const qint64 elapsed = timer.elapsed();
    // Twenty waits of more than 10 ms each; the upper bound only guards against a hang.
    QVERIFY2(elapsed >= 200, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));

    QVERIFY(panelClosed());
    QVERIFY(!SerialControl::instance()->isOpen());
    QCOMPARE(model.count(), 0);
}

// An adapter left streaming by a program that ended without stopping it, at 20,000 records/s:
// the first press of open finds the answer among the records.
void tst_DeviceManagement::openWhileAdapterStreams()
{
    m_adapter->setBusLimit(false);
    m_adapter->setFrameRate(10000);
    setFault(VirtualAdapter::Fault::StreamBeforeOpen, true);
    const auto restore = qScopeGuard([this] {
        m_adapter->setFrameRate(0);
        m_adapter->setBusLimit(true);
        setFault(VirtualAdapter::Fault::StreamBeforeOpen, false);
    });
    QTRY_VERIFY_WITH_TIMEOUT(m_adapter->statistics().framesGenerated[1] >= 5000, LongWaitMs);

    QVERIFY(openDevice());
    closeDevice();
    QVERIFY(panelClosed());
}

void tst_DeviceManagement::unansweredCloseClosesLocally()
{
    QVERIFY(openDevice());
    selectRate(child<QComboBox>("baud_2"), QStringLiteral("20kbps"));
    child<QPushButton>("channel_control_2")->click();
    QVERIFY(channelStarted(2));
    setFault(VirtualAdapter::Fault::Silent, true);
    takeLog();
    QSignalSpy channels(m_panel, &DeviceManagement::signals_channelStateChanged);
    QSignalSpy model(m_panel, &DeviceManagement::signals_deviceModelCommand);

    QElapsedTimer timer;
    timer.start();
    closeDevice();
    QVERIFY(timer.elapsed() >= 150);
    QVERIFY(panelClosed());
    QVERIFY(channelStopped(2));
    QVERIFY(!SerialControl::instance()->isOpen());
    QCOMPARE(countLines(takeLog(), QStringLiteral("[SerialSocket:BytesSend]F0 0F 0D 0A")), 3);
    QCOMPARE(channels.count(), 2);
    QCOMPARE(model.count(), 1);
}

void tst_DeviceManagement::secondClickDuringWaitIsIgnored_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("sent");
    QTest::newRow("open twice") << QStringLiteral("device_open") << QStringLiteral("device_open")
                                << QStringLiteral("F0 01 0D 0A") << 1;
    QTest::newRow("start 1, then 2")
        << QStringLiteral("channel_control_1") << QStringLiteral("channel_control_2")
        << QStringLiteral("F0 02") << 1;
    QTest::newRow("stop 1, then 2")
        << QStringLiteral("channelClose1") << QStringLiteral("channelClose1_2")
        << QStringLiteral("F0 02") << 1;
    QTest::newRow("close twice") << QStringLiteral("device_close") << QStringLiteral("device_close")
                                 << QStringLiteral("F0 0F 0D 0A") << 3;
}

// The waits process events, so a click can arrive while a request is still pending; the same
// operation must not start again inside its own wait.
void tst_DeviceManagement::secondClickDuringWaitIsIgnored()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, command);
    QFETCH(int, sent);
    const bool opening = first == QLatin1String("device_open");
    if (!opening) {
        QVERIFY(openDevice());
        selectRate(child<QComboBox>("baud_1"), QStringLiteral("250kbps"));
        selectRate(child<QComboBox>("baud_2"), QStringLiteral("250kbps"));
        if (first.startsWith(QLatin1String("channelClose"))) {
            child<QPushButton>("channel_control_1")->click();
            child<QPushButton>("channel_control_2")->click();
            QVERIFY(channelStarted(1) && channelStarted(2));
        }
    } else {
        child<QComboBox>("chose_port")
            ->setCurrentIndex(child<QComboBox>("chose_port")->findText(m_adapterPath));
    }
    writeSetting(QStringLiteral("CBAUDNAME2"), QStringLiteral("before"));
    setFault(VirtualAdapter::Fault::Silent, true);
    takeLog();

    QPushButton *again = m_panel->findChild<QPushButton *>(second);
    QVERIFY(again);
    QTimer::singleShot(40, again, &QPushButton::click);
    child<QPushButton>(qPrintable(first))->click();
    QTest::qWait(SettleMs);

    QCOMPARE(countLines(takeLog(), QLatin1String("[SerialSocket:BytesSend]") + command), sent);
    if (second == QLatin1String("channel_control_2")) {
        // Remembered even though its request was never sent.
        QCOMPARE(readSetting(QStringLiteral("CBAUDNAME2"), QString()).toString(),
                 QStringLiteral("250kbps"));
        QVERIFY(channelStopped(2));
    }
    setFault(VirtualAdapter::Fault::Silent, false);
    if (!panelClosed())
        closeDevice();
    QVERIFY(panelClosed());
}

void tst_DeviceManagement::unansweredChannelStopKeepsChannelStarted()
{
    QVERIFY(openDevice());
    selectRate(child<QComboBox>("baud_1"), QStringLiteral("50kbps"));
    child<QPushButton>("channel_control_1")->click();
    QVERIFY(channelStarted(1));
    setFault(VirtualAdapter::Fault::Silent, true);
    takeLog();
    child<QPushButton>("channelClose1")->click();
    QVERIFY(channelStarted(1));
    QCOMPARE(countLines(takeLog(), QStringLiteral("req_BaudConfig_states_time_out")), 1);
    setFault(VirtualAdapter::Fault::Silent, false);
    // A later stop goes through.
    child<QPushButton>("channelClose1")->click();
    QVERIFY(channelStopped(1));
    closeDevice();
}

void tst_DeviceManagement::lateResponsesChangeNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("open answered late") << QStringLiteral("open");
    QTest::newRow("start answered late") << QStringLiteral("start");
    QTest::newRow("stop answered late") << QStringLiteral("stop");
    QTest::newRow("close answered late") << QStringLiteral("close");
    QTest::newRow("answer for channel 3") << QStringLiteral("channel3");
}

// A response whose wait already timed out finds its flag cleared; the codec's signals are
// raised directly here, as the serial thread would deliver them after the time-out.
void tst_DeviceManagement::lateResponsesChangeNothing()
{
    QFETCH(QString, kind);
    contextProtocol *codec = contextProtocol::instance();
    QSignalSpy model(m_panel, &DeviceManagement::signals_deviceModelCommand);
    QSignalSpy channels(m_panel, &DeviceManagement::signals_channelStateChanged);

    if (kind == QLatin1String("open")) {
        setFault(VirtualAdapter::Fault::Silent, true);
        QVERIFY(!openDevice());
        emit codec->signal_RSP_DeviceOpen(1, 2, QStringLiteral("RCAN-U01"));
        QVERIFY(panelClosed());
        QCOMPARE(model.count(), 0);
        return;
    }

    QVERIFY(openDevice());
    model.clear();
    if (kind == QLatin1String("start")) {
        selectRate(child<QComboBox>("baud_1"), QStringLiteral("10kbps"));
        setFault(VirtualAdapter::Fault::Silent, true);
        child<QPushButton>("channel_control_1")->click();
        emit codec->signal_RSP_BaudRateConfig(1, true);
        QVERIFY(channelStopped(1));
    } else if (kind == QLatin1String("stop")) {
        selectRate(child<QComboBox>("baud_1"), QStringLiteral("10kbps"));
        child<QPushButton>("channel_control_1")->click();
        QVERIFY(channelStarted(1));
        channels.clear();
        setFault(VirtualAdapter::Fault::Silent, true);
        child<QPushButton>("channelClose1")->click();
        emit codec->signal_RSP_BaudRateConfig(1, false);
        QVERIFY(channelStarted(1));
    } else if (kind == QLatin1String("close")) {
        setFault(VirtualAdapter::Fault::Silent, true);
        closeDevice();
        QVERIFY(panelClosed());
        channels.clear();
        model.clear();
        emit codec->signal_RSP_DeviceClose();
        QVERIFY(panelClosed());
        QCOMPARE(model.count(), 0);
        QCOMPARE(channels.count(), 0);
        return;
    } else {
        emit codec->signal_RSP_BaudRateConfig(3, true);
        emit codec->signal_RSP_BaudRateConfig(3, false);
        QVERIFY(channelStopped(1));
        QVERIFY(channelStopped(2));
    }
    QVERIFY(panelOpen());
    QCOMPARE(channels.count(), 0);
    QCOMPARE(model.count(), 0);
    setFault(VirtualAdapter::Fault::Silent, false);
    closeDevice();
    QVERIFY(panelClosed());
}

void tst_DeviceManagement::refreshedListWithOpenPortChangesNothing()
{
    QVERIFY(openDevice());
    auto *port = child<QComboBox>("chose_port");
    const int countBefore = port->count();
    QList<QString> list { QStringLiteral("/dev/ttyOTHER"), m_adapterPath };
    emit SerialControl::instance()->Signal_Host_SerialRefresh(&list);
    QVERIFY(panelOpen());
    QCOMPARE(port->count(), countBefore);
    QCOMPARE(port->currentText(), m_adapterPath);
    closeDevice();
}

void tst_DeviceManagement::refreshWhileClosedRefillsPortBox()
{
    auto *port = child<QComboBox>("chose_port");
    QList<QString> list { QStringLiteral("/dev/ttyA"), QStringLiteral("/dev/ttyB") };
    emit SerialControl::instance()->Signal_Host_SerialRefresh(&list);
    QCOMPARE(port->count(), 2);
    QCOMPARE(port->itemText(0), list.at(0));
    QCOMPARE(port->itemText(1), list.at(1));
    // The serial link's own list puts the virtual adapter back.
    SerialControl::instance()->refreshPortList();
    QVERIFY(port->findText(m_adapterPath) >= 0);
}

void tst_DeviceManagement::portBoxListsAdaptersAndExtraPorts()
{
    SerialControl *serial = SerialControl::instance();
    serial->setPortSource([] {
        return QList<SerialPortEntry> { { QStringLiteral("ttyACM0"), true, 0x5722 },
                                        { QStringLiteral("ttyUSB0"), true, 0x6001 },
                                        { QStringLiteral("ttyACM1"), false, 0x5722 },
                                        { QStringLiteral("ttyACM2"), true, 0x5722 } };
    });
    serial->refreshPortList();
    auto *port = child<QComboBox>("chose_port");
    QStringList shown;
    for (int i = 0; i < port->count(); ++i)
        shown << port->itemText(i);
    QCOMPARE(shown,
             (QStringList { QStringLiteral("ttyACM0"), QStringLiteral("ttyACM2"), m_adapterPath }));
    QCOMPARE(shown, serial->availablePorts());
    serial->setPortSource([] { return QList<SerialPortEntry>(); });
    serial->refreshPortList();
    QCOMPARE(port->count(), 1);
}

void tst_DeviceManagement::retranslateRepeatsChannelStates()
{
    QVERIFY(openDevice());
    selectRate(child<QComboBox>("baud_2"), QStringLiteral("100kbps"));
    child<QPushButton>("channel_control_2")->click();
    QVERIFY(channelStarted(2));
    QSignalSpy channels(m_panel, &DeviceManagement::signals_channelStateChanged);
    QSignalSpy model(m_panel, &DeviceManagement::signals_deviceModelCommand);
    m_panel->retranslate();
    QCOMPARE(channels.count(), 2);
    QCOMPARE(channels.at(0), (QList<QVariant> { false, QStringLiteral("通道1") }));
    QCOMPARE(channels.at(1), (QList<QVariant> { true, QStringLiteral("通道2") }));
    QCOMPARE(model.count(), 1);
    QVERIFY(!model.at(0).at(0).toString().isEmpty());
    // Only texts change: the device stays open with channel 2 running.
    QVERIFY(panelOpen());
    QVERIFY(channelStarted(2));
    closeDevice();
}

void tst_DeviceManagement::unplugReturnsPanelToClosed()
{
    QVERIFY(openDevice());
    selectRate(child<QComboBox>("baud_1"), QStringLiteral("50kbps"));
    child<QPushButton>("channel_control_1")->click();
    QVERIFY(channelStarted(1));
    takeLog();
    QSignalSpy model(m_panel, &DeviceManagement::signals_deviceModelCommand);
    QSignalSpy channels(m_panel, &DeviceManagement::signals_channelStateChanged);
    const QString pulled = m_adapterPath;

    m_adapter->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(panelClosed(), LongWaitMs);
    QVERIFY(channelStopped(1));
    QVERIFY(!SerialControl::instance()->isOpen());
    QCOMPARE(model.count(), 1);
    QCOMPARE(model.at(0).at(0).toString(), QString());
    QCOMPARE(channels.count(), 2);
    QVERIFY(countLines(takeLog(), QLatin1String("Port_ConnectedName:") + pulled) >= 1);
    QCOMPARE(child<QComboBox>("chose_port")->findText(pulled), -1);

    // Plugged in again, it can be opened as before.
    plugAdapter();
    QVERIFY(openDevice());
    closeDevice();
    QVERIFY(panelClosed());
}

void tst_DeviceManagement::statusLineTellsWhatHappened_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("says"); // "@port" stands for the adapter's port
    const QString port = QStringLiteral("@port");
    QTest::newRow("silent on open")
        << QStringLiteral("silent") << QStringList { port, QStringLiteral("没有应答打开命令") };
    QTest::newRow("three channels") << QStringLiteral("three channels")
                                    << QStringList { port, QStringLiteral("报告 3 个通道") };
    QTest::newRow("rate refused") << QStringLiteral("refuse")
                                  << QStringList { QStringLiteral("通道1 拒绝了波特率 500kbps") };
    QTest::newRow("rate not answered")
        << QStringLiteral("silent start")
        << QStringList { QStringLiteral("没有应答通道2 的波特率 125kbps") };
    QTest::newRow("stop not answered")
        << QStringLiteral("silent stop") << QStringList { QStringLiteral("通道1 的关闭命令") };
    QTest::newRow("unplugged") << QStringLiteral("unplug")
                               << QStringList { port, QStringLiteral("拔出") };
    QTest::newRow("no such port") << QStringLiteral("missing port")
                                  << QStringList { QStringLiteral("/dev/rcan-no-such-port"),
                                                   QStringLiteral("：端口不存在（") };
    // The port layer reports a port held by another program as a permission error.
    QTest::newRow("port held elsewhere")
        << QStringLiteral("held")
        << QStringList { port, QStringLiteral("没有权限或已被占用（"),
                         QStringLiteral("70-rcan-tools.rules") };
}

// One status line tells the user what went wrong; the next success clears it.
void tst_DeviceManagement::statusLineTellsWhatHappened()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, says);
    const QString port = m_adapterPath;
    auto *portBox = child<QComboBox>("chose_port");
    QSerialPort holder(port);
    if (fault == QLatin1String("silent")) {
        setFault(VirtualAdapter::Fault::Silent, true);
    } else if (fault == QLatin1String("three channels")) {
        m_adapter->setChannelCount(3);
        QTest::qWait(AdapterSettleMs);
    } else if (fault == QLatin1String("missing port")) {
        portBox->addItem(QStringLiteral("/dev/rcan-no-such-port"));
        portBox->setCurrentIndex(portBox->count() - 1);
        child<QPushButton>("device_open")->click();
    } else if (fault == QLatin1String("held")) {
        QVERIFY(holder.open(QIODevice::ReadWrite));
    }
    if (fault != QLatin1String("missing port"))
        QCOMPARE(openDevice(),
                 fault == QLatin1String("refuse") || fault.startsWith(QLatin1String("silent "))
                     || fault == QLatin1String("unplug"));
    QVERIFY(m_panel->statusText().isEmpty() == panelOpen());

    if (fault == QLatin1String("refuse")) {
        setFault(VirtualAdapter::Fault::Refuse, true);
        selectRate(child<QComboBox>("baud_1"), QStringLiteral("500kbps"));
        child<QPushButton>("channel_control_1")->click();
    } else if (fault == QLatin1String("silent start")) {
        setFault(VirtualAdapter::Fault::Silent, true);
        selectRate(child<QComboBox>("baud_2"), QStringLiteral("125kbps"));
        child<QPushButton>("channel_control_2")->click();
    } else if (fault == QLatin1String("silent stop")) {
        child<QPushButton>("channel_control_1")->click();
        QVERIFY(channelStarted(1));
        setFault(VirtualAdapter::Fault::Silent, true);
        child<QPushButton>("channelClose1")->click();
    } else if (fault == QLatin1String("unplug")) {
        m_adapter->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(panelClosed(), LongWaitMs);
    }

    const QString shown = child<QLabel>("statusLine")->text();
    QCOMPARE(shown, m_panel->statusText());
    for (QString part : says) {
        part.replace(QLatin1String("@port"), port);
        QVERIFY2(shown.contains(part), qPrintable(shown + QLatin1String(" lacks ") + part));
    }

    // Faults off; a successful open or close clears the line.
    holder.close();
    if (fault == QLatin1String("missing port"))
        portBox->removeItem(portBox->count() - 1);
    init();
    if (panelClosed())
        QVERIFY(openDevice());
    else
        closeDevice();
    QVERIFY2(m_panel->statusText().isEmpty(), qPrintable(m_panel->statusText()));
    QVERIFY(child<QLabel>("statusLine")->text().isEmpty());
    if (!panelClosed())
        closeDevice();
}

void tst_DeviceManagement::closeBeforeExitReachesAdapter_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("answering adapter") << false;
    QTest::newRow("silent adapter") << true;
}

void tst_DeviceManagement::closeBeforeExitReachesAdapter()
{
    QFETCH(bool, silent);
    QVERIFY(openDevice());
    child<QPushButton>("channel_control_1")->click();
    child<QPushButton>("channel_control_2")->click();
    QVERIFY(channelStarted(1) && channelStarted(2));
    setFault(VirtualAdapter::Fault::Silent, silent);
    const AdapterStatistics before = m_adapter->statistics();

    QElapsedTimer timer;
    timer.start();
    m_panel->closeBeforeExit(300);
    // Only a guard against a hang; the budget itself is a deadline in the code.
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(panelClosed());
    QVERIFY(!SerialControl::instance()->isOpen());
    QTRY_COMPARE(m_adapter->statistics().channelStops - before.channelStops, quint64(2));
    QTRY_VERIFY(m_adapter->statistics().deviceCloses > before.deviceCloses);
}

void tst_DeviceManagement::englishTranslationIsComplete()
{
    QTranslator english;
    QVERIFY(TranslationCheck::installEnglish(&english));
    m_panel->retranslate();
    // The standard rates keep their construction language; "自定义" follows retranslate.
    const QStringList left = TranslationCheck::untranslatedTexts(m_panel);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
    QCoreApplication::removeTranslator(&english);
    m_panel->retranslate();
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_DeviceManagement)

#include "tst_devicemanagement.moc"
