#include "apply_level.h"

#include "levels.h"
#include "registry_ops.h"

namespace quillaro {

bool ApplyLevel(RegistryApi& api, const std::optional<DeviceKeys>& device, int position) {
    const std::optional<LevelValues> values = ValuesForPosition(position);
    if (!device || !values) return false;
    bool stored = false;
    {
        MachineKey mixer(api, device->mixerKeyPath);
        stored = WriteDwordValue(api, mixer.handle(), kAccelerationValue, values->acceleration);
    }
    MachineKey presence(api, device->presenceKeyPath);
    // Both values are always attempted, so one refused write does not leave the other stale.
    const bool vxd = WriteDwordValue(api, presence.handle(), kVxdValue, values->vxd);
    const bool wdm = WriteDwordValue(api, presence.handle(), kWdmValue, values->wdm);
    return stored && vxd && wdm;
}

}  // namespace quillaro
