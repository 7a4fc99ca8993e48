#include "patchers/DolphinPatcher.h"

#include <windows.h>

#include <cstring>

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "install/Prompts.h"
#include "patchers/PatchToolkit.h"

namespace {

// Dolphin installs into its own folder where Windows keeps programs; its products are looked
// for nowhere else.
const char* const kProgramFilesValue = "ProgramFilesDir";
const char* const kUsualProgramFiles = "C:\\Program Files";
// Where 32-bit programs go on 64-bit Windows; "C:\Program Files" there holds 64-bit ones.
const char* const kUsualProgramFiles32 = "C:\\Program Files (x86)";
const char* const kDolphin = "Dolphin";
// Inside Dolphin's folder.
const char* const kSam = "\\Sam";
const char* const kSamDriverTarget = "\\Sam\\QVRsam\\QVRsam.dll";
const char* const kDisplayDriverFolder = "\\Sam\\LumiTac";
const char* const kHal = "\\Hal";
const char* const kListing = "\\*.*";
const char* const kSupernovaMarker = "Snova";
const char* const kSupernovaFallback = "\\Snova";
const char* const kDeviceSection = "QTL1";

// On the install medium.
const char* const kMediumSamDriver = "\\supernova\\QVRsam.dll";
const char* const kMediumFolder = "\\supernova\\";
const char* const kMediumSettings = "\\supernova\\lmuitactile.ini";
const char* const kMediumBackup = "\\supernova\\QTL1.bk1";

// In this order; SAM needs all four, so the first that fails ends the copy.
const char* const kDisplayDriverFiles[] = {"LumiTac00044.ini", "LumiTac.sdi", "LumiTac.txt",
                                           "LumiTac.dll"};
// Inside a reader folder. A reader is installed where its folder holds "defaults": an
// uninstall leaves its Settings behind.
const char* const kDefaults = "\\defaults";
const char* const kBrailleIni = "\\defaults\\braille.ini";
const char* const kBackupFolders[] = {"\\defaults\\", "\\Settings\\"};
const char* const kNewBackup = "QTL1.bk1";
const char* const kOldBackup = "QTL1.bk0";

const char* const kFailedText =
    "The Supernova patch installation failed. Please close currently running screen reader and "
    "retry installation.";
const char* const kSupernovaSuccessText = "The Supernova patch was installed successfully.";
const char* const kHalSuccessText = "The Hal patch was installed successfully.";

// The entry's long name (not its 8.3 alias), never read past the record.
std::string LongName(const WIN32_FIND_DATAA& entry) {
    return std::string(entry.cFileName, ::strnlen(entry.cFileName, sizeof(entry.cFileName)));
}

// A listed entry is Supernova's folder when it is a folder, is not "." or ".." or another
// dot-name, and its long name holds the marker in exactly that letter case, as characters (a
// double-byte character's trail byte may equal the marker's first letter).
bool IsSupernovaFolder(const WIN32_FIND_DATAA& entry) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    const std::string name = LongName(entry);
    if (name.empty() || name[0] == '.') return false;
    return AnsiText::Contains(name, kSupernovaMarker);
}

bool IsInstalledReader(const std::string& readerFolder) {
    return IsExistingDirectory(readerFolder + kDefaults) != 0;
}

}  // namespace

const char* const kWindowsCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

std::string DolphinFolder(const RunOwner& owner, const std::string& programFilesKey) {
    std::string programFiles;
    UniqueRegKey key;
    DWORD type = REG_NONE;
    // Where 32-bit programs go: the medium's Dolphin files are 32-bit, and nothing is looked for
    // or written in a 64-bit program folder.
    if (!Registry::OpenForReading(owner, programFilesKey, Registry::View::k32Bit, key) ||
        !Registry::ReadText(key.Get(), kProgramFilesValue, programFiles, &type) ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || programFiles.empty()) {
        programFiles = owner.Is64BitWindows() ? kUsualProgramFiles32 : kUsualProgramFiles;
    }
    // By character: a double-byte character can end in the backslash's byte.
    if (!AnsiText::EndsInBackslash(programFiles)) programFiles.push_back('\\');
    return programFiles + kDolphin;
}

