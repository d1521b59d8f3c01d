#pragma once

#include <functional>

class RAZOradurodMainWindow;

// Start-up of the program once the application object exists: the application font and the
// main window loop that rebuilds the window whenever it asks for a restart (language switch).
namespace ApplicationShell {

// "Microsoft Yahei" 10 pt everywhere. Where that family is not installed it is mapped to an
// installed CJK face, so Latin and Chinese captions come from the same font.
void setUpApplicationFont();

// Builds and shows a main window and runs the event loop, again and again while the loop ends
// with RAZOradurodMainWindow::RestartCode; returns the last loop's exit code. `shown` is called
// with each new window right after it is shown. Before returning, an open device is closed.
int runMainWindows(const std::function<void(RAZOradurodMainWindow *)> &shown = {});

} // namespace ApplicationShell
