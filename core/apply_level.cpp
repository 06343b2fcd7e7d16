#include "apply_level.h"

#include "levels.h"
#include "registry_ops.h"

namespace quillaro {

bool ApplyLevel(RegistryApi& api, const std::optional<DeviceKeys>& device, int position) {
    const std::optional<LevelValues> values = ValuesForPosition(position);
    if (!device || !values) return false;
    MachineKey mixer(api, device->mixerKeyPath, kKeySetValue);
    MachineKey presence(api, device->presenceKeyPath, kKeySetValue);
    if (!mixer.isOpen() || !presence.isOpen()) return false;
    return WriteDwordValue(api, mixer.handle(), kAccelerationValue, values->acceleration) &&
           WriteDwordValue(api, presence.handle(), kVxdValue, values->vxd) &&
           WriteDwordValue(api, presence.handle(), kWdmValue, values->wdm);
}

}  // namespace quillaro
