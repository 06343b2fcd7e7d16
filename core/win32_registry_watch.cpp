#include "win32_registry_watch.h"

namespace quillaro {

namespace {

constexpr DWORD kChanges =
    REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;

// The key above path: path cut at its last backslash, or the root.
void ToParent(RegistryWatch::Path& path) {
    const std::size_t cut = path.view().rfind('\\');
    path.Shorten(cut == std::string_view::npos ? 0 : cut);
}

}  // namespace

// Manual reset: a change stays signalled until it has been handled, however long a modal loop
// (a pop-up menu, a dragged window) keeps the message loop from looking.
RegistryWatch::RegistryWatch(std::string_view path, Register reg)
    : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), register_(reg) {
    if (!path_.Assign(path)) path_.Clear();
}

bool RegistryWatch::Arm() {
    // Closing a key signals the notification pending on it, so the event is reset only after.
    key_.reset();
    watched_.Clear();
    armed_ = false;
    if (!event_) return false;
    ResetEvent(event_.get());
    Path candidate = path_;
    // Each round either registers or moves one key up, so it ends at the root at the latest.
    for (;;) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, candidate.c_str(), 0, KEY_NOTIFY, &opened) ==
            ERROR_SUCCESS) {
            key_.reset(opened);
            // Windows refuses the registration on a key deleted since it was opened
            // (ERROR_KEY_DELETED); its parent then watches for the key's return.
            if (register_(key_.get(), TRUE, kChanges, event_.get(), TRUE) == ERROR_SUCCESS) {
                watched_ = candidate;
                armed_ = true;
                return true;
            }
            key_.reset();
        }
        if (candidate.empty()) return false;
        ToParent(candidate);
    }
}

}  // namespace quillaro
