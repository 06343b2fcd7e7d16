# What every MinGW-w64 toolchain file shares. The including file sets QUILLARO_MINGW_ARCH
# (i686 or x86_64) and QUILLARO_MINGW_THREADS (win32 or posix: Debian installs one compiler of
# each thread model); a build that runs its tests under Wine also sets the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLARO_MINGW_ARCH})
set(CMAKE_C_COMPILER ${QUILLARO_MINGW_ARCH}-w64-mingw32-gcc-${QUILLARO_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${QUILLARO_MINGW_ARCH}-w64-mingw32-g++-${QUILLARO_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${QUILLARO_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLARO_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
