#include "logframetable.h"

#include "display/canframeformatter.h"

#include <QDateTime>

namespace {
struct Row
{
    quint8 channel;
    quint32 id;
    quint8 info;
    const char *data;
    quint8 dir;
    quint32 stamp;
    qint32 hostJitterUs;
};

const Row Rows[] = {
    { 1, 0x7EF, 3, "\x01\xAB\x0F", 0, 4294960000u, 0 },
    { 2, 0x1F3A5, 0x80 | 8, "\x11\x22\x33\x44\x55\x66\x77\x88", 1, 4294965000u, 900 },
    { 1, 0x000, 0, "", 0, 4294967000u, -400 },
    { 2, 0x123, 0x40 | 4, "", 0, 200u, 2500 }, // past the wrap
    { 1, 0x1FFFFFFF, 0x80 | 0x40, "", 1, 1200u, -700 },
    { 2, 0x0, 0x80 | 8, "\xFF\xFE\x00\x01\x80\x7F\x10\x20", 0, 11200u, 1300 },
    { 1, 0x7FF, 1, "\x5A", 1, 11201u, 0 },
};
constexpr qint64 FirstHostUs = 1765180800123LL * 1000; // host times are whole milliseconds
} // namespace

namespace LogFrameTable {

QVector<qint64> gapsUs()
{
    QVector<qint64> gaps;
    qint64 ticks = 0;
    quint32 last = Rows[0].stamp;
    for (const Row &row : Rows) {
        ticks += qint32(row.stamp - last);
        last = row.stamp;
        gaps.append(ticks * 100);
    }
    return gaps;
}

QVector<CanRecord> records()
{
    QVector<CanRecord> out;
    const QVector<qint64> gaps = gapsUs();
    int i = 0;
    for (const Row &row : Rows) {
        LogFrame frame;
        frame.channel = row.channel;
        frame.id = row.id;
        frame.info = row.info;
        frame.dir = row.dir;
        frame.timeStamp = row.stamp;
        for (int b = 0; b < frame.dataCount(); ++b)
            frame.data[b] = quint8(row.data[b]);
        // Whole milliseconds, as the host clock gives them.
        frame.hostTimeUs = (FirstHostUs + gaps.at(i++) + row.hostJitterUs) / 1000 * 1000;
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(frame.hostTimeUs / 1000);
        out.append(CanRecord::fromFrame(frame, local.time().msecsSinceStartOfDay()));
    }
    return out;
}

QVector<FileSaveSupport::CAN_StructureDescription> texts()
{
    CanFrameFormatter formatter;
    QVector<FileSaveSupport::CAN_StructureDescription> out;
    for (const CanRecord &record : records()) {
        out.append(FileSaveSupport::CAN_StructureDescription());
        formatter.format(out.last(), record);
    }
    return out;
}

} // namespace LogFrameTable
