#include "library_search.h"

namespace quillaro::win32 {

namespace {

// SetDefaultDllDirectories' flag for "the system directory only" (Windows 8, or Vista and 7
// with the update that adds the function); the headers of the oldest Windows lack it.
constexpr DWORD kSearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);

// kernel32 is in every process, so it is only looked up, never loaded.
template <typename Function>
Function KernelFunction(const char* name) {
    return LibraryFunction<Function>(GetModuleHandleA("kernel32.dll"), name);
}

// The program's path and the longest name looked for beside it.
constexpr std::string_view kRedirectingSuffixes[] = {".local", ".manifest"};
constexpr std::size_t kLongestSuffix = 9;
static_assert(kRedirectingSuffixes[1].size() == kLongestSuffix);
using ProgramPath = BoundedText<MAX_PATH - 1 + kLongestSuffix>;

// Whether anything, file or folder, has this name; true also when that cannot be told.
bool AnythingNamed(const ProgramPath& path) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool RedirectionBesideProgram() {
    ProgramPath path;
    // A path that fills the room is cut short (and, before Vista, left without a terminator).
    constexpr DWORD room = MAX_PATH;
    const DWORD length = GetModuleFileNameA(nullptr, path.Buffer(), room);
    if (length == 0 || length >= room || !path.AdoptTerminated(length + 1)) return true;
    for (std::string_view suffix : kRedirectingSuffixes) {
        if (!path.Append(suffix)) return true;
        if (AnythingNamed(path)) return true;
        path.Shorten(length);
    }
    return false;
}

void RestrictLibrarySearch() {
    // Both are looked up at run time: the executable must start on Windows versions that lack
    // them (SetDllDirectoryA is missing from Windows 2000 and XP before SP1).
    if (auto setDefault = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
        setDefault && setDefault(kSearchSystem32))
        return;
    // An empty string removes the current directory from the search.
    if (auto setDirectory = KernelFunction<SetDllDirectoryFn>("SetDllDirectoryA"))
        setDirectory("");
}

bool SystemLibraryPath(std::string_view fileName, LibraryPath& path) {
    const UINT length = GetSystemDirectoryA(path.Buffer(), LibraryPath::kCapacity + 1);
    if (length == 0 || length > LibraryPath::kCapacity) return false;
    if (!path.AdoptTerminated(LibraryPath::kCapacity + 1) || path.empty()) return false;
    if (path.view().back() != '\\' && !path.Append("\\")) return false;
    return path.Append(fileName);
}

UniqueLibrary LoadSystemLibrary(std::string_view fileName) {
    LibraryPath path;
    if (!SystemLibraryPath(fileName, path)) return nullptr;
    return UniqueLibrary(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

UniqueLibrary LoadCommonControls() {
    // Activation contexts, and with them the manifest's redirection, came with Windows XP.
    if (KernelFunction<FARPROC>("ActivateActCtx"))
        return UniqueLibrary(LoadLibraryA("comctl32.dll"));
    return LoadSystemLibrary("comctl32.dll");
}

}  // namespace quillaro::win32
