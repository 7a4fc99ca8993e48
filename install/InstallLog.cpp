#include "install/InstallLog.h"

#include <cstdio>
#include <vector>

#include "framework/PlatformStrings.h"

std::atomic<InstallLog*> InstallLog::current{nullptr};

namespace {

const char* const kLogName = "Lumitactile Setup.log";
const char* const kOldLogName = "Lumitactile Setup.old.log";
// Where the older log waits while the log takes its name, so a rename that fails loses nothing.
const char* const kAsideLogName = "Lumitactile Setup.old.log.tmp";
// A log over this size at the start of a run makes way for a new one.
constexpr DWORD kLargestLog = 1024 * 1024;
// The byte every process locks while it appends a line: far past any log's end, so readers
// never meet it (LockFile, for Windows 95 lacks LockFileEx, and a lock past the end is allowed).
constexpr DWORD kLockOffset = 0x7FFFFFF0;
// How long a line waits for another process's line before it is written anyway: a line is
// short, so only a process stopped mid-line holds the lock that long.
constexpr DWORD kLockWaitMs = 2000;

HANDLE OpenForAppending(const std::string& path) {
    // Others may read it meanwhile: support may look while the wizard runs.
    return ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Clears the read-only bit of a file that has it; true when the file is without it afterwards
// (or is not there).
bool ClearReadOnly(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return true;
    }
    return ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE;
}

bool IsThere(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Opens the log, first clearing a read-only bit that would keep it from being written (Windows
// refuses to write a read-only file); notes says so.
HANDLE OpenClearingReadOnly(const std::string& path, std::vector<std::string>& notes) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        notes.push_back(ClearReadOnly(path)
                            ? "the log was read-only: its read-only bit was cleared"
                            : "the log is read-only, and clearing that failed: " +
                                  InstallLog::ErrorText(::GetLastError()));
    }
    return OpenForAppending(path);
}

// Makes way for a new log: the older log is put aside, the log takes its name, and only then is
// the older one deleted; a rename that fails puts everything back. MoveFileEx is missing on
// Windows 95/98/ME, so plain renames do it. Each step that fails goes into notes.
void MakeWay(const std::string& path, const std::string& old, const std::string& aside,
             std::vector<std::string>& notes) {
    auto failed = [&notes](const std::string& what) {
        notes.push_back(what + " failed: " + InstallLog::ErrorText(::GetLastError()));
    };
    const std::string quotedOld = InstallLog::Quoted(old);
    // What an earlier run cut off mid-way left is older than the older log.
    if (IsThere(aside) && !(ClearReadOnly(aside) && ::DeleteFileA(aside.c_str()))) {
        failed("the log is over 1 MiB, but deleting the leftover " + InstallLog::Quoted(aside));
        return;
    }
    const bool hadOld = IsThere(old);
    if (hadOld && !::MoveFileA(old.c_str(), aside.c_str())) {
        failed("the log is over 1 MiB, but moving " + quotedOld + " aside");
        return;
    }
    if (!::MoveFileA(path.c_str(), old.c_str())) {
        failed("the log is over 1 MiB, but renaming it to " + quotedOld);
        if (hadOld && !::MoveFileA(aside.c_str(), old.c_str())) {
            failed("putting back " + quotedOld + " from " + InstallLog::Quoted(aside));
        }
        return;
    }
    notes.push_back("the log was over 1 MiB: renamed to " + quotedOld);
    if (!hadOld) return;
    // A read-only older log would keep its place otherwise.
    if (!ClearReadOnly(aside) || !::DeleteFileA(aside.c_str())) {
        failed("deleting the older log " + InstallLog::Quoted(aside));
        return;
    }
    notes.push_back("the older log it replaces was deleted");
}

// Appends text at the file's end as it is now, under the lock other processes append under.
void AppendLocked(HANDLE file, const std::string& text) {
    const DWORD begun = ::GetTickCount();
    bool locked = false;
    while (!(locked = ::LockFile(file, kLockOffset, 0, 1, 0) != FALSE) &&
           ::GetTickCount() - begun < kLockWaitMs) {
        ::Sleep(1);
    }
    DWORD written = 0;
    // A write that fails (a full disk) loses the line and nothing else; the flush puts the line
    // on the disk before the step after it starts.
    if (::SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        static_cast<void>(::FlushFileBuffers(file));
    }
    if (locked) static_cast<void>(::UnlockFile(file, kLockOffset, 0, 1, 0));
}

// The date and time as the log writes them.
std::string Now() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
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
    std::vector<std::string> notes;
    UniqueFile opened(OpenClearingReadOnly(path, notes));
    if (!opened) return false;
    const DWORD size = ::GetFileSize(opened.Get(), nullptr);
    if (size != INVALID_FILE_SIZE && size > kLargestLog) {
        opened.Reset();
        MakeWay(path, OldFilePath(), TemporaryFolder() + kAsideLogName, notes);
        opened.Reset(OpenForAppending(path));
        if (!opened) return false;
    }
    ::EnterCriticalSection(&lock);
    file = std::move(opened);
    start = ::GetTickCount();
    ::LeaveCriticalSection(&lock);

    // A block starts on a line of its own, whatever the last run left.
    Append("\r\n==== Lumitactile Setup " + std::string(version) + ", run of " + Now() + " ====");
    current.store(this);
    for (const std::string& note : notes) Write(note);
    return true;
}

bool InstallLog::WriteForAnotherStart(const char* version, const std::string& text) {
    const std::string path = FilePath();
    if (path.empty()) return false;
    UniqueFile opened(OpenForAppending(path));
    if (!opened) return false;
    // No heading: the line goes into the block of the run in progress, which goes on after it.
    AppendLocked(opened.Get(), "  ++  another start of Lumitactile Setup " + std::string(version) +
                                   " at " + Now() + ": " + text + "\r\n");
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
    ::EnterCriticalSection(&lock);
    if (file) AppendLocked(file.Get(), text + "\r\n");
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
