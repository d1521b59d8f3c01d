#pragma once

// The log of can-utils' "candump -l": "(seconds.microseconds) canN ID#DATA" per frame, where
// channel 1 is can0 and channel 2 can1, extended identifiers have eight hex digits and a remote
// frame reads ID#R followed by its DLC when that is not 0. Written plain by default, as every
// reader (can-utils, python-can, Wireshark) takes it; on request with "candump -x"'s trailing R or
// T for the direction, which Wireshark refuses. Read with or without it, and with can-utils'
// "_D" suffix for a raw DLC above 8.

#include "recording/logcodec.h"

class CandumpLogCodec : public LogCodec
{
public:
    explicit CandumpLogCodec(bool withDirection = false)
        : m_withDirection(withDirection)
    {
    }

    QByteArray header(qint64 startUs, int total) override;
    void appendFrame(QByteArray &out,
                     const FileSaveSupport::CAN_StructureDescription &record) override;
    Line parseLine(const char *begin, const char *end, LogFrame &frame) override;

private:
    bool m_withDirection = false;
};
