#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rivexabout.h"
#include "app/settings.h"
#include "app/widgets/rframelesswidget.h"
#include "app/widgets/rtitle.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/logloader.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"
#include "send/generallyframesendwidget.h"
#include "send/tablepanel_widget.h"
#include "send/transmitlistwidget.h"
#include "simulator/virtualadapter.h"
#include "support/mainwindowdriver.h"
#include "support/textfile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <memory>

// Before the application object: nothing in this process may reach the user's own store.
static const bool sandboxed = [] {
    MainWindowDriver::sandboxSettings();
    return true;
}();

namespace {

// What the user typed into the receive view's filters and chose as time column.
QStringList filtersShown(RAZOradurodMainWindow *window)
{
    CANView_Widget *view = window->receiveView();
    CANTableWidget *t = view->table();
    return { t->timeEdit->text(),
             t->channelEdit->text(),
             t->idEdit->text(),
             QString::number(t->typeCombo->currentIndex()),
             QString::number(t->dirCombo->currentIndex()),
             t->lengthEdit->text(),
             t->dataEdit->text(),
             QString::number(
                 view->findChild<QComboBox *>(QStringLiteral("comboBox"))->currentIndex()) };
}

// What the user set up on a send panel.
QStringList panelInputs(tablePanel_Widget *panel)
{
    const auto combo = [panel](const char *name) {
        return QString::number(panel->findChild<QComboBox *>(QLatin1String(name))->currentIndex());
    };
    const auto text = [panel](const char *name) {
        return panel->findChild<QLineEdit *>(QLatin1String(name))->text();
    };
    const auto spin = [panel](const char *name) {
        return QString::number(panel->findChild<QSpinBox *>(QLatin1String(name))->value());
    };
    const auto check = [panel](const char *name) {
        return QString::number(panel->findChild<QCheckBox *>(QLatin1String(name))->isChecked());
    };
    return { combo("devicec_hannel"), combo("canType"),       combo("canFormat"),
             text("canID"),           combo("canDataLength"), text("canData"),
             spin("sendTimes"),       spin("sendInterval"),   check("idIncrement"),
             check("dataIncrement") };
}

const char *const toolButtonNames[] = { "toolButton_DeviceManagement", "toolButton_MessageSend",
                                        "toolButton_Busratio", "toolButton_Setting" };

std::unique_ptr<RAZOradurodMainWindow> buildWindow(const QVariant &language)
{
    MainWindowDriver::clearSettings();
    if (language.isValid())
        writeSetting(QStringLiteral("Language"), language);
    auto window = std::make_unique<RAZOradurodMainWindow>();
    window->show();
    return window;
}

// The page a tool button opens. Pages are looked up by class name so that this test needs no
// header of a page that has not joined the main window yet.
QWidget *pageOf(RAZOradurodMainWindow *window, int button)
{
    if (button == 0)
        return window->deviceManagementPage();
    const char *className = button == 1 ? "generallyFrameSendWidget" : "OccupancyRate_Widget";
    const QList<QWidget *> children
        = window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (qstrcmp(child->metaObject()->className(), className) == 0)
            return child;
    }
    return nullptr;
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void captions_data();
    void captions();
    void band();
    void formObjects_data();
    void formObjects();
    void fontIsOneCjkFace();
    void windowButtons_data();
    void windowButtons();
    void aboutFromSettingMenu_data();
    void aboutFromSettingMenu();
    void pageButtonShowsTheSamePage_data();
    void pageButtonShowsTheSamePage();
    void languageSwitchRebuildsAndKeepsSingleObjects();
    void closeEndsWithZero();
    void openDeviceSurvivesLanguageSwitches();
    void pauseSurvivesLanguageSwitches();
    void replayTakesTheLogTheReceiveViewOpened();
    // Last: the termination request it makes stays in force for the rest of the process.
    void terminationDuringAStartMessageEndsTheProgram();
};

void tst_MainWindow::initTestCase()
{
    QVERIFY(sandboxed);
    // Only the virtual adapter of openDeviceSurvivesLanguageSwitches is ever listed.
    SerialControl::instance()->setPortSource([] { return QList<SerialPortEntry>(); });
    ApplicationShell::setUpApplicationFont();
}

