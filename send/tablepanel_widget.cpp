#include "tablepanel_widget.h"

#include "ui_tablepanel_widget.h"

#include "app/widgets/rpushbutton.h"
#include "device/devicemanagement.h"
#include "send/keyboard.h"
#include "send/signalcomposerwindow.h"
#include "send/transmitlistwidget.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {
constexpr int StandardDigits = 3;
constexpr int ExtendedDigits = 8;
constexpr int SpinMaximum = 99999999;
constexpr int IntervalLimit = 100000;
constexpr int TimesLimit = 1000000;
} // namespace

tablePanel_Widget::tablePanel_Widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::tablePanel_Widget)
{
    ui->setupUi(this);

    ui->canType->addItem(tr("标准帧"), 0);
    ui->canType->addItem(tr("扩展帧"), 0x80);
    ui->canFormat->addItem(tr("数据帧"), 0);
    ui->canFormat->addItem(tr("远程帧"), 0x40);
    for (int length = 0; length <= 8; ++length)
        ui->canDataLength->addItem(QString::number(length), length);
    ui->canDataLength->setCurrentIndex(8);

    ui->sendTimes->setMinimum(1);
    ui->sendTimes->setMaximum(SpinMaximum);
    ui->sendInterval->setMinimum(0);
    ui->sendInterval->setMaximum(SpinMaximum);
    ui->sendInterval->setValue(1);

    ui->canName->setMaxLength(20);
    ui->canID->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[0-9a-fA-F]+$")), ui->canID));
    ui->canName->hide();
    ui->label_10->hide();

    sendScheduler = new Trans_canSendSupport(&params, &frameDesc);
    connect(this, &tablePanel_Widget::signal_CANSendCommand, sendScheduler,
            &Trans_canSendSupport::On_SendCommand_Hander);
    connect(sendScheduler, &Trans_canSendSupport::signal_Trans_End, this,
            &tablePanel_Widget::onTransEnd);
    connect(DeviceManagement::instance(), &DeviceManagement::signals_channelStateChanged, this,
            &tablePanel_Widget::onChannelStateChanged);

    ui->groupBox_2->hide();
    ui->Button_add->hide();

    // The fields can be filled from a database message's signal values.
    auto *fromDatabase = new RPushButton(this);
    fromDatabase->setObjectName(QStringLiteral("panelFromDatabase"));
    fromDatabase->setText(tr("从数据库..."));
    ui->gridLayout_group->addWidget(fromDatabase, 3, 5, 1, 2);
    connect(fromDatabase, &QPushButton::clicked, this, [this] {
        auto *composer = findChild<SignalComposerWindow *>();
        if (!composer) {
            composer = new SignalComposerWindow(this);
            composer->setActionText(tr("填入发送面板"));
            connect(composer, &SignalComposerWindow::entryComposed, this,
                    [this, composer](const TransmitEntry &entry) {
                        fillFrom(entry);
                        composer->hide();
                    });
        }
        composer->showNormal();
    });
}

void tablePanel_Widget::fillFrom(const TransmitEntry &entry)
{
    // Type and length first: they bound what the identifier and data fields accept.
    ui->canType->setCurrentIndex(entry.extended ? 1 : 0);
    ui->canFormat->setCurrentIndex(entry.remote ? 1 : 0);
    ui->canDataLength->setCurrentIndex(qBound(0, entry.dlc, 8));
    ui->canID->setText(QString::number(entry.id, 16).toUpper());
    ui->canData->setText(TransmitListWidget::dataText(entry.data, entry.dlc));
    lastAcceptedData = ui->canData->text();
    const int channel
        = ui->devicec_hannel->findText(entry.channel == 2 ? tr("通道2") : tr("通道1"));
    if (channel >= 0)
        ui->devicec_hannel->setCurrentIndex(channel);
}

tablePanel_Widget::~tablePanel_Widget()
{
    sendScheduler->release();
    delete ui;
}

void tablePanel_Widget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(QStringLiteral("#ffffff")));
    painter.drawRect(rect());
}

