#pragma once

#include <string>
#include <vector>

class MainDialog;

// Teaches every JAWS version listed in the registry to drive the display: its braille driver,
// its braille.ini and jfw.ini entries, and the key maps of every settings folder.
class JawsPatcher {
public:
    JawsPatcher() = default;
    virtual ~JawsPatcher() = default;

    // 1 when JAWS was found and at least one listed version could be read (after exactly one
    // report); 0 with no report when JAWS is absent or no listed version can be read.
    int Install(MainDialog* owner);

    // The steps of Install, public so each can be tested on its own.
    int CollectVersions(std::vector<std::string>& versions);
    int CopyDisplayDriver(const std::string& targetFolder);
    // The display's list item and section in braille.ini, and its four keys in jfw.ini. False
    // when a write they needed was refused (the file held by a running JAWS, say): without
    // them JAWS cannot use the display. An entry already there needs no write.
    bool RegisterInBrailleIni(const std::string& targetFolder);
    bool RegisterInJfwIni(const std::string& targetFolder);
    void InstallKeyMaps(const std::string& targetFolder, const std::string& version);

    MainDialog* owner = nullptr;
};
