#pragma once

#include <string>
#include <vector>

#include "install/RunOwner.h"
#include "patchers/PatchToolkit.h"

// One JAWS version as the registry lists it: its name, and the view it is listed in. On 64-bit
// Windows a version listed in the 64-bit view is a 64-bit JAWS, which loads only a 64-bit driver.
struct JawsVersion {
    std::string name;
    Registry::View view = Registry::View::k32Bit;
};

// Teaches every JAWS version listed in the registry to drive the display: its braille driver,
// its braille.ini and jfw.ini entries, and the key maps of every settings folder.
class JawsPatcher {
public:
    JawsPatcher() = default;
    virtual ~JawsPatcher() = default;

    // 1 when JAWS was found and at least one listed version could be read and has its folder
    // (after exactly one report); 0 with no report when JAWS is absent, or every listed version
    // was left behind by an uninstall (no readable Target, no folder there, or no jfw.exe in
    // it). Two listings of one folder (as the file system decides) are one JAWS. A 64-bit JAWS
    // for which the medium has no driver counts as found; it is told, and nothing of it changes.
    [[nodiscard]] int Install(RunOwner* owner);

    // The steps of Install, public so each can be tested on its own; they use owner, which
    // Install sets.

    // Appends the versions the registry lists, in its order: on 64-bit Windows those of the
    // 64-bit view first, then those of the 32-bit view. 1 when at least one was appended; 0
    // when no JAWS key can be opened or none lists anything readable.
    [[nodiscard]] int CollectVersions(std::vector<JawsVersion>& versions);
    // The version's program folder, read from its "Target" in the view it was listed in (a
    // REG_EXPAND_SZ expanded as a program of that view would), ending in a backslash. False when
    // the key cannot be opened or "Target" is not a readable, expandable, non-empty text.
    [[nodiscard]] bool ReadTargetFolder(const JawsVersion& version, std::string& folder);
    // The driver at source (on the medium) into Drivers\Braille\LumiTac when the folder has
    // Drivers\Braille, else into the folder itself. 1 when the copy succeeded; 0 with no copy
    // when source is empty.
    [[nodiscard]] int CopyDisplayDriver(const std::string& targetFolder, const std::string& source);
    // The display's list item and section in braille.ini, and its four keys in jfw.ini. False
    // when a write they needed was refused (the file held by a running JAWS, say), when
    // braille.ini does not hold the display's section with its lines afterwards, or when the
    // search for a free index found none or was ended by a close, in which case the file is
    // not written at all: without them JAWS cannot use the display. An entry already there
    // needs no write; one that lacks some of jfw.ini's four keys gets them. jfw.ini's four keys
    // must read back afterwards.
    [[nodiscard]] bool RegisterInBrailleIni(const std::string& targetFolder);
    [[nodiscard]] bool RegisterInJfwIni(const std::string& targetFolder);
    // The display's keys into the key maps of every language folder of the version's settings.
    // False when there are language folders and none of their key maps holds the keys
    // afterwards (the medium lacks them, or every write was refused): the display would work,
    // but none of its keys would.
    [[nodiscard]] bool InstallKeyMaps(const std::string& targetFolder, const std::string& version);

    RunOwner* owner = nullptr;
};
