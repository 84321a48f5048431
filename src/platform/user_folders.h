#pragma once

#include <QString>

// Where the launcher of the menu entry starts the window, and so where its records live.
namespace user_folders {
// Linux: an absolute $XDG_DATA_HOME, else ~/.local/share (/tmp without a home), with "velm"
// in it. Windows: %LOCALAPPDATA%\VELM.
QString data();
} // namespace user_folders
