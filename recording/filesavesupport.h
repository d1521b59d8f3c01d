#pragma once

// Writes recorded CAN frames to text log files: line by line while real-time saving runs, or the
// whole history in one go with a progress window. Lives on the GUI thread; the display buffer
// feeds it by queued signals and hands it the history to save. Every write is checked: a failed
// one stops that saving and is reported through a signal, never passed off as saved.

#include "display/canrecord.h"
#include "recording/logframe.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <memory>

class QFile;
class QTextStream;
class FileSave_Widget;
class CanRecordBuffer;
template<typename T>
class LockedHandoff;
class LogCodec;
enum class LogFormat;

class FileSaveSupport : public QObject
{
    Q_OBJECT
public:
    // One frame as the texts the table shows and the log writes.
    struct CAN_StructureDescription
    {
        QString systemTime;
        QString timeStamp;
        QString channel;
        QString frameID;
        QString canType;
        QString direction;
        QString dataLength;
        QString data;
        // The same frame as numbers, for the log formats that are not written from the texts.
        LogFrame frame;
    };

    // Lines before the first frame line: date, base, version and an empty line.
    static constexpr int HeaderLines = 4;

    explicit FileSaveSupport(LockedHandoff<CanRecordBuffer> *historyBuff,
                             QObject *parent = nullptr);
    ~FileSaveSupport() override;

    // One log line without its line end.
    static QString formatLogLine(const CAN_StructureDescription &frame);
    // The same line, line end included, appended as bytes; the global save builds its file this
    // way.
    static void appendLogLine(QByteArray &out, const CAN_StructureDescription &frame);
    // The header of a native log: of a real-time log when `total` is -1, else of a global save of
    // `total` frames.
    static QByteArray nativeHeader(int total);

    // The format of the next real-time log and of the next global save; native until set.
    void setRealTimeFormat(LogFormat format);
    void setGlobalSaveFormat(LogFormat format);

    void writeFrame(CAN_StructureDescription &frameStr);
    // Lines of a batch of the history's records, made here from their numbers.
    void writeRecords(const QVector<CanRecord> &records);
    void setGlobalSavePath(QString path);
    void realTimeSaveCommand(QString path, bool realTime_Save_Flag);
    void globalSave();

    bool isRealTimeSaving() const { return m_realTimeStream != nullptr; }
    // Pushes what the real-time stream still buffers to the file.
    void flushRealTime();
    FileSave_Widget *progressWindow() const { return m_progressWindow; }

signals:
    void signal_processSet(int value);
    // Real-time saving could not start or a write failed: the log is closed and stays stopped.
    void signal_realTimeSaveFailed(QString path, QString reason);
    // A global save was refused or failed; the file at `path` was left as it was.
    void signal_globalSaveFailed(QString path, QString reason);

private:
    void closeRealTime();
    void failRealTime();
    void writeRealTime();
    void writeGlobalSave();

    QString m_realTimePath;
    QString m_globalPath;
    FileSave_Widget *m_progressWindow = nullptr;
    LockedHandoff<CanRecordBuffer> *m_historyBuff = nullptr;
    LogFormat m_realTimeFormat;
    LogFormat m_globalFormat;
    std::unique_ptr<LogCodec> m_realTimeCodec;
    QByteArray m_line;
    QFile *m_realTimeFile = nullptr;
    QTextStream *m_realTimeStream = nullptr;
    // A killed program loses at most what this interval leaves in the stream buffer.
    QTimer m_flushTimer;
    bool m_globalSaving = false;
    bool m_globalSavePending = false;
};

Q_DECLARE_TYPEINFO(FileSaveSupport::CAN_StructureDescription, Q_MOVABLE_TYPE);
