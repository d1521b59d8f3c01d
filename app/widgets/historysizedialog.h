#pragma once

#include "app/widgets/rborderwidget.h"

class CAN_DataDisplaySupport;
class QLabel;
class QPushButton;
class QSpinBox;
class rFrameLessWidget;

// The small window from the settings menu that sets how many frames the receive view keeps: the
// number, the memory that many take, and OK, which puts the size in force at once and remembers
// it for the next start.
class HistorySizeDialog : public RborderWidget
{
    Q_OBJECT

public:
    explicit HistorySizeDialog(CAN_DataDisplaySupport *display, QWidget *parent = nullptr);

    // Shows the window over its parent's, starting from the size in force now (which is the
    // command line's for a run started with one).
    void showForCurrentSize();

    QSpinBox *framesBox() const { return m_frames; }
    QLabel *memoryLabel() const { return m_memory; }
    // The machine's memory the sizes are weighed against; the system's unless set.
    void setPhysicalMemory(qint64 bytes);

public slots:
    void accept();
    void reject();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showMemory(int frames);

    CAN_DataDisplaySupport *m_display = nullptr;
    rFrameLessWidget *m_title = nullptr;
    QSpinBox *m_frames = nullptr;
    QLabel *m_memory = nullptr;
    qint64 m_physicalMemory = 0;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
