#include "tools/machine/Machine.h"

#include <cstring>

#include "framework/Handles.h"

namespace machine {

namespace {

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

}  // namespace

bool FileExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    content.clear();
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr)) return false;
        if (got == 0) return true;
        content.append(buffer, got);
    }
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    static_cast<void>(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return content.empty() || (::WriteFile(file.Get(), content.data(),
                                           static_cast<DWORD>(content.size()), &written, nullptr) &&
                               written == content.size());
}

bool MakeFolders(const std::string& path, std::vector<std::string>* created) {
    size_t next = 3;  // after "C:\"
    for (;;) {
        const size_t slash = path.find('\\', next);
        const std::string prefix = path.substr(0, slash);
        if (!FolderExists(prefix)) {
            if (!::CreateDirectoryA(prefix.c_str(), nullptr)) return false;
            if (created != nullptr) created->push_back(prefix);
        }
        if (slash == std::string::npos || slash + 1 == path.size()) return true;
        next = slash + 1;
    }
}

void RemoveTree(const std::string& path) {
    const DWORD attributes = Attributes(path);
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

bool KeyExists(HKEY root, const std::string& subkey, REGSAM view) {
    UniqueRegKey key;
    return ::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, key.Receive()) ==
           ERROR_SUCCESS;
}

LONG CreateKey(HKEY root, const std::string& subkey, REGSAM view) {
    UniqueRegKey key;
    return ::RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                             key.Receive(), nullptr);
}

void RemoveKey(HKEY root, const std::string& subkey, REGSAM view) {
    {
        UniqueRegKey key;
        if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, key.Receive()) !=
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
            RemoveKey(root, child, view);
            if (KeyExists(root, child, view)) break;  // it cannot go: do not loop on it forever
        }
    }
    // Deleted from its parent opened in the view, so the key of that view is the one to go.
    const size_t slash = subkey.rfind('\\');
    if (slash == std::string::npos) {
        static_cast<void>(::RegDeleteKeyA(root, subkey.c_str()));
        return;
    }
    UniqueRegKey parent;
    if (::RegOpenKeyExA(root, subkey.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | view,
                        parent.Receive()) == ERROR_SUCCESS) {
        static_cast<void>(::RegDeleteKeyA(parent.Get(), subkey.substr(slash + 1).c_str()));
    }
}

LONG WriteString(HKEY root, const std::string& subkey, const std::string& name,
                 const std::string& value, REGSAM view, DWORD type) {
    UniqueRegKey key;
    const LONG status = ::RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0,
                                          KEY_ALL_ACCESS | view, nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return ::RegSetValueExA(key.Get(), name.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

void DeleteValue(HKEY root, const std::string& subkey, const std::string& name, REGSAM view) {
    UniqueRegKey key;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_SET_VALUE | view, key.Receive()) ==
        ERROR_SUCCESS) {
        static_cast<void>(::RegDeleteValueA(key.Get(), name.c_str()));
    }
}

bool ReadString(HKEY root, const std::string& subkey, const std::string& name, std::string& value,
                REGSAM view) {
    UniqueRegKey key;
    DWORD size = 0;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, key.Receive()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS) {
        return false;
    }
    std::string data(size + 1, '\0');
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS) {
        return false;
    }
    value.assign(data.c_str(), strnlen(data.c_str(), size));
    return true;
}

}  // namespace machine
