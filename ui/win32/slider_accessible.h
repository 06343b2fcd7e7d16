// What a screen reader learns of the slider: Windows' own accessible object for it, with its
// name, value and description said in words. Windows' object names the slider by the label
// before it, gives its position in percent, and has no description; this one names what the
// slider sets, says the level by name, and gives the slider's tooltip as its description.
// Everything else (role, state, location, focus, navigation, children) is Windows' answer.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <memory>

#include "com_apartment.h"
#include "library_search.h"

namespace quillaro::win32 {

// What the slider says of itself, asked anew at each question.
enum class SliderFact { Name, Value, Description };
class SliderFacts {
public:
    virtual const char* AccessibleText(SliderFact fact) const = 0;

protected:
    ~SliderFacts() = default;
};

// Windows' own object, released once.
struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
using UniqueAccessible = std::unique_ptr<IAccessible, ComReleaser>;

// Not freed when its last reference goes: its owner keeps it as long as any client may hold
// one (the program: until the process ends, longer than the window), and Disconnect cuts every
// client off from the slider when the slider goes.
class SliderAccessible final : public IAccessible {
public:
    SliderAccessible() = default;
    SliderAccessible(const SliderAccessible&) = delete;
    SliderAccessible& operator=(const SliderAccessible&) = delete;
    ~SliderAccessible() = default;

    // The slider it speaks for, and the apartment it is handed over through; both must stay
    // until Disconnect.
    void Serve(const SliderFacts& facts, ComApartment& com) {
        facts_ = &facts;
        com_ = &com;
    }
    // WM_GETOBJECT sent to the slider: true, with the answer in result, when it asks for the
    // slider's client object and this object could be handed over; false leaves the question
    // to the trackbar. The libraries and COM are loaded at the first question.
    bool Answer(HWND slider, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The slider is being destroyed: clients elsewhere are cut off, Windows' object is
    // released, and whatever still reaches this object is told it is no longer connected.
    void Disconnect();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return references_ > 0 ? --references_ : 0; }
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);
    using SysAllocStringLenFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
    using SysFreeStringFn = void(WINAPI*)(BSTR);

    bool Load();
    // One of the slider's own texts, as a string the client frees.
    HRESULT Say(SliderFact fact, BSTR* string) const;

    const SliderFacts* facts_ = nullptr;
    ComApartment* com_ = nullptr;
    UniqueLibrary oleacc_;
    UniqueLibrary oleaut32_;
    CreateStdAccessibleObjectFn createStandard_ = nullptr;
    LresultFromObjectFn lresultFromObject_ = nullptr;
    SysAllocStringLenFn allocString_ = nullptr;
    SysFreeStringFn freeString_ = nullptr;
    UniqueAccessible standard_;  // Windows' object for the slider, while connected
    bool disconnected_ = false;
    ULONG references_ = 0;
};

}  // namespace quillaro::win32
