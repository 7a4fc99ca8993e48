#include "patchers/NvdaPatcher.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>
#include <vector>

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/PlatformStrings.h"
#include "install/InstallLog.h"
#include "install/Prompts.h"
#include "patchers/PatchToolkit.h"

namespace {

using Log = InstallLog;

// An installed NVDA lists itself here, in the registry view of its own bitness: NVDA up to
// 2025.x is a 32-bit program, 2026.1 and later are 64-bit. A portable copy has no key.
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NVDA";
const char* const kFolderValue = "UninstallDirectory";
const char* const kVersionValue = "DisplayVersion";
// Where NVDA's installer records that the user's configuration is in the local application data.
const char* const kSettingsKey = "Software\\NVDA";
const char* const kConfigInLocalAppData = "configInLocalAppData";

// The display's add-on, unpacked, on the medium.
const char* const kAddonSource = "\\nvda\\lumitactile";
const char* const kManifest = "manifest.ini";
// NVDA finishes an installation from <name>.pendingInstall at its next start, by renaming it to
// <name>; that rename fails while an older <name> is still there, so the older one goes aside
// under a name ending in ".delete", which NVDA neither loads nor keeps: it removes such folders
// at the start.
const char* const kPendingSuffix = ".pendingInstall";
// Before this release NVDA finished only the pending folders that its own state file lists (which
// the wizard does not write); from it on, every folder with the suffix.
constexpr NvdaVersion kFirstReleaseFinishingPendingFolders = {2022, 1, 0};
const char* const kRetiredSuffix = ".replaced.delete";

const char* const kSuccessText = "The NVDA patch was installed successfully.";
const char* const kFailedText =
    "The NVDA patch installation failed. Please close currently running screen reader and retry "
    "installation.";
const char* const kNotCompatibleText =
    "The NVDA patch was not installed: the NVDA driver on this install medium does not work with "
    "this version of NVDA.";

// The add-on API versions at which NVDA releases stopped loading older add-ons (addonAPIVersion's
// BACK_COMPAT_TO, raised at the first release of 2019.3, 2021 to 2026). Each release is
// backwards compatible to the last row at or before it; releases before the first to 0.0.
constexpr NvdaVersion kCompatibilityBreaks[] = {{2019, 3, 0}, {2021, 1, 0}, {2022, 1, 0},
                                                {2023, 1, 0}, {2024, 1, 0}, {2025, 1, 0},
                                                {2026, 1, 0}};
// A release of a year after the last row is unknown here. NVDA may break add-ons only at a year's
// first release, and has done so at every one since 2021, so such a release is taken as
// backwards compatible to the first release of its own year: an add-on it might block is never
// placed as if it would run.

// Room for a manifest; real ones are a few hundred bytes.
constexpr DWORD kLargestManifest = 1024 * 1024;

std::string Trim(const std::string& text) {
    const char* const blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Reads the leading digits of text from at into number; false when there are none.
bool ReadNumber(const std::string& text, size_t& at, int& number) {
    const size_t start = at;
    long long value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0) {
        if (value < 100000000) value = value * 10 + (text[at] - '0');
        ++at;
    }
    number = static_cast<int>(value);
    return at > start;
}

// A file's bytes, up to kLargestManifest; false when it cannot be opened or read.
bool ReadSmallFile(const std::string& path, std::string& content) {
    content.clear();
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD size = ::GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > kLargestManifest) return false;
    content.resize(size);
    DWORD read = 0;
    if (size > 0 && (!::ReadFile(file.Get(), &content[0], size, &read, nullptr) || read != size)) {
        content.clear();
        return false;
    }
    return true;
}

// The value of a manifest line without its quotes (or, unquoted, without a comment after it).
std::string ManifestValue(const std::string& raw) {
    if (raw.size() >= 2 && (raw[0] == '"' || raw[0] == '\'')) {
        const size_t end = raw.find(raw[0], 1);
        return end == std::string::npos ? raw.substr(1) : raw.substr(1, end - 1);
    }
    return Trim(raw.substr(0, raw.find('#')));
}