void tablePanel_Widget::checkIdentifier()
{
    const QString text = ui->canID->text();
    bool ok = false;
    quint32 value = text.toUInt(&ok, 16);
    if (!ok)
        value = 0;
    // Counting characters as well as the value keeps leading zeros from hiding an identifier
    // that is too long for the frame type.
    if (idDigitLimit == StandardDigits) {
        if (value >= 0x800 || text.size() >= StandardDigits + 1)
            ui->canID->setText(QStringLiteral("7FF"));
    } else {
        if (value >= 0x20000000 || text.size() >= ExtendedDigits + 1)
            ui->canID->setText(QStringLiteral("1FFFFFFF"));
    }
}

void tablePanel_Widget::on_canID_textChanged(const QString &arg1)
{
    Q_UNUSED(arg1)
    checkIdentifier();
}

void tablePanel_Widget::on_canType_currentIndexChanged(int index)
{
    if (index == 0) {
        idDigitLimit = StandardDigits;
        checkIdentifier();
    } else {
        idDigitLimit = ExtendedDigits;
    }
}

void tablePanel_Widget::on_canDataLength_currentIndexChanged(int index)
{
    ui->canData->setMaxLength(index > 0 ? 3 * index - 1 : 0);
}

void tablePanel_Widget::on_canData_textChanged(const QString &arg1)
{
    Q_UNUSED(arg1)
    const QString text = ui->canData->text();
    if (text.isEmpty())
        return;

    static const QRegularExpression wellFormed(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9a-fA-F]{2}\\ ){0,8}([0-9a-fA-F]{2})")));
    if (wellFormed.match(text).hasMatch())
        return;

    QString digits = text;
    digits.remove(QLatin1Char(' '));
    static const QRegularExpression hexOnly(QStringLiteral("^[0-9a-fA-F]+$"));
    if (!hexOnly.match(digits).hasMatch()) {
        ui->canData->setText(lastAcceptedData);
        return;
    }

    QString formatted;
    const int pairs = (digits.size() + 1) / 2;
    for (int i = 0; i < pairs; ++i) {
        if (i == pairs - 1 && digits.size() % 2 == 1) {
            formatted += digits.mid(2 * i, 1);
        } else {
            formatted += digits.mid(2 * i, 2);
            formatted += QLatin1Char(' ');
        }
    }
    ui->canData->setText(formatted);
    lastAcceptedData = formatted;
}

void tablePanel_Widget::on_Button_send_clicked()
{
    if (ui->Button_send->text() == tr("停止发送")) {
        emit signal_CANSendCommand(false);
        return;
    }

    const QString channelText = ui->devicec_hannel->currentText();
    if (channelText.isEmpty())
        return;
    if (channelText == tr("通道1"))
        params.channel = 1;
    else if (channelText == tr("通道2"))
        params.channel = 2;

    params.idIncrement = ui->idIncrement->isChecked();
    params.dataIncrement = ui->dataIncrement->isChecked();
    params.sendInterval = ui->sendInterval->value();
    params.sendTimes = ui->sendTimes->value();

    frameDesc.frameType = ui->canType->currentData().toUInt();
    frameDesc.frameFormat = ui->canFormat->currentData().toUInt();
    bool ok = false;
    frameDesc.canId = ui->canID->text().toUInt(&ok, 16);
    if (!ok)
        frameDesc.canId = 0;
    frameDesc.dataLength = ui->canDataLength->currentData().toInt();

    // Typed bytes come first in the frame; missing bytes are zero and a lone last digit is the
    // high nibble of its byte.
    QString digits = ui->canData->text();
    digits.remove(QLatin1Char(' '));
    while (digits.size() < 2 * frameDesc.dataLength)
        digits += QLatin1Char('0');
    frameDesc.data = digits.toULongLong(&ok, 16);
    if (!ok)
        frameDesc.data = 0;

    ui->label_expendTime->clear();
    ui->Button_send->setText(tr("停止发送"));
    sendStartMs = QDateTime::currentMSecsSinceEpoch();
    emit signal_CANSendCommand(true);
}

