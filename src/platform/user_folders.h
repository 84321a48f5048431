#pragma once

#include <QString>

// Where the launcher of the menu entry starts the window, and so where its records live.
namespace user_folders {
// Linux: an absolute $XDG_DATA_HOME, else ~/.local/share (/tmp without a home), with "velm"
// in it. Windows: %LOCALAPPDATA%\VELM.
QString data();
// Where XDG_RUNTIME_DIR is unset (a root shell, a service), Qt Gui makes a folder of its own
// and says so on standard error: give it a private one of ours (this user's, 0700) instead.
// Anything odd there and Qt does as it would. Nothing to do on Windows.
void provideRuntimeFolder();
} // namespace user_folders
