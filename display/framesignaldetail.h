#pragma once

// One line under the trace or the overview: the message name and decoded signals of the frame
// the user picked, each signal a link that asks for its plot. Hidden while no database is in use.

#include "display/framesignaltext.h"

#include <QLabel>

class FrameSignalDetail : public QLabel
{
    Q_OBJECT
public:
    explicit FrameSignalDetail(QWidget *parent = nullptr);

    void showFrame(const LogFrame &frame);
    const FrameSignals &shown() const { return m_signals; }

private:
    void update();
    void onLink(const QString &link);

    LogFrame m_frame;
    bool m_picked = false;
    FrameSignals m_signals;
};
