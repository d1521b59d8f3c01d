#include "send/tablepanel_widget.h"

#include "device/devicemanagement.h"
#include "send/keyboard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QtTest>
#include "support/privatesettingsmain.h"

namespace {
template<typename T>
T *child(QWidget *panel, const char *name)
{
    T *found = panel->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

void retype(QLineEdit *edit, const QString &keys)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, keys);
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
} // namespace

class tst_tablePanel_Widget : public QObject
{
    Q_OBJECT
private slots:
    void initialState();
    void identifier_data();
    void identifier();
    void dataField_data();
    void dataField();
    void spinBoxLimits_data();
    void spinBoxLimits();
    void elapsedText_data();
    void elapsedText();
    void channelListFollowsStartedChannels();
    void startWithoutChannelDoesNothing();
    void startFillsTheRecords_data();
    void startFillsTheRecords();
    void unansweredRunShowsInformationBox();
    void dataMatrixResultReplacesData();
};

void tst_tablePanel_Widget::initialState()
{
    tablePanel_Widget panel;
    QCOMPARE(child<QPushButton>(&panel, "Button_send")->text(), QStringLiteral("立即发送"));
    QCOMPARE(child<QComboBox>(&panel, "canDataLength")->currentIndex(), 8);
    QCOMPARE(child<QLineEdit>(&panel, "canData")->maxLength(), 23);
    QCOMPARE(child<QSpinBox>(&panel, "sendInterval")->value(), 1);
    QCOMPARE(child<QSpinBox>(&panel, "sendTimes")->value(), 1);
    QCOMPARE(child<QComboBox>(&panel, "devicec_hannel")->count(), 0);
    QCOMPARE(child<QLabel>(&panel, "label_expendTime")->text(), QStringLiteral("0.000"));
    panel.show();
    QVERIFY(child<QWidget>(&panel, "groupBox_2")->isHidden());
    QVERIFY(child<QWidget>(&panel, "Button_add")->isHidden());
    QVERIFY(child<QWidget>(&panel, "canName")->isHidden());
    QVERIFY(!child<QWidget>(&panel, "Button_send")->isHidden());
}

void tst_tablePanel_Widget::identifier_data()
{
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("switchTo"); // -1: keep the type
    QTest::addColumn<QString>("shown");

    QTest::newRow("standard 7FF is allowed")
        << 0 << QStringLiteral("7FF") << -1 << QStringLiteral("7FF");
    QTest::newRow("standard 800 is cut to 7FF")
        << 0 << QStringLiteral("800") << -1 << QStringLiteral("7FF");
    // The rule counts characters: a fourth digit means too long, whatever its value.
    QTest::newRow("standard 0001 becomes 7FF")
        << 0 << QStringLiteral("0001") << -1 << QStringLiteral("7FF");
    QTest::newRow("standard lower case stays")
        << 0 << QStringLiteral("1ab") << -1 << QStringLiteral("1ab");
    QTest::newRow("non-hex characters are not taken")
        << 0 << QStringLiteral("1g2") << -1 << QStringLiteral("12");
    QTest::newRow("extended 1FFFFFFF is allowed")
        << 1 << QStringLiteral("1FFFFFFF") << -1 << QStringLiteral("1FFFFFFF");
    QTest::newRow("extended 20000000 is cut")
        << 1 << QStringLiteral("20000000") << -1 << QStringLiteral("1FFFFFFF");
    QTest::newRow("extended nine characters are cut")
        << 1 << QStringLiteral("000000001") << -1 << QStringLiteral("1FFFFFFF");
    QTest::newRow("switching to standard cuts 1234")
        << 1 << QStringLiteral("1234") << 0 << QStringLiteral("7FF");
    QTest::newRow("switching to standard keeps 123")
        << 1 << QStringLiteral("123") << 0 << QStringLiteral("123");
    QTest::newRow("switching to extended keeps 7FF")
        << 0 << QStringLiteral("7FF") << 1 << QStringLiteral("7FF");
}

