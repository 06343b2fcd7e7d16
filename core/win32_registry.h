// The registry calls bound to advapi32's ANSI entry points.
#pragma once

#include "registry_api.h"

namespace quillaro {

class Win32Registry final : public RegistryApi {
public:
    std::int32_t OpenKeyEx(KeyHandle root, const char* subKey, std::uint32_t options,
                           std::uint32_t access, KeyHandle* result) override;
    std::int32_t QueryInfoKey(KeyHandle key, std::uint32_t* subKeys,
                              std::uint32_t* maxSubKeyLength) override;
    std::int32_t EnumKeyEx(KeyHandle key, std::uint32_t index, char* name,
                           std::uint32_t* nameLength) override;
    std::int32_t QueryValueEx(KeyHandle key, const char* valueName, std::uint32_t* type,
                              std::byte* data, std::uint32_t* dataSize) override;
    std::int32_t SetValueEx(KeyHandle key, const char* valueName, std::uint32_t type,
                            const std::byte* data, std::uint32_t dataSize) override;
    std::int32_t CloseKey(KeyHandle key) override;
};

}  // namespace quillaro
