# The test bench: the same sources as 64-bit Windows programs, run under Wine's 64-bit loader
# on hosts whose kernel refuses 32-bit programs. Posix thread model: GoogleTest needs std::mutex.
# Never shipped: on 64-bit Windows it would read the 64-bit registry view and miss the 32-bit
# screen readers' keys.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(THREAD_MODEL posix)
set(LUMI_MANIFEST_PROCESSOR amd64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
