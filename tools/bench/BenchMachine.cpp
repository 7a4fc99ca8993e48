#include "tools/bench/BenchMachine.h"

#include <cstdio>

#include "tools/demo/simpc/Scenario.h"

namespace bench {

const char* const kDisplayKeysSection = "LumiTac Keys";

namespace {

const char* const kJawsKey = "HKLM\\Software\\Freedom Scientific\\JAWS\\";
const char* const kJawsFolder = "%ProgramFiles%\\Freedom Scientific\\JAWS\\";

// Versions from 5 on: older ones get a second key map per folder, which would make the first
// versions cost more than the others.
std::string VersionName(int index) {
    return std::to_string(5 + index) + ".0";
}

std::string SettingsFolderName(int index) {
    char name[16];
    std::snprintf(name, sizeof(name), "set%02d", index + 1);
    return name;
}

std::string VersionFolder(int index) {
    return kJawsFolder + VersionName(index);
}

void AddFile(std::string& text, const std::string& path, const char* content) {
    text += "file " + path + "\n" + content + "end\n";
}

// What every machine has besides JAWS, as on the typical PC: Window-Eyes 7.0 with its default
// settings and a backup of them, and Dolphin's SAM with Hal and Supernova.
const char* const kOtherReaders =
    "group Window-Eyes\n"
    "key HKLM\\Software\\GW Micro, Inc.\\Window-Eyes\\Professional\n"
    "value Version = 7.0\n"
    "value Path = %ProgramFiles%\\GW Micro\\Window-Eyes\n"
    "file %ProgramFiles%\\GW Micro\\Window-Eyes\\bdisplay.exe\n"
    "Sample braille display program of an earlier installation.\n"
    "end\n"
    "file %ProgramFiles%\\GW Micro\\Window-Eyes\\users\\default\\braille.ini\n"
    "[Braille]\nDisplay=Alva\nPort=1\n"
    "end\n"
    "file %ProgramFiles%\\GW Micro\\Window-Eyes\\users.bak\\default\\braille.ini\n"
    "[Braille]\nDisplay=Alva\nPort=1\n"
    "end\n"
    "\n"
    "group Dolphin\n"
    "file %ProgramFiles%\\Dolphin\\Sam\\QVRsam\\QVRsam.dll\n"
    "Sample SAM driver of an earlier version.\n"
    "end\n"
    "file %ProgramFiles%\\Dolphin\\Hal\\defaults\\braille.ini\n"
    "[Display]\nActive=ALVA\n[ALVA]\nPort=COM1\n"
    "end\n"
    "folder %ProgramFiles%\\Dolphin\\Hal\\Settings\n"
    "file %ProgramFiles%\\Dolphin\\Snova 12\\defaults\\braille.ini\n"
    "[Display]\nActive=ALVA\n[ALVA]\nPort=USB\n"
    "end\n"
    "folder %ProgramFiles%\\Dolphin\\Snova 12\\Settings\n";

}  // namespace

std::string MachineScenario(const MachineSize& size, const std::string& windows) {
    std::string text = "# Benchmark machine: " + std::to_string(size.versions) +
                       " JAWS version(s) with " + std::to_string(size.settingsFolders) +
                       " settings folder(s) each, Window-Eyes and Dolphin.\n";
    text += "windows " + windows + "\n\ngroup JAWS\n";
    for (int version = 0; version < size.versions; ++version) {
        const std::string folder = VersionFolder(version);
        text += "key " + std::string(kJawsKey) + VersionName(version) + "\n";
        text += "value Target = " + folder + "\\\n";
        AddFile(text, folder + "\\jfw.exe", "Sample JAWS program.\n");
        AddFile(text, folder + "\\Drivers\\Braille\\Focus\\focus.jlb",
                "Sample braille driver of another display.\n");
        AddFile(text, folder + "\\braille.ini",
                "[Options]\nActiveDisplay=Focus\n[list]\nItem1=Focus\nItem2=Alva\n"
                "[Focus]\nPort=USB\nCells=40\n");
        AddFile(text, folder + "\\jfw.ini",
                "[BrailleDisplays]\nBraille1Name=Focus\nBraille1LongName=Focus 40 Blue\n"
                "Braille1Driver=focus\nBraille1Port=USB\nBraille2Name=Alva\n"
                "Braille2LongName=Alva Satellite\nBraille2Driver=alva\nBraille2Port=1\n");
        for (int settings = 0; settings < size.settingsFolders; ++settings) {
            AddFile(text, folder + "\\Settings\\" + SettingsFolderName(settings) + "\\default.JKM",
                    "[Common Keys]\nInsert+F12=SayTime\nControl+Shift+F=MyFavouriteScript\n");
        }
    }
    text += "\n";
    text += kOtherReaders;
    return text;
}

namespace {

// A path written with %ProgramFiles% as the simulated PC reads it: where 32-bit programs go.
std::string OnMachine(const std::string& written) {
    std::string path;
    return simpc::ExpandVariables(written, path) ? path : written;
}

}  // namespace

std::vector<std::string> KeyMapPaths(const MachineSize& size) {
    std::vector<std::string> paths;
    for (int version = 0; version < size.versions; ++version) {
        for (int settings = 0; settings < size.settingsFolders; ++settings) {
            paths.push_back(OnMachine(VersionFolder(version) + "\\Settings\\" +
                                      SettingsFolderName(settings) + "\\default.JKM"));
        }
    }
    return paths;
}

std::vector<std::string> InstalledDriverPaths(const MachineSize& size) {
    std::vector<std::string> paths;
    for (int version = 0; version < size.versions; ++version) {
        paths.push_back(
            OnMachine(VersionFolder(version) + "\\Drivers\\Braille\\LumiTac\\LumiTac.jlb"));
    }
    paths.push_back(OnMachine("%ProgramFiles%\\GW Micro\\Window-Eyes\\Lumitactile.dll"));
    paths.push_back(OnMachine("%ProgramFiles%\\Dolphin\\Sam\\LumiTac\\LumiTac.dll"));
    return paths;
}

}  // namespace bench