// A name NVDA could have made a folder of, and that stays inside the add-ons folder: plain
// letters, digits and a few signs, as add-on names are.
bool IsPlainFolderName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        const unsigned char byte = static_cast<unsigned char>(c);
        return byte < 0x80 &&
               (std::isalnum(byte) != 0 || byte == '_' || byte == '-' || byte == '.');
    });
}

// A registry value read the way NVDA reads configInLocalAppData: as Python's truth of what the
// value holds (a number that is not 0, a text that is not empty).
bool ReadFlag(HKEY key, const char* name) {
    std::vector<BYTE> data(1024, 0);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    const std::string value = "value " + Log::Quoted(name);
    const LONG status = ::RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
    if (status != ERROR_SUCCESS) {
        Log::Write(value + " not read: " + Log::ErrorText(static_cast<DWORD>(status)));
        return false;
    }
    bool set = false;
    if (type == REG_DWORD && size >= sizeof(DWORD)) {
        DWORD number = 0;
        CopyMemory(&number, data.data(), sizeof(number));
        set = number != 0;
        Log::Write(value + " = " + std::to_string(number));
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // A text that fills the buffer with no zero is read no further than the buffer.
        const auto end = data.begin() + std::min<size_t>(size, data.size());
        const std::string read(data.begin(), std::find(data.begin(), end, BYTE{0}));
        set = !read.empty();
        Log::Write(value + " = " + Log::Quoted(read));
    } else {
        set = size > 0;
        Log::Write(value + " holds " + std::to_string(size) + " bytes of type " +
                   std::to_string(type));
    }
    return set;
}

// Removes a folder with everything in it; true when it is gone afterwards.
bool RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (search) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            // A part that stays makes the folder stay, which the last step tells.
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                static_cast<void>(RemoveTree(path));
            } else {
                static_cast<void>(DeleteClearingReadOnly(path));
            }
        } while (::FindNextFileA(search.Get(), &entry));
    }
    search.Reset();
    if (!::RemoveDirectoryA(folder.c_str())) {
        Log::Write("deletion of folder " + Log::Quoted(folder) +
                   " failed: " + Log::ErrorText(::GetLastError()));
        return false;
    }
    Log::Write("deleted folder " + Log::Quoted(folder));
    return true;
}

// Copies the folder source into target (created), every file writable. The manifest at the top
// comes last: NVDA takes no folder without one for an add-on, so a copy cut off by a power cut
// is never finished by NVDA as if it were whole. False at the first step that fails.
bool CopyAddonTree(const std::string& source, const std::string& target, bool top) {
    if (!CreateFolder(target)) return false;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA((source + "\\*").c_str(), &entry));
    if (search) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? folders : files)
                .push_back(name);
        } while (::FindNextFileA(search.Get(), &entry));
    }
    search.Reset();
    const auto manifest = std::find_if(files.begin(), files.end(), [](const std::string& name) {
        return AnsiText::EqualIgnoringCase(name, kManifest);
    });
    if (top && manifest != files.end()) std::rotate(manifest, manifest + 1, files.end());
    for (const std::string& folder : folders) {
        if (!CopyAddonTree(source + "\\" + folder, target + "\\" + folder, false)) return false;
    }
    for (const std::string& file : files) {
        if (CopyClearingReadOnly(source + "\\" + file, target + "\\" + file) == 0) return false;
    }
    return true;
}

bool MoveFolder(const std::string& from, const std::string& to) {
    const std::string what = "folder " + Log::Quoted(from) + " to " + Log::Quoted(to);
    if (!::MoveFileA(from.c_str(), to.c_str())) {
        Log::Write("move of " + what + " failed: " + Log::ErrorText(::GetLastError()));
        return false;
    }
    Log::Write("moved " + what);
    return true;
}

// How much an outcome weighs in the one report of several installations.
int Weight(NvdaPatcher::Outcome outcome) {
    switch (outcome) {
        case NvdaPatcher::Outcome::kFailed:
            return 2;
        case NvdaPatcher::Outcome::kIncompatible:
            return 1;
        default:
            return 0;
    }
}

}  // namespace

