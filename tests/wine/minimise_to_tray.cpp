// Drives a Quillaro that another command started: waits for its window, minimises it the way
// the title bar's button does, waits for the notification icon, then closes the window.
// Exit status 0 when the icon appeared and the program ended; a message says what did not.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "win_test_support.h"

int main() {
    using namespace quillaro::testing;
    HWND window = nullptr;
    if (!WaitUntil([&] {
            window = FindWindowA("QuillaroForm1", nullptr);
            return window && IsWindowVisible(window);
        }, std::chrono::seconds(30))) {
        std::fputs("minimise_to_tray: the window did not appear\n", stderr);
        return 2;
    }
    PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    const bool iconShown = WaitUntil([&] { return !IsWindowVisible(window) && TrayIconCount() == 1; });
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!iconShown) {
        std::fputs("minimise_to_tray: no notification icon after minimising\n", stderr);
        return 3;
    }
    if (!WaitUntil([&] { return !IsWindow(window) && TrayIconCount() == 0; })) {
        std::fputs("minimise_to_tray: the program did not end\n", stderr);
        return 4;
    }
    return 0;
}
