// Writing a chosen level into the controlled device's keys.
#pragma once

#include <optional>

#include "registry_api.h"
#include "startup_scan.h"

namespace quillaro {

// Writes the values of the level at a slider position: "Acceleration" into the mixer key,
// then "VxD" and "WDM" into the presence key, each key opened and closed here. Writes nothing
// without a device or for a position outside 0..3. True only when both keys opened and all
// three writes were accepted.
bool ApplyLevel(RegistryApi& api, const std::optional<DeviceKeys>& device, int position);

}  // namespace quillaro
