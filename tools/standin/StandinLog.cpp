#include "tools/standin/StandinLog.h"

#include "framework/Handles.h"

namespace standin {

const char* const kLogVariable = "LUMI_STANDIN_LOG";

namespace {

// Long enough for any other stand-in to finish its one short write.
constexpr DWORD kRetryForMs = 10000;
constexpr DWORD kRetryEveryMs = 10;

bool IsHeldByAnotherWriter(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

bool ReadEnvironment(const char* name, std::string& value) {
    std::string buffer(256, '\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length =
            ::GetEnvironmentVariableA(name, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            // An empty value also reads as 0; only a missing one sets the error.
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            value.clear();
            return true;
        }
        if (length < buffer.size()) {
            value.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(length + 1);  // length is the size needed, terminator included
    }
}

std::string ModulePath() {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size()) return buffer.substr(0, length);
        buffer.resize(buffer.size() * 2);  // cut off: try again with more room
    }
}

bool LogStart(const char* role) {
    std::string logPath;
    if (!ReadEnvironment(kLogVariable, logPath) || logPath.empty()) return true;

    const std::string line =
        std::string(role) + " " + ModulePath() + " | " + ::GetCommandLineA() + "\r\n";

    // Writers take the file one at a time (no write sharing), so every line lands whole.
    UniqueHandle file;
    const DWORD start = ::GetTickCount();
    for (;;) {
        HANDLE opened = ::CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            file.Reset(opened);
            break;
        }
        if (!IsHeldByAnotherWriter(::GetLastError()) || ::GetTickCount() - start >= kRetryForMs) {
            return false;
        }
        ::Sleep(kRetryEveryMs);
    }

    DWORD done = 0;
    while (done < line.size()) {
        DWORD written = 0;
        if (!::WriteFile(file.Get(), line.data() + done, static_cast<DWORD>(line.size() - done),
                         &written, nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace standin
