#pragma once

#include <string>

#include "install/RunOwner.h"

// Where Windows keeps its programs: the key under HKEY_LOCAL_MACHINE that holds
// "ProgramFilesDir".
extern const char* const kWindowsCurrentVersionKey;

// Dolphin's folder: "ProgramFilesDir" of the key programFilesKey under HKEY_LOCAL_MACHINE,
// followed by "\Dolphin". Dolphin's products are 32-bit programs, so on 64-bit Windows the key
// is read in the 32-bit view, which names "C:\Program Files (x86)". When the key or the value is
// missing, empty or not text: "C:\Program Files\Dolphin", on 64-bit Windows
// "C:\Program Files (x86)\Dolphin".
[[nodiscard]] std::string DolphinFolder(const RunOwner& owner, const std::string& programFilesKey);

// Gives Dolphin's SAM the display's driver files, and Hal and Supernova the display's settings.
// Every Dolphin location lies in Dolphin's folder, where Windows keeps its programs.
class DolphinPatcher {
public:
    DolphinPatcher() = default;
    virtual ~DolphinPatcher() = default;

    // 0 with no report when Dolphin's folder holds no folder Sam, and when it holds SAM alone
    // (SAM then gets its files, but neither Hal nor Supernova is installed to drive the display;
    // a reader's folder counts only where it holds "defaults");
    // else 1 after exactly one report (none once the wizard is closing: the later steps are
    // skipped then).
    [[nodiscard]] int Install(RunOwner* owner);

    // What one screen reader's patch came to.
    enum class Reader {
        kAbsent,   // not installed (no "defaults" in its folder): nothing is done or made for it
        kPatched,  // its braille.ini holds the display's section afterwards
        kFailed,   // its folder is there, but the section could not be put in place
    };

    // The steps of Install, public so each can be tested on its own; they use owner, which
    // Install sets.

    // SAM's driver (result ignored) and the display's four driver files into SAM. 1 when all
    // four were copied; 0 at the first that fails, leaving the rest uncopied.
    [[nodiscard]] int CopySamFiles();
    // Hal's settings, in Dolphin's folder "Hal".
    [[nodiscard]] Reader PatchHal();
    // Supernova's settings, in its folder.
    [[nodiscard]] Reader PatchSupernova();
    // The first listed Dolphin folder whose name holds "Snova" and that is installed; else the
    // first whose name holds it, else Dolphin's folder "Snova", whether or not that is there.
    [[nodiscard]] std::string SupernovaFolder() const;
    // The section, the .bk1 files and the removal of each .bk0 file once its .bk1 copy is in
    // place, for one reader folder. Only the section decides the outcome; the other steps
    // fail silently.
    [[nodiscard]] Reader PatchReaderFolder(const std::string& readerFolder);

    RunOwner* owner = nullptr;
    // Read by Install, once per call, from programFilesKey; the steps work in it.
    std::string dolphinFolder;
    // The key Install reads the program folder from; tests point it at a key of their own, so
    // the machine's own value stays as it is.
    std::string programFilesKey = kWindowsCurrentVersionKey;
};
