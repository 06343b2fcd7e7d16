#include "seeded_registry.h"

#include <windows.h>
#include <sddl.h>

#include "device_name.h"
#include "startup_scan.h"

namespace quillaro::testing {

SeededRegistry::~SeededRegistry() { RemoveAll(); }

void SeededRegistry::RemoveAll() {
    for (const std::string& device : devices_) RegDeleteTreeA(HKEY_LOCAL_MACHINE, device.c_str());
    devices_.clear();
}

bool SeededRegistry::CreateKey(const std::string& path) {
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                        REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool SeededRegistry::SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
    if (!CreateKey(path)) return false;
    const DWORD data = value;
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), REG_DWORD, &data,
                           sizeof data) == ERROR_SUCCESS;
}

std::optional<std::uint32_t> SeededRegistry::GetDword(const std::string& path, const std::string& name) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr,
                     &data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

bool SeededRegistry::KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

namespace {

bool SetKeyDacl(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    return status == ERROR_SUCCESS;
}

}  // namespace

// Everyone may read; deleting and changing the permissions stay allowed so tests can clean up.
bool SeededRegistry::MakeReadOnly(const std::string& path) {
    return SetKeyDacl(path, "D:P(A;;KRSDWD;;;WD)");
}

bool SeededRegistry::MakeWritable(const std::string& path) {
    return SetKeyDacl(path, "D:P(A;;KA;;;WD)");
}

std::string SeededRegistry::AddDeviceKey(const std::string& device) {
    const std::string path = std::string(kPciEnumPath) + "\\" + device;
    CreateKey(path);
    devices_.push_back(path);
    return path;
}

std::string SeededRegistry::AddDevice(const std::string& device, const std::string& instance,
                                      const DeviceValues& values) {
    const std::string instancePath = AddDeviceKey(device) + "\\" + instance;
    CreateKey(MixerPath(instancePath));
    CreateKey(PresencePath(instancePath));
    if (values.acceleration) SetDword(MixerPath(instancePath), "Acceleration", *values.acceleration);
    if (values.vxd) SetDword(PresencePath(instancePath), "VxD", *values.vxd);
    if (values.wdm) SetDword(PresencePath(instancePath), "WDM", *values.wdm);
    return instancePath;
}

}  // namespace quillaro::testing

namespace quillaro::testing {

bool SeededRegistry::SetDeviceText(const std::string& device, const std::string& instance,
                                   const std::string& name, const std::string& text) {
    const std::string deviceKey = std::string(kDeviceValuesPath) + "\\" + device;
    if (!KeyExists(deviceKey)) {
        if (!CreateKey(deviceKey)) return false;
        devices_.push_back(deviceKey);
    }
    return SetString(deviceKey + "\\" + instance, name, text);
}

bool SeededRegistry::SetString(const std::string& path, const std::string& name,
                               const std::string& text) {
    return CreateKey(path) &&
           RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), REG_SZ, text.c_str(),
                           static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace quillaro::testing
