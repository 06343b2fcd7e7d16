// libFuzzer target: builds a registry tree in the in-memory registry from the input, runs the
// start-up scan and then applies every slider position (and out-of-range ones), checking the
// results against a model of the tree the fuzzer keeps itself.
//
// Input: a sequence of commands, each a byte (taken modulo 16) followed by its arguments. A
// missing byte reads as 0.
//    0 DEVICE   name            the current device: PCI\<name> (created)
//    1 INSTANCE name            the current instance: <device>\<name> (created)
//    2 LEVEL    b               stores the current instance's three values as REG_DWORD:
//                               b%5 = 0 Off, 1 Basic, 2 Standard, 3 Full, 4 all three set to 1
//    3 LEVELBIN b               the same as REG_BINARY
//    4 VALUE    key name type size [data]
//                               key%6 = 0 PCI, 1 device, 2 instance, 3 DirectSound, 4 mixer,
//                               5 presence; name%8 = Acceleration, VxD, WDM, ACCELERATION, vxd,
//                               Wdm, Accelerations, or 7 = a name read from the input;
//                               type < 0xF0 picks NONE/SZ/EXPAND_SZ/BINARY/DWORD/DWORD_BE/
//                               MULTI_SZ/QWORD by type%8, else a 32-bit type follows;
//                               size < 0xF0 is size%13 data bytes read from the input, else a
//                               large size (16..1000) filled with the next byte
//    5 DENY     key             the key may be read but refuses writing
//    6 FAILENUM key index err   enumerating subkey <index> of the key fails
//    7 FAILINFO key err         RegQueryInfoKey on the key fails
//    8 FAILWRITE key err        writes into the key fail
//    9 CREATE   key             creates the key without values
//   10 MANY     count pattern   adds 4*(count%16+1) devices "VEN_xxxx&DEV_xxxx" with one
//                               instance each, levels varying with pattern (256 devices at most)
//   11 POSITION 4 bytes         an extra slider position (little-endian int32) to apply
//   12 CASE                     toggles spelling "directsound\mixer defaults" in lower case
//   13 UNREADABLE key           the key refuses to be opened at all
//   14-15                       nothing
// A name is a length byte L: 1..0xDF raw bytes follow (NUL and '\' are replaced), 0 is the name
// "0", L >= 0xE0 a long name (254..2000 characters) of a fill byte and a last byte.
//
// Run with scripts/fuzz.sh; the seed inputs are in fuzz/corpus.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "apply_level.h"
#include "levels.h"
#include "memory_registry.h"
#include "registry_api.h"
#include "startup_scan.h"

namespace {

using quillaro::AccelerationLevel;
using quillaro::ScanResult;
using quillaro::WriteRefusal;
using quillaro::testing::Call;
using quillaro::testing::MemoryRegistry;
using quillaro::testing::Op;
using quillaro::testing::RegistryNameLess;

constexpr std::uint32_t kNone = 0, kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4,
                        kDwordBigEndian = 5, kMultiSz = 7, kQword = 11;
constexpr std::size_t kMaxDevices = 256;
constexpr std::size_t kMaxCommands = 256;
// The largest key name the program reads whole: 255 characters of two bytes each in a
// double-byte code page. A longer name cannot be read, and its device is skipped.
constexpr std::size_t kLargestReadableName = 2 * 255;

// The fuzzer's own table of levels, kept apart from core's.
struct Values3 {
    std::uint32_t acceleration, vxd, wdm;
};
constexpr Values3 kTable[4] = {{15, 0, 0}, {15, 1, 1}, {8, 1, 1}, {0, 1, 1}};

// ---------------------------------------------------------------------------------------------
// Reading the input.

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

char NameChar(std::uint8_t b) {
    if (b == 0) return '0';
    if (b == '\\') return '/';
    return static_cast<char>(b);
}

std::string ReadName(Reader& in) {
    const std::uint8_t length = in.Byte();
    if (length == 0) return "0";
    if (length >= 0xE0) {
        static constexpr std::size_t kLong[] = {254, 255, 256, 257, 300, 509,
                                                510, 511, 512, 513, 1000, 2000};
        const std::size_t n = kLong[(length - 0xE0) % 12];
        const char fill = NameChar(in.Byte());
        const char last = NameChar(in.Byte());
        return std::string(n - 1, fill) + last;
    }
    std::string name;
    for (std::uint8_t i = 0; i < length; ++i) name.push_back(NameChar(in.Byte()));
    return name;
}

std::int32_t ReadError(Reader& in) {
    static constexpr std::int32_t kErrors[] = {quillaro::kErrorFileNotFound,
                                               quillaro::kErrorAccessDenied,
                                               quillaro::kErrorInvalidHandle,
                                               quillaro::kErrorMoreData,
                                               quillaro::kErrorNoMoreItems,
                                               1,
                                               INT32_MAX,
                                               -1};
    return kErrors[in.Byte() % 8];
}

// ---------------------------------------------------------------------------------------------
// The model: the tree as the fuzzer built it, with names collapsing as the registry's do.

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

struct ModelValue {
    std::uint32_t type = 0;
    std::vector<std::byte> data;
};

struct ModelKey {
    std::string path;  // as first spelled
    std::map<std::string, std::unique_ptr<ModelKey>, RegistryNameLess> children;
    std::vector<std::pair<std::string, ModelValue>> values;
    bool readOnly = false;    // opens for reading only
    bool unreadable = false;  // does not open at all
    bool queryInfoFails = false;
    std::set<std::uint32_t> failingEnumIndexes;
    std::int32_t writeError = 0;

