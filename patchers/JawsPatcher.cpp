#include "patchers/JawsPatcher.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "install/InstallLog.h"
#include "install/Prompts.h"
#include "patchers/PatchToolkit.h"

namespace {

// Each version of JAWS is a subkey of this key; its value "Target" names the program folder.
const char* const kJawsKey = "Software\\Freedom Scientific\\JAWS\\";
const char* const kTargetValue = "Target";
// The program in the Target folder: without it the folder is what an uninstall left behind.
const char* const kProgramFile = "jfw.exe";

const char* const kSuccessText = "The JAWS patch was installled successfully.";
const char* const kFailedText =
    "The JAWS patch installation failed. Please close currently running screen reader and retry "
    "installation.";
const char* const kNoDriver64Text =
    "The JAWS patch was not installed: this install medium has no driver for 64-bit JAWS.";

// On the install medium: the driver of 32-bit JAWS, and of 64-bit JAWS on 64-bit Windows.
const char* const kDriverSource = "\\jaws\\Lumitac.jlb";
const char* const kDriver64Source = "\\jaws\\x64\\Lumitac.jlb";
const char* const kSettingsSource = "\\jaws\\TessilKey.ini";

// The display's word in every INI entry, and the names it goes by.
const char* const kProductWord = "Lumitactile";
const char* const kQuotedProductWord = "\"Lumitactile\"";
const char* const kDriverName = "LumiTac";
const char* const kPort = "USB";

// braille.ini
const char* const kListSection = "list";
const char* const kDisplaySection = "Lumitactile";
// jfw.ini
const char* const kDisplaysSection = "BrailleDisplays";
// FileFinder.ini
const char* const kProfilePathsSection = "DefaultUserProfilePaths";
const char* const kProfilePathKey = "JAWS";
// Key maps.
const char* const kKeysSection = "LumiTac Keys";
const char* const kKeyMapFile = "\\default.JKM";
const char* const kOlderKeyMapFile = "\\DefaultTL.jkm";
// Versions before this one also read the second key-map file.
constexpr int kFirstVersionWithoutOlderKeyMap = 5;

// Room for a version name with its terminator; longer names are skipped.
constexpr DWORD kVersionNameSize = 100;

using Log = InstallLog;

std::string ViewName(Registry::View view) {
    return view == Registry::View::k64Bit ? "64-bit view" : "32-bit view";
}

std::string IndexedKey(const char* prefix, int index, const char* suffix = "") {
    return prefix + std::to_string(index) + suffix;
}

// The last index a search reads. JAWS lists one braille.ini item per display model it knows
// (some tens) and one jfw.ini index per display set up (a few): no real file comes near it. Yet
// a search that never meets a missing key (Windows 95/98/ME may hand back neither a value nor
// the default while another program holds the file) still ends after a moment.
constexpr int kLastIndex = 1000;

enum class IndexSearch {
    kFree,       // the key at index is missing: the display goes there
    kPresent,    // the key at index already names the display
    kUnsettled,  // no key missing up to kLastIndex, or the wizard was closed: no index is known
};

// Reads prefix + n + suffix of the section for n = 1, 2, ... until a key is missing or names
// the display; index is where the search ended.
IndexSearch SearchIndex(const RunOwner& owner, const std::string& file, const char* section,
                        const char* prefix, const char* suffix, int& index) {
    for (index = 1; index <= kLastIndex; ++index) {
        if (owner.IsClosing()) return IndexSearch::kUnsettled;
        const std::string value =
            Ini::ReadValue(file, section, IndexedKey(prefix, index, suffix).c_str());
        if (Ini::IsMissing(value)) return IndexSearch::kFree;
        if (Ini::BeginsWithWord(value, kProductWord)) return IndexSearch::kPresent;
    }
    return IndexSearch::kUnsettled;
}

}  // namespace

