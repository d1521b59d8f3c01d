#include "app/razoradurodmainwindow.h"

#include "app/checkedtranslator.h"
#include "app/qttranslation.h"
#include "app/rivexabout.h"
#include "app/runtimefiles.h"
#include "app/settings.h"
#include "app/widgets/historysizedialog.h"
#include "app/widgets/rframelesswidget.h"
#include "app/widgets/rtitle.h"
#include "busload/occupancyrate_widget.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/canview_widget.h"
#include "display/databasesmodel.h"
#include "display/databaseswindow.h"
#include "display/signalhub.h"
#include "display/signalwindows.h"
#include "send/generallyframesendwidget.h"
#include "send/transmitlistwidget.h"
#include "ui_razoradurodmainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QMenu>
#include <QThread>
#include <QToolButton>
#include <QTranslator>

RAZOradurodMainWindow::RAZOradurodMainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    ui = new Ui::RAZOradurodMainWindow;
    installLanguage();
    ui->setupUi(this);
    setWindowIcon(QIcon(RuntimeFiles::locate(QStringLiteral("resource/favicon.ico"))));
    buildBand();
    buildPages();
    qDebug() << "RAZOradurodMainWindow:>>Thread-ID:" << QThread::currentThreadId();
}

RAZOradurodMainWindow::~RAZOradurodMainWindow()
{
    QCoreApplication::removeTranslator(m_translator);
    delete m_translator;
    QCoreApplication::removeTranslator(m_qtTranslator);
    delete m_qtTranslator;
    delete ui;
}

void RAZOradurodMainWindow::installLanguage()
{
    const QString lang = readSetting(QStringLiteral("Language"), QStringLiteral("EN")).toString();
    qDebug() << lang;
    auto *translator = new CheckedTranslator;
    m_translator = translator;
    // A missing or damaged file leaves the built-in Chinese texts, which is all the user would
    // need to notice.
    if (lang == QLatin1String("EN")) {
        const QString path = RuntimeFiles::locate(QStringLiteral("language/Language_EN.qm"));
        QString why;
        if (translator->loadChecked(path, &why))
            QCoreApplication::installTranslator(m_translator);
        else
            qDebug().noquote() << "translation not used:" << path << why;
    }
    installQtTranslation(lang);
}

void RAZOradurodMainWindow::installQtTranslation(const QString &lang)
{
    m_qtTranslator = new QTranslator;
    if (lang != QLatin1String("EN") && QtTranslation::loadChinese(m_qtTranslator))
        QCoreApplication::installTranslator(m_qtTranslator);
}

