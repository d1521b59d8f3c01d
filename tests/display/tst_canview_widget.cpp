#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/logloader.h"
#include "display/logopenprogress.h"
#include "display/rstanditemmodel.h"
#include "protocol/contextprotocol.h"
#include "recording/filesave_widget.h"
#include "recording/filesavesupport.h"
#include "support/privatesettingsmain.h"
#include "support/translationcheck.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
QByteArray frameBytes(quint8 info, quint32 id, const QByteArray &data)
{
    QByteArray frame;
    frame.append(char(info));
    for (int i = 0; i < 4; ++i)
        frame.append(char((id >> (8 * i)) & 0xFF));
    frame.append(data.left(8));
    frame.append(QByteArray(13 - frame.size(), '\0'));
    return frame;
}

const char SaveOnTimeStyle[]
    = "QPushButton{background-color:#ffffff;border:1px solid #6495ED;border-top-left-radius:5px;"
      "border-bottom-left-radius:3px}QPushButton:hover{background-color:#87CEFA;border:1px solid "
      "#6495ED;border-top-left-radius:5px;border-bottom-left-radius:3px}QPushButton:pressed{"
      "background-color:#4169E1;border:1px solid #6495ED;border-top-left-radius:5px;"
      "border-bottom-left-radius:3px}";
const char MiddleStyle[]
    = "QPushButton{background-color:#ffffff;border:1px solid #6495ED;}QPushButton:hover{"
      "background-color:#87CEFA;border:1px solid #6495ED;}QPushButton:pressed{"
      "background-color:#4169E1;border:1px solid #6495ED;}";
const char PauseRunningStyle[]
    = "QPushButton{background-color:#ffffff;border:1px solid #6495ED;border-top-right-radius:5px;"
      "border-bottom-right-radius:3px}QPushButton:hover{background-color:#87CEFA;border:1px solid "
      "#6495ED;border-top-right-radius:5px;border-bottom-right-radius:3px}QPushButton:pressed{"
      "background-color:#4169E1;border:1px solid #6495ED;border-top-right-radius:5px;"
      "border-bottom-right-radius:3px}";
const char PausedStyle[]
    = "QPushButton{background-color:#4169E1;border:1px solid #6495ED;border-top-right-radius:5px;"
      "border-bottom-right-radius:3px}";
} // namespace

class tst_CANView_Widget : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void formAndStyles();
    void framesReachTheTableAndCounters();
    void pauseHoldsTheTable();
    void filterEditors_data();
    void filterEditors();
    void allEntryRemovesTheFilter();
    void clearZeroesFrameCountersOnly();
    void errorCounterSumsBothChannels();
    void timeColumnSwitch();
    void deviceModelLabel();
    void realTimeSaveStartAndStop();
    void refusedLogTarget_data();
    void refusedLogTarget();
    void cancelledDialogDoesNothing();
    void globalSaveWritesTheWholeBuffer();
    void openingALogReplacesTheHistory();
    void liveFramesStayOutOfAnOpenedLog();
    void requestsDuringALoad();
    void englishTranslationIsComplete();

