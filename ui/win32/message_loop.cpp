#include "message_loop.h"

namespace quillaro::win32 {

int RunMessageLoop(RegistryWatch& watch, Form1& form) {
    for (;;) {
        HANDLE changed = watch.event();
        const DWORD woken =
            MsgWaitForMultipleObjects(changed ? 1 : 0, &changed, FALSE, INFINITE, QS_ALLINPUT);
        if (changed && woken == WAIT_OBJECT_0) {
            // Watch again first: a change made while the registry is being read signals anew.
            watch.Arm();
            form.Form_RegistryChanged();
            continue;
        }
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

}  // namespace quillaro::win32