void RAZOradurodMainWindow::buildBand()
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);

    m_logo = new Rtitle(this);
    ui->gridLayout_6->addWidget(m_logo);

    QToolButton *manage = addToolButton(tr("设备管理"), QStringLiteral("bar_manageV2.png"),
                                        QStringLiteral("bar_manageV1.jpg"), false);
    manage->setObjectName(QStringLiteral("toolButton_DeviceManagement"));
    manage->setDefaultAction(new QAction(tr("设备管理"), manage));
    connect(manage, &QToolButton::triggered, this,
            &RAZOradurodMainWindow::ON_ToolBarTriggered_DeviceManagementHander);

    QToolButton *send = addToolButton(tr("发送数据"), QStringLiteral("bar_sendV2.png"),
                                      QStringLiteral("bar_sendV1.jpg"), true);
    send->setObjectName(QStringLiteral("toolButton_MessageSend"));
    send->setDefaultAction(new QAction(tr("发送数据"), send));
    connect(send, &QToolButton::triggered, this,
            &RAZOradurodMainWindow::ON_ToolBarTriggered_MessageSendHander);

    QToolButton *busratio = addToolButton(tr("总线利用率"), QStringLiteral("bar_prectV2.png"),
                                          QStringLiteral("bar_prectV1.jpg"), true);
    busratio->setObjectName(QStringLiteral("toolButton_Busratio"));
    busratio->setDefaultAction(new QAction(tr("总线利用率"), busratio));
    connect(busratio, &QToolButton::triggered, this,
            &RAZOradurodMainWindow::ON_ToolBarTriggered_BusratioHander);

    // Decoded signals: the watch, and plots of the signals picked there.
    m_signalWindows = new SignalWindows(this);
    QToolButton *signalsButton = addToolButton(tr("信号"), QStringLiteral("bar_prectV2.png"),
                                               QStringLiteral("bar_prectV1.jpg"), true);
    signalsButton->setObjectName(QStringLiteral("toolButton_Signals"));
    auto *signalsMenu = new QMenu(signalsButton);
    QAction *databases = signalsMenu->addAction(tr("CAN数据库..."));
    databases->setObjectName(QStringLiteral("databasesAction"));
    connect(databases, &QAction::triggered, this, [this] {
        auto *window = findChild<DatabasesWindow *>();
        if (!window)
            window = new DatabasesWindow(SignalHub::instance()->databases(), this);
        window->showNormal();
    });
    signalsMenu->addAction(tr("信号监视"), m_signalWindows, &SignalWindows::showWatch)
        ->setObjectName(QStringLiteral("signalWatchAction"));
    signalsMenu->addAction(tr("信号曲线"), m_signalWindows, &SignalWindows::showPlot)
        ->setObjectName(QStringLiteral("signalPlotAction"));
    signalsButton->setMenu(signalsMenu);
    // Beside the band of the four page buttons, which keeps its fixed width.
    ui->horizontalLayout->removeWidget(signalsButton);
    ui->horizontalLayout_2->addWidget(signalsButton);

    QToolButton *setting = addToolButton(tr("设置&帮助"), QStringLiteral("bar_helpV2.png"),
                                         QStringLiteral("bar_helpv1.jpg"), true);
    setting->setObjectName(QStringLiteral("toolButton_Setting"));
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("settingMenu"));
    // The entry names the language it leads to; Chinese shows when no English is installed.
    const bool english = readSetting(QStringLiteral("Language"), QStringLiteral("EN")).toString()
        == QLatin1String("EN");
    m_languageAction = menu->addAction(english ? tr("切换到中文") : tr("切换到英文"));
    m_languageAction->setObjectName(QStringLiteral("languageAction"));
    m_historySizeAction = menu->addAction(tr("历史记录容量..."));
    m_historySizeAction->setObjectName(QStringLiteral("historySizeAction"));
    m_aboutAction = menu->addAction(tr("关于"));
    m_aboutAction->setObjectName(QStringLiteral("aboutAction"));
    setting->setMenu(menu);
    connect(setting, &QToolButton::triggered, this,
            &RAZOradurodMainWindow::ON_ToolBarTriggered_SettingHander);
    ui->horizontalLayout->addStretch();

    m_windowButtons = new rFrameLessWidget(this, QString(), 15, QColor(0, 77, 126));
    m_windowButtons->setObjectName(QStringLiteral("windowButtons"));
    m_windowButtons->show();
    ui->horizontalLayout_2->addWidget(m_windowButtons);
    connect(m_windowButtons, &rFrameLessWidget::Signal_MaxSize, this,
            [this] { setWindowState(Qt::WindowMaximized); });
    connect(m_windowButtons, &rFrameLessWidget::Signal_MinSize, this,
            [this] { setWindowState(Qt::WindowMinimized); });
    connect(m_windowButtons, &rFrameLessWidget::Signal_NormalSize, this,
            &RAZOradurodMainWindow::showNormal);
    connect(m_windowButtons, &rFrameLessWidget::Signal_Close, this,
            [] { QCoreApplication::exit(0); });

    QPalette pal = palette();
    pal.setColor(QPalette::All, QPalette::Window, QColor(0, 77, 126));
    setPalette(pal);
    setAutoFillBackground(true);
}

