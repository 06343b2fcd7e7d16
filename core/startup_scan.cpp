#include "startup_scan.h"

#include "registry_ops.h"

namespace quillaro {

namespace {

// The level shown for a device whose "Acceleration" gave a usable code.
std::optional<AccelerationLevel> LevelForCode(RegistryApi& api, const DeviceKeys& device,
                                              LevelCode acceleration) {
    switch (acceleration) {
        case LevelCode::OffOrBasic:
            // Basic only when "VxD" reads exactly 1; anything else, missing included, is Off.
            return ReadLevelCode(api, device.presenceKeyPath, kVxdValue) ==
                           LevelCode::NoTableLevel
                       ? AccelerationLevel::Basic
                       : AccelerationLevel::Off;
        case LevelCode::Standard: return AccelerationLevel::Standard;
        case LevelCode::Full: return AccelerationLevel::Full;
        case LevelCode::NoTableLevel:
        case LevelCode::Unusable: break;
    }
    return std::nullopt;
}

constexpr std::string_view kSeparator = "\\";

// path\name; false when that does not fit.
bool AppendSubkey(KeyPath& path, std::string_view name) {
    return path.Append(kSeparator) && path.Append(name);
}

// The last usable device into result; the PCI key is open while its subkeys are walked.
void FindDevice(RegistryApi& api, ScanResult& result) {
    SubkeyList devices(api, kPciEnumKey);
    KeyName name;
    DeviceKeys device;
    for (std::uint32_t i = 0; i < devices.count(); ++i) {
        if (!devices.Read(i, name)) continue;
        // Put together in the mixer path: the device's key, then its first instance's.
        KeyPath& instanceKey = device.mixerKeyPath;
        if (!instanceKey.Assign(kPciEnumPath) || !AppendSubkey(instanceKey, name.view())) continue;
        // Only the first instance the registry enumerates is looked at, so only it is asked for.
        if (!FirstSubkeyName(api, instanceKey, name) || !AppendSubkey(instanceKey, name.view()))
            continue;
        device.presenceKeyPath = instanceKey;
        if (!AppendSubkey(device.mixerKeyPath, kMixerKey) ||
            !AppendSubkey(device.presenceKeyPath, kPresenceKey))
            continue;
        const LevelCode code = ReadLevelCode(api, device.mixerKeyPath, kAccelerationValue);
        if (code == LevelCode::Unusable) continue;
        // A later usable device replaces an earlier one, and with it the level shown.
        result.level = LevelForCode(api, device, code);
        result.device = device;
    }
}

}  // namespace

ScanResult ScanForDevice(RegistryApi& api) {
    ScanResult result;
    FindDevice(api, result);
    result.writable = result.device && KeyAcceptsWrites(api, result.device->mixerKeyPath) &&
                      KeyAcceptsWrites(api, result.device->presenceKeyPath);
    return result;
}

}  // namespace quillaro
