#include "tools/demo/simpc/Machine.h"

#include <windows.h>

#include <algorithm>

#include "tools/machine/Machine.h"

namespace simpc {

const char* const kVersionKey = "Software\\Wine\\AppDefaults\\Setup.exe";

namespace {

std::string LastErrorText() {
    return "error " + std::to_string(::GetLastError());
}

bool CoveredBy(const std::string& path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return IsAtOrBelow(path, folder); });
}

// Creates every missing folder of path; the first one created is noted in record.
bool MakeFolders(const std::string& path, SeedRecord& record, std::string& error) {
    std::vector<std::string> created;
    const bool made = machine::MakeFolders(path, &created);
    if (!made) error = "cannot create the folder " + path + " (" + LastErrorText() + ")";
    if (!created.empty() && !CoveredBy(created[0], record.createdFolders)) {
        record.createdFolders.push_back(created[0]);
    }
    return made;
}

bool SeedKey(const RegistryKey& wanted, SeedRecord& record, std::string& error) {
    const REGSAM view = ViewOf(wanted);
    // The topmost key that is missing is the one to remove later.
    size_t next = 0;
    for (;;) {
        const size_t slash = wanted.subkey.find('\\', next);
        const std::string prefix = wanted.subkey.substr(0, slash);
        if (!machine::KeyExists(HKEY_LOCAL_MACHINE, prefix, view)) {
            const bool covered =
                std::any_of(record.createdKeys.begin(), record.createdKeys.end(),
                            [&](const SeedRecord::Key& key) {
                                return key.view == view && IsAtOrBelow(prefix, key.subkey);
                            });
            if (!covered) record.createdKeys.push_back(SeedRecord::Key{prefix, view});
            break;
        }
        if (slash == std::string::npos) break;
        next = slash + 1;
    }
    LONG status = machine::CreateKey(HKEY_LOCAL_MACHINE, wanted.subkey, view);
    for (auto value = wanted.values.begin();
         status == ERROR_SUCCESS && value != wanted.values.end(); ++value) {
        status = machine::WriteString(HKEY_LOCAL_MACHINE, wanted.subkey, value->name, value->data,
                                      view, value->expand ? REG_EXPAND_SZ : REG_SZ);
    }
    if (status != ERROR_SUCCESS) {
        error = "cannot write the key HKLM\\" + wanted.subkey + " (error " +
                std::to_string(status) + ")";
    }
    return status == ERROR_SUCCESS;
}

bool SeedVersion(const Scenario& scenario, SeedRecord& record, std::string& error) {
    std::string version;
    if (!BenchWindows(scenario.windows, scenario.windows64, version, error)) return false;
    record.versionKeyCreated = !machine::KeyExists(HKEY_CURRENT_USER, kVersionKey);
    record.hadVersion =
        machine::ReadString(HKEY_CURRENT_USER, kVersionKey, "Version", record.previousVersion);
    record.versionSet = true;  // from here on, Unseed puts the key back as it was
    const LONG status = machine::WriteString(HKEY_CURRENT_USER, kVersionKey, "Version", version);
    if (status != ERROR_SUCCESS) {
        error = "cannot set the Windows version (error " + std::to_string(status) + ")";
    }
    return status == ERROR_SUCCESS;
}

void RestoreVersion(const SeedRecord& record) {
    if (!record.versionSet) return;
    if (record.versionKeyCreated) {
        machine::RemoveKey(HKEY_CURRENT_USER, kVersionKey);
    } else if (record.hadVersion) {
        static_cast<void>(machine::WriteString(HKEY_CURRENT_USER, kVersionKey, "Version",
                                               record.previousVersion));
    } else {
        machine::DeleteValue(HKEY_CURRENT_USER, kVersionKey, "Version");
    }
}

bool CopyTree(const std::string& from, const std::string& to, std::string& error) {
    if (!::CreateDirectoryA(to.c_str(), nullptr) && !machine::FolderExists(to)) {
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

HostWindows ThisHostWindows() {
    if (sizeof(void*) == 8) return HostWindows::kBench64;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE process, BOOL * wow64);
    BOOL wow64 = FALSE;
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        kernel != nullptr ? ::GetProcAddress(kernel, "IsWow64Process") : nullptr));
    if (isWow64 != nullptr && !isWow64(::GetCurrentProcess(), &wow64)) wow64 = FALSE;
    return wow64 ? HostWindows::kWindows64 : HostWindows::kWindows32;
}

