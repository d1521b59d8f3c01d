#pragma once

// What the log benchmarks share: a generated log file of bus-like traffic, and the process's own
// memory as the kernel counts it.

#include "display/canframeformatter.h"
#include "recording/filesavesupport.h"
#include "recording/logcodec.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <climits>
#include <memory>

namespace BenchLog {

// The identifier every 50th frame carries and no other does, for a filter that keeps one frame in
// fifty; as the table writes it.
constexpr quint32 RareId = 0x7E8;
inline QString rareIdText()
{
    return QStringLiteral("0x7e8");
}
inline bool isRare(qint64 index)
{
    return index % 50 == 49;
}

// Frames as a bus shows them: two channels, both directions, a few dozen identifiers, mostly
// eight data bytes; device stamps that wrap past 32 bits half-way through a million frames. Written
// in chunks, so that even a file of tens of millions of frames takes little memory. Returns false
// when the file could not be written whole.
inline bool writeLog(const QString &path, LogFormat format, qint64 frames)
{
    QRandomGenerator random(7);
    CanFrameFormatter formatter;
    // Only the native format is written from the table's texts; the others take the numbers.
    const bool texts = format == LogFormat::Native;
    const std::unique_ptr<LogCodec> codec = LogCodec::create(format);
    const qint64 startUs = QDateTime::currentMSecsSinceEpoch() * 1000 - 3600LL * 1000000;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out = codec->header(startUs, int(qMin<qint64>(frames, INT_MAX)));
    FileSaveSupport::CAN_StructureDescription record;
    quint32 stamp = 0xFFFFFFFFu - 2500000u;
    bool written = true;
    for (qint64 i = 0; i < frames && written; ++i) {
        LogFrame &frame = record.frame;
        const bool extended = i % 5 == 0;
        frame.channel = quint8(1 + (i & 1));
        frame.dir = quint8(i % 7 == 0);
        frame.id = extended ? 0x18FF0000u + random.bounded(32) : 0x100u + random.bounded(32);
        if (isRare(i))
            frame.id = RareId;
        frame.info
            = quint8((extended && !isRare(i) ? LogFrame::Extended : 0) | (i % 50 == 0 ? 0 : 8));
        for (quint8 &byte : frame.data)
            byte = quint8(random.bounded(256));
        stamp += 2 + random.bounded(8);
        frame.timeStamp = stamp;
        frame.hostTimeUs = startUs + i * 500;
        if (texts) {
            formatter.format(record, frame.channel, frame.toDeviceFrame(), stamp, frame.dir,
                             int((frame.hostTimeUs / 1000) % 86400000));
        }
        codec->appendFrame(out, record);
        if (out.size() > (1 << 20)) {
            written = file.write(out) == out.size();
            out.clear();
        }
    }
    out += codec->footer();
    return written && file.write(out) == out.size() && file.flush();
}

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"), or -1.
inline long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Starts the peak resident size ("VmHWM:") over from the current one.
inline void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The one-minute load average, to print beside timings taken on a shared machine.
inline QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("?");
    return file.readAll().split(' ').value(0);
}

} // namespace BenchLog
