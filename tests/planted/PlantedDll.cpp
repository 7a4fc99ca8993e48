// A DLL for the test of the DLL search: planted in the current folder, where a DLL of the same
// name as a system one could wait for a program that searches there.
#include <windows.h>

extern "C" __declspec(dllexport) int LumiPlanted() {
    return 42;
}