    const ModelValue* Value(const std::string& name) const {
        for (const auto& [stored, value] : values)
            if (SameName(stored, name)) return &value;
        return nullptr;
    }
    void SetValue(const std::string& name, ModelValue value) {
        for (auto& [stored, existing] : values)
            if (SameName(stored, name)) {
                existing = std::move(value);
                return;
            }
        values.emplace_back(name, std::move(value));
    }
    const ModelKey* Child(const std::string& name) const {
        auto it = children.find(name);
        return it == children.end() ? nullptr : it->second.get();
    }
};

using Parts = std::vector<std::string>;

std::string Join(const Parts& parts) {
    std::string path;
    for (const std::string& part : parts) path += (path.empty() ? "" : "\\") + part;
    return path;
}

const Parts kPciParts = {"SYSTEM",  "CurrentControlSet", "Hardware Profiles", "Current",
                         "System",  "CurrentControlSet", "Enum",              "PCI"};

// Applies every change to the in-memory registry and to the model alike.
class Builder {
public:
    explicit Builder(MemoryRegistry& reg) : reg_(reg) { root_.path = ""; }

    const ModelKey& Root() const { return root_; }
    std::size_t deviceCount = 0;

    ModelKey& Create(const Parts& parts) {
        ModelKey* node = &root_;
        for (const std::string& part : parts) {
            auto& child = node->children[part];
            if (!child) {
                child = std::make_unique<ModelKey>();
                child->path = node->path.empty() ? part : node->path + "\\" + part;
            }
            node = child.get();
        }
        return *node;
    }

    void CreateKey(const Parts& parts) {
        reg_.CreateKey(Join(parts));
        Create(parts);
    }
    void SetValue(const Parts& parts, const std::string& name, std::uint32_t type,
                  std::vector<std::byte> data) {
        reg_.SetValue(Join(parts), name, type, data);
        Create(parts).SetValue(name, ModelValue{type, std::move(data)});
    }
    void SetNumber(const Parts& parts, const std::string& name, std::uint32_t type,
                   std::uint32_t v) {
        SetValue(parts, name, type,
                 {std::byte(v & 0xFF), std::byte((v >> 8) & 0xFF), std::byte((v >> 16) & 0xFF),
                  std::byte((v >> 24) & 0xFF)});
    }
    void Deny(const Parts& parts) {
        reg_.DenyFullAccess(Join(parts));
        Create(parts).readOnly = true;
    }
    void MakeUnreadable(const Parts& parts) {
        reg_.DenyAllAccess(Join(parts));
        Create(parts).unreadable = true;
    }
    void FailEnum(const Parts& parts, std::uint32_t index, std::int32_t error) {
        reg_.FailEnumIndex(Join(parts), index, error);
        Create(parts).failingEnumIndexes.insert(index);
    }
    void FailInfo(const Parts& parts, std::int32_t error) {
        reg_.FailQueryInfo(Join(parts), error);
        Create(parts).queryInfoFails = true;
    }
    void FailWrites(const Parts& parts, std::int32_t error) {
        reg_.FailWrites(Join(parts), error);
        Create(parts).writeError = error;
    }

private:
    MemoryRegistry& reg_;
    ModelKey root_;
};

struct Context {
    std::string device = "VEN_DEFAULT";
    std::string instance = "0000";
    bool lowerCaseDirectSound = false;

