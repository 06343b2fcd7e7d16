# The 32-bit release executable: the win32 thread model, so no threads library comes in.
set(QUILLARO_MINGW_ARCH i686)
set(QUILLARO_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
