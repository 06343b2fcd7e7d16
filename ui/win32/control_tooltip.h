// A standard tooltip over one control, whether the control is enabled or not. It has two tools
// with the same text: the control itself, which receives its own mouse messages while it is
// enabled, and the control's rectangle, served by the parent window, which Windows gives the
// mouse messages over a disabled control.
#pragma once

#include <windows.h>

#include "win32_handles.h"

namespace quillaro::win32 {

class ControlTooltip {
public:
    // Creates the tooltip, owned by window, with both tools and no text yet; lines wider than
    // maxWidth pixels are wrapped. False when it cannot be made; the other calls then do
    // nothing.
    bool Create(HINSTANCE instance, HWND window, HWND control, int maxWidth);
    // The mouse resting on the control shows text from now on. A button pressed hides it.
    void Say(const char* text);
    // The window is being destroyed, and with it the tooltip it owns.
    void OwnerDestroyed();

private:
    UniqueWindow tip_;
    HWND window_ = nullptr;
    HWND control_ = nullptr;
};

}  // namespace quillaro::win32