private:
    template<typename T>
    T *child(const char *name) const
    {
        return view->findChild<T *>(QLatin1String(name));
    }
    void frame(uchar channel,
               quint32 id,
               uint dir = 0,
               const QByteArray &data = QByteArray::fromHex("01AB0F"))
    {
        emit contextProtocol::instance()->signal_REP_CANFrame(
            channel, frameBytes(quint8(data.size()), id, data), 1000, dir);
    }
    QStringList shownIds() const
    {
        QStringList ids;
        QAbstractItemModel *m = view->table()->tableView->model();
        for (int row = 0; row < m->rowCount(); ++row)
            ids << m->index(row, 3).data().toString();
        return ids;
    }
    void clearAll()
    {
        QTest::mouseClick(child<QPushButton>("button_clear"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shownIds().isEmpty(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_recvCount")->text(), QStringLiteral("0"),
                                  5000);
    }

    CANView_Widget *view = nullptr;
    QTemporaryDir dir;
};

void tst_CANView_Widget::init()
{
    view = new CANView_Widget;
    view->resize(1000, 600);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

void tst_CANView_Widget::cleanup()
{
    clearAll();
    // Filters live in the single display buffer: leave none behind for the next case.
    for (QLineEdit *edit : view->table()->findChildren<QLineEdit *>())
        edit->clear();
    view->table()->typeCombo->setCurrentIndex(0);
    view->table()->dirCombo->setCurrentIndex(0);
    delete view;
    view = nullptr;
}

void tst_CANView_Widget::formAndStyles()
{
    QCOMPARE(view->objectName(), QStringLiteral("CANView_Widget"));
    QCOMPARE(child<QLabel>("label_model")->text(), QStringLiteral("当前设备："));
    QCOMPARE(child<QLabel>("label")->text(), QStringLiteral("时间类型:"));
    QCOMPARE(child<QLabel>("label_recvCount_t")->text(), QStringLiteral("接收帧计数："));
    QCOMPARE(child<QLabel>("label_erroCount")->text(), QStringLiteral("错误帧计数："));
    QCOMPARE(child<QLabel>("label_erroCount_t")->text(), QStringLiteral("0"));
    QCOMPARE(child<QComboBox>("comboBox")->itemText(1), QStringLiteral("时间戳(秒)"));
    QCOMPARE(child<QWidget>("widget")->height(), 50);
    QCOMPARE(child<QPushButton>("Button_saveOnTime")->text(), QStringLiteral("实时保存"));
    QCOMPARE(child<QPushButton>("Button_saveOnTime")->styleSheet(), QLatin1String(SaveOnTimeStyle));
    QCOMPARE(child<QPushButton>("button_save")->styleSheet(), QLatin1String(MiddleStyle));
    QCOMPARE(child<QPushButton>("button_clear")->styleSheet(), QLatin1String(MiddleStyle));
    QCOMPARE(child<QPushButton>("Button_pause")->styleSheet(), QLatin1String(PauseRunningStyle));
    QCOMPARE(view->grab().toImage().pixelColor(2, 60), QColor(0xBC, 0xD2, 0xEE));

    // Bars above and below the table.
    QWidget *table = view->table();
    QVERIFY(child<QWidget>("widget")->geometry().bottom() <= table->geometry().top());
    QVERIFY(table->geometry().bottom() <= child<QWidget>("widget_2")->geometry().top());
}

void tst_CANView_Widget::framesReachTheTableAndCounters()
{
    frame(1, 0x7EF, 0);
    frame(2, 0x1F3, 1);
    frame(1, 0x100, 0);
    QTRY_COMPARE_WITH_TIMEOUT(
        shownIds(),
        (QStringList { QStringLiteral("0x100"), QStringLiteral("0x1f3"), QStringLiteral("0x7ef") }),
        5000);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_recvCount")->text(), QStringLiteral("2"), 5000);
    QCOMPARE(child<QLabel>("label_sendCount")->text(), QStringLiteral("1"));

    // A counter keeps its size from one count to the next, and grows when a number would not fit.
    QLabel *received = child<QLabel>("label_recvCount");
    received->setFont(QFont(received->font().family(), 200));
    for (int id = 0x101; id <= 0x108; ++id)
        frame(1, quint32(id), 0);
    QTRY_COMPARE_WITH_TIMEOUT(received->text(), QStringLiteral("10"), 5000);
    QVERIFY(received->width() >= received->fontMetrics().horizontalAdvance(received->text()));
}

void tst_CANView_Widget::pauseHoldsTheTable()
{
    QPushButton *pause = child<QPushButton>("Button_pause");
    frame(1, 0x1);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 1, 5000);

    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    QCOMPARE(pause->styleSheet(), QLatin1String(PausedStyle));
    frame(1, 0x2);
    frame(2, 0x3);
    // Counters stay live while the table holds still.
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_recvCount")->text(), QStringLiteral("3"), 5000);
    QTest::qWait(400);
    QCOMPARE(shownIds(), QStringList { QStringLiteral("0x1") });

    // A filter change while paused shows the frames of the pause.
    view->table()->channelEdit->setText(QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x3") }, 5000);
    view->table()->channelEdit->clear();
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 3, 5000);

    frame(1, 0x4);
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("暂停"));
    QCOMPARE(pause->styleSheet(), QLatin1String(PauseRunningStyle));
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 4, 5000);
    QCOMPARE(shownIds().first(), QStringLiteral("0x4"));
}

