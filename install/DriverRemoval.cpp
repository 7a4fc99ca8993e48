#include "install/DriverRemoval.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "framework/PlatformStrings.h"
#include "install/OsKind.h"

namespace {

constexpr const char* kSystemUninstaller = "\\system32\\ftdiunin.exe";
constexpr const char* kSystemFolderUninstaller = "\\ftdiunin.exe";
constexpr const char* kUninstaller98Me = "\\driver\\98&me\\FTDIUNIN.exe";
constexpr const char* kUninstallerVista = "\\driver\\vista\\FTDIUNIN.exe";

// The uninstaller for the family; false when that family has none or no path can be built.
bool UninstallerPath(const RunOwner& owner, int osKind, const char* systemRoot, std::string& path) {
    switch (osKind) {
        case kOsKindNtBefore6:
            // Without "SYSTEMROOT" the path would be built from nothing; the system folder is
            // where that value would have led.
            if (systemRoot != nullptr && systemRoot[0] != '\0') {
                path = std::string(systemRoot) + kSystemUninstaller;
                return true;
            }
            path = SystemFolder();
            if (path.empty()) return false;
            path += kSystemFolderUninstaller;
            return true;
        case kOsKindWindows9x:
            return owner.MediumPath(kUninstaller98Me, path);
        case kOsKind6OrLater:
            return owner.MediumPath(kUninstallerVista, path);
        default:
            return false;
    }
}

}  // namespace

void RemoveDriver(const RunOwner& owner, int osKind) {
    // Read whatever the family, before the choice.
    const char* systemRoot = std::getenv("SYSTEMROOT");
    std::string program;
    if (!UninstallerPath(owner, osKind, systemRoot, program)) return;
    // Quoted, so a blank in the path can never start a different program first.
    const std::string commandLine = "\"" + program + "\"";
    static_cast<void>(::WinExec(commandLine.c_str(), SW_SHOW));
}
