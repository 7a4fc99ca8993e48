#pragma once

#include <string>

class MainDialog;

// Gives Window-Eyes the display program and driver library that suit its version, and the
// display's braille settings for its default users.
class WindowEyesPatcher {
public:
    WindowEyesPatcher() = default;
    virtual ~WindowEyesPatcher() = default;

    // 0 with no report when Window-Eyes is not registered; else 1 after exactly one report.
    int Install(MainDialog* owner);

    // The steps of Install, public so each can be tested on its own.
    int ReadVersionAndPath(std::string& path, std::string& version);
    int CopyPatchFiles(const std::string& path);

    MainDialog* owner = nullptr;
    unsigned isPre60 = 0;
};

// True when a Window-Eyes version text selects the files for versions before 6.0: its first
// three characters read as a number in the classic locale, whatever the process locale.
bool IsPre60Version(const std::string& version);