void tst_CANView_Widget::filterEditors_data()
{
    QTest::addColumn<int>("editor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("ids");
    const auto ids = [](const char *list) {
        return QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    // Frames: 0x7ef ch1 Rx "01 AB 0F"; 0x1f3a5 ch2 Tx EXT "11 22"; 0x100 ch2 Rx DLC 0; 0x55 ch1
    // Rx standard remote DLC 8.
    QTest::newRow("channel") << 1 << QStringLiteral("2") << ids("0x100 0x1f3a5");
    QTest::newRow("identifier") << 2 << QStringLiteral("7e") << ids("0x7ef");
    QTest::newRow("identifier is case-sensitive") << 2 << QStringLiteral("7E") << ids("");
    QTest::newRow("type") << 3 << QStringLiteral("EXT") << ids("0x1f3a5");
    QTest::newRow("standard takes in remote")
        << 3 << QStringLiteral("STD") << ids("0x55 0x100 0x7ef");
    QTest::newRow("remote alone") << 3 << QStringLiteral("STD-R") << ids("0x55");
    QTest::newRow("direction") << 4 << QStringLiteral("Rx") << ids("0x55 0x100 0x7ef");
    QTest::newRow("length") << 5 << QStringLiteral("0") << ids("0x100");
    QTest::newRow("data") << 6 << QStringLiteral("AB 0") << ids("0x7ef");
    QTest::newRow("data is case-sensitive") << 6 << QStringLiteral("ab") << ids("");
    QTest::newRow("time of day") << 0 << QStringLiteral(":") << ids("0x55 0x100 0x1f3a5 0x7ef");
}

void tst_CANView_Widget::filterEditors()
{
    QFETCH(int, editor);
    QFETCH(QString, text);
    QFETCH(QStringList, ids);

    frame(1, 0x7EF, 0, QByteArray::fromHex("01AB0F"));
    emit contextProtocol::instance()->signal_REP_CANFrame(
        2, frameBytes(0x82, 0x1F3A5, QByteArray::fromHex("1122")), 5, 1);
    frame(2, 0x100, 0, QByteArray());
    emit contextProtocol::instance()->signal_REP_CANFrame(
        1, frameBytes(0x48, 0x55, QByteArray(8, '\x77')), 6, 0);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 4, 5000);

    CANTableWidget *t = view->table();
    switch (editor) {
    case 0:
        t->timeEdit->setText(text);
        break;
    case 1:
        t->channelEdit->setText(text);
        break;
    case 2:
        t->idEdit->setText(text);
        break;
    case 3:
        t->typeCombo->setCurrentText(text);
        break;
    case 4:
        t->dirCombo->setCurrentText(text);
        break;
    case 5:
        t->lengthEdit->setText(text);
        break;
    case 6:
        t->dataEdit->setText(text);
        break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), ids, 5000);
    // The table stays so: the filter is not undone by later ticks.
    QTest::qWait(350);
    QCOMPARE(shownIds(), ids);
}

void tst_CANView_Widget::allEntryRemovesTheFilter()
{
    frame(1, 0x1, 0);
    frame(1, 0x2, 1);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 2, 5000);
    view->table()->dirCombo->setCurrentIndex(1); // Tx
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x2") }, 5000);
    view->table()->dirCombo->setCurrentIndex(0); // all
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 2, 5000);
    view->table()->typeCombo->setCurrentIndex(2); // EXT
    QTRY_VERIFY_WITH_TIMEOUT(shownIds().isEmpty(), 5000);
    view->table()->typeCombo->setCurrentIndex(0);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 2, 5000);
}

void tst_CANView_Widget::clearZeroesFrameCountersOnly()
{
    emit contextProtocol::instance()->signal_REP_ErroCount(1, 4);
    frame(1, 0x1, 0);
    frame(1, 0x2, 1);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_sendCount")->text(), QStringLiteral("1"), 5000);
    QCOMPARE(child<QLabel>("label_erroCount_t")->text(), QStringLiteral("4"));

    QTest::mouseClick(child<QPushButton>("button_clear"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_sendCount")->text(), QStringLiteral("0"), 5000);
    QCOMPARE(child<QLabel>("label_recvCount")->text(), QStringLiteral("0"));
    QVERIFY(shownIds().isEmpty());
    QCOMPARE(child<QLabel>("label_erroCount_t")->text(), QStringLiteral("4"));

    // A frame right behind the click is not wiped by it.
    frame(1, 0x3);
    QTest::mouseClick(child<QPushButton>("button_clear"), Qt::LeftButton);
    frame(1, 0x4);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_recvCount")->text(), QStringLiteral("1"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x4") }, 5000);
}