void tst_tablePanel_Widget::identifier()
{
    QFETCH(int, typeIndex);
    QFETCH(QString, typed);
    QFETCH(int, switchTo);
    QFETCH(QString, shown);

    tablePanel_Widget panel;
    auto *type = child<QComboBox>(&panel, "canType");
    auto *id = child<QLineEdit>(&panel, "canID");
    QCOMPARE(type->itemText(0), QStringLiteral("标准帧"));
    QCOMPARE(type->itemData(1).toInt(), 0x80);
    type->setCurrentIndex(typeIndex);
    retype(id, typed);
    if (switchTo >= 0)
        type->setCurrentIndex(switchTo);
    QCOMPARE(id->text(), shown);
}

void tst_tablePanel_Widget::dataField_data()
{
    QTest::addColumn<int>("lengthIndex");
    QTest::addColumn<QStringList>("typing"); // each entry typed after the previous one
    QTest::addColumn<int>("lowerTo"); // -1: keep the length
    QTest::addColumn<QString>("shown");

    QTest::newRow("ABC typed gives AB C")
        << 8 << QStringList { QStringLiteral("ABC") } << -1 << QStringLiteral("AB C");
    QTest::newRow("spaced bytes stay")
        << 8 << QStringList { QStringLiteral("11 22 33") } << -1 << QStringLiteral("11 22 33");
    QTest::newRow("a non-hex character reverts to the last accepted text")
        << 8 << QStringList { QStringLiteral("ABC"), QStringLiteral("X") } << -1
        << QStringLiteral("AB C");
    QTest::newRow("length 2 takes at most two bytes")
        << 2 << QStringList { QStringLiteral("1122334455") } << -1 << QStringLiteral("11 22");
    QTest::newRow("length 8 takes at most eight bytes")
        << 8 << QStringList { QStringLiteral("112233445566778899AA") } << -1
        << QStringLiteral("11 22 33 44 55 66 77 88");
    QTest::newRow("length 0 takes no text")
        << 0 << QStringList { QStringLiteral("12") } << -1 << QString();
    QTest::newRow("lowering the length from 8 to 2 cuts the bytes")
        << 8 << QStringList { QStringLiteral("11 22 33") } << 2 << QStringLiteral("11 22");
}

void tst_tablePanel_Widget::dataField()
{
    QFETCH(int, lengthIndex);
    QFETCH(QStringList, typing);
    QFETCH(int, lowerTo);
    QFETCH(QString, shown);

    tablePanel_Widget panel;
    child<QComboBox>(&panel, "canDataLength")->setCurrentIndex(lengthIndex);
    auto *data = child<QLineEdit>(&panel, "canData");
    data->setFocus();
    for (const QString &keys : qAsConst(typing)) {
        data->end(false);
        QTest::keyClicks(data, keys);
    }
    if (lowerTo >= 0)
        child<QComboBox>(&panel, "canDataLength")->setCurrentIndex(lowerTo);
    QCOMPARE(data->text(), shown);
}

void tst_tablePanel_Widget::spinBoxLimits_data()
{
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");

    QTest::newRow("interval 150000 is held at 100000")
        << QByteArray("sendInterval") << QStringLiteral("150000") << 100000;
    QTest::newRow("interval 100000 stays")
        << QByteArray("sendInterval") << QStringLiteral("100000") << 100000;
    QTest::newRow("interval 0 is allowed")
        << QByteArray("sendInterval") << QStringLiteral("0") << 0;
    QTest::newRow("count 2000000 is held at 1000000")
        << QByteArray("sendTimes") << QStringLiteral("2000000") << 1000000;
    QTest::newRow("count 999999 stays")
        << QByteArray("sendTimes") << QStringLiteral("999999") << 999999;
}

void tst_tablePanel_Widget::spinBoxLimits()
{
    QFETCH(QByteArray, box);
    QFETCH(QString, typed);
    QFETCH(int, value);

    tablePanel_Widget panel;
    auto *spin = child<QSpinBox>(&panel, box.constData());
    QCOMPARE(spin->maximum(), 99999999);
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Backspace);
    QTest::keyClicks(spin, typed);
    QCOMPARE(spin->value(), value);
}

