// Entry point: creates the one window and runs its message loop until it is closed. The
// program links no C runtime, so Windows starts it here.
#include <windows.h>

#include "com_apartment.h"
#include "form1_window.h"
#include "library_search.h"
#include "message_loop.h"
#include "single_instance.h"
#include "startup_scan.h"
#include "win32_registry.h"
#include "win32_registry_watch.h"

namespace {

int Run(HINSTANCE instance, int showCommand, quillaro::win32::SliderAccessible& accessible) {
    // Windows would take libraries from the program's folder, full paths notwithstanding.
    if (quillaro::win32::RedirectionBesideProgram()) return 1;
    quillaro::win32::RestrictLibrarySearch();

    // A second start only brings back the instance that runs.
    quillaro::win32::SingleInstance single;
    if (!single.Acquire()) return 0;

    if (!quillaro::win32::RegisterForm1Class(instance)) return 1;
    // Left when this returns: after the window is gone and its messages are done with.
    quillaro::win32::ComApartment com;

    // Watching starts before the first look at the registry, so no change slips between them.
    quillaro::RegistryWatch watch{quillaro::kPciEnumPath};
    watch.Arm();

    quillaro::Win32Registry registry;
    quillaro::win32::Form1Window form1(instance, registry, accessible, com);
    if (!form1.Create()) return 1;
    form1.ShowFirstTime(showCommand);
    return quillaro::win32::RunMessageLoop(watch, form1.form());
}

}  // namespace

// The show command is the starter's when it gave one, as the C runtime would pass it to
// WinMain; ExitProcess ends the process, which nothing else would. A 32-bit program starts with
// its stack aligned to 4 bytes only; the C runtime's start-up realigns it to 16, and Wine's
// 32-bit libraries depend on that (without it the registry's change signals never arrived in
// the 32-bit guest), so the entry point realigns it as the runtime would.
#if defined(__GNUC__) && defined(__i386__)
#define QUILLARO_REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define QUILLARO_REALIGN_STACK
#endif
extern "C" [[noreturn]] QUILLARO_REALIGN_STACK void QuillaroStart() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int showCommand =
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    // The slider's accessible object lives in this frame, which ExitProcess does not reuse: a
    // screen reader's code inside this process may hold it to the very end.
    quillaro::win32::SliderAccessible accessible;
    ExitProcess(static_cast<UINT>(Run(GetModuleHandleA(nullptr), showCommand, accessible)));
}
