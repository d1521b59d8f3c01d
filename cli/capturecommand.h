#pragma once

// rcan-cli capture: starts the adapter's channels and writes every frame it reports to standard
// output (candump form) or to log files, until a count, a time, a signal or a closed output ends
// it; then a summary on standard error.

#include "cli/cliframes.h"
#include "cli/clilogoutput.h"

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QVector>

class CaptureCommand : public QObject
{
    Q_OBJECT
public:
    int run(const QStringList &arguments);

private:
    // Called on the serial thread for every frame; the main thread drains it.
    void takeFrame(uchar channel, const QByteArray &frame, uint timeStamp, uint dir);
    void drain();
    void finish(int code);

    CliLogOutput m_output;
    QVector<CliFrames::IdFilter> m_filters;
    qint64 m_countLimit = 0;
    int m_exitCode = 0;
    bool m_finished = false;
    bool m_closing = false; // the device is being closed on purpose

    QMutex m_inboxMutex;
    QVector<LogFrame> m_inbox;
    QVector<LogFrame> m_batch;

    qint64 m_written[3] = { 0, 0, 0 };
    double m_loadSum[3] = { 0, 0, 0 };
    double m_loadMax[3] = { 0, 0, 0 };
    int m_loadReports[3] = { 0, 0, 0 };
};
