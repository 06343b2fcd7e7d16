// A library that only leaves a trace: when a process loads it, it creates the file
// "<its file name>-loaded" in its own folder. Copied under system libraries' names and put
// beside a program, it shows whether that program's search for those libraries reached the
// program's folder. It links no runtime, so it can stand in for the C runtime too.
#include <windows.h>

extern "C" BOOL WINAPI PlantedLibraryMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    constexpr char kSuffix[] = "-loaded";
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length + sizeof kSuffix > MAX_PATH) return TRUE;
    for (DWORD i = 0; i < sizeof kSuffix; ++i) path[length + i] = kSuffix[i];
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
