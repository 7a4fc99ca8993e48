#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Texts that the platform writes into a buffer of the caller's size, read whole however long
// they are, so nothing is ever cut in the middle.

// read(buffer, size) writes at most size bytes and returns the length it wrote; a text that
// did not fit comes back cut, with a length of at least size - spare (GetModuleFileNameA: 0,
// LoadStringA: 1, GetPrivateProfileSectionA: 2), or as the size it needs (GetSystemDirectoryA). The
// buffer grows from firstSize up to largestSize. Empty when the length is 0 (failure, or an empty
// text) or the text does not fit even the largest buffer.
template <typename Read>
[[nodiscard]] std::string ReadWhole(Read read, DWORD firstSize, DWORD largestSize,
                                    DWORD spare = 0) {
    for (DWORD size = firstSize;;) {
        std::vector<char> buffer(size, 0);
        const DWORD length = read(buffer.data(), size);
        if (length == 0) return std::string();
        if (length + spare < size) return std::string(buffer.data(), length);
        if (size >= largestSize) return std::string();
        DWORD next = size * 2 > length + spare + 1 ? size * 2 : length + spare + 1;
        size = next < largestSize ? next : largestSize;
    }
}

// The platform's system folder; empty when it cannot be read.
[[nodiscard]] std::string SystemFolder();
// The user's temporary folder, ending in a backslash; empty when it cannot be read.
[[nodiscard]] std::string TemporaryFolder();
// The process's current folder; empty when it cannot be read.
[[nodiscard]] std::string CurrentFolder();
