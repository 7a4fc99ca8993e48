#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/machine/Machine.h"

namespace machine {

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string HostPath(const std::string& path) {
    // Wine's own export, absent from Windows: it is looked up, not imported.
    using UnixFileNameFn = char*(CDECL*)(LPCWSTR dosName);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto unixFileName = reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void*>(
        kernel != nullptr ? ::GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr));
    if (unixFileName == nullptr) return std::string();
    const int size = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (size <= 0) return std::string();
    std::vector<wchar_t> wide(static_cast<size_t>(size));
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
    char* unixName = unixFileName(wide.data());
    if (unixName == nullptr) return std::string();
    std::string result = unixName;
    ::HeapFree(::GetProcessHeap(), 0, unixName);
    return result;
}

bool RunHostCommand(const std::string& command, DWORD timeoutMs, int& status, std::string& output) {
    char temp[MAX_PATH] = {};
    if (::GetTempPathA(MAX_PATH, temp) == 0) return false;
    char base[MAX_PATH] = {};
    if (::GetTempFileNameA(temp, "lhc", 0, base) == 0) return false;
    const std::string done = std::string(base) + ".done";
    const std::string printed = std::string(base) + ".out";
    const std::string hostDone = HostPath(done);
    const std::string hostPrinted = HostPath(printed);
    bool ended = false;
    if (!hostDone.empty() && !hostPrinted.empty()) {
        // The status is written to a second name and renamed, so it is never read half made.
        // Wine hands the program its arguments split by the rules of Windows, where a double
        // quote groups words: the script goes in one, so it must hold none itself.
        const std::string script = "(" + command + ") >" + ShellQuoted(hostPrinted) +
                                   " 2>&1; echo $? >" + ShellQuoted(hostDone + ".new") + "; mv " +
                                   ShellQuoted(hostDone + ".new") + " " + ShellQuoted(hostDone);
        std::string commandLine = "sh -c \"" + script + "\"";
        if (script.find('"') != std::string::npos) commandLine.clear();
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!commandLine.empty() &&
            ::CreateProcessA("Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process)) {
            // For a Linux program Wine hands out no process handle and, as the thread's, a value
            // that is no handle of it: closing that would close one of this program's own.
            if (process.hProcess != nullptr) {
                ::CloseHandle(process.hThread);
                ::CloseHandle(process.hProcess);
            }
            const DWORD start = ::GetTickCount();
            while (!(ended = FileExists(done)) && ::GetTickCount() - start < timeoutMs) ::Sleep(20);
        }
    }
    std::string statusText;
    if (ended && ReadWholeFile(done, statusText)) {
        status = std::atoi(statusText.c_str());
        static_cast<void>(ReadWholeFile(printed, output));
    } else {
        ended = false;
    }
    for (const std::string& file : {std::string(base), done, printed}) {
        static_cast<void>(::DeleteFileA(file.c_str()));
    }
    return ended;
}

namespace {
constexpr DWORD kMountLimitMs = 30000;
}

bool MountReadOnly(const std::string& folder, std::string& problem) {
    const std::string host = HostPath(folder);
    if (host.empty()) {
        problem = "cannot tell where " + folder + " is on the host";
        return false;
    }
    int status = 0;
    std::string output;
    const std::string quoted = ShellQuoted(host);
    const bool ran = RunHostCommand(
        "mount --bind " + quoted + " " + quoted + " && mount -o remount,ro,bind " + quoted,
        kMountLimitMs, status, output);
    if (ran && status == 0) return true;
    Unmount(folder);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    problem = "this host does not let a folder be mounted read-only (" +
              (ran ? "mount: " + output : std::string("no shell answered")) +
              "; it needs root and a host that allows mounts)";
    return false;
}

void Unmount(const std::string& folder) {
    const std::string host = HostPath(folder);
    if (host.empty()) return;
    int status = 0;
    std::string output;
    static_cast<void>(RunHostCommand("while mountpoint -q " + ShellQuoted(host) + "; do umount " +
                                         ShellQuoted(host) + " || exit 1; done",
                                     kMountLimitMs, status, output));
}

}  // namespace machine