REGSAM ViewOf(const RegistryKey& key) {
    if (ThisHostWindows() == HostWindows::kWindows32) return 0;
    return key.view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

bool BenchWindows(const std::string& asked, bool windows64, std::string& emulated,
                  std::string& reason) {
    emulated = asked;
    const HostWindows host = ThisHostWindows();
    if (windows64) {
        if (host != HostWindows::kWindows32) return true;
        reason =
            "the scenario is 64-bit Windows and this prefix is 32-bit Windows; it runs in "
            "the 64-bit prefix";
        return false;
    }
    if (host != HostWindows::kBench64) return true;
    for (const char* old : {"win95", "win98", "winme", "win31"}) {
        if (asked == old) {
            reason = "Wine emulates no Windows 9x or Win32s (" + asked +
                     ") for a 64-bit program, so the x86_64 bench cannot run it; the shipped "
                     "32-bit Setup.exe runs it where the host runs 32-bit programs";
            return false;
        }
    }
    if (asked == "winxp" || asked == "win2k") emulated = "winxp64";
    return true;
}

bool Seed(const Scenario& scenario, SeedRecord& record, std::string& error) {
    if (!scenario.windows.empty() && !SeedVersion(scenario, record, error)) return false;
    for (const RegistryKey& key : scenario.keys) {
        if (!SeedKey(key, record, error)) return false;
    }
    for (const Folder& folder : scenario.folders) {
        if (!MakeFolders(folder.path, record, error)) return false;
    }
    for (const File& file : scenario.files) {
        if (!MakeFolders(ParentOf(file.path), record, error)) return false;
        const bool existed = machine::FileExists(file.path);
        if (!machine::WriteWholeFile(file.path, file.content)) {
            error = "cannot write the file " + file.path + " (" + LastErrorText() + ")";
            return false;
        }
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
    for (const std::string& file : record.createdFiles) machine::RemoveTree(file);
    for (auto folder = record.createdFolders.rbegin(); folder != record.createdFolders.rend();
         ++folder) {
        machine::RemoveTree(*folder);
    }
    for (auto key = record.createdKeys.rbegin(); key != record.createdKeys.rend(); ++key) {
        machine::RemoveKey(HKEY_LOCAL_MACHINE, key->subkey, key->view);
    }
    RestoreVersion(record);
}

bool HeldFiles::Hold(const std::vector<std::string>& paths, std::string& error) {
    for (const std::string& path : paths) {
        UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            error = "cannot hold " + path + " open (" + LastErrorText() + ")";
            return false;
        }
        handles.push_back(std::move(file));
    }
    return true;
}

namespace {

bool MakeReadOnly(const std::string& folder, std::string& error) {
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!search) return true;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!MakeReadOnly(path, error)) return false;
        } else if (!::SetFileAttributesA(path.c_str(),
                                         entry.dwFileAttributes | FILE_ATTRIBUTE_READONLY)) {
            error = "cannot make " + path + " read-only (" + LastErrorText() + ")";
            return false;
        }
    } while (::FindNextFileA(search.Get(), &entry));
    return true;
}

}  // namespace

RunMedium::~RunMedium() {
    if (mounted) machine::Unmount(root);
}

bool RunMedium::Prepare(const Scenario& scenario, const std::string& medium,
                        const std::string& copyFolder, std::string& error) {
    cannotRunHere = false;
    if (scenario.mediumRemovals.empty() && scenario.mediumFiles.empty() &&
        !scenario.mediumReadOnly) {
        root = medium;
        return true;
    }
    machine::Unmount(copyFolder);
    machine::RemoveTree(copyFolder);
    if (!CopyTree(medium, copyFolder, error)) return false;
    for (const std::string& relative : scenario.mediumRemovals) {
        const std::string path = copyFolder + "\\" + relative;
        static_cast<void>(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
        if (!::DeleteFileA(path.c_str())) {
            error = "the medium has no file " + relative + " to remove";
            return false;
        }
    }
    for (const File& file : scenario.mediumFiles) {
        const std::string path = copyFolder + "\\" + file.path;
        if (!machine::WriteWholeFile(path, file.content)) {
            error = "cannot write " + path + " (" + LastErrorText() + ")";
            return false;
        }
    }
    if (scenario.mediumReadOnly) {
        if (!MakeReadOnly(copyFolder, error)) return false;
        std::string problem;
        if (!machine::MountReadOnly(copyFolder, problem)) {
            cannotRunHere = true;
            error = "the medium cannot be made read-only, as a CD is: " + problem;
            return false;
        }
        mounted = true;
    }
    root = copyFolder;
    return true;
}

}  // namespace simpc
