#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/demo/simpc/Scenario.h"

// What the machine holds in the places a scenario names, and what changed between two moments.
namespace simpc {

struct IniEntry {
    std::string key;
    std::string value;  // as written in the file, quotes included
};

struct IniSection {
    std::string name;
    std::vector<IniEntry> entries;
};

// The sections and keys of an INI file, read the way the platform's profile functions see
// them: names are trimmed, ";" lines are comments, lines before the first section belong to
// none, and a repeated section or key counts once (the first).
std::vector<IniSection> ParseIni(const std::string& text);

struct FileState {
    std::string path;
    unsigned long long size = 0;
    std::string hash;    // of the content; "unreadable" when it could not be read
    bool isIni = false;  // .ini and .jkm files, whose sections and keys are compared
    bool readOnly = false;
    std::vector<IniSection> sections;
};

struct KeyState {
    std::string path;                                         // "HKLM\..."
    std::vector<std::pair<std::string, std::string>> values;  // name, type-tagged data
};

// Everything is keyed by the lower-case path, as the platform compares names.
struct Snapshot {
    std::map<std::string, std::string> folders;
    std::map<std::string, FileState> files;
    std::map<std::string, KeyState> keys;
};

// Reads the scenario's keys (with their subkeys) and watched folders (with all they hold).
Snapshot TakeSnapshot(const Scenario& scenario);

struct GroupChanges {
    std::string group;
    std::vector<std::string> lines;  // empty: nothing changed
};

// Each folder and file created, replaced or deleted, each INI section and key added, changed
// or removed, and each registry key and value, grouped as the scenario groups its places.
std::vector<GroupChanges> DiffSnapshots(const Scenario& scenario, const Snapshot& before,
                                        const Snapshot& after);
std::string FormatChanges(const std::vector<GroupChanges>& changes);

}  // namespace simpc
