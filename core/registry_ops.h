// The registry operations everything above them is written in: open a key under
// HKEY_LOCAL_MACHINE, go through its subkeys' names, read a level code, write a DWORD.
#pragma once

#include <cstdint>

#include "bounded_text.h"
#include "levels.h"
#include "registry_api.h"
#include "terminated_text.h"

namespace quillaro {

// A subkey's name as RegEnumKeyExA gives it, in bytes.
using KeyName = BoundedText<kLargestAnsiKeyName>;

// A key under HKEY_LOCAL_MACHINE, closed when this goes out of scope. Reads ask for read access
// only, so a key the user may read but not change still shows its values.
class MachineKey {
public:
    MachineKey(RegistryApi& api, TerminatedText path, std::uint32_t access = kKeyRead);
    ~MachineKey();
    MachineKey(const MachineKey&) = delete;
    MachineKey& operator=(const MachineKey&) = delete;

    KeyHandle handle() const { return handle_; }
    bool isOpen() const { return handle_ != 0; }
    // What RegOpenKeyExA answered.
    std::int32_t status() const { return status_; }

private:
    RegistryApi& api_;
    KeyHandle handle_ = 0;
    std::int32_t status_ = kErrorSuccess;
};

// A key's subkeys, their names asked for one at a time by index, in the registry's enumeration
// order. The key stays open for reading while this lives. A key that does not open, or does
// not say how many subkeys it has, has none.
class SubkeyList {
public:
    SubkeyList(RegistryApi& api, TerminatedText path);

    std::uint32_t count() const { return count_; }

    // The name at index. False, and name empty, when it cannot be had: its enumeration fails
    // (a too short first buffer is retried once with room for the largest name), it is empty,
    // or it does not fit a KeyName. A name is never cut short.
    bool Read(std::uint32_t index, KeyName& name);

private:
    RegistryApi& api_;
    MachineKey key_;
    std::uint32_t count_ = 0;
    std::uint32_t firstRoom_ = 0;  // the buffer size asked with first, terminator included
};

// The first subkey the registry enumerates, asked for alone; false when there is none or it
// cannot be had.
bool FirstSubkeyName(RegistryApi& api, TerminatedText path, KeyName& name);

// Whether the key at path may have values set: RegOpenKeyExA's answer to opening it for that
// (kErrorSuccess when it may). The key is closed again at once; nothing is written.
std::int32_t CheckWriteAccess(RegistryApi& api, TerminatedText path);

// Reads a value of the key at path and classifies it.
LevelCode ReadLevelCode(RegistryApi& api, TerminatedText path, TerminatedText valueName);

// Stores a REG_DWORD in an open key; true when the registry accepted it.
bool WriteDwordValue(RegistryApi& api, KeyHandle key, TerminatedText valueName,
                     std::uint32_t value);

}  // namespace quillaro
