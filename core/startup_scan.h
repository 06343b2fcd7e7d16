// Finding the sound device at start-up and the level it is set to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "levels.h"
#include "registry_api.h"

namespace quillaro {

inline constexpr std::string_view kPciEnumPath =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum\\PCI";

// The two DirectSound keys of the controlled device, relative to HKEY_LOCAL_MACHINE.
struct DeviceKeys {
    std::string mixerKeyPath;     // holds "Acceleration"
    std::string presenceKeyPath;  // holds "VxD" and "WDM"
    friend bool operator==(const DeviceKeys&, const DeviceKeys&) = default;
};

struct ScanResult {
    // The device to control: the last PCI device, in enumeration order, whose first instance
    // holds a usable "Acceleration". Nothing when no device does.
    std::optional<DeviceKeys> device;
    // That device's level; nothing when no device was found or its values name no level.
    std::optional<AccelerationLevel> level;
    // Whether both of the device's keys may be written; false without a device.
    bool writable = false;
};

// Walks every PCI device's first instance, then checks that the chosen device's keys may be
// written by opening them for that and closing them again. Never writes.
ScanResult ScanForDevice(RegistryApi& api);

// The level a device's keys hold now; nothing when they hold no level of the table.
std::optional<AccelerationLevel> ReadDeviceLevel(RegistryApi& api, const DeviceKeys& device);

}  // namespace quillaro
