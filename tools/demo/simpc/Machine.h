#pragma once

#include <string>
#include <vector>

#include "tools/demo/simpc/Scenario.h"
#include "tools/machine/Machine.h"

// Puts a scenario on the machine the program runs on (a Wine prefix), and takes it off again.
namespace simpc {

// The Windows version is set for Setup.exe alone, through Wine's per-program settings, so the
// tools and tests around it keep the version they started with.
extern const char* const kVersionKey;  // under HKEY_CURRENT_USER

// The version Wine is asked to emulate for a scenario's Windows (a name winecfg knows), on the
// kind of Windows this program runs in. A 32-bit prefix emulates every version for a 32-bit
// program, and so does a 64-bit prefix for a 32-bit program under WOW64 (as 64-bit Windows
// offers the old versions as compatibility modes). A 64-bit prefix emulates no Windows 9x,
// Win32s or 32-bit XP for a 64-bit program: it reports 6.1 for them. So on the x86_64 bench
// Windows XP and 2000 are emulated as "winxp64", which reports 5.2, the same NT family before
// version 6, and Windows 9x and Win32s cannot run there. A 64-bit Windows (windows64) needs a
// 64-bit prefix: the x86_64 bench, or a 32-bit program under WOW64. False, with the one-line
// reason, where the scenario cannot run here; every other name is taken as it is.
bool BenchWindows(const std::string& asked, bool windows64, std::string& emulated,
                  std::string& reason);

// The kinds of Windows a program of the project can find itself in.
enum class HostWindows {
    kBench64,    // a 64-bit program (the x86_64 bench) in a 64-bit prefix
    kWindows32,  // a 32-bit program in a 32-bit prefix
    kWindows64,  // a 32-bit program under WOW64 in a 64-bit prefix
};
HostWindows ThisHostWindows();

// The registry view a scenario's key is seeded and read in, as a flag for RegOpenKeyExA: on
// 64-bit Windows a 32-bit program's key is in the 32-bit view and a 64-bit program's ("key64") in
// the 64-bit one; 32-bit Windows has one view and takes no flag.
REGSAM ViewOf(const RegistryKey& key);

// What seeding added that was not there before, so that it can be taken away again with
// everything a run put inside it.
struct SeedRecord {
    struct Key {
        std::string subkey;  // under HKLM
        REGSAM view;
    };
    std::vector<Key> createdKeys;             // the topmost keys created
    std::vector<std::string> createdFolders;  // the topmost folders created
    std::vector<std::string> createdFiles;    // files created in folders that were there
    bool versionSet = false;
    bool versionKeyCreated = false;
    bool hadVersion = false;
    std::string previousVersion;
};

// Creates the scenario's keys, values, folders and files and sets the Windows version. False
// with error at the first step that fails; what was done up to it is in record.
bool Seed(const Scenario& scenario, SeedRecord& record, std::string& error);
// Removes what seeding created (read-only files included) and puts the version back.
void Unseed(const SeedRecord& record);

// The scenario's "hold" files, opened without sharing, as a running screen reader keeps them.
class HeldFiles {
public:
    // False with error when a file cannot be opened (missing, or held by someone else).
    bool Hold(const std::vector<std::string>& paths, std::string& error);
    void Release() { handles.clear(); }
    size_t Count() const { return handles.size(); }

private:
    std::vector<UniqueFile> handles;
};

// The medium a run uses: medium itself, or, when the scenario removes or replaces files of it or
// wants it read-only, a fresh copy at copyFolder with those changes; a read-only one is a bind
// mount of the copy on itself, read-only, with every file read-only, so that not even a file's
// read-only bit can be cleared there, as on a CD. The mount goes when the object does.
class RunMedium {
public:
    RunMedium() = default;
    ~RunMedium();
    RunMedium(const RunMedium&) = delete;
    RunMedium& operator=(const RunMedium&) = delete;

    // False with error when the copy cannot be made, a file to remove is not on the medium, or
    // the copy cannot be made read-only (then CannotRunHere() tells that this host does not
    // allow it, rather than that something went wrong).
    bool Prepare(const Scenario& scenario, const std::string& medium, const std::string& copyFolder,
                 std::string& error);
    const std::string& Root() const { return root; }
    bool CannotRunHere() const { return cannotRunHere; }

private:
    std::string root;
    bool mounted = false;  // root is mounted read-only
    bool cannotRunHere = false;
};

}  // namespace simpc
