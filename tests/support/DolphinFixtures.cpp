#include "tests/support/DolphinFixtures.h"

#include <windows.h>

#include "patchers/PatchToolkit.h"

namespace testing_support {

const std::string DolphinMachine::kRoot = ProgramFiles32() + "\\Dolphin";

std::string DolphinMachine::operator/(const std::string& relative) const {
    return kRoot + "\\" + relative;
}

void DolphinMachine::AddSam(bool withQvrSamFolder) const {
    MakeFolders(*this / "Sam");
    if (withQvrSamFolder) MakeFolders(*this / "Sam\\QVRsam");
}

void DolphinMachine::AddReader(const std::string& name) const {
    for (const char* subfolder : {"\\defaults", "\\Settings"}) {
        MakeFolders(*this / (name + subfolder));
        WriteTextFile(*this / (name + subfolder + "\\QTL1.bk0"), "old settings");
    }
}

void DolphinMachine::AddLeftover(const std::string& name) const {
    MakeFolders(*this / (name + "\\Settings"));
    WriteTextFile(*this / (name + "\\Settings\\QTL1.bk0"), "old settings");
}

std::vector<std::string> DolphinMachine::Listing() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((kRoot + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(entry.cFileName);
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return names;
}

const char* const SupernovaMedium::kDriverFiles[4] = {"LumiTac00044.ini", "LumiTac.sdi",
                                                      "LumiTac.txt", "LumiTac.dll"};
const char* const SupernovaMedium::kSectionLines[2] = {"Display=Lumitactile", "Cells=40"};

void SupernovaMedium::Write(const std::string& mediumRoot) {
    const std::string folder = mediumRoot + "\\supernova\\";
    MakeFolders(mediumRoot + "\\supernova");
    for (const char* name : kDriverFiles) WriteTextFile(folder + name, Content(name));
    WriteTextFile(folder + "QVRsam.dll", Content("QVRsam.dll"));
    WriteTextFile(folder + "QTL1.bk1", Content("QTL1.bk1"));
    // The section to carry, between others that must stay behind.
    WriteTextFile(folder + "lmuitactile.ini", std::string("[Before]\r\nA=1\r\n[QTL1]\r\n") +
                                                  kSectionLines[0] + "\r\n" + kSectionLines[1] +
                                                  "\r\n[After]\r\nB=2\r\n");
}

std::string SupernovaMedium::Content(const std::string& name) {
    return "medium " + name;
}

std::vector<std::string> SectionLines(const std::string& iniFile, const char* section) {
    std::vector<std::string> lines;
    const std::string block = Ini::ReadSection(iniFile, section);
    for (size_t start = 0; start < block.size();) {
        const size_t end = block.find('\0', start);
        lines.push_back(block.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace testing_support
