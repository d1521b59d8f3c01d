#pragma once

// The log of can-utils' "candump -l": "(seconds.microseconds) canN ID#DATA" per frame, where
// channel 1 is can0 and channel 2 can1, extended identifiers have eight hex digits, a remote frame
// reads ID#R followed by its DLC when that is not 0, and a trailing R or T tells the direction.

#include "recording/logcodec.h"

class CandumpLogCodec : public LogCodec
{
public:
    QByteArray header(qint64 startUs, int total) override;
    void appendFrame(QByteArray &out,
                     const FileSaveSupport::CAN_StructureDescription &record) override;
    Line parseLine(const char *begin, const char *end, LogFrame &frame) override;
};
