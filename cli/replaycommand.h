#pragma once

// rcan-cli replay: puts the frames of a log back on the bus with the log's timing (scaled by
// --speed), on the log's channels or mapped ones, and prints every frame the adapter confirmed in
// candump form with the adapter's own time stamps.

#include "cli/clilogoutput.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QTimer>
#include <QVector>

class ReplayCommand : public QObject
{
    Q_OBJECT
public:
    int run(const QStringList &arguments);

private:
    void sendDue();
    void onSendResult(uchar channel, uchar state, uint rank, uint timeStamp);
    void finish();

    QVector<LogFrame> m_frames;
    int m_channelMap[3] = { 0, 1, 2 };
    double m_speed = 1.0;
    int m_loops = 1;
    int m_loop = 0;
    int m_next = 0;
    qint64 m_loopStartUs = 0; // elapsed time the current pass began at
    QElapsedTimer m_clock;
    QTimer m_timer;
    quint32 m_rank = 0;
    QQueue<LogFrame> m_inFlight;
    qint64 m_confirmed = 0;
    qint64 m_refused = 0;
    qint64 m_lost = 0;
    bool m_allSent = false;
    bool m_portGone = false; // the adapter went away during the replay
    CliLogOutput m_output;
    bool m_outputOpen = true;
    QTimer m_lastAnswers;
};
