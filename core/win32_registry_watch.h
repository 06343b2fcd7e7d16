// Watching the registry for changes made by any program, this one included.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace quillaro {

// Watches a key below HKEY_LOCAL_MACHINE and everything under it for added or removed keys,
// changed values and changed permissions, and signals an event. While the key does not exist,
// the nearest existing key above it is watched instead, so its creation is seen too. The
// watched key stays open from one change to the next: it is the one registry handle the
// program keeps, closed when the watch goes.
class RegistryWatch {
public:
    explicit RegistryWatch(std::string path);
    RegistryWatch(const RegistryWatch&) = delete;
    RegistryWatch& operator=(const RegistryWatch&) = delete;

    // Signalled on a change, and until the next Arm; nullptr if no event could be made.
    HANDLE event() const { return event_.get(); }

    // Starts watching again from the nearest existing key. Call it after each signal and before
    // reading the registry, so that nothing changed in between goes unseen. False when no key
    // can be watched; the event is then never signalled.
    bool Arm();

    // The key watched now, relative to HKEY_LOCAL_MACHINE ("" for the root itself).
    const std::string& watchedPath() const { return watched_; }

private:
    struct EventCloser {
        void operator()(HANDLE event) const { CloseHandle(event); }
    };
    struct KeyCloser {
        void operator()(HKEY key) const { RegCloseKey(key); }
    };

    std::unique_ptr<std::remove_pointer_t<HANDLE>, EventCloser> event_;
    std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser> key_;
    std::string path_;
    std::string watched_;
};

}  // namespace quillaro
