// Everything the slider's accessible object does not say in its own words is Windows' object's
// answer: each of these hands the call on as it came, with Windows' object in place of this one.
// Built so that each is a jump (a tail call) with no frame of its own, so Windows' object runs
// on the stack its caller gave, as if called directly (see CMakeLists.txt). The slider's own
// texts are a call into this object's code, which aligns the stack for what it calls itself.
#include "slider_accessible.h"

namespace quillaro::win32 {

namespace {

// The slider itself, not one of its parts (the thumb, the page areas). An empty child means
// the object itself, as Windows' own objects take it.
bool IsSelf(const VARIANT& child) {
    return child.vt == VT_EMPTY || (child.vt == VT_I4 && child.lVal == CHILDID_SELF);
}

}  // namespace

// Whatever reaches the object once the slider is gone.
#define QUILLARO_STANDARD(call)                          \
    do {                                                 \
        if (!standard_) return CO_E_OBJNOTCONNECTED;     \
        return standard_->call;                          \
    } while (false)

HRESULT SliderAccessible::GetTypeInfoCount(UINT* count) {
    QUILLARO_STANDARD(GetTypeInfoCount(count));
}
HRESULT SliderAccessible::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
    QUILLARO_STANDARD(GetTypeInfo(index, locale, info));
}
HRESULT SliderAccessible::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                        DISPID* ids) {
    QUILLARO_STANDARD(GetIDsOfNames(iid, names, count, locale, ids));
}
HRESULT SliderAccessible::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                 DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                 UINT* argumentError) {
    QUILLARO_STANDARD(
        Invoke(id, iid, locale, flags, parameters, result, exception, argumentError));
}


// The slider itself in this program's words; its parts as Windows says them.
HRESULT SliderAccessible::get_accName(VARIANT child, BSTR* name) {
    if (IsSelf(child)) return Say(SliderFact::Name, name);
    QUILLARO_STANDARD(get_accName(child, name));
}
HRESULT SliderAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (IsSelf(child)) return Say(SliderFact::Value, value);
    QUILLARO_STANDARD(get_accValue(child, value));
}
HRESULT SliderAccessible::get_accDescription(VARIANT child, BSTR* description) {
    if (IsSelf(child)) return Say(SliderFact::Description, description);
    QUILLARO_STANDARD(get_accDescription(child, description));
}

HRESULT SliderAccessible::get_accParent(IDispatch** parent) {
    QUILLARO_STANDARD(get_accParent(parent));
}
HRESULT SliderAccessible::get_accChildCount(long* count) {
    QUILLARO_STANDARD(get_accChildCount(count));
}
HRESULT SliderAccessible::get_accChild(VARIANT child, IDispatch** object) {
    QUILLARO_STANDARD(get_accChild(child, object));
}
HRESULT SliderAccessible::get_accRole(VARIANT child, VARIANT* role) {
    QUILLARO_STANDARD(get_accRole(child, role));
}
HRESULT SliderAccessible::get_accState(VARIANT child, VARIANT* state) {
    QUILLARO_STANDARD(get_accState(child, state));
}
HRESULT SliderAccessible::get_accHelp(VARIANT child, BSTR* help) {
    QUILLARO_STANDARD(get_accHelp(child, help));
}
HRESULT SliderAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    QUILLARO_STANDARD(get_accHelpTopic(file, child, topic));
}
HRESULT SliderAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    QUILLARO_STANDARD(get_accKeyboardShortcut(child, shortcut));
}
HRESULT SliderAccessible::get_accFocus(VARIANT* child) { QUILLARO_STANDARD(get_accFocus(child)); }
HRESULT SliderAccessible::get_accSelection(VARIANT* children) {
    QUILLARO_STANDARD(get_accSelection(children));
}
HRESULT SliderAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    QUILLARO_STANDARD(get_accDefaultAction(child, action));
}
HRESULT SliderAccessible::accSelect(long flags, VARIANT child) {
    QUILLARO_STANDARD(accSelect(flags, child));
}
HRESULT SliderAccessible::accLocation(long* left, long* top, long* width, long* height,
                                      VARIANT child) {
    QUILLARO_STANDARD(accLocation(left, top, width, height, child));
}
HRESULT SliderAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    QUILLARO_STANDARD(accNavigate(direction, start, end));
}
HRESULT SliderAccessible::accHitTest(long left, long top, VARIANT* child) {
    QUILLARO_STANDARD(accHitTest(left, top, child));
}
HRESULT SliderAccessible::accDoDefaultAction(VARIANT child) {
    QUILLARO_STANDARD(accDoDefaultAction(child));
}
HRESULT SliderAccessible::put_accName(VARIANT child, BSTR name) {
    QUILLARO_STANDARD(put_accName(child, name));
}
HRESULT SliderAccessible::put_accValue(VARIANT child, BSTR value) {
    QUILLARO_STANDARD(put_accValue(child, value));
}

#undef QUILLARO_STANDARD

}  // namespace quillaro::win32
