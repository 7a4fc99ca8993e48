#include "app/InstallerApp.h"

#include <commctrl.h>

#include "app/MainDialog.h"

namespace {
constexpr UINT kHelpCommand = 57670;
}

BOOL InstallerApp::InitInstance() {
    ::InitCommonControls();
    WinApp::InitInstance();
    // The dialog hosts no ActiveX control, so no control container is set up.
    MainDialog dialog;
    // How the dialog ended changes nothing: the program ends either way.
    static_cast<void>(dialog.DoModal());
    return FALSE;
}

bool InstallerApp::OnCommand(UINT id) {
    if (id == kHelpCommand) {
        OnHelp();
        return true;
    }
    return WinApp::OnCommand(id);
}
