#include "control_tooltip.h"

#include <commctrl.h>

#include <cstddef>

namespace quillaro::win32 {

namespace {

// The window's one tool.
constexpr UINT_PTR kToolId = 1;

// TTTOOLINFOA_V2_SIZE, the record up to lParam, in a form the compiler can check: what the common
// controls of Windows 2000 (5.81) accept. The headers' whole record ends in lpReserved, which
// only version 6 knows; the older versions refuse a tool of that size.
constexpr UINT kToolInfoSize = offsetof(TTTOOLINFOA, lParam) + sizeof(LPARAM);
static_assert(kToolInfoSize == (sizeof(void*) == 4 ? 44 : 64), "the record up to lParam");

}  // namespace

bool ControlTooltip::Create(HINSTANCE instance, HWND window) {
    window_ = window;
    // Always a tip, the window active or not; the text shown as it is, an apostrophe included.
    tip_.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                               instance, nullptr));
    return tip_ != nullptr;
}

void ControlTooltip::Say(HWND control, const char* text) {
    if (!tip_) return;
    TTTOOLINFOA tool{};
    tool.cbSize = kToolInfoSize;
    tool.hwnd = window_;
    tool.uId = kToolId;
    const LPARAM record = reinterpret_cast<LPARAM>(&tool);
    if (!text) {
        if (hasTool_) SendMessageA(tip_.get(), TTM_DELTOOLA, 0, record);
        hasTool_ = false;
        return;
    }
    tool.lpszText = const_cast<char*>(text);  // read, and copied by the tooltip
    if (hasTool_) {
        SendMessageA(tip_.get(), TTM_UPDATETIPTEXTA, 0, record);
        return;
    }
    // The tooltip watches the window's mouse messages itself. The control's rectangle is taken
    // as laid out, in the window's client coordinates, so it holds at every display scale.
    tool.uFlags = TTF_SUBCLASS;
    GetWindowRect(control, &tool.rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&tool.rect), 2);
    hasTool_ = SendMessageA(tip_.get(), TTM_ADDTOOLA, 0, record) != FALSE;
}

void ControlTooltip::OwnerDestroyed() {
    // An owner's windows go with it; the handle is never destroyed again.
    (void)tip_.release();
    hasTool_ = false;
}

}  // namespace quillaro::win32
