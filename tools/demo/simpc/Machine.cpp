#include "tools/demo/simpc/Machine.h"

#include <windows.h>

#include <algorithm>

namespace simpc {

const char* const kVersionKey = "Software\\Wine\\AppDefaults\\Setup.exe";

namespace {

std::string LastErrorText() {
    return "error " + std::to_string(::GetLastError());
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CoveredBy(const std::string& path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return IsAtOrBelow(path, folder); });
}

// Creates every missing folder of path; the first one created is noted in record.
bool MakeFolders(const std::string& path, SeedRecord& record, std::string& error) {
    size_t next = 3;  // after "C:\"
    for (;;) {
        const size_t slash = path.find('\\', next);
        const std::string prefix = path.substr(0, slash);
        if (!IsFolder(prefix)) {
            if (!::CreateDirectoryA(prefix.c_str(), nullptr)) {
                error = "cannot create the folder " + prefix + " (" + LastErrorText() + ")";
                return false;
            }
            if (!CoveredBy(prefix, record.createdFolders)) record.createdFolders.push_back(prefix);
        }
        if (slash == std::string::npos) return true;
        next = slash + 1;
    }
}

bool KeyExists(HKEY root, const std::string& subkey) {
    UniqueRegKey key;
    return ::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

bool SeedKey(const RegistryKey& wanted, SeedRecord& record, std::string& error) {
    // The topmost key that is missing is the one to remove later.
    size_t next = 0;
    for (;;) {
        const size_t slash = wanted.subkey.find('\\', next);
        const std::string prefix = wanted.subkey.substr(0, slash);
        if (!KeyExists(HKEY_LOCAL_MACHINE, prefix)) {
            if (!CoveredBy(prefix, record.createdKeys)) record.createdKeys.push_back(prefix);
            break;
        }
        if (slash == std::string::npos) break;
        next = slash + 1;
    }
    UniqueRegKey key;
    LONG status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, wanted.subkey.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) {
        error = "cannot create the key HKLM\\" + wanted.subkey + " (error " +
                std::to_string(status) + ")";
        return false;
    }
    for (const RegistryValue& value : wanted.values) {
        status = ::RegSetValueExA(key.Get(), value.name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.data.c_str()),
                                  static_cast<DWORD>(value.data.size() + 1));
        if (status != ERROR_SUCCESS) {
            error = "cannot set " + value.name + " in HKLM\\" + wanted.subkey + " (error " +
                    std::to_string(status) + ")";
            return false;
        }
    }
    return true;
}

bool WriteFileContent(const std::string& path, const std::string& content, std::string& error) {
    static_cast<void>(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        static_cast<void>(file.Release());
        error = "cannot create the file " + path + " (" + LastErrorText() + ")";
        return false;
    }
    DWORD written = 0;
    if (!content.empty() && (!::WriteFile(file.Get(), content.data(),
                                          static_cast<DWORD>(content.size()), &written, nullptr) ||
                             written != content.size())) {
        error = "cannot write the file " + path + " (" + LastErrorText() + ")";
        return false;
    }
    return true;
}

void RemoveKey(HKEY root, const std::string& subkey) {
    {
        UniqueRegKey key;
        if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS, key.Receive()) !=
            ERROR_SUCCESS) {
            return;
        }
        for (;;) {
            char name[256];
            DWORD length = sizeof(name);
            if (::RegEnumKeyExA(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            const std::string child = subkey + "\\" + std::string(name, length);
            RemoveKey(root, child);
            if (KeyExists(root, child)) break;  // it cannot go: do not loop on it forever
        }
    }
    static_cast<void>(::RegDeleteKeyA(root, subkey.c_str()));
}

bool SeedVersion(const std::string& asked, SeedRecord& record, std::string& error) {
    std::string version;
    if (!BenchWindows(asked, version, error)) return false;
    record.versionKeyCreated = !KeyExists(HKEY_CURRENT_USER, kVersionKey);
    UniqueRegKey key;
    LONG status = ::RegCreateKeyExA(HKEY_CURRENT_USER, kVersionKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) {
        error = "cannot create HKCU\\" + std::string(kVersionKey) + " (error " +
                std::to_string(status) + ")";
        return false;
    }
    record.versionSet = true;  // from here on, Unseed puts the key back as it was
    char previous[256] = {};
    DWORD size = sizeof(previous) - 1;
    if (::RegQueryValueExA(key.Get(), "Version", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS) {
        record.hadVersion = true;
        record.previousVersion = previous;
    }
    status = ::RegSetValueExA(key.Get(), "Version", 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(version.c_str()),
                              static_cast<DWORD>(version.size() + 1));
    if (status != ERROR_SUCCESS) {
        error = "cannot set the Windows version (error " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

void RestoreVersion(const SeedRecord& record) {
    if (!record.versionSet) return;
    if (record.versionKeyCreated) {
        RemoveKey(HKEY_CURRENT_USER, kVersionKey);
        return;
    }
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kVersionKey, 0, KEY_ALL_ACCESS, key.Receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    if (record.hadVersion) {
        static_cast<void>(
            ::RegSetValueExA(key.Get(), "Version", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(record.previousVersion.c_str()),
                             static_cast<DWORD>(record.previousVersion.size() + 1)));
    } else {
        static_cast<void>(::RegDeleteValueA(key.Get(), "Version"));
    }
}

bool CopyTree(const std::string& from, const std::string& to, std::string& error) {
    if (!::CreateDirectoryA(to.c_str(), nullptr) && !IsFolder(to)) {
        error = "cannot create the folder " + to + " (" + LastErrorText() + ")";
        return false;
    }
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA((from + "\\*").c_str(), &entry));
    if (!search) {
        error = "cannot list the folder " + from;
        return false;
    }
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string source = from + "\\" + name;
        const std::string target = to + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!CopyTree(source, target, error)) return false;
        } else if (!::CopyFileA(source.c_str(), target.c_str(), FALSE)) {
            error = "cannot copy " + source + " to " + target + " (" + LastErrorText() + ")";
            return false;
        }
    } while (::FindNextFileA(search.Get(), &entry));
    return true;
}

}  // namespace

