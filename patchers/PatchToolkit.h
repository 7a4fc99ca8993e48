#pragma once

#include <windows.h>

#include <string>

#include "framework/Handles.h"
#include "install/RunOwner.h"

// The small set of operations the three screen-reader patchers are built from. None of them
// tells the user anything except ReportStatus; the patchers decide what to report.

// Shows text in the owner's status box, then plays prompt to its end. Skipped once the
// wizard is closing, so nothing speaks after the user has closed it.
void ReportStatus(RunOwner* owner, const char* text, const char* prompt);
// The same for an outcome that leaves a found screen reader without the display: the run's exit
// code then says that a failure was told.
void ReportFailure(RunOwner* owner, const char* text, const char* prompt);

// Every operation below that touches the machine writes its line, with its result (and the
// system's error on failure), into the installation log of the run in progress.

// Copies source over target, first clearing a read-only bit on either (the source's stays where
// it cannot be cleared, as on a CD), and leaves the copy without the read-only bit, whatever the
// source had: a screen reader must be able to save its settings. Its other bits stay. 1 when the
// copy was placed and made writable, else 0.
[[nodiscard]] int CopyClearingReadOnly(const std::string& source, const std::string& target);

// Deletes a file, first clearing its read-only bit (a settings file copied from a CD by an
// earlier installation has it). False when the file is still there, or the deletion failed; a
// file that is not there is logged as such, and true.
[[nodiscard]] bool DeleteClearingReadOnly(const std::string& path);

// Creates a folder (its parent must exist). True when it is there afterwards, made now or
// before.
[[nodiscard]] bool CreateFolder(const std::string& path);

// 1 when the path itself names an existing folder (searched unchanged, no wildcard), else 0.
[[nodiscard]] int IsExistingDirectory(const std::string& path);
// The same for a folder named the way registry values name them, with or without closing
// backslashes (which the search above finds nothing for).
[[nodiscard]] bool IsExistingFolder(const std::string& path);
// True when the path names an existing file, not a folder.
[[nodiscard]] bool IsExistingFile(const std::string& path);
// Whether two paths name the same folder, as the file system decides: by the folders' identity
// (volume and file index) where the system can open folders (the NT family), else by their full
// paths as the system resolves them (doubled separators and "." parts gone, short 8.3 names made
// long where the system can), without regard to letter case or closing backslashes.
[[nodiscard]] bool IsSameFolder(const std::string& a, const std::string& b);
// A path as the system resolves it, for that comparison: full, with long names where the system
// has them (Windows 98 and 2000 on), without closing backslashes. The path as written when the
// system cannot resolve it.
[[nodiscard]] std::string ResolvedFolderPath(const std::string& path);

// Writes the source INI's section into the target INI when the target has no such section or
// an empty one. A present section is never touched. The section is carried whole; a source
// without it (or with it empty) writes nothing. True when the section is in place afterwards
// (present already, or written); false when the source has no lines for it or the platform
// refused the write.
[[nodiscard]] bool TransplantSectionIfAbsent(const char* section, const std::string& sourceIni,
                                             const std::string& targetIni);

