#pragma once

// Command-line options that add serial ports the USB enumeration cannot find:
//   --simulate           start a virtual adapter in this process and list its port
//   --simulate-rate N    frames per second per channel it generates once started (default 100)
//   --port PATH          list a serial device without USB identifiers (a pseudo-terminal, ...)
// Call once after the application object exists and before the first window is built.

#include <QString>
#include <QStringList>

class VirtualAdapter;

// Returns false (with a reason) when an option is malformed or the adapter cannot start;
// the ports that could be added are added anyway. Other arguments are left alone.
bool applyPortOptions(const QStringList &arguments, QString *error = nullptr);

constexpr int DefaultSimulatedRate = 100;

// The same with the options already read: lists `ports` and, with `simulate`, starts the virtual
// adapter at `rate` frames per second per channel. False (with a reason) when it cannot start.
bool applyPortOptions(const QStringList &ports, bool simulate, int rate, QString *error = nullptr);

// The adapter started by --simulate, or nullptr.
VirtualAdapter *simulatedAdapter();

// Winds the --simulate adapter's thread down; call it once the event loop has ended, before
// the application object goes (from its destructor the adapter's timer would be stopped from
// the wrong thread).
void stopSimulatedAdapter();