void tablePanel_Widget::showSendFailure(const QString &text)
{
    // Shown without a nested event loop, so the other panel's run and its end keep going.
    auto *box = new QMessageBox(QMessageBox::Information,
                                tr("发送失败 通道") + QString::number(params.channel), text,
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

int tablePanel_Widget::channelNumber(const QString &text) const
{
    if (text == tr("通道1"))
        return 1;
    if (text == tr("通道2"))
        return 2;
    return 0;
}

tablePanel_Widget::Inputs tablePanel_Widget::takeInputsStoppingRun()
{
    Inputs in;
    in.channel = channelNumber(ui->devicec_hannel->currentText());
    in.type = ui->canType->currentIndex();
    in.format = ui->canFormat->currentIndex();
    in.id = ui->canID->text();
    in.length = ui->canDataLength->currentIndex();
    in.data = ui->canData->text();
    in.times = ui->sendTimes->value();
    in.interval = ui->sendInterval->value();
    in.idIncrement = ui->idIncrement->isChecked();
    in.dataIncrement = ui->dataIncrement->isChecked();
    in.elapsed = ui->label_expendTime->text();
    if (ui->Button_send->text() == tr("停止发送")) {
        emit signal_CANSendCommand(false);
        in.elapsed = elapsedText(QDateTime::currentMSecsSinceEpoch() - sendStartMs);
    }
    return in;
}

void tablePanel_Widget::restoreInputs(const Inputs &in)
{
    // Type and length first: they bound what the identifier and data fields accept.
    ui->canType->setCurrentIndex(in.type);
    ui->canFormat->setCurrentIndex(in.format);
    ui->canDataLength->setCurrentIndex(in.length);
    ui->canID->setText(in.id);
    ui->canData->setText(in.data);
    lastAcceptedData = ui->canData->text();
    ui->sendTimes->setValue(in.times);
    ui->sendInterval->setValue(in.interval);
    ui->idIncrement->setChecked(in.idIncrement);
    ui->dataIncrement->setChecked(in.dataIncrement);
    ui->label_expendTime->setText(in.elapsed);
    // The channels come back as the device panel announces them again.
    m_wantedChannel = in.channel;
}

void tablePanel_Widget::onTransEnd(int TransEnd_Sta)
{
    ui->Button_send->setText(tr("立即发送"));
    switch (TransEnd_Sta) {
    case TransEnd_NoResponse:
        showSendFailure(tr("设备未响应"));
        ui->label_expendTime->setText(QStringLiteral("0.000"));
        break;
    case TransEnd_SendFailed:
        showSendFailure(tr("设备发送失败"));
        ui->label_expendTime->setText(QStringLiteral("0.000"));
        break;
    case TransEnd_DeviceGone:
        showSendFailure(tr("设备已断开，发送已停止"));
        ui->label_expendTime->setText(QStringLiteral("0.000"));
        break;
    case TransEnd_Finished:
    case TransEnd_Stopped: {
        ui->label_expendTime->setText(
            elapsedText(QDateTime::currentMSecsSinceEpoch() - sendStartMs));
        break;
    }
    default:
        break;
    }
}

QString tablePanel_Widget::elapsedText(qint64 elapsedMs)
{
    return QString::number(double(elapsedMs) / 1000.0, 'g', 3);
}

void tablePanel_Widget::onChannelStateChanged(bool state, const QString &channelStr)
{
    const int index = ui->devicec_hannel->findData(channelStr);
    if (state) {
        if (index < 0) {
            ui->devicec_hannel->addItem(channelStr, channelStr);
            if (m_wantedChannel != 0 && channelNumber(channelStr) == m_wantedChannel) {
                ui->devicec_hannel->setCurrentIndex(ui->devicec_hannel->count() - 1);
                m_wantedChannel = 0;
            }
        }
    } else if (index >= 0) {
        ui->devicec_hannel->removeItem(index);
    }
}

void tablePanel_Widget::onDataMatrixResult(QString &text)
{
    ui->canData->setText(text);
}

void tablePanel_Widget::on_pushButton_clicked()
{
    auto *editor = new KeyBoard(this, ui->canDataLength->currentData().toInt());
    connect(editor, &KeyBoard::signal_transResult, this, &tablePanel_Widget::onDataMatrixResult);
    editor->show();
}

void tablePanel_Widget::on_sendInterval_valueChanged(int arg1)
{
    Q_UNUSED(arg1)
    if (ui->sendInterval->value() > IntervalLimit)
        ui->sendInterval->setValue(IntervalLimit);
}

void tablePanel_Widget::on_sendTimes_valueChanged(int arg1)
{
    Q_UNUSED(arg1)
    if (ui->sendTimes->value() > TimesLimit)
        ui->sendTimes->setValue(TimesLimit);
}
