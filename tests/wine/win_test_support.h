// Helpers for the Windows tests that drive real windows: message pumping with a deadline,
// real keyboard and mouse input, and the notification area as Wine's X11 driver shows it.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quillaro::testing {

// How many times longer than usual every deadline of the tests is: QUILLARO_TIMEOUT_SCALE, a
// positive number (default 1), for machines much slower than a desktop, such as an emulated one.
// Read once per test program.
double TimeoutScale();

// A fixed time limit stretched by TimeoutScale().
std::chrono::milliseconds Scaled(std::chrono::milliseconds limit);

// Dispatches this thread's messages until done() holds or the limit (five seconds by default,
// scaled) has passed.
template <typename Done>
bool PumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + Scaled(limit);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Waits without pumping (for a thread other than the window's).
template <typename Done>
bool WaitUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + Scaled(limit);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Sleep(10);
    }
    return true;
}

// WaitForSingleObject with a scaled limit.
DWORD WaitForObject(HANDLE object, std::chrono::milliseconds limit);

// A key pressed and released through the system's input queue.
void PressKey(WORD virtualKey);
// Mouse clicks at a screen position through the system's input queue.
void ClickAt(POINT screen, bool right, int clicks);

// The notification-area icons Wine shows in its stand-alone tray window.
int TrayIconCount();
HWND FirstTrayIcon();
// The visible pop-up menu window, if one is open.
HWND OpenPopupMenu();
// Waits until `owner`, the window of an open pop-up menu, is the foreground window, which under
// Wine it may become only once its menu loop goes idle (Wine notes, section n): a key pressed
// before that goes to the desktop and is lost.
bool WaitForMenuKeys(HWND owner);

// An item of an open pop-up menu as the screen shows it: whether it has a check mark, and the
// screen position of its middle.
struct MenuRow {
    bool checked;
    POINT centre;
};
// The items of an open pop-up menu of `items` text items, read off the screen, so a menu of
// another process can be read too; nothing if it does not show that many within the deadline.
std::vector<MenuRow> ReadMenu(HWND popup, int items);

// What a screen reader hears of a slider, asking as Windows 2000/XP screen readers do (MSAA:
// the window's client object, then its name, value and description) from a thread of its own,
// while this thread handles its windows' messages, through which questions to them arrive.
// Nothing when the object could not be had within the deadline.
struct Heard {
    std::string name, value, description;
    friend bool operator==(const Heard&, const Heard&) = default;
};
void PrintTo(const Heard& heard, std::ostream* out);
std::optional<Heard> Hear(HWND slider);

// Runs "reg query" on a value under HKEY_LOCAL_MACHINE and returns its number, or -1.
long long RegQueryDword(const std::string& keyPath, const std::string& valueName);
// Runs "reg add" to store a REG_DWORD under HKEY_LOCAL_MACHINE, as another program would.
bool RegAddDword(const std::string& keyPath, const std::string& valueName, unsigned long value);

}  // namespace quillaro::testing
