#pragma once

#include <windows.h>

namespace testing_support {

// Points this test program's own import of dll!function at replacement while it lives, so that
// the product code linked into the program calls the replacement instead. False from IsHooked
// when the program does not import the function.
class ScopedImportHook {
public:
    ScopedImportHook(const char* dll, const char* function, void* replacement);
    ~ScopedImportHook();
    ScopedImportHook(const ScopedImportHook&) = delete;
    ScopedImportHook& operator=(const ScopedImportHook&) = delete;
    bool IsHooked() const { return slot != nullptr; }
    // The function the import pointed at before.
    void* Original() const { return original; }

private:
    void** slot = nullptr;
    void* original = nullptr;
};

}  // namespace testing_support
