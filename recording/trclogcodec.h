#pragma once

// PEAK's TRC log, version 2.1: ";$FILEVERSION=2.1", ";$STARTTIME=" (days since 1899-12-30, local
// time), ";$COLUMNS=N,O,T,B,I,d,R,L,D", then per frame its number, its offset in milliseconds
// from the start time, type DT (data) or RR (remote), bus, identifier, direction, DLC and data.

#include "recording/logcodec.h"

class TrcLogCodec : public LogCodec
{
public:
    QByteArray header(qint64 startUs, int total) override;
    void appendFrame(QByteArray &out,
                     const FileSaveSupport::CAN_StructureDescription &record) override;
    Line parseLine(const char *begin, const char *end, LogFrame &frame) override;

    static QByteArray startTimeText(qint64 us);
    static bool parseStartTime(const QByteArray &text, qint64 *us);

private:
    qint64 m_startUs = 0;
    quint64 m_number = 0;
    // Column letters in file order; set by ";$COLUMNS=".
    QByteArray m_columns = "NOTBIdRLD";
};
