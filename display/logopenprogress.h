#pragma once

// The small window shown while a log file is read: the file's name, how far the reading is, and
// a button that stops it.

#include "app/widgets/rborderwidget.h"

class QLabel;
class QProgressBar;
class QPushButton;
class rFrameLessWidget;

class LogOpenProgress : public RborderWidget
{
    Q_OBJECT
public:
    explicit LogOpenProgress(QWidget *parent = nullptr);

    void start(const QString &fileName);
    // Shows the window centred over `owner`'s window, or over the screen while that is hidden.
    void showOver(QWidget *owner);
    void setProgressValue(int percent);
    int progressValue() const;
    QPushButton *cancelButton() const { return m_cancel; }

signals:
    void cancelRequested();

private:
    rFrameLessWidget *m_titleBar = nullptr;
    QLabel *m_file = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
};
