// One running instance per user session. The first start holds a mutex named in the session's
// namespace for its whole run; a later start asks the holder's window to come back and ends.
#pragma once

#include <windows.h>

#include "win32_handles.h"

namespace quillaro::win32 {

// The message a later start sends to the running instance's window, registered under this
// name, and the window's answer once it has acted on it.
inline constexpr char kShowRequestMessage[] =
    "Quillaro.ShowWindow.6e830d0e-c5b6-4b5d-8999-f81548cb8131";
inline constexpr LRESULT kShowRequestDone = 0x51554C;

class SingleInstance {
public:
    SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is to run: it holds the session's instance mutex, taken at once or
    // left to it by an instance that ended meanwhile. False when another instance runs: that
    // one has been asked to show its window (or did not answer within a few seconds).
    bool Acquire();

private:
    bool AskRunningInstance();

    UniqueMutex mutex_;
};

}  // namespace quillaro::win32
