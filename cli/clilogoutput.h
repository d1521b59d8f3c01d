#pragma once

// Where the command line writes frames: standard output or a log file in any format the log
// codecs write, with optional rotation into numbered files by size or by age. Output is buffered
// and goes out on flush(); a reader that went away (a closed pipe) is told apart from a failure.

#include "display/hostclock.h"
#include "recording/logcodec.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <memory>

class CliLogOutput
{
public:
    enum class Status { Ok, Closed, Failed };

    CliLogOutput() = default;
    ~CliLogOutput();
    CliLogOutput(const CliLogOutput &) = delete;
    CliLogOutput &operator=(const CliLogOutput &) = delete;

    // `path` empty or "-" writes to standard output.
    bool open(const QString &path, LogFormat format, QString *error);
    // Starts a new file once one holds `maxBytes` (0: no limit) or is `maxSeconds` old (0: no
    // limit). Files are then named <stem>-<yyyyMMdd-hhmmss>-<n>.<suffix> beside `path`.
    void setRotation(qint64 maxBytes, int maxSeconds);

    // Adds one frame; its host time sets the time of day of the native format's texts.
    Status write(const LogFrame &frame);
    Status flush();
    // Writes the format's closing lines and closes the file.
    Status close();

    QString errorString() const { return m_error; }
    QString currentPath() const { return m_currentPath; }
    qint64 bufferedBytes() const { return m_buffer.size(); }

private:
    bool openNext(QString *error);
    bool rotationDue() const;
    Status writeOut();

    QString m_path;
    QString m_currentPath;
    LogFormat m_format = LogFormat::Candump;
    std::unique_ptr<LogCodec> m_codec;
    bool m_toStdout = false;
    bool m_headerWritten = false;
    QFile m_file;
    QByteArray m_buffer;
    QString m_error;

    qint64 m_maxBytes = 0;
    int m_maxSeconds = 0;
    qint64 m_fileBytes = 0;
    QElapsedTimer m_fileAge;
    int m_rotation = 0;
    LocalTimeOfDay m_localTime;
};
