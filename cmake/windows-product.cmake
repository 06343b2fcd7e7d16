# How the product's sources are compiled for Windows: the rules every library and executable
# made of them share, declared once. They are GCC's options (MinGW-w64); README.md says why no
# other compiler makes these files.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "Quillaro for Windows is built with MinGW-w64's GCC, not ${CMAKE_CXX_COMPILER_ID}")
endif()

# The oldest Windows each executable supports: Windows 2000 (NT 5.0) for the 32-bit file,
# Windows XP x64 and Server 2003 x64 (NT 5.2, Internet Explorer 6) for the 64-bit one. The
# sources are compiled against these versions of the headers, so they offer no constant,
# structure or function that Windows lacks, and the header admits the same version. The test
# programs keep the toolchain's newer headers for their own code.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUILLARO_OLDEST_WINDOWS 0x0500)
  set(QUILLARO_OLDEST_IE 0x0500)
else()
  set(QUILLARO_OLDEST_WINDOWS 0x0502)
  set(QUILLARO_OLDEST_IE 0x0600)
endif()
math(EXPR QUILLARO_OLDEST_WINDOWS_MAJOR "${QUILLARO_OLDEST_WINDOWS} >> 8")
math(EXPR QUILLARO_OLDEST_WINDOWS_MINOR "${QUILLARO_OLDEST_WINDOWS} & 0xFF")

# The executable links no C or C++ runtime: it starts at its own entry point and calls only
# Windows. So the code needs nothing the runtime provides: no exceptions, no type information,
# no guarded statics, no stack protector; and no stack frame of a page or more, whose probe is a
# runtime function.
set(QUILLARO_PRODUCT_OPTIONS -fno-exceptions -fno-rtti -fno-threadsafe-statics
    -fno-stack-protector -ffunction-sections -fdata-sections -Wframe-larger-than=4000)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # 32-bit Windows unwinds by the chain of handlers on the stack (frame-based SEH) and reads no
  # tables, so the code carries none. It runs on an original Pentium: the compiler and the
  # assembler (which pads alignment with the longest no-operation its target knows) are both
  # told so (another processor only for the build the release checks must reject). Windows
  # calls window procedures and callbacks with the stack aligned to 4 bytes only, not the 16 the
  # compiler otherwise assumes: told so, it realigns in every function that needs 16, which is
  # every function that calls another, since its calls keep 16 (Wine's 32-bit libraries depend
  # on that, see the entry point).
  set(QUILLARO_X86_PROCESSOR i586 CACHE STRING "The oldest processor the 32-bit code runs on")
  list(APPEND QUILLARO_PRODUCT_OPTIONS -fno-asynchronous-unwind-tables -fno-unwind-tables
       -march=${QUILLARO_X86_PROCESSOR} -mtune=generic -Wa,-march=${QUILLARO_X86_PROCESSOR}
       -mincoming-stack-boundary=2)
else()
  # 64-bit Windows unwinds every frame by the tables in the file's exception directory
  # (.pdata/.xdata), for its own exceptions and debuggers too: they belong to the system, not to
  # a runtime, and without C++ exceptions they name no handler of one.
  list(APPEND QUILLARO_PRODUCT_OPTIONS -fasynchronous-unwind-tables)
endif()

# For every library and executable made of the product's sources.
function(quillaro_product_code target)
  target_compile_definitions(${target} PRIVATE WINVER=${QUILLARO_OLDEST_WINDOWS}
                             _WIN32_WINNT=${QUILLARO_OLDEST_WINDOWS}
                             _WIN32_IE=${QUILLARO_OLDEST_IE})
  target_compile_options(${target} PRIVATE ${QUILLARO_PRODUCT_OPTIONS})
endfunction()
