#pragma once

// Reads a log of any known format line by line: finds the format from the content, hands every
// frame to a sink and counts the lines it does not understand. Memory stays bounded whatever the
// input: a line longer than MaxLineLength is one bad line, and nothing but the current chunk and
// line is kept.

#include "recording/logcodec.h"

#include <functional>

class QIODevice;

struct LogReadResult
{
    bool recognised = false;
    LogFormat format = LogFormat::Native;
    bool stopped = false; // the sink asked to stop
    qint64 frames = 0;
    qint64 badLines = 0;
    qint64 firstBadLine = 0; // counted from 1
    QByteArray firstBadText; // at most 80 characters, printable ASCII
};

class LogFileReader
{
public:
    static constexpr int MaxLineLength = 4096;
    static constexpr int DetectBytes = 64 * 1024;

    // Returns false from the sink to stop reading.
    using FrameSink = std::function<bool(const LogFrame &frame)>;
    // Called after every chunk; returns false to stop reading.
    using Progress = std::function<bool(qint64 bytesRead)>;

    static LogReadResult read(QIODevice &in, const FrameSink &sink, const Progress &progress = {});
};
