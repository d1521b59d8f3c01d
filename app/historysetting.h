#pragma once

// How many frames the receive view keeps in its history: remembered under "HistorySize" and put
// in force at start, before a log named on the command line is read into it. A run can take
// another size from the command line without changing what is remembered.
namespace HistorySetting {

// The remembered size, within what the history accepts. A value that is no number (a settings
// file edited by hand) gives the default, one out of range the nearest accepted size.
int stored();
void store(int frames);

// Puts `runFrames` in force when it is above 0, else the remembered size; returns the size now
// in force.
int applyAtStart(int runFrames = 0);

} // namespace HistorySetting
