// A standard tooltip over one control. While the control is enabled the tool is the control
// itself, which receives its own mouse messages; while it is disabled the tool is the control's
// rectangle, served by the parent window, since a disabled control receives no mouse messages
// and Windows gives them to its parent.
#pragma once

#include <windows.h>

#include "win32_handles.h"

namespace quillaro::win32 {

class ControlTooltip {
public:
    // Creates the tooltip, owned by window, with no tool yet; lines wider than maxWidth pixels
    // are wrapped. False when it cannot be made; the other calls then do nothing.
    bool Create(HINSTANCE instance, HWND window, int maxWidth);
    // While text is not nullptr, the mouse resting on control shows it, control enabled or not;
    // nullptr takes the tool away, so nothing shows. A button pressed hides the tip.
    void Say(HWND control, bool enabled, const char* text);
    // The window is being destroyed, and with it the tooltip it owns.
    void OwnerDestroyed();

private:
    enum class Tool { None, Rectangle, Control };

    UniqueWindow tip_;
    HWND window_ = nullptr;
    Tool tool_ = Tool::None;
    HWND control_ = nullptr;  // whose tool it is
};

}  // namespace quillaro::win32
