# 64-bit release: the win32 thread model, like the 32-bit build, so the C++ runtime brings no
# threads library (whose timing functions need Windows Vista) into a program that never
# starts a thread.
set(QUILLARO_MINGW_ARCH x86_64)
set(QUILLARO_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
