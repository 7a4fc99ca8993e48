#pragma once

#include <string>
#include <vector>

#include "tests/support/ImportHook.h"

namespace testing_support {

// Records, in order, the profile writes the product makes (each with its file), the flushes of
// the system's profile cache (a string write with every argument null) and marks the test sets
// (a prompt, say), as Windows 95, 98 and ME would see them: there writes wait in the cache until
// a flush. The calls still reach the platform. One at a time: on the thread that writes.
class ProfileWriteLog {
public:
    ProfileWriteLog();
    ~ProfileWriteLog();
    ProfileWriteLog(const ProfileWriteLog&) = delete;
    ProfileWriteLog& operator=(const ProfileWriteLog&) = delete;

    void Mark(const std::string& what);
    int Flushes() const { return flushes; }
    // Every moment a write waited in the cache when it must not have: when another file was
    // written, when a mark was set, and at the end. Empty when none did.
    std::vector<std::string> Breaches() const;

    // Called by the hooks.
    void Write(const char* file);
    void Flush();

private:
    struct Event {
        enum Kind { kWrite, kFlush, kMark } kind;
        std::string text;
    };
    std::vector<Event> events;
    int flushes = 0;
    ScopedImportHook stringWrites;
    ScopedImportHook sectionWrites;
};

// A profile section write that says it was done and changes nothing, as Windows 95/98/ME answer
// from their cache for a file that a running screen reader then keeps from changing.
BOOL WINAPI SectionWriteThatNeverReachesTheFile(LPCSTR section, LPCSTR lines, LPCSTR file);
// The same for a string write.
BOOL WINAPI StringWriteThatNeverReachesTheFile(LPCSTR section, LPCSTR key, LPCSTR value,
                                               LPCSTR file);

}  // namespace testing_support
