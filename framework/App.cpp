#include "framework/App.h"

namespace {
WinApp* theApplication = nullptr;
}

WinApp::WinApp() {
    theApplication = this;
}

WinApp::~WinApp() {
    if (theApplication == this) theApplication = nullptr;
}

WinApp* WinApp::Current() {
    return theApplication;
}

BOOL WinApp::InitInstance() {
    return TRUE;
}

bool WinApp::OnCommand(UINT) {
    return false;
}

int RunApplication() {
    WinApp* app = WinApp::Current();
    if (app == nullptr) return 1;
    // InitInstance runs the whole program; FALSE means there is no message loop to run after it.
    app->InitInstance();
    return app->ExitCode();
}
