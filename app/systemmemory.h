#pragma once

// The machine's physical memory, for weighing a size the user picks against it.

#include <QtGlobal>

namespace SystemMemory {
// In bytes; 0 when the system does not tell.
qint64 physicalBytes();
} // namespace SystemMemory
