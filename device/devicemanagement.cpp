#include "devicemanagement.h"

#include "canbaudratecalculator.h"
#include "link/serialcontrol.h"
#include "protocol/bittiming.h"
#include "protocol/common.h"
#include "protocol/contextprotocol.h"
#include "ui_devicemanagement.h"

#include "app/settings.h"
#include "app/widgets/rframelesswidget.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QIcon>
#include <QTimer>

#include <iterator>

namespace {
// One per user operation, shared by both channels where the operation is per channel: the
// response waits process events, so a second click would otherwise re-enter.
bool openBusy = false;
bool closeBusy = false;
bool startBusy = false;
bool stopBusy = false;

constexpr int FirstWaitMs = 10;
constexpr int FurtherWaits = 19;
constexpr int CloseTries = 3;
constexpr int CloseRetryMs = 50;

// The box's texts for the standard rates, in the order of their timing codes.
constexpr const char *StandardRateTexts[] = {
    QT_TRANSLATE_NOOP("DeviceManagement", "1000kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "800kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "500kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "250kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "125kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "100kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "50kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "20kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "10kbps"),
    QT_TRANSLATE_NOOP("DeviceManagement", "5kbps"),
};
static_assert(std::size(StandardRateTexts) == std::size(BitTiming::StandardRates),
              "a text for every standard rate");
// The standard rates and "custom".
constexpr int StandardItemCount = int(std::size(StandardRateTexts)) + 1;

QByteArray littleEndian(int code)
{
    QByteArray value;
    Wire::appendU32(value, quint32(code));
    return value;
}
} // namespace

DeviceManagement *DeviceManagement::instance()
{
    static DeviceManagement *panel = new DeviceManagement;
    return panel;
}

DeviceManagement::DeviceManagement()
    : RborderWidget(nullptr)
    , ui(new Ui::DeviceManagement)
{
    ui->setupUi(this);
    setFixedSize(550, 400);

    titleBar = new rFrameLessWidget(this, tr(" 设备管理"), 9, QColor(0, 66, 99));
    ui->horizontalLayout->addWidget(titleBar);
    connect(titleBar, &rFrameLessWidget::Signal_Close, this, &QWidget::hide);

    ui->chose_port->clear();
    ui->chose_port->addItems(SerialControl::instance()->availablePorts());

    ui->channelClose1->setEnabled(false);
    ui->channelClose1_2->setEnabled(false);
    ui->device_close->setEnabled(false);

    fillBaudBox(ui->baud_1, QStringLiteral("CBAUDNAME1"), QStringLiteral("CBAUDRATE1"));
    fillBaudBox(ui->baud_2, QStringLiteral("CBAUDNAME2"), QStringLiteral("CBAUDRATE2"));

    ui->stackedWidget->hide();

    if (!calculator)
        calculator = new CANbaudRateCalculator(this);
    contextProtocol *codec = contextProtocol::instance();
    SerialControl *serial = SerialControl::instance();

    connect(this, &DeviceManagement::signals_serialSocketOpen, serial,
            &SerialControl::serialSocketOpen, Qt::BlockingQueuedConnection);
    connect(this, &DeviceManagement::signals_serialSocketClose, serial,
            &SerialControl::serialSocketClose, Qt::BlockingQueuedConnection);
    connect(this, &DeviceManagement::signals_serialSocketSend, serial,
            &SerialControl::serialSocketSend, Qt::QueuedConnection);
    connect(serial, &SerialControl::Signal_Host_SerialRefresh, this,
            &DeviceManagement::ON_Host_SerialRefresh_Hander);

    connect(codec, &contextProtocol::signal_RSP_DeviceOpen, this,
            &DeviceManagement::deviceOpenResponse);
    connect(codec, &contextProtocol::signal_RSP_DeviceClose, this,
            &DeviceManagement::closeCompleted);
    connect(codec, &contextProtocol::signal_RSP_BaudRateConfig, this,
            &DeviceManagement::baudConfigResponse);
    connect(calculator, &CANbaudRateCalculator::user_BaudRateConfirmed, this,
            &DeviceManagement::userBaudConfirmed);
    // Connected only now so that restoring the stored choice never opens the calculator.
    connect(ui->baud_1, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DeviceManagement::onBaud1IndexChanged);
    connect(ui->baud_2, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DeviceManagement::onBaud2IndexChanged);
}

DeviceManagement::~DeviceManagement()
{
    delete ui;
}

