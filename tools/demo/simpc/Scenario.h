#pragma once

#include <string>
#include <vector>

// A scenario describes a simulated PC for the demo and the end-to-end tests: the Windows
// version the wizard sees, the screen readers' registry entries, folders and files, and what the
// run does to them. One directive per line; "#" starts a comment line:
//
//   windows winxp            the Windows version Setup.exe sees (win98, winxp, win7, win10, ...);
//   windows win10 64-bit     "64-bit" after it: 64-bit Windows, where the shipped 32-bit Setup.exe
//                            sees the 32-bit registry view and "C:\Program Files (x86)"; such a
//                            scenario runs only in a 64-bit prefix, from a 32-bit program
//   group JAWS               what follows is reported under "JAWS" in the changes
//   key HKLM\Software\...    creates the key under HKEY_LOCAL_MACHINE, as a 32-bit program keeps
//                            it (on 64-bit Windows in the 32-bit registry view); watched with its
//                            subkeys
//   key64 HKLM\Software\...  the same for a 64-bit program: in the 64-bit registry view, so only
//                            in a scenario of 64-bit Windows
//   value Target = C:\...    a string value of the key above ("@" names the default value)
//   expand-value Path = %ProgramFiles%\...
//                            a REG_EXPAND_SZ value of the key above, stored as written: its
//                            variables are left for the program that reads it
//   folder C:\...            creates the folder and its parents; watched with all it holds
//   watch C:\...             watched without being created
//   file C:\...\braille.ini  creates the file (and its folders) with the lines that follow, up
//   ...                      to a line "end", ended by CR LF; its folder is watched
//   end
//   readonly C:\...          marks a file of the scenario read-only
//   hold C:\...              keeps the file open without sharing while the wizard runs, the way
//                            a running screen reader holds its files
//   medium-remove jaws\x     the run uses a copy of the install medium without this file
//   medium-file jaws\x.ini   the run uses a copy of the install medium with this file's
//   ...                      content replaced by the lines that follow, up to a line "end"
//   end
//   medium-readonly          the run uses a copy of the install medium on a read-only file
//                            system with every file read-only, as a CD is (a read-only bind
//                            mount: the host must allow mounts, as root)
//   expect <text>            the status texts of the run, in order (what the tests check)
//   expect-exit <code>       Setup.exe's exit code at the end of the run
//
// Paths and values may name environment variables (%APPDATA%, %ProgramFiles%); they are expanded
// when the file is read. %ProgramFiles% is where 32-bit programs go, whatever the bitness of the
// program that reads the scenario, so a scenario written with it puts a 32-bit program's folders
// where the Windows it runs on keeps them ("C:\Program Files (x86)" on 64-bit Windows).
// The comment lines before the first directive describe the scenario.
namespace simpc {

struct RegistryValue {
    std::string name;  // empty: the key's default value
    std::string data;
    bool expand = false;  // REG_EXPAND_SZ, stored unexpanded ("expand-value")
};

struct RegistryKey {
    std::string subkey;  // under HKEY_LOCAL_MACHINE, no leading or trailing backslash
    std::vector<RegistryValue> values;
    std::string group;
    bool view64 = false;  // a 64-bit program's key ("key64")
};

struct Folder {
    std::string path;
    std::string group;
};

struct File {
    std::string path;
    std::string content;
    bool readOnly = false;
    std::string group;
};

struct Scenario {
    std::string name;                 // the file it came from, for messages
    std::string description;          // the leading comment lines
    std::string windows;              // empty: Wine's own default
    bool windows64 = false;           // 64-bit Windows ("windows <version> 64-bit")
    std::vector<std::string> groups;  // in order of first appearance
    std::vector<RegistryKey> keys;
    std::vector<Folder> folders;  // created
    std::vector<Folder> watched;  // only watched
    std::vector<File> files;
    std::vector<std::string> held;
    std::vector<std::string> mediumRemovals;  // relative to the medium root
    std::vector<File> mediumFiles;            // paths relative to the medium root
    bool mediumReadOnly = false;              // the medium is read-only, as a CD is
    std::vector<std::string> expectedStatus;
    int expectedExit = -1;  // -1: not given

    // Every folder whose contents the snapshots cover, with its group: the created and watched
    // folders and the folders of the files, each once.
    std::vector<Folder> WatchedFolders() const;
};

// Reads a scenario from text; false with error "<name>:<line>: <what is wrong>".
bool ParseScenario(const std::string& text, const std::string& name, Scenario& scenario,
                   std::string& error);
// Reads a scenario file; false with error when it cannot be read or parsed.
bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error);

// The text with its %NAME% variables replaced from the environment, %ProgramFiles% by the folder
// of 32-bit programs; false when a variable is not set.
bool ExpandVariables(const std::string& text, std::string& expanded);

// Helpers shared by the parts of the simulated PC.
std::string Trim(const std::string& text);  // without leading and trailing blanks, tabs and CRs
std::string Lower(const std::string& text);
// True when path is folder itself or lies below it (compared without regard to case).
bool IsAtOrBelow(const std::string& path, const std::string& folder);
// The folder part of a path ("C:\a\b.ini" gives "C:\a").
std::string ParentOf(const std::string& path);

// The lines of a text, each without its line end ("\n" or "\r\n"); a last line end adds no
// empty line.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace simpc
