# What ships: 32-bit Windows programs, cross-built with Debian's MinGW-w64 i686 compilers of the
# win32 thread model. The posix ones link winpthreads, which imports functions that Windows XP
# (GetTickCount64) and Windows 98 (TryEnterCriticalSection, ...) lack, so the loader would
# refuse the program there. The product starts its threads with _beginthreadex and needs
# nothing of std::thread or std::mutex.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(THREAD_MODEL win32)
# The processor the manifest names for common controls 6.
set(LUMI_MANIFEST_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
