# The 32-bit Windows test programs: the same target as the release executable, with the compiler
# whose C++ threads are POSIX threads (winpthreads), which the test framework needs for
# std::mutex. The release executable keeps the win32 thread model (toolchain-mingw-i686.cmake).
set(QUILLARO_MINGW_ARCH i686)
set(QUILLARO_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run-in-wine.sh)
