#include "tools/standin/StandinLog.h"

#include "framework/Handles.h"
#include "tools/machine/Machine.h"

namespace standin {

namespace {

const char* const kLogVariable = "LUMI_STANDIN_LOG";

// Long enough for any other stand-in to finish its one short write.
constexpr DWORD kRetryForMs = 10000;
constexpr DWORD kRetryEveryMs = 10;

bool IsHeldByAnotherWriter(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

bool LogStart(const char* role, const std::string& detail) {
    std::string logPath;
    if (!machine::ReadEnvironment(kLogVariable, logPath) || logPath.empty()) return true;

    const std::string line = std::string(role) + " " + machine::ModulePath() + " | " +
                             ::GetCommandLineA() + (detail.empty() ? "" : " | " + detail) + "\r\n";

    // Writers take the file one at a time (no write sharing), so every line lands whole.
    UniqueFile file;
    const DWORD start = ::GetTickCount();
    for (;;) {
        file.Reset(::CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) break;
        if (!IsHeldByAnotherWriter(::GetLastError()) || ::GetTickCount() - start >= kRetryForMs) {
            return false;
        }
        ::Sleep(kRetryEveryMs);
    }

    DWORD written = 0;
    return ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                       nullptr) &&
           written == line.size();
}

}  // namespace standin