void DeviceManagement::showEvent(QShowEvent *event)
{
    RborderWidget::showEvent(event);
    // At start-up the main window is mapped after this panel and would cover it while the
    // panel, being modal, blocks the main window; bring it back on top once the loop runs.
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
}

void DeviceManagement::fillBaudBox(QComboBox *box, const QString &nameKey, const QString &codeKey)
{
    for (std::size_t i = 0; i < std::size(StandardRateTexts); ++i)
        box->addItem(QIcon(), tr(StandardRateTexts[i]), int(BitTiming::StandardRates[i].code));
    box->addItem(QIcon(), tr("自定义"), 0);

    const QString name = readSetting(nameKey, QStringLiteral("1000kbps")).toString();
    if (!name.contains(QLatin1String("UserBaud"))) {
        const int index = box->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            box->setCurrentIndex(index);
        return;
    }
    box->addItem(name, readSetting(codeKey, 0).toInt());
    box->setCurrentIndex(box->count() - 1);
}

bool DeviceManagement::waitForResponse(bool &waiting)
{
    waiting = true;
    common::delayMsec(FirstWaitMs);
    for (int i = 0; i < FurtherWaits && waiting; ++i)
        common::delayMsec(FirstWaitMs);
    return !waiting;
}

void DeviceManagement::on_device_open_clicked()
{
    if (openBusy)
        return;
    const QString portName = ui->chose_port->currentText();
    if (portName.isEmpty())
        return;
    openBusy = true;
    // A port that did not open simply never answers; its reason is only kept for the user.
    emit signals_serialSocketOpen(portName);
    QString reason;
    const QSerialPort::SerialPortError error = SerialControl::instance()->lastOpenError(&reason);
    reportedChannels = 0;
    emit signals_serialSocketSend(contextProtocol::buildDeviceOpen());
    if (!waitForResponse(deviceOpenWaiting)) {
        emit signals_serialSocketClose();
        const uchar channels = reportedChannels;
        if (error != QSerialPort::NoError)
            setStatus([=] { return portFailure(portName, error, reason); });
        else if (channels != 0)
            setStatus([=] {
                return tr("%1 上的设备报告 %2 个通道；本程序只支持两通道的 RCAN-U01。")
                    .arg(portName)
                    .arg(int(channels));
            });
        else
            setStatus([=] {
                return tr("%1 上的设备没有应答打开命令。请检查适配器是否已插好、端口是否选对。")
                    .arg(portName);
            });
    }
    deviceOpenWaiting = false;
    openBusy = false;
}

QString DeviceManagement::portFailure(const QString &port,
                                      QSerialPort::SerialPortError error,
                                      const QString &reason)
{
    // The system's own reason follows the host's locale, usually English; our phrase in front
    // keeps the line readable in the program's language.
    QString cause;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        cause = tr("端口不存在");
        break;
    case QSerialPort::PermissionError:
        cause = tr("没有权限或已被占用");
        break;
    case QSerialPort::OpenError:
        cause = tr("端口已经打开");
        break;
    default:
        cause = tr("系统错误");
        break;
    }
    const QString detail = reason.isEmpty() ? cause : tr("%1（%2）").arg(cause, reason);
    // The port layer cannot tell missing rights from a port held by another program.
    if (error == QSerialPort::PermissionError)
        return tr("无法打开串口 %1：%2。若是没有访问权限，请按 README 安装 udev 规则 "
                  "70-rcan-tools.rules 后重新插入适配器；该端口也可能正被其他程序占用。")
            .arg(port, detail);
    return tr("无法打开串口 %1：%2。").arg(port, detail);
}

void DeviceManagement::setStatus(std::function<QString()> text)
{
    status = std::move(text);
    ui->statusLine->setText(statusText());
}

QString DeviceManagement::statusText() const
{
    return status ? status() : QString();
}

QString DeviceManagement::rateText(uchar channel) const
{
    return (channel == 1 ? ui->baud_1 : ui->baud_2)->currentText();
}

void DeviceManagement::deviceOpenResponse(uchar deviceType, uchar channelNums, QString deviceMode)
{
    Q_UNUSED(deviceType)
    if (deviceOpenWaiting && channelNums != 2)
        reportedChannels = channelNums;
    if (!deviceOpenWaiting || channelNums != 2)
        return;
    setStatus({});
    ui->stackedWidget->show();
    ui->chose_port->setEnabled(false);
    ui->device_open->setEnabled(false);
    ui->device_close->setEnabled(true);
    deviceOpenWaiting = false;
    connectedPortName = ui->chose_port->currentText();
    deviceModel = deviceMode;
    emit signals_deviceModelCommand(deviceModel);
}

