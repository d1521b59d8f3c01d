#pragma once

// The receive view of the main window: the frame table between a top bar (connected device, time
// column choice, real-time save, save, clear, pause) and a bottom bar of frame counters. It does no
// frame work itself; it turns user actions into requests for the display buffer and the log writer.

#include <QString>
#include <QWidget>
#include <functional>

class CAN_DataDisplaySupport;
class CANTableWidget;

namespace Ui {
class CANView_Widget;
}

class CANView_Widget : public QWidget
{
    Q_OBJECT
public:
    explicit CANView_Widget(QWidget *parent = nullptr);
    ~CANView_Widget() override;

    CANTableWidget *table() const { return m_table; }
    // Replaces the save-file dialog, for tests and automation; it returns the chosen path or an
    // empty text when cancelled.
    void setFileNameProvider(std::function<QString()> provider);

signals:
    void signal_BuffRefresh_Start();
    void signal_HistoryClear();
    void signal_Pause(bool pause);
    void signal_GlobalSave();
    void signal_globalSave_pathSet(QString path);
    void signal_realTimeSave_Command(QString path, bool realTime_Save_Flag);
    void signal_realTimeSave_SignalCommand(bool realTime_Save_Flag);
    void signal_TimeStampeFormat_Changed(int TimeStampeFormat);

private slots:
    void on_Button_pause_clicked();
    void on_button_clear_clicked();
    void on_Button_saveOnTime_clicked();
    void on_button_save_clicked();
    void on_comboBox_currentIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString askFileName();
    void updateCounters();
    void updateErroCount(uchar channel, uint count);
    void connectFilters();
    void showFiltersInForce();
    void applyButtonStyles();
    void onRealTimeSaveFailed(const QString &path, const QString &reason);
    void showSaveFailure(const QString &text);

    Ui::CANView_Widget *ui = nullptr;
    CANTableWidget *m_table = nullptr;
    CAN_DataDisplaySupport *m_display = nullptr;
    bool pauseFlag = false;
    bool realTimeSaveFlag = false;
    unsigned int erroCount1 = 0;
    unsigned int erroCount2 = 0;
    std::function<QString()> m_fileNameProvider;
};
