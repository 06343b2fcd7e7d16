#include "com_apartment.h"

namespace quillaro::win32 {

ComApartment::~ComApartment() {
    // Closes every connection still open to this thread's objects; ole32 is freed after it.
    if (leave_) leave_();
}

bool ComApartment::Enter() {
    if (entered_) return true;
    if (!ole32_) ole32_ = LoadSystemLibrary("ole32.dll");
    const auto enter = LibraryFunction<CoInitializeExFn>(ole32_.get(), "CoInitializeEx");
    const auto leave = LibraryFunction<CoUninitializeFn>(ole32_.get(), "CoUninitialize");
    if (!enter || !leave) return false;
    // LresultFromObject marshals the object through COM, which fails on a thread that has not
    // entered an apartment. A window's thread takes a single-threaded one: calls from clients
    // then arrive through its message loop, one at a time, as its window messages do.
    const HRESULT entered = enter(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(entered)) {
        leave_ = leave;  // S_FALSE too: every successful entry is undone once
    } else if (entered != RPC_E_CHANGED_MODE) {
        return false;
    }
    // RPC_E_CHANGED_MODE: the thread is in COM already, by another's entry, not to be undone.
    entered_ = true;
    return true;
}

}  // namespace quillaro::win32