void DeviceManagement::on_device_close_clicked()
{
    if (closeBusy)
        return;
    if (ui->device_open->isEnabled())
        return;
    closeBusy = true;
    deviceCloseWaiting = true;
    for (int attempt = 0; attempt < CloseTries; ++attempt) {
        emit signals_serialSocketSend(contextProtocol::buildDeviceClose());
        common::delayMsec(CloseRetryMs);
        if (!deviceCloseWaiting)
            break;
    }
    // An adapter that never answers is treated as closed all the same.
    if (deviceCloseWaiting)
        closeCompleted();
    setStatus({});
    closeBusy = false;
}

void DeviceManagement::closeBeforeExit(int budgetMs)
{
    if (ui->device_open->isEnabled())
        return;
    const QDeadlineTimer deadline(budgetMs);
    for (uchar channel : { uchar(1), uchar(2) }) {
        if (channel == 1 ? channel1State : channel2State)
            emit signals_serialSocketSend(
                contextProtocol::buildBaudRateConfig(channel, littleEndian(0)));
    }
    // The adapter handles commands in order: once the close is answered, the stops are done.
    deviceCloseWaiting = true;
    for (int attempt = 0; attempt < CloseTries && deviceCloseWaiting && !deadline.hasExpired();
         ++attempt) {
        emit signals_serialSocketSend(contextProtocol::buildDeviceClose());
        common::delayMsec(int(qMin<qint64>(CloseRetryMs, deadline.remainingTime())));
    }
    if (deviceCloseWaiting)
        closeCompleted();
}

void DeviceManagement::closeCompleted()
{
    if (!deviceCloseWaiting)
        return;
    ui->stackedWidget->hide();
    ui->chose_port->setEnabled(true);
    ui->device_open->setEnabled(true);
    ui->device_close->setEnabled(false);
    deviceCloseWaiting = false;
    ui->channelClose1->setEnabled(false);
    ui->channel_control_1->setEnabled(true);
    ui->channelClose1_2->setEnabled(false);
    ui->channel_control_2->setEnabled(true);
    channel1State = false;
    channel2State = false;
    ui->baud_1->setEnabled(true);
    ui->baud_2->setEnabled(true);
    deviceModel.clear();
    emit signals_channelStateChanged(false, tr("通道1"));
    emit signals_channelStateChanged(false, tr("通道2"));
    emit signals_serialSocketClose();
    emit signals_deviceModelCommand(QString());
}

void DeviceManagement::on_channel_control_1_clicked()
{
    startChannel(1, ui->baud_1, QStringLiteral("CBAUDRATE1"), QStringLiteral("CBAUDNAME1"));
}

void DeviceManagement::on_channel_control_2_clicked()
{
    startChannel(2, ui->baud_2, QStringLiteral("CBAUDRATE2"), QStringLiteral("CBAUDNAME2"));
}

void DeviceManagement::startChannel(uchar channel,
                                    QComboBox *box,
                                    const QString &codeKey,
                                    const QString &nameKey)
{
    const int code = box->currentData().toInt();
    if (code == 0) {
        showCalculatorFor(box);
        return;
    }
    // Remembered as soon as the user asks, whatever the adapter then says.
    writeSetting(codeKey, code);
    writeSetting(nameKey, box->currentText());
    requestBaudConfig(channel, code);
}

void DeviceManagement::requestBaudConfig(uchar channel, int code)
{
    if (startBusy || (startGuard && !startGuard()))
        return;
    startBusy = true;
    emit signals_serialSocketSend(
        contextProtocol::buildBaudRateConfig(channel, littleEndian(code)));
    baudConfigChannel = channel;
    baudRefused = false;
    if (!waitForResponse(baudConfigWaiting)) {
        qDebug() << "req_BaudConfig_states_time_out";
        const QString rate = rateText(channel);
        if (baudRefused)
            setStatus([=] { return tr("通道%1 拒绝了波特率 %2。").arg(int(channel)).arg(rate); });
        else
            setStatus([=] {
                return tr("适配器没有应答通道%1 的波特率 %2 设置。").arg(int(channel)).arg(rate);
            });
    }
    baudConfigWaiting = false;
    startBusy = false;
}

