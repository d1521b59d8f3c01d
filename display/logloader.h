#pragma once

// Opens a log file for offline analysis: reads it on a worker thread, turns its frames into
// records as the receive path does for live frames, and hands them to the display buffer in
// blocks, which replace the history. The GUI thread only sees progress and the final result.
// A loader without a display only collects the frames as numbers, for uses that need none of the
// display's texts (the replay), and hands them over with the result.

#include "recording/logfilereader.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class CAN_DataDisplaySupport;
class QThread;

struct LogLoadResult
{
    QString path;
    bool opened = false; // the file could be read at all
    bool notRegular = false; // a pipe, device or folder: refused unopened, since open() may block
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
    // Never waits for a read under way: it is told to stop and ends on its own, so a file that
    // stalls the system call cannot hold up a language switch or the exit.
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
    struct Shared;
    static LogLoadResult read(const QString &path,
                              CAN_DataDisplaySupport *display,
                              int frameLimit,
                              const std::shared_ptr<Shared> &shared,
                              const std::function<void(int)> &progress);
    void onThreadDone(const LogLoadResult &result);

    CAN_DataDisplaySupport *m_display = nullptr;
    int m_frameLimit = 1000000;
    QThread *m_thread = nullptr;
    // What the reading thread uses; it may outlive this loader.
    std::shared_ptr<Shared> m_shared;
};
