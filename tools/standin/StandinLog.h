#pragma once

// Shared by the stand-ins for the vendor's FTDI driver programs: they record each start in a
// log file so that tests and the demo can tell which program the wizard ran, from where and
// with what command line.

#include <string>

namespace standin {

// Appends "<role> <module path> | <command line>", then " | <detail>" when one is given, and a
// line end to the log file named by LUMI_STANDIN_LOG. Several stand-ins may start at once, so
// an open refused because another one is writing is retried for a few seconds. Does nothing
// when the variable is not set; returns false when the line could not be written.
bool LogStart(const char* role, const std::string& detail = std::string());

}  // namespace standin
