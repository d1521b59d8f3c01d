#pragma once

// The receive view of the main window: the frame table between a top bar (connected device, time
// column choice, real-time save, save, clear, pause) and a bottom bar of frame counters. It does no
// frame work itself; it turns user actions into requests for the display buffer and the log writer.

#include <QString>
#include <QWidget>
#include <functional>

class CAN_DataDisplaySupport;
class CANTableWidget;
class IdOverviewTable;
class LogLoader;
class LogOpenProgress;
class QLabel;
class QProgressBar;
class QPushButton;
struct LogLoadResult;
enum class LogFormat;

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
    // The per-identifier overview, shown instead of the trace while its toggle is down.
    IdOverviewTable *overview() const { return m_overview; }
    QPushButton *overviewButton() const { return m_overviewButton; }
    // Replaces the save-file dialog, for tests and automation; it returns the chosen path or an
    // empty text when cancelled.
    void setFileNameProvider(std::function<QString()> provider);
    // Replace the message boxes, for tests and automation: `inform` shows a message, `confirm`
    // asks a yes-or-no question.
    void setUserPrompts(std::function<void(const QString &)> inform,
                        std::function<bool(const QString &)> confirm);

    // Shows the frames of a log file instead of the history, for offline analysis. Refused while a
    // channel runs; asks first when the history holds frames no log has taken.
    void openLogFile(const QString &path);
    // The log file the table shows, empty for live traffic.
    QString shownFile() const { return m_shownFile; }
    LogLoader *logLoader() const { return m_loader; }
    LogOpenProgress *openProgress() const { return m_openProgress; }
    QPushButton *openButton() const { return m_openButton; }

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
    // A file to save a log to and its format; an empty path when cancelled.
    void askSaveFile(QString *path, LogFormat *format);
    void onLogLoaded(const LogLoadResult &result);
    void showFile(const QString &path, bool complete);
    void inform(const QString &text);
    // Tells without waiting for an answer.
    void note(const QString &text);
    // Asked before a channel starts: live frames never go into an opened log.
    bool mayStartChannel();
    void showPause();
    bool confirm(const QString &text);
    void updateCounters();
    void updateErroCount(uchar channel, uint count);
    void connectFilters();
    void setUpOverview();
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
    std::function<void(const QString &)> m_inform;
    std::function<bool(const QString &)> m_confirm;
    QPushButton *m_openButton = nullptr;
    QLabel *m_fileLabel = nullptr;
    QProgressBar *m_filterProgress = nullptr;
    LogLoader *m_loader = nullptr;
    LogOpenProgress *m_openProgress = nullptr;
    QString m_shownFile;
    bool m_clearWhenLoaded = false;
    IdOverviewTable *m_overview = nullptr;
    QPushButton *m_overviewButton = nullptr;
};
