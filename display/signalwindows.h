#pragma once

// The signal watch and the plot window of one main window: made on first use, wired to the
// signal hub (the watch's plot requests, and those of the overview and the trace, open the plot
// window with the signals asked for), closed with the main window.

#include <QObject>

class QWidget;
class SignalPlot;
class SignalWatch;

class SignalWindows : public QObject
{
    Q_OBJECT
public:
    explicit SignalWindows(QWidget *mainWindow);
    ~SignalWindows() override;

    SignalWatch *watch();
    SignalPlot *plot();
    void showWatch();
    void showPlot();

private:
    QWidget *m_mainWindow;
    SignalWatch *m_watch = nullptr;
    SignalPlot *m_plot = nullptr;
};
