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
// the nearest existing key above it is watched instead, so its creation is seen too. The key
// above the watched one is watched for its list of subkeys, so the watched key's own deletion
// is seen as well (Wine reports it only there). The two keys stay open from one change to the
// next: they are the only registry handles the program keeps, closed when the watch goes.
class RegistryWatch {
public:
    // The path of a watched key, at most this many characters.
    static constexpr std::size_t kLongestPath = 255;
    using Path = BoundedText<kLongestPath>;
    // RegNotifyChangeKeyValue, or a stand-in for it in a test.
    using Register = LONG(WINAPI*)(HKEY key, BOOL subtree, DWORD filter, HANDLE event,
                                   BOOL asynchronous);
    // One event for each watched key: a registration resets its event, so two sharing one
    // could lose a change the first reported before the second was registered.
    static constexpr DWORD kEventCount = 2;

    // A path too long to hold is watched from the root.
    explicit RegistryWatch(std::string_view path, Register reg = RegNotifyChangeKeyValue);
    RegistryWatch(const RegistryWatch&) = delete;
    RegistryWatch& operator=(const RegistryWatch&) = delete;

    // kEventCount events; any of them is signalled on a change, and stays so until the next
    // Arm. Never signalled while not armed.
    const HANDLE* events() const { return events_.handles; }

    // Starts watching again from the nearest existing key. Call it after each signal and before
    // reading the registry, so that nothing changed in between goes unseen. A key deleted while
    // it is being watched anew is given up for the key above it, up to the root, which cannot
    // go; a deletion too late to tell leaves an event signalled, so the caller reads and
    // watches once more. False only when not even the root could be watched (or no events be
    // made).
    bool Arm();
    bool armed() const { return armed_; }

    // The key watched now, relative to HKEY_LOCAL_MACHINE ("" for the root itself).
    std::string_view watchedPath() const { return watched_.view(); }

private:
    struct KeyCloser {
        void operator()(HKEY key) const { RegCloseKey(key); }
    };
    using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

    // Manual reset: a change stays signalled until it has been handled, however long a modal
    // loop (a pop-up menu, a dragged window) keeps the message loop from looking.
    struct Events {
        Events();
        ~Events();
        Events(const Events&) = delete;
        Events& operator=(const Events&) = delete;
        bool made() const { return handles[0] && handles[1]; }
        HANDLE handles[kEventCount]{};
    };

    bool Watch(const Path& path);

    Events events_;
    UniqueKey key_;     // watched with everything below it
    UniqueKey parent_;  // watched for its subkeys coming and going
    Register register_;
    Path path_;
    Path watched_;
    bool armed_ = false;
};

}  // namespace quillaro
