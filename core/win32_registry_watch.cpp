#include "win32_registry_watch.h"

#include <utility>

namespace quillaro {

namespace {
constexpr DWORD kChanges =
    REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
}

// Manual reset: a change stays signalled until it has been handled, however long a modal loop
// (a pop-up menu, a dragged window) keeps the message loop from looking.
RegistryWatch::RegistryWatch(std::string path)
    : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), path_(std::move(path)) {}

bool RegistryWatch::Arm() {
    // Closing a key signals the notification pending on it, so the event is reset only after.
    key_.reset();
    watched_.clear();
    if (!event_) return false;
    ResetEvent(event_.get());
    std::string candidate = path_;
    for (;;) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, candidate.c_str(), 0, KEY_NOTIFY, &opened) ==
            ERROR_SUCCESS) {
            key_.reset(opened);
            break;
        }
        if (candidate.empty()) return false;
        const std::size_t cut = candidate.rfind('\\');
        candidate.resize(cut == std::string::npos ? 0 : cut);
    }
    watched_ = std::move(candidate);
    return RegNotifyChangeKeyValue(key_.get(), TRUE, kChanges, event_.get(), TRUE) ==
           ERROR_SUCCESS;
}

}  // namespace quillaro
