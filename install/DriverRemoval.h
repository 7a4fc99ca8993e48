#pragma once

#include "install/RunOwner.h"

// Command 1002: starts the FTDI driver uninstaller that suits the Windows family (osKind, an
// OsKindValue), without waiting for it. NT before version 6 runs the one in the Windows
// folder's system32 ("SYSTEMROOT", or the platform's system folder when that is unset);
// Windows 95/98/ME and version 6 or later run the medium's copy. Any other OsKind, or an
// unknown medium, runs nothing. Whether the program could be started is not reported.
void RemoveDriver(const RunOwner& owner, int osKind);
