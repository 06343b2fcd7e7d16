// The advapi32 binding against the real registry (Wine's, when run on Linux).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "apply_level.h"
#include "memory_registry.h"
#include "registry_ops.h"
#include "seeded_registry.h"
#include "startup_scan.h"
#include "win32_registry.h"

namespace quillaro {
namespace {

using testing::DeviceValues;
using testing::SeededRegistry;

const std::string kPci(kPciEnumPath);

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The scan sees every device under the PCI key: start from an empty one.
        ASSERT_TRUE(ListSubkeyNames(api, kPci).empty())
            << "the test prefix already has PCI devices";
    }
    Win32Registry api;
    SeededRegistry seeded;
};

TEST_F(Win32RegistryTest, ListsThreeSubkeysOfDifferentLengthsExactly) {
    const std::string device = seeded.AddDeviceKey("VEN_1102&DEV_0002");
    for (const char* name : {"4&2f6e3d1c&0&0008", "B", "instance_with_a_much_longer_name_00"})
        ASSERT_TRUE(SeededRegistry::CreateKey(device + "\\" + name));

    const std::vector<std::string> names = ListSubkeyNames(api, device);
    EXPECT_EQ(names, (std::vector<std::string>{"4&2f6e3d1c&0&0008", "B",
                                               "instance_with_a_much_longer_name_00"}));
}

TEST_F(Win32RegistryTest, EnumeratesInTheOrderTheInMemoryRegistryAssumes) {
    const std::string device = seeded.AddDeviceKey("VEN_ORDER");
    std::vector<std::string> created{"b", "A", "a1", "B0", "_x", "Z", "ab", "aB2", "[", "~"};
    for (const std::string& name : created) ASSERT_TRUE(SeededRegistry::CreateKey(device + "\\" + name));

    std::sort(created.begin(), created.end(), testing::RegistryNameLess{});
    EXPECT_EQ(ListSubkeyNames(api, device), created);
}

TEST_F(Win32RegistryTest, ShortNameBufferGivesMoreData) {
    const std::string device = seeded.AddDeviceKey("VEN_SHORT");
    ASSERT_TRUE(SeededRegistry::CreateKey(device + "\\abcdefgh"));
    KeyHandle key = 0;
    ASSERT_EQ(api.OpenKeyEx(kHkeyLocalMachine, device.c_str(), 0, kKeyAllAccess, &key), kErrorSuccess);
    char name[4] = {};
    std::uint32_t length = sizeof name;
    EXPECT_EQ(api.EnumKeyEx(key, 0, name, &length), kErrorMoreData);
    EXPECT_EQ(api.CloseKey(key), kErrorSuccess);
}

TEST_F(Win32RegistryTest, MissingKeyListsNothing) {
    EXPECT_TRUE(ListSubkeyNames(api, kPci + "\\NO_SUCH_DEVICE").empty());
}

TEST_F(Win32RegistryTest, ReadsLevelCodes) {
    const std::string instance = seeded.AddDevice("VEN_READ", "0", {8, std::nullopt, std::nullopt});
    EXPECT_EQ(ReadLevelCode(api, SeededRegistry::MixerPath(instance), "Acceleration"),
              LevelCode::Standard);
    EXPECT_EQ(ReadLevelCode(api, SeededRegistry::MixerPath(instance), "ACCELERATION"),
              LevelCode::Standard);
    EXPECT_EQ(ReadLevelCode(api, SeededRegistry::PresencePath(instance), "VxD"),
              LevelCode::Unusable);
    EXPECT_EQ(ReadLevelCode(api, kPci + "\\VEN_NONE\\0\\DirectSound\\Mixer Defaults",
                            "Acceleration"),
              LevelCode::Unusable);
}

TEST_F(Win32RegistryTest, WritesADwordThatAnotherReaderSees) {
    const std::string instance = seeded.AddDevice("VEN_WRITE", "0", {});
    {
        MachineKey key(api, SeededRegistry::PresencePath(instance));
        ASSERT_TRUE(key.isOpen());
        EXPECT_TRUE(WriteDwordValue(api, key.handle(), "VxD", 0x01020304));
    }
    EXPECT_EQ(SeededRegistry::GetDword(SeededRegistry::PresencePath(instance), "VxD"), 0x01020304u);
}

TEST_F(Win32RegistryTest, WriteOnHandleZeroChangesNothing) {
    const std::string instance = seeded.AddDevice("VEN_ZERO", "0", {15, 1, 1});
    EXPECT_FALSE(WriteDwordValue(api, 0, "Acceleration", 0));
    EXPECT_EQ(SeededRegistry::GetDword(SeededRegistry::MixerPath(instance), "Acceleration"), 15u);
}

TEST_F(Win32RegistryTest, ScanPicksTheLastUsableDeviceAndApplyWritesIt) {
    seeded.AddDevice("VEN_1002&DEV_4383", "0", {0, 1, 1});
    const std::string second = seeded.AddDevice("VEN_8086&DEV_293E", "3&21436425&0&D8", {8, 1, 1});
    seeded.AddDevice("VEN_10DE&DEV_0A34", "0", {});  // no "Acceleration": skipped

    const ScanResult scan = ScanForDevice(api);
    ASSERT_TRUE(scan.device.has_value());
    EXPECT_EQ(scan.device->mixerKeyPath, SeededRegistry::MixerPath(second));
    EXPECT_EQ(scan.device->presenceKeyPath, SeededRegistry::PresencePath(second));
    EXPECT_EQ(scan.level, AccelerationLevel::Standard);

    for (int position : {0, 1, 3, 2}) {
        ASSERT_TRUE(ApplyLevel(api, scan.device, position));
        const LevelValues expected = *ValuesForPosition(position);
        EXPECT_EQ(SeededRegistry::GetDword(SeededRegistry::MixerPath(second), "Acceleration"),
                  expected.acceleration);
        EXPECT_EQ(SeededRegistry::GetDword(SeededRegistry::PresencePath(second), "VxD"), expected.vxd);
        EXPECT_EQ(SeededRegistry::GetDword(SeededRegistry::PresencePath(second), "WDM"), expected.wdm);
        EXPECT_EQ(ScanForDevice(api).level, LevelAtPosition(position));
    }
}

TEST_F(Win32RegistryTest, ApplyWithoutPresenceKeyWritesAccelerationOnly) {
    const std::string instance = seeded.AddDevice("VEN_HALF", "0", {8, std::nullopt, std::nullopt});
    const DeviceKeys device{SeededRegistry::MixerPath(instance),
                            instance + "\\DirectSound\\Missing Presence"};
    EXPECT_FALSE(ApplyLevel(api, device, 3));
    EXPECT_EQ(SeededRegistry::GetDword(device.mixerKeyPath, "Acceleration"), 0u);
    EXPECT_FALSE(SeededRegistry::KeyExists(device.presenceKeyPath));
}

}  // namespace
}  // namespace quillaro