bool operator<(const NvdaVersion& a, const NvdaVersion& b) {
    if (a.year != b.year) return a.year < b.year;
    if (a.major != b.major) return a.major < b.major;
    return a.minor < b.minor;
}

std::string ToText(const NvdaVersion& version) {
    return std::to_string(version.year) + "." + std::to_string(version.major) + "." +
           std::to_string(version.minor);
}

bool ParseNvdaVersion(const std::string& text, NvdaVersion& version) {
    const std::string trimmed = Trim(text);
    NvdaVersion read;
    size_t at = 0;
    if (!ReadNumber(trimmed, at, read.year)) return false;
    if (at >= trimmed.size() || trimmed[at] != '.') return false;
    ++at;
    if (!ReadNumber(trimmed, at, read.major)) return false;
    if (at + 1 < trimmed.size() && trimmed[at] == '.') {
        ++at;
        static_cast<void>(ReadNumber(trimmed, at, read.minor));
    }
    version = read;
    return true;
}

NvdaVersion BackwardsCompatibleTo(const NvdaVersion& release) {
    const NvdaVersion& newest = *std::prev(std::end(kCompatibilityBreaks));
    if (release.year > newest.year) return NvdaVersion{release.year, 1, 0};
    NvdaVersion to;
    for (const NvdaVersion& compatibilityBreak : kCompatibilityBreaks) {
        if (!(release < compatibilityBreak)) to = compatibilityBreak;
    }
    return to;
}

bool IsAddonCompatible(const NvdaVersion& minimum, const NvdaVersion& lastTested,
                       const NvdaVersion& running) {
    return !(running < minimum) && !(lastTested < BackwardsCompatibleTo(running));
}

int CompareAddonVersions(const std::string& a, const std::string& b) {
    size_t atA = 0;
    size_t atB = 0;
    while (atA < a.size() || atB < b.size()) {
        int numberA = 0;
        int numberB = 0;
        static_cast<void>(ReadNumber(a, atA, numberA));
        static_cast<void>(ReadNumber(b, atB, numberB));
        if (numberA != numberB) return numberA < numberB ? -1 : 1;
        // On to the next number: past whatever ends this one.
        atA = a.find('.', atA);
        atB = b.find('.', atB);
        atA = atA == std::string::npos ? a.size() : atA + 1;
        atB = atB == std::string::npos ? b.size() : atB + 1;
    }
    return 0;
}

bool ReadAddonManifest(const std::string& path, AddonManifest& manifest) {
    std::string content;
    if (!ReadSmallFile(path, content)) return false;
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
    manifest = AddonManifest();
    std::string multiline;  // the quotes a value over several lines ends with
    for (size_t start = 0; start < content.size();) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        const std::string line = Trim(content.substr(start, end - start));
        start = end + 1;
        if (!multiline.empty()) {
            if (line.find(multiline) != std::string::npos) multiline.clear();
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') break;  // the fields NVDA reads come before any section
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, equals));
        const std::string raw = Trim(line.substr(equals + 1));
        for (const char* quotes : {"\"\"\"", "'''"}) {
            if (raw.compare(0, 3, quotes) == 0 && raw.find(quotes, 3) == std::string::npos) {
                multiline = quotes;
            }
        }
        if (!multiline.empty()) continue;
        const std::string value = ManifestValue(raw);
        if (key == "name") manifest.name = value;
        if (key == "version") manifest.version = value;
        if (key == "minimumNVDAVersion") manifest.minimumNVDAVersion = value;
        if (key == "lastTestedNVDAVersion") manifest.lastTestedNVDAVersion = value;
    }
    return true;
}

