#include "occupancyrate_widget.h"

#include "app/widgets/rframelesswidget.h"
#include "device/devicemanagement.h"
#include "protocol/contextprotocol.h"
#include "ui_occupancyrate_widget.h"

// The plot library's header is included here only.
#include <qcustomplot.h>

#include <QTimer>

namespace {
constexpr double MaxPercent = 100.0;
constexpr double AxisLow = -5.0;
constexpr double AxisHigh = 105.0;
} // namespace

OccupancyRate_Widget::OccupancyRate_Widget(QWidget *parent)
    : RborderWidget(parent)
    , ui(new Ui::OccupancyRate_Widget)
{
    ui->setupUi(this);
    // Unlike the other pages this one may stay open beside the main window.
    setWindowModality(Qt::NonModal);

    historyKeys.reserve(historySize);
    for (int i = 0; i < historySize; ++i)
        historyKeys.append(i);
    historyChannel1.fill(0.0, historySize);
    historyChannel2.fill(0.0, historySize);

    plotChannel1 = createPlot(historyChannel1, QColor(255, 0, 0));
    ui->gridLayout_3->addWidget(plotChannel1);
    plotChannel2 = createPlot(historyChannel2, QColor(0, 0, 255));
    ui->gridLayout_2->addWidget(plotChannel2);
    plotChannel1->replot();
    plotChannel2->replot();

    // Runs only after a new sample, so an idle page never wakes the program.
    refreshTimer = new QTimer(this);
    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(refreshPeriodMs);

    titleBar = new rFrameLessWidget(this, tr(" CAN总线占用率"), 9, QColor(0, 66, 99));
    titleBar->setMaximumHeight(35);
    ui->horizontalLayout->addWidget(titleBar);

    connect(titleBar, &rFrameLessWidget::Signal_Close, this, &QWidget::hide);
    connect(refreshTimer, &QTimer::timeout, this, &OccupancyRate_Widget::onRefreshTimer);
    connect(DeviceManagement::instance(), &DeviceManagement::signals_deviceModelCommand, this,
            &OccupancyRate_Widget::onDeviceModelChanged);
    connect(contextProtocol::instance(), &contextProtocol::signal_REP_DeviceStates, this,
            &OccupancyRate_Widget::onDeviceStates);
}

OccupancyRate_Widget::~OccupancyRate_Widget()
{
    delete ui;
}

QCustomPlot *OccupancyRate_Widget::createPlot(const QVector<double> &values, const QColor &colour)
{
    auto *plot = new QCustomPlot;
    QCPGraph *graph = plot->addGraph();
    graph->setData(historyKeys, values);
    graph->setPen(QPen(colour, 1));
    plot->xAxis->setRange(0, historySize);
    plot->xAxis->setLabel(tr("历史点位（个）"));
    plot->yAxis->setRange(AxisLow, AxisHigh);
    plot->yAxis->setLabel(tr("总线利用率（%）"));
    return plot;
}

const QVector<double> &OccupancyRate_Widget::history(int channel) const
{
    return channel == 2 ? historyChannel2 : historyChannel1;
}

void OccupancyRate_Widget::onDeviceStates(uchar channel, ushort frameSpeed, float prct)
{
    const double percent = qMin(double(prct), MaxPercent);
    QVector<double> *history = nullptr;
    QLabel *load = nullptr;
    QLabel *speed = nullptr;
    if (channel == 1) {
        history = &historyChannel1;
        load = ui->label_prc_1;
        speed = ui->label_speed_1;
    } else if (channel == 2) {
        history = &historyChannel2;
        load = ui->label_prc_2;
        speed = ui->label_speed_2;
    } else {
        return;
    }
    if (history->size() > historySize - 1)
        history->removeFirst();
    history->append(percent);
    load->setText(QString::number(percent, 'f', 2) + QLatin1Char('%'));
    speed->setText(QString::number(frameSpeed));
    if (m_deviceOpen && !refreshTimer->isActive())
        refreshTimer->start();
}

void OccupancyRate_Widget::onRefreshTimer()
{
    plotChannel1->graph(0)->setData(historyKeys, historyChannel1);
    plotChannel2->graph(0)->setData(historyKeys, historyChannel2);
    // A hidden page is drawn when it is shown again.
    if (isVisible()) {
        plotChannel1->replot(QCustomPlot::rpRefreshHint);
        plotChannel2->replot(QCustomPlot::rpRefreshHint);
    }
}

void OccupancyRate_Widget::showEvent(QShowEvent *event)
{
    RborderWidget::showEvent(event);
    plotChannel1->replot(QCustomPlot::rpRefreshHint);
    plotChannel2->replot(QCustomPlot::rpRefreshHint);
}

void OccupancyRate_Widget::onDeviceModelChanged(const QString &model)
{
    if (!model.isEmpty()) {
        historyChannel1.fill(0.0, historySize);
        historyChannel2.fill(0.0, historySize);
        m_deviceOpen = true;
        refreshTimer->start();
        return;
    }
    // The histories keep their values until the next open; only the curves go.
    m_deviceOpen = false;
    refreshTimer->stop();
    plotChannel1->graph(0)->data()->clear();
    plotChannel2->graph(0)->data()->clear();
    plotChannel1->replot(QCustomPlot::rpRefreshHint);
    plotChannel2->replot(QCustomPlot::rpRefreshHint);
}
