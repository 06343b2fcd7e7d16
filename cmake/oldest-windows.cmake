# The oldest Windows each executable supports, declared once: Windows 2000 (NT 5.0) for the
# 32-bit file, Windows XP x64 and Server 2003 x64 (NT 5.2, Internet Explorer 6) for the 64-bit
# one. The product's sources are compiled against these versions of the headers, so they offer
# no constant, structure or function that Windows lacks, and the header admits the same
# version. The test programs keep the toolchain's newer headers for their own code.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUILLARO_OLDEST_WINDOWS 0x0500)
  set(QUILLARO_OLDEST_IE 0x0500)
else()
  set(QUILLARO_OLDEST_WINDOWS 0x0502)
  set(QUILLARO_OLDEST_IE 0x0600)
endif()
math(EXPR QUILLARO_OLDEST_WINDOWS_MAJOR "${QUILLARO_OLDEST_WINDOWS} >> 8")
math(EXPR QUILLARO_OLDEST_WINDOWS_MINOR "${QUILLARO_OLDEST_WINDOWS} & 0xFF")

# For every library and executable made of the product's sources.
function(quillaro_target_oldest_windows target)
  target_compile_definitions(${target} PRIVATE WINVER=${QUILLARO_OLDEST_WINDOWS}
                             _WIN32_WINNT=${QUILLARO_OLDEST_WINDOWS}
                             _WIN32_IE=${QUILLARO_OLDEST_IE})
endfunction()
