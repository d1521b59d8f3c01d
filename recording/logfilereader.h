#pragma once

// Reads a log of any known format line by line: finds the format from the content, hands every
// frame to a sink and counts the lines it does not understand or refuses. A format that must see
// the whole file first (a native whole-history save) gets a quick first pass when the device can
// seek. Memory stays bounded whatever the
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
    // Lines understood but not read: frames this program cannot hold (CAN FD), or a variant of
    // the format it cannot read. `refusal` says which and why, for the user.
    qint64 refusedLines = 0;
    qint64 firstRefusedLine = 0;
    QString refusal;
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
