#include "slider_accessible.h"

#include <cstring>

namespace quillaro::win32 {

namespace {

// The interfaces this object answers for, declared here rather than taken from the SDK's
// libraries, which the program does not link.
constexpr GUID kIidUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidAccessible{0x618736E0, 0x3C3D, 0x11CF,
                              {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// Windows' object answers for these too: its children, and the window it stands for.
constexpr GUID kIidEnumVariant{0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidOleWindow{0x00000114, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool Same(REFIID a, const GUID& b) { return std::memcmp(&a, &b, sizeof b) == 0; }

// The slider itself, not one of its parts (the thumb, the page areas).
bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

}  // namespace

bool SliderAccessible::Load() {
    if (lresultFromObject_ && allocString_) return true;
    // By full path, as every library the program loads while running.
    if (!oleacc_) oleacc_ = LoadSystemLibrary("oleacc.dll");
    if (!oleaut32_) oleaut32_ = LoadSystemLibrary("oleaut32.dll");
    createStandard_ =
        LibraryFunction<CreateStdAccessibleObjectFn>(oleacc_.get(), "CreateStdAccessibleObject");
    lresultFromObject_ = LibraryFunction<LresultFromObjectFn>(oleacc_.get(), "LresultFromObject");
    allocString_ = LibraryFunction<SysAllocStringLenFn>(oleaut32_.get(), "SysAllocStringLen");
    freeString_ = LibraryFunction<SysFreeStringFn>(oleaut32_.get(), "SysFreeString");
    if (createStandard_ && lresultFromObject_ && allocString_ && freeString_) return true;
    lresultFromObject_ = nullptr;
    return false;
}

bool SliderAccessible::Answer(HWND slider, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // The object id is 32 bits: 64-bit Windows may hand it over sign-extended or not.
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT) || disconnected_)
        return false;
    if (!facts_ || !Load() || !com_->Enter()) return false;
    if (!standard_) {
        void* made = nullptr;
        if (FAILED(createStandard_(slider, OBJID_CLIENT, kIidAccessible, &made)) || !made)
            return false;
        standard_.reset(static_cast<IAccessible*>(made));
    }
    const LRESULT answer =
        lresultFromObject_(kIidAccessible, wParam, static_cast<IAccessible*>(this));
    if (answer < 0) return false;  // an error code: the trackbar answers instead
    result = answer;
    return true;
}

void SliderAccessible::Disconnect() {
    if (disconnected_) return;
    disconnected_ = true;
    if (standard_) com_->DisconnectClients(static_cast<IAccessible*>(this));
    standard_.reset();
}

HRESULT SliderAccessible::Text(const char* text, BSTR* string) const {
    if (!string) return E_POINTER;
    *string = nullptr;
    // The texts are the program's own, in the ANSI code page as everything it shows.
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return E_FAIL;
    BSTR made = allocString_(nullptr, static_cast<UINT>(length - 1));
    if (!made) return E_OUTOFMEMORY;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, made, length) != length) {
        freeString_(made);
        return E_FAIL;
    }
    *string = made;
    return S_OK;
}

HRESULT SliderAccessible::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (Same(iid, kIidUnknown) || Same(iid, kIidDispatch) || Same(iid, kIidAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    // Only these two are handed on: any other, such as a way of marshalling, would let Windows'
    // object stand in for this one.
    if (standard_ && (Same(iid, kIidEnumVariant) || Same(iid, kIidOleWindow)))
        return standard_->QueryInterface(iid, object);
    return E_NOINTERFACE;
}

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

HRESULT SliderAccessible::get_accName(VARIANT child, BSTR* name) {
    if (standard_ && IsSelf(child)) return Text(facts_->AccessibleName(), name);
    QUILLARO_STANDARD(get_accName(child, name));
}
HRESULT SliderAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (standard_ && IsSelf(child)) return Text(facts_->AccessibleValue(), value);
    QUILLARO_STANDARD(get_accValue(child, value));
}
HRESULT SliderAccessible::get_accDescription(VARIANT child, BSTR* description) {
    if (standard_ && IsSelf(child)) return Text(facts_->AccessibleDescription(), description);
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