void tst_MainWindow::captions_data()
{
    QTest::addColumn<QVariant>("language");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QStringList>("menu");
    QTest::addColumn<QString>("aboutTitle");
    QTest::addColumn<QString>("fileDialogCancel"); // Qt's own texts follow the language

    QTest::newRow("Chinese") << QVariant(QStringLiteral("CN"))
                             << QStringList { QStringLiteral("设备管理"),
                                              QStringLiteral("发送数据"),
                                              QStringLiteral("总线利用率"),
                                              QStringLiteral("设置&&帮助") }
                             << QStringList { QStringLiteral("切换到英文"), QStringLiteral("关于") }
                             << QStringLiteral(" 关于") << QStringLiteral("取消");
    const QStringList english { QStringLiteral("Device Manager"), QStringLiteral("Send Data"),
                                QStringLiteral("Bus Load"), QStringLiteral("Settings && Help") };
    const QStringList englishMenu { QStringLiteral("Switch to Chinese"), QStringLiteral("About") };
    QTest::newRow("English") << QVariant(QStringLiteral("EN")) << english << englishMenu
                             << QStringLiteral(" About") << QStringLiteral("Cancel");
    QTest::newRow("nothing stored means English")
        << QVariant() << english << englishMenu << QStringLiteral(" About")
        << QStringLiteral("Cancel");
}

void tst_MainWindow::captions()
{
    QFETCH(QVariant, language);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, menu);
    QFETCH(QString, aboutTitle);
    QFETCH(QString, fileDialogCancel);

    auto window = buildWindow(language);
    QCOMPARE(window->windowTitle(), QStringLiteral("RCAN Tools"));
    QStringList shown;
    for (const char *name : toolButtonNames)
        shown << MainWindowDriver::toolButton(window.get(), QLatin1String(name))->text();
    QCOMPARE(shown, buttons);
    QCOMPARE((QStringList { window->languageAction()->text(), window->aboutAction()->text() }),
             menu);
    auto *aboutBar = window->aboutPage()->findChild<rFrameLessWidget *>();
    QVERIFY(aboutBar);
    QCOMPARE(aboutBar->findChild<QLabel *>(QStringLiteral("label"))->text(), aboutTitle);

    QFileDialog dialog(window.get());
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    auto *box = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(box);
    QCOMPARE(box->button(QDialogButtonBox::Cancel)->text(), fileDialogCancel);
}

void tst_MainWindow::band()
{
    auto window = buildWindow(QStringLiteral("CN"));
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window->size(), QSize(1100, 691));
    QCOMPARE(window->palette().color(QPalette::Window), QColor(0, 77, 126));
    QVERIFY(!window->windowIcon().isNull());

    // Tool buttons left to right, each opening instantly, text under the picture.
    QToolButton *previous = nullptr;
    for (const char *name : toolButtonNames) {
        QToolButton *button = MainWindowDriver::toolButton(window.get(), QLatin1String(name));
        QVERIFY2(button, name);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
        QVERIFY(button->height() >= 80);
        if (previous)
            QVERIFY(button->x() > previous->x());
        previous = button;
    }
    QVERIFY(
        MainWindowDriver::toolButton(window.get(), QStringLiteral("toolButton_Setting"))->menu());

    auto *logo = window->findChild<Rtitle *>();
    QVERIFY(logo);
    QCOMPARE(logo->parentWidget()->objectName(), QStringLiteral("widget_4"));
    QCOMPARE(logo->size(), QSize(276, 80));
    // The band colour runs under the logo strip's picture.
    QCOMPARE(window->grab().toImage().pixelColor(5, 40), QColor(0, 77, 126));
}

void tst_MainWindow::formObjects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("fixedSize");

    QTest::newRow("widget_4 holds the logo") << QStringLiteral("widget_4") << QSize(276, 80);
    QTest::newRow("widget holds the tool buttons") << QStringLiteral("widget") << QSize(500, 80);
    QTest::newRow("widget_2 is the band") << QStringLiteral("widget_2") << QSize(-1, 80);
    QTest::newRow("widget_3 holds the receive view") << QStringLiteral("widget_3") << QSize();
    QTest::newRow("centralwidget") << QStringLiteral("centralwidget") << QSize();
    QTest::newRow("menubar") << QStringLiteral("menubar") << QSize();
    QTest::newRow("statusbar") << QStringLiteral("statusbar") << QSize();
}

