#include "sys_tray.h"

#include <cstddef>
#include <cstring>

namespace quillaro::win32 {

// The record has the layout of the leading fields of NOTIFYICONDATAA, ending with the tip.
static_assert(offsetof(TrayIconData, hWnd) == offsetof(NOTIFYICONDATAA, hWnd));
static_assert(offsetof(TrayIconData, uID) == offsetof(NOTIFYICONDATAA, uID));
static_assert(offsetof(TrayIconData, uFlags) == offsetof(NOTIFYICONDATAA, uFlags));
static_assert(offsetof(TrayIconData, uCallbackMessage) ==
              offsetof(NOTIFYICONDATAA, uCallbackMessage));
static_assert(offsetof(TrayIconData, hIcon) == offsetof(NOTIFYICONDATAA, hIcon));
static_assert(offsetof(TrayIconData, szTip) == offsetof(NOTIFYICONDATAA, szTip));
static_assert(sizeof(TrayIconData) == NOTIFYICONDATAA_V1_SIZE);
#ifndef _WIN64
static_assert(sizeof(TrayIconData) == 88, "the 32-bit record is 88 bytes");
#endif
static_assert(static_cast<DWORD>(TrayMessage::Add) == NIM_ADD);
static_assert(static_cast<DWORD>(TrayMessage::Delete) == NIM_DELETE);
// The mouse messages the icon reports in lParam.
static_assert(kIconDoubleClick == WM_LBUTTONDBLCLK);
static_assert(kIconRightButtonDown == WM_RBUTTONDOWN);

namespace {
constexpr char kTip[] = "Quillaro";
}

void SysTray::Fill(HWND window, HICON icon) {
    trayIconData_.cbSize = sizeof(TrayIconData);
    trayIconData_.hIcon = icon;
    trayIconData_.hWnd = window;
    // The tip: the name, its terminator, and spaces to the end of the field.
    std::memset(trayIconData_.szTip, ' ', sizeof trayIconData_.szTip);
    std::memcpy(trayIconData_.szTip, kTip, sizeof kTip);
    trayIconData_.uCallbackMessage = WM_MOUSEMOVE;
    trayIconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIconData_.uID = 1;
}

bool SysTray::NotifyIcon(TrayMessage message) const {
    NOTIFYICONDATAA record{};
    std::memcpy(&record, &trayIconData_, sizeof trayIconData_);
    if (!shellNotifyIcon_) {
        // Nothing was ever added, so there is nothing to remove.
        if (message == TrayMessage::Delete) return false;
        // By its full path: a bare name would be looked for beside the program first.
        shell32_ = LoadSystemLibrary("shell32.dll");
        shellNotifyIcon_ = LibraryFunction<ShellNotifyIcon>(shell32_.get(), "Shell_NotifyIconA");
        if (!shellNotifyIcon_) return false;
    }
    return shellNotifyIcon_(static_cast<DWORD>(message), &record) != FALSE;
}

}  // namespace quillaro::win32
