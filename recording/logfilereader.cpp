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

LogReadResult LogFileReader::read(QIODevice &in, const FrameSink &sink, const Progress &progress)
{
    LogReadResult result;
    if (!LogCodec::detect(in.peek(DetectBytes), &result.format))
        return result;
    result.recognised = true;
    const std::unique_ptr<LogCodec> codec = LogCodec::create(result.format);

    qint64 lineNumber = 0;
    qint64 bytesRead = 0;
    bool firstLine = true;
    QByteArray carry; // the start of a line that a chunk boundary cut
    bool overlong = false; // the current line already passed MaxLineLength

    const auto handleLine = [&](const char *begin, const char *end) {
        ++lineNumber;
        if (firstLine) {
            firstLine = false;
            if (end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
                begin += 3;
        }
        if (end > begin && end[-1] == '\r')
            --end;
        LogFrame frame;
        const bool tooLong = overlong || end - begin > MaxLineLength;
        const LogCodec::Line kind
            = tooLong ? LogCodec::Line::Bad : codec->parseLine(begin, end, frame);
        if (kind == LogCodec::Line::Bad) {
            if (result.badLines++ == 0) {
                result.firstBadLine = lineNumber;
                result.firstBadText = printable(begin, end);
            }
        } else if (kind == LogCodec::Line::Frame) {
            ++result.frames;
            if (!sink(frame)) {
                result.stopped = true;
                return false;
            }
        }
        return true;
    };

    QByteArray chunk;
    while (!result.stopped) {
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
                if (carry.size() + (end - p) > MaxLineLength + 1) {
                    overlong = true;
                    carry.append(
                        p, int(qMin<qint64>(end - p, qMax(0, MaxLineLength + 1 - carry.size()))));
                } else {
                    carry.append(p, int(end - p));
                }
                break;
            }
            bool go = true;
            if (carry.isEmpty() && !overlong) {
                go = handleLine(p, eol);
            } else {
                if (!overlong && carry.size() + (eol - p) > MaxLineLength + 1)
                    overlong = true;
                carry.append(p,
                             int(qMin<qint64>(eol - p, qMax(0, MaxLineLength + 1 - carry.size()))));
                go = handleLine(carry.constData(), carry.constData() + carry.size());
                carry.clear();
                overlong = false;
            }
            p = eol + 1;
            if (!go)
                break;
        }
        if (progress && !result.stopped && !progress(bytesRead))
            result.stopped = true;
    }
    if (!result.stopped && (!carry.isEmpty() || overlong))
        handleLine(carry.constData(), carry.constData() + carry.size());
    return result;
}
