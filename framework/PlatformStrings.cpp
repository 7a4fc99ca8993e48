#include "framework/PlatformStrings.h"

namespace {
// The longest path, and the longest environment value, the platform has.
constexpr DWORD kLongest = 32768;
}  // namespace

std::string SystemFolder() {
    return ReadWhole([](char* buffer, DWORD size) { return ::GetSystemDirectoryA(buffer, size); },
                     MAX_PATH, kLongest);
}

std::string EnvironmentValue(const char* name) {
    return ReadWhole(
        [name](char* buffer, DWORD size) { return ::GetEnvironmentVariableA(name, buffer, size); },
        MAX_PATH, kLongest);
}
