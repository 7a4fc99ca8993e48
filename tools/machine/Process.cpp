#include "tools/machine/Machine.h"

// Apart from the files and keys, so that the stand-ins, which need only these, link no registry
// functions.

namespace machine {

bool ReadEnvironment(const char* name, std::string& value) {
    std::string buffer(256, '\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length =
            ::GetEnvironmentVariableA(name, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            // An empty value also reads as 0; only a missing one sets the error.
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            value.clear();
            return true;
        }
        if (length < buffer.size()) {
            value.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(length + 1);  // length is the size needed, terminator included
    }
}

std::string ModulePath() {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size()) return buffer.substr(0, length);
        buffer.resize(buffer.size() * 2);  // cut off: try again with more room
    }
}

}  // namespace machine
