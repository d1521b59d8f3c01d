// Faults end to end: the whole program (main window, device panel, receive view, real-time log,
// send window) against the virtual adapter on the real serial path while the adapter is pulled,
// falls silent or mangles its byte stream, and while the log folder is read-only or the disk full.
// Every case must end in a state the user can read off the windows, keep every frame that could
// be kept, and leave the program able to carry on.

#include "app/razoradurodmainwindow.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/canview_widget.h"
#include "link/serialcontrol.h"
#include "recording/filesave_widget.h"
#include "recording/filesavesupport.h"
#include "send/generallyframesendwidget.h"
#include "send/tablepanel_widget.h"
#include "simulator/virtualadapter.h"
#include "support/mainwindowdriver.h"
#include "support/soakrun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const int sandbox = [] {
    MainWindowDriver::sandboxSettings();
    return 0;
}();

constexpr int LongWaitMs = 30000;

QString viewText(const char *source)
{
    return QCoreApplication::translate("CANView_Widget", source);
}

QList<QMessageBox *> openBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes.append(box);
    }
    return boxes;
}

// A folder whose files can hold at most `bytes` in total: a small tmpfs where this process may
// mount one, otherwise a file size limit on the process (undone by the destructor).
class LimitedFolder
{
public:
    LimitedFolder(const QString &path, qint64 bytes)
        : m_path(path)
    {
        QDir().mkpath(path);
        const QByteArray options = "size=" + QByteArray::number(bytes);
        if (::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, options.constData())
            == 0) {
            m_mounted = true;
            return;
        }
        // A process past its file size limit gets SIGXFSZ, which would end it; ignored, the
        // write fails like on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = rlim_t(bytes);
        m_limited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~LimitedFolder() { release(); }
    void release()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
        if (m_limited)
            setrlimit(RLIMIT_FSIZE, &m_saved);
        m_mounted = m_limited = false;
    }
    bool isValid() const { return m_mounted || m_limited; }

private:
    QString m_path;
    bool m_mounted = false;
    bool m_limited = false;
    rlimit m_saved {};
};
} // namespace

class tst_Faults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void unplugDuringTraffic();
    void unplugDuringSendRun();
    void silentAdapter();
    void damagedByteStream_data();
    void damagedByteStream();
    void readOnlyLogFolder();
    void fullDisk();

private:
    template<typename T>
    T *child(QObject *parent, const char *name) const
    {
        T *found = parent->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    bool startAdapter(int ratePerChannel);
    bool startRealTimeSave(const QString &path);
    void stopRealTimeSave();
    bool globalSave(const QString &path);
    bool panelClosed() const;
    // Stops the traffic and waits until every frame the adapter sent has been recorded.
    bool settle();
    QPushButton *saveOnTime() const { return child<QPushButton>(m_view, "Button_saveOnTime"); }

    std::unique_ptr<RAZOradurodMainWindow> m_window;
    CANView_Widget *m_view = nullptr;
    DeviceManagement *m_panel = nullptr;
    CAN_DataDisplaySupport *m_display = nullptr;
    std::unique_ptr<VirtualAdapter> m_adapter;
    std::unique_ptr<Soak::FrameTally> m_tally;
    QTemporaryDir m_dir;
};

void tst_Faults::initTestCase()
{
    QVERIFY(m_dir.isValid());
    SerialControl::instance()->setPortSource([] { return QList<SerialPortEntry>(); });
    m_window = std::make_unique<RAZOradurodMainWindow>();
    m_window->show();
    m_view = m_window->receiveView();
    m_panel = DeviceManagement::instance();
    m_display = CAN_DataDisplaySupport::instance();
    m_tally = std::make_unique<Soak::FrameTally>();
}

void tst_Faults::init()
{
    QVERIFY(panelClosed());
    QVERIFY(!m_display->fileSaveSupport()->isRealTimeSaving());
    QMetaObject::invokeMethod(m_display, &CAN_DataDisplaySupport::clearHistory,
                              Qt::QueuedConnection);
    QTRY_COMPARE(m_display->recvCount() + m_display->sendCount(), 0);
    m_tally->reset();
}

