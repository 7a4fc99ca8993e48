#pragma once

#include <string>

#include "framework/AnsiText.h"

// Splits a path text into drive, directory, name and extension, by byte positions in the
// text as trimmed. Knows nothing of the file system: it looks only at backslashes and dots,
// stepping over double-byte characters as a whole so a trail byte is never taken for either.
class PathSplitter {
public:
    enum Part { Drive = 0, Directory = 1, Name = 2, Extension = 3 };

    // Tells whether a byte begins a double-byte character. The default asks the system's ANSI
    // code page; a test may hand in another code page's rule.
    using LeadByteTest = AnsiText::LeadByteTest;

    explicit PathSplitter(const std::string& path,
                          LeadByteTest isLeadByte = AnsiText::SystemLeadByte);

    void Reset();
    // 1 when the trimmed path is not empty, else 0; replaces the text and every position.
    [[nodiscard]] int Split(const std::string& path);
    // The text of parts firstPart through lastPart, plus suffix when one is given. Indexes out
    // of range are clamped, never rejected. A run whose first part was not found (the
    // directory of a text without a backslash) is empty.
    [[nodiscard]] std::string JoinParts(int lastPart, const char* suffix, int firstPart) const;
    std::string GetDrive() const { return JoinParts(Drive, nullptr, Drive); }
    std::string GetDirectory() const { return JoinParts(Directory, nullptr, Directory); }

    const std::string& Text() const { return text; }
    int PartStart(int part) const { return partStart[part]; }
    int PartLength(int part) const { return partLength[part]; }

private:
    // Byte count of the character at position i: 2 for a lead byte followed by a trail byte.
    int CharSize(int i) const;
    int FindFirst(char c) const;
    int FindLast(char c) const;

    std::string text;
    int partStart[4];
    int partLength[4];
    LeadByteTest isLeadByte;
};
