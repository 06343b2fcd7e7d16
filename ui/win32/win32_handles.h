// Owning wrappers for the GDI and USER handles the window creates.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace quillaro::win32 {

struct MenuDeleter {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};

using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

}  // namespace quillaro::win32