    Parts Pci() const { return kPciParts; }
    Parts Device() const { return Append(Pci(), device); }
    Parts Instance() const { return Append(Device(), instance); }
    Parts DirectSound() const {
        return Append(Instance(), lowerCaseDirectSound ? "directsound" : "DirectSound");
    }
    Parts Mixer() const {
        return Append(DirectSound(), lowerCaseDirectSound ? "mixer defaults" : "Mixer Defaults");
    }
    Parts Presence() const {
        return Append(DirectSound(),
                      lowerCaseDirectSound ? "DEVICE PRESENCE" : "Device Presence");
    }
    Parts Key(std::uint8_t selector) const {
        switch (selector % 6) {
            case 0: return Pci();
            case 1: return Device();
            case 2: return Instance();
            case 3: return DirectSound();
            case 4: return Mixer();
            default: return Presence();
        }
    }
    static Parts Append(Parts parts, const std::string& name) {
        parts.push_back(name);
        return parts;
    }
};

void StoreLevel(Builder& b, const Context& at, std::uint8_t selector, std::uint32_t type) {
    const Values3 v = selector % 5 < 4 ? kTable[selector % 5] : Values3{1, 1, 1};
    b.SetNumber(at.Mixer(), "Acceleration", type, v.acceleration);
    b.SetNumber(at.Presence(), "VxD", type, v.vxd);
    b.SetNumber(at.Presence(), "WDM", type, v.wdm);
}

// Runs the commands; returns the extra positions asked for.
std::vector<int> Build(Reader& in, Builder& b) {
    Context at;
    std::vector<int> positions;
    for (std::size_t n = 0; n < kMaxCommands && !in.Empty(); ++n) {
        switch (in.Byte() % 16) {
            case 0:
                at.device = ReadName(in);
                b.CreateKey(at.Device());
                ++b.deviceCount;
                break;
            case 1:
                at.instance = ReadName(in);
                b.CreateKey(at.Instance());
                break;
            case 2: StoreLevel(b, at, in.Byte(), kDword); break;
            case 3: StoreLevel(b, at, in.Byte(), kBinary); break;
            case 4: {
                const Parts key = at.Key(in.Byte());
                static const char* const kNames[] = {"Acceleration", "VxD", "WDM",
                                                     "ACCELERATION", "vxd", "Wdm",
                                                     "Accelerations"};
                const std::uint8_t nameSelector = in.Byte() % 8;
                const std::string name = nameSelector < 7 ? kNames[nameSelector] : ReadName(in);
                static constexpr std::uint32_t kTypes[] = {kNone,  kSz,     kExpandSz,
                                                           kBinary, kDword, kDwordBigEndian,
                                                           kMultiSz, kQword};
                const std::uint8_t typeSelector = in.Byte();
                const std::uint32_t type = typeSelector < 0xF0 ? kTypes[typeSelector % 8] : in.U32();
                const std::uint8_t sizeSelector = in.Byte();
                std::vector<std::byte> data;
                if (sizeSelector < 0xF0) {
                    for (int i = 0; i < sizeSelector % 13; ++i) data.push_back(std::byte(in.Byte()));
                } else {
                    static constexpr std::size_t kLarge[] = {16, 64, 255, 256, 1000};
                    data.assign(kLarge[(sizeSelector - 0xF0) % 5], std::byte(in.Byte()));
                }
                b.SetValue(key, name, type, std::move(data));
                break;
            }
            case 5: b.Deny(at.Key(in.Byte())); break;
            case 6: {
                const Parts key = at.Key(in.Byte());
                const std::uint32_t index = in.Byte();
                b.FailEnum(key, index, ReadError(in));
                break;
            }
            case 7: {
                const Parts key = at.Key(in.Byte());
                b.FailInfo(key, ReadError(in));
                break;
            }
            case 8: {
                const Parts key = at.Key(in.Byte());
                b.FailWrites(key, ReadError(in));
                break;
            }
            case 9: b.CreateKey(at.Key(in.Byte())); break;
            case 10: {
                const std::size_t count = 4 * (in.Byte() % 16 + 1);
                const std::uint8_t pattern = in.Byte();
                for (std::size_t i = 0; i < count && b.deviceCount < kMaxDevices; ++i) {
                    char name[32];
                    std::snprintf(name, sizeof name, "VEN_%04X&DEV_%04X", pattern,
                                  static_cast<unsigned>(i));
                    Context generated = at;
                    generated.device = name;
                    generated.instance = "4&1A2B3C4D&0&" + std::to_string(i % 7);
                    b.CreateKey(generated.Instance());
                    ++b.deviceCount;
                    const std::size_t kind = (i + pattern) % 6;
                    if (kind < 5) StoreLevel(b, generated, static_cast<std::uint8_t>(kind), kDword);
                }
                break;
            }
            case 11: positions.push_back(static_cast<int>(in.U32())); break;
            case 12: at.lowerCaseDirectSound = !at.lowerCaseDirectSound; break;
            case 13: b.MakeUnreadable(at.Key(in.Byte())); break;
            default: break;
        }
    }
    return positions;
}

// ---------------------------------------------------------------------------------------------
// The oracle.

enum class Code { Unusable, One, Fifteen, Eight, Zero };

Code Classify(const ModelKey* key, const std::string& name) {
    if (!key || key->unreadable) return Code::Unusable;
    const ModelValue* value = key->Value(name);
    if (!value || value->data.size() != 4 || (value->type != kDword && value->type != kBinary))
        return Code::Unusable;
    std::uint32_t number = 0;
    for (int i = 0; i < 4; ++i) number |= std::to_integer<std::uint32_t>(value->data[i]) << (8 * i);
    switch (number) {
        case 1: return Code::One;
        case 15: return Code::Fifteen;
        case 8: return Code::Eight;
        case 0: return Code::Zero;
        default: return Code::Unusable;
    }
}

struct Expected {
    bool found = false;
    std::string mixerPath, presencePath;  // as core builds them from enumerated names
    const ModelKey* mixer = nullptr;
    const ModelKey* presence = nullptr;  // may be missing
    std::optional<AccelerationLevel> level;
    WriteRefusal refusal = WriteRefusal::NoDevice;
    bool writable() const { return refusal == WriteRefusal::None; }
};

// A key missing, whatever else refuses; else one refusing to open for writing; else writable.
WriteRefusal RefusalFor(const ModelKey* mixer, const ModelKey* presence) {
    if (!mixer || !presence) return WriteRefusal::Incomplete;
    const auto refuses = [](const ModelKey* key) { return key->readOnly || key->unreadable; };
    return refuses(mixer) || refuses(presence) ? WriteRefusal::NotPermitted : WriteRefusal::None;
}

// The last device, in enumeration order, whose first enumerated instance holds a usable
// "Acceleration". A key refusing to be read, failing RegQueryInfoKey, or whose enumeration of
// a subkey fails, hides what that enumeration would have given; a key refusing writes does not.
// A device or first instance whose name is too long to read is skipped, never read cut short.
Expected Oracle(const ModelKey& root) {
    Expected expected;
    const ModelKey* pci = &root;
    for (const std::string& part : kPciParts) pci = pci ? pci->Child(part) : nullptr;
    if (!pci || pci->unreadable || pci->queryInfoFails) return expected;
    std::uint32_t index = 0;
    for (const auto& [deviceName, device] : pci->children) {
        const std::uint32_t deviceIndex = index++;
        if (pci->failingEnumIndexes.count(deviceIndex)) continue;
        if (deviceName.size() > kLargestReadableName) continue;
        if (device->unreadable || device->queryInfoFails || device->children.empty() ||
            device->failingEnumIndexes.count(0))
            continue;
        const auto& [instanceName, instance] = *device->children.begin();
        if (instanceName.size() > kLargestReadableName) continue;
        const ModelKey* directSound = instance->Child("DirectSound");
        const ModelKey* mixer = directSound ? directSound->Child("Mixer Defaults") : nullptr;
        const ModelKey* presence = directSound ? directSound->Child("Device Presence") : nullptr;
        const Code code = Classify(mixer, "Acceleration");
        if (code == Code::Unusable) continue;
        const std::string base = Join(kPciParts) + "\\" + deviceName + "\\" + instanceName +
                                 "\\DirectSound\\";
        expected.found = true;
        expected.mixerPath = base + "Mixer Defaults";
        expected.presencePath = base + "Device Presence";
        expected.mixer = mixer;
        expected.presence = presence;
        switch (code) {
            case Code::Fifteen:
                expected.level = Classify(presence, "VxD") == Code::One ? AccelerationLevel::Basic
                                                                        : AccelerationLevel::Off;
                break;
            case Code::Eight: expected.level = AccelerationLevel::Standard; break;
            case Code::Zero: expected.level = AccelerationLevel::Full; break;
            default: expected.level.reset(); break;
        }
    }
    if (expected.found) expected.refusal = RefusalFor(expected.mixer, expected.presence);
    return expected;
}

// ---------------------------------------------------------------------------------------------
// Checking.

const ModelKey* gRoot = nullptr;

void DumpModel(const ModelKey& key, int depth) {
    if (depth > 14) return;
    std::fprintf(stderr, "%*s%s%s%s", depth * 2, "",
                 key.path.empty() ? "<root>" : key.path.substr(key.path.rfind('\\') + 1).c_str(),
                 key.readOnly ? " [read-only]" : key.unreadable ? " [unreadable]" : "",
                 key.queryInfoFails ? " [queryinfo fails]" : "");
    for (std::uint32_t i : key.failingEnumIndexes) std::fprintf(stderr, " [enum %u fails]", i);
    if (key.writeError) std::fprintf(stderr, " [writes fail %d]", key.writeError);
    std::fprintf(stderr, "\n");
    for (const auto& [name, value] : key.values) {
        std::fprintf(stderr, "%*s  = %s type %u size %zu:", depth * 2, "", name.c_str(),
                     value.type, value.data.size());
        for (std::size_t i = 0; i < value.data.size() && i < 8; ++i)
            std::fprintf(stderr, " %02x", std::to_integer<unsigned>(value.data[i]));
        std::fprintf(stderr, "\n");
    }
    for (const auto& [name, child] : key.children) DumpModel(*child, depth + 1);
}

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "\n*** scan_apply_fuzzer: %s%s%s\n", what, detail.empty() ? "" : ": ",
                 detail.c_str());
    if (gRoot) {
        std::fprintf(stderr, "--- the registry as built:\n");
        DumpModel(*gRoot, 0);
    }
    std::abort();
}