void tst_tablePanel_Widget::elapsedText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");

    QTest::newRow("1.2345 s") << qint64(1234) << QStringLiteral("1.23");
    QTest::newRow("12.345 s") << qint64(12345) << QStringLiteral("12.3");
    QTest::newRow("1234.5 s") << qint64(1234500) << QStringLiteral("1.23e+03");
    QTest::newRow("0.05 s") << qint64(50) << QStringLiteral("0.05");
    QTest::newRow("nothing") << qint64(0) << QStringLiteral("0");
}

void tst_tablePanel_Widget::elapsedText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(tablePanel_Widget::elapsedText(ms), text);
}

void tst_tablePanel_Widget::channelListFollowsStartedChannels()
{
    tablePanel_Widget panel;
    auto *channels = child<QComboBox>(&panel, "devicec_hannel");
    DeviceManagement *device = DeviceManagement::instance();
    const QString one = QStringLiteral("通道1");
    const QString two = QStringLiteral("通道2");

    emit device->signals_channelStateChanged(true, two);
    emit device->signals_channelStateChanged(true, one);
    emit device->signals_channelStateChanged(true, two);
    QCOMPARE(channels->count(), 2);
    QCOMPARE(channels->itemText(0), two);
    QCOMPARE(channels->itemText(1), one);

    emit device->signals_channelStateChanged(false, two);
    QCOMPARE(channels->count(), 1);
    QCOMPARE(channels->itemText(0), one);
    emit device->signals_channelStateChanged(false, two);
    emit device->signals_channelStateChanged(false, one);
    QCOMPARE(channels->count(), 0);
}

void tst_tablePanel_Widget::startWithoutChannelDoesNothing()
{
    tablePanel_Widget panel;
    QSignalSpy commands(&panel, &tablePanel_Widget::signal_CANSendCommand);
    QVERIFY(commands.isValid());
    QTest::mouseClick(child<QPushButton>(&panel, "Button_send"), Qt::LeftButton);
    QCOMPARE(commands.count(), 0);
    QCOMPARE(child<QPushButton>(&panel, "Button_send")->text(), QStringLiteral("立即发送"));
}

void tst_tablePanel_Widget::startFillsTheRecords_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<int>("formatIndex");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("lengthIndex");
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("expectedChannel");
    QTest::addColumn<unsigned>("frameType");
    QTest::addColumn<unsigned>("frameFormat");
    QTest::addColumn<quint32>("canId");
    QTest::addColumn<quint64>("value");

    QTest::newRow("odd last digit is the high nibble")
        << QStringLiteral("通道1") << 0 << 0 << QStringLiteral("123") << 2 << QStringLiteral("ABC")
        << 1 << 0u << 0u << quint32(0x123) << quint64(0xABC0);
    QTest::newRow("missing bytes are zero")
        << QStringLiteral("通道2") << 1 << 0 << QStringLiteral("18FF50E5") << 8
        << QStringLiteral("AB CD") << 2 << 0x80u << 0u << quint32(0x18FF50E5)
        << quint64(0xABCD000000000000);
    QTest::newRow("remote frame, three bytes")
        << QStringLiteral("通道1") << 0 << 1 << QStringLiteral("7") << 3
        << QStringLiteral("11 22 33") << 1 << 0u << 0x40u << quint32(7) << quint64(0x112233);
    QTest::newRow("empty identifier and data")
        << QStringLiteral("通道1") << 0 << 0 << QString() << 4 << QString() << 1 << 0u << 0u
        << quint32(0) << quint64(0);
}