void tst_Faults::cleanup()
{
    for (QMessageBox *box : openBoxes())
        box->close();
    if (m_display->fileSaveSupport()->isRealTimeSaving())
        stopRealTimeSave();
    if (child<QPushButton>(m_panel, "device_close")->isEnabled())
        child<QPushButton>(m_panel, "device_close")->click();
    if (m_adapter)
        SerialControl::instance()->removeExtraPort(m_adapter->slavePath());
    m_adapter.reset();
    SerialControl::instance()->refreshPortList();
}

void tst_Faults::cleanupTestCase()
{
    m_tally.reset();
    m_window.reset();
}

bool tst_Faults::startAdapter(int ratePerChannel)
{
    m_adapter = std::make_unique<VirtualAdapter>();
    m_adapter->setSequenceNumbers(true);
    m_adapter->setLoopback(false);
    m_adapter->setBusLimit(false);
    if (!m_adapter->start())
        return false;
    QString error;
    if (!Soak::openAndStart(m_adapter.get(), &error)) {
        qWarning().noquote() << error;
        return false;
    }
    m_adapter->setFrameRate(ratePerChannel);
    return true;
}

bool tst_Faults::startRealTimeSave(const QString &path)
{
    m_view->setFileNameProvider([path] { return path; });
    saveOnTime()->click();
    return m_display->fileSaveSupport()->isRealTimeSaving();
}

void tst_Faults::stopRealTimeSave()
{
    saveOnTime()->click();
}

bool tst_Faults::globalSave(const QString &path)
{
    FileSaveSupport *writer = m_display->fileSaveSupport();
    QSignalSpy shown(writer, &FileSaveSupport::signal_processSet);
    QSignalSpy failed(writer, &FileSaveSupport::signal_globalSaveFailed);
    m_view->setFileNameProvider([path] { return path; });
    child<QPushButton>(m_view, "button_save")->click();
    // Either the save runs to 100 or it fails; the progress window is gone either way.
    return QTest::qWaitFor(
               [&] {
                   return !failed.isEmpty()
                       || (!shown.isEmpty() && shown.last().first().toInt() == 100);
               },
               LongWaitMs)
        && !writer->progressWindow()->isVisible();
}

bool tst_Faults::panelClosed() const
{
    return child<QPushButton>(m_panel, "device_open")->isEnabled()
        && !child<QPushButton>(m_panel, "device_close")->isEnabled()
        && !SerialControl::instance()->isOpen();
}

bool tst_Faults::settle()
{
    m_adapter->setFrameRate(0);
    return QTest::qWaitFor(
        [&] {
            // Counts published before the rate change took effect may still grow.
            if (!m_adapter->settingsInEffect())
                return false;
            const AdapterStatistics stats = m_adapter->statistics();
            const quint64 sent
                = stats.framesGenerated[0] + stats.framesGenerated[1] - stats.framesOverrun;
            return m_tally->recordedRx() == sent;
        },
        LongWaitMs);
}

void tst_Faults::unplugDuringTraffic()
{
    const QString log = m_dir.filePath(QStringLiteral("unplug-traffic.txt"));
    QVERIFY(startRealTimeSave(log));
    QVERIFY(startAdapter(3000));
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() >= 6000, LongWaitMs);
    const QString pulled = m_adapter->slavePath();

    m_adapter->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(panelClosed(), LongWaitMs);
    QCOMPARE(child<QLabel>(m_view, "label_modelstring")->text(), QString());
    QCOMPARE(child<QComboBox>(m_panel, "chose_port")->findText(pulled), -1);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(child<QComboBox>(m_window->sendPage()->panel(i), "devicec_hannel")->count(), 0);
    }
    // The log keeps running until the user stops it, and holds every frame that arrived.
    QVERIFY(m_display->fileSaveSupport()->isRealTimeSaving());
    QCOMPARE(saveOnTime()->text(), viewText("停止实时保存"));
    QTest::qWait(300);
    stopRealTimeSave();
    QCOMPARE(saveOnTime()->text(), viewText("实时保存"));

    // Frames the adapter had to drop for a slow host (a loaded machine) leave gaps in the count.
    const bool noOverrun = m_adapter->statistics().framesOverrun == 0;
    const Soak::LogCheck check = Soak::checkRealTimeLog(log, noOverrun, false);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
    QCOMPARE(check.lines[0], m_tally->recorded(1));
    QCOMPARE(check.lines[1], m_tally->recorded(2));
    QCOMPARE(m_tally->recordedRx(), m_tally->decodedTotal());
    QTRY_COMPARE(quint64(m_display->recvCount()), m_tally->recordedRx());

    // Plugged in again, the adapter opens and streams as before.
    QVERIFY(m_adapter->start());
    QString error;
    QVERIFY2(Soak::openAndStart(m_adapter.get(), &error), qPrintable(error));
    m_adapter->setFrameRate(500);
    const quint64 before = m_tally->recordedRx();
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() > before + 100, LongWaitMs);
}

