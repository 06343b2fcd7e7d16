# The 64-bit build with the Windows tests, run under wine64: POSIX threads for the test framework.
set(QUILLARO_MINGW_ARCH x86_64)
set(QUILLARO_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run-in-wine.sh)
