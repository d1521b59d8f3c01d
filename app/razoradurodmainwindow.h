#pragma once

#include <QMainWindow>

class QAction;
class QToolButton;
class QTranslator;
class CANView_Widget;
class DeviceManagement;
class generallyFrameSendWidget;
class HistorySizeDialog;
class OccupancyRate_Widget;
class RivexAbout;
class rFrameLessWidget;
class Rtitle;
class SignalWindows;

namespace Ui {
class RAZOradurodMainWindow;
}

// The frameless main window: logo strip, the four tool buttons that open the pages, the window
// buttons, and the receive view in the body. Building it brings up the program's single worker
// objects; it is rebuilt from scratch when the language changes (exit code 2182).
class RAZOradurodMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Ends the event loop with this code to have the entry point build a fresh main window.
    static constexpr int RestartCode = 2182;

    explicit RAZOradurodMainWindow(QWidget *parent = nullptr);
    ~RAZOradurodMainWindow() override;

    DeviceManagement *deviceManagementPage() const { return m_deviceManagement; }
    OccupancyRate_Widget *busLoadPage() const { return m_busLoad; }
    CANView_Widget *receiveView() const { return m_canView; }
    RivexAbout *aboutPage() const { return m_about; }
    generallyFrameSendWidget *sendPage() const { return m_sendPage; }
    QAction *languageAction() const { return m_languageAction; }
    QAction *aboutAction() const { return m_aboutAction; }
    QAction *historySizeAction() const { return m_historySizeAction; }
    // Made when first asked for from the settings menu.
    HistorySizeDialog *historySizeDialog() const { return m_historySize; }

private slots:
    void ON_ToolBarTriggered_DeviceManagementHander(QAction *action);
    void ON_ToolBarTriggered_MessageSendHander(QAction *action);
    void ON_ToolBarTriggered_BusratioHander(QAction *action);
    void ON_ToolBarTriggered_SettingHander(QAction *action);

private:
    void installLanguage();
    void installQtTranslation(const QString &lang);
    void buildBand();
    QToolButton *addToolButton(const QString &name,
                               const QString &image,
                               const QString &hoverImage,
                               bool leftBorder);
    void buildPages();
    void switchLanguage();
    void showHistorySize();

    DeviceManagement *m_deviceManagement = nullptr;
    OccupancyRate_Widget *m_busLoad = nullptr;
    SignalWindows *m_signalWindows = nullptr;
    CANView_Widget *m_canView = nullptr;
    RivexAbout *m_about = nullptr;
    Ui::RAZOradurodMainWindow *ui = nullptr;
    QTranslator *m_translator = nullptr;
    QTranslator *m_qtTranslator = nullptr; // Qt's own dialogs and menus in Chinese
    QAction *m_languageAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_historySizeAction = nullptr;
    HistorySizeDialog *m_historySize = nullptr;
    generallyFrameSendWidget *m_sendPage = nullptr;

    Rtitle *m_logo = nullptr;
    rFrameLessWidget *m_windowButtons = nullptr;
};
