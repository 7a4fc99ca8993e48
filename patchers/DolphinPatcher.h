#pragma once

#include <string>

class MainDialog;

// Gives Dolphin's SAM the display's driver files, and Hal and Supernova the display's settings.
class DolphinPatcher {
public:
    DolphinPatcher() = default;
    virtual ~DolphinPatcher() = default;

    // 0 with no report when "C:\Program Files\Dolphin\Sam" is not a folder; else 1 after
    // exactly one report.
    int Install(MainDialog* owner);

    // The steps of Install, public so each can be tested on its own.
    int CopySamFiles();
    int PatchHal();
    int PatchSupernova();
    void PatchReaderFolder(const std::string& readerFolder);

    MainDialog* owner = nullptr;
};
