#include "control_tooltip.h"

#include <commctrl.h>

#include <cstddef>

namespace quillaro::win32 {

namespace {

// The window's tool over the disabled control's rectangle.
constexpr UINT_PTR kRectangleToolId = 1;

// TTTOOLINFOA_V2_SIZE, the record up to lParam, in a form the compiler can check: what the common
// controls of Windows 2000 (5.81) accept. The headers' whole record ends in lpReserved, which
// only version 6 knows; the older versions refuse a tool of that size.
constexpr UINT kToolInfoSize = offsetof(TTTOOLINFOA, lParam) + sizeof(LPARAM);
static_assert(kToolInfoSize == (sizeof(void*) == 4 ? 44 : 64), "the record up to lParam");

}  // namespace

bool ControlTooltip::Create(HINSTANCE instance, HWND window, int maxWidth) {
    window_ = window;
    // Always a tip, the window active or not; the text shown as it is, an apostrophe included.
    tip_.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                               instance, nullptr));
    if (!tip_) return false;
    // With a width the tip breaks its lines at CR LF; without one it shows only the first line.
    SendMessageA(tip_.get(), TTM_SETMAXTIPWIDTH, 0, maxWidth);
    return true;
}

void ControlTooltip::Say(HWND control, bool enabled, const char* text) {
    if (!tip_) return;
    const Tool wanted = !text ? Tool::None : enabled ? Tool::Control : Tool::Rectangle;
    TTTOOLINFOA tool{};
    tool.cbSize = kToolInfoSize;
    tool.hwnd = window_;
    const auto identify = [&](Tool kind, HWND of) {
        tool.uFlags = kind == Tool::Control ? TTF_IDISHWND : 0;
        tool.uId = kind == Tool::Control ? reinterpret_cast<UINT_PTR>(of) : kRectangleToolId;
    };
    const LPARAM record = reinterpret_cast<LPARAM>(&tool);
    if (tool_ != Tool::None && (tool_ != wanted || control_ != control)) {
        identify(tool_, control_);
        SendMessageA(tip_.get(), TTM_DELTOOLA, 0, record);
        tool_ = Tool::None;
    }
    if (wanted == Tool::None) return;
    identify(wanted, control);
    tool.lpszText = const_cast<char*>(text);  // read, and copied by the tooltip
    if (tool_ == wanted) {
        SendMessageA(tip_.get(), TTM_UPDATETIPTEXTA, 0, record);
        return;
    }
    // The tooltip watches the tool's mouse messages itself, and hides at a button pressed there,
    // so a drag of the thumb is never hidden under it. The disabled control's rectangle is taken
    // as laid out, in the window's client coordinates, so it holds at every display scale.
    tool.uFlags |= TTF_SUBCLASS;
    if (wanted == Tool::Rectangle) {
        GetWindowRect(control, &tool.rect);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&tool.rect), 2);
    }
    if (SendMessageA(tip_.get(), TTM_ADDTOOLA, 0, record) == FALSE) return;
    tool_ = wanted;
    control_ = control;
}

void ControlTooltip::OwnerDestroyed() {
    // An owner's windows go with it; the handle is never destroyed again.
    (void)tip_.release();
    tool_ = Tool::None;
}

}  // namespace quillaro::win32
