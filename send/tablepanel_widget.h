#pragma once

// One send page: composes a CAN frame (channel, type, format, identifier, length, data) and starts
// or stops repeated sends through its own transmit scheduler. Shows how long a run took, or why
// it ended when the adapter did not answer or refused the frame.

#include "link/trans_cansendsupport.h"
#include "link/transmitlistscheduler.h"

#include <QString>
#include <QWidget>

namespace Ui {
class tablePanel_Widget;
}

class tablePanel_Widget : public QWidget
{
    Q_OBJECT
public:
    // What the user set up on the panel, carried into the panel that replaces it when the main
    // window is rebuilt for a language switch.
    struct Inputs
    {
        int channel = 0; // 1 or 2, 0 when none is chosen
        int type = 0;
        int format = 0;
        QString id;
        int length = 8;
        QString data;
        int times = 1;
        int interval = 1;
        bool idIncrement = false;
        bool dataIncrement = false;
        QString elapsed;
    };

    explicit tablePanel_Widget(QWidget *parent = nullptr);
    ~tablePanel_Widget() override;

    // What the last start handed to the scheduler; for inspection only.
    const SendParams &sendParams() const { return params; }
    const SendFrameSpec &frameSpec() const { return frameDesc; }
    Trans_canSendSupport *scheduler() const { return sendScheduler; }

    // A run's duration as shown: seconds to three significant digits.
    static QString elapsedText(qint64 elapsedMs);

    // The panel's inputs. A running run is stopped and ends like a stop: its time so far is what
    // the elapsed time shows.
    Inputs takeInputsStoppingRun();
    void restoreInputs(const Inputs &inputs);

    void onTransEnd(int TransEnd_Sta);
    void onChannelStateChanged(bool state, const QString &channelStr);
    void onDataMatrixResult(QString &text);

signals:
    // true asks for a run with the current records, false for the running one to stop.
    void signal_CANSendCommand(bool start);

private slots:
    void on_canType_currentIndexChanged(int index);
    void on_canID_textChanged(const QString &arg1);
    void on_canDataLength_currentIndexChanged(int index);
    void on_canData_textChanged(const QString &arg1);
    void on_Button_send_clicked();
    void on_pushButton_clicked();
    void on_sendInterval_valueChanged(int arg1);
    void on_sendTimes_valueChanged(int arg1);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Takes a frame built from signal values into the fields.
    void fillFrom(const TransmitEntry &entry);
    void checkIdentifier();
    int channelNumber(const QString &text) const;
    void showSendFailure(const QString &text);

    Ui::tablePanel_Widget *ui = nullptr;
    SendParams params;
    SendFrameSpec frameDesc;
    int idDigitLimit = 3;
    qint64 sendStartMs = 0;
    QString lastAcceptedData;
    int m_wantedChannel = 0;
    Trans_canSendSupport *sendScheduler = nullptr;
};
