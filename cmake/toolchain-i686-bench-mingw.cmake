# The i686 bench: the end-to-end tests and the tools that drive the shipped Setup.exe, as 32-bit
# programs (Wine's null graphics driver lets a 64-bit program miss a 32-bit program's windows).
# Posix thread model: GoogleTest needs std::mutex. What ships comes from the win32 thread-model
# toolchain (toolchain-i686-mingw.cmake), never from this one.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(THREAD_MODEL posix)
set(LUMI_MANIFEST_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