void tst_CANView_Widget::errorCounterSumsBothChannels()
{
    QLabel *label = child<QLabel>("label_erroCount_t");
    contextProtocol *codec = contextProtocol::instance();
    emit codec->signal_REP_ErroCount(2, 7);
    QCOMPARE(label->text(), QStringLiteral("7"));
    emit codec->signal_REP_ErroCount(1, 10);
    QCOMPARE(label->text(), QStringLiteral("17"));
    emit codec->signal_REP_ErroCount(2, 1);
    QCOMPARE(label->text(), QStringLiteral("11"));
    emit codec->signal_REP_ErroCount(3, 99);
    QCOMPARE(label->text(), QStringLiteral("11"));
    emit codec->signal_REP_ErroCount(1, 4294967295u);
    QCOMPARE(label->text(), QStringLiteral("0")); // unsigned sum wraps
}

void tst_CANView_Widget::timeColumnSwitch()
{
    emit contextProtocol::instance()->signal_REP_CANFrame(1, frameBytes(1, 0x5, "\x01"), 123456, 0);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 1, 5000);
    QAbstractItemModel *m = view->table()->tableView->model();
    QVERIFY(m->index(0, 1).data().toString().contains(QLatin1Char(':')));
    child<QComboBox>("comboBox")->setCurrentIndex(1);
    QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("000012.3456"));

    // The time filter now works on the device time stamp.
    view->table()->timeEdit->setText(QStringLiteral("12.34"));
    QTest::qWait(400);
    QCOMPARE(shownIds().size(), 1);
    child<QComboBox>("comboBox")->setCurrentIndex(0);
    view->table()->timeEdit->setText(QStringLiteral("12.345"));
    QTRY_VERIFY_WITH_TIMEOUT(shownIds().isEmpty(), 5000);
}

void tst_CANView_Widget::deviceModelLabel()
{
    emit DeviceManagement::instance()->signals_deviceModelCommand(QStringLiteral("RCAN-U01"));
    QCOMPARE(child<QLabel>("label_modelstring")->text(), QStringLiteral("RCAN-U01"));
    // Whatever the device calls itself is shown as it is, never as markup.
    emit DeviceManagement::instance()->signals_deviceModelCommand(QStringLiteral("<h1>XX</h1>"));
    QCOMPARE(child<QLabel>("label_modelstring")->textFormat(), Qt::PlainText);
}

void tst_CANView_Widget::realTimeSaveStartAndStop()
{
    const QString path = dir.filePath(QStringLiteral("rt.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents\n");
    }
    view->setFileNameProvider([path] { return path; });
    QPushButton *button = child<QPushButton>("Button_saveOnTime");

    frame(1, 0x10); // before the start: not in the log
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 1, 5000);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("停止实时保存"));
    frame(1, 0x11);
    frame(2, 0x12, 1);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 3, 5000);

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("实时保存"));
    frame(1, 0x13); // after the stop: not in the log either
    QTRY_COMPARE_WITH_TIMEOUT(shownIds().size(), 4, 5000);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), FileSaveSupport::HeaderLines + 2 + 1);
    QCOMPARE(lines.at(1), QByteArray("base hex timestamps system\r"));
    QVERIFY(lines.at(FileSaveSupport::HeaderLines).endsWith(" 1 0x11 STD Rx 3 01 AB 0F\r"));
    QVERIFY(lines.at(FileSaveSupport::HeaderLines + 1).endsWith(" 2 0x12 STD Tx 3 01 AB 0F\r"));
}

void tst_CANView_Widget::refusedLogTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("realTime");
    // A missing folder is only found out when the file is opened: for a global save that is in the
    // writer, after the copy.
    QTest::newRow("real-time, missing folder") << QStringLiteral("missing folder") << true;
    for (const char *kind : { "folder", "pipe without reader", "socket", "device" }) {
        QTest::addRow("real-time, %s", kind) << QString::fromLatin1(kind) << true;
        QTest::addRow("global, %s", kind) << QString::fromLatin1(kind) << false;
    }
}

