#pragma once

// Opens a log file for offline analysis: reads it on a worker thread, turns its frames into
// records as the receive path does for live frames, and hands them to the display buffer in
// blocks, which replace the history. The GUI thread only sees progress and the final result.
// A loader without a display only collects the frames as numbers, for uses that need none of the
// display's texts (the replay), and hands them over with the result.

#include "recording/logfilereader.h"

#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QVector>

class CAN_DataDisplaySupport;
class QThread;

struct LogLoadResult
{
    QString path;
    bool opened = false; // the file could be read at all
    LogReadResult read;
    qint64 kept = 0; // frames now in the history
    qint64 dropped = 0; // older frames past the history's limit
    bool cancelled = false;
    // A loader without a display: the first frames, up to its limit; `dropped` counts the rest.
    QVector<LogFrame> frames;
};
Q_DECLARE_METATYPE(LogLoadResult)

class LogLoader : public QObject
{
    Q_OBJECT
public:
    explicit LogLoader(CAN_DataDisplaySupport *display, QObject *parent = nullptr);
    ~LogLoader() override;

    // Empties the history and starts reading `path`; one load at a time.
    bool start(const QString &path);
    void cancel();
    // Frames a loader without a display keeps; set before start().
    void setFrameLimit(int limit) { m_frameLimit = limit; }
    bool isRunning() const { return m_thread != nullptr; }

signals:
    void progressChanged(int percent);
    void finished(const LogLoadResult &result);

private:
    void run(const QString &path);
    void onThreadDone(const LogLoadResult &result);

    CAN_DataDisplaySupport *m_display = nullptr;
    int m_frameLimit = 1000000;
    QThread *m_thread = nullptr;
    // Blocks of records handed to the display thread and not yet taken; bounds the memory a fast
    // reader can queue ahead of it.
    QSemaphore m_freeBlocks { 4 };
};
