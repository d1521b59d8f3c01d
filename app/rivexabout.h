#pragma once

#include "app/widgets/rborderwidget.h"

namespace Ui {
class RivexAbout;
}

class rFrameLessWidget;

// The about window: version banner, logo, contact and notice lines. Created hidden with the
// main window and shown from the settings & help menu.
class RivexAbout : public RborderWidget
{
    Q_OBJECT

public:
    explicit RivexAbout(QWidget *parent = nullptr);
    ~RivexAbout() override;

private:
    Ui::RivexAbout *ui = nullptr;
    rFrameLessWidget *m_title = nullptr;
};
