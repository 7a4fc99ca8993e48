#pragma once

#include "framework/App.h"

// The program: shows the wizard's dialog modally and ends when it closes.
class InstallerApp : public WinApp {
public:
    BOOL InitInstance() override;
    bool OnCommand(UINT id) override;
};
