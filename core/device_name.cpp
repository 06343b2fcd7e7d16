#include "device_name.h"

#include "registry_ops.h"
#include "startup_scan.h"

namespace quillaro {

namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::string_view kSeparator = "\\";

// The values' path is the hardware profile's PCI path without the profile: taken from that
// text, so the file holds it once.
constexpr std::string_view kValuesRoot = kPciEnumPath.substr(0, 6);
constexpr std::string_view kValuesBranch = kPciEnumPath.substr(kPciEnumPath.size() - 27);
static_assert(kDeviceValuesPath.substr(0, 6) == kValuesRoot &&
              kDeviceValuesPath.substr(6) == kValuesBranch);

// A name value as stored, the indirect form's prefix included.
using StoredText = BoundedText<2 * kLargestAnsiKeyName>;
using DeviceValuesPath =
    BoundedText<kDeviceValuesPath.size() + 1 + kLargestAnsiKeyName + 1 + kLargestAnsiKeyName>;

// The name in a value as stored: the text itself, or the part after the last ";" of the
// indirect form Windows Vista and later store ("@oem7.inf,%desc%;Sound Card"). False when that
// leaves no name (empty, or "@" without ";") or it does not fit a DeviceName.
bool NameFromStoredText(std::string_view stored, DeviceName& name) {
    if (!stored.empty() && stored.front() == '@') {
        // The name follows the last ";"; without one there is none.
        std::size_t start = stored.size();
        while (start > 0 && stored[start - 1] != ';') --start;
        stored = start == 0 ? std::string_view{}
                            : std::string_view(stored.data() + start, stored.size() - start);
    }
    if (!stored.empty() && name.Assign(stored)) return true;
    name.Clear();
    return false;
}

// The name in one value of the open key; false when it holds none.
bool ReadNameValue(RegistryApi& api, KeyHandle key, const char* valueName, DeviceName& name) {
    StoredText stored;
    std::uint32_t type = 0;
    // RegQueryValueExA stores a string as it was written, with or without its terminator, so
    // the room for one is kept back here and the text terminated after what was delivered.
    std::uint32_t size = StoredText::kCapacity;
    if (api.QueryValueEx(key, valueName, &type, reinterpret_cast<std::byte*>(stored.Buffer()),
                         &size) != kErrorSuccess ||
        type != kRegSz || size > StoredText::kCapacity)
        return false;
    stored.Buffer()[size] = '\0';
    return stored.AdoptTerminated(size + 1) && NameFromStoredText(stored.view(), name);
}

}  // namespace

void ReadDeviceName(RegistryApi& api, std::string_view device, std::string_view instance,
                    DeviceName& name) {
    DeviceValuesPath path;
    bool fits = true;
    for (std::string_view part :
         {kValuesRoot, kValuesBranch, kSeparator, device, kSeparator, instance})
        fits = fits && path.Append(part);
    if (fits) {
        const MachineKey key(api, path, kKeyQueryValue);
        if (key.isOpen() && (ReadNameValue(api, key.handle(), kFriendlyNameValue, name) ||
                             ReadNameValue(api, key.handle(), kDeviceDescValue, name)))
            return;
    }
    if (name.Assign("PCI\\") && name.Append(device)) return;
    (void)name.Assign("PCI device");
}

}  // namespace quillaro
