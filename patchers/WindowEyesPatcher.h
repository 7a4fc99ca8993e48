#pragma once

#include <string>

#include "install/RunOwner.h"

// Gives Window-Eyes the display program and driver library that suit its version, and the
// display's braille settings for its default users.
class WindowEyesPatcher {
public:
    WindowEyesPatcher() = default;
    virtual ~WindowEyesPatcher() = default;

    // 0 with no report when Window-Eyes is not registered; else 1 after exactly one report.
    [[nodiscard]] int Install(RunOwner* owner);

    // The steps of Install, public so each can be tested on its own; they use owner, which
    // Install sets.
    // 1 when the key opened and both "Version" and "Path" were read whole (a REG_EXPAND_SZ
    // "Path" expanded); else 0, with isPre60 already set when "Version" was read.
    [[nodiscard]] int ReadVersionAndPath(std::string& path, std::string& version);
    // 1 when the display program and the driver library were copied into path and at least
    // one of the places for the braille settings received them; else 0.
    [[nodiscard]] int CopyPatchFiles(const std::string& path);

    RunOwner* owner = nullptr;
    unsigned isPre60 = 0;
};

// The number a Window-Eyes version text stands for: its first three characters read as the
// classic "C" locale reads them (a full stop is the decimal point), whatever the process
// locale. Text that does not begin with a number reads as 0.
[[nodiscard]] double ClassicVersionNumber(const std::string& version);

// True when a Window-Eyes version text selects the files for versions before 6.0.
[[nodiscard]] bool IsPre60Version(const std::string& version);
