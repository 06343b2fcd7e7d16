// COM on the window's thread, entered only when a client first needs it (a screen reader asking
// for the slider's accessible object) and left when this goes, after the window and its
// message loop: a user without a screen reader never loads COM.
#pragma once

#include <windows.h>

#include <objbase.h>

#include "library_search.h"

namespace quillaro::win32 {

class ComApartment {
public:
    ComApartment() = default;
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // A single-threaded apartment on this thread, entered once; true while COM can be used here.
    // Leaving it closes every connection clients elsewhere still hold to its objects.
    bool Enter();

private:
    using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
    using CoUninitializeFn = void(WINAPI*)();

    UniqueLibrary ole32_;
    bool entered_ = false;
    CoUninitializeFn leave_ = nullptr;  // set while this thread's entry is to be undone
};

}  // namespace quillaro::win32
