#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"

// Files, folder trees, registry keys and environment of the machine the tools and tests run on
// (a Wine prefix), shared by the tests' fixtures, the simulated PC, the benchmark and the
// stand-ins.
namespace machine {

bool FileExists(const std::string& path);  // a file, not a folder
bool FolderExists(const std::string& path);

// The whole content of a file, which others may have open for reading or writing; false when it
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);
// Creates or replaces a file (a read-only one too) with content; false when it cannot, with the
// reason in the last error.
bool WriteWholeFile(const std::string& path, const std::string& content);

// Creates every missing folder of an absolute path "X:\...", appending each one it creates to
// created when given; false when one cannot be created, with the reason in the last error.
bool MakeFolders(const std::string& path, std::vector<std::string>* created = nullptr);
// Deletes a file, or a folder with everything in it, read-only ones too; a missing one is fine.
void RemoveTree(const std::string& path);

// Registry keys. view is 0 for the program's own registry view, or KEY_WOW64_32KEY or
// KEY_WOW64_64KEY for the view of 32-bit or 64-bit programs on 64-bit Windows.
bool KeyExists(HKEY root, const std::string& subkey, REGSAM view = 0);
// Creates the key with its missing parents; the platform's status.
LONG CreateKey(HKEY root, const std::string& subkey, REGSAM view = 0);
// Deletes a key with all its subkeys; a missing one is fine.
void RemoveKey(HKEY root, const std::string& subkey, REGSAM view = 0);
// Sets a string value (an empty name: the default value; type REG_SZ or REG_EXPAND_SZ), creating
// the key when it is missing; the platform's status.
LONG WriteString(HKEY root, const std::string& subkey, const std::string& name,
                 const std::string& value, REGSAM view = 0, DWORD type = REG_SZ);
// A string value; false when the key or the value is missing.
bool ReadString(HKEY root, const std::string& subkey, const std::string& name, std::string& value,
                REGSAM view = 0);
// Deletes a value of the key; a missing key or value is fine.
void DeleteValue(HKEY root, const std::string& subkey, const std::string& name, REGSAM view = 0);

// The Linux path of a Windows path, as Wine maps it (C: to the prefix's drive_c, Z: to the root);
// empty when Wine cannot map it.
std::string HostPath(const std::string& path);
// A text as one word of a Linux shell's command line.
std::string ShellQuoted(const std::string& text);
// Runs a command line of the Linux host that Wine runs on, through /bin/sh, and waits up to
// timeoutMs for it to end. Its exit status goes to status and what it printed (standard output
// and error) to output. False when it could not be started or did not end in time. Wine cannot
// wait for a Linux program through its handle, so the command's status is read from a file. The
// command holds no double quote.
bool RunHostCommand(const std::string& command, DWORD timeoutMs, int& status, std::string& output);

// Makes a folder a read-only file system of its own, as a CD is (a read-only bind mount of
// itself), where not even a file's read-only bit can be cleared. False with the reason when the
// host does not allow it: it needs root and a host that allows mounts.
bool MountReadOnly(const std::string& folder, std::string& problem);
// Takes such a mount away again (one left by a run that ended early too); a folder that is no
// mount is left as it is.
void Unmount(const std::string& folder);

// The value of an environment variable, however long; false when it is not set.
bool ReadEnvironment(const char* name, std::string& value);
// The full path of this program's executable, however long; empty on failure.
std::string ModulePath();

}  // namespace machine