// Registry values, read the way the screen readers' entries are read.
namespace Registry {

// On 64-bit Windows each program keeps its keys in the registry view of its own bitness.
enum class View { k32Bit, k64Bit };

// Opens HKEY_LOCAL_MACHINE\subkey for reading only (Windows NT 4 to XP refuse more to a user
// without administrator rights, and the key would count as absent). On 64-bit Windows in the
// view given, by its flag; on 32-bit Windows with no flag: there is one view, and NT 4 and 2000
// refuse the flags. False when the key cannot be opened: it counts as absent.
[[nodiscard]] bool OpenForReading(const RunOwner& owner, const std::string& subkey, View view,
                                  UniqueRegKey& key);

// Value name of key as text, read into a zero-filled 1024-byte buffer and never past it.
// False when the query fails (the value is missing, or longer than the buffer) or when its
// bytes fill the buffer with no zero: a value with no end that can be trusted counts as
// missing. The value's registry type goes to type when one is given.
[[nodiscard]] bool ReadText(HKEY key, const char* name, std::string& text, DWORD* type = nullptr);

// Finds the value of an environment variable; false when it is not set.
using VariableLookup = bool (*)(const std::string& name, std::string& value);
// The process's own environment.
[[nodiscard]] bool EnvironmentValue(const std::string& name, std::string& value);

// The text of a REG_EXPAND_SZ value with each %NAME% replaced as the program that wrote it into
// that view would expand it. On 64-bit Windows a 32-bit program's %ProgramFiles% is
// "C:\Program Files (x86)" and a 64-bit program's "C:\Program Files", whatever the bitness of the
// program that reads it, so there the program-folder variables are replaced by the ones of the
// value's view (ProgramW6432 / CommonProgramW6432, ProgramFiles(x86) / CommonProgramFiles(x86));
// on 32-bit Windows (windows64 false) nothing is replaced. A "%" without a closing one stays as it
// is. False, with the variable's name in unset, when a variable is not set: the folder would be
// a guess.
[[nodiscard]] bool ExpandVariables(const std::string& text, bool windows64, View view,
                                   VariableLookup lookup, std::string& expanded,
                                   std::string& unset);

// A value that names a folder, read as ReadText reads it and, when stored as REG_EXPAND_SZ,
// expanded by ExpandVariables for the view it was read from. False (logged) when it cannot be
// read or expanded: it counts as unreadable.
[[nodiscard]] bool ReadFolder(const RunOwner& owner, HKEY key, const char* name, View view,
                              std::string& folder, DWORD* type = nullptr);

}  // namespace Registry

// INI conventions, all through the platform's private-profile functions. ReadValue and every
// write below (TransplantSectionIfAbsent's too) first make sure Windows sees the file's first
// section (RevealFirstSection); every write first clears the file's read-only bit (logged), for
// Windows refuses profile writes to a read-only file. ReadSection reads the medium's files too,
// and changes nothing.
namespace Ini {

// A file that begins with a UTF-8 byte-order mark and a section header right after it gets a
// line break after the mark, since Windows' profile functions do not see that header (they would
// write the section a second time); nothing else changes. True when the file needs nothing or
// got it; false (logged) when it needed it and could not be written.
[[nodiscard]] bool RevealFirstSection(const std::string& file);

// The default every probe reads with, and the test on its first three bytes.
extern const char* const kMissing;
// Reads a key into a 1024-byte buffer with the missing-key default; the platform strips one
// pair of enclosing quotes.
[[nodiscard]] std::string ReadValue(const std::string& file, const char* section, const char* key);
[[nodiscard]] bool IsMissing(const std::string& value);
// A value names the product when it begins with the word, byte for byte.
[[nodiscard]] bool BeginsWithWord(const std::string& value, const char* word);
// The section's lines as the platform returns them (each ended by a zero byte), read whole
// however long it is. Empty when the section is absent or has no lines.
[[nodiscard]] std::string ReadSection(const std::string& file, const char* section);
// Replaces the whole section with lines (as ReadSection returns them); creates file and section
// when missing. False when the platform refused the write.
[[nodiscard]] bool WriteSection(const std::string& file, const char* section,
                                const std::string& lines);
// Writes one key; false when the platform refused the write.
[[nodiscard]] bool WriteValue(const std::string& file, const char* section, const char* key,
                              const char* value);
// The check that a write took: true when the file's section holds exactly lines (as ReadSection
// returns them), or, with lines empty, any line at all.
[[nodiscard]] bool SectionReadsBack(const std::string& file, const char* section,
                                    const std::string& lines = std::string());
// The number of lines of a section as ReadSection returns it.
[[nodiscard]] size_t LineCount(const std::string& lines);
// Windows 95/98/ME keep the last file's writes in a cache and change the file later; this puts
// them into the file, and is called after each file's writes, before an outcome is told.
// Elsewhere the writes are in the file already and nothing is done. It cannot fail a step.
void FlushWrites(const RunOwner& owner);

}  // namespace Ini
