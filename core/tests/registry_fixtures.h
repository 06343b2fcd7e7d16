// Shared test helpers: seeding PCI sound devices into a MemoryRegistry and reading its call log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "levels.h"
#include "memory_registry.h"
#include "startup_scan.h"

namespace quillaro::testing {

inline std::vector<std::byte> Bytes(std::initializer_list<int> values) {
    std::vector<std::byte> bytes;
    for (int v : values) bytes.push_back(std::byte(v));
    return bytes;
}

inline std::string DeviceKey(std::string_view device) {
    return std::string(kPciEnumPath) + "\\" + std::string(device);
}

inline std::string InstanceKey(std::string_view device, std::string_view instance) {
    return DeviceKey(device) + "\\" + std::string(instance);
}

inline DeviceKeys KeysOf(std::string_view device, std::string_view instance) {
    const std::string base = InstanceKey(device, instance) + "\\DirectSound\\";
    return {base + "Mixer Defaults", base + "Device Presence"};
}

// Creates both DirectSound keys of a device instance and stores the given numbers as DWORDs;
// a value left as nothing is not stored.
inline DeviceKeys SeedDevice(MemoryRegistry& reg, std::string_view device,
                             std::string_view instance, std::optional<std::uint32_t> acceleration,
                             std::optional<std::uint32_t> vxd = std::nullopt,
                             std::optional<std::uint32_t> wdm = std::nullopt) {
    const DeviceKeys keys = KeysOf(device, instance);
    reg.CreateKey(keys.mixerKeyPath);
    reg.CreateKey(keys.presenceKeyPath);
    if (acceleration) reg.SetDword(keys.mixerKeyPath, kAccelerationValue, *acceleration);
    if (vxd) reg.SetDword(keys.presenceKeyPath, kVxdValue, *vxd);
    if (wdm) reg.SetDword(keys.presenceKeyPath, kWdmValue, *wdm);
    return keys;
}

inline DeviceKeys SeedLevel(MemoryRegistry& reg, std::string_view device,
                            std::string_view instance, AccelerationLevel level) {
    const LevelValues v = *ValuesForPosition(PositionOf(level));
    return SeedDevice(reg, device, instance, v.acceleration, v.vxd, v.wdm);
}

// One line per logged call, e.g. "Set <path> VxD=1" or "Open <path> !5", so a mismatch in a
// sequence of calls prints readably.
inline std::string Describe(const Call& call) {
    static constexpr const char* kNames[] = {"Open", "QueryInfo", "Enum", "Query", "Set", "Close"};
    std::string text = std::string(kNames[static_cast<int>(call.op)]) + " " +
                       (call.path.empty() ? call.valueName : call.path);
    if ((call.op == Op::Query || call.op == Op::Set) && !call.path.empty())
        text += " " + call.valueName;
    if (call.dword) text += "=" + std::to_string(*call.dword);
    if (call.result != kErrorSuccess) text += " !" + std::to_string(call.result);
    return text;
}

inline std::vector<std::string> Describe(const std::vector<Call>& calls) {
    std::vector<std::string> lines;
    for (const Call& call : calls) lines.push_back(Describe(call));
    return lines;
}

inline std::size_t CountCalls(const MemoryRegistry& reg, Op op, bool succeededOnly = false) {
    std::size_t n = 0;
    for (const Call& call : reg.Calls())
        if (call.op == op && (!succeededOnly || call.result == kErrorSuccess)) ++n;
    return n;
}

// Every key that opened was closed exactly once, and no handle is left open.
inline ::testing::AssertionResult EveryOpenedKeyClosed(const MemoryRegistry& reg) {
    const std::size_t opened = CountCalls(reg, Op::Open, true);
    const std::size_t closed = CountCalls(reg, Op::Close, true);
    if (opened == closed && reg.OpenHandleCount() == 0 && closed == CountCalls(reg, Op::Close))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << opened << " opened, " << closed << " closed, " << reg.OpenHandleCount()
           << " still open";
}

// Passes every call on to a MemoryRegistry, recording how keys were opened. It can report a
// longest subkey name shorter than the real one (as a registry counting characters of a
// double-byte code page does), and can refuse writes of one value name.
class ForwardingRegistry final : public RegistryApi {
public:
    explicit ForwardingRegistry(MemoryRegistry& inner) : inner_(inner) {}

    struct OpenArgs {
        KeyHandle root;
        std::string subKey;
        std::uint32_t options;
        std::uint32_t access;
    };
    std::vector<OpenArgs> opens;
    std::optional<std::uint32_t> reportedLongest;
    std::string refusedValue;

    std::int32_t OpenKeyEx(KeyHandle root, const char* subKey, std::uint32_t options,
                           std::uint32_t access, KeyHandle* result) override {
        opens.push_back({root, subKey, options, access});
        return inner_.OpenKeyEx(root, subKey, options, access, result);
    }
    std::int32_t QueryInfoKey(KeyHandle key, std::uint32_t* subKeys,
                              std::uint32_t* maxSubKeyLength) override {
        const std::int32_t result = inner_.QueryInfoKey(key, subKeys, maxSubKeyLength);
        if (reportedLongest) *maxSubKeyLength = *reportedLongest;
        return result;
    }
    std::int32_t EnumKeyEx(KeyHandle key, std::uint32_t index, char* name,
                           std::uint32_t* nameLength) override {
        return inner_.EnumKeyEx(key, index, name, nameLength);
    }
    std::int32_t QueryValueEx(KeyHandle key, const char* valueName, std::uint32_t* type,
                              std::byte* data, std::uint32_t* dataSize) override {
        return inner_.QueryValueEx(key, valueName, type, data, dataSize);
    }
    std::int32_t SetValueEx(KeyHandle key, const char* valueName, std::uint32_t type,
                            const std::byte* data, std::uint32_t dataSize) override {
        if (refusedValue == valueName) return kErrorAccessDenied;
        return inner_.SetValueEx(key, valueName, type, data, dataSize);
    }
    std::int32_t CloseKey(KeyHandle key) override { return inner_.CloseKey(key); }

private:
    MemoryRegistry& inner_;
};

}  // namespace quillaro::testing
