#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace testing_support {

RecordingPromptPlayer::RecordingPromptPlayer() {
    ::InitializeCriticalSection(&lock);
}

RecordingPromptPlayer::~RecordingPromptPlayer() {
    ::DeleteCriticalSection(&lock);
}

void RecordingPromptPlayer::Start(const char* prompt) {
    const std::string name = prompt != nullptr ? prompt : "";
    if (onPlay) onPlay(name);
    std::string text;
    if (statusDialog != nullptr) {
        char buffer[1024] = {};
        ::GetDlgItemTextA(statusDialog, IDC_STATUS, buffer, sizeof(buffer));
        text = buffer;
    }
    ::EnterCriticalSection(&lock);
    entries.push_back(Entry{name, text, ::GetCurrentThreadId()});
    ::LeaveCriticalSection(&lock);
}

void RecordingPromptPlayer::CutOff() {
    ::EnterCriticalSection(&lock);
    ++stops;
    ::LeaveCriticalSection(&lock);
}

std::vector<RecordingPromptPlayer::Entry> RecordingPromptPlayer::Entries() const {
    ::EnterCriticalSection(&lock);
    std::vector<Entry> copy = entries;
    ::LeaveCriticalSection(&lock);
    return copy;
}

std::vector<std::string> RecordingPromptPlayer::Prompts() const {
    std::vector<std::string> names;
    for (const Entry& entry : Entries()) names.push_back(entry.prompt);
    return names;
}

int RecordingPromptPlayer::StopCount() const {
    ::EnterCriticalSection(&lock);
    const int count = stops;
    ::LeaveCriticalSection(&lock);
    return count;
}

OpenDialog::OpenDialog(const std::string& programDir) : dialog(new MainDialog()) {
    dialog->SetPromptPlayer(&prompts);
    if (!dialog->Create()) ADD_FAILURE() << "the main dialog did not open";
    prompts.WatchStatusBox(dialog->GetSafeHwnd());
    if (!programDir.empty()) dialog->ProgramDir = programDir;
}

OpenDialog::~OpenDialog() {
    delete dialog;  // waits for a run still in progress
}

std::string OpenDialog::StatusText() const {
    char buffer[1024] = {};
    ::GetDlgItemTextA(dialog->GetSafeHwnd(), IDC_STATUS, buffer, sizeof(buffer));
    return buffer;
}

bool OpenDialog::StatusVisible() const {
    return (::GetWindowLongA(::GetDlgItem(dialog->GetSafeHwnd(), IDC_STATUS), GWL_STYLE) &
            WS_VISIBLE) != 0;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

TempDir::TempDir() {
    char base[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        path = std::string(base) + "lumitest-" + std::to_string(::GetCurrentProcessId()) + "-" +
               std::to_string(++counter);
        if (::CreateDirectoryA(path.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() {
    RemoveTree(path);
}

std::string TempDir::operator/(const std::string& relative) const {
    return path + "\\" + relative;
}

namespace {

bool DeleteKeyTree(HKEY parent, const std::string& subkey) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return false;
    }
    for (;;) {
        char name[1024];
        DWORD length = sizeof(name);
        if (::RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        if (!DeleteKeyTree(key, name)) break;
    }
    ::RegCloseKey(key);
    return ::RegDeleteKeyA(parent, subkey.c_str()) == ERROR_SUCCESS;
}

}  // namespace

ScopedMachineKey::ScopedMachineKey(const std::string& subkey) : root(subkey) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, root);
}

ScopedMachineKey::~ScopedMachineKey() {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, root);
}

void ScopedMachineKey::CreateSubkey(const std::string& subkey) {
    const std::string full = subkey.empty() ? root : root + "\\" + subkey;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, full.c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << full;
    ::RegCloseKey(key);
}

void ScopedMachineKey::SetString(const std::string& subkey, const char* name,
                                 const std::string& value) {
    const std::string full = subkey.empty() ? root : root + "\\" + subkey;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, full.c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << full;
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
}

ScopedFolder::ScopedFolder(const std::string& path) : path(path) {
    RemoveTree(path);
}

ScopedFolder::~ScopedFolder() {
    RemoveTree(path);
}

void WriteTextFile(const std::string& path, const std::string& content) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << "cannot write " << path;
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string ReadTextFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    ::CloseHandle(file);
    return content;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void MakeFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            ::CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        }
    }
}

void RemoveTree(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name != "." && name != "..") RemoveTree(path + "\\" + name);
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(path.c_str());
}

bool IsReadOnly(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void SetReadOnly(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

std::string TestProgramFolder() {
    char buffer[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path = buffer;
    return path.substr(0, path.find_last_of('\\'));
}

std::string FullPath(const std::string& path) {
    std::string full(MAX_PATH, '\0');
    DWORD length =
        ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = ::GetFullPathNameA(path.c_str(), length, &full[0], nullptr);
    }
    full.resize(length);
    return full;
}

std::string MediumFolder() {
    return FullPath(TestProgramFolder() + "\\..\\medium");
}

}  // namespace testing_support