void tst_CANView_Widget::refusedLogTarget()
{
    // Nothing opens the target, so nothing blocks; the user is told which path and why.
    QFETCH(QString, kind);
    QFETCH(bool, realTime);
    QTemporaryDir targets;
    QString path = targets.filePath(QStringLiteral("target"));
    if (kind == QLatin1String("missing folder"))
        path = targets.filePath(QStringLiteral("none/rt.txt"));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QLatin1String("pipe without reader"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("socket")) {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
    } else
        path = QStringLiteral("/dev/full");
    view->setFileNameProvider([path] { return path; });
    QPushButton *button = child<QPushButton>(realTime ? "Button_saveOnTime" : "button_save");
    QSignalSpy realTimeCommand(view, &CANView_Widget::signal_realTimeSave_Command);
    QSignalSpy globalCommand(view, &CANView_Widget::signal_GlobalSave);
    QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(realTimeCommand.count(), 0);
    QCOMPARE(globalCommand.count(), 0);
    QCOMPARE(child<QPushButton>("Button_saveOnTime")->text(), QStringLiteral("实时保存"));
    const QList<QMessageBox *> boxes = view->findChildren<QMessageBox *>();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.first()->isVisible());
    QVERIFY(!boxes.first()->isModal());
    QVERIFY2(boxes.first()->text().contains(path), qPrintable(boxes.first()->text()));
    delete boxes.first();
}

void tst_CANView_Widget::cancelledDialogDoesNothing()
{
    view->setFileNameProvider([] { return QString(); });
    QSignalSpy global(view, &CANView_Widget::signal_GlobalSave);
    QSignalSpy realTime(view, &CANView_Widget::signal_realTimeSave_Command);
    QTest::mouseClick(child<QPushButton>("button_save"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("Button_saveOnTime"), Qt::LeftButton);
    QCOMPARE(global.count(), 0);
    QCOMPARE(realTime.count(), 0);
    QCOMPARE(child<QPushButton>("Button_saveOnTime")->text(), QStringLiteral("实时保存"));
}

void tst_CANView_Widget::globalSaveWritesTheWholeBuffer()
{
    const QString path = dir.filePath(QStringLiteral("all.txt"));
    view->setFileNameProvider([path] { return path; });
    frame(1, 0x1);
    frame(2, 0x2, 1);
    frame(1, 0x3);
    // Filters shape only the table, never the saved file.
    view->table()->idEdit->setText(QStringLiteral("0x2"));
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x2") }, 5000);

    QSignalSpy progress(CAN_DataDisplaySupport::instance()->fileSaveSupport(),
                        &FileSaveSupport::signal_processSet);
    QTest::mouseClick(child<QPushButton>("button_save"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().first().toInt() == 100, 5000);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), FileSaveSupport::HeaderLines + 3 + 1);
    QCOMPARE(lines.at(1), QByteArray("base hex timestamps system toltal 3\r"));
    QVERIFY(lines.at(FileSaveSupport::HeaderLines).contains(" 0x1 "));
    QVERIFY(lines.at(FileSaveSupport::HeaderLines + 2).contains(" 0x3 "));
}

