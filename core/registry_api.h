// The registry calls the acceleration control makes, one method per platform function.
// The Windows build binds them to advapi32's ANSI entry points; tests use an in-memory registry.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillaro {

// A registry key handle, 32 bits wide; 0 means "not open".
using KeyHandle = std::uint32_t;

inline constexpr KeyHandle kHkeyLocalMachine = 0x80000002;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
// KEY_READ: query values, enumerate subkeys, be notified of changes.
inline constexpr std::uint32_t kKeyRead = 0x20019;
// KEY_QUERY_VALUE: read values, nothing else.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
// KEY_SET_VALUE: the one right writing a level needs.
inline constexpr std::uint32_t kKeySetValue = 0x0002;

inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorNoMoreItems = 259;

// A key name is at most 255 characters; in a double-byte ANSI code page RegEnumKeyExA can give
// twice as many bytes as that.
inline constexpr std::size_t kLongestKeyName = 255;
inline constexpr std::size_t kLargestAnsiKeyName = 2 * kLongestKeyName;  // bytes, no terminator

class RegistryApi {
public:
    // RegOpenKeyExA(root, subKey, options, access, result)
    virtual std::int32_t OpenKeyEx(KeyHandle root, const char* subKey, std::uint32_t options,
                                   std::uint32_t access, KeyHandle* result) = 0;

    // RegQueryInfoKeyA, asked for the number of subkeys and the length of the longest subkey
    // name in characters, without its terminator.
    virtual std::int32_t QueryInfoKey(KeyHandle key, std::uint32_t* subKeys,
                                      std::uint32_t* maxSubKeyLength) = 0;

    // RegEnumKeyExA(key, index, name, nameLength, 0, class buffer of size 0, last-write time).
    // *nameLength is the buffer size in characters on the way in and, on success, the length
    // of the name written (without its terminator) on the way out.
    virtual std::int32_t EnumKeyEx(KeyHandle key, std::uint32_t index, char* name,
                                   std::uint32_t* nameLength) = 0;

    // RegQueryValueExA(key, valueName, 0, type, data, dataSize)
    virtual std::int32_t QueryValueEx(KeyHandle key, const char* valueName, std::uint32_t* type,
                                      std::byte* data, std::uint32_t* dataSize) = 0;

    // RegSetValueExA(key, valueName, 0, type, data, dataSize)
    virtual std::int32_t SetValueEx(KeyHandle key, const char* valueName, std::uint32_t type,
                                    const std::byte* data, std::uint32_t dataSize) = 0;

    // RegCloseKey(key)
    virtual std::int32_t CloseKey(KeyHandle key) = 0;

protected:
    // Never deleted through this interface, so no destructor of it lands in a vtable.
    ~RegistryApi() = default;
};

}  // namespace quillaro
