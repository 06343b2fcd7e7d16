// A standard tooltip over one control's rectangle, served by the control's parent window, so it
// shows also while the control is disabled: a disabled control receives no mouse messages, and
// Windows gives them to its parent.
#pragma once

#include <windows.h>

#include "win32_handles.h"

namespace quillaro::win32 {

class ControlTooltip {
public:
    // Creates the tooltip, owned by window, with no tool yet. False when it cannot be made; the
    // other calls then do nothing.
    bool Create(HINSTANCE instance, HWND window);
    // While text is not nullptr, the mouse resting on control's rectangle shows it; nullptr
    // takes the tool away, so nothing shows.
    void Say(HWND control, const char* text);
    // The window is being destroyed, and with it the tooltip it owns.
    void OwnerDestroyed();

private:
    UniqueWindow tip_;
    HWND window_ = nullptr;
    bool hasTool_ = false;
};

}  // namespace quillaro::win32
