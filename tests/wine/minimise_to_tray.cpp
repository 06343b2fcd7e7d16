// Drives a Quillaro that another command started: waits for its window, asks its slider as a
// screen reader does (which loads the accessibility libraries), minimises it the way the title
// bar's button does (which loads the shell), waits for the notification icon, then closes the
// window. Exit status 0 when the slider was heard, the icon appeared and the program ended; a
// message says what did not.
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
    const auto heard = Hear(FindWindowExA(window, nullptr, "msctls_trackbar32", nullptr));
    if (!heard || heard->name != "DirectX Sound Acceleration") {
        std::fputs("minimise_to_tray: the slider's own accessible object did not answer\n", stderr);
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 5;
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
