// Owning wrappers for the kernel, GDI and USER handles the program creates, and a guard for the
// screen DC.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace quillaro::win32 {

struct MenuDeleter {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct WindowDeleter {
    void operator()(HWND window) const { DestroyWindow(window); }
};

// Gives up ownership if this thread holds the mutex (fails harmlessly otherwise), then closes
// it, so a start waiting for it gets it at once rather than as abandoned.
struct MutexDeleter {
    void operator()(HANDLE mutex) const {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
};

using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;
using UniqueMutex = std::unique_ptr<void, MutexDeleter>;

// The screen's device context for as long as the guard lives: GetDC on creation, ReleaseDC
// when it goes.
class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

}  // namespace quillaro::win32
