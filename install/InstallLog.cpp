#include "install/InstallLog.h"

#include <cstdio>

#include "framework/PlatformStrings.h"

std::atomic<InstallLog*> InstallLog::current{nullptr};

namespace {

const char* const kLogName = "Lumitactile Setup.log";
const char* const kOldLogName = "Lumitactile Setup.old.log";
// A log over this size at the start of a run makes way for a new one.
constexpr DWORD kLargestLog = 1024 * 1024;

HANDLE OpenForAppending(const std::string& path) {
    // Others may read it meanwhile: support may look while the wizard runs.
    return ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

InstallLog::InstallLog() {
    ::InitializeCriticalSection(&lock);
}

InstallLog::~InstallLog() {
    InstallLog* self = this;
    current.compare_exchange_strong(self, nullptr);
    ::EnterCriticalSection(&lock);
    file.Reset();
    ::LeaveCriticalSection(&lock);
    ::DeleteCriticalSection(&lock);
}

std::string InstallLog::FilePath() {
    const std::string folder = TemporaryFolder();
    return folder.empty() ? std::string() : folder + kLogName;
}

std::string InstallLog::OldFilePath() {
    const std::string folder = TemporaryFolder();
    return folder.empty() ? std::string() : folder + kOldLogName;
}

bool InstallLog::Open(const char* version) {
    const std::string path = FilePath();
    if (path.empty()) return false;
    UniqueFile opened(OpenForAppending(path));
    if (!opened) return false;
    const DWORD size = ::GetFileSize(opened.Get(), nullptr);
    if (size != INVALID_FILE_SIZE && size > kLargestLog) {
        // MoveFileEx is missing on Windows 95/98/ME: the older log goes first, then the rename.
        const std::string old = OldFilePath();
        opened.Reset();
        static_cast<void>(::DeleteFileA(old.c_str()));
        static_cast<void>(::MoveFileA(path.c_str(), old.c_str()));
        opened.Reset(OpenForAppending(path));
        if (!opened) return false;
    }
    if (::SetFilePointer(opened.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        ::GetLastError() != NO_ERROR) {
        return false;
    }
    ::EnterCriticalSection(&lock);
    file = std::move(opened);
    start = ::GetTickCount();
    ::LeaveCriticalSection(&lock);

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char heading[128];
    std::snprintf(heading, sizeof(heading),
                  "==== Lumitactile Setup %s, run of %04u-%02u-%02u %02u:%02u:%02u ====", version,
                  now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    // A block starts on a line of its own, whatever the last run left.
    Append(std::string("\r\n") + heading);
    current.store(this);
    return true;
}

void InstallLog::Write(const std::string& text) {
    InstallLog* log = current.load();
    if (log == nullptr) return;
    char stamp[24];
    std::snprintf(stamp, sizeof(stamp), "%8lu ms  ",
                  static_cast<unsigned long>(::GetTickCount() - log->start));
    log->Append(stamp + text);
}

void InstallLog::Append(const std::string& text) {
    const std::string line = text + "\r\n";
    ::EnterCriticalSection(&lock);
    if (file) {
        DWORD written = 0;
        // A write that fails (a full disk) loses the line and nothing else; the flush puts the
        // line on the disk before the step after it starts.
        if (::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                        nullptr)) {
            static_cast<void>(::FlushFileBuffers(file.Get()));
        }
    }
    ::LeaveCriticalSection(&lock);
}

std::string InstallLog::ErrorText(DWORD error) {
    std::string text = "error " + std::to_string(error);
    char* message = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    if (length > 0 && message != nullptr) {
        std::string said(message, length);
        while (!said.empty() &&
               (said.back() == '\r' || said.back() == '\n' || said.back() == ' ')) {
            said.pop_back();
        }
        if (!said.empty()) text += " (" + said + ")";
    }
    if (message != nullptr) ::LocalFree(message);
    return text;
}