void RemoveMachineKey(const std::string& subkey) {
    RemoveKey(HKEY_LOCAL_MACHINE, subkey);
}

void RemoveTree(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    static_cast<void>(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        static_cast<void>(::DeleteFileA(path.c_str()));
        return;
    }
    {
        WIN32_FIND_DATAA entry;
        UniqueFindHandle search(::FindFirstFileA((path + "\\*").c_str(), &entry));
        if (search) {
            do {
                const std::string name = entry.cFileName;
                if (name != "." && name != "..") RemoveTree(path + "\\" + name);
            } while (::FindNextFileA(search.Get(), &entry));
        }
    }
    static_cast<void>(::RemoveDirectoryA(path.c_str()));
}

bool BenchWindows(const std::string& asked, std::string& emulated, std::string& reason) {
    emulated = asked;
    if (sizeof(void*) == 4) return true;  // a 32-bit prefix emulates them all
    for (const char* old : {"win95", "win98", "winme", "win31"}) {
        if (asked == old) {
            reason = "Wine emulates no Windows 9x or Win32s (" + asked +
                     ") for a 64-bit program, so the x86_64 bench cannot run it; the wizard's "
                     "unit tests cover that family";
            return false;
        }
    }
    if (asked == "winxp" || asked == "win2k") emulated = "winxp64";
    return true;
}

bool Seed(const Scenario& scenario, SeedRecord& record, std::string& error) {
    if (!scenario.windows.empty() && !SeedVersion(scenario.windows, record, error)) return false;
    for (const RegistryKey& key : scenario.keys) {
        if (!SeedKey(key, record, error)) return false;
    }
    for (const Folder& folder : scenario.folders) {
        if (!MakeFolders(folder.path, record, error)) return false;
    }
    for (const File& file : scenario.files) {
        if (!MakeFolders(ParentOf(file.path), record, error)) return false;
        const bool existed = Exists(file.path);
        if (!WriteFileContent(file.path, file.content, error)) return false;
        if (!existed && !CoveredBy(file.path, record.createdFolders)) {
            record.createdFiles.push_back(file.path);
        }
        if (file.readOnly && !::SetFileAttributesA(file.path.c_str(), FILE_ATTRIBUTE_READONLY)) {
            error = "cannot make " + file.path + " read-only (" + LastErrorText() + ")";
            return false;
        }
    }
    return true;
}

void Unseed(const SeedRecord& record) {
    for (const std::string& file : record.createdFiles) RemoveTree(file);
    for (auto folder = record.createdFolders.rbegin(); folder != record.createdFolders.rend();
         ++folder) {
        RemoveTree(*folder);
    }
    for (auto key = record.createdKeys.rbegin(); key != record.createdKeys.rend(); ++key) {
        RemoveMachineKey(*key);
    }
    RestoreVersion(record);
}

bool HeldFiles::Hold(const std::vector<std::string>& paths, std::string& error) {
    for (const std::string& path : paths) {
        UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Get() == INVALID_HANDLE_VALUE) {
            static_cast<void>(file.Release());
            error = "cannot hold " + path + " open (" + LastErrorText() + ")";
            return false;
        }
        handles.push_back(std::move(file));
    }
    return true;
}

bool PrepareMedium(const Scenario& scenario, const std::string& medium,
                   const std::string& copyFolder, std::string& root, std::string& error) {
    if (scenario.mediumRemovals.empty()) {
        root = medium;
        return true;
    }
    RemoveTree(copyFolder);
    if (!CopyTree(medium, copyFolder, error)) return false;
    for (const std::string& relative : scenario.mediumRemovals) {
        const std::string path = copyFolder + "\\" + relative;
        static_cast<void>(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
        if (!::DeleteFileA(path.c_str())) {
            error = "the medium has no file " + relative + " to remove";
            return false;
        }
    }
    root = copyFolder;
    return true;
}

}  // namespace simpc
