// The program's message loop: window messages, and the registry's change signal.
#pragma once

#include "form1.h"
#include "win32_registry_watch.h"

namespace quillaro::win32 {

// Dispatches window messages until WM_QUIT and returns its exit code. Whenever the watch
// signals, it watches again and then lets the window show what the registry holds now. A
// signal that arrives while a modal loop runs (a pop-up menu, a dragged window) waits for it.
int RunMessageLoop(RegistryWatch& watch, Form1& form);

}  // namespace quillaro::win32
