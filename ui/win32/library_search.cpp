#include "library_search.h"

#include <windows.h>

namespace quillaro::win32 {

namespace {

// SetDefaultDllDirectories' flag for "the system directory only".
constexpr DWORD kSearchSystem32 = 0x00000800;
static_assert(kSearchSystem32 == LOAD_LIBRARY_SEARCH_SYSTEM32);

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);

// Both functions are looked up at run time: the executable must start on Windows versions
// that lack them (SetDefaultDllDirectories is missing before Windows 8 unless an update added
// it; SetDllDirectoryA is missing from Windows 2000 and XP before SP1).
template <typename Function>
Function KernelFunction(const char* name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (!kernel32) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

}  // namespace

void RestrictLibrarySearch() {
    if (auto setDefault = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
        setDefault && setDefault(kSearchSystem32))
        return;
    // An empty string removes the current directory from the search.
    if (auto setDirectory = KernelFunction<SetDllDirectoryFn>("SetDllDirectoryA"))
        setDirectory("");
}

std::string SystemLibraryPath(std::string_view fileName) {
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string path(directory, length);
    if (path.back() != '\\') path += '\\';
    path += fileName;
    return path;
}

}  // namespace quillaro::win32
