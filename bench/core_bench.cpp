// Benchmarks of the acceleration control's core over the in-memory registry: the start-up scan
// at 10 to 10,000 PCI devices (time per device should stay flat), the listing of the PCI key
// alone, classifying a stored value, and applying a level.
//
// Every iteration clears the in-memory registry's call log so it does not grow without bound;
// that cost is included in the times. Run with scripts/bench.sh.

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apply_level.h"
#include "levels.h"
#include "memory_registry.h"
#include "registry_ops.h"
#include "startup_scan.h"

namespace {

using quillaro::DeviceKeys;
using quillaro::testing::MemoryRegistry;

std::vector<std::byte> Dword(std::uint32_t v) {
    return {std::byte(v & 0xFF), std::byte((v >> 8) & 0xFF), std::byte((v >> 16) & 0xFF),
            std::byte((v >> 24) & 0xFF)};
}

std::vector<std::byte> Text(const std::string& s) {
    std::vector<std::byte> bytes;
    for (char c : s) bytes.push_back(std::byte(static_cast<unsigned char>(c)));
    bytes.push_back(std::byte(0));
    return bytes;
}

std::string PciPath() { return std::string(quillaro::kPciEnumPath); }

// The instance key of device i, e.g. PCI\VEN_8086&DEV_0007\3&61AAA01&0&07.
std::string InstancePath(int i) {
    char name[64];
    std::snprintf(name, sizeof name, "\\VEN_%04X&DEV_%04X\\3&61AAA01&0&%02X", 0x1000 + i % 0x7000,
                  i, i % 0x100);
    return PciPath() + name;
}

DeviceKeys SoundKeys(const std::string& instance) {
    DeviceKeys keys;
    if (!keys.mixerKeyPath.Assign(instance + "\\DirectSound\\Mixer Defaults") ||
        !keys.presenceKeyPath.Assign(instance + "\\DirectSound\\Device Presence"))
        std::abort();
    return keys;
}

// A sound device's DirectSound keys at Basic, the level whose scan reads the most.
DeviceKeys AddSoundDevice(MemoryRegistry& reg, const std::string& instance) {
    const DeviceKeys keys = SoundKeys(instance);
    const std::string_view mixer = keys.mixerKeyPath.view();
    const std::string_view presence = keys.presenceKeyPath.view();
    reg.SetValue(mixer, "Acceleration", quillaro::kRegDword, Dword(15));
    reg.SetValue(mixer, "SRC Quality", quillaro::kRegDword, Dword(2));
    reg.SetValue(presence, "VxD", quillaro::kRegDword, Dword(1));
    reg.SetValue(presence, "WDM", quillaro::kRegDword, Dword(1));
    return keys;
}

// A device that is not a sound card: an instance with the usual values and no DirectSound key.
void AddOtherDevice(MemoryRegistry& reg, const std::string& instance) {
    reg.SetValue(instance, "DeviceDesc", 1, Text("PCI standard PCI-to-PCI bridge"));
    reg.SetValue(instance, "HardwareID", 7, Text("PCI\\VEN_8086&DEV_7191"));
    reg.SetValue(instance, "Class", 1, Text("System"));
    reg.SetValue(instance, "ConfigFlags", quillaro::kRegDword, Dword(0));
}

// n devices with one instance each; only the last is a sound device, unless all are.
void Populate(MemoryRegistry& reg, int n, bool allSound) {
    for (int i = 0; i < n; ++i) {
        if (allSound || i == n - 1)
            AddSoundDevice(reg, InstancePath(i));
        else
            AddOtherDevice(reg, InstancePath(i));
    }
}

void PerDevice(benchmark::State& state, int n) {
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["per_device"] = benchmark::Counter(
        n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_StartupScan(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    MemoryRegistry reg;
    Populate(reg, n, false);
    for (auto _ : state) {
        reg.ClearCalls();
        quillaro::ScanResult result = quillaro::ScanForDevice(reg);
        benchmark::DoNotOptimize(result);
        if (!result.device) state.SkipWithError("no device found");
    }
    PerDevice(state, n);
}
BENCHMARK(BM_StartupScan)->RangeMultiplier(10)->Range(10, 10000)->Unit(benchmark::kMicrosecond);

void BM_StartupScanAllSound(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    MemoryRegistry reg;
    Populate(reg, n, true);
    for (auto _ : state) {
        reg.ClearCalls();
        quillaro::ScanResult result = quillaro::ScanForDevice(reg);
        benchmark::DoNotOptimize(result);
    }
    PerDevice(state, n);
}
BENCHMARK(BM_StartupScanAllSound)->RangeMultiplier(10)->Range(10, 10000)->Unit(benchmark::kMicrosecond);

// Only the walk of the PCI key's names: one RegQueryInfoKey and n RegEnumKeyEx calls.
void BM_ListPciSubkeys(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    MemoryRegistry reg;
    Populate(reg, n, false);
    const std::string pci = PciPath();
    quillaro::KeyName name;
    for (auto _ : state) {
        reg.ClearCalls();
        quillaro::SubkeyList devices(reg, pci);
        for (std::uint32_t i = 0; i < devices.count(); ++i)
            if (!devices.Read(i, name)) state.SkipWithError("a name could not be read");
        benchmark::DoNotOptimize(name);
    }
    PerDevice(state, n);
}
BENCHMARK(BM_ListPciSubkeys)->RangeMultiplier(10)->Range(10, 10000)->Unit(benchmark::kMicrosecond);

void BM_ClassifyStoredValue(benchmark::State& state) {
    struct Case {
        bool ok;
        std::uint32_t type;
        std::vector<std::byte> data;
    };
    const std::array<Case, 6> cases{{
        {true, quillaro::kRegDword, Dword(15)},
        {true, quillaro::kRegBinary, Dword(8)},
        {true, quillaro::kRegDword, Dword(0)},
        {true, quillaro::kRegDword, Dword(9)},
        {true, 11, Dword(1)},
        {true, quillaro::kRegDword, {std::byte(1), std::byte(0)}},
    }};
    std::size_t i = 0;
    for (auto _ : state) {
        const Case& c = cases[i++ % cases.size()];
        benchmark::DoNotOptimize(quillaro::ClassifyStoredValue(
            c.ok, c.type, std::span<const std::byte>(c.data.data(), c.data.size())));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClassifyStoredValue);

// Applying each position in turn to the one sound device among n devices.
void BM_ApplyLevel(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    MemoryRegistry reg;
    Populate(reg, n, false);
    const std::optional<DeviceKeys> device = SoundKeys(InstancePath(n - 1));
    int position = 0;
    for (auto _ : state) {
        reg.ClearCalls();
        const bool stored = quillaro::ApplyLevel(reg, device, position);
        benchmark::DoNotOptimize(stored);
        if (!stored) state.SkipWithError("ApplyLevel failed");
        position = (position + 1) % quillaro::kLevelCount;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplyLevel)->Arg(1)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
