#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstdlib>

#include "res/resource.h"
#include "tools/machine/Machine.h"

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
    bool visible = false;
    if (statusDialog != nullptr) {
        char buffer[1024] = {};
        ::GetDlgItemTextA(statusDialog, IDC_STATUS, buffer, sizeof(buffer));
        text = buffer;
        visible =
            (::GetWindowLongA(::GetDlgItem(statusDialog, IDC_STATUS), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    ::EnterCriticalSection(&lock);
    entries.push_back(Entry{name, text, visible, ::GetCurrentThreadId()});
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

OpenDialog::OpenDialog(const std::string& programDir, MainDialog* dialog) : dialog(dialog) {
    dialog->SetPromptPlayer(&prompts);
    if (!dialog->Create()) ADD_FAILURE() << "the main dialog did not open";
    prompts.WatchStatusBox(dialog->GetSafeHwnd());
    if (!programDir.empty()) dialog->ProgramDir = programDir;
}

OpenDialog::~OpenDialog() {
    DestroyDialog();
}

void OpenDialog::DestroyDialog() {
    delete dialog;  // waits for a run still in progress
    dialog = nullptr;
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

ScopedMachineKey::ScopedMachineKey(const std::string& subkey, REGSAM view)
    : root(subkey), view(view) {
    machine::RemoveKey(HKEY_LOCAL_MACHINE, root, view);
}

ScopedMachineKey::~ScopedMachineKey() {
    machine::RemoveKey(HKEY_LOCAL_MACHINE, root, view);
}

void ScopedMachineKey::CreateSubkey(const std::string& subkey) {
    const std::string full = subkey.empty() ? root : root + "\\" + subkey;
    ASSERT_EQ(ERROR_SUCCESS, machine::CreateKey(HKEY_LOCAL_MACHINE, full, view)) << full;
}

void ScopedMachineKey::SetString(const std::string& subkey, const char* name,
                                 const std::string& value, DWORD type) {
    const std::string full = subkey.empty() ? root : root + "\\" + subkey;
    ASSERT_EQ(ERROR_SUCCESS,
              machine::WriteString(HKEY_LOCAL_MACHINE, full, name, value, view, type))
        << full;
}

std::string ProgramFiles32() {
    std::string folder;
    if (machine::ReadEnvironment("ProgramFiles(x86)", folder)) return folder;
    return machine::ReadEnvironment("ProgramFiles", folder) ? folder : "C:\\Program Files";
}

namespace {

// Gives the key a DACL of its own from SDDL text; the key's owner may always do that.
void SetKeyAccess(const std::string& subkey, REGSAM view, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                       &descriptor, nullptr));
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, WRITE_DAC | view, &key);
    if (status == ERROR_SUCCESS) {
        status = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        ::RegCloseKey(key);
    }
    ::LocalFree(descriptor);
    ASSERT_EQ(ERROR_SUCCESS, status) << subkey << ": " << sddl;
}

}  // namespace

ScopedReadOnlyKey::ScopedReadOnlyKey(const std::string& subkey, REGSAM view)
    : subkey(subkey), view(view) {
    SetKeyAccess(subkey, view, "D:P(A;;KR;;;WD)");  // protected: Everyone may read, nothing more
}

ScopedReadOnlyKey::~ScopedReadOnlyKey() {
    SetKeyAccess(subkey, view, "D:P(A;;KA;;;WD)");
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name(name) {
    const char* old = std::getenv(name);
    hadValue = old != nullptr;
    if (hadValue) oldValue = old;
    ::_putenv((this->name + "=" + value).c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
    ::_putenv((name + "=" + (hadValue ? oldValue : std::string())).c_str());
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::string& folder) : previous(MAX_PATH, '\0') {
    previous.resize(::GetCurrentDirectoryA(MAX_PATH, &previous[0]));
    EXPECT_TRUE(::SetCurrentDirectoryA(folder.c_str())) << folder;
}

ScopedCurrentFolder::~ScopedCurrentFolder() {
    ::SetCurrentDirectoryA(previous.c_str());
}

ScopedFolder::ScopedFolder(const std::string& path) : path(path) {
    RemoveTree(path);
}

ScopedFolder::~ScopedFolder() {
    RemoveTree(path);
}

void WriteTextFile(const std::string& path, const std::string& content) {
    ASSERT_TRUE(machine::WriteWholeFile(path, content)) << "cannot write " << path;
}

std::string ReadTextFile(const std::string& path) {
    std::string content;
    return machine::ReadWholeFile(path, content) ? content : std::string();
}

bool FileExists(const std::string& path) {
    return machine::FileExists(path);
}

bool FolderExists(const std::string& path) {
    return machine::FolderExists(path);
}

void MakeFolders(const std::string& path) {
    static_cast<void>(machine::MakeFolders(path));
}

void RemoveTree(const std::string& path) {
    machine::RemoveTree(path);
}

bool IsReadOnly(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void SetReadOnly(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

std::string TestProgramFolder() {
    const std::string path = machine::ModulePath();
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
    // A run may name another medium: the files of the CD image that make medium made.
    std::string given;
    if (machine::ReadEnvironment("LUMI_MEDIUM", given) && !given.empty()) return FullPath(given);
#ifdef LUMI_TEST_MEDIUM
    return FullPath(LUMI_TEST_MEDIUM);
#else
    return FullPath(TestProgramFolder() + "\\..\\medium");
#endif
}

}  // namespace testing_support
