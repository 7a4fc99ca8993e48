#pragma once

class MainDialog;

// Command 1002: starts the FTDI driver uninstaller that suits the running Windows family,
// without waiting for it.
void RemoveDriver(const MainDialog& dialog);
