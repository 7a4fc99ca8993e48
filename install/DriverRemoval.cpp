#include "install/DriverRemoval.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/MainDialog.h"

namespace {

constexpr const char* kSystemUninstaller = "\\system32\\ftdiunin.exe";
constexpr const char* kSystemFolderUninstaller = "\\ftdiunin.exe";
constexpr const char* kUninstaller98Me = "\\driver\\98&me\\FTDIUNIN.exe";
constexpr const char* kUninstallerVista = "\\driver\\vista\\FTDIUNIN.exe";

// The platform's system folder; empty when it cannot be read.
std::string SystemDirectory() {
    const UINT needed = ::GetSystemDirectoryA(nullptr, 0);
    if (needed == 0) return std::string();
    std::string folder(needed, '\0');
    const UINT length = ::GetSystemDirectoryA(&folder[0], needed);
    if (length == 0 || length >= needed) return std::string();
    folder.resize(length);
    return folder;
}

// The uninstaller for the dialog's OsKind; false when that family has none or no path can be
// built.
bool UninstallerPath(const MainDialog& dialog, const char* systemRoot, std::string& path) {
    switch (dialog.OsKind) {
        case 2:
            // Without "SYSTEMROOT" the path would be built from nothing; the system folder is
            // where that value would have led.
            if (systemRoot != nullptr && systemRoot[0] != '\0') {
                path = std::string(systemRoot) + kSystemUninstaller;
                return true;
            }
            path = SystemDirectory();
            if (path.empty()) return false;
            path += kSystemFolderUninstaller;
            return true;
        case 1:
            return dialog.MediumPath(kUninstaller98Me, path);
        case 4:
            return dialog.MediumPath(kUninstallerVista, path);
        default:
            return false;
    }
}

}  // namespace

void RemoveDriver(const MainDialog& dialog) {
    // Read whatever the family, before the choice.
    const char* systemRoot = std::getenv("SYSTEMROOT");
    std::string program;
    if (!UninstallerPath(dialog, systemRoot, program)) return;
    // Quoted, so a blank in the path can never start a different program first.
    const std::string commandLine = "\"" + program + "\"";
    static_cast<void>(::WinExec(commandLine.c_str(), SW_SHOW));
}
