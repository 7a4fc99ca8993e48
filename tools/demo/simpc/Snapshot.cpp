#include "tools/demo/simpc/Snapshot.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/Handles.h"
#include "tools/demo/simpc/Machine.h"
#include "tools/machine/Machine.h"

namespace simpc {

namespace {

const char* const kOtherGroup = "Machine";
constexpr unsigned long long kLargestIniBytes = 1024 * 1024;

std::string Hash(const std::string& content) {
    unsigned long long hash = 14695981039346656037ULL;  // FNV-1a, 64 bits
    for (unsigned char byte : content) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof(text), "%016llx", hash);
    return text;
}

bool IsIniName(const std::string& path) {
    const std::string end = path.size() > 4 ? Lower(path.substr(path.size() - 4)) : "";
    return end == ".ini" || end == ".jkm";
}

void ReadFolder(const std::string& folder, Snapshot& snapshot) {
    snapshot.folders[Lower(folder)] = folder;
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!search) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ReadFolder(path, snapshot);
            continue;
        }
        FileState file;
        file.path = path;
        file.readOnly = (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        file.size =
            (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        std::string content;
        if (machine::ReadWholeFile(path, content)) {
            file.size = content.size();
            file.hash = Hash(content);
            file.isIni = IsIniName(path) && content.size() <= kLargestIniBytes;
            if (file.isIni) file.sections = ParseIni(content);
        } else {
            file.hash = "unreadable";
        }
        snapshot.files[Lower(path)] = file;
    } while (::FindNextFileA(search.Get(), &entry));
}

std::string ValueText(DWORD type, const std::vector<BYTE>& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const char* text = reinterpret_cast<const char*>(data.data());
        return std::string(text, strnlen(text, data.size()));
    }
    if (type == REG_DWORD && data.size() >= 4) {
        DWORD number = 0;
        std::copy(data.begin(), data.begin() + 4, reinterpret_cast<BYTE*>(&number));
        return "dword:" + std::to_string(number);
    }
    std::string hex = "hex(" + std::to_string(type) + "):";
    char byte[4];
    for (BYTE b : data) {
        std::snprintf(byte, sizeof(byte), "%02x", b);
        hex += byte;
    }
    return hex;
}

// The key as the changes name it: a 64-bit program's key says so, since the same path may be in
// both views.
std::string KeyPath(const std::string& subkey, REGSAM view) {
    return (view == KEY_WOW64_64KEY ? "HKLM (64-bit view)\\" : "HKLM\\") + subkey;
}

void ReadKey(const std::string& subkey, REGSAM view, Snapshot& snapshot) {
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | view, key.Receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    KeyState state;
    state.path = KeyPath(subkey, view);
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    if (::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                           &values, &longestName, &longestData, nullptr,
                           nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD i = 0; i < values; ++i) {
        std::string name(longestName + 1, '\0');
        DWORD nameLength = longestName + 1;
        std::vector<BYTE> data(longestData + 1, 0);
        DWORD dataSize = longestData;
        DWORD type = 0;
        if (::RegEnumValueA(key.Get(), i, &name[0], &nameLength, nullptr, &type, data.data(),
                            &dataSize) != ERROR_SUCCESS) {
            continue;
        }
        name.resize(nameLength);
        data.resize(dataSize);
        state.values.emplace_back(name, ValueText(type, data));
    }
    std::sort(state.values.begin(), state.values.end(),
              [](const auto& a, const auto& b) { return Lower(a.first) < Lower(b.first); });
    snapshot.keys[Lower(state.path)] = state;
    for (DWORD i = 0; i < subkeys; ++i) {
        std::string name(longestSubkey + 1, '\0');
        DWORD nameLength = longestSubkey + 1;
        if (::RegEnumKeyExA(key.Get(), i, &name[0], &nameLength, nullptr, nullptr, nullptr,
                            nullptr) == ERROR_SUCCESS) {
            name.resize(nameLength);
            ReadKey(subkey + "\\" + name, view, snapshot);
        }
    }
}

const IniSection* FindSection(const std::vector<IniSection>& sections, const std::string& name) {
    for (const IniSection& section : sections) {
        if (Lower(section.name) == Lower(name)) return &section;
    }
    return nullptr;
}

const IniEntry* FindEntry(const IniSection& section, const std::string& key) {
    for (const IniEntry& entry : section.entries) {
        if (Lower(entry.key) == Lower(key)) return &entry;
    }
    return nullptr;
}

