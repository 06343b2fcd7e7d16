// Watching the registry for changes made by any program, this one included.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>
#include <type_traits>

#include "bounded_text.h"

namespace quillaro {

// Watches a key below HKEY_LOCAL_MACHINE and everything under it for added or removed keys,
// changed values and changed permissions, and signals an event. While the key does not exist,
// the nearest existing key above it is watched instead, so its creation is seen too. The
// watched key stays open from one change to the next: it is the one registry handle the
// program keeps, closed when the watch goes.
class RegistryWatch {
public:
    // The path of a watched key, at most this many characters.
    static constexpr std::size_t kLongestPath = 1023;
    using Path = BoundedText<kLongestPath>;
    // RegNotifyChangeKeyValue, or a stand-in for it in a test.
    using Register = LONG(WINAPI*)(HKEY key, BOOL subtree, DWORD filter, HANDLE event,
                                   BOOL asynchronous);

    // A path too long to hold is watched from the root.
    explicit RegistryWatch(std::string_view path, Register reg = RegNotifyChangeKeyValue);
    RegistryWatch(const RegistryWatch&) = delete;
    RegistryWatch& operator=(const RegistryWatch&) = delete;

    // Signalled on a change, and until the next Arm; nullptr if no event could be made.
    HANDLE event() const { return event_.get(); }

    // Starts watching again from the nearest existing key. Call it after each signal and before
    // reading the registry, so that nothing changed in between goes unseen. A key deleted
    // between its opening and the registration is given up for the key above it, whose change
    // reports the deletion, up to the root, which cannot go. False only when not even the root
    // could be watched (or no event be made); the event is then never signalled.
    bool Arm();
    bool armed() const { return armed_; }

    // The key watched now, relative to HKEY_LOCAL_MACHINE ("" for the root itself).
    std::string_view watchedPath() const { return watched_.view(); }

private:
    struct EventCloser {
        void operator()(HANDLE event) const { CloseHandle(event); }
    };
    struct KeyCloser {
        void operator()(HKEY key) const { RegCloseKey(key); }
    };

    std::unique_ptr<std::remove_pointer_t<HANDLE>, EventCloser> event_;
    std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser> key_;
    Register register_;
    Path path_;
    Path watched_;
    bool armed_ = false;
};

}  // namespace quillaro