void DeviceManagement::on_channelClose1_clicked()
{
    requestChannelClose(1);
}

void DeviceManagement::on_channelClose1_2_clicked()
{
    requestChannelClose(2);
}

void DeviceManagement::requestChannelClose(uchar channel)
{
    if (stopBusy)
        return;
    stopBusy = true;
    emit signals_serialSocketSend(contextProtocol::buildBaudRateConfig(channel, littleEndian(0)));
    channelCloseChannel = channel;
    if (!waitForResponse(channelCloseWaiting)) {
        qDebug() << "req_BaudConfig_states_time_out";
        setStatus([=] {
            return tr("适配器没有应答通道%1 的关闭命令，通道仍在运行。").arg(int(channel));
        });
    }
    channelCloseWaiting = false;
    stopBusy = false;
}

void DeviceManagement::setChannelStarted(uchar channel, bool started)
{
    const bool first = channel == 1;
    (first ? ui->channelClose1 : ui->channelClose1_2)->setEnabled(started);
    (first ? ui->channel_control_1 : ui->channel_control_2)->setEnabled(!started);
    (first ? channel1State : channel2State) = started;
    (first ? ui->baud_1 : ui->baud_2)->setEnabled(!started);
    emit signals_channelStateChanged(started, first ? tr("通道1") : tr("通道2"));
}

void DeviceManagement::baudConfigResponse(uchar channel, bool state)
{
    if (channel != 1 && channel != 2)
        return;
    if (baudConfigWaiting && channel == baudConfigChannel && !state)
        baudRefused = true;
    if (baudConfigWaiting && channel == baudConfigChannel && state) {
        setChannelStarted(channel, true);
        setStatus({});
        baudConfigWaiting = false;
        baudConfigChannel = 0;
        qDebug() << "req_BaudConfig_states_Sucess";
        return;
    }
    // A stop counts as done whatever the adapter reports: the channel is of no use either way.
    if (channelCloseWaiting && channel == channelCloseChannel) {
        setChannelStarted(channel, false);
        setStatus({});
        channelCloseWaiting = false;
        channelCloseChannel = 0;
        qDebug() << "req_channelClose_Sucess";
    }
}

void DeviceManagement::showCalculatorFor(QComboBox *box)
{
    calculator->show();
    userBaudTarget = box;
}

void DeviceManagement::onBaud1IndexChanged(int index)
{
    if (ui->baud_1->itemData(index).toInt() == 0)
        showCalculatorFor(ui->baud_1);
}

void DeviceManagement::onBaud2IndexChanged(int index)
{
    if (ui->baud_2->itemData(index).toInt() == 0)
        showCalculatorFor(ui->baud_2);
}

void DeviceManagement::userBaudConfirmed(int baud, int regsCode)
{
    if (!userBaudTarget)
        return;
    if (userBaudTarget->count() > StandardItemCount)
        userBaudTarget->removeItem(userBaudTarget->count() - 1);
    userBaudTarget->addItem(
        QLatin1String("UserBaud-") + QString::number(baud) + QLatin1String("kbps"), regsCode);
    userBaudTarget->setCurrentIndex(userBaudTarget->count() - 1);
}

void DeviceManagement::ON_Host_SerialRefresh_Hander(QList<QString> *list)
{
    if (!list)
        return;
    if (!ui->chose_port->isEnabled() && !list->contains(connectedPortName)) {
        deviceCloseWaiting = true;
        qDebug().noquote() << QStringLiteral("Port_ConnectedName:") + connectedPortName;
        closeCompleted();
        const QString port = connectedPortName;
        setStatus([=] { return tr("适配器已拔出（串口 %1 已消失），设备已关闭。").arg(port); });
    }
    if (!ui->chose_port->isEnabled())
        return;
    ui->chose_port->clear();
    ui->chose_port->addItems(*list);
}

void DeviceManagement::retranslate()
{
    ui->retranslateUi(this);
    calculator->retranslate();
    emit signals_deviceModelCommand(deviceModel);
    for (QComboBox *box : { ui->baud_1, ui->baud_2 }) {
        const int index = box->findData(0);
        if (index >= 0)
            box->setItemText(index, tr("自定义"));
    }
    titleBar->setTitle(tr(" 设备管理"));
    ui->statusLine->setText(statusText());
    emit signals_channelStateChanged(channel1State, tr("通道1"));
    emit signals_channelStateChanged(channel2State, tr("通道2"));
}
