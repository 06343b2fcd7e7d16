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

}  // namespace

ScanResult ScanForDevice(RegistryApi& api) {
    const std::string pciPath(kPciEnumPath);
    ScanResult result;
    for (const std::string& deviceName : ListSubkeyNames(api, pciPath)) {
        if (deviceName.empty()) continue;
        const std::string deviceKey = pciPath + "\\" + deviceName;
        // Only the first instance the registry enumerates is looked at, so only it is asked for.
        const std::string instance = FirstSubkeyName(api, deviceKey);
        if (instance.empty()) continue;
        const std::string instanceKey = deviceKey + "\\" + instance;
        DeviceKeys device{instanceKey + "\\DirectSound\\Mixer Defaults",
                          instanceKey + "\\DirectSound\\Device Presence"};
        const LevelCode code = ReadLevelCode(api, device.mixerKeyPath, kAccelerationValue);
        if (code == LevelCode::Unusable) continue;
        // A later usable device replaces an earlier one, and with it the level shown.
        result.level = LevelForCode(api, device, code);
        result.device = std::move(device);
    }
    result.writable = result.device && KeyAcceptsWrites(api, result.device->mixerKeyPath) &&
                      KeyAcceptsWrites(api, result.device->presenceKeyPath);
    return result;
}

std::optional<AccelerationLevel> ReadDeviceLevel(RegistryApi& api, const DeviceKeys& device) {
    return LevelForCode(api, device, ReadLevelCode(api, device.mixerKeyPath, kAccelerationValue));
}

}  // namespace quillaro
