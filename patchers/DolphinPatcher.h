#pragma once

#include <string>

#include "install/RunOwner.h"

// Where Windows keeps its programs: the key under HKEY_LOCAL_MACHINE that holds
// "ProgramFilesDir".
extern const char* const kWindowsCurrentVersionKey;

// Dolphin's folder: "ProgramFilesDir" of the key programFilesKey under HKEY_LOCAL_MACHINE,
// followed by "\Dolphin". A 32-bit program on 64-bit Windows reads "C:\Program Files (x86)"
// there, where Dolphin's 32-bit products are. "C:\Program Files\Dolphin" when the key or the
// value is missing, empty or not text.
[[nodiscard]] std::string DolphinFolder(const std::string& programFilesKey);

// Gives Dolphin's SAM the display's driver files, and Hal and Supernova the display's settings.
// Every Dolphin location lies in Dolphin's folder, where Windows keeps its programs.
class DolphinPatcher {
public:
    DolphinPatcher() = default;
    virtual ~DolphinPatcher() = default;

    // 0 with no report when Dolphin's folder holds no folder Sam; else 1 after exactly one
    // report (none once the wizard is closing: the later steps are skipped then).
    [[nodiscard]] int Install(RunOwner* owner);

    // The steps of Install, public so each can be tested on its own; they use owner, which
    // Install sets.

    // SAM's driver (result ignored) and the display's four driver files into SAM. 1 when all
    // four were copied; 0 at the first that fails, leaving the rest uncopied.
    [[nodiscard]] int CopySamFiles();
    // Hal's settings; its steps fail silently where Hal is missing, so there is no outcome.
    void PatchHal();
    // Supernova's settings, into the first listed Dolphin folder whose name holds "Snova", else
    // into Dolphin's folder "Snova". 0 when the Dolphin folder cannot be listed at all (nothing
    // is touched then), else 1.
    [[nodiscard]] int PatchSupernova();
    // The section, the .bk1 files and the removal of each .bk0 file once its .bk1 copy is in
    // place, for one reader folder; every failure is silent.
    void PatchReaderFolder(const std::string& readerFolder);

    RunOwner* owner = nullptr;
    // Read by Install, once per call, from programFilesKey; the steps work in it.
    std::string dolphinFolder;
    // The key Install reads the program folder from; tests point it at a key of their own, so
    // the machine's own value stays as it is.
    std::string programFilesKey = kWindowsCurrentVersionKey;
};
