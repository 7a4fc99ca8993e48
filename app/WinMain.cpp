// Entry point of Setup.exe.
#include <windows.h>

#include "app/InstallerApp.h"

namespace {

InstallerApp theApp;

// Keeps DLLs from being loaded out of the current folder or the folder of the medium, where a
// planted copy could wait. Both calls are looked up at run time, so the program still starts
// on systems that lack them.
void RestrictDllSearchPath() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return;
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD flags);
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR path);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (FARPROC proc = ::GetProcAddress(kernel, "SetDefaultDllDirectories")) {
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(proc))(
            kSearchSystem32);
    }
    if (FARPROC proc = ::GetProcAddress(kernel, "SetDllDirectoryA")) {
        reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(proc))("");
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearchPath();
    return RunApplication();
}
