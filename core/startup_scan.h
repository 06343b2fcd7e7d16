// Finding the sound device at start-up and the level it is set to.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "bounded_text.h"
#include "device_name.h"
#include "levels.h"
#include "registry_api.h"

namespace quillaro {

inline constexpr char kPciEnumKey[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum\\PCI";
inline constexpr std::string_view kPciEnumPath = kPciEnumKey;

// The two DirectSound keys of a device instance, below the instance's key.
inline constexpr std::string_view kMixerKey = "DirectSound\\Mixer Defaults";
inline constexpr std::string_view kPresenceKey = "DirectSound\\Device Presence";

// The longest key path the scan puts together: PCI\<device>\<instance>\ and the longer of the
// two DirectSound keys, with both names at the largest a key name can take.
inline constexpr std::size_t kLongestDeviceKeyPath =
    kPciEnumPath.size() + 1 + kLargestAnsiKeyName + 1 + kLargestAnsiKeyName + 1 +
    (kMixerKey.size() > kPresenceKey.size() ? kMixerKey.size() : kPresenceKey.size());

using KeyPath = BoundedText<kLongestDeviceKeyPath>;

// The two DirectSound keys of the controlled device, relative to HKEY_LOCAL_MACHINE.
struct DeviceKeys {
    KeyPath mixerKeyPath;     // holds "Acceleration"
    KeyPath presenceKeyPath;  // holds "VxD" and "WDM"
    friend bool operator==(const DeviceKeys&, const DeviceKeys&) = default;
};

// Why the controlled device's level may not be written, as the scan learnt it.
enum class WriteRefusal {
    None,          // both keys open for writing
    NoDevice,      // no device holds a usable "Acceleration"
    NotPermitted,  // both keys are there, and this account may not write one or both of them
    Incomplete,    // a key is missing, so not even an administrator could write a whole level
};

struct ScanResult {
    // The device to control: the last PCI device, in enumeration order, whose first instance
    // holds a usable "Acceleration". Nothing when no device does.
    std::optional<DeviceKeys> device;
    // That device's level; nothing when no device was found or its values name no level.
    std::optional<AccelerationLevel> level;
    // Why a level may not be written to that device; None when both of its keys may be.
    WriteRefusal refusal = WriteRefusal::NoDevice;
    // That device's name as the user knows it; empty when no device was found.
    DeviceName name;
    // How many other devices hold a usable "Acceleration", each keeping its own level.
    std::uint32_t otherDevices = 0;

    bool writable() const { return refusal == WriteRefusal::None; }
};

// Walks every PCI device's first instance, then checks that the chosen device's keys may be
// written by opening each for that and closing it again, and reads its name. Never writes. A
// device or instance whose name cannot be read whole is skipped.
ScanResult ScanForDevice(RegistryApi& api);

}  // namespace quillaro
