#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// What a Windows executable's headers say, read from its bytes: 32-bit (PE32) and 64-bit (PE32+)
// images alike, with every offset checked against the file, so a damaged file reads as invalid
// rather than taking the test down.
struct PeFile {
    bool valid = false;
    std::string problem;      // why it is not valid
    WORD machine = 0;         // IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64, ...
    ULONGLONG imageBase = 0;  // where the image asks to be loaded
    DWORD imageSize = 0;      // SizeOfImage: the room it takes there
    // Imported functions by DLL (names lower-cased); an import by ordinal reads as "#<n>".
    std::map<std::string, std::vector<std::string>> imports;
};

PeFile ReadPeFile(const std::string& image);

}  // namespace testing_support
