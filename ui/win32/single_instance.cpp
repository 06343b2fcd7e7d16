#include "single_instance.h"

#include "form1_window.h"

namespace quillaro::win32 {

namespace {

// "Local\" is the user's session (Windows 2000 without Terminal Services ignores the prefix).
constexpr char kInstanceMutex[] = "Local\\Quillaro.Instance.6e830d0e-c5b6-4b5d-8999-f81548cb8131";

// How long a later start waits for the running instance to have a window and to answer.
constexpr DWORD kPatienceMs = 5000;
constexpr DWORD kPollMs = 50;

}  // namespace

bool SingleInstance::Acquire() {
    mutex_.reset(CreateMutexA(nullptr, TRUE, kInstanceMutex));
    if (!mutex_) {
        // The name exists but may not be opened: another account's instance in this session.
        // Any other failure leaves nothing to decide with; running beats being unreachable.
        if (GetLastError() != ERROR_ACCESS_DENIED) return true;
    } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return true;  // created, and owned from creation
    }
    return AskRunningInstance();
}

// Returns true if the running instance ended meanwhile and this process now owns the mutex.
bool SingleInstance::AskRunningInstance() {
    const UINT request = RegisterWindowMessageA(kShowRequestMessage);
    const DWORD started = GetTickCount();
    // GetTickCount wraps every 49 days; the unsigned difference does not mind.
    for (DWORD waited = 0; waited < kPatienceMs; waited = GetTickCount() - started) {
        if (mutex_) {
            const DWORD wait = WaitForSingleObject(mutex_.get(), 0);
            if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return true;
        }
        // The mutex decides; the window is only how to reach its holder. It may not exist yet
        // while the holder is starting, and it answers 0 until it has been shown first.
        HWND window = FindWindowA(kWindowClass, nullptr);
        if (window && request != 0) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            // Only a process the user just started may pass on the right to come to the front.
            AllowSetForegroundWindow(process);
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutA(window, request, 0, 0, SMTO_ABORTIFHUNG, kPatienceMs - waited,
                                    &answer)) {
                if (answer == static_cast<DWORD_PTR>(kShowRequestDone)) return false;
            } else if (IsWindow(window)) {
                return false;  // hung: still never a second instance
            }
        }
        Sleep(kPollMs);
    }
    return false;
}

}  // namespace quillaro::win32
