// Seeds a demo PCI sound device set to Standard acceleration, with the name Windows would keep
// for it, so the program has a device to show and control when run under Wine. Prints the
// device's keys.
#include <cstdio>

#include "device_name.h"
#include "seeded_registry.h"
#include "startup_scan.h"

int main() {
    using quillaro::testing::SeededRegistry;
    const std::string names = "\\VEN_1274&DEV_5880&SUBSYS_80011274&REV_02\\3&61aaa01&0&28";
    const std::string instance = std::string(quillaro::kPciEnumPath) + names;
    const bool ok = SeededRegistry::SetDword(SeededRegistry::MixerPath(instance), "Acceleration", 8) &&
                    SeededRegistry::SetDword(SeededRegistry::PresencePath(instance), "VxD", 1) &&
                    SeededRegistry::SetDword(SeededRegistry::PresencePath(instance), "WDM", 1) &&
                    SeededRegistry::SetString(std::string(quillaro::kDeviceValuesPath) + names,
                                              "DeviceDesc", "Creative AudioPCI (ES1373)");
    std::printf("HKLM\\%s\nHKLM\\%s\n", SeededRegistry::MixerPath(instance).c_str(),
                SeededRegistry::PresencePath(instance).c_str());
    return ok ? 0 : 1;
}