void tst_MainWindow::formObjects()
{
    QFETCH(QString, name);
    QFETCH(QSize, fixedSize);

    auto window = buildWindow(QStringLiteral("CN"));
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *w = window->findChild<QWidget *>(name);
    QVERIFY(w);
    if (fixedSize.width() > 0)
        QCOMPARE(w->width(), fixedSize.width());
    if (fixedSize.height() > 0)
        QCOMPARE(w->height(), fixedSize.height());
}

void tst_MainWindow::fontIsOneCjkFace()
{
    const QString face = QStringLiteral("WenQuanYi Micro Hei");
    if (!QFontDatabase().families().contains(face))
        QSKIP("fonts-wqy-microhei is not installed");

    QCOMPARE(QApplication::font().family(), QStringLiteral("Microsoft Yahei"));
    QCOMPARE(QApplication::font().pointSize(), 10);
    QCOMPARE(QFontInfo(QApplication::font()).family(), face);

    auto window = buildWindow(QStringLiteral("CN"));
    for (const char *name : toolButtonNames) {
        QToolButton *button = MainWindowDriver::toolButton(window.get(), QLatin1String(name));
        button->ensurePolished();
        QCOMPARE(QFontInfo(button->font()).family(), face);
    }
}

void tst_MainWindow::windowButtons_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<bool>("startMaximised");
    QTest::addColumn<int>("expectedState");

    QTest::newRow("maximise") << QStringLiteral("maxsize") << false << int(Qt::WindowMaximized);
    QTest::newRow("restore") << QStringLiteral("maxsize") << true << int(Qt::WindowNoState);
    QTest::newRow("minimise") << QStringLiteral("minsize") << false << int(Qt::WindowMinimized);
}

void tst_MainWindow::windowButtons()
{
    QFETCH(QString, buttonName);
    QFETCH(bool, startMaximised);
    QFETCH(int, expectedState);

    auto window = buildWindow(QStringLiteral("CN"));
    if (startMaximised)
        window->showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *bar = window->findChild<rFrameLessWidget *>(QStringLiteral("windowButtons"));
    QVERIFY(bar);
    for (const char *name : { "minsize", "maxsize", "close" })
        QVERIFY(bar->findChild<QPushButton *>(QLatin1String(name))->isVisible());
    bar->findChild<QPushButton *>(buttonName)->click();
    QTRY_COMPARE_WITH_TIMEOUT(
        int(window->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)), expectedState,
        5000);
}

void tst_MainWindow::aboutFromSettingMenu_data()
{
    QTest::addColumn<QVariant>("language");
    QTest::newRow("Chinese") << QVariant(QStringLiteral("CN"));
    QTest::newRow("English") << QVariant(QStringLiteral("EN"));
}

void tst_MainWindow::aboutFromSettingMenu()
{
    QFETCH(QVariant, language);

    auto window = buildWindow(language);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    RivexAbout *about = window->aboutPage();
    QVERIFY(about);
    QVERIFY(!about->isVisible());
    QCOMPARE(about->parentWidget(), window.get());

    MainWindowDriver::chooseFromSettingMenu(window.get(), window->aboutAction());
    QTRY_VERIFY_WITH_TIMEOUT(about->isVisible(), 5000);
    QCOMPARE(about->findChild<QLabel *>(QStringLiteral("label_4"))->text(),
             QStringLiteral("RCAN_TOOLS:V1.0.0"));
    QVERIFY(
        !about->findChild<QLabel *>(QStringLiteral("label"))->pixmap(Qt::ReturnByValue).isNull());

    // The title bar's close button hides the window; it can be shown again.
    about->findChild<rFrameLessWidget *>()
        ->findChild<QPushButton *>(QStringLiteral("close"))
        ->click();
    QVERIFY(!about->isVisible());
    MainWindowDriver::chooseFromSettingMenu(window.get(), window->aboutAction());
    QTRY_VERIFY_WITH_TIMEOUT(about->isVisible(), 5000);
    QCOMPARE(window->aboutPage(), about);
    about->hide();
}

void tst_MainWindow::pageButtonShowsTheSamePage_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("device management") << 0;
    QTest::newRow("send data") << 1;
    QTest::newRow("bus utilisation") << 2;
}

