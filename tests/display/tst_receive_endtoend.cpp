#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/logloader.h"
#include "link/serialcontrol.h"
#include "recording/filesavesupport.h"
#include "simulator/virtualadapter.h"
#include "support/privatesettingsmain.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {
QList<QByteArray> frameLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.mid(FileSaveSupport::HeaderLines);
}

// The eight data bytes of a sequence-numbered frame as the little-endian count they carry.
quint64 sequenceOf(const QString &data)
{
    const QStringList bytes = data.split(QLatin1Char(' '));
    quint64 value = 0;
    for (int i = bytes.size() - 1; i >= 0; --i)
        value = (value << 8) | bytes.at(i).toULongLong(nullptr, 16);
    return value;
}
} // namespace

class tst_ReceiveEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void framesFromTheVirtualAdapter();
};

void tst_ReceiveEndToEnd::framesFromTheVirtualAdapter()
{
    QTemporaryDir dir;
    const QString realTimePath = dir.filePath(QStringLiteral("realtime.txt"));
    const QString globalPath = dir.filePath(QStringLiteral("global.txt"));

    VirtualAdapter adapter;
    adapter.setSequenceNumbers(true);
    adapter.setLinkRateLimit(true);
    QVERIFY(adapter.start());
    SerialControl *serial = SerialControl::instance();
    serial->addExtraPort(adapter.slavePath());
    serial->refreshPortList();

    CANView_Widget view;
    view.resize(1000, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const auto label = [&view](const char *name) {
        return view.findChild<QLabel *>(QLatin1String(name))->text();
    };

    // Real-time saving runs from before the first frame.
    view.setFileNameProvider([&realTimePath] { return realTimePath; });
    view.findChild<QPushButton *>(QStringLiteral("Button_saveOnTime"))->click();
    QVERIFY(CAN_DataDisplaySupport::instance()->fileSaveSupport()->isRealTimeSaving());

    DeviceManagement *panel = DeviceManagement::instance();
    auto *port = panel->findChild<QComboBox *>(QStringLiteral("chose_port"));
    port->setCurrentIndex(port->findText(adapter.slavePath()));
    panel->findChild<QPushButton *>(QStringLiteral("device_open"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(label("label_modelstring"), QStringLiteral("RCAN-U01"), 10000);
    panel->findChild<QPushButton *>(QStringLiteral("channel_control_1"))->click();
    panel->findChild<QPushButton *>(QStringLiteral("channel_control_2"))->click();

    adapter.setFrameRate(1, 300);
    adapter.setFrameRate(2, 200);
    QTRY_VERIFY_WITH_TIMEOUT(label("label_recvCount").toInt() >= 1000, 30000);
    adapter.setFrameRate(0);

    // Wait for the stream to settle: the counter stops moving.
    QString before;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QString now = label("label_recvCount");
            const bool same = now == before;
            before = now;
            QTest::qWait(400);
            return same && now == label("label_recvCount");
        }(),
        30000);

    const AdapterStatistics stats = adapter.statistics();
    QCOMPARE(stats.framesOverrun, quint64(0));
    QVERIFY(stats.framesGenerated[0] > 0 && stats.framesGenerated[1] > 0);
    const quint64 generated = stats.framesGenerated[0] + stats.framesGenerated[1];
    QCOMPARE(label("label_recvCount").toULongLong(), generated);
    QCOMPARE(label("label_sendCount"), QStringLiteral("0"));

    // The table: every frame, newest first, each channel counting up without a gap.
    QAbstractItemModel *model = view.table()->tableView->model();
    QTRY_COMPARE_WITH_TIMEOUT(quint64(model->rowCount()), generated, 5000);
    quint64 expectedNext[2] = { stats.framesGenerated[0], stats.framesGenerated[1] };
    for (int row = 0; row < model->rowCount(); ++row) {
        const auto cell = [&](int column) { return model->index(row, column).data().toString(); };
        QCOMPARE(cell(0), QString::number(model->rowCount() - row));
        const int channel = cell(2).toInt();
        QVERIFY2(channel == 1 || channel == 2, qPrintable(cell(2)));
        QVERIFY(cell(3).startsWith(QLatin1String("0x")));
        QVERIFY(cell(4) == QLatin1String("STD") || cell(4) == QLatin1String("EXT"));
        QCOMPARE(cell(5), QStringLiteral("Rx"));
        QCOMPARE(cell(6), QStringLiteral("8"));
        QCOMPARE(sequenceOf(cell(7)), --expectedNext[channel - 1]);
    }
    QCOMPARE(expectedNext[0], quint64(0));
    QCOMPARE(expectedNext[1], quint64(0));

    // The device time column: eleven characters, never decreasing per channel going back.
    view.findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(1);
    QRegularExpression stamp(QStringLiteral("^\\d{6}\\.\\d{4}$"));
    QVERIFY(stamp.match(model->index(0, 1).data().toString()).hasMatch());
    view.findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(0);

    // The real-time log holds every frame the buffer recorded, in order: the same lines as a
    // global save of the whole buffer.
    view.findChild<QPushButton *>(QStringLiteral("Button_saveOnTime"))->click();
    view.setFileNameProvider([&globalPath] { return globalPath; });
    QSignalSpy progress(CAN_DataDisplaySupport::instance()->fileSaveSupport(),
                        &FileSaveSupport::signal_processSet);
    view.findChild<QPushButton *>(QStringLiteral("button_save"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().first().toInt() == 100, 30000);

    const QList<QByteArray> realTime = frameLines(realTimePath);
    const QList<QByteArray> global = frameLines(globalPath);
    QCOMPARE(quint64(global.size()), generated);
    QCOMPARE(realTime.size(), global.size());
    QVERIFY(realTime == global);
    for (const QByteArray &line : realTime)
        QVERIFY(line.endsWith('\r'));

    // A log opened while a channel runs would mix its frames with live ones: it is refused
    // and the live history stays.
    QStringList told;
    view.setUserPrompts([&told](const QString &text) { told << text; },
                        [](const QString &) { return true; });
    view.openLogFile(globalPath);
    QCOMPARE(told.size(), 1);
    QVERIFY(told.first().contains(QStringLiteral("通道正在运行")));
    QVERIFY(!view.logLoader()->isRunning());
    QVERIFY(view.shownFile().isEmpty());
    QCOMPARE(quint64(model->rowCount()), generated);

    panel->findChild<QPushButton *>(QStringLiteral("device_close"))->click();
    serial->removeExtraPort(adapter.slavePath());
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_ReceiveEndToEnd)
#include "tst_receive_endtoend.moc"
