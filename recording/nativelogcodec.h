#pragma once

// This program's own text log: a short header, then per frame the host time of day, channel,
// identifier, type, direction, DLC and data, as the frame table shows them. Written by the same
// code as ever; read back with the day taken from the header's date line.

#include "recording/logcodec.h"

#include <QDate>

class NativeLogCodec : public LogCodec
{
public:
    QByteArray header(qint64 startUs, int total) override;
    void appendFrame(QByteArray &out,
                     const FileSaveSupport::CAN_StructureDescription &record) override;
    Line parseLine(const char *begin, const char *end, LogFrame &frame) override;

private:
    QDate m_date = QDate(2000, 1, 1);
    int m_dayOffset = 0;
    int m_lastMsecsOfDay = -1;
    int m_openedMsecsOfDay = 0;
    bool m_wholeHistory = false;
    int m_hourKey = -1;
    qint64 m_hourStartMs = 0;
};