int NvdaPatcher::Install(RunOwner* runOwner) {
    owner = runOwner;
    std::vector<NvdaInstallation> installations;
    FindInstallations(installations);
    if (installations.empty()) return 0;

    std::vector<std::string> configs;  // the configuration folders of this run
    Outcome told = Outcome::kPlaced;
    for (const NvdaInstallation& installation : installations) {
        // The user closed the wizard: the installation in hand was finished, the rest are left.
        if (owner->IsClosing()) return 1;
        const std::string nvda = "NVDA in " + Log::Quoted(installation.folder);
        NvdaVersion running;
        if (!ParseNvdaVersion(installation.version, running)) {
            Log::Write(nvda + ": its version " + Log::Quoted(installation.version) +
                       " cannot be read, so whether it would load the add-on is unknown");
            told = Outcome::kFailed;
            continue;
        }
        Log::Write(nvda + " is version " + ToText(running) + ", backwards compatible to " +
                   ToText(BackwardsCompatibleTo(running)));
        std::string config;
        if (!ConfigFolder(installation, config)) {
            told = Outcome::kFailed;
            continue;
        }
        // Both keys of an upgrade, or two copies, may read the same user's configuration: the
        // add-on goes there once, judged for the NVDA found first.
        if (std::any_of(configs.begin(), configs.end(),
                        [&](const std::string& done) { return IsSameFolder(done, config); })) {
            Log::Write(nvda + " reads " + Log::Quoted(config) +
                       ", done above for the NVDA found first");
            continue;
        }
        configs.push_back(config);
        const Outcome outcome = PlaceAddon(config, running);
        if (Weight(outcome) > Weight(told)) told = outcome;
    }
    if (owner->IsClosing()) return 1;

    switch (told) {
        case Outcome::kFailed:
            ReportFailure(owner, kFailedText, Prompt::kNvdaFailed);
            break;
        case Outcome::kIncompatible:
            ReportFailure(owner, kNotCompatibleText, Prompt::kNvdaNotCompatible);
            break;
        default:
            ReportStatus(owner, kSuccessText, Prompt::kNvdaSuccess);
            break;
    }
    return 1;
}

void NvdaPatcher::FindInstallations(std::vector<NvdaInstallation>& installations) {
    std::vector<Registry::View> views = {Registry::View::k32Bit};
    if (owner->Is64BitWindows()) views.insert(views.begin(), Registry::View::k64Bit);
    for (const Registry::View view : views) {
        UniqueRegKey key;
        if (!Registry::OpenForReading(*owner, kUninstallKey, view, key)) continue;
        NvdaInstallation installation;
        installation.view = view;
        DWORD type = REG_NONE;
        // Only text names a folder, and an empty one would be the current drive's root.
        if (!Registry::ReadFolder(*owner, key.Get(), kFolderValue, view, installation.folder,
                                  &type) ||
            (type != REG_SZ && type != REG_EXPAND_SZ) || installation.folder.empty()) {
            continue;
        }
        // A missing version is told when the add-on is judged.
        static_cast<void>(Registry::ReadText(key.Get(), kVersionValue, installation.version));
        key.Reset();
        // A key whose folder is gone was left behind by an uninstalled NVDA.
        if (!IsExistingFolder(installation.folder)) continue;
        if (std::any_of(installations.begin(), installations.end(),
                        [&](const NvdaInstallation& found) {
                            return IsSameFolder(found.folder, installation.folder);
                        })) {
            continue;
        }
        installations.push_back(installation);
    }
}

bool NvdaPatcher::ConfigFolder(const NvdaInstallation& installation, std::string& folder) {
    folder.clear();
    bool local = false;
    UniqueRegKey key;
    if (Registry::OpenForReading(*owner, kSettingsKey, installation.view, key)) {
        local = ReadFlag(key.Get(), kConfigInLocalAppData);
    }
    const char* const variable = local ? "LOCALAPPDATA" : "APPDATA";
    const std::string base = ReadWhole(
        [&](char* buffer, DWORD size) { return ::GetEnvironmentVariableA(variable, buffer, size); },
        MAX_PATH, 32768);
    if (base.empty()) {
        Log::Write(std::string("%") + variable +
                   "% is not set: NVDA's configuration folder "
                   "is unknown");
        return false;
    }
    folder = AnsiText::WithoutClosingBackslashes(base) + "\\nvda";
    Log::Write("NVDA's configuration folder is " + Log::Quoted(folder));
    return true;
}

