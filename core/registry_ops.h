// The four registry operations everything above them is written in: open a key under
// HKEY_LOCAL_MACHINE, list its subkeys, read a level code, write a DWORD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "levels.h"
#include "registry_api.h"

namespace quillaro {

// A key under HKEY_LOCAL_MACHINE, closed when this goes out of scope. Reads ask for read access
// only, so a key the user may read but not change still shows its values.
class MachineKey {
public:
    MachineKey(RegistryApi& api, const std::string& path, std::uint32_t access = kKeyRead);
    ~MachineKey();
    MachineKey(const MachineKey&) = delete;
    MachineKey& operator=(const MachineKey&) = delete;

    KeyHandle handle() const { return handle_; }
    bool isOpen() const { return handle_ != 0; }

private:
    RegistryApi& api_;
    KeyHandle handle_ = 0;
};

// The names of a key's subkeys in the registry's enumeration order. A name whose enumeration
// failed is left empty. A key that does not open, or that has no subkeys, gives no names.
std::vector<std::string> ListSubkeyNames(RegistryApi& api, const std::string& path);

// The first subkey the registry enumerates, asked for alone; "" when there is none or it cannot
// be had.
std::string FirstSubkeyName(RegistryApi& api, const std::string& path);

// Whether the key at path may have values set: opened for that and closed again, nothing written.
bool KeyAcceptsWrites(RegistryApi& api, const std::string& path);

// Reads a value of the key at path and classifies it.
LevelCode ReadLevelCode(RegistryApi& api, const std::string& path, std::string_view valueName);

// Stores a REG_DWORD in an open key; true when the registry accepted it.
bool WriteDwordValue(RegistryApi& api, KeyHandle key, std::string_view valueName,
                     std::uint32_t value);

}  // namespace quillaro