int JawsPatcher::Install(RunOwner* runOwner) {
    owner = runOwner;
    std::vector<JawsVersion> versions;
    if (CollectVersions(versions) == 0) return 0;

    std::vector<std::string> handled;  // the Target folders of this run
    int versionsRead = 0;
    bool versionFailed = false;
    bool noDriver64 = false;
    for (const JawsVersion& version : versions) {
        // The user closed the wizard: the version in hand was finished (but for an INI file
        // whose index search the close ended, which is left unwritten), the rest are left.
        if (owner->IsClosing()) return versionsRead > 0 ? 1 : 0;
        std::string target;
        // A key left behind by an uninstalled version, with or without its Target, must not
        // keep the others unpatched, nor fail a patch that nothing could make succeed.
        if (!ReadTargetFolder(version, target) || !IsExistingFolder(target)) continue;
        // Settings files alone are what an uninstall leaves: no JAWS runs from there.
        if (!IsExistingFile(target + kProgramFile)) {
            Log::Write("JAWS " + version.name + ": " + Log::Quoted(target) + " has no " +
                       kProgramFile + ", left behind by an uninstall: not counted, not patched");
            continue;
        }
        // A JAWS listed in both views is one program, handled as it was listed first: the
        // 64-bit program. A folder that received the 64-bit driver never gets the 32-bit one.
        const auto same =
            std::find_if(handled.begin(), handled.end(),
                         [&](const std::string& folder) { return IsSameFolder(folder, target); });
        if (same != handled.end()) {
            Log::Write("JAWS " + version.name + " (" + ViewName(version.view) +
                       "): " + Log::Quoted(target) + " is the folder " + Log::Quoted(*same) +
                       " handled already: left as it is");
            continue;
        }
        handled.push_back(target);
        ++versionsRead;
        const bool is64Bit = version.view == Registry::View::k64Bit;
        std::string driver;
        const bool mediumKnown =
            owner->MediumPath(is64Bit ? kDriver64Source : kDriverSource, driver);
        // A 64-bit JAWS cannot load the 32-bit driver, and entries for a driver it cannot load
        // would have it report a broken display: without its own driver nothing of it changes.
        if (is64Bit && mediumKnown && !IsExistingFile(driver)) {
            noDriver64 = true;
            continue;
        }
        if (CopyDisplayDriver(target, driver) == 0) {
            versionFailed = true;
            continue;
        }
        // Each step is tried whatever the others gave.
        const bool brailleIni = RegisterInBrailleIni(target);
        const bool jfwIni = RegisterInJfwIni(target);
        const bool keyMaps = InstallKeyMaps(target, version.name);
        if (!brailleIni || !jfwIni || !keyMaps) versionFailed = true;
    }
    if (versionsRead == 0) return 0;
    if (owner->IsClosing()) return 1;

    // A missing 64-bit driver is told first: no retry can mend it. One version without its
    // driver, its INI entries or its keys cannot use the display, so the whole patch counts as
    // failed.
    if (noDriver64) {
        ReportFailure(owner, kNoDriver64Text, Prompt::kJawsNoDriver64);
    } else if (versionFailed) {
        ReportFailure(owner, kFailedText, Prompt::kJawsFailed);
    } else {
        ReportStatus(owner, kSuccessText, Prompt::kJawsSuccess);
    }
    return 1;
}

bool JawsPatcher::ReadTargetFolder(const JawsVersion& version, std::string& folder) {
    UniqueRegKey key;
    if (!Registry::OpenForReading(*owner, std::string(kJawsKey) + version.name + "\\", version.view,
                                  key)) {
        return false;
    }
    DWORD type = REG_NONE;
    // Stored as REG_EXPAND_SZ, it is expanded as the JAWS of its view would expand it.
    if (!Registry::ReadFolder(*owner, key.Get(), kTargetValue, version.view, folder, &type)) {
        return false;
    }
    key.Reset();
    // Only text names a folder; a number or binary data would be taken as a path of garbage.
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    // An empty folder would put the driver and the INI files in the root of the current drive.
    if (folder.empty()) return false;
    // By character: a double-byte character can end in the backslash's byte.
    if (!AnsiText::EndsInBackslash(folder)) folder.push_back('\\');
    return true;
}

