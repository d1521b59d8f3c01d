#pragma once

// This program's own text log: a short header, then per frame the host time of day, channel,
// identifier, type (STD or EXT), direction, DLC and data. Its bytes are a fixed contract with
// other readers of these files: a remote frame is written like a data frame, with the bytes its
// record carries. Read back with the day taken from the header's date line; a whole-history
// save, dated after its last frame, is looked through once first to count its midnights.

#include "recording/logcodec.h"

#include <QDate>

#include <limits>

class NativeLogCodec : public LogCodec
{
public:
    QByteArray header(qint64 startUs, int total) override;
    void appendFrame(QByteArray &out,
                     const FileSaveSupport::CAN_StructureDescription &record) override;
    void appendRecord(QByteArray &out, const CanRecord &record) override;
    Line parseLine(const char *begin, const char *end, LogFrame &frame) override;
    bool scanLine(const char *begin, const char *end) override;
    void endScan() override;

private:
    QDate m_date = QDate(2000, 1, 1);
    int m_dayOffset = 0;
    int m_lastMsecsOfDay = -1;
    int m_openedMsecsOfDay = 0;
    bool m_wholeHistory = false;
    // Day offset times 24 plus hour of the cached hour start; -1 is 23:00 the day before.
    static constexpr int NoHour = std::numeric_limits<int>::min();
    int m_hourKey = NoHour;
    qint64 m_hourStartMs = 0;

    // What the first pass found: the day of the first frame, relative to the date line.
    struct Scan
    {
        int dateLines = 0;
        int openedMsecsOfDay = 0;
        int lastMsecsOfDay = -1;
        int midnights = 0;
        bool found = false;
        int firstDayOffset = 0;
    } m_scan;
};
