#include "patchers/WindowEyesPatcher.h"

#include <windows.h>

#include <cstdlib>

#include "framework/Handles.h"
#include "install/Prompts.h"
#include "patchers/PatchToolkit.h"

namespace {

const char* const kKey = "Software\\GW Micro, Inc.\\Window-Eyes\\Professional";
const char* const kVersionValue = "Version";
const char* const kPathValue = "Path";

const char* const kPatchedText = "The Window-Eyes patch was installed successfully.";
const char* const kCopyFailedText =
    "The Window-Eyes patch installation failed. Please close currently running screen reader "
    "and retry installation.";
const char* const kNotInstalledText =
    "The Window-Eyes was not installed on your computer. Please check whether the Window-Eyes "
    "is installed on your computer.";

// The medium's files, relative to ProgramDir. Versions from 5.5 to 5.9 take the pre60 set:
// the choice is made at 6.0 whatever the other folder is called.
const char* const kPre60DisplayProgram = "\\wineyes\\pre60\\bdisplay.exe";
const char* const kPost55DisplayProgram = "\\wineyes\\post55\\bdisplay.exe";
const char* const kDriverLibrary = "\\wineyes\\Lumitactile.dll";
const char* const kPre60Settings = "\\wineyes\\pre60\\braille.ini";
const char* const kPost55Settings = "\\wineyes\\post55\\braille.ini";

// Targets in the Window-Eyes folder.
const char* const kDisplayProgramName = "\\bdisplay.exe";
const char* const kDriverLibraryName = "\\Lumitactile.dll";

constexpr double kFirstVersionOfPost55 = 6.0;
constexpr size_t kVersionCharacters = 3;

// The places where Window-Eyes keeps its default user's braille settings, in the order they
// are written. A base that is an environment variable is looked up when the copy is made, in
// the runtime's copy of the environment, which matches names without regard to case: the
// platform sets APPDATA and ALLUSERSPROFILE in upper case.
struct SettingsTarget {
    const char* environmentVariable;  // nullptr: the base is the Window-Eyes folder
    const char* relative;
};
const SettingsTarget kSettingsTargets[] = {
    {nullptr, "\\users.bak\\default\\braille.ini"},
    {nullptr, "\\users\\default\\braille.ini"},
    {"appdata", "\\GW Micro\\Window-Eyes\\users\\default\\braille.ini"},
    {"allusersprofile", "\\Application Data\\GW Micro\\Window-Eyes\\users\\default\\braille.ini"},
};

bool IsClassicSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

double ClassicVersionNumber(const std::string& version) {
    // Read the way the classic locale's atof reads it, by hand, because the library's
    // conversion follows the process locale and a comma locale would stop at the full stop.
    const std::string text = version.substr(0, kVersionCharacters);
    size_t i = 0;
    while (i < text.size() && IsClassicSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    long mantissa = 0;
    int scale = 0;  // power of ten the mantissa is multiplied by
    bool anyDigit = false;
    for (; i < text.size() && IsDigit(text[i]); ++i, anyDigit = true) {
        mantissa = mantissa * 10 + (text[i] - '0');
    }
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i, anyDigit = true) {
            mantissa = mantissa * 10 + (text[i] - '0');
            --scale;
        }
    }
    if (!anyDigit) return 0.0;

    // An exponent counts only when at least one digit follows its letter and sign.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j++] == '-';
        }
        if (j < text.size() && IsDigit(text[j])) {
            int exponent = 0;
            for (; j < text.size() && IsDigit(text[j]); ++j) {
                exponent = exponent * 10 + (text[j] - '0');
            }
            scale += negativeExponent ? -exponent : exponent;
        }
    }

    // Dividing by an exact power of ten keeps values like 6.0 exact.
    double power = 1.0;
    for (int n = scale < 0 ? -scale : scale; n > 0; --n) power *= 10.0;
    const double magnitude = scale < 0 ? mantissa / power : mantissa * power;
    return negative ? -magnitude : magnitude;
}

bool IsPre60Version(const std::string& version) {
    return ClassicVersionNumber(version) < kFirstVersionOfPost55;
}

int WindowEyesPatcher::Install(RunOwner* runOwner) {
    owner = runOwner;
    std::string path;
    std::string version;
    if (ReadVersionAndPath(path, version) == 0) return 0;

    // A Path written as C:\WinEyes\ names the same folder as C:\WinEyes.
    if (!IsExistingFolder(path)) {
        ReportFailure(owner, kNotInstalledText, Prompt::kWindowEyesNotInstalled);
        return 1;
    }
    // Closed meanwhile: nothing more is copied, and Window-Eyes still counts as found.
    if (owner->IsClosing()) return 1;

    if (CopyPatchFiles(path) != 0) {
        ReportStatus(owner, kPatchedText, Prompt::kWindowEyesSuccess);
    } else {
        ReportFailure(owner, kCopyFailedText, Prompt::kWindowEyesFailed);
    }
    return 1;
}

int WindowEyesPatcher::ReadVersionAndPath(std::string& path, std::string& version) {
    path.clear();
    version.clear();
    UniqueRegKey key;
    // A key that cannot be opened, for whatever reason, counts as Window-Eyes not registered.
    // Window-Eyes is a 32-bit program: on 64-bit Windows its key is in the 32-bit view.
    if (!Registry::OpenForReading(*owner, kKey, Registry::View::k32Bit, key)) return 0;
    // The types are not asked for: whatever was stored is taken as text up to its first zero.
    if (!Registry::ReadText(key.Get(), kVersionValue, version)) return 0;
    isPre60 = IsPre60Version(version) ? 1 : 0;
    // A REG_EXPAND_SZ folder is expanded as Window-Eyes, a 32-bit program, expands it.
    if (!Registry::ReadFolder(*owner, key.Get(), kPathValue, Registry::View::k32Bit, path)) {
        return 0;
    }
    return 1;
}

int WindowEyesPatcher::CopyPatchFiles(const std::string& path) {
    // Without a folder every target would land at the root of the current drive.
    if (path.empty()) return 0;
    // A source that cannot be formed (ProgramDir unknown) fails like a missing file.
    std::string source;

    // The display program and the driver library make the patch: either failing ends it.
    if (!owner->MediumPath(isPre60 ? kPre60DisplayProgram : kPost55DisplayProgram, source) ||
        CopyClearingReadOnly(source, path + kDisplayProgramName) == 0) {
        return 0;
    }
    if (owner->IsClosing()) return 0;
    if (!owner->MediumPath(kDriverLibrary, source) ||
        CopyClearingReadOnly(source, path + kDriverLibraryName) == 0) {
        return 0;
    }

    // The braille settings are offered to every place; a place that is missing is passed over
    // (no folder is made for it). Window-Eyes needs them in one place at least: without any,
    // the display program finds no settings for the display.
    if (!owner->MediumPath(isPre60 ? kPre60Settings : kPost55Settings, source)) return 0;
    bool placed = false;
    for (const SettingsTarget& target : kSettingsTargets) {
        if (owner->IsClosing()) break;
        std::string base = path;
        if (target.environmentVariable != nullptr) {
            const char* value = std::getenv(target.environmentVariable);
            base = value != nullptr ? value : "";
        }
        // An unset variable leaves no place to write to; "" + relative would name a folder
        // at the root of the current drive instead.
        if (base.empty()) continue;
        if (CopyClearingReadOnly(source, base + target.relative) != 0) placed = true;
    }
    return placed ? 1 : 0;
}