void tst_MainWindow::pageButtonShowsTheSamePage()
{
    QFETCH(int, button);

    auto window = buildWindow(QStringLiteral("CN"));
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QToolButton *tool
        = MainWindowDriver::toolButton(window.get(), QLatin1String(toolButtonNames[button]));
    QWidget *before = pageOf(window.get(), button);
    if (!before)
        QSKIP("this page has not joined the main window yet");
    before->hide();

    QTest::mouseClick(tool, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(before->isVisible(), 5000);
    QCOMPARE(pageOf(window.get(), button), before);
    QVERIFY(before->isWindow());

    // A second press only brings the same window back.
    before->showMinimized();
    QTest::mouseClick(tool, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!before->isMinimized(), 5000);
    QCOMPARE(pageOf(window.get(), button), before);
    before->hide();
}

void tst_MainWindow::languageSwitchRebuildsAndKeepsSingleObjects()
{
    MainWindowDriver::clearSettings();
    QList<QPointer<RAZOradurodMainWindow>> windows;
    QStringList languages;
    QList<QObject *> devicePanels;
    QList<bool> earlierWindowsGone;
    SerialControl *serial = SerialControl::instance();
    contextProtocol *protocol = contextProtocol::instance();

    const int code = ApplicationShell::runMainWindows([&](RAZOradurodMainWindow *window) {
        windows << window;
        languages << readSetting(QStringLiteral("Language"), QStringLiteral("EN")).toString();
        devicePanels << window->deviceManagementPage();
        QTimer::singleShot(50, window, [&, window] {
            // By now the event loop runs: the window before the previous restart is gone.
            bool gone = true;
            for (int i = 0; i + 1 < windows.size(); ++i)
                gone = gone && windows.at(i).isNull();
            earlierWindowsGone << gone;
            if (windows.size() < 3)
                MainWindowDriver::chooseFromSettingMenu(window, window->languageAction());
            else
                MainWindowDriver::pressClose(window);
        });
    });
    const QPointer<RAZOradurodMainWindow> last = windows.last();
    delete last;

    QCOMPARE(code, 0);
    QCOMPARE(windows.size(), 3);
    QCOMPARE(languages,
             (QStringList { QStringLiteral("EN"), QStringLiteral("CN"), QStringLiteral("EN") }));
    QCOMPARE(earlierWindowsGone, (QList<bool> { true, true, true }));
    QVERIFY(devicePanels.at(0));
    QCOMPARE(devicePanels.at(1), devicePanels.at(0));
    QCOMPARE(devicePanels.at(2), devicePanels.at(0));
    QCOMPARE(static_cast<QObject *>(DeviceManagement::instance()), devicePanels.at(0));
    QCOMPARE(SerialControl::instance(), serial);
    QCOMPARE(contextProtocol::instance(), protocol);
    QVERIFY(DeviceManagement::instance()->isVisible());
    DeviceManagement::instance()->hide();
}

void tst_MainWindow::closeEndsWithZero()
{
    MainWindowDriver::clearSettings();
    QPointer<RAZOradurodMainWindow> shown;
    const int code = ApplicationShell::runMainWindows([&](RAZOradurodMainWindow *window) {
        shown = window;
        QTimer::singleShot(50, window, [window] { MainWindowDriver::pressClose(window); });
    });
    QCOMPARE(code, 0);
    // Nothing is torn down on close: the window is still there when the loop has ended.
    QVERIFY(shown);
    delete shown;
}

void tst_MainWindow::openDeviceSurvivesLanguageSwitches()
{
    MainWindowDriver::clearSettings();
    VirtualAdapter adapter;
    QString error;
    QVERIFY2(adapter.start(&error), qPrintable(error));
    SerialControl *serial = SerialControl::instance();
    serial->addExtraPort(adapter.slavePath());
    serial->refreshPortList();

    DeviceManagement *panel = DeviceManagement::instance();
    auto *port = panel->findChild<QComboBox *>(QStringLiteral("chose_port"));
    auto *open = panel->findChild<QPushButton *>(QStringLiteral("device_open"));
    auto *close = panel->findChild<QPushButton *>(QStringLiteral("device_close"));
    auto *start = panel->findChild<QPushButton *>(QStringLiteral("channel_control_1"));
    QVERIFY(port && open && close && start);

    // The user's work survives too: filters, time column and both send panels' inputs; a run
    // cut by the rebuild ends like a stop.
    QList<bool> openInWindow;
    QList<bool> channelRunningInWindow;
    QList<QStringList> filters;
    QList<QStringList> inputs;
    QList<bool> runEndedLikeAStop;
    QPointer<RAZOradurodMainWindow> last;
    const int code = ApplicationShell::runMainWindows([&](RAZOradurodMainWindow *window) {
        last = window;
        QTimer::singleShot(50, window, [&, window] {
            tablePanel_Widget *panel = window->sendPage()->panel(1);
            auto *send = panel->findChild<QPushButton *>(QStringLiteral("Button_send"));
            if (openInWindow.isEmpty()) {
                port->setCurrentIndex(port->findText(adapter.slavePath()));
                open->click();
                if (close->isEnabled())
                    start->click();
                CANTableWidget *t = window->receiveView()->table();
                t->channelEdit->setText(QStringLiteral("1"));
                t->typeCombo->setCurrentText(QStringLiteral("EXT"));
                t->dataEdit->setText(QStringLiteral("AB"));
                window->receiveView()
                    ->findChild<QComboBox *>(QStringLiteral("comboBox"))
                    ->setCurrentIndex(1);
                panel->findChild<QComboBox *>(QStringLiteral("canType"))->setCurrentIndex(1);
                panel->findChild<QComboBox *>(QStringLiteral("canDataLength"))->setCurrentIndex(2);
                panel->findChild<QLineEdit *>(QStringLiteral("canID"))
                    ->setText(QStringLiteral("1ABCDEF"));
                panel->findChild<QLineEdit *>(QStringLiteral("canData"))
                    ->setText(QStringLiteral("AB CD"));
                panel->findChild<QSpinBox *>(QStringLiteral("sendTimes"))->setValue(1000000);
                panel->findChild<QSpinBox *>(QStringLiteral("sendInterval"))->setValue(20);
                panel->findChild<QCheckBox *>(QStringLiteral("dataIncrement"))->setChecked(true);
                send->click();
            } else {
                runEndedLikeAStop
                    << (send->text() == tablePanel_Widget::tr("立即发送")
                        && !panel->findChild<QLabel *>(QStringLiteral("label_expendTime"))
                                ->text()
                                .isEmpty());
            }
            filters << filtersShown(window);
            inputs << panelInputs(panel);
            openInWindow << (serial->isOpen() && close->isEnabled());
            channelRunningInWindow << !start->isEnabled();
            if (openInWindow.size() < 3)
                MainWindowDriver::chooseFromSettingMenu(window, window->languageAction());
            else
                MainWindowDriver::pressClose(window);
        });
    });
    delete last;

    QCOMPARE(code, 0);
    QCOMPARE(openInWindow, (QList<bool> { true, true, true }));
    QCOMPARE(channelRunningInWindow, (QList<bool> { true, true, true }));
    QCOMPARE(filters.size(), 3);
    QCOMPARE(filters.at(0),
             (QStringList { QString(), QStringLiteral("1"), QString(), QStringLiteral("2"),
                            QStringLiteral("0"), QString(), QStringLiteral("AB"),
                            QStringLiteral("1") }));
    QCOMPARE(filters.at(1), filters.at(0));
    QCOMPARE(filters.at(2), filters.at(0));
    QCOMPARE(inputs.at(1), inputs.at(0));
    QCOMPARE(inputs.at(2), inputs.at(0));
    QCOMPARE(runEndedLikeAStop, (QList<bool> { true, true }));
    close->click();
    QTRY_VERIFY_WITH_TIMEOUT(!serial->isOpen(), 5000);
    serial->removeExtraPort(adapter.slavePath());
    panel->hide();
}

void tst_MainWindow::pauseSurvivesLanguageSwitches()
{
    MainWindowDriver::clearSettings();
    CAN_DataDisplaySupport *display = CAN_DataDisplaySupport::instance();
    const auto frame = [](quint32 id) {
        QByteArray bytes(13, '\0');
        bytes[0] = 1;
        bytes[1] = char(id);
        emit contextProtocol::instance()->signal_REP_CANFrame(1, bytes, 1000, 0);
    };
    const auto rows = [](RAZOradurodMainWindow *window) {
        return window->receiveView()->table()->tableView->model()->rowCount();
    };
    const auto pauseButton = [](RAZOradurodMainWindow *window) {
        return window->receiveView()->findChild<QPushButton *>(QStringLiteral("Button_pause"));
    };
    // Each window: the pause button's caption as the current language words it, and what the
    // table shows once a frame that came during the pause has been counted.
    QList<bool> pausedInWindow;
    QList<int> rowsInWindow;
    QPointer<RAZOradurodMainWindow> last;
    int received = 1;
    const int code = ApplicationShell::runMainWindows([&](RAZOradurodMainWindow *window) {
        last = window;
        QTimer::singleShot(50, window, [&, window] {
            if (pausedInWindow.isEmpty()) {
                // Nothing left from earlier cases: no filter, no frame.
                CANTableWidget *t = window->receiveView()->table();
                for (QLineEdit *edit : t->findChildren<QLineEdit *>())
                    edit->clear();
                t->typeCombo->setCurrentIndex(0);
                t->dirCombo->setCurrentIndex(0);
                // Any thread may ask; the clear goes ahead of the frames handed in later.
                display->clearHistory();
                frame(0x1);
                QTRY_COMPARE_WITH_TIMEOUT(rows(window), 1, 5000);
                pauseButton(window)->click();
            }
            frame(0x10 + quint32(received));
            ++received;
            // A tick has counted the new frame: a table still running would have taken it.
            QTRY_COMPARE_WITH_TIMEOUT(display->recvCount(), received, 5000);
            QMetaObject::invokeMethod(
                display, [] {}, Qt::BlockingQueuedConnection);
            QCoreApplication::processEvents();
            pausedInWindow << (pauseButton(window)->text() == CANView_Widget::tr("继续"));
            rowsInWindow << rows(window);
            if (pausedInWindow.size() < 3) {
                MainWindowDriver::chooseFromSettingMenu(window, window->languageAction());
            } else {
                pauseButton(window)->click();
                MainWindowDriver::pressClose(window);
            }
        });
    });
    delete last;

    QCOMPARE(code, 0);
    QCOMPARE(pausedInWindow, (QList<bool> { true, true, true }));
    QCOMPARE(rowsInWindow, (QList<int> { 1, 1, 1 }));
    // Resumed in the last window: everything that came meanwhile shows.
    QTRY_COMPARE_WITH_TIMEOUT(display->viewBuff()->get().size(), 4, 5000);
    display->clearHistory();
    QTRY_COMPARE_WITH_TIMEOUT(display->recvCount(), 0, 5000);
}

void tst_MainWindow::replayTakesTheLogTheReceiveViewOpened()
{
    auto window = buildWindow(QStringLiteral("CN"));
    TransmitListWidget *list = window->sendPage()->listPage();
    auto *useOpened = list->findChild<QPushButton *>(QStringLiteral("replayUseOpened"));
    auto *state = list->findChild<QLabel *>(QStringLiteral("replayState"));
    useOpened->click();
    QCOMPARE(state->text(), TransmitListWidget::tr("接收视图未打开日志"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("opened.log"));
    QVERIFY(writeTestFile(path,
                          "(1700000000.000000) can0 123#11\n(1700000000.010000) can1 456#2233\n"
                          "(1700000000.020000) can0 789#\n"));
    CANView_Widget *view = window->receiveView();
    view->setUserPrompts([](const QString &) {}, [](const QString &) { return true; });
    QSignalSpy opened(view->logLoader(), &LogLoader::finished);
    view->openLogFile(path);
    QVERIFY(opened.wait(10000));
    QSignalSpy loaded(list, &TransmitListWidget::replayLogLoaded);
    useOpened->click();
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.first().first().toBool(), true);
    QCOMPARE(list->replayFrameCount(), 3);
    QVERIFY(list->findChild<QLabel *>(QStringLiteral("replayFile"))
                ->text()
                .startsWith(QStringLiteral("opened.log")));
}

void tst_MainWindow::terminationDuringAStartMessageEndsTheProgram()
{
    // As `rcan-tools FILE` with a file that cannot be read: a message box waits in a loop of its
    // own when the request to terminate comes.
    MainWindowDriver::clearSettings();
    bool lost = false;
    QPointer<RAZOradurodMainWindow> shown;
    const int code = ApplicationShell::runMainWindows([&](RAZOradurodMainWindow *window) {
        shown = window;
        // Ends the main loop should the request be lost, so that the failure shows.
        QTimer::singleShot(10000, window, [&] {
            lost = true;
            QCoreApplication::exit(0);
        });
        QEventLoop message;
        QTimer::singleShot(0, &message, [] { ::raise(SIGTERM); });
        message.exec();
    });
    QCOMPARE(code, 0);
    QVERIFY(!lost);
    delete shown;
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
