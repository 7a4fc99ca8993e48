#pragma once

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace testing_support {

// Dolphin's folder of the test prefix, where 32-bit programs go ("C:\Program Files (x86)\Dolphin"
// on the bench's 64-bit Windows), removed when made and when destroyed, with helpers to seed the
// Dolphin products the patcher looks for.
class DolphinMachine {
public:
    static const std::string kRoot;

    DolphinMachine() : root(kRoot) { MakeFolders(kRoot); }
    // kRoot + "\" + relative.
    std::string operator/(const std::string& relative) const;
    // Sam, with SAM's own driver folder QVRsam when asked.
    void AddSam(bool withQvrSamFolder = true) const;
    // A reader folder (Hal, or a Supernova folder) with defaults and Settings sub-folders, each
    // holding an old QTL1.bk0 that a patch removes.
    void AddReader(const std::string& name) const;
    // What an uninstall leaves of a reader: its Settings sub-folder alone, old QTL1.bk0 in it.
    void AddLeftover(const std::string& name) const;
    // Names in the root, in the order the platform lists them.
    std::vector<std::string> Listing() const;

private:
    ScopedFolder root;
};

// What the medium's supernova folder holds, each file with its own content.
struct SupernovaMedium {
    static const char* const kDriverFiles[4];  // in the order they are copied
    static const char* const kSectionLines[2];
    // Writes every file into mediumRoot\supernova.
    static void Write(const std::string& mediumRoot);
    // The content of a file written by Write.
    static std::string Content(const std::string& name);
};

// A section's lines as the platform returns them, one string each.
std::vector<std::string> SectionLines(const std::string& iniFile, const char* section);

}  // namespace testing_support
