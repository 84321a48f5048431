// velm-launch.exe: what the Start menu entry runs. Like velm-launch on Linux it starts VELM in
// the user's own data folder, %LOCALAPPDATA%\VELM, where its record database VELM.mdb lives:
// the first start creates the folder and the database (velm-initdb.exe), later starts leave
// both alone. The tool itself only ever opens VELM.mdb in its working folder.
#include <windows.h>

#include <shlobj.h>

#include <string>

namespace {

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring dataFolder() {
    PWSTR local = nullptr;
    std::wstring folder;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local) == S_OK)
        folder = std::wstring(local) + L"\\VELM";
    CoTaskMemFree(local);
    return folder;
}

void tell(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), L"VELM", MB_OK | MB_ICONWARNING);
}

// Runs `commandLine` in `folder`; its exit code, or -1 when it could not start.
long run(std::wstring commandLine, const std::wstring& folder, bool wait) {
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &start, &process))
        return -1;
    DWORD code = 0;
    if (wait) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return long(code);
}

// The arguments this launcher got, handed on to the window as they came.
std::wstring ownArguments() {
    const std::wstring line = GetCommandLineW();
    bool quoted = false;
    size_t i = 0;
    for (; i < line.size(); ++i) {
        if (line[i] == L'"')
            quoted = !quoted;
        else if (!quoted && (line[i] == L' ' || line[i] == L'\t'))
            break;
    }
    return line.substr(i);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring bin = programFolder();
    std::wstring data = dataFolder();
    const bool usable = !data.empty() && (CreateDirectoryW(data.c_str(), nullptr) ||
                                          GetLastError() == ERROR_ALREADY_EXISTS);
    if (!usable) {
        // The tool still starts; it says which tables it could not open.
        tell(L"VELM can not use its data folder " + data + L"; it starts in " + bin + L".");
        data = bin;
    } else if (GetFileAttributesW((data + L"\\VELM.mdb").c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (run(L"\"" + bin + L"\\velm-initdb.exe\" VELM.mdb", data, true) != 0)
            tell(L"VELM could not create " + data + L"\\VELM.mdb.");
    }
    if (run(L"\"" + bin + L"\\velm.exe\"" + ownArguments(), data, false) < 0) {
        tell(L"VELM could not start " + bin + L"\\velm.exe.");
        return 1;
    }
    return 0;
}