NvdaPatcher::Outcome NvdaPatcher::PlaceAddon(const std::string& config,
                                             const NvdaVersion& running) {
    std::string source;
    AddonManifest addon;
    if (!owner->MediumPath(kAddonSource, source) ||
        !ReadAddonManifest(source + "\\" + kManifest, addon)) {
        Log::Write("the medium's NVDA add-on " + Log::Quoted(source) + " has no readable " +
                   kManifest);
        return Outcome::kFailed;
    }
    if (!IsPlainFolderName(addon.name) || addon.version.empty()) {
        Log::Write("the medium's NVDA add-on has no usable name or version: name " +
                   Log::Quoted(addon.name) + ", version " + Log::Quoted(addon.version));
        return Outcome::kFailed;
    }
    const std::string named = "add-on " + addon.name + " " + addon.version;

    // NVDA takes a field left out as 0.0, and will not load an add-on whose field it cannot read.
    NvdaVersion minimum;
    NvdaVersion lastTested;
    const bool readable =
        (addon.minimumNVDAVersion.empty() || ParseNvdaVersion(addon.minimumNVDAVersion, minimum)) &&
        (addon.lastTestedNVDAVersion.empty() ||
         ParseNvdaVersion(addon.lastTestedNVDAVersion, lastTested));
    const std::string fields = " (minimumNVDAVersion " + Log::Quoted(addon.minimumNVDAVersion) +
                               ", lastTestedNVDAVersion " +
                               Log::Quoted(addon.lastTestedNVDAVersion) + ")";
    if (!readable || !IsAddonCompatible(minimum, lastTested, running)) {
        Log::Write(named + fields + " does not work with NVDA " + ToText(running) +
                   ": nothing placed");
        return Outcome::kIncompatible;
    }
    Log::Write(named + fields + " works with NVDA " + ToText(running));

    const std::string addons = config + "\\addons";
    const std::string installed = addons + "\\" + addon.name;
    const std::string pending = installed + kPendingSuffix;
    // Never a downgrade: the user may have updated the add-on from NVDA's add-on store.
    for (const std::string& there : {installed, pending}) {
        AddonManifest present;
        if (!IsExistingFile(there + "\\" + kManifest) ||
            !ReadAddonManifest(there + "\\" + kManifest, present)) {
            continue;
        }
        Log::Write(Log::Quoted(there) + " holds version " + Log::Quoted(present.version));
        if (CompareAddonVersions(present.version, addon.version) > 0) {
            Log::Write("a newer version of the add-on is there: nothing placed");
            return Outcome::kNewerThere;
        }
    }

    if (!CreateFolder(config) || !CreateFolder(addons)) return Outcome::kFailed;
    // A pending copy of the same or an older version (an earlier run's) makes way for this one.
    if (IsExistingFolder(pending) && !RemoveTree(pending)) return Outcome::kFailed;
    // NVDA renames the pending folder over no older add-on, and the add-on goes in place where
    // NVDA does not finish pending folders: the older one goes aside first, and comes back when
    // the copy fails.
    const std::string retired = installed + kRetiredSuffix;
    bool movedAside = false;
    if (IsExistingFolder(installed)) {
        if ((IsExistingFolder(retired) && !RemoveTree(retired)) ||
            !MoveFolder(installed, retired)) {
            return Outcome::kFailed;
        }
        movedAside = true;
    }
    const bool inPlace = running < kFirstReleaseFinishingPendingFolders;
    const std::string target = inPlace ? installed : pending;
    if (!CopyAddonTree(source, target, true)) {
        // NVDA would finish a half copy as if it were the add-on.
        static_cast<void>(RemoveTree(target));
        if (movedAside) static_cast<void>(MoveFolder(retired, installed));
        return Outcome::kFailed;
    }
    Log::Write(named + " placed as " + Log::Quoted(target) + ": NVDA " +
               (inPlace ? "loads" : "installs") + " it at its next start");
    return Outcome::kPlaced;
}
