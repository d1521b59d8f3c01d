#include "signalwindows.h"

#include "display/candatadisplaysupport.h"
#include "display/signalhub.h"
#include "display/signalplot.h"
#include "display/signalwatch.h"

#include <QWidget>

SignalWindows::SignalWindows(QWidget *mainWindow)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
{
    SignalHub *hub = SignalHub::instance();
    connect(hub, &SignalHub::plotRequested, this, [this](const QVector<SignalKey> &keys) {
        plot()->addSignals(keys);
        showPlot();
    });
}

SignalWindows::~SignalWindows()
{
    delete m_watch;
    delete m_plot;
}

void SignalWindows::feedFromHistory()
{
    CAN_DataDisplaySupport::instance()->setSignalStore(SignalHub::instance()->store());
}

SignalWatch *SignalWindows::watch()
{
    if (!m_watch) {
        SignalHub *hub = SignalHub::instance();
        m_watch = new SignalWatch(hub->store(), hub->databases(),
                                  [] { return CAN_DataDisplaySupport::instance()->historyCopy(); });
        connect(m_watch, &SignalWatch::plotRequested, hub, &SignalHub::requestPlot);
    }
    return m_watch;
}

SignalPlot *SignalWindows::plot()
{
    if (!m_plot) {
        SignalHub *hub = SignalHub::instance();
        m_plot = new SignalPlot(hub->store(), hub->databases(),
                                [](const std::function<void()> &atCopy) {
                                    return CAN_DataDisplaySupport::instance()->historyCopy(atCopy);
                                });
        m_plot->setMaxPointsSource(
            [] { return CAN_DataDisplaySupport::instance()->maxBuffSize(); });
    }
    return m_plot;
}

void SignalWindows::showWatch()
{
    watch()->showNormal();
    m_watch->raise();
    m_watch->activateWindow();
}

void SignalWindows::showPlot()
{
    plot()->showNormal();
    m_plot->raise();
    m_plot->activateWindow();
}
