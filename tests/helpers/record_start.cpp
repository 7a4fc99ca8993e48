// Stands in for a program that the wizard only starts: appends one line, "<own full path>|<its
// command line>", to the file named by LUMI_START_LOG, so a test can see who was started and
// how. Writes nothing when the variable is unset.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char logPath[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("LUMI_START_LOG", logPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    char ownPath[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, ownPath, MAX_PATH);
    const std::string line = std::string(ownPath) + "|" + ::GetCommandLineA() + "\r\n";
    // Several starts may write at once: retry while another holds the file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE log = ::CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            ::CloseHandle(log);
            return 0;
        }
        ::Sleep(20);
    }
    return 1;
}
