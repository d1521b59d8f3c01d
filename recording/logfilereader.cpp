#include "logfilereader.h"

#include <QIODevice>

#include <cstring>

namespace {
constexpr qint64 ChunkBytes = 1 << 20;
constexpr int ShownBadChars = 80;

QByteArray printable(const char *begin, const char *end)
{
    QByteArray text;
    for (const char *p = begin; p < end && text.size() < ShownBadChars; ++p)
        text.append(*p >= 0x20 && *p < 0x7F ? *p : '?');
    return text;
}
} // namespace

// Hands every line of `in` to `handle(begin, end, tooLong)`, without its line end, a CR before it
// or the byte order mark of the first line, until `handle` returns false; `chunkDone(bytesRead)`
// runs after each chunk and stops the reading when it returns false. Memory stays bounded: of a
// line longer than MaxLineLength only the start is kept. False when stopped.
template<typename Handle, typename ChunkDone>
bool forEachLine(QIODevice &in, Handle handle, ChunkDone chunkDone)
{
    constexpr int MaxLine = LogFileReader::MaxLineLength;
    qint64 bytesRead = 0;
    bool firstLine = true;
    QByteArray carry; // the start of a line that a chunk boundary cut
    bool overlong = false; // the current line already passed MaxLineLength

    const auto handleLine = [&](const char *begin, const char *end) {
        if (firstLine) {
            firstLine = false;
            if (end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
                begin += 3;
        }
        if (end > begin && end[-1] == '\r')
            --end;
        return handle(begin, end, overlong || end - begin > MaxLine);
    };

    QByteArray chunk;
    for (;;) {
        chunk = in.read(ChunkBytes);
        if (chunk.isEmpty())
            break;
        bytesRead += chunk.size();
        const char *p = chunk.constData();
        const char *end = p + chunk.size();
        while (p < end) {
            const char *eol = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!eol) {
                // Keep at most one line's worth; the rest of an overlong line is not needed.
                if (carry.size() + (end - p) > MaxLine + 1) {
                    overlong = true;
                    carry.append(p,
                                 int(qMin<qint64>(end - p, qMax(0, MaxLine + 1 - carry.size()))));
                } else {
                    carry.append(p, int(end - p));
                }
                break;
            }
            bool go = true;
            if (carry.isEmpty() && !overlong) {
                go = handleLine(p, eol);
            } else {
                if (!overlong && carry.size() + (eol - p) > MaxLine + 1)
                    overlong = true;
                carry.append(p, int(qMin<qint64>(eol - p, qMax(0, MaxLine + 1 - carry.size()))));
                go = handleLine(carry.constData(), carry.constData() + carry.size());
                carry.clear();
                overlong = false;
            }
            if (!go)
                return false;
            p = eol + 1;
        }
        if (!chunkDone(bytesRead))
            return false;
    }
    if (!carry.isEmpty() || overlong)
        return handleLine(carry.constData(), carry.constData() + carry.size());
    return true;
}

LogReadResult LogFileReader::read(QIODevice &in, const FrameSink &sink, const Progress &progress)
{
    LogReadResult result;
    if (!LogCodec::detect(in.peek(DetectBytes), &result.format))
        return result;
    result.recognised = true;
    const std::unique_ptr<LogCodec> codec = LogCodec::create(result.format);

    if (!in.isSequential()) {
        const qint64 start = in.pos();
        bool scanning = true;
        const bool whole = forEachLine(
            in,
            [&](const char *begin, const char *end, bool tooLong) {
                if (!tooLong)
                    scanning = codec->scanLine(begin, end);
                return scanning;
            },
            // The pass is quick; the bar moves in the real one, but a cancel counts here too.
            [&](qint64) { return !progress || progress(0); });
        if (whole || !scanning)
            codec->endScan();
        else
            result.stopped = true;
        if (!in.seek(start))
            return result;
        if (result.stopped)
            return result;
    }

    qint64 lineNumber = 0;
    forEachLine(
        in,
        [&](const char *begin, const char *end, bool tooLong) {
            ++lineNumber;
            LogFrame frame;
            const LogCodec::Line kind
                = tooLong ? LogCodec::Line::Bad : codec->parseLine(begin, end, frame);
            switch (kind) {
            case LogCodec::Line::Bad:
                if (result.badLines++ == 0) {
                    result.firstBadLine = lineNumber;
                    result.firstBadText = printable(begin, end);
                }
                break;
            case LogCodec::Line::Refused:
                if (result.refusedLines++ == 0) {
                    result.firstRefusedLine = lineNumber;
                    result.refusal = codec->refusal();
                }
                break;
            case LogCodec::Line::Frame:
                ++result.frames;
                if (!sink(frame)) {
                    result.stopped = true;
                    return false;
                }
                break;
            case LogCodec::Line::Skip:
                break;
            }
            return true;
        },
        [&](qint64 bytesRead) {
            if (progress && !progress(bytesRead))
                result.stopped = true;
            return !result.stopped;
        });
    return result;
}