void tst_Faults::unplugDuringSendRun()
{
    const QString log = m_dir.filePath(QStringLiteral("unplug-send.txt"));
    QVERIFY(startRealTimeSave(log));
    QVERIFY(startAdapter(200));

    tablePanel_Widget *panel = m_window->sendPage()->panel(0);
    QList<int> ends;
    connect(panel->scheduler(), &Trans_canSendSupport::signal_Trans_End, this,
            [&ends](int status) { ends.append(status); });
    auto *channels = child<QComboBox>(panel, "devicec_hannel");
    QCOMPARE(channels->count(), 2);
    channels->setCurrentIndex(0);
    auto *id = child<QLineEdit>(panel, "canID");
    id->clear();
    QTest::keyClicks(id, QStringLiteral("123"));
    child<QComboBox>(panel, "canDataLength")->setCurrentIndex(2);
    auto *data = child<QLineEdit>(panel, "canData");
    data->clear();
    QTest::keyClicks(data, QStringLiteral("ABCD"));
    child<QSpinBox>(panel, "sendTimes")->setValue(child<QSpinBox>(panel, "sendTimes")->maximum());
    child<QSpinBox>(panel, "sendInterval")->setValue(1);
    auto *send = child<QPushButton>(panel, "Button_send");
    const QString idleText = send->text();
    send->click();
    QVERIFY(send->text() != idleText);
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedTx() >= 50, LongWaitMs);

    m_adapter->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(panelClosed(), LongWaitMs);
    // The port is gone: the run ends at once, the button is back, the user is told why.
    QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, LongWaitMs);
    QCOMPARE(ends.first(), int(TransEnd_DeviceGone));
    QCOMPARE(send->text(), idleText);
    QTRY_COMPARE(openBoxes().size(), 1);
    QCOMPARE(openBoxes().first()->text(), tablePanel_Widget::tr("设备已断开，发送已停止"));
    QCOMPARE(channels->count(), 0);

    QTest::qWait(300);
    stopRealTimeSave();
    const bool noOverrun = m_adapter->statistics().framesOverrun == 0;
    const Soak::LogCheck check = Soak::checkRealTimeLog(log, noOverrun, false);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
    QCOMPARE(check.txLines, m_tally->recordedTx());
    QCOMPARE(check.lines[0] + check.lines[1], m_tally->recordedRx());
    QTRY_COMPARE(quint64(m_display->sendCount()), m_tally->recordedTx());
}

