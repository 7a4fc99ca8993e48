#include "tests/support/CallRules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

namespace testing_support {

const char* const kRuleBearingCalls =
    "msvcrt._beginthreadex;kernel32.CreateThread;"
    "advapi32.RegOpenKeyExA;advapi32.RegOpenKeyA;advapi32.RegCreateKeyExA;advapi32.RegCreateKeyA;"
    "kernel32.WritePrivateProfileStringA;kernel32.WritePrivateProfileSectionA;"
    "user32.PeekMessageA;"
    "kernel32.SetErrorMode;kernel32.SetDllDirectoryA;kernel32.SetDefaultDllDirectories";

namespace {

constexpr unsigned long kKeyRead = 0x20019;            // KEY_READ
constexpr unsigned long kView64 = 0x0100;              // KEY_WOW64_64KEY
constexpr unsigned long kView32 = 0x0200;              // KEY_WOW64_32KEY
constexpr unsigned long kPeekQueueFlags = 0xFFFF0000;  // PM_QS_INPUT, PM_QS_SENDMESSAGE, ...
constexpr unsigned long kQuietErrors = 0x8001;  // SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The arguments between the call's parentheses, split at the commas that lie outside quoted
// strings (Wine writes a string argument as its address followed by the text in quotes, with
// quotes and backslashes escaped).
std::vector<std::string> Arguments(const std::string& text) {
    std::vector<std::string> arguments(1);
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            arguments.back() += c;
            arguments.back() += text[++i];
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            arguments.emplace_back();
            continue;
        }
        arguments.back() += c;
    }
    return arguments;
}

// The number an argument starts with (its hexadecimal value or address).
unsigned long long Number(const std::string& argument) {
    return std::strtoull(argument.c_str(), nullptr, 16);
}

}  // namespace

CallRuleReport CheckCallRules(const std::string& trace, unsigned long pid,
                              unsigned long long imageBase, unsigned long imageSize,
                              bool windows64) {
    CallRuleReport report;
    std::set<std::string> filesInCache;  // written to since the last flush
    bool threadStarted = false;
    auto written = [&](const std::string& file) {
        ++report.writesLeftInCache;
        filesInCache.insert(Lower(file));
        report.mostFilesInCache = std::max(report.mostFilesInCache, filesInCache.size());
    };
    size_t start = 0;
    while (start < trace.size()) {
        size_t end = trace.find('\n', start);
        if (end == std::string::npos) end = trace.size();
        const std::string line = trace.substr(start, end - start);
        start = end + 1;

        // "<time>:<pid>:<tid>:Call dll.Function(" with +timestamp,+pid; the process is the
        // field before the thread's.
        const size_t call = line.find(":Call ");
        if (call == std::string::npos) continue;
        const size_t threadColon = line.rfind(':', call - 1);
        if (threadColon == std::string::npos || threadColon == 0) continue;
        const size_t processColon = line.rfind(':', threadColon - 1);
        const size_t processStart = processColon == std::string::npos ? 0 : processColon + 1;
        const std::string process = line.substr(processStart, threadColon - processStart);
        if (process.empty() || std::strtoul(process.c_str(), nullptr, 16) != pid) continue;

        const size_t nameStart = call + 6;
        const size_t open = line.find('(', nameStart);
        const size_t ret = line.rfind(") ret=");
        if (open == std::string::npos || ret == std::string::npos || ret < open) continue;
        const std::string function = Lower(line.substr(nameStart, open - nameStart));
        if (function.find('.') == std::string::npos || function.find(' ') != std::string::npos) {
            continue;  // window and dialog procedures, DLL entry points
        }
        const unsigned long long from = Number(line.substr(ret + 6));
        if (from < imageBase || from >= imageBase + imageSize) continue;  // a DLL's own call

        ++report.calls[function];
        const std::vector<std::string> arguments = Arguments(line.substr(open + 1, ret - open - 1));
        auto argument = [&](size_t index) {
            return index < arguments.size() ? arguments[index] : std::string();
        };
        const std::string shown = line.substr(call + 6);
        auto breach = [&](const char* rule) { report.breaches.push_back(shown + ": " + rule); };

        if (function == "msvcrt._beginthreadex" || function == "kernel32.createthread") {
            threadStarted = true;
            if (Number(argument(5)) == 0) breach("no thread-id pointer: no thread starts on 9x");
        } else if (function == "kernel32.seterrormode") {
            if (!threadStarted && (Number(argument(0)) & kQuietErrors) == kQuietErrors) {
                report.quietCriticalErrors = true;
            }
        } else if (function == "kernel32.setdlldirectorya") {
            // "<address> """: the empty folder, which takes the current one out of the search.
            const std::string folder = argument(0);
            const size_t blank = folder.find(' ');
            if (!threadStarted && blank != std::string::npos &&
                folder.substr(blank + 1) == "\"\"") {
                report.dllSearchRestricted = true;
            }
        } else if (function == "advapi32.regopenkeyexa") {
            const unsigned long long access = Number(argument(3));
            const unsigned long long view = access & (kView64 | kView32);
            if ((access & ~(kKeyRead | kView64 | kView32)) != 0) {
                breach("opened with more than KEY_READ: refused to a user without rights on NT");
            } else if (!windows64 && view != 0) {
                breach("a registry-view flag on 32-bit Windows: refused by NT 4 and 2000");
            } else if (view == (kView64 | kView32)) {
                breach("both registry-view flags at once");
            }
        } else if (function == "advapi32.regopenkeya") {
            breach("opened with full access: refused to a user without rights on NT");
        } else if (function == "advapi32.regcreatekeyexa" || function == "advapi32.regcreatekeya") {
            breach("creates a registry key, which the wizard only reads");
        } else if (function == "kernel32.writeprivateprofilestringa") {
            if (Number(argument(0)) == 0 && Number(argument(1)) == 0 && Number(argument(2)) == 0 &&
                Number(argument(3)) == 0) {
                ++report.cacheFlushes;
                report.writesLeftInCache = 0;
                filesInCache.clear();
                continue;
            }
            written(argument(3));
            // "<address> """: a text with nothing in it (a null value deletes the key).
            const std::string value = argument(2);
            const size_t blank = value.find(' ');
            if (Number(value) != 0 && blank != std::string::npos &&
                value.substr(blank + 1) == "\"\"") {
                breach("an empty value: refused on 9x");
            }
        } else if (function == "kernel32.writeprivateprofilesectiona") {
            written(argument(2));
        } else if (function == "user32.peekmessagea") {
            if ((Number(argument(4)) & kPeekQueueFlags) != 0) {
                breach("a PM_QS_* flag: unknown to Windows 95 and NT 4");
            }
        }
    }
    return report;
}

}  // namespace testing_support
