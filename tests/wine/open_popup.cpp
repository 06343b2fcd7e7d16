// Opens the pop-up menu of a running Quillaro the way a user does, for screenshots: minimises the
// window, right-clicks the notification icon, waits for the menu and prints its place on the
// screen as WIDTHxHEIGHT+LEFT+TOP. Exit status 1 when the window, the icon or the menu does not
// appear.
#include <windows.h>

#include <cstdio>

#include "form1_window.h"
#include "win_test_support.h"

int main() {
    using namespace quillaro::testing;
    HWND window = nullptr;
    auto windowShown = [&] {
        window = FindWindowA(quillaro::win32::kWindowClass, nullptr);
        return window != nullptr;
    };
    if (!WaitUntil(windowShown)) return 1;
    ShowWindow(window, SW_MINIMIZE);
    HWND icon = nullptr;
    if (!WaitUntil([&] { return (icon = FirstTrayIcon()) != nullptr; })) return 1;
    RECT place{};
    GetWindowRect(icon, &place);
    ClickAt({(place.left + place.right) / 2, (place.top + place.bottom) / 2}, true, 1);
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = OpenPopupMenu()) != nullptr; })) return 1;
    GetWindowRect(menu, &place);
    std::printf("%ldx%ld+%ld+%ld\n", place.right - place.left, place.bottom - place.top,
                place.left, place.top);
    return 0;
}
