#pragma once

// How the process meets the signals of its surroundings. A write into a pipe whose reader is gone
// fails like any other write instead of ending the program, and a request to terminate (logging
// out, Ctrl+C in a terminal, kill) closes the program the way its close button does: the event
// loop ends with 0, so the real-time log is flushed and closed. A second request of the same kind
// ends the process at once.
namespace TerminationSignals {

// A write into a pipe whose reader is gone fails instead of ending the process. Call first thing:
// even the application object's start-up may write warnings.
void ignoreBrokenPipes();

// Call once the application object exists; calling it again changes nothing. Includes
// ignoreBrokenPipes().
void install();

// True once a termination request has been seen.
bool closeRequested();

} // namespace TerminationSignals
