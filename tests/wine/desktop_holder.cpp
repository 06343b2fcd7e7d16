// Stays on the desktop, with no window of its own, until the session's wineserver ends it, so
// the desktop lasts the whole test session as it lasts a logon on Windows (wine_desktop_hold in
// scripts/wine-env.sh says why, and waits for the "ready" this writes).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Loading user32 put this thread on the desktop. Asking for the desktop's window starts its
    // owner (explorer) before the first test; where Wine gives up waiting for it, explorer still
    // comes up, and this program holds the desktop all the same.
    GetDesktopWindow();
    constexpr char kReady[] = "ready\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kReady, sizeof kReady - 1, &written, nullptr);
    Sleep(INFINITE);
    return 0;
}
