#include "generallyframesendwidget.h"

#include "ui_generallyframesendwidget.h"

#include "app/widgets/rframelesswidget.h"
#include "device/devicemanagement.h"
#include "send/tablepanel_widget.h"
#include "send/transmitlistwidget.h"

#include <QStatusBar>
#include <QVector>

namespace {
// Inputs kept across a rebuild of the main window, taken by the next send page.
QVector<tablePanel_Widget::Inputs> keptInputs;

const char *const TabStyle
    = "QTabWidget:pane{border: 1px solid #006699;border-bottom-color: none;border-left-color: "
      "none;border-right-color: none; top: -2px}QTabBar::tab{min-width:230px;margin-top: "
      "3px;margin-bottom: 2px;min-height:30px;font:14px;color: #000000;border: 1px "
      "solid;border-color:#6495ED;border-top-right-radius:5px;border-top-left-radius:5px;"
      "background-color:#ffffff;}QTabBar::tab:selected{min-width:230px;margin-top: "
      "3px;margin-bottom: 2px;min-height:30px;font:14px;color: #ffffff;border: 1px "
      "solid;border-color:#6495ED;border-top-right-radius:5px;border-top-left-radius:5px;"
      "background-color:#87CEFA;}";
} // namespace

generallyFrameSendWidget::generallyFrameSendWidget(QWidget *parent)
    : RborderWidget(parent)
    , ui(new Ui::generallyFrameSendWidget)
{
    ui->setupUi(this);

    statusBar = new QStatusBar(this);
    statusBar->setMaximumHeight(10);
    ui->gridLayout->addWidget(statusBar, 2, 0);

    framePanel1 = new tablePanel_Widget;
    framePanel2 = new tablePanel_Widget;
    ui->tabWidget->addTab(framePanel1, QStringLiteral("Tab"));
    ui->tabWidget->addTab(framePanel2, QStringLiteral("Tab"));
    // The list keeps itself in the settings, so a rebuilt window shows it again.
    transmitList = new TransmitListWidget;
    ui->tabWidget->addTab(transmitList, tr("列表发送"));
    ui->tabWidget->setStyleSheet(QLatin1String(TabStyle));
    if (keptInputs.size() == 2) {
        framePanel1->restoreInputs(keptInputs.at(0));
        framePanel2->restoreInputs(keptInputs.at(1));
    }
    keptInputs.clear();

    titleBar = new rFrameLessWidget(this, tr(" CAN发送"), 15, QColor(0, 66, 99));
    titleBar->setMaximumHeight(35);
    ui->horizontalLayout->addWidget(titleBar);

    setWindowModality(Qt::NonModal);

    connect(titleBar, &rFrameLessWidget::Signal_Close, this, &QWidget::hide);
    connect(titleBar, &rFrameLessWidget::Signal_MinSize, this, &QWidget::hide);
    connect(titleBar, &rFrameLessWidget::Signal_MaxSize, this, &QWidget::showMaximized);
    connect(titleBar, &rFrameLessWidget::Signal_NormalSize, this, &QWidget::showNormal);
    connect(DeviceManagement::instance(), &DeviceManagement::signals_deviceModelCommand, this,
            &generallyFrameSendWidget::onDeviceModelChanged);
}

generallyFrameSendWidget::~generallyFrameSendWidget()
{
    delete ui;
}

void generallyFrameSendWidget::keepForRebuild()
{
    keptInputs = { framePanel1->takeInputsStoppingRun(), framePanel2->takeInputsStoppingRun() };
    transmitList->keepForRebuild();
}

void generallyFrameSendWidget::onDeviceModelChanged(const QString &model)
{
    const QString title = model.isEmpty() ? QStringLiteral("Tab") : tr("已连接设备：") + model;
    ui->tabWidget->setTabText(0, title);
    ui->tabWidget->setTabText(1, title);
}
