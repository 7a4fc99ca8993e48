#pragma once

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// The calls that Windows 95, 98, ME and NT 4 make rules for, as Wine's RelayInclude names them.
extern const char* const kRuleBearingCalls;

// What a relay trace says of one program's own calls: those made by process pid (as the trace
// writes it, in hex) from code inside its image [imageBase, imageBase + imageSize).
struct CallRuleReport {
    std::map<std::string, int> calls;   // by function, as "dll.Function" in lower case
    std::vector<std::string> breaches;  // the call line that breaks a rule, and which rule
    // Profile writes with every argument null (a flush of the system's profile cache), the
    // profile writes that no such flush follows in the trace, and the most files that had
    // writes waiting for a flush at one time.
    int cacheFlushes = 0;
    int writesLeftInCache = 0;
    size_t mostFilesInCache = 0;
    // Before its first thread starts, the program has made a missing disk fail quietly
    // (SetErrorMode with SEM_FAILCRITICALERRORS and SEM_NOOPENFILEERRORBOX) and taken the current
    // folder out of the DLL search (SetDllDirectoryA("")).
    bool quietCriticalErrors = false;
    bool dllSearchRestricted = false;
};

// Reads Wine's relay lines ("<time>:<pid>:<tid>:Call dll.Function(args) ret=<address>") and checks
// each of the program's calls against the rules of the oldest systems the wizard claims:
//   - a thread start (msvcrt._beginthreadex, kernel32.CreateThread) passes a thread-id pointer:
//     Windows 95, 98 and ME start no thread without one;
//   - a registry key is opened for reading only: NT 4, 2000 and XP refuse more to a user without
//     administrator rights, and a key that is only read would then count as absent; on 32-bit
//     Windows with no registry-view flag (NT 4 and 2000 refuse them), on 64-bit Windows
//     (windows64) with one view flag at most;
//   - no key is created in the registry, which the wizard only reads;
//   - no profile value is written empty: Windows 95, 98 and ME refuse an empty value;
//   - no PeekMessageA carries a PM_QS_* flag: Windows 95 and NT 4 do not know them.
CallRuleReport CheckCallRules(const std::string& trace, unsigned long pid,
                              unsigned long long imageBase, unsigned long imageSize,
                              bool windows64);

}  // namespace testing_support
