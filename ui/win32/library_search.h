// Where the program finds the libraries it loads while running. Its import table names only
// kernel32, user32, gdi32 and advapi32, which every Windows NT loads from the system directory
// alone (Known DLLs); every other library is loaded here, at run time.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>
#include <type_traits>

#include "bounded_text.h"

namespace quillaro::win32 {

struct LibraryDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

using LibraryPath = BoundedText<MAX_PATH - 1>;

// Whether a file beside the program could make Windows take libraries from the program's folder,
// whatever path they are loaded by: the program's file name plus ".local", a file or a folder
// (DLL redirection, Windows 2000 and later), or plus ".manifest" (an external manifest, which
// Windows XP prefers to the one inside the file). True as well when the program's own path
// cannot be had or a name beside it cannot be looked at, since nothing is known then. Call it
// before any library is loaded.
bool RedirectionBesideProgram();

// Limits the search for libraries loaded by name to the system directory, so that a file of
// the same name beside the program (a Downloads folder, say) is never loaded with the rights
// the program runs with. Where Windows cannot limit the search (2000, XP and Vista without
// the update that adds it), the current directory is at least taken out of it. Call it
// first thing at start, before any library is loaded.
void RestrictLibrarySearch();

// The full path of a library in the system directory; false when it does not fit or the
// directory is unknown.
bool SystemLibraryPath(std::string_view fileName, LibraryPath& path);

// A library of the system directory, by its full path; the libraries it needs in turn are
// looked for from the system directory too, not from the program's folder.
UniqueLibrary LoadSystemLibrary(std::string_view fileName);

// The common controls. Where Windows applies the program's manifest (XP and later) they are
// loaded by name, which the manifest redirects to the version 6 controls in the side-by-side
// store, never to the program's folder; on Windows 2000 as any other system library.
UniqueLibrary LoadCommonControls();

// A function of a loaded library, as the type it is called with.
template <typename Function>
Function LibraryFunction(HMODULE library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace quillaro::win32
