// The name a user knows the controlled sound device by, as Windows keeps it among the device's
// own values. The name only tells the user which device is meant: it decides nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "bounded_text.h"
#include "registry_api.h"

namespace quillaro {

// Where Windows keeps each PCI device instance's own values: readable by every account, written
// by none but the system. Its <device>\<instance> names are those of the hardware profile's.
inline constexpr std::string_view kDeviceValuesPath = "SYSTEM\\CurrentControlSet\\Enum\\PCI";

// The name's values, in the order they are asked for.
inline constexpr char kFriendlyNameValue[] = "FriendlyName";
inline constexpr char kDeviceDescValue[] = "DeviceDesc";

// The longest name shown, in bytes; a longer stored name is no name.
inline constexpr std::size_t kLongestDeviceName = 255;
using DeviceName = BoundedText<kLongestDeviceName>;

// The name of a PCI device instance, by the names of its keys: its "FriendlyName", else its
// "DeviceDesc", else "PCI\<device>", the hardware ID a user can look up (Windows' IDs are far
// shorter than a name may be; one too long for it leaves "PCI device"). Only a REG_SZ value
// counts, as the text itself or, in the indirect form Windows Vista and later store
// ("@oem7.inf,%desc%;Sound Card"), the part after its last ";" (none without one); a name that
// does not fit a DeviceName is none. The instance's key is opened to query values alone.
void ReadDeviceName(RegistryApi& api, std::string_view device, std::string_view instance,
                    DeviceName& name);

}  // namespace quillaro
