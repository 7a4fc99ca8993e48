#pragma once

#include <string>

class MainDialog;

// The small set of operations the three screen-reader patchers are built from. None of them
// tells the user anything except ReportStatus; the patchers decide what to report.

// Shows text in the owner's status box, then plays prompt to its end. Skipped once the
// dialog is closing, so nothing speaks after the user has closed the wizard.
void ReportStatus(MainDialog* owner, const char* text, const char* prompt);

// Copies source over target, first clearing a read-only bit on either. 1 when the copy
// succeeded, else 0; the attribute steps never decide the result.
int CopyClearingReadOnly(const std::string& source, const std::string& target);

// 1 when the path itself names an existing folder (searched unchanged, no wildcard), else 0.
int IsExistingDirectory(const std::string& path);

// Writes the source INI's section into the target INI when the target has no such section or
// an empty one. A present section is never touched. The section is carried whole. True when
// the section is in place afterwards (present already, or written); false when the platform
// refused the write.
bool TransplantSectionIfAbsent(const char* section, const std::string& sourceIni,
                               const std::string& targetIni);

// INI conventions, all through the platform's private-profile functions.
namespace Ini {

// The default every probe reads with, and the test on its first three bytes.
extern const char* const kMissing;
// Reads a key into a 1024-byte buffer with the missing-key default; the platform strips one
// pair of enclosing quotes.
std::string ReadValue(const std::string& file, const char* section, const char* key);
bool IsMissing(const std::string& value);
// A value names the product when it begins with the word, byte for byte.
bool BeginsWithWord(const std::string& value, const char* word);
// The section's lines as the platform returns them (each ended by a zero byte), read whole
// however long it is. Empty when the section is absent or has no lines.
std::string ReadSection(const std::string& file, const char* section);
// Replaces the whole section with lines (as ReadSection returns them); creates file and section
// when missing. False when the platform refused the write.
bool WriteSection(const std::string& file, const char* section, const std::string& lines);
// Writes one key; false when the platform refused the write.
bool WriteValue(const std::string& file, const char* section, const char* key, const char* value);

}  // namespace Ini
