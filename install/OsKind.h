#pragma once

// The values of OsKind, the Windows family the wizard runs on. The field itself stays a plain
// int: 0 until the version query has classified the system.
enum OsKindValue : int {
    kOsKindUnknown = 0,
    kOsKindWindows9x = 1,  // Windows 95, 98 and ME
    kOsKindNtBefore6 = 2,  // the NT family before major version 6 (NT 4, 2000, XP, 2003)
    kOsKindWin32s = 3,
    kOsKind6OrLater = 4,  // major version 6 or later (Vista, 7, ...)
};