void tst_tablePanel_Widget::startFillsTheRecords()
{
    QFETCH(QString, channel);
    QFETCH(int, typeIndex);
    QFETCH(int, formatIndex);
    QFETCH(QString, id);
    QFETCH(int, lengthIndex);
    QFETCH(QString, data);
    QFETCH(int, expectedChannel);
    QFETCH(unsigned, frameType);
    QFETCH(unsigned, frameFormat);
    QFETCH(quint32, canId);
    QFETCH(quint64, value);

    tablePanel_Widget panel;
    panel.onChannelStateChanged(true, channel);
    child<QComboBox>(&panel, "canType")->setCurrentIndex(typeIndex);
    child<QComboBox>(&panel, "canFormat")->setCurrentIndex(formatIndex);
    retype(child<QLineEdit>(&panel, "canID"), id);
    child<QComboBox>(&panel, "canDataLength")->setCurrentIndex(lengthIndex);
    retype(child<QLineEdit>(&panel, "canData"), data);
    child<QCheckBox>(&panel, "idIncrement")->setChecked(true);
    child<QSpinBox>(&panel, "sendTimes")->setValue(7);
    child<QSpinBox>(&panel, "sendInterval")->setValue(25);

    // No port is open: the command goes nowhere, which is all this case needs.
    QSignalSpy commands(&panel, &tablePanel_Widget::signal_CANSendCommand);
    QTest::mouseClick(child<QPushButton>(&panel, "Button_send"), Qt::LeftButton);
    QCOMPARE(commands.count(), 1);
    QCOMPARE(commands.first().first().toBool(), true);
    QCOMPARE(child<QPushButton>(&panel, "Button_send")->text(), QStringLiteral("停止发送"));
    QVERIFY(child<QLabel>(&panel, "label_expendTime")->text().isEmpty());

    const SendParams &params = panel.sendParams();
    QCOMPARE(params.channel, expectedChannel);
    QCOMPARE(params.idIncrement, true);
    QCOMPARE(params.dataIncrement, false);
    QCOMPARE(params.sendTimes, 7);
    QCOMPARE(params.sendInterval, 25);
    const SendFrameSpec &frameDesc = panel.frameSpec();
    QCOMPARE(frameDesc.frameType, frameType);
    QCOMPARE(frameDesc.frameFormat, frameFormat);
    QCOMPARE(frameDesc.canId, canId);
    QCOMPARE(frameDesc.dataLength, lengthIndex);
    QCOMPARE(frameDesc.data, value);

    // A click while running asks for a stop, not a new run.
    QTest::mouseClick(child<QPushButton>(&panel, "Button_send"), Qt::LeftButton);
    QCOMPARE(commands.count(), 2);
    QCOMPARE(commands.last().first().toBool(), false);
    QTRY_COMPARE(child<QPushButton>(&panel, "Button_send")->text(), QStringLiteral("立即发送"));
    QVERIFY(openBoxes().isEmpty());
}

void tst_tablePanel_Widget::unansweredRunShowsInformationBox()
{
    tablePanel_Widget panel;
    panel.onChannelStateChanged(true, QStringLiteral("通道2"));
    QTest::mouseClick(child<QPushButton>(&panel, "Button_send"), Qt::LeftButton);
    // The port is closed, so the frame goes unanswered.
    QTRY_COMPARE_WITH_TIMEOUT(openBoxes().size(), 1, 5000);
    QMessageBox *box = openBoxes().first();
    QCOMPARE(box->windowTitle(), QStringLiteral("发送失败 通道2"));
    QCOMPARE(box->text(), QStringLiteral("设备未响应"));
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(child<QLabel>(&panel, "label_expendTime")->text(), QStringLiteral("0.000"));
    QCOMPARE(child<QPushButton>(&panel, "Button_send")->text(), QStringLiteral("立即发送"));
    box->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(openBoxes().isEmpty());
}

void tst_tablePanel_Widget::dataMatrixResultReplacesData()
{
    tablePanel_Widget panel;
    panel.show();
    child<QComboBox>(&panel, "canDataLength")->setCurrentIndex(3);
    QTest::mouseClick(child<QPushButton>(&panel, "pushButton"), Qt::LeftButton);
    KeyBoard *editor = panel.findChild<KeyBoard *>();
    QVERIFY(editor);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->byteCount(), 3);
    auto *table = editor->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QTest::mouseClick(qobject_cast<QPushButton *>(table->cellWidget(0, 0)), Qt::LeftButton);
    QTest::mouseClick(qobject_cast<QPushButton *>(table->cellWidget(2, 7)), Qt::LeftButton);
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("pushButton")),
                      Qt::LeftButton);
    QCOMPARE(child<QLineEdit>(&panel, "canData")->text(), QStringLiteral("80 00 01"));
    QTRY_VERIFY(!panel.findChild<KeyBoard *>());
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_tablePanel_Widget)
#include "tst_tablepanel_widget.moc"