QToolButton *RAZOradurodMainWindow::addToolButton(const QString &name,
                                                  const QString &image,
                                                  const QString &hoverImage,
                                                  bool leftBorder)
{
    auto *button = new QToolButton(this);
    // A caption's "&" is meant to be seen, not to make the next character a shortcut.
    button->setText(QString(name).replace(QLatin1Char('&'), QLatin1String("&&")));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setStyleSheet(
        QStringLiteral("QToolButton{font-family:Microsoft Yahei;font-size:10pt;color:#ffffff;"
                       "min-width:124px;min-height:80px;background-image:url(:images2/")
        + image + QStringLiteral(");border-top:1px solid #004d7e;border-right:1px solid #2e6d95;")
        + (leftBorder ? QStringLiteral("border-left:1px solid #2e6d95;") : QString())
        + QStringLiteral("background-repeat:no-repeat;background-position:top; padding-top:18px;}"
                         "QToolButton:hover{min-width:124px;min-height:80px;"
                         "background-image:url(:images2/")
        + hoverImage
        + QStringLiteral(");border-top:1px solid #004d7e;background-repeat:no-repeat;"
                         "background-position:top; padding-top:18px;}"));
    ui->horizontalLayout->addWidget(button);
    return button;
}

// The pages, in the order the program comes up: the device management panel first (it brings
// the protocol codec and the serial link), then the receive view (display buffer and log
// writer), then the send window (its transmit schedulers), the bus load page and the about page.
// Each is created only if not there yet, as the tool buttons do.
void RAZOradurodMainWindow::buildPages()
{
    if (!m_deviceManagement)
        m_deviceManagement = DeviceManagement::instance();

    if (!m_canView) {
        m_canView = new CANView_Widget(this);
        ui->gridLayout_3->addWidget(m_canView);
        m_canView->show();
    }
    m_signalWindows->feedFromHistory();

    // The device management window opens beside the main window at every start.
    m_deviceManagement->showNormal();

    if (!m_sendPage)
        m_sendPage = new generallyFrameSendWidget(this);
    // Replay can play the log the receive view shows.
    m_sendPage->listPage()->setOpenedLogSource(
        [this] { return m_canView ? m_canView->shownFile() : QString(); });
    if (!m_busLoad)
        m_busLoad = new OccupancyRate_Widget(this);

    if (!m_about)
        m_about = new RivexAbout(this);

    // The databases outlive main windows; only the first one reads them from the settings.
    DatabaseSet *databases = SignalHub::instance()->databases();
    if (databases->entries().isEmpty())
        DatabasesModel::restore(databases);

    // The panel outlives main windows: its texts follow the translator just installed.
    m_deviceManagement->retranslate();
}

void RAZOradurodMainWindow::ON_ToolBarTriggered_DeviceManagementHander(QAction *action)
{
    Q_UNUSED(action)
    if (!m_deviceManagement)
        m_deviceManagement = DeviceManagement::instance();
    m_deviceManagement->showNormal();
}

void RAZOradurodMainWindow::ON_ToolBarTriggered_MessageSendHander(QAction *action)
{
    Q_UNUSED(action)
    if (!m_sendPage)
        m_sendPage = new generallyFrameSendWidget(this);
    m_sendPage->showNormal();
}

void RAZOradurodMainWindow::ON_ToolBarTriggered_BusratioHander(QAction *action)
{
    Q_UNUSED(action)
    if (!m_busLoad)
        m_busLoad = new OccupancyRate_Widget(this);
    m_busLoad->showNormal();
}

void RAZOradurodMainWindow::ON_ToolBarTriggered_SettingHander(QAction *action)
{
    if (action == m_languageAction)
        switchLanguage();
    else if (action == m_aboutAction)
        m_about->showNormal();
    else if (action == m_historySizeAction)
        showHistorySize();
}

void RAZOradurodMainWindow::showHistorySize()
{
    if (!m_historySize)
        m_historySize = new HistorySizeDialog(CAN_DataDisplaySupport::instance(), this);
    m_historySize->showForCurrentSize();
}

void RAZOradurodMainWindow::switchLanguage()
{
    const QString current
        = readSetting(QStringLiteral("Language"), QStringLiteral("EN")).toString();
    const QString next
        = current == QLatin1String("CN") ? QStringLiteral("EN") : QStringLiteral("CN");
    writeSetting(QStringLiteral("Language"), next);
    // The user's work on the send page outlives the window being rebuilt.
    m_sendPage->keepForRebuild();
    QCoreApplication::removeTranslator(m_translator);
    QCoreApplication::removeTranslator(m_qtTranslator);
    QCoreApplication::exit(RestartCode);
}
