// Entry point: creates the one window and runs its message loop until it is closed.
#include <windows.h>
#include <commctrl.h>

#include "form1_window.h"
#include "library_search.h"
#include "win32_registry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    quillaro::win32::RestrictLibrarySearch();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    if (!quillaro::win32::RegisterForm1Class(instance)) return 1;

    quillaro::Win32Registry registry;
    quillaro::win32::Form1Window form1(instance, registry);
    if (!form1.Create()) return 1;
    form1.ShowFirstTime(showCommand);

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