void tst_Faults::silentAdapter()
{
    const QString log = m_dir.filePath(QStringLiteral("silent.txt"));
    QVERIFY(startRealTimeSave(log));
    m_adapter = std::make_unique<VirtualAdapter>();
    m_adapter->setSequenceNumbers(true);
    m_adapter->setLoopback(false);
    m_adapter->setFault(VirtualAdapter::Fault::Silent, true);
    QVERIFY(m_adapter->start());

    // Silent from the start: the open times out and the port is let go.
    QString error;
    QVERIFY(!Soak::openAndStart(m_adapter.get(), &error));
    QVERIFY(panelClosed());
    QCOMPARE(child<QLabel>(m_view, "label_modelstring")->text(), QString());

    // Silent once running: its bus traffic still comes in, but requests go unanswered. A channel
    // stop the adapter never confirms leaves the channel shown as running; a close the adapter
    // never answers still closes.
    m_adapter->setFault(VirtualAdapter::Fault::Silent, false);
    QTest::qWait(50);
    QVERIFY2(Soak::openAndStart(m_adapter.get(), &error), qPrintable(error));
    m_adapter->setFrameRate(1000);
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() >= 500, LongWaitMs);
    m_adapter->setFault(VirtualAdapter::Fault::Silent, true);
    QTest::qWait(50);
    const quint64 silentFrom = m_tally->recordedRx();
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() >= silentFrom + 500, LongWaitMs);
    child<QPushButton>(m_panel, "channelClose1_2")->click();
    QVERIFY(child<QPushButton>(m_panel, "channelClose1_2")->isEnabled());
    child<QPushButton>(m_panel, "device_close")->click();
    QTRY_VERIFY_WITH_TIMEOUT(panelClosed(), LongWaitMs);
    QCOMPARE(child<QLabel>(m_view, "label_modelstring")->text(), QString());
    QCOMPARE(child<QComboBox>(m_window->sendPage()->panel(0), "devicec_hannel")->count(), 0);

    QTest::qWait(300);
    stopRealTimeSave();
    const bool noOverrun = m_adapter->statistics().framesOverrun == 0;
    const Soak::LogCheck check = Soak::checkRealTimeLog(log, noOverrun, false);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
    QCOMPARE(check.lines[0], m_tally->recorded(1));
    QCOMPARE(check.lines[1], m_tally->recorded(2));
}

void tst_Faults::damagedByteStream_data()
{
    QTest::addColumn<bool>("strayBytes");
    QTest::newRow("stray bytes after 1 in 10000 records") << true;
    QTest::newRow("one byte lost from 1 in 10000 records") << false;
}

void tst_Faults::damagedByteStream()
{
    QFETCH(bool, strayBytes);
    constexpr int Every = 10000;
    const QString log = m_dir.filePath(QStringLiteral("damaged.txt"));
    QVERIFY(startRealTimeSave(log));
    const qint64 discardedBefore = SerialControl::instance()->discardedBytes();
    m_adapter = std::make_unique<VirtualAdapter>();
    m_adapter->setSequenceNumbers(true);
    m_adapter->setLoopback(false);
    m_adapter->setBusLimit(false);
    if (strayBytes)
        m_adapter->setGarbageEvery(Every);
    else
        m_adapter->setDropEvery(Every);
    QVERIFY(m_adapter->start());
    QString error;
    QVERIFY2(Soak::openAndStart(m_adapter.get(), &error), qPrintable(error));
    m_adapter->setFrameRate(10000);
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() >= 8 * Every, LongWaitMs);
    m_adapter->setFrameRate(0);
    QTest::qWait(500);
    QVERIFY(!panelClosed());
    stopRealTimeSave();

    const AdapterStatistics stats = m_adapter->statistics();
    const quint64 damaged = stats.recordsOut / Every;
    QVERIFY(damaged >= 8);
    QVERIFY(SerialControl::instance()->discardedBytes() > discardedBefore);
    // Frames come in order and none twice; a damaged record costs at most itself.
    const Soak::LogCheck check = Soak::checkRealTimeLog(log, false, false);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
    QCOMPARE(check.lines[0], m_tally->recorded(1));
    QCOMPARE(check.lines[1], m_tally->recorded(2));
    const quint64 sent = stats.framesGenerated[0] + stats.framesGenerated[1] - stats.framesOverrun;
    const quint64 logged = check.lines[0] + check.lines[1];
    QVERIFY(logged <= sent);
    QVERIFY2(sent - logged <= damaged,
             qPrintable(QStringLiteral("%1 of %2 frames lost, %3 records damaged")
                            .arg(sent - logged)
                            .arg(sent)
                            .arg(damaged)));
}

