// Writing a chosen level into the controlled device's keys.
#pragma once

#include <optional>

#include "registry_api.h"
#include "startup_scan.h"

namespace quillaro {

// Writes the values of the level at a slider position: "Acceleration" into the mixer key,
// then "VxD" and "WDM" into the presence key. Both keys are opened for writing before anything
// is written, so a key that is missing or refuses writes leaves the stored level whole; the
// writes stop at the first one refused. Writes nothing without a device or for a position
// outside 0..3. True only when all three writes were accepted.
bool ApplyLevel(RegistryApi& api, const std::optional<DeviceKeys>& device, int position);

}  // namespace quillaro
