#pragma once

#include <string>
#include <vector>

#include "install/RunOwner.h"
#include "patchers/PatchToolkit.h"

// A version as NVDA compares its releases and its add-ons' API fields: year, major, minor
// ("2025.3.1"; "2024.1" has minor 0).
struct NvdaVersion {
    int year = 0;
    int major = 0;
    int minor = 0;
};
[[nodiscard]] bool operator<(const NvdaVersion& a, const NvdaVersion& b);
[[nodiscard]] std::string ToText(const NvdaVersion& version);

// Reads "year.major" or "year.major.minor" from the start of text; anything after the numbers
// (a build number, "beta1") is left aside. False, with version untouched, when text does not
// begin with two numbers separated by a full stop.
[[nodiscard]] bool ParseNvdaVersion(const std::string& text, NvdaVersion& version);

// The oldest add-on API that an NVDA release still loads add-ons for, by NVDA's own history.
[[nodiscard]] NvdaVersion BackwardsCompatibleTo(const NvdaVersion& release);

// NVDA's own rule: an add-on runs when the running NVDA is at least its minimumNVDAVersion and
// its lastTestedNVDAVersion is at least what that NVDA is backwards compatible to.
[[nodiscard]] bool IsAddonCompatible(const NvdaVersion& minimum, const NvdaVersion& lastTested,
                                     const NvdaVersion& running);

// Compares two add-on versions ("1.2.10") number by number, a missing number counting as 0:
// negative, 0 or positive as a is older, the same or newer.
[[nodiscard]] int CompareAddonVersions(const std::string& a, const std::string& b);

// The top-level fields of an add-on's manifest.ini (NVDA's own format: "key = value" lines
// before any section, values in optional quotes, a byte-order mark allowed).
struct AddonManifest {
    std::string name;
    std::string version;
    std::string minimumNVDAVersion;
    std::string lastTestedNVDAVersion;
};
// False when the file cannot be read.
[[nodiscard]] bool ReadAddonManifest(const std::string& path, AddonManifest& manifest);

// One NVDA installation as its Uninstall key names it, and the registry view it was read in.
struct NvdaInstallation {
    std::string folder;   // its program folder
    std::string version;  // DisplayVersion, as written
    Registry::View view = Registry::View::k32Bit;
};

// Gives every installed NVDA the display's add-on from the medium, as a pending installation
// that NVDA finishes at its next start.
class NvdaPatcher {
public:
    NvdaPatcher() = default;
    virtual ~NvdaPatcher() = default;

    // 0 with no report when no installed NVDA is found (no Uninstall key, or only keys whose
    // folder is gone); else 1 after exactly one report.
    [[nodiscard]] int Install(RunOwner* owner);

    // The steps of Install, public so each can be tested on its own; they use owner, which
    // Install sets.

    // Appends each installed NVDA once per program folder: on 64-bit Windows the one of the
    // 64-bit view first (NVDA 2026.1 and later), then the 32-bit view's.
    void FindInstallations(std::vector<NvdaInstallation>& installations);
    // The user's configuration folder of that NVDA: "%APPDATA%\nvda", or "%LOCALAPPDATA%\nvda"
    // where its installer recorded configInLocalAppData. False when the variable is not set.
    [[nodiscard]] bool ConfigFolder(const NvdaInstallation& installation, std::string& folder);

    enum class Outcome {
        kPlaced,        // the add-on waits as <name>.pendingInstall (before NVDA 2022.1: <name>)
        kNewerThere,    // a newer version is installed or pending: nothing placed
        kIncompatible,  // NVDA would block it: nothing placed
        kFailed,        // not placed; nothing of a half copy is left
    };
    // Places the medium's add-on for an NVDA of version running, with configuration folder
    // config.
    [[nodiscard]] Outcome PlaceAddon(const std::string& config, const NvdaVersion& running);

    RunOwner* owner = nullptr;
};
