// Stays on the desktop, with no window of its own, for a whole test session; the session's
// wineserver ends it. Wine closes a desktop one second after the last program on it ends, and
// the next program then starts a new explorer and waits for it only so long: on a slow machine
// (the emulated one, loaded) its windows cannot be created. Windows keeps the desktop for the
// whole logon. Test programs and the program under test start and end one after another, so
// without a program that stays, each gap between them closes the desktop.
// Writes "ready" to its standard output once it is on the desktop (scripts/wine-env.sh waits
// for that).
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
