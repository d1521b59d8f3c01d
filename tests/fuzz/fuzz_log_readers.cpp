// Arbitrary bytes as a log file. Reading must neither crash nor hang, must count every line
// either as a frame, as a line the format skips or as a bad line, and every frame it yields must
// be one the formats can write: written again in the same format and read back, it is the same
// frame.

#include "recording/logcodec.h"
#include "recording/logfilereader.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// `b` is `a` written and read again; candump writes a raw DLC above 8 as 8.
bool sameFrame(const LogFrame &a, const LogFrame &b, LogFormat format)
{
    quint8 info = a.info;
    if (format == LogFormat::Candump && a.dlc() > 8)
        info = quint8((info & ~LogFrame::DlcMask) | 8);
    return a.channel == b.channel && a.id == b.id && info == b.info && a.dir == b.dir
        && std::memcmp(a.data, b.data, size_t(a.dataCount())) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const qint64 lines = bytes.count('\n') + 1;

    std::unique_ptr<LogCodec> writer;
    std::unique_ptr<LogCodec> reader;
    LogFormat format = LogFormat::Native;
    const bool detected = LogCodec::detect(bytes.left(LogFileReader::DetectBytes), &format);
    if (detected && format != LogFormat::Native) {
        // The candump writer that keeps the direction the reader takes.
        writer = LogCodec::create(format == LogFormat::Candump ? LogFormat::CandumpWithDirection
                                                               : format);
        reader = LogCodec::create(format);
        const QByteArray header = writer->header(0, -1);
        for (const QByteArray &line : header.split('\n')) {
            LogFrame ignored;
            reader->parseLine(line.constData(), line.constData() + line.size(), ignored);
        }
    }

    const LogReadResult result = LogFileReader::read(buffer, [&](const LogFrame &frame) {
        check(frame.dlc() <= 15 && frame.dataCount() <= 8, "frame within CAN limits");
        check(frame.id <= (frame.isExtended() ? 0x1FFFFFFFu : 0x7FFu), "identifier in range");
        if (writer) {
            FileSaveSupport::CAN_StructureDescription record;
            record.frame = frame;
            QByteArray line;
            writer->appendFrame(line, record);
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            LogFrame again;
            check(reader->parseLine(line.constData(), line.constData() + line.size(), again)
                      == LogCodec::Line::Frame,
                  "a written frame reads back");
            check(sameFrame(frame, again, format), "a written frame reads back unchanged");
        }
        return true;
    });
    check(result.recognised == detected, "detection is the reader's");
    check(result.frames + result.badLines + result.refusedLines <= lines,
          "at most one result per line");
    check(result.firstBadText.size() <= 80, "bad line text bounded");
    return 0;
}