int DolphinPatcher::Install(RunOwner* runOwner) {
    owner = runOwner;
    dolphinFolder = DolphinFolder(*owner, programFilesKey);
    if (IsExistingDirectory(dolphinFolder + kSam) == 0) return 0;

    // SAM drives the display for the Dolphin screen readers and stays behind when the last of
    // them is uninstalled. Alone, it gets its files, but there is no screen reader to tell of
    // them or to restart, whatever the copy gave. Folders left by an uninstall are no reader.
    const bool readers =
        IsInstalledReader(dolphinFolder + kHal) || IsInstalledReader(SupernovaFolder());

    // Once the user has closed the wizard, the step in progress ends normally and nothing
    // after it starts; Dolphin was still found.
    if (owner->IsClosing()) return 1;
    if (CopySamFiles() == 0) {
        if (!readers) return 0;
        ReportFailure(owner, kFailedText, Prompt::kSupernovaNotCopied);
        return 1;
    }
    if (!readers) return 0;
    if (owner->IsClosing()) return 1;
    const Reader hal = PatchHal();
    if (owner->IsClosing()) return 1;
    const Reader supernova = PatchSupernova();

    // A reader that lacks the display's section cannot use it: most often it is running and
    // holds its braille.ini.
    if (hal == Reader::kFailed || supernova == Reader::kFailed) {
        ReportFailure(owner, kFailedText, Prompt::kSupernovaNotCopied);
    } else if (supernova == Reader::kPatched) {
        ReportStatus(owner, kSupernovaSuccessText, Prompt::kSupernovaSuccess);
    } else {
        ReportStatus(owner, kHalSuccessText, Prompt::kHalSuccess);
    }
    return 1;
}

int DolphinPatcher::CopySamFiles() {
    std::string source;
    // SAM's own driver is a courtesy: where its folder is missing the copy fails and the display
    // still works, so the folder is not created and the result does not count.
    if (owner->MediumPath(kMediumSamDriver, source)) {
        static_cast<void>(CopyClearingReadOnly(source, dolphinFolder + kSamDriverTarget));
    }
    // Already there on a second run; a folder that cannot be made fails the first copy below.
    const std::string driverFolder = dolphinFolder + kDisplayDriverFolder;
    static_cast<void>(CreateFolder(driverFolder));

    for (const char* name : kDisplayDriverFiles) {
        const std::string relative = std::string(kMediumFolder) + name;
        if (!owner->MediumPath(relative.c_str(), source)) return 0;
        const std::string target = driverFolder + "\\" + name;
        if (CopyClearingReadOnly(source, target) == 0) return 0;
    }
    return 1;
}

DolphinPatcher::Reader DolphinPatcher::PatchHal() {
    return PatchReaderFolder(dolphinFolder + kHal);
}

DolphinPatcher::Reader DolphinPatcher::PatchSupernova() {
    return PatchReaderFolder(SupernovaFolder());
}

std::string DolphinPatcher::SupernovaFolder() const {
    // Supernova's folder name carries its version, so it is found by its marker: the first
    // installed one, since an uninstalled version may leave its folder listed before it. The
    // path is held in a growing string, so however long the name, nothing is cut.
    std::string firstMarked;
    WIN32_FIND_DATAA entry;
    ZeroMemory(&entry, sizeof(entry));
    UniqueFindHandle listing(::FindFirstFileA((dolphinFolder + kListing).c_str(), &entry));
    while (listing) {
        if (IsSupernovaFolder(entry)) {
            const std::string folder = dolphinFolder + "\\" + LongName(entry);
            if (IsInstalledReader(folder)) return folder;
            if (firstMarked.empty()) firstMarked = folder;
        }
        ZeroMemory(&entry, sizeof(entry));
        if (!::FindNextFileA(listing.Get(), &entry)) break;
    }
    return firstMarked.empty() ? dolphinFolder + kSupernovaFallback : firstMarked;
}

DolphinPatcher::Reader DolphinPatcher::PatchReaderFolder(const std::string& readerFolder) {
    // A reader that is not installed gets nothing, and no folder or file is made for it.
    if (!IsInstalledReader(readerFolder)) return Reader::kAbsent;
    const std::string brailleIni = readerFolder + kBrailleIni;
    std::string settings;
    const bool placed = owner->MediumPath(kMediumSettings, settings) &&
                        TransplantSectionIfAbsent(kDeviceSection, settings, brailleIni);
    Ini::FlushWrites(*owner);
    // With the medium unknown the source stays empty and each copy fails like a missing file.
    std::string backup;
    static_cast<void>(owner->MediumPath(kMediumBackup, backup));
    for (const char* subfolder : kBackupFolders) {
        const std::string folder = readerFolder + subfolder;
        // The old settings go only once the new ones are in place: a medium without the
        // file, or a folder that refuses it, must not leave the reader with neither.
        if (CopyClearingReadOnly(backup, folder + kNewBackup) == 0) continue;
        // Already gone on a second run; one that cannot go is left in silence.
        static_cast<void>(DeleteClearingReadOnly(folder + kOldBackup));
    }
    // The reader finds the display only through its section, so it must read back with its
    // lines afterwards: a running reader may hold the file, or the medium lack the section.
    return Ini::SectionReadsBack(brailleIni, kDeviceSection) && placed ? Reader::kPatched
                                                                       : Reader::kFailed;
}
