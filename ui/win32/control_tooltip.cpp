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

bool ControlTooltip::Create(HINSTANCE instance, HWND window, HWND control, int maxWidth) {
    window_ = window;
    control_ = control;
    // Always a tip, the window active or not; the text shown as it is, an apostrophe included.
    tip_.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                               instance, nullptr));
    if (!tip_) return false;
    // With a width the tip breaks its lines at CR LF; without one it shows only the first line.
    SendMessageA(tip_.get(), TTM_SETMAXTIPWIDTH, 0, maxWidth);
    // The tooltip watches each tool's mouse messages itself, and hides at a button pressed
    // there, so a drag of the thumb is never hidden under it. The rectangle is the control's
    // as laid out, in the window's client coordinates, so it holds at every display scale. An
    // empty text shows nothing.
    TTTOOLINFOA tool{};
    tool.cbSize = kToolInfoSize;
    tool.hwnd = window_;
    tool.lpszText = const_cast<char*>("");
    tool.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    SendMessageA(tip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    tool.uFlags = TTF_SUBCLASS;
    tool.uId = kRectangleToolId;
    GetWindowRect(control, &tool.rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&tool.rect), 2);
    SendMessageA(tip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    return true;
}

void ControlTooltip::Say(const char* text) {
    if (!tip_) return;
    TTTOOLINFOA tool{};
    tool.cbSize = kToolInfoSize;
    tool.hwnd = window_;
    tool.lpszText = const_cast<char*>(text);  // read, and copied by the tooltip
    for (UINT_PTR id : {reinterpret_cast<UINT_PTR>(control_), kRectangleToolId}) {
        tool.uId = id;
        SendMessageA(tip_.get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void ControlTooltip::OwnerDestroyed() {
    // An owner's windows go with it; the handle is never destroyed again.
    (void)tip_.release();
}

}  // namespace quillaro::win32
