#include "patchers/PatchToolkit.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/PlatformStrings.h"
#include "install/InstallLog.h"

namespace {

// Clears only the read-only bit, keeping the others. True when the file exists without the bit
// afterwards; a file that does not exist, or whose attributes cannot be changed (read-only
// media), is left as it is.
bool ClearReadOnly(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    return ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE;
}

// Probe buffers of the platform's private-profile calls, and of registry values.
constexpr DWORD kValueSize = 1024;
constexpr DWORD kProbeSize = 1024;
constexpr DWORD kFirstSectionSize = 4096;
// No real INI section comes near this; it only keeps a broken file from growing us forever.
constexpr DWORD kLargestSection = 64u * 1024u * 1024u;

using Log = InstallLog;

// The line of a step that failed: what was tried, and the system's reason.
std::string Failed(const std::string& what, DWORD error) {
    return what + " failed: " + Log::ErrorText(error);
}

// Windows refuses profile writes to a read-only file (and telling the user to close the screen
// reader and retry would not help): the bit goes first, as for copies. A missing file is fine,
// the write creates it. False, logged, when the bit stays.
bool MakeWritable(const std::string& file) {
    const DWORD attributes = ::GetFileAttributesA(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return true;
    }
    if (!ClearReadOnly(file)) {
        Log::Write(Failed("clearing the read-only bit of " + Log::Quoted(file), ::GetLastError()));
        return false;
    }
    Log::Write("cleared the read-only bit of " + Log::Quoted(file));
    return true;
}

const char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr size_t kMarkSize = 3;
// A settings file larger than this is left as it is (the profile functions of Windows 95/98/ME
// read no more than 64 KB of one anyway).
constexpr DWORD kLargestRevealed = 16u * 1024u * 1024u;

// Whether the text after a UTF-8 mark starts with a section header: the platform skips blanks
// before the bracket.
bool HeaderFollowsMark(const std::string& bytes) {
    if (bytes.compare(0, kMarkSize, kUtf8Mark) != 0) return false;
    size_t at = kMarkSize;
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t')) ++at;
    return at < bytes.size() && bytes[at] == '[';
}


}  // namespace

void ReportStatus(RunOwner* owner, const char* text, const char* prompt) {
    owner->Tell(text, prompt);
}

void ReportFailure(RunOwner* owner, const char* text, const char* prompt) {
    owner->TellFailure(text, prompt);
}

int CopyClearingReadOnly(const std::string& source, const std::string& target) {
    // The source's bit cannot be cleared on a CD, and the target's is tried again below: neither
    // result decides anything here.
    static_cast<void>(ClearReadOnly(source));
    static_cast<void>(ClearReadOnly(target));
    const std::string copy = "copy of " + Log::Quoted(source) + " to " + Log::Quoted(target);
    if (!::CopyFileA(source.c_str(), target.c_str(), FALSE)) {
        Log::Write(Failed(copy, ::GetLastError()));
        return 0;
    }
    // The copy takes the source's attributes, so a read-only source leaves a read-only copy.
    if (!ClearReadOnly(target)) {
        Log::Write(Failed(copy + ": the copy is read-only, and clearing that", ::GetLastError()));
        return 0;
    }
    Log::Write("copied " + Log::Quoted(source) + " to " + Log::Quoted(target));
    return 1;
}

bool DeleteClearingReadOnly(const std::string& path) {
    // A file whose bit cannot be cleared fails the deletion below.
    static_cast<void>(ClearReadOnly(path));
    if (!::DeleteFileA(path.c_str())) {
        const DWORD error = ::GetLastError();
        // Nothing to delete is no failure: the file is gone, as asked.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            Log::Write("file " + Log::Quoted(path) + " is not there: nothing to delete");
            return true;
        }
        Log::Write(Failed("deletion of " + Log::Quoted(path), error));
        return false;
    }
    Log::Write("deleted " + Log::Quoted(path));
    return true;
}

bool CreateFolder(const std::string& path) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) {
        Log::Write("created folder " + Log::Quoted(path));
        return true;
    }
    const DWORD error = ::GetLastError();
    if (IsExistingDirectory(path) != 0) return true;
    Log::Write(Failed("creation of folder " + Log::Quoted(path), error));
    return false;
}

int IsExistingDirectory(const std::string& path) {
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA(path.c_str(), &entry));
    const bool folder = search && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    Log::Write("folder " + Log::Quoted(path) +
               (folder   ? " is there"
                : search ? " is a file"
                         : " is not there"));
    return folder ? 1 : 0;
}

bool IsExistingFolder(const std::string& path) {
    return IsExistingDirectory(AnsiText::WithoutClosingBackslashes(path)) != 0;
}

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    const bool file =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    Log::Write("file " + Log::Quoted(path) + (file ? " is there" : " is not there"));
    return file;
}

