#pragma once

// The frame texts of the command line: cansend's "123#DEADBEEF" for frames to send and candump's
// "ID:MASK" for identifier filters.

#include "recording/logframe.h"

#include <QString>
#include <QVector>

namespace CliFrames {

// "123#11.22.33" (three hex digits: standard), "12345678#..." (eight: extended), "123#R" or
// "123#R4" (remote, optional length). At most eight data bytes, optionally split by dots.
bool parseSendFrame(const QString &text, LogFrame *frame);

// "ID:MASK" passes a frame when id & MASK == ID & MASK; "ID~MASK" passes the frames that one
// would not. An eight-digit ID matches only extended frames, a shorter one only standard frames.
struct IdFilter
{
    quint32 id = 0;
    quint32 mask = 0;
    bool extended = false;
    bool inverted = false;

    bool passes(const LogFrame &frame) const;
};
bool parseFilter(const QString &text, IdFilter *filter);

// A frame passes when there are no filters or any one passes it.
bool passesAny(const QVector<IdFilter> &filters, const LogFrame &frame);

} // namespace CliFrames
