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

RegistryWatch::Events::Events() {
    for (HANDLE& event : handles) event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

RegistryWatch::Events::~Events() {
    for (HANDLE event : handles)
        if (event) CloseHandle(event);
}

RegistryWatch::RegistryWatch(std::string_view path, Register reg) : register_(reg) {
    if (!path_.Assign(path)) path_.Clear();
}

bool RegistryWatch::Arm() {
    // Closing a key signals the notification pending on it, so the events are reset only after.
    key_.reset();
    parent_.reset();
    watched_.Clear();
    armed_ = false;
    if (!events_.made()) return false;
    for (HANDLE event : events_.handles) ResetEvent(event);
    Path candidate = path_;
    // Each round either watches or moves one key up, so it ends at the root at the latest.
    for (;;) {
        if (Watch(candidate)) {
            watched_ = candidate;
            armed_ = true;
            return true;
        }
        if (candidate.empty()) return false;
        ToParent(candidate);
    }
}

bool RegistryWatch::Watch(const Path& path) {
    auto watch = [&](UniqueKey& key, const Path& keyPath, BOOL subtree, DWORD changes,
                     HANDLE event, REGSAM access) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, access, &opened) !=
            ERROR_SUCCESS)
            return false;
        key.reset(opened);
        // Windows refuses the registration on a key deleted since it was opened
        // (ERROR_KEY_DELETED).
        return register_(opened, subtree, changes, event, TRUE) == ERROR_SUCCESS;
    };
    // Querying the watched key below needs KEY_QUERY_VALUE on Windows (Wine does not ask for it).
    if (!watch(key_, path, TRUE, kChanges, events_.handles[0], KEY_NOTIFY | KEY_QUERY_VALUE)) {
        key_.reset();
        return false;
    }
    if (path.empty()) return true;  // the root is never deleted
    Path parent = path;
    ToParent(parent);
    if (!watch(parent_, parent, FALSE, REG_NOTIFY_CHANGE_NAME, events_.handles[1], KEY_NOTIFY)) {
        key_.reset();
        parent_.reset();
        return false;
    }
    // A key deleted before its parent was watched would go unreported: ask the key held, not
    // the path, which another program may have created again meanwhile (a deleted key's handle
    // answers ERROR_KEY_DELETED). Where the answer tells nothing, signal: reading again is cheap.
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key_.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        SetEvent(events_.handles[1]);
    return true;
}

}  // namespace quillaro