std::string EntryText(const IniEntry& entry) {
    return entry.key + " = " + entry.value;
}

// The lines under a changed INI file: sections and keys added, changed and removed.
std::vector<std::string> IniChanges(const std::vector<IniSection>& before,
                                    const std::vector<IniSection>& after) {
    std::vector<std::string> lines;
    for (const IniSection& section : after) {
        const std::string label = "[" + section.name + "] ";
        const IniSection* old = FindSection(before, section.name);
        if (old == nullptr) lines.push_back("section [" + section.name + "] added");
        for (const IniEntry& entry : section.entries) {
            const IniEntry* was = old != nullptr ? FindEntry(*old, entry.key) : nullptr;
            if (was == nullptr) {
                lines.push_back(label + EntryText(entry) + "   added");
            } else if (was->value != entry.value) {
                lines.push_back(label + EntryText(entry) + "   changed, was " + was->value);
            }
        }
        if (old == nullptr) continue;
        for (const IniEntry& entry : old->entries) {
            if (FindEntry(section, entry.key) == nullptr) {
                lines.push_back(label + entry.key + "   removed, was " + entry.value);
            }
        }
    }
    for (const IniSection& section : before) {
        if (FindSection(after, section.name) == nullptr) {
            lines.push_back("section [" + section.name + "] removed");
        }
    }
    return lines;
}

std::string Bytes(unsigned long long size) {
    return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

struct Item {
    std::string group;
    std::string order;
    std::vector<std::string> lines;
};

class GroupFinder {
public:
    explicit GroupFinder(const Scenario& scenario) {
        for (const Folder& folder : scenario.WatchedFolders()) {
            roots.emplace_back(folder.path, folder.group);
        }
        for (const RegistryKey& key : scenario.keys) {
            roots.emplace_back(KeyPath(key.subkey, ViewOf(key)), key.group);
        }
    }
    std::string GroupOf(const std::string& path) const {
        std::string group = kOtherGroup;
        size_t longest = 0;
        for (const auto& root : roots) {
            if (root.first.size() >= longest && IsAtOrBelow(path, root.first)) {
                longest = root.first.size();
                group = root.second;
            }
        }
        return group;
    }

private:
    std::vector<std::pair<std::string, std::string>> roots;
};

void DiffKeys(const Snapshot& before, const Snapshot& after, const GroupFinder& groups,
              std::vector<Item>& items) {
    auto findValue = [](const KeyState& key, const std::string& name) -> const std::string* {
        for (const auto& value : key.values) {
            if (Lower(value.first) == Lower(name)) return &value.second;
        }
        return nullptr;
    };
    auto valueName = [](const std::string& name) { return name.empty() ? "(default)" : name; };
    for (const auto& [id, key] : after.keys) {
        Item item{groups.GroupOf(key.path), "0" + id, {}};
        const auto old = before.keys.find(id);
        if (old == before.keys.end()) {
            item.lines.push_back("created  " + key.path);
            for (const auto& value : key.values) {
                item.lines.push_back("           " + valueName(value.first) + " = " + value.second +
                                     "   added");
            }
        } else {
            for (const auto& value : key.values) {
                const std::string* was = findValue(old->second, value.first);
                if (was == nullptr || *was != value.second) {
                    item.lines.push_back("changed  " + key.path + ": " + valueName(value.first) +
                                         " = " + value.second +
                                         (was == nullptr ? "   added" : "   changed, was " + *was));
                }
            }
            for (const auto& value : old->second.values) {
                if (findValue(key, value.first) == nullptr) {
                    item.lines.push_back("changed  " + key.path + ": " + valueName(value.first) +
                                         "   removed, was " + value.second);
                }
            }
        }
        if (!item.lines.empty()) items.push_back(item);
    }
    for (const auto& [id, key] : before.keys) {
        if (after.keys.count(id) == 0) {
            items.push_back(Item{groups.GroupOf(key.path), "0" + id, {"deleted  " + key.path}});
        }
    }
}

void DiffFiles(const Snapshot& before, const Snapshot& after, const GroupFinder& groups,
               std::vector<Item>& items) {
    const std::string indent = "           ";
    for (const auto& [id, folder] : after.folders) {
        if (before.folders.count(id) == 0) {
            items.push_back(Item{groups.GroupOf(folder), "1" + id, {"created  " + folder + "\\"}});
        }
    }
    for (const auto& [id, folder] : before.folders) {
        if (after.folders.count(id) == 0) {
            items.push_back(Item{groups.GroupOf(folder), "1" + id, {"deleted  " + folder + "\\"}});
        }
    }
    for (const auto& [id, file] : after.files) {
        Item item{groups.GroupOf(file.path), "1" + id, {}};
        const auto old = before.files.find(id);
        // A file the run leaves read-only keeps its screen reader from saving settings there.
        const std::string readOnly = file.readOnly ? ", read-only" : "";
        if (old == before.files.end()) {
            item.lines.push_back("created  " + file.path + " (" + Bytes(file.size) + readOnly +
                                 ")");
            if (file.isIni) {
                for (const std::string& line : IniChanges({}, file.sections)) {
                    item.lines.push_back(indent + line);
                }
            }
        } else if (old->second.hash != file.hash || old->second.size != file.size) {
            if (file.isIni && old->second.isIni) {
                item.lines.push_back("changed  " + file.path +
                                     (file.readOnly ? " (read-only)" : ""));
                std::vector<std::string> lines = IniChanges(old->second.sections, file.sections);
                if (lines.empty()) lines.push_back("(comments or layout only)");
                for (const std::string& line : lines) item.lines.push_back(indent + line);
            } else {
                item.lines.push_back("replaced " + file.path + " (" + Bytes(old->second.size) +
                                     " -> " + Bytes(file.size) + readOnly + ")");
            }
        } else if (old->second.readOnly != file.readOnly) {
            item.lines.push_back((file.readOnly ? "made read-only " : "made writable ") +
                                 file.path);
        }
        if (!item.lines.empty()) items.push_back(item);
    }
    for (const auto& [id, file] : before.files) {
        if (after.files.count(id) == 0) {
            items.push_back(Item{groups.GroupOf(file.path), "1" + id, {"deleted  " + file.path}});
        }
    }
}

}  // namespace

