#pragma once

// The frames every log format test writes and reads: standard, extended and remote frames, DLC 0
// and 8, both channels, received and sent, and device stamps that wrap past 32 bits. Host times
// jitter on purpose, so a writer that takes gaps from them instead of from the stamps is caught.

#include "display/canrecord.h"
#include "recording/filesavesupport.h"
#include "recording/logframe.h"

#include <QVector>

namespace LogFrameTable {
// The frames as the history's records, and with the texts the receive path gives them.
QVector<CanRecord> records();
QVector<FileSaveSupport::CAN_StructureDescription> texts();
// Microseconds from the first frame to frame i, taken from the device stamps.
QVector<qint64> gapsUs();
} // namespace LogFrameTable
