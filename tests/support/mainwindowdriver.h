#pragma once

#include <QString>

class QAction;
class RAZOradurodMainWindow;
class QToolButton;

// Drives the main window the way a user does, for tests of the shell and of pages joining it.
namespace MainWindowDriver {

// Points the settings store at a private folder for the rest of the process. Call before the
// application object exists (from a static initialiser) so no code ever sees the user's store.
void sandboxSettings();

// The folder the sandbox uses (empty before sandboxSettings()).
QString sandboxFolder();

// Removes every stored setting.
void clearSettings();

// The tool button with the given object name ("toolButton_DeviceManagement",
// "toolButton_MessageSend", "toolButton_Busratio", "toolButton_Setting").
QToolButton *toolButton(RAZOradurodMainWindow *window, const QString &name);

// Opens the settings & help menu with the mouse and picks `action` from it with the keyboard.
void chooseFromSettingMenu(RAZOradurodMainWindow *window, QAction *action);

// Presses the close button of the main window's window buttons.
void pressClose(RAZOradurodMainWindow *window);

} // namespace MainWindowDriver
