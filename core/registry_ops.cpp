#include "registry_ops.h"

#include <array>
#include <span>

namespace quillaro {

MachineKey::MachineKey(RegistryApi& api, TerminatedText path, std::uint32_t access)
    : api_(api) {
    KeyHandle opened = 0;
    status_ = api_.OpenKeyEx(kHkeyLocalMachine, path.c_str(), 0, access, &opened);
    if (status_ == kErrorSuccess) handle_ = opened;
}

MachineKey::~MachineKey() {
    if (handle_ != 0) api_.CloseKey(handle_);
}

namespace {

// Room for the largest name a KeyName holds and its terminator.
constexpr std::uint32_t kLargestNameRoom = KeyName::kCapacity + 1;

}  // namespace

SubkeyList::SubkeyList(RegistryApi& api, TerminatedText path) : api_(api), key_(api, path) {
    std::uint32_t count = 0;
    std::uint32_t longest = 0;
    if (!key_.isOpen() || api_.QueryInfoKey(key_.handle(), &count, &longest) != kErrorSuccess)
        return;
    count_ = count;
    // The longest name the registry reports, in characters of a double-byte code page, can be
    // too short a buffer in bytes; Read then asks again with the largest room.
    firstRoom_ = longest < KeyName::kCapacity ? longest + 1 : kLargestNameRoom;
}

bool SubkeyList::Read(std::uint32_t index, KeyName& name) {
    name.Clear();
    if (index >= count_) return false;
    std::uint32_t room = firstRoom_;
    std::uint32_t length = room;
    std::int32_t result = api_.EnumKeyEx(key_.handle(), index, name.Buffer(), &length);
    if (result == kErrorMoreData && room < kLargestNameRoom) {
        room = kLargestNameRoom;
        length = room;
        result = api_.EnumKeyEx(key_.handle(), index, name.Buffer(), &length);
    }
    // The name ends at the first NUL the registry wrote, which must lie within the room it had.
    if (result != kErrorSuccess || !name.AdoptTerminated(room)) {
        name.Clear();
        return false;
    }
    return !name.empty();
}

bool FirstSubkeyName(RegistryApi& api, TerminatedText path, KeyName& name) {
    SubkeyList subkeys(api, path);
    if (subkeys.count() == 0) {
        name.Clear();
        return false;
    }
    return subkeys.Read(0, name);
}

std::int32_t CheckWriteAccess(RegistryApi& api, TerminatedText path) {
    return MachineKey(api, path, kKeySetValue).status();
}

LevelCode ReadLevelCode(RegistryApi& api, TerminatedText path, TerminatedText valueName) {
    MachineKey key(api, path);
    if (!key.isOpen()) return LevelCode::Unusable;
    std::array<std::byte, 4> buffer{};
    std::uint32_t size = buffer.size();
    std::uint32_t type = 0;
    const bool ok = api.QueryValueEx(key.handle(), valueName.c_str(), &type, buffer.data(),
                                     &size) == kErrorSuccess &&
                    size <= buffer.size();
    return ClassifyStoredValue(ok, type, std::span<const std::byte>(buffer.data(), ok ? size : 0));
}

bool WriteDwordValue(RegistryApi& api, KeyHandle key, TerminatedText valueName,
                     std::uint32_t value) {
    if (key == 0) return false;
    const std::array<std::byte, 4> bytes{
        std::byte(value & 0xFF), std::byte((value >> 8) & 0xFF),
        std::byte((value >> 16) & 0xFF), std::byte((value >> 24) & 0xFF)};
    return api.SetValueEx(key, valueName.c_str(), kRegDword, bytes.data(), bytes.size()) ==
           kErrorSuccess;
}

}  // namespace quillaro
