#pragma once

#include <windows.h>

#include <string>

// Shared by the stand-ins for the vendor's FTDI driver programs: they record each start in a
// log file so that tests and the demo can tell which program the wizard ran, from where and
// with what command line.

namespace standin {

// The log file named by LUMI_STANDIN_LOG; empty when it is not set.
extern const char* const kLogVariable;

// The value of an environment variable; false when it is not set.
bool ReadEnvironment(const char* name, std::string& value);

// The full path of this program's executable, read whole however long it is; empty on failure.
std::string ModulePath();

// Appends "<role> <module path> | <command line>" and a line end to the log file named by
// LUMI_STANDIN_LOG. Several stand-ins may start at once, so an open refused because another
// one is writing is retried for a few seconds. Does nothing when the variable is not set;
// returns false when the line could not be written.
bool LogStart(const char* role);

}  // namespace standin
