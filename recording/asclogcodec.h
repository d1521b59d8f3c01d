#pragma once

// Vector's ASC log: a header ("date ...", "base hex  timestamps absolute", "internal events
// logged"), a trigger block, and one line per frame, "time channel id[x] Rx|Tx d dlc bytes" or
// "... r dlc" for a remote frame, the time in seconds from the start of the block (or, with
// "timestamps relative", from the event before). Classic frames in "CANFD" lines are read too.

#include "recording/logcodec.h"

class QDateTime;

class AscLogCodec : public LogCodec
{
public:
    QByteArray header(qint64 startUs, int total) override;
    void appendFrame(QByteArray &out,
                     const FileSaveSupport::CAN_StructureDescription &record) override;
    QByteArray footer() override;
    Line parseLine(const char *begin, const char *end, LogFrame &frame) override;

    // "Tue Dec 8 06:05:57.123 am 2026" in local time, English names whatever the locale.
    static QByteArray dateText(qint64 us);
    // The same, also with a 24-hour clock or German month names; false if it is none of these.
    static bool parseDate(const QByteArray &text, qint64 *us);

private:
    Line parseCanFdLine(LogText::Cursor &line, qint64 timeUs, LogFrame &frame);
    bool parseId(const char *begin, const char *end, quint32 *id, bool *extended) const;
    bool parseData(LogText::Cursor &line, int count, LogFrame &frame) const;
    static Line parseDirection(const char *begin, const char *end, quint8 *dir);

    qint64 m_startUs = 0;
    int m_base = 16;
    bool m_relative = false;
    qint64 m_clockUs = 0; // the running time of a log with relative timestamps
};
