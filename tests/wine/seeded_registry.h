// Seeds PCI devices in the real registry for the Windows tests and reads values back with
// plain advapi32 calls, independent of the code under test. Wine keeps the hardware-profile
// branch volatile, so every key is created volatile; each device is deleted again when the
// object goes out of scope.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillaro::testing {

struct DeviceValues {
    std::optional<std::uint32_t> acceleration;
    std::optional<std::uint32_t> vxd;
    std::optional<std::uint32_t> wdm;
};

class SeededRegistry {
public:
    SeededRegistry() = default;
    ~SeededRegistry();
    SeededRegistry(const SeededRegistry&) = delete;
    SeededRegistry& operator=(const SeededRegistry&) = delete;

    // Creates a key (and its parents) below HKEY_LOCAL_MACHINE, volatile where it is new.
    static bool CreateKey(const std::string& path);
    static bool SetDword(const std::string& path, const std::string& name, std::uint32_t value);
    static bool SetString(const std::string& path, const std::string& name, const std::string& text);
    static std::optional<std::uint32_t> GetDword(const std::string& path, const std::string& name);
    static bool KeyExists(const std::string& path);
    // Lets everyone read the key but nobody change its values, as a key whose permissions an
    // administrator locked; Writable undoes it.
    static bool MakeReadOnly(const std::string& path);
    static bool MakeWritable(const std::string& path);

    // Adds PCI\<device>\<instance>\DirectSound with the given values; returns the instance path.
    std::string AddDevice(const std::string& device, const std::string& instance,
                          const DeviceValues& values);
    // Deletes every device added so far.
    void RemoveAll();
    // Creates PCI\<device> alone and removes it with the others.
    std::string AddDeviceKey(const std::string& device);
    // Stores a REG_SZ among the instance's own values, under SYSTEM\CurrentControlSet\Enum\PCI,
    // where Windows keeps its name; its device key is removed with the others. Wine keeps its
    // display adapter in the same tree, so only keys made here are ever deleted there.
    bool SetDeviceText(const std::string& device, const std::string& instance,
                       const std::string& name, const std::string& text);

    static std::string MixerPath(const std::string& instancePath) {
        return instancePath + "\\DirectSound\\Mixer Defaults";
    }
    static std::string PresencePath(const std::string& instancePath) {
        return instancePath + "\\DirectSound\\Device Presence";
    }

private:
    std::vector<std::string> devices_;
};

}  // namespace quillaro::testing
