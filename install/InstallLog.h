#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "framework/Handles.h"

// The installation log, for the display maker's support: one file in the user's temporary
// folder, "Lumitactile Setup.log", to which every run of the wizard appends a block of its own,
// headed by the date, the time and the wizard's version. A file over 1 MiB at the start is first
// renamed to "Lumitactile Setup.old.log" (replacing an older one, read-only or not), so the log
// never grows without bound and the last runs are always there; a rename that fails keeps both
// files as they were, and the new block says so. ANSI text with CR LF line ends, readable in
// Notepad on Windows 98. Each line is appended at the file's end as it is at that moment, under
// a lock that other processes writing the log take too, so no line overwrites another's.
//
// The operations that touch the machine (the toolkit's copies, INI and folder operations, the
// registry reads, the package start, the texts and prompts) write their own lines, each with
// the milliseconds since the run began, into the log of the run in progress. Each line is in the
// file before the step after it starts, so a crash or a power cut leaves everything before it.
// The log never changes an outcome: when it cannot be opened or written (no temporary folder, a
// full disk), the run goes on exactly as without it.
class InstallLog {
public:
    InstallLog();
    // Closes the file; from then on lines go nowhere, until another log is opened.
    ~InstallLog();
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;

    // Opens the file (renaming one over 1 MiB first; a read-only bit that keeps it from being
    // written is cleared), writes the run's heading and what the opening did, and makes this the
    // log every step writes to. False when it cannot be opened.
    bool Open(const char* version);

    // For a start that ends at once: one line, dated, into the log as it stands (the block of
    // the run in progress), with no heading and no log of its own. False when it cannot be
    // written.
    static bool WriteForAnotherStart(const char* version, const std::string& text);

    // One line into the log of the run in progress, if there is one.
    static void Write(const std::string& text);
    // The system's text for an error code, as "error 5 (Access is denied.)".
    static std::string ErrorText(DWORD error);
    // A path or value as the lines quote it.
    static std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

    // The log's file and its predecessor, in the temporary folder; empty when that is unknown.
    static std::string FilePath();
    static std::string OldFilePath();

private:
    void Append(const std::string& text);

    CRITICAL_SECTION lock;
    UniqueFile file;
    DWORD start = 0;
    static std::atomic<InstallLog*> current;
};
