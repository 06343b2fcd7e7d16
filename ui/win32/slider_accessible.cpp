#include "slider_accessible.h"

#include <cstring>

namespace quillaro::win32 {

namespace {

// The interfaces this object answers for, declared here rather than taken from the SDK's
// libraries, which the program does not link.
constexpr GUID kIidAccessible{0x618736E0, 0x3C3D, 0x11CF,
                              {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// COM's own interfaces differ only in their first number: IUnknown's is 0.
constexpr GUID kIidUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr unsigned long kIidDispatch = 0x00020400;
// Windows' object answers for these too: its children, and the window it stands for.
constexpr unsigned long kIidEnumVariant = 0x00020404;
constexpr unsigned long kIidOleWindow = 0x00000114;

bool Same(REFIID a, const GUID& b) { return std::memcmp(&a, &b, sizeof b) == 0; }

// One of COM's own interfaces, by its first number.
bool IsCom(REFIID iid, unsigned long first) {
    return iid.Data1 == first && std::memcmp(&iid.Data2, &kIidUnknown.Data2,
                                             sizeof iid - sizeof iid.Data1) == 0;
}

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
    // An error code, read as clients read it: the trackbar answers instead.
    if (FAILED(static_cast<HRESULT>(answer))) return false;
    result = answer;
    return true;
}

void SliderAccessible::Disconnect() {
    if (disconnected_) return;
    disconnected_ = true;
    standard_.reset();
}

HRESULT SliderAccessible::Say(SliderFact fact, BSTR* string) const {
    if (!standard_) return CO_E_OBJNOTCONNECTED;
    if (!string) return E_POINTER;
    *string = nullptr;
    const char* text = facts_->AccessibleText(fact);
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
    if (IsCom(iid, 0) || IsCom(iid, kIidDispatch) || Same(iid, kIidAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    // Only these two are handed on: any other, such as a way of marshalling, would let Windows'
    // object stand in for this one.
    if (standard_ && (IsCom(iid, kIidEnumVariant) || IsCom(iid, kIidOleWindow)))
        return standard_->QueryInterface(iid, object);
    return E_NOINTERFACE;
}

}  // namespace quillaro::win32