void Check(bool ok, const char* what, const std::string& detail = {}) {
    if (!ok) Fail(what, detail);
}

const char* LevelName(std::optional<AccelerationLevel> level) {
    if (!level) return "none";
    static const char* const kNames[] = {"Off", "Basic", "Standard", "Full"};
    return kNames[static_cast<int>(*level)];
}

void CheckAllClosed(const MemoryRegistry& reg, const char* when) {
    Check(reg.OpenHandleCount() == 0, "a key was left open", when);
    std::size_t opened = 0, closed = 0;
    for (const Call& call : reg.Calls()) {
        if (call.op == Op::Open && call.result == quillaro::kErrorSuccess) ++opened;
        if (call.op == Op::Close) {
            Check(call.result == quillaro::kErrorSuccess, "a close failed", when);
            ++closed;
        }
    }
    Check(opened == closed, "opens and closes do not pair up", when);
}

ScanResult CheckedScan(MemoryRegistry& reg, const Expected& expected, const char* when) {
    const std::size_t keys = reg.KeyCount();
    const std::size_t values = reg.ValueCount();
    reg.ClearCalls();
    const ScanResult result = quillaro::ScanForDevice(reg);
    for (const Call& call : reg.Calls()) Check(call.op != Op::Set, "the scan wrote", when);
    Check(reg.KeyCount() == keys, "the scan changed the number of keys", when);
    Check(reg.ValueCount() == values, "the scan changed the number of values", when);
    CheckAllClosed(reg, when);
    const std::string mixer = result.device ? std::string(result.device->mixerKeyPath.view()) : "";
    const std::string presence =
        result.device ? std::string(result.device->presenceKeyPath.view()) : "";
    Check(result.device.has_value() == expected.found, "the scan chose a device or not wrongly",
          std::string(when) + ": found " + (result.device ? mixer : "nothing"));
    if (expected.found) {
        Check(mixer == expected.mixerPath, "wrong mixer key",
              mixer + " instead of " + expected.mixerPath);
        Check(presence == expected.presencePath, "wrong presence key",
              presence + " instead of " + expected.presencePath);
    }
    Check(result.level == expected.level, "wrong level",
          std::string(when) + ": " + LevelName(result.level) + " instead of " +
              LevelName(expected.level));
    Check(result.refusal == expected.refusal, "wrong answer to whether and why the keys take no writes",
          when);
    return result;
}