void tst_Faults::readOnlyLogFolder()
{
    const QString folder = m_dir.filePath(QStringLiteral("read-only"));
    QVERIFY(QDir().mkpath(folder));
    bool mounted = false;
    if (geteuid() == 0) {
        // Permissions do not stop root; a read-only mount does.
        mounted
            = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_RDONLY, nullptr)
            == 0;
        if (!mounted)
            QSKIP("running as root without the right to mount: no read-only folder to be had");
    } else {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    const auto restore = qScopeGuard([&] {
        if (mounted)
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    QVERIFY(startAdapter(1000));
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() >= 500, LongWaitMs);

    // Real-time saving there does not start, and the button says so.
    const QString log = QDir(folder).filePath(QStringLiteral("log.txt"));
    QVERIFY(!startRealTimeSave(log));
    QCOMPARE(saveOnTime()->text(), viewText("实时保存"));
    QVERIFY(!QFile::exists(log));
    QTRY_COMPARE(openBoxes().size(), 1);

    // A global save there is abandoned; the same save elsewhere holds the whole buffer.
    QVERIFY(globalSave(QDir(folder).filePath(QStringLiteral("global.txt"))));
    QVERIFY(!QFile::exists(QDir(folder).filePath(QStringLiteral("global.txt"))));
    QTRY_COMPARE(openBoxes().size(), 2);
    QVERIFY(settle());
    const QString elsewhere = m_dir.filePath(QStringLiteral("global-elsewhere.txt"));
    QVERIFY(globalSave(elsewhere));
    QFile saved(elsewhere);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    QCOMPARE(quint64(lines.size() - FileSaveSupport::HeaderLines - 1), m_tally->recordedRx());
    QVERIFY(!panelClosed());
}

void tst_Faults::fullDisk()
{
    constexpr qint64 Capacity = 256 * 1024;
    const QString folder = m_dir.filePath(QStringLiteral("full"));
    LimitedFolder limited(folder, Capacity);
    QVERIFY(limited.isValid());

    const QString log = QDir(folder).filePath(QStringLiteral("log.txt"));
    QVERIFY(startRealTimeSave(log));
    QVERIFY(startAdapter(3000));
    // Far more than fits: about 55 bytes a line.
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() >= 3 * Capacity / 55, LongWaitMs);

    // The log stopped at the failed write and the button says so; the user is told once, with the
    // file and the system's reason. The program carries on: the table counts on.
    QTRY_VERIFY_WITH_TIMEOUT(!m_display->fileSaveSupport()->isRealTimeSaving(), LongWaitMs);
    QCOMPARE(saveOnTime()->text(), viewText("实时保存"));
    QTRY_COMPARE(openBoxes().size(), 1);
    const QString told = openBoxes().first()->text();
    QVERIFY2(told.contains(log)
                 && (told.contains(QLatin1String("No space left on device"))
                     || told.contains(QLatin1String("File too large"))),
             qPrintable(told));
    const int shown = m_display->recvCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_display->recvCount() > shown, LongWaitMs);
    QVERIFY(!panelClosed());

    // A global save that cannot be written whole says so and leaves no file that looks saved.
    QVERIFY(globalSave(QDir(folder).filePath(QStringLiteral("global.txt"))));
    QTRY_COMPARE(openBoxes().size(), 2);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList { QStringLiteral("log.txt") });

    // The log holds an unbroken run of frames from the first, filling the space: only the last
    // line may be cut.
    const qint64 size = QFileInfo(log).size();
    const bool noOverrun = m_adapter->statistics().framesOverrun == 0;
    const Soak::LogCheck check = Soak::checkRealTimeLog(log, noOverrun, true);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
    QVERIFY2(size >= Capacity - 8192 && size <= Capacity, qPrintable(QString::number(size)));
    QVERIFY(check.lines[0] > 0 && check.lines[1] > 0);
    limited.release();

    // With room again, saving works as before.
    const QString next = m_dir.filePath(QStringLiteral("after-full.txt"));
    QVERIFY(startRealTimeSave(next));
    // Frames already waiting for the display thread at the click come before the log's start and
    // are not in it, so the count runs well past what the log must hold.
    const quint64 before = m_tally->recordedRx();
    QTRY_VERIFY_WITH_TIMEOUT(m_tally->recordedRx() > before + 2000, LongWaitMs);
    QVERIFY(settle());
    stopRealTimeSave();
    const Soak::LogCheck again = Soak::checkRealTimeLog(next, false, false);
    QVERIFY2(again.failures.isEmpty(), qPrintable(again.failures.join(QLatin1Char('\n'))));
    QVERIFY(again.lines[0] + again.lines[1] >= 1000);
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
