#include "tests/support/ImportHook.h"

#include <cstring>

namespace testing_support {

namespace {

template <typename T>
T At(BYTE* base, DWORD offset) {
    return reinterpret_cast<T>(base + offset);
}

}  // namespace

ScopedImportHook::ScopedImportHook(const char* dll, const char* function, void* replacement) {
    BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = At<const IMAGE_NT_HEADERS*>(base, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* descriptor = At<IMAGE_IMPORT_DESCRIPTOR*>(base, imports.VirtualAddress);
         descriptor->Name != 0 && slot == nullptr; ++descriptor) {
        if (_stricmp(At<const char*>(base, descriptor->Name), dll) != 0) continue;
        auto* names = At<IMAGE_THUNK_DATA*>(base, descriptor->OriginalFirstThunk);
        auto* addresses = At<IMAGE_THUNK_DATA*>(base, descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                At<const IMAGE_IMPORT_BY_NAME*>(base, static_cast<DWORD>(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                slot = reinterpret_cast<void**>(&addresses->u1.Function);
                break;
            }
        }
    }
    if (slot == nullptr) return;
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    original = *slot;
    *slot = replacement;
    ::VirtualProtect(slot, sizeof(void*), protection, &protection);
}

ScopedImportHook::~ScopedImportHook() {
    if (slot == nullptr) return;
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    *slot = original;
    ::VirtualProtect(slot, sizeof(void*), protection, &protection);
}

}  // namespace testing_support
