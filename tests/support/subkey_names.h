// The names of a key's subkeys as the program reads them, gathered for a test to compare.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry_ops.h"

namespace quillaro::testing {

// Every subkey name of the key at path in enumeration order; "" for one that cannot be had.
inline std::vector<std::string> SubkeyNames(RegistryApi& api, const std::string& path) {
    SubkeyList subkeys(api, path);
    std::vector<std::string> names;
    KeyName name;
    for (std::uint32_t i = 0; i < subkeys.count(); ++i)
        names.emplace_back(subkeys.Read(i, name) ? name.view() : std::string_view());
    return names;
}

}  // namespace quillaro::testing
