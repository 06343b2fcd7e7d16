#include "registry_ops.h"

#include <array>

namespace quillaro {

MachineKey::MachineKey(RegistryApi& api, const std::string& path, std::uint32_t access)
    : api_(api) {
    KeyHandle opened = 0;
    if (api_.OpenKeyEx(kHkeyLocalMachine, path.c_str(), 0, access, &opened) ==
        kErrorSuccess)
        handle_ = opened;
}

MachineKey::~MachineKey() {
    if (handle_ != 0) api_.CloseKey(handle_);
}

namespace {

// Key names are at most 255 characters; in a double-byte ANSI code page that can take twice
// as many bytes as the character count the registry reports.
constexpr std::uint32_t kLargestAnsiKeyName = 2 * 255 + 1;

// The name at index, or "" when it cannot be had.
std::string EnumerateName(RegistryApi& api, KeyHandle key, std::uint32_t index,
                          std::uint32_t bufferSize) {
    std::string buffer(bufferSize, '\0');
    std::uint32_t length = bufferSize;
    std::int32_t result = api.EnumKeyEx(key, index, buffer.data(), &length);
    if (result == kErrorMoreData && bufferSize < kLargestAnsiKeyName)
        return EnumerateName(api, key, index, kLargestAnsiKeyName);
    if (result != kErrorSuccess) return {};
    // The name ends at the first NUL the registry wrote, and never past the buffer.
    buffer.resize(buffer.find('\0') == std::string::npos ? bufferSize : buffer.find('\0'));
    return buffer;
}

// The names of at most `most` leading subkeys.
std::vector<std::string> LeadingSubkeyNames(RegistryApi& api, const std::string& path,
                                            std::uint32_t most) {
    MachineKey key(api, path);
    if (!key.isOpen()) return {};
    std::uint32_t count = 0;
    std::uint32_t longest = 0;
    if (api.QueryInfoKey(key.handle(), &count, &longest) != kErrorSuccess) return {};
    if (count > most) count = most;
    std::vector<std::string> names;
    names.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        names.push_back(EnumerateName(api, key.handle(), i, longest + 1));
    return names;
}

}  // namespace

std::vector<std::string> ListSubkeyNames(RegistryApi& api, const std::string& path) {
    return LeadingSubkeyNames(api, path, UINT32_MAX);
}

std::string FirstSubkeyName(RegistryApi& api, const std::string& path) {
    std::vector<std::string> first = LeadingSubkeyNames(api, path, 1);
    return first.empty() ? std::string() : std::move(first.front());
}

bool KeyAcceptsWrites(RegistryApi& api, const std::string& path) {
    return MachineKey(api, path, kKeySetValue).isOpen();
}

LevelCode ReadLevelCode(RegistryApi& api, const std::string& path, std::string_view valueName) {
    MachineKey key(api, path);
    if (!key.isOpen()) return LevelCode::Unusable;
    std::array<std::byte, 4> buffer{};
    std::uint32_t size = buffer.size();
    std::uint32_t type = 0;
    const std::string name(valueName);
    const bool ok =
        api.QueryValueEx(key.handle(), name.c_str(), &type, buffer.data(), &size) ==
        kErrorSuccess;
    return ClassifyStoredValue(ok && size <= buffer.size(), type,
                               std::span<const std::byte>(buffer.data(), ok ? size : 0));
}

bool WriteDwordValue(RegistryApi& api, KeyHandle key, std::string_view valueName,
                     std::uint32_t value) {
    if (key == 0) return false;
    const std::array<std::byte, 4> bytes{
        std::byte(value & 0xFF), std::byte((value >> 8) & 0xFF),
        std::byte((value >> 16) & 0xFF), std::byte((value >> 24) & 0xFF)};
    const std::string name(valueName);
    return api.SetValueEx(key, name.c_str(), kRegDword, bytes.data(), bytes.size()) ==
           kErrorSuccess;
}

}  // namespace quillaro
