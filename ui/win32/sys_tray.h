// The notification-area icon: its one record and the call that adds or removes it.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstdint>

#include "form1.h"
#include "library_search.h"

namespace quillaro::win32 {

// The first, ANSI form of NOTIFYICONDATA: 88 bytes in a 32-bit program.
struct TrayIconData {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[64];
};

class SysTray {
public:
    // Fills the record once; the icon is added and removed with it unchanged from then on.
    void Fill(HWND window, HICON icon);
    // Shell_NotifyIcon with NIM_ADD or NIM_DELETE; true when the shell accepted it.
    bool NotifyIcon(TrayMessage message) const;

private:
    using ShellNotifyIcon = BOOL(WINAPI*)(DWORD, NOTIFYICONDATAA*);

    TrayIconData trayIconData_{};
    // The shell is loaded at the first minimise, not at start: it is the largest library the
    // program uses and most runs never need it.
    mutable UniqueLibrary shell32_;
    mutable ShellNotifyIcon shellNotifyIcon_ = nullptr;
};

}  // namespace quillaro::win32
