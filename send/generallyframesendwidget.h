#pragma once

// The send page: a window with two independent send panels in tabs, so two frames can be set up
// and sent side by side. Tab titles name the connected adapter. Hidden, not destroyed, on close.

#include "app/widgets/rborderwidget.h"

#include <QString>

class QStatusBar;
class rFrameLessWidget;
class tablePanel_Widget;
class TransmitListWidget;

namespace Ui {
class generallyFrameSendWidget;
}

class generallyFrameSendWidget : public RborderWidget
{
    Q_OBJECT
public:
    explicit generallyFrameSendWidget(QWidget *parent = nullptr);
    ~generallyFrameSendWidget() override;

    tablePanel_Widget *panel(int index) const { return index == 0 ? framePanel1 : framePanel2; }
    TransmitListWidget *listPage() const { return transmitList; }

    // Keeps both panels' inputs (stopping their runs), and the list page's runs and log, for the
    // send page the next main window builds; called when the main window is about to be rebuilt.
    void keepForRebuild();

private:
    void onDeviceModelChanged(const QString &model);

    Ui::generallyFrameSendWidget *ui = nullptr;
    tablePanel_Widget *framePanel1 = nullptr;
    tablePanel_Widget *framePanel2 = nullptr;
    TransmitListWidget *transmitList = nullptr;
    QStatusBar *statusBar = nullptr;
    rFrameLessWidget *titleBar = nullptr;
};
