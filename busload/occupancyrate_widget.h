#pragma once

// The bus utilisation page: per channel the latest bus load and frame rate the adapter reports,
// and a plot of the last 100 bus-load samples, redrawn at most every 200 ms while a device is open
// and new samples come, and only while the page is shown.

#include "app/widgets/rborderwidget.h"

#include <QVector>

class QCustomPlot;
class QTimer;
class rFrameLessWidget;

namespace Ui {
class OccupancyRate_Widget;
}

class OccupancyRate_Widget : public RborderWidget
{
    Q_OBJECT
public:
    explicit OccupancyRate_Widget(QWidget *parent = nullptr);
    ~OccupancyRate_Widget() override;

    // Bus-load samples in percent, oldest first; channel 1 or 2.
    const QVector<double> &history(int channel) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void onDeviceStates(uchar channel, ushort frameSpeed, float prct);
    void onDeviceModelChanged(const QString &model);
    void onRefreshTimer();
    QCustomPlot *createPlot(const QVector<double> &values, const QColor &colour);

    Ui::OccupancyRate_Widget *ui;
    rFrameLessWidget *titleBar = nullptr;
    const int historySize = 100;
    QVector<double> historyKeys;
    QVector<double> historyChannel1;
    QVector<double> historyChannel2;
    QCustomPlot *plotChannel1 = nullptr;
    QCustomPlot *plotChannel2 = nullptr;
    QTimer *refreshTimer = nullptr;
    const int refreshPeriodMs = 200;
    bool m_deviceOpen = false;
};
