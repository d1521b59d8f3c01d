#pragma once

// The device panel: opens and closes the adapter on a serial port, starts and stops its two CAN
// channels at a chosen bit rate, and tells the rest of the program which model is connected and
// which channels run. One per process, never destroyed; every page reaches it via instance().

#include "app/widgets/rborderwidget.h"

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QString>

#include <functional>

class CANbaudRateCalculator;
class QComboBox;
class rFrameLessWidget;

namespace Ui {
class DeviceManagement;
}

class DeviceManagement : public RborderWidget
{
    Q_OBJECT
public:
    static DeviceManagement *instance();
    ~DeviceManagement() override;

    // Re-applies every text after the main window installed another translator.
    void retranslate();
    bool anyChannelRunning() const { return channel1State || channel2State; }
    // Asked before a channel start is sent to the adapter; false leaves the channel stopped. The
    // receive view uses it to keep live frames out of an opened log.
    void setStartGuard(std::function<bool()> guard) { startGuard = std::move(guard); }

    // At program exit: stops the running channels and closes the device, giving the adapter at
    // most `budgetMs` to answer, so it does not keep streaming into a port nobody reads.
    void closeBeforeExit(int budgetMs = 300);

    // What the status line says about the last failure; empty after a success.
    QString statusText() const;

signals:
    bool signals_serialSocketOpen(QString name);
    void signals_serialSocketClose();
    void signals_serialSocketSend(QByteArray message);
    void signals_deviceModelCommand(QString model);
    void signals_channelStateChanged(bool state, QString channelStr);
    void SerialSocketRun();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_device_open_clicked();
    void on_device_close_clicked();
    void on_channel_control_1_clicked();
    void on_channel_control_2_clicked();
    void on_channelClose1_clicked();
    void on_channelClose1_2_clicked();
    void ON_Host_SerialRefresh_Hander(QList<QString> *list);

private:
    DeviceManagement();

    void deviceOpenResponse(uchar deviceType, uchar channelNums, QString deviceMode);
    void closeCompleted();
    void baudConfigResponse(uchar channel, bool state);
    void userBaudConfirmed(int baud, int regsCode);
    void onBaud1IndexChanged(int index);
    void onBaud2IndexChanged(int index);

    void fillBaudBox(QComboBox *box, const QString &nameKey, const QString &codeKey);
    void
    startChannel(uchar channel, QComboBox *box, const QString &codeKey, const QString &nameKey);
    void requestBaudConfig(uchar channel, int code);
    void requestChannelClose(uchar channel);
    void showCalculatorFor(QComboBox *box);
    void setChannelStarted(uchar channel, bool started);
    // Sets the flag and polls it for up to 20 short waits; true when a handler cleared it.
    static bool waitForResponse(bool &waiting);
    // The status line keeps how to word its message, so a language change rewords it.
    void setStatus(std::function<QString()> text);
    static QString
    portFailure(const QString &port, QSerialPort::SerialPortError error, const QString &reason);
    QString rateText(uchar channel) const;

    Ui::DeviceManagement *ui;
    CANbaudRateCalculator *calculator = nullptr;
    bool deviceOpenWaiting = false;
    bool deviceCloseWaiting = false;
    bool baudConfigWaiting = false;
    bool channelCloseWaiting = false;
    QString connectedPortName;
    quint8 baudConfigChannel = 0;
    quint8 channelCloseChannel = 0;
    bool channel1State = false;
    bool channel2State = false;
    QString deviceModel;
    QComboBox *userBaudTarget = nullptr;
    rFrameLessWidget *titleBar = nullptr;
    uchar reportedChannels = 0; // channel count of an open answer that was turned down
    bool baudRefused = false; // the pending start was answered with a refusal
    std::function<QString()> status;
    std::function<bool()> startGuard;
};
