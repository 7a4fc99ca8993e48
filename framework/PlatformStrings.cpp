#include "framework/PlatformStrings.h"

namespace {
// The longest path the platform has.
constexpr DWORD kLongest = 32768;
}  // namespace

std::string SystemFolder() {
    return ReadWhole([](char* buffer, DWORD size) { return ::GetSystemDirectoryA(buffer, size); },
                     MAX_PATH, kLongest);
}

std::string TemporaryFolder() {
    return ReadWhole([](char* buffer, DWORD size) { return ::GetTempPathA(size, buffer); },
                     MAX_PATH, kLongest);
}

std::string CurrentFolder() {
    return ReadWhole([](char* buffer, DWORD size) { return ::GetCurrentDirectoryA(size, buffer); },
                     MAX_PATH, kLongest);
}
