// The program's message loop: window messages, and the registry's change signal.
#pragma once

#include <windows.h>

#include "form1.h"
#include "win32_registry_watch.h"

namespace quillaro::win32 {

// The wake conditions of the wait, as Windows 2000 knows them. Later headers add bits to
// QS_ALLINPUT (raw input from XP on, touch and pointer input from 8 on), and Windows before
// them refuses the whole wait for an unknown bit, so the set is spelled out.
inline constexpr DWORD kWakeMask =
    QS_KEY | QS_MOUSE | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY | QS_SENDMESSAGE;
static_assert(kWakeMask == 0xFF, "the wake bits of Windows 2000, and no others");

// MsgWaitForMultipleObjects, or a stand-in for it in a test.
using MessageWait = DWORD(WINAPI*)(DWORD count, const HANDLE* handles, BOOL waitAll,
                                   DWORD milliseconds, DWORD wakeMask);

// Dispatches window messages until WM_QUIT and returns its exit code. Whenever the watch
// signals, it watches again and then lets the window show what the registry holds now. A
// signal that arrives while a modal loop runs (a pop-up menu, a dragged window) waits for it.
// Should the wait itself fail, the loop goes on waiting for window messages alone: the
// program stays usable and idle, only no longer follows the registry.
int RunMessageLoop(RegistryWatch& watch, Form1& form, MessageWait wait = MsgWaitForMultipleObjects);

}  // namespace quillaro::win32
