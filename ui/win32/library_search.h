// Where the program looks for the libraries it loads while running.
#pragma once

#include <string>
#include <string_view>

namespace quillaro::win32 {

// Limits the search for libraries loaded by name to the system directory, so that a file of
// the same name beside the program (a Downloads folder, say) is never loaded with the rights
// the program runs with. Where Windows cannot limit the search (2000, XP and Vista without
// the update that adds it), the current directory is at least taken out of it. Call it
// first thing at start, before any library is loaded.
void RestrictLibrarySearch();

// The full path of a library in the system directory, or "" when that directory is unknown.
std::string SystemLibraryPath(std::string_view fileName);

}  // namespace quillaro::win32
