#pragma once

// The GUI's one meeting point for decoded signals: the databases in use, the store the display
// thread feeds with every frame (once the main window connects it, see SignalWindows), and the
// request to plot signals the user picked in the watch, the overview or the trace. Created on the
// GUI thread on first use and never destroyed.

#include "candb/signalstore.h"

#include <QObject>
#include <QVector>

class DatabaseSet;

class SignalHub : public QObject
{
    Q_OBJECT
public:
    static SignalHub *instance();

    DatabaseSet *databases() const { return m_databases; }
    SignalStore *store() const { return m_store; }

    // Asks whoever shows plots (the plot window connects plotRequested) to plot `keys`.
    void requestPlot(const QVector<SignalKey> &keys);

signals:
    void plotRequested(const QVector<SignalKey> &keys);

private:
    explicit SignalHub(QObject *parent = nullptr);

    DatabaseSet *m_databases = nullptr;
    SignalStore *m_store = nullptr;
};