std::vector<IniSection> ParseIni(const std::string& text) {
    std::vector<IniSection> sections;
    IniSection* current = nullptr;
    for (const std::string& written : SplitLines(text)) {
        const std::string line = Trim(written);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            const std::string name =
                Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = nullptr;
            for (IniSection& section : sections) {
                if (Lower(section.name) == Lower(name)) current = &section;
            }
            if (current == nullptr) {
                sections.push_back(IniSection{name, {}});
                current = &sections.back();
            }
            continue;
        }
        if (current == nullptr) continue;
        const size_t equals = line.find('=');
        IniEntry entry;
        entry.key = Trim(line.substr(0, equals));
        entry.value = equals == std::string::npos ? "" : Trim(line.substr(equals + 1));
        if (FindEntry(*current, entry.key) == nullptr) current->entries.push_back(entry);
    }
    return sections;
}

Snapshot TakeSnapshot(const Scenario& scenario) {
    Snapshot snapshot;
    for (const RegistryKey& key : scenario.keys) ReadKey(key.subkey, ViewOf(key), snapshot);
    for (const Folder& folder : scenario.WatchedFolders()) {
        if (machine::FolderExists(folder.path)) ReadFolder(folder.path, snapshot);
    }
    return snapshot;
}

std::vector<GroupChanges> DiffSnapshots(const Scenario& scenario, const Snapshot& before,
                                        const Snapshot& after) {
    const GroupFinder groups(scenario);
    std::vector<Item> items;
    DiffKeys(before, after, groups, items);
    DiffFiles(before, after, groups, items);
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return a.order < b.order; });

    std::vector<GroupChanges> changes;
    for (const std::string& group : scenario.groups) changes.push_back(GroupChanges{group, {}});
    for (const Item& item : items) {
        auto found = std::find_if(changes.begin(), changes.end(),
                                  [&](const GroupChanges& g) { return g.group == item.group; });
        if (found == changes.end()) {
            changes.push_back(GroupChanges{item.group, {}});
            found = changes.end() - 1;
        }
        found->lines.insert(found->lines.end(), item.lines.begin(), item.lines.end());
    }
    return changes;
}

std::string FormatChanges(const std::vector<GroupChanges>& changes) {
    if (changes.empty()) return "  (the scenario watches no place on the machine)\n";
    std::string text;
    for (const GroupChanges& group : changes) {
        text += group.group + "\n";
        if (group.lines.empty()) text += "  no change\n";
        for (const std::string& line : group.lines) text += "  " + line + "\n";
    }
    return text;
}

}  // namespace simpc
