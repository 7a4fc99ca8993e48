#pragma once

#include <string>
#include <vector>

// The machines the benchmark patches: generated scenarios for the simulated PC, growing in the
// number of JAWS versions and of settings folders per version, each with Window-Eyes and
// Dolphin beside them, so the patch phase can be timed against the work it has to do.
namespace bench {

struct MachineSize {
    int versions = 0;         // JAWS versions, each with its registry key and program folder
    int settingsFolders = 0;  // settings folders per version, each holding a key map
    int KeyMaps() const { return versions * settingsFolders; }
};

// The scenario text (the simulated PC's own format) of a machine of this size running the
// given Windows ("win98", "winxp", ...). Every JAWS version looks the same: a braille driver
// folder, braille.ini and jfw.ini that already list other displays, and its settings folders
// each with a key map of the user's own, so every version and every folder costs the same.
std::string MachineScenario(const MachineSize& size, const std::string& windows);

// The key map of every settings folder of that machine: the files the wizard must extend.
std::vector<std::string> KeyMapPaths(const MachineSize& size);

// The section the wizard adds to each key map.
extern const char* const kDisplayKeysSection;

// Files a complete run puts on that machine: the display driver of every JAWS version, the
// Window-Eyes driver library and Dolphin's SAM display driver.
std::vector<std::string> InstalledDriverPaths(const MachineSize& size);

}  // namespace bench
