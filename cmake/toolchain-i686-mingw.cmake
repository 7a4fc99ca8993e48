# What ships: 32-bit Windows programs, cross-built with Debian's MinGW-w64 i686 compilers of the
# win32 thread model. The posix ones link winpthreads, which imports functions that Windows XP
# (GetTickCount64) and Windows 98 (TryEnterCriticalSection, ...) lack, so the loader would
# refuse the program there. The product starts its threads with _beginthreadex and needs
# nothing of std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The processor the manifest names for common controls 6.
set(LUMI_MANIFEST_PROCESSOR x86)

# Everything is linked statically, so no runtime DLL of the compiler has to travel with Setup.exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
