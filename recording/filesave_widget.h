#pragma once

// The small window that shows the progress of a global save. The log writer owns it, shows it
// when a save starts and hides it when the save ends; it has no close button of its own.

#include "app/widgets/rborderwidget.h"

class rFrameLessWidget;

namespace Ui {
class FileSave_Widget;
}

class FileSave_Widget : public RborderWidget
{
    Q_OBJECT
public:
    explicit FileSave_Widget(QWidget *parent = nullptr);
    ~FileSave_Widget() override;

    // Values outside 0..100 leave the bar as it is.
    void setProgressValue(int value);
    int progressValue() const;
    // The window outlives main windows; a save after a language switch shows the new language.
    void retranslate();

private:
    Ui::FileSave_Widget *ui = nullptr;
    rFrameLessWidget *m_titleBar = nullptr;
};