void tst_CANView_Widget::openingALogReplacesTheHistory()
{
    QStringList told;
    bool answer = false;
    view->setUserPrompts([&](const QString &text) { told << text; },
                         [&](const QString &) { return answer; });
    const QString log = dir.filePath(QStringLiteral("bus.log"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("(1765180800.000000) can0 7EF#01AB0F R\n(1765180800.000200) can1 1F3A5#R T\n"
               "not a frame\n(1765180800.250000) can0 100# R\n");
    file.close();
    const QString text = dir.filePath(QStringLiteral("notes.log"));
    QFile notes(text);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("shopping list\n");
    notes.close();

    // Live frames no log has taken: the user is asked, and saying no keeps them.
    frame(1, 0x1);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x1") }, 5000);
    view->openLogFile(log);
    QVERIFY(!view->logLoader()->isRunning());
    QVERIFY(told.isEmpty());
    // A file that is no log is refused before anything changes.
    view->openLogFile(text);
    QCOMPARE(told.size(), 1);
    QVERIFY(told.first().contains(QLatin1String("notes.log")));
    QVERIFY(view->shownFile().isEmpty());

    answer = true;
    QSignalSpy done(view->logLoader(), &LogLoader::finished);
    view->openLogFile(log);
    QVERIFY(done.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(),
                              (QStringList { QStringLiteral("0x100"), QStringLiteral("0x1f3a5"),
                                             QStringLiteral("0x7ef") }),
                              5000);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_recvCount")->text(), QStringLiteral("2"), 5000);
    QCOMPARE(child<QLabel>("label_sendCount")->text(), QStringLiteral("1"));
    QCOMPARE(view->shownFile(), log);
    QVERIFY(child<QLabel>("label_file")->text().contains(QLatin1String("bus.log")));
    QVERIFY(!view->openProgress()->isVisible());
    // A view rebuilt on a language switch still names the file the history came from.
    {
        CANView_Widget rebuilt;
        QCOMPARE(rebuilt.shownFile(), log);
        QCOMPARE(rebuilt.findChild<QLabel *>(QStringLiteral("label_file"))->text(),
                 child<QLabel>("label_file")->text());
    }
    // One message tells the bad line's count, number and text.
    QCOMPARE(told.size(), 2);
    QVERIFY(told.last().contains(QLatin1String("not a frame")));
    QVERIFY(told.last().contains(QLatin1String(" 3")));

    // Device time column: gaps from the file, starting at 0.
    child<QComboBox>("comboBox")->setCurrentIndex(1);
    QAbstractItemModel *m = view->table()->tableView->model();
    QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("000000.2500"));
    QCOMPARE(m->index(1, 1).data().toString(), QStringLiteral("000000.0002"));
    child<QComboBox>("comboBox")->setCurrentIndex(0);
    // A loaded log is saved already: opening another one asks nothing.
    answer = false;
    view->openLogFile(log);
    QVERIFY(done.wait(10000));

    // Cancelled at once: the reading stops, and the top bar says the file is not all there.
    QByteArray many;
    for (int i = 0; i < 200000; ++i)
        many += "(1765180800.000000) can0 123#1122334455667788\n";
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(many);
    file.close();
    view->openLogFile(log);
    view->openProgress()->cancelButton()->click();
    QVERIFY(done.wait(10000));
    const LogLoadResult cancelled = done.last().first().value<LogLoadResult>();
    QVERIFY(cancelled.cancelled);
    QVERIFY(cancelled.kept < 200000);
    QVERIFY(child<QLabel>("label_file")->text().contains(QStringLiteral("未读完")));
}

void tst_CANView_Widget::liveFramesStayOutOfAnOpenedLog()
{
    QStringList told;
    int asked = 0;
    bool answer = false;
    view->setUserPrompts([&](const QString &text) { told << text; },
                         [&](const QString &) {
                             ++asked;
                             return answer;
                         });
    const QString log = dir.filePath(QStringLiteral("live.log"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("(1765180800.000000) can0 7EF#01AB0F R\n");
    file.close();
    QSignalSpy done(view->logLoader(), &LogLoader::finished);
    view->openLogFile(log);
    QVERIFY(done.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x7ef") }, 5000);

    // An adapter still streaming from an earlier run: its frames stay out, and the user is told
    // once.
    frame(1, 0x55);
    frame(1, 0x56);
    QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 5000);
    QVERIFY(told.first().contains(QStringLiteral("日志文件")));
    QCOMPARE(shownIds(), QStringList { QStringLiteral("0x7ef") });
    QCOMPARE(child<QLabel>("label_recvCount")->text(), QStringLiteral("1"));

    // A channel start asks first; no leaves the log as it is.
    DeviceManagement *panel = DeviceManagement::instance();
    QVERIFY(QMetaObject::invokeMethod(panel, "on_channel_control_1_clicked"));
    QCOMPARE(asked, 1);
    QCOMPARE(view->shownFile(), log);
    QVERIFY(!panel->anyChannelRunning());
    // Yes leaves it: the table empties and live frames show again.
    answer = true;
    QVERIFY(QMetaObject::invokeMethod(panel, "on_channel_control_1_clicked"));
    QCOMPARE(asked, 2);
    QVERIFY(view->shownFile().isEmpty());
    QVERIFY(child<QLabel>("label_file")->text().isEmpty());
    frame(1, 0x57);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x57") }, 5000);
    QCOMPARE(told.size(), 1);
}

void tst_CANView_Widget::requestsDuringALoad()
{
    QStringList told;
    view->setUserPrompts([&](const QString &text) { told << text; },
                         [](const QString &) { return true; });
    view->setFileNameProvider([this] { return dir.filePath(QStringLiteral("saved.txt")); });
    const QString log = dir.filePath(QStringLiteral("big.log"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 100000; ++i)
        file.write("(1765180800.000000) can0 123#1122334455667788\n");
    file.close();
    QSignalSpy done(view->logLoader(), &LogLoader::finished);

    // The load ends only once this thread sees its result: until then every request below is
    // made during the load.
    view->openLogFile(log);
    QVERIFY(view->logLoader()->isRunning());
    view->openLogFile(log);
    QCOMPARE(told.size(), 1);
    QTest::mouseClick(child<QPushButton>("button_save"), Qt::LeftButton);
    QCOMPARE(told.size(), 2);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("saved.txt"))));
    QVERIFY(
        QMetaObject::invokeMethod(DeviceManagement::instance(), "on_channel_control_1_clicked"));
    QCOMPARE(told.size(), 3);
    QVERIFY(!DeviceManagement::instance()->anyChannelRunning());
    QCOMPARE(view->shownFile(), log);

    // Clear ends the load first, then empties the table: no part of the file is left, and
    // nothing claims a log is shown.
    QTest::mouseClick(child<QPushButton>("button_clear"), Qt::LeftButton);
    QVERIFY(done.wait(10000));
    QVERIFY(view->shownFile().isEmpty());
    QVERIFY(child<QLabel>("label_file")->text().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("label_recvCount")->text(), QStringLiteral("0"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(shownIds().isEmpty(), 5000);
    QCOMPARE(told.size(), 3);
    // Live frames are taken again.
    frame(1, 0x58);
    QTRY_COMPARE_WITH_TIMEOUT(shownIds(), QStringList { QStringLiteral("0x58") }, 5000);
}

void tst_CANView_Widget::englishTranslationIsComplete()
{
    QTranslator english;
    QVERIFY(TranslationCheck::installEnglish(&english));
    CANView_Widget translated;
    FileSave_Widget progress;
    QStringList left = TranslationCheck::untranslatedTexts(
        { &translated, &progress, translated.openProgress() });

    // The texts the buttons take later on.
    const QString path = dir.filePath(QStringLiteral("en.txt"));
    translated.setFileNameProvider([path] { return path; });
    QTest::mouseClick(translated.findChild<QPushButton *>(QStringLiteral("Button_pause")),
                      Qt::LeftButton);
    QTest::mouseClick(translated.findChild<QPushButton *>(QStringLiteral("Button_saveOnTime")),
                      Qt::LeftButton);
    left += TranslationCheck::untranslatedTexts(&translated);
    QCOMPARE(translated.findChild<QPushButton *>(QStringLiteral("Button_pause"))->text(),
             QStringLiteral("Resume"));
    QTest::mouseClick(translated.findChild<QPushButton *>(QStringLiteral("Button_pause")),
                      Qt::LeftButton);
    QTest::mouseClick(translated.findChild<QPushButton *>(QStringLiteral("Button_saveOnTime")),
                      Qt::LeftButton);

    // The progress window was built with the first view, in Chinese; a save after the switch
    // shows it in English.
    FileSaveSupport *writer = CAN_DataDisplaySupport::instance()->fileSaveSupport();
    bool looked = false;
    QObject context;
    connect(writer, &FileSaveSupport::signal_processSet, &context, [&](int) {
        if (!looked)
            left += TranslationCheck::untranslatedTexts(writer->progressWindow());
        looked = true;
    });
    const QString savePath = dir.filePath(QStringLiteral("en_all.txt"));
    translated.setFileNameProvider([savePath] { return savePath; });
    QTest::mouseClick(translated.findChild<QPushButton *>(QStringLiteral("button_save")),
                      Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(looked, 5000);

    QCoreApplication::removeTranslator(&english);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_CANView_Widget)
#include "tst_canview_widget.moc"