struct ExpectedSet {
    std::string path, name;
    std::uint32_t value;
    std::int32_t result;
};

void CheckApply(MemoryRegistry& reg, const ScanResult& scanned, const Expected& expected,
                int position) {
    const std::string when = "applying position " + std::to_string(position);
    const std::size_t keys = reg.KeyCount();
    const std::size_t values = reg.ValueCount();
    reg.ClearCalls();
    const bool stored = quillaro::ApplyLevel(reg, scanned.device, position);
    CheckAllClosed(reg, when.c_str());
    Check(reg.KeyCount() == keys, "an apply created a key", when);
    const bool inRange = position >= 0 && position <= 3;
    if (!expected.found || !inRange) {
        Check(reg.Calls().empty(), "an apply without a device or level touched the registry", when);
        Check(!stored, "an apply without a device or level reported success", when);
        Check(reg.ValueCount() == values, "an apply without a device or level added values", when);
        return;
    }
    // Both keys open for writing before anything is written; the writes stop at the first one
    // refused.
    const Values3 v = kTable[position];
    std::vector<ExpectedSet> sets;
    if (expected.writable()) {
        const ModelKey* mixer = expected.mixer;
        const ModelKey* presence = expected.presence;
        sets.push_back({mixer->path, "Acceleration", v.acceleration, mixer->writeError});
        if (mixer->writeError == quillaro::kErrorSuccess) {
            sets.push_back({presence->path, "VxD", v.vxd, presence->writeError});
            if (presence->writeError == quillaro::kErrorSuccess)
                sets.push_back({presence->path, "WDM", v.wdm, presence->writeError});
        }
    }
    std::vector<Call> actual;
    for (const Call& call : reg.Calls())
        if (call.op == Op::Set) actual.push_back(call);
    Check(actual.size() == sets.size(), "wrong number of writes",
          when + ": " + std::to_string(actual.size()) + " instead of " + std::to_string(sets.size()));
    bool allStored = sets.size() == 3;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const Call& call = actual[i];
        const ExpectedSet& want = sets[i];
        const std::string what = when + ", write " + std::to_string(i) + " (" + call.path + " " +
                                 call.valueName + ")";
        Check(call.path == want.path, "a write went to the wrong key", what + ", wanted " + want.path);
        Check(call.valueName == want.name, "a write went to the wrong value", what + ", wanted " + want.name);
        Check(call.result == want.result, "a write had an unexpected result", what);
        if (want.result == quillaro::kErrorSuccess) {
            Check(call.dword == want.value, "a write stored the wrong number", what);
            const auto now = reg.GetValue(want.path, want.name);
            Check(now && now->type == kDword && now->data.size() == 4, "a written value reads back wrong", what);
        } else {
            allStored = false;
        }
    }
    Check(stored == allStored, "an apply reported the wrong outcome", when);
    Check(reg.ValueCount() <= values + sets.size(), "an apply added unexpected values", when);
    if (stored) {
        // The device stays the one chosen (its "Acceleration" is still usable), now at this level.
        Expected after = expected;
        after.level = static_cast<AccelerationLevel>(position);
        CheckedScan(reg, after, (when + ", scanning again").c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryRegistry reg;
    Builder builder(reg);
    Reader in(data, size);
    std::vector<int> positions = Build(in, builder);
    gRoot = &builder.Root();

    const Expected expected = Oracle(builder.Root());
    const ScanResult scanned = CheckedScan(reg, expected, "the start-up scan");

    for (int position = 0; position < 4; ++position) CheckApply(reg, scanned, expected, position);
    positions.insert(positions.end(), {-1, 4, INT_MIN, INT_MAX});
    for (int position : positions) CheckApply(reg, scanned, expected, position);
    gRoot = nullptr;
    return 0;
}
