#include "win32_registry.h"

#include <windows.h>

namespace quillaro {

namespace {

// Registry handles, the predefined roots among them, fit in 32 bits on 64-bit Windows too:
// widening sign-extends them the way the system defines HKEY_LOCAL_MACHINE.
HKEY ToHkey(KeyHandle key) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(key)));
}

KeyHandle FromHkey(HKEY key) {
    return static_cast<KeyHandle>(reinterpret_cast<ULONG_PTR>(key));
}

static_assert(kKeyAllAccess == KEY_ALL_ACCESS);
static_assert(kKeyRead == KEY_READ);
static_assert(kKeySetValue == KEY_SET_VALUE);
static_assert(kErrorMoreData == ERROR_MORE_DATA);

}  // namespace

std::int32_t Win32Registry::OpenKeyEx(KeyHandle root, const char* subKey, std::uint32_t options,
                                      std::uint32_t access, KeyHandle* result) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(ToHkey(root), subKey, options, access, &opened);
    *result = status == ERROR_SUCCESS ? FromHkey(opened) : 0;
    return status;
}

std::int32_t Win32Registry::QueryInfoKey(KeyHandle key, std::uint32_t* subKeys,
                                         std::uint32_t* maxSubKeyLength) {
    DWORD count = 0, longest = 0, maxClass = 0, values = 0, maxValueName = 0, maxValueData = 0,
          securityDescriptor = 0;
    FILETIME lastWrite{};
    // The class is not asked for: a key with a class would otherwise fail on a short buffer.
    const LONG status = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &count,
                                         &longest, &maxClass, &values, &maxValueName,
                                         &maxValueData, &securityDescriptor, &lastWrite);
    *subKeys = count;
    *maxSubKeyLength = longest;
    return status;
}

std::int32_t Win32Registry::EnumKeyEx(KeyHandle key, std::uint32_t index, char* name,
                                      std::uint32_t* nameLength) {
    DWORD length = *nameLength;
    FILETIME lastWrite{};
    const LONG status =
        RegEnumKeyExA(ToHkey(key), index, name, &length, nullptr, nullptr, nullptr, &lastWrite);
    *nameLength = length;
    return status;
}

std::int32_t Win32Registry::QueryValueEx(KeyHandle key, const char* valueName,
                                         std::uint32_t* type, std::byte* data,
                                         std::uint32_t* dataSize) {
    DWORD valueType = 0;
    DWORD size = *dataSize;
    const LONG status = RegQueryValueExA(ToHkey(key), valueName, nullptr, &valueType,
                                         reinterpret_cast<BYTE*>(data), &size);
    *type = valueType;
    *dataSize = size;
    return status;
}

std::int32_t Win32Registry::SetValueEx(KeyHandle key, const char* valueName, std::uint32_t type,
                                       const std::byte* data, std::uint32_t dataSize) {
    return RegSetValueExA(ToHkey(key), valueName, 0, type, reinterpret_cast<const BYTE*>(data),
                          dataSize);
}

std::int32_t Win32Registry::CloseKey(KeyHandle key) { return RegCloseKey(ToHkey(key)); }

}  // namespace quillaro
