#include "platform/interrupt_rename.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace {

std::wstring renameFrom;
std::wstring renameTo;
std::atomic<bool> armed{false};
std::atomic<int> holds{0};
std::atomic<bool> waiting{false};

void renameAndEnd() {
    if (armed)
        MoveFileExW(renameFrom.c_str(), renameTo.c_str(), MOVEFILE_REPLACE_EXISTING);
    ExitProcess(130);
}

// Runs on a thread of its own that Windows starts for Ctrl+C, Ctrl+Break and a closed console.
BOOL WINAPI interrupted(DWORD) {
    if (holds > 0) {
        waiting = true;
        return TRUE;
    }
    renameAndEnd();
    return TRUE;
}

} // namespace

namespace interrupt_rename {

void arm(const QString& from, const QString& to) {
    armed = false;
    renameFrom = from.toStdWString();
    renameTo = to.toStdWString();
    armed = true;
    SetConsoleCtrlHandler(interrupted, TRUE);
}

void disarm() {
    armed = false;
    SetConsoleCtrlHandler(interrupted, FALSE);
}

Hold::Hold() {
    ++holds;
}

Hold::~Hold() {
    if (--holds == 0 && waiting)
        renameAndEnd();
}

} // namespace interrupt_rename
