#pragma once

#include <string>

// Texts in the system's ANSI code page, looked at by character rather than by byte: in a
// double-byte code page a trail byte can equal a backslash or a letter (under code page 932, 52
// lead bytes make a character whose trail byte is 0x5C), and taking it alone would cut a
// character in two. The string class of the framework the wizard was designed on searches
// this way too.
namespace AnsiText {

// Tells whether a byte begins a double-byte character.
using LeadByteTest = bool (*)(unsigned char byte);
// The system's ANSI code page.
[[nodiscard]] bool SystemLeadByte(unsigned char byte);

// Byte count of the character at i: 2 for a lead byte followed by a trail byte, else 1.
[[nodiscard]] size_t CharSize(const std::string& text, size_t i,
                              LeadByteTest isLeadByte = SystemLeadByte);

// Whether the last character (not merely the last byte) is a backslash.
[[nodiscard]] bool EndsInBackslash(const std::string& text,
                                   LeadByteTest isLeadByte = SystemLeadByte);

// Whether needle (plain ASCII) occurs in text starting at a character's first byte, so never
// inside a double-byte character.
[[nodiscard]] bool Contains(const std::string& text, const std::string& needle,
                            LeadByteTest isLeadByte = SystemLeadByte);

// Whether the two texts are equal without regard to letter case: character by character, a
// double-byte character equal to the byte, a single-byte one as the system's code page folds it.
[[nodiscard]] bool EqualIgnoringCase(const std::string& a, const std::string& b,
                                     LeadByteTest isLeadByte = SystemLeadByte);

// The text without the backslashes that close it, taken by character; a drive root ("C:\")
// keeps its own.
[[nodiscard]] std::string WithoutClosingBackslashes(const std::string& path,
                                                    LeadByteTest isLeadByte = SystemLeadByte);

}  // namespace AnsiText
