#pragma once

#include <string>

#include "install/RunOwner.h"

// Gives Dolphin's SAM the display's driver files, and Hal and Supernova the display's settings.
// Every Dolphin location is fixed under "C:\Program Files\Dolphin".
class DolphinPatcher {
public:
    DolphinPatcher() = default;
    virtual ~DolphinPatcher() = default;

    // 0 with no report when "C:\Program Files\Dolphin\Sam" is not a folder; else 1 after
    // exactly one report (none once the wizard is closing: the later steps are skipped then).
    [[nodiscard]] int Install(RunOwner* owner);

    // The steps of Install, public so each can be tested on its own; they use owner, which
    // Install sets.

    // SAM's driver (result ignored) and the display's four driver files into SAM. 1 when all
    // four were copied; 0 at the first that fails, leaving the rest uncopied.
    [[nodiscard]] int CopySamFiles();
    // Hal's settings; its steps fail silently where Hal is missing, so there is no outcome.
    void PatchHal();
    // Supernova's settings, into the first listed Dolphin folder whose name holds "Snova", else
    // into "...\Dolphin\Snova". 0 when the Dolphin folder cannot be listed at all (nothing is
    // touched then), else 1.
    [[nodiscard]] int PatchSupernova();
    // The section, the .bk1 files and the removal of each .bk0 file once its .bk1 copy is in
    // place, for one reader folder; every failure is silent.
    void PatchReaderFolder(const std::string& readerFolder);

    RunOwner* owner = nullptr;
};