namespace {

// What the system knows a folder by, whatever path names it.
struct FolderIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// Windows 95, 98 and ME cannot open a folder: false there, and wherever the folder is missing or
// may not be opened.
bool IdentityOf(const std::string& path, FolderIdentity& identity) {
    // Asking for no access lets even a user without rights to the folder's contents ask this.
    // A closing backslash is no part of the folder's name.
    const std::string name = AnsiText::WithoutClosingBackslashes(path);
    UniqueFile folder(::CreateFileA(name.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return false;
    BY_HANDLE_FILE_INFORMATION information;
    if (!::GetFileInformationByHandle(folder.Get(), &information)) return false;
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    return true;
}

// The longest path the platform can name, with its terminator.
constexpr DWORD kLongestPath = 32768;

}  // namespace

std::string ResolvedFolderPath(const std::string& path) {
    // Both calls answer the size they need when the buffer is too small.
    std::string resolved = ReadWhole(
        [&](char* buffer, DWORD size) {
            return ::GetFullPathNameA(path.c_str(), size, buffer, nullptr);
        },
        MAX_PATH, kLongestPath);
    if (resolved.empty()) resolved = path;
    // Windows 95 and NT 4 have no long-name call: their 8.3 names stay as written.
    using LongPathCall = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto longPath = kernel == nullptr
                              ? nullptr
                              : reinterpret_cast<LongPathCall>(reinterpret_cast<void*>(
                                    ::GetProcAddress(kernel, "GetLongPathNameA")));
    if (longPath != nullptr) {
        const std::string full = resolved;
        const std::string longName = ReadWhole(
            [&](char* buffer, DWORD size) { return longPath(full.c_str(), buffer, size); },
            MAX_PATH, kLongestPath);
        if (!longName.empty()) resolved = longName;
    }
    return AnsiText::WithoutClosingBackslashes(resolved);
}

bool IsSameFolder(const std::string& a, const std::string& b) {
    FolderIdentity first;
    FolderIdentity second;
    if (IdentityOf(a, first) && IdentityOf(b, second)) {
        return first.volume == second.volume && first.indexHigh == second.indexHigh &&
               first.indexLow == second.indexLow;
    }
    return AnsiText::EqualIgnoringCase(ResolvedFolderPath(a), ResolvedFolderPath(b));
}

bool TransplantSectionIfAbsent(const char* section, const std::string& sourceIni,
                               const std::string& targetIni) {
    const std::string named = "section [" + std::string(section) + "]";
    // A section Windows would not see would be written a second time.
    if (!Ini::RevealFirstSection(targetIni)) return false;
    std::vector<char> probe(kProbeSize, 0);
    if (::GetPrivateProfileSectionA(section, probe.data(), kProbeSize, targetIni.c_str()) != 0) {
        Log::Write(named + " is in " + Log::Quoted(targetIni) + " already: left as it is");
        return true;
    }
    // An empty section would only put a header without lines into the reader's file.
    const std::string lines = Ini::ReadSection(sourceIni, section);
    if (lines.empty()) {
        Log::Write(named + " has no lines in " + Log::Quoted(sourceIni) + ": nothing written to " +
                   Log::Quoted(targetIni));
        return false;
    }
    return Ini::WriteSection(targetIni, section, lines);
}

namespace Registry {

bool OpenForReading(const RunOwner& owner, const std::string& subkey, View view,
                    UniqueRegKey& key) {
    REGSAM access = KEY_READ;
    if (owner.Is64BitWindows()) access |= view == View::k64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const LONG status =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, access, key.Receive());
    const std::string where = "key HKLM\\" + subkey +
                              (!owner.Is64BitWindows() ? ""
                               : view == View::k64Bit  ? " (64-bit view)"
                                                       : " (32-bit view)");
    Log::Write(status == ERROR_SUCCESS
                   ? where + " opened"
                   : where + " not opened: " + Log::ErrorText(static_cast<DWORD>(status)));
    return status == ERROR_SUCCESS;
}

bool ReadText(HKEY key, const char* name, std::string& text, DWORD* type) {
    text.clear();
    std::vector<char> buffer(kValueSize, 0);
    DWORD size = kValueSize;
    const std::string value = "value " + Log::Quoted(name);
    const LONG status =
        ::RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS) {
        Log::Write(value + " not read: " + Log::ErrorText(static_cast<DWORD>(status)));
        return false;
    }
    const void* end = std::memchr(buffer.data(), '\0', buffer.size());
    if (end == nullptr) {
        Log::Write(value + " not read: it fills its 1024 bytes with no end");
        return false;
    }
    text.assign(buffer.data(), static_cast<size_t>(static_cast<const char*>(end) - buffer.data()));
    Log::Write(value + " = " + Log::Quoted(text));
    return true;
}

namespace {

// ASCII letters only: variable names are plain ASCII.
bool SameName(const std::string& a, const char* b) {
    const size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The name a variable of the value's view goes by for any program on 64-bit Windows.
std::string NameForView(const std::string& name, View view) {
    const bool view64 = view == View::k64Bit;
    if (SameName(name, "ProgramFiles")) return view64 ? "ProgramW6432" : "ProgramFiles(x86)";
    if (SameName(name, "CommonProgramFiles")) {
        return view64 ? "CommonProgramW6432" : "CommonProgramFiles(x86)";
    }
    return name;
}

}  // namespace

bool EnvironmentValue(const std::string& name, std::string& value) {
    // An environment block holds at most 32,767 characters.
    value =
        ReadWhole([&](char* buffer,
                      DWORD size) { return ::GetEnvironmentVariableA(name.c_str(), buffer, size); },
                  MAX_PATH, kLongestPath);
    // An empty variable names no folder either.
    return !value.empty();
}

bool ExpandVariables(const std::string& text, bool windows64, View view, VariableLookup lookup,
                     std::string& expanded, std::string& unset) {
    expanded.clear();
    unset.clear();
    size_t at = 0;
    while (at < text.size()) {
        // By character: a double-byte character's trail byte may equal '%'.
        const size_t size = AnsiText::CharSize(text, at);
        if (size != 1 || text[at] != '%') {
            expanded.append(text, at, size);
            at += size;
            continue;
        }
        size_t end = at + 1;
        while (end < text.size() && text[end] != '%') end += AnsiText::CharSize(text, end);
        if (end >= text.size()) {
            expanded.append(text, at, std::string::npos);
            break;
        }
        const std::string name = text.substr(at + 1, end - at - 1);
        std::string value;
        if (name.empty()) {
            // "%%" names no variable: the first stays, the second may open one, as the
            // system's own expansion reads it.
            expanded.push_back('%');
            at = end;
            continue;
        }
        const std::string asked = windows64 ? NameForView(name, view) : name;
        if (!lookup(asked, value)) {
            unset = asked;
            expanded.clear();
            return false;
        }
        expanded += value;
        at = end + 1;
    }
    return true;
}

bool ReadFolder(const RunOwner& owner, HKEY key, const char* name, View view, std::string& folder,
                DWORD* type) {
    DWORD stored = REG_NONE;
    if (!ReadText(key, name, folder, &stored)) return false;
    if (type != nullptr) *type = stored;
    if (stored != REG_EXPAND_SZ) return true;
    std::string expanded;
    std::string unset;
    const std::string value = "value " + Log::Quoted(name);
    if (!ExpandVariables(folder, owner.Is64BitWindows(), view, EnvironmentValue, expanded, unset)) {
        Log::Write(value + " not expanded: the variable " + unset +
                   " is not set, so the folder is unknown");
        folder.clear();
        return false;
    }
    folder = expanded;
    Log::Write(value + " expanded to " + Log::Quoted(folder));
    return true;
}

}  // namespace Registry

namespace Ini {

const char* const kMissing = "???";

// Windows' profile functions take a file that begins with a UTF-8 mark for ANSI text, so the
// mark's bytes begin the first line: a section header there is not seen, its keys read as
// missing, and a write into it appends the section a second time (Wine's functions see it, and
// hide this). A line break after the mark gives the header a line of its own for every reader;
// the mark and every other byte stay, so the file keeps its encoding for the screen reader. The
// file is rewritten in place (it keeps its permissions), grown first, so a full disk cannot
// leave it half written. True when the profile functions see every section afterwards; false,
// logged, when the file needed the line break and did not get it.
bool RevealFirstSection(const std::string& file) {
    UniqueFile opened(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened) return true;  // missing, or held: the profile call itself decides
    char first[64];
    DWORD got = 0;
    if (!::ReadFile(opened.Get(), first, sizeof(first), &got, nullptr) ||
        !HeaderFollowsMark(std::string(first, got))) {
        return true;
    }
    const std::string what =
        "a line break after the UTF-8 mark of " + Log::Quoted(file) + ", so Windows sees its first section";
    const DWORD size = ::GetFileSize(opened.Get(), nullptr);
    opened.Reset();
    if (size == INVALID_FILE_SIZE || size > kLargestRevealed) {
        Log::Write("writing " + what + " failed: the file is too large");
        return false;
    }
    if (!MakeWritable(file)) return false;
    opened.Reset(::CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened) {
        Log::Write(Failed("writing " + what, ::GetLastError()));
        return false;
    }
    std::string bytes(size, '\0');
    DWORD read = 0;
    if (size > 0 && (!::ReadFile(opened.Get(), &bytes[0], size, &read, nullptr) || read != size)) {
        Log::Write(Failed("writing " + what + ": reading it", ::GetLastError()));
        return false;
    }
    std::string revealed = bytes;
    revealed.insert(kMarkSize, "\r\n");
    const DWORD newSize = static_cast<DWORD>(revealed.size());
    DWORD written = 0;
    // Grown to its new size first: only then is a byte of it changed.
    const bool grown = ::SetFilePointer(opened.Get(), static_cast<LONG>(newSize), nullptr,
                                        FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                       ::SetEndOfFile(opened.Get());
    const bool done = grown &&
                      ::SetFilePointer(opened.Get(), 0, nullptr, FILE_BEGIN) == 0 &&
                      ::WriteFile(opened.Get(), revealed.data(), newSize, &written, nullptr) &&
                      written == newSize && ::FlushFileBuffers(opened.Get());
    if (!done) {
        const DWORD error = ::GetLastError();
        // Back as it was, byte for byte.
        static_cast<void>(::SetFilePointer(opened.Get(), 0, nullptr, FILE_BEGIN));
        static_cast<void>(::WriteFile(opened.Get(), bytes.data(), size, &written, nullptr));
        static_cast<void>(::SetEndOfFile(opened.Get()));
        Log::Write(Failed("writing " + what, error));
        return false;
    }
    Log::Write("wrote " + what);
    return true;
}

std::string ReadValue(const std::string& file, const char* section, const char* key) {
    // Where the line break cannot be written, the write after the read refuses.
    static_cast<void>(RevealFirstSection(file));
    std::vector<char> value(kValueSize, 0);
    const DWORD length =
        ::GetPrivateProfileStringA(section, key, kMissing, value.data(), kValueSize, file.c_str());
    return std::string(value.data(), length < kValueSize ? length : kValueSize - 1);
}

bool IsMissing(const std::string& value) {
    return value.compare(0, 3, kMissing) == 0;
}

bool BeginsWithWord(const std::string& value, const char* word) {
    const size_t length = std::strlen(word);
    return value.size() >= length && value.compare(0, length, word) == 0;
}

std::string ReadSection(const std::string& file, const char* section) {
    // The platform returns size - 2 when the section did not fit: grow until it does, so a
    // section is never carried cut in the middle of a line.
    return ReadWhole(
        [&](char* buffer, DWORD size) {
            return ::GetPrivateProfileSectionA(section, buffer, size, file.c_str());
        },
        kFirstSectionSize, kLargestSection, 2);
}

bool WriteSection(const std::string& file, const char* section, const std::string& lines) {
    // The platform wants the lines ended by a second zero byte.
    std::string block = lines;
    if (block.empty() || block.back() != '\0') block.push_back('\0');
    block.push_back('\0');
    const std::string what = "section [" + std::string(section) + "] (" +
                             std::to_string(LineCount(lines)) + " lines) into " + Log::Quoted(file);
    if (!MakeWritable(file) || !RevealFirstSection(file)) return false;
    if (!::WritePrivateProfileSectionA(section, block.data(), file.c_str())) {
        Log::Write(Failed("writing " + what, ::GetLastError()));
        return false;
    }
    Log::Write("wrote " + what);
    return true;
}

bool WriteValue(const std::string& file, const char* section, const char* key, const char* value) {
    const std::string what =
        "[" + std::string(section) + "] " + key + "=" + value + " into " + Log::Quoted(file);
    if (!MakeWritable(file) || !RevealFirstSection(file)) return false;
    if (!::WritePrivateProfileStringA(section, key, value, file.c_str())) {
        Log::Write(Failed("writing " + what, ::GetLastError()));
        return false;
    }
    Log::Write("wrote " + what);
    return true;
}

bool SectionReadsBack(const std::string& file, const char* section, const std::string& lines) {
    const std::string found = ReadSection(file, section);
    const bool holds = lines.empty() ? !found.empty() : found == lines;
    const std::string check =
        "checked section [" + std::string(section) + "] in " + Log::Quoted(file) + ": ";
    Log::Write(check + (holds ? "it holds its " + std::to_string(LineCount(found)) + " lines"
                        : found.empty() ? "it is not there"
                                        : "it holds other lines"));
    return holds;
}

size_t LineCount(const std::string& lines) {
    size_t count = 0;
    for (const char c : lines) count += c == '\0' ? 1 : 0;
    if (!lines.empty() && lines.back() != '\0') ++count;
    return count;
}

void FlushWrites(const RunOwner& owner) {
    if (owner.RunningOsKind() != kOsKindWindows9x) return;
    // Every argument null flushes the cache. Windows 95 answers FALSE whatever happened, and
    // no system says what TRUE would promise, so the writes' own results tell the outcome.
    static_cast<void>(::WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr));
    Log::Write("flushed the profile cache (Windows 95/98/ME)");
}

}  // namespace Ini
