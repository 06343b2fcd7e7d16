#include "startup_scan.h"

#include "registry_ops.h"

namespace quillaro {

namespace {

// The level shown for a device whose "Acceleration" gave a usable code.
std::optional<AccelerationLevel> LevelForCode(RegistryApi& api, const KeyPath& presenceKeyPath,
                                              LevelCode acceleration) {
    switch (acceleration) {
        case LevelCode::OffOrBasic:
            // Basic only when "VxD" reads exactly 1; anything else, missing included, is Off.
            return ReadLevelCode(api, presenceKeyPath, kVxdValue) ==
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

// The last usable device into result, and how many others there are; the PCI key is open
// while its subkeys are walked.
void FindDevice(RegistryApi& api, ScanResult& result) {
    std::uint32_t usable = 0;
    SubkeyList devices(api, kPciEnumKey);
    KeyName name;
    // Two paths rather than one DeviceKeys: the compiler would set up a new pair by copying a
    // zeroed pair kept in the file, 2 KiB of zeros.
    KeyPath mixer;
    KeyPath presence;
    for (std::uint32_t i = 0; i < devices.count(); ++i) {
        if (!devices.Read(i, name)) continue;
        // Put together in the mixer path: the device's key, then its first instance's.
        if (!mixer.Assign(kPciEnumPath) || !AppendSubkey(mixer, name.view())) continue;
        // Only the first instance the registry enumerates is looked at, so only it is asked for.
        if (!FirstSubkeyName(api, mixer, name) || !AppendSubkey(mixer, name.view())) continue;
        presence = mixer;
        if (!AppendSubkey(mixer, kMixerKey) || !AppendSubkey(presence, kPresenceKey)) continue;
        const LevelCode code = ReadLevelCode(api, mixer, kAccelerationValue);
        if (code == LevelCode::Unusable) continue;
        // A later usable device replaces an earlier one, and with it the level shown.
        ++usable;
        result.level = LevelForCode(api, presence, code);
        if (!result.device) result.device.emplace();
        result.device->mixerKeyPath = mixer;
        result.device->presenceKeyPath = presence;
    }
    if (usable > 0) result.otherDevices = usable - 1;
}

// The chosen device's name, from the names of its keys as they stand in its mixer path:
// PCI\<device>\<instance>\DirectSound\Mixer Defaults. Key names hold no backslash.
void ReadNameOf(RegistryApi& api, const DeviceKeys& device, DeviceName& name) {
    std::string_view names = device.mixerKeyPath.view();
    names.remove_prefix(kPciEnumPath.size() + kSeparator.size());
    names.remove_suffix(kSeparator.size() + kMixerKey.size());
    std::size_t between = 0;
    while (between < names.size() && names[between] != kSeparator.front()) ++between;
    const std::size_t after = between + kSeparator.size();
    ReadDeviceName(api, {names.data(), between}, {names.data() + after, names.size() - after}, name);
}

// Only a refusal of access says that the key is there and this account lacks the right. Any
// other failure to open it (above all, a key that is not there) leaves no key to write a level
// into, whoever asks.
WriteRefusal RefusalOf(std::int32_t opened) {
    if (opened == kErrorSuccess) return WriteRefusal::None;
    return opened == kErrorAccessDenied ? WriteRefusal::NotPermitted : WriteRefusal::Incomplete;
}

WriteRefusal CheckDevice(RegistryApi& api, const DeviceKeys& device) {
    // The presence key is asked even when the mixer key refuses: a key missing outweighs one
    // that may only be read. A writable device costs these two opens and nothing more.
    const WriteRefusal mixer = RefusalOf(CheckWriteAccess(api, device.mixerKeyPath));
    const WriteRefusal presence = RefusalOf(CheckWriteAccess(api, device.presenceKeyPath));
    if (mixer == WriteRefusal::Incomplete || presence == WriteRefusal::Incomplete)
        return WriteRefusal::Incomplete;
    return mixer != WriteRefusal::None ? mixer : presence;
}

}  // namespace

ScanResult ScanForDevice(RegistryApi& api) {
    ScanResult result;
    FindDevice(api, result);
    if (!result.device) return result;
    result.refusal = CheckDevice(api, *result.device);
    ReadNameOf(api, *result.device, result.name);
    return result;
}

}  // namespace quillaro
