#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "install/PromptPlayer.h"

namespace testing_support {

// Records every prompt instead of playing it, with the status text shown when it started, so
// tests can check both the order of prompts and that each text came before its prompt.
class RecordingPromptPlayer : public PromptPlayer {
public:
    struct Entry {
        std::string prompt;
        std::string statusText;  // StatusBox's text when the prompt started; empty if unknown
        bool statusVisible;      // whether StatusBox was visible then, so its text could be read
        DWORD threadId;
    };

    RecordingPromptPlayer();
    ~RecordingPromptPlayer() override;
    // The status box to read when a prompt starts (optional).
    void WatchStatusBox(HWND dialog) { statusDialog = dialog; }

    void Start(const char* prompt) override;
    void CutOff() override;

    std::vector<Entry> Entries() const;
    std::vector<std::string> Prompts() const;
    int StopCount() const;  // cut-offs: at least one for each Stop
    // Called on the playing thread before the prompt is recorded (tests use it to act mid-run).
    std::function<void(const std::string&)> onPlay;

private:
    mutable CRITICAL_SECTION lock;
    std::vector<Entry> entries;
    int stops = 0;
    HWND statusDialog = nullptr;
};

// A MainDialog opened modelessly with a recording prompt player, its ProgramDir pointed at a
// medium folder of the test's choice. The dialog may be one of a class derived for the test.
class OpenDialog {
public:
    explicit OpenDialog(const std::string& programDir = std::string(),
                        MainDialog* dialog = new MainDialog());
    ~OpenDialog();
    // Destroys the dialog now; the recording player stays.
    void DestroyDialog();
    MainDialog& operator*() { return *dialog; }
    MainDialog* operator->() { return dialog; }
    MainDialog* get() { return dialog; }
    RecordingPromptPlayer prompts;
    std::string StatusText() const;
    bool StatusVisible() const;

private:
    MainDialog* dialog;
};

// Handles this thread's messages until done() holds or timeoutMs passes; true when done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// A fresh folder under the prefix's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path; }
    // Path + "\" + relative.
    std::string operator/(const std::string& relative) const;

private:
    std::string path;
};

// The registry views of 64-bit Windows, where the bench runs: 32-bit programs (Window-Eyes,
// Dolphin, older JAWS) keep their keys in the one, 64-bit programs (today's JAWS) in the other.
// 0 is the test program's own view.
constexpr REGSAM kView32Bit = KEY_WOW64_32KEY;
constexpr REGSAM kView64Bit = KEY_WOW64_64KEY;

// Removes a registry key under HKEY_LOCAL_MACHINE, in a registry view, with all its subkeys when
// created and again when destroyed, so no test depends on another's leftovers.
class ScopedMachineKey {
public:
    explicit ScopedMachineKey(const std::string& subkey, REGSAM view = 0);
    ~ScopedMachineKey();
    // Creates subkey (relative to this key; empty for the key itself) and sets a string value
    // (REG_SZ, or REG_EXPAND_SZ stored as written).
    void SetString(const std::string& subkey, const char* name, const std::string& value,
                   DWORD type = REG_SZ);
    void CreateSubkey(const std::string& subkey);
    REGSAM View() const { return view; }

private:
    std::string root;
    REGSAM view;
};

// Lets everyone only read a key under HKEY_LOCAL_MACHINE, as Windows NT 4 to XP let a user
// without administrator rights read the screen readers' keys; full access comes back when
// destroyed (before the key's ScopedMachineKey removes it).
class ScopedReadOnlyKey {
public:
    explicit ScopedReadOnlyKey(const std::string& subkey, REGSAM view = 0);
    ~ScopedReadOnlyKey();
    ScopedReadOnlyKey(const ScopedReadOnlyKey&) = delete;
    ScopedReadOnlyKey& operator=(const ScopedReadOnlyKey&) = delete;

private:
    std::string subkey;
    REGSAM view;
};

// The folder where Windows puts 32-bit programs: "C:\Program Files (x86)" on 64-bit Windows.
std::string ProgramFiles32();

// Removes a folder tree now and when destroyed (for fixed locations like C:\Program Files\...).
class ScopedFolder {
public:
    explicit ScopedFolder(const std::string& path);
    ~ScopedFolder();
    const std::string& Path() const { return path; }

private:
    std::string path;
};

// Sets an environment variable of this process for the life of the object, then puts its old
// value back. Both the C runtime's copy (which getenv reads) and the platform's (which started
// programs inherit) change; an empty value unsets it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name;
    std::string oldValue;
    bool hadValue = false;
};

// Makes a folder the current one, and puts the previous one back after.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder);
    ~ScopedCurrentFolder();
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    std::string previous;
};

// Files.
void WriteTextFile(const std::string& path, const std::string& content);
std::string ReadTextFile(const std::string& path);  // empty when missing
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
void MakeFolders(const std::string& path);  // creates every missing folder of the path
void RemoveTree(const std::string& path);
bool IsReadOnly(const std::string& path);
void SetReadOnly(const std::string& path);

// The folder of the running test program, ending without a backslash.
std::string TestProgramFolder();
// The path made absolute, with no "." or ".." left in it.
std::string FullPath(const std::string& path);
// The assembled install medium the tests drive, as a full path: the one beside the tests folder
// (build/x86_64/medium), or in the i686 bench the shipped one (build/i686/medium); the one that
// LUMI_MEDIUM names where it is set.
std::string MediumFolder();

}  // namespace testing_support
