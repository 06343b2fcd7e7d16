#include "message_loop.h"

namespace quillaro::win32 {

namespace {

// While no change can be watched for (not even at the root), the loop tries again this often.
constexpr DWORD kRearmMs = 1000;

// Dispatches what is queued; false once WM_QUIT came, with its code in exitCode.
bool DispatchQueued(int& exitCode) {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            exitCode = static_cast<int>(message.wParam);
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

int MessagesOnly() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) {
            WaitMessage();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

int RunMessageLoop(RegistryWatch& watch, Form1& form, MessageWait wait) {
    int exitCode = 0;
    for (;;) {
        const bool watching = watch.armed();
        const DWORD count = watching ? RegistryWatch::kEventCount : 0;
        const DWORD woken =
            wait(count, watch.events(), FALSE, watching ? INFINITE : kRearmMs, kWakeMask);
        if (woken == WAIT_FAILED) return MessagesOnly();
        if (woken - WAIT_OBJECT_0 < count) {
            // Watch again first: a change made while the registry is being read signals anew.
            watch.Arm();
            form.Form_RegistryChanged();
            continue;
        }
        if (!DispatchQueued(exitCode)) return exitCode;
        // Nothing was watched: whatever changed meanwhile is shown once watching works again.
        if (!watching && watch.Arm()) form.Form_RegistryChanged();
    }
}

}  // namespace quillaro::win32