int JawsPatcher::CollectVersions(std::vector<JawsVersion>& versions) {
    // On 64-bit Windows JAWS is a 64-bit program, and older ones are 32-bit: each lists itself
    // in the view of its own kind. 32-bit Windows has one view, where every JAWS is 32-bit.
    std::vector<Registry::View> views = {Registry::View::k32Bit};
    if (owner->Is64BitWindows()) views.insert(views.begin(), Registry::View::k64Bit);
    int found = 0;
    for (const Registry::View view : views) {
        UniqueRegKey key;
        if (!Registry::OpenForReading(*owner, kJawsKey, view, key)) continue;
        DWORD count = 0;
        // A query that fills in nothing leaves no subkeys to enumerate.
        static_cast<void>(::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &count, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
        std::vector<char> name(kVersionNameSize, 0);
        for (DWORD index = 0; index < count; ++index) {
            DWORD length = kVersionNameSize;
            if (::RegEnumKeyExA(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS) {
                continue;  // a name too long for the buffer is not a version we can open
            }
            versions.push_back(JawsVersion{std::string(name.data(), length), view});
            found = 1;
        }
    }
    return found;
}

int JawsPatcher::CopyDisplayDriver(const std::string& targetFolder, const std::string& source) {
    // Without the medium's root there is no driver to copy.
    if (source.empty()) return 0;
    const std::string brailleFolder = targetFolder + "Drivers\\Braille";
    std::string destination;
    // Logged with what was found: it decides where the driver goes.
    if (IsExistingDirectory(brailleFolder) != 0) {
        const std::string driverFolder = brailleFolder + "\\LumiTac";
        // An existing folder is fine; a folder that cannot be made fails the copy below.
        static_cast<void>(CreateFolder(driverFolder));
        destination = driverFolder + "\\LumiTac.jlb";
    } else {
        destination = targetFolder + "LumiTac.jlb";
    }
    return CopyClearingReadOnly(source, destination);
}

bool JawsPatcher::RegisterInBrailleIni(const std::string& targetFolder) {
    const std::string file = targetFolder + "braille.ini";
    // Only the items before the first gap are looked at; the gap is where the display goes.
    int index = 0;
    const IndexSearch search = SearchIndex(*owner, file, kListSection, "Item", "", index);
    ::OutputDebugStringA((file + "\r\n").c_str());
    // Reads that cannot be trusted give no place for the display, nor a true view of its
    // section: the file is left as it is.
    if (search == IndexSearch::kUnsettled) return false;
    bool written = true;
    if (search == IndexSearch::kFree) {
        // Quoted, so the reader hands back the bare word and a later run finds it.
        written = Ini::WriteValue(file, kListSection, IndexedKey("Item", index).c_str(),
                                  kQuotedProductWord);
    }
    // Tried even when the item was refused.
    std::string source;
    if (owner->MediumPath(kSettingsSource, source)) {
        static_cast<void>(TransplantSectionIfAbsent(kDisplaySection, source, file));
    }
    Ini::FlushWrites(*owner);
    // JAWS finds the display's settings only in its section, so it must read back with its lines
    // afterwards: a running JAWS may hold the file, or the medium lack the section.
    return written && Ini::SectionReadsBack(file, kDisplaySection);
}

bool JawsPatcher::RegisterInJfwIni(const std::string& targetFolder) {
    const std::string file = targetFolder + "jfw.ini";
    // Only the long name decides: an index with just a name, driver or port key is reused.
    int index = 0;
    const IndexSearch search =
        SearchIndex(*owner, file, kDisplaysSection, "Braille", "LongName", index);
    if (search == IndexSearch::kUnsettled) return false;
    const struct {
        const char* suffix;
        const char* value;
    } keys[] = {{"Name", kDriverName},
                {"LongName", kProductWord},
                {"Driver", kDriverName},
                {"Port", kPort}};
    // A present entry that a cut or partly refused run left without some of its keys is
    // completed; the keys it has stay as they are.
    const auto has = [&](const char* suffix) {
        const std::string value =
            Ini::ReadValue(file, kDisplaysSection, IndexedKey("Braille", index, suffix).c_str());
        return !Ini::IsMissing(value) && !value.empty();
    };
    // A write that fails does not keep the others from being tried.
    bool written = true;
    for (const auto& key : keys) {
        if (search == IndexSearch::kPresent && has(key.suffix)) continue;
        if (!Ini::WriteValue(file, kDisplaysSection,
                             IndexedKey("Braille", index, key.suffix).c_str(), key.value)) {
            written = false;
        }
    }
    Ini::FlushWrites(*owner);
    // JAWS can use the entry only with all four keys, so they must read back from the file.
    std::string lacking;
    for (const auto& key : keys) {
        if (!has(key.suffix)) lacking += " " + IndexedKey("Braille", index, key.suffix);
    }
    Log::Write("checked [" + std::string(kDisplaysSection) + "] Braille" + std::to_string(index) +
               " in " + Log::Quoted(file) +
               (lacking.empty() ? ": it holds all four keys" : ": it lacks" + lacking));
    return written && lacking.empty();
}

bool JawsPatcher::InstallKeyMaps(const std::string& targetFolder, const std::string& version) {
    // The profile path is taken as plain text: nothing in it is expanded.
    const std::string finder = targetFolder + "FileFinder.ini";
    const std::string profile = Ini::ReadValue(finder, kProfilePathsSection, kProfilePathKey);
    // An empty path counts as none: "" + "\Settings\" would be the root of the drive.
    const bool noProfile = Ini::IsMissing(profile) || profile.empty();
    const std::string settings = noProfile ? targetFolder + "Settings\\" : profile + "\\Settings\\";
    Log::Write("[" + std::string(kProfilePathsSection) + "] " + kProfilePathKey + " in " +
               Log::Quoted(finder) +
               (Ini::IsMissing(profile) ? " is not there"
                : profile.empty()       ? " is empty"
                                        : " = " + Log::Quoted(profile)) +
               ": the key maps are looked for in " + Log::Quoted(settings));

    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA((settings + "*.*").c_str(), &entry));
    // Without settings there is no key map to give the keys to.
    if (!search) {
        Log::Write("folder " + Log::Quoted(settings) +
                   " lists nothing: no key map got the display's keys");
        return true;
    }

    std::string source;
    const std::string keys = owner->MediumPath(kSettingsSource, source)
                                 ? Ini::ReadSection(source, kKeysSection)
                                 : std::string();
    const bool writeOlderKeyMap = std::atoi(version.c_str()) < kFirstVersionWithoutOlderKeyMap;
    bool languageFolders = false;
    bool keysHeld = false;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        if (entry.cFileName[0] == '.') continue;  // ".", ".." and hidden folders like ".svn"
        languageFolders = true;
        Log::Write("language folder " + Log::Quoted(settings + entry.cFileName) + " found");
        // An empty or missing section on the medium would wipe the display's keys from every
        // key map, so nothing is written then.
        if (keys.empty()) continue;
        const std::string folder = settings + entry.cFileName;
        for (const char* name : {kKeyMapFile, kOlderKeyMapFile}) {
            if (name == kOlderKeyMapFile && !writeOlderKeyMap) continue;
            // A write refused by a file that JAWS holds does not count, nor one whose keys do
            // not read back from the file itself.
            const bool written = Ini::WriteSection(folder + name, kKeysSection, keys);
            Ini::FlushWrites(*owner);
            if (!written) continue;
            if (Ini::SectionReadsBack(folder + name, kKeysSection, keys)) keysHeld = true;
        }
    } while (::FindNextFileA(search.Get(), &entry));
    if (!languageFolders) {
        Log::Write("folder " + Log::Quoted(settings) +
                   " holds no language folder: no key map got the display's keys");
    }
    return !languageFolders || keysHeld;
}
