// Shared test helpers: seeding PCI sound devices into a MemoryRegistry and reading its call log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bounded_text.h"
#include "levels.h"
#include "memory_registry.h"
#include "registry_ops.h"
#include "startup_scan.h"
#include "subkey_names.h"

namespace quillaro {

// Failed expectations print the text itself.
template <std::size_t N>
void PrintTo(const BoundedText<N>& text, std::ostream* out) {
    *out << '"' << text.view() << '"' << " (" << text.size() << " characters)";
}

}  // namespace quillaro

namespace quillaro::testing {

inline std::string Text(const KeyPath& path) { return std::string(path.view()); }

// A key path of a test's own making; one that does not fit is the test's own mistake.
inline KeyPath PathOf(std::string_view text) {
    KeyPath path;
    if (!path.Assign(text)) throw std::length_error("a test path longer than a KeyPath");
    return path;
}

inline DeviceKeys MakeKeys(std::string_view mixer, std::string_view presence) {
    return {PathOf(mixer), PathOf(presence)};
}

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
    return MakeKeys(base + "Mixer Defaults", base + "Device Presence");
}

// Creates both DirectSound keys of a device instance and stores the given numbers as DWORDs;
// a value left as nothing is not stored.
inline DeviceKeys SeedDevice(MemoryRegistry& reg, std::string_view device,
                             std::string_view instance, std::optional<std::uint32_t> acceleration,
                             std::optional<std::uint32_t> vxd = std::nullopt,
                             std::optional<std::uint32_t> wdm = std::nullopt) {
    const DeviceKeys keys = KeysOf(device, instance);
    const std::string_view mixer = keys.mixerKeyPath.view();
    const std::string_view presence = keys.presenceKeyPath.view();
    reg.CreateKey(mixer);
    reg.CreateKey(presence);
    if (acceleration) reg.SetDword(mixer, kAccelerationValue, *acceleration);
    if (vxd) reg.SetDword(presence, kVxdValue, *vxd);
    if (wdm) reg.SetDword(presence, kWdmValue, *wdm);
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
// double-byte code page does), can leave as much of a name as fits in a buffer too short for
// it (a short buffer's contents are not defined), and can refuse writes of one value name.
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
    bool fillsShortBuffers = false;
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
        const std::uint32_t room = *nameLength;
        const std::int32_t result = inner_.EnumKeyEx(key, index, name, nameLength);
        if (result == kErrorMoreData && fillsShortBuffers && room > 0) {
            // The in-memory registry logs the name it could not give.
            const std::string& whole = inner_.Calls().back().valueName;
            const std::size_t cut = std::min<std::size_t>(room - 1, whole.size());
            whole.copy(name, cut);
            name[cut] = '\0';
        }
        return result;
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
