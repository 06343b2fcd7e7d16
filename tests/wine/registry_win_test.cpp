// The advapi32 binding against the real registry (Wine's, when run on Linux).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "apply_level.h"
#include "memory_registry.h"
#include "registry_ops.h"
#include "seeded_registry.h"
#include "startup_scan.h"
#include "subkey_names.h"
#include "win32_registry.h"
#include "win32_registry_watch.h"
#include "win_test_support.h"

namespace quillaro {
namespace {

using testing::DeviceValues;
using testing::WaitUntil;
using testing::SeededRegistry;
using testing::SubkeyNames;

const std::string kPci(kPciEnumPath);

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The scan sees every device under the PCI key: start from an empty one.
        ASSERT_TRUE(SubkeyNames(api, kPci).empty())
            << "the test prefix already has PCI devices";
    }
    Win32Registry api;
    SeededRegistry seeded;
};

TEST_F(Win32RegistryTest, ListsThreeSubkeysOfDifferentLengthsExactly) {
    const std::string device = seeded.AddDeviceKey("VEN_1102&DEV_0002");
    for (const char* name : {"4&2f6e3d1c&0&0008", "B", "instance_with_a_much_longer_name_00"})
        ASSERT_TRUE(SeededRegistry::CreateKey(device + "\\" + name));

    const std::vector<std::string> names = SubkeyNames(api, device);
    EXPECT_EQ(names, (std::vector<std::string>{"4&2f6e3d1c&0&0008", "B",
                                               "instance_with_a_much_longer_name_00"}));
}

TEST_F(Win32RegistryTest, EnumeratesInTheOrderTheInMemoryRegistryAssumes) {
    const std::string device = seeded.AddDeviceKey("VEN_ORDER");
    std::vector<std::string> created{"b", "A", "a1", "B0", "_x", "Z", "ab", "aB2", "[", "~"};
    for (const std::string& name : created) ASSERT_TRUE(SeededRegistry::CreateKey(device + "\\" + name));

    std::sort(created.begin(), created.end(), testing::RegistryNameLess{});
    EXPECT_EQ(SubkeyNames(api, device), created);
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
    EXPECT_TRUE(SubkeyNames(api, kPci + "\\NO_SUCH_DEVICE").empty());
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
        MachineKey key(api, SeededRegistry::PresencePath(instance), kKeySetValue);
        ASSERT_TRUE(key.isOpen());
        EXPECT_TRUE(WriteDwordValue(api, key.handle(), "VxD", 0x01020304));
        // A key opened for reading refuses writes.
        MachineKey reading(api, SeededRegistry::PresencePath(instance));
        ASSERT_TRUE(reading.isOpen());
        EXPECT_FALSE(WriteDwordValue(api, reading.handle(), "VxD", 0));
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
    EXPECT_EQ(scan.device->mixerKeyPath.view(), SeededRegistry::MixerPath(second));
    EXPECT_EQ(scan.device->presenceKeyPath.view(), SeededRegistry::PresencePath(second));
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

TEST_F(Win32RegistryTest, ApplyWithoutPresenceKeyWritesNothing) {
    const std::string instance = seeded.AddDevice("VEN_HALF", "0", {8, std::nullopt, std::nullopt});
    const std::string mixer = SeededRegistry::MixerPath(instance);
    const std::string presence = instance + "\\DirectSound\\Missing Presence";
    DeviceKeys device;
    ASSERT_TRUE(device.mixerKeyPath.Assign(mixer) && device.presenceKeyPath.Assign(presence));
    EXPECT_FALSE(ApplyLevel(api, device, 3));
    EXPECT_EQ(SeededRegistry::GetDword(mixer, "Acceleration"), 8u);
    EXPECT_FALSE(SeededRegistry::KeyExists(presence));
}

TEST_F(Win32RegistryTest, KeysWhosePermissionsAllowReadingOnlyShowTheLevelAndTakeNoWrites) {
    const std::string instance = seeded.AddDevice("VEN_LOCKED", "0", {15, 1, 1});
    const std::string mixer = SeededRegistry::MixerPath(instance);
    const std::string presence = SeededRegistry::PresencePath(instance);
    for (const std::string& locked : {presence, mixer}) {
        SCOPED_TRACE(locked);
        ASSERT_TRUE(SeededRegistry::MakeReadOnly(locked));
        const ScanResult scan = ScanForDevice(api);
        ASSERT_TRUE(scan.device.has_value());
        EXPECT_EQ(scan.level, AccelerationLevel::Basic);
        EXPECT_FALSE(scan.writable());
        EXPECT_FALSE(ApplyLevel(api, scan.device, PositionOf(AccelerationLevel::Off)));
        EXPECT_EQ(SeededRegistry::GetDword(mixer, "Acceleration"), 15u);
        EXPECT_EQ(SeededRegistry::GetDword(presence, "VxD"), 1u);
        EXPECT_EQ(SeededRegistry::GetDword(presence, "WDM"), 1u);
        ASSERT_TRUE(SeededRegistry::MakeWritable(locked));
    }
    const ScanResult unlocked = ScanForDevice(api);
    EXPECT_TRUE(unlocked.writable());
    EXPECT_TRUE(ApplyLevel(api, unlocked.device, PositionOf(AccelerationLevel::Off)));
    EXPECT_EQ(SeededRegistry::GetDword(presence, "VxD"), 0u);
}

bool Signalled(const RegistryWatch& watch) {
    return WaitForMultipleObjects(RegistryWatch::kEventCount, watch.events(), FALSE, 0) !=
           WAIT_TIMEOUT;
}

TEST_F(Win32RegistryTest, WatchSignalsChangesBelowTheKeyAndFollowsItsCreationAndDeletion) {
    const std::string device = kPci + "\\VEN_WATCH";
    const std::string instance = device + "\\0";
    // The PCI key exists, as on any machine with a PCI bus, whether or not a test ran before.
    ASSERT_TRUE(SeededRegistry::CreateKey(kPci));
    RegistryWatch watch(instance);
    ASSERT_TRUE(watch.Arm());
    EXPECT_EQ(watch.watchedPath(), kPci) << "the nearest existing key above a missing one";
    EXPECT_FALSE(Signalled(watch));

    seeded.AddDevice("VEN_WATCH", "0", {8, 1, 1});
    EXPECT_TRUE(WaitUntil([&] { return Signalled(watch); }));
    ASSERT_TRUE(watch.Arm());
    EXPECT_EQ(watch.watchedPath(), instance);
    EXPECT_FALSE(Signalled(watch));

    // A value deep below, a new key, and the key's own deletion. (Wine does not report changed
    // permissions, which Windows does, so they are not among them.)
    const std::vector<std::function<bool()>> changes{
        [&] { return SeededRegistry::SetDword(SeededRegistry::PresencePath(instance), "VxD", 0); },
        [&] { return SeededRegistry::CreateKey(instance + "\\DirectSound\\Extra"); },
        [&] { return RegDeleteTreeA(HKEY_LOCAL_MACHINE, device.c_str()) == ERROR_SUCCESS; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(changes[i]());
        EXPECT_TRUE(WaitUntil([&] { return Signalled(watch); }));
        ASSERT_TRUE(watch.Arm());
    }
    EXPECT_EQ(watch.watchedPath(), kPci);
}

// Another program deletes the watched key at the watch's first registration: before it, or
// after it, creating the key again at once.
struct DeletedAtRegistering {
    static inline std::string doomed;  // deleted before the first registration, then ""
    static inline std::string again;   // deleted after it and created again, then ""
    static inline std::vector<LONG> answers;
    static LONG WINAPI Register(HKEY key, BOOL subtree, DWORD filter, HANDLE event, BOOL async) {
        if (!doomed.empty()) {
            EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, doomed.c_str()), ERROR_SUCCESS);
            doomed.clear();
        }
        answers.push_back(RegNotifyChangeKeyValue(key, subtree, filter, event, async));
        if (!again.empty()) {
            EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, again.c_str()), ERROR_SUCCESS);
            EXPECT_TRUE(SeededRegistry::SetDword(again, "Acceleration", 8));
            again.clear();
        }
        return answers.back();
    }
};

TEST_F(Win32RegistryTest, WatchOfAKeyDeletedBeforeItsRegistrationMovesToTheKeyAbove) {
    const std::string instance = seeded.AddDevice("VEN_GONE", "0", {8, 1, 1});
    const std::string device = kPci + "\\VEN_GONE";
    DeletedAtRegistering::doomed = device;
    DeletedAtRegistering::answers.clear();
    RegistryWatch watch(instance, DeletedAtRegistering::Register);
    ASSERT_TRUE(watch.Arm());
    EXPECT_TRUE(watch.armed());
    // The registration on the deleted key was refused, those on the PCI key and its parent
    // taken.
    EXPECT_EQ(DeletedAtRegistering::answers,
              (std::vector<LONG>{ERROR_KEY_DELETED, ERROR_SUCCESS, ERROR_SUCCESS}));
    EXPECT_EQ(watch.watchedPath(), kPci);
    EXPECT_FALSE(Signalled(watch));

    // And the device's return is seen.
    seeded.AddDevice("VEN_GONE", "0", {0, 1, 1});
    EXPECT_TRUE(WaitUntil([&] { return Signalled(watch); }));
    ASSERT_TRUE(watch.Arm());
    EXPECT_EQ(watch.watchedPath(), instance);
}

// The key created again has no subkeys, as a key whose tree is being deleted has at the end, so
// nothing below it reports: the handle held is the deleted key's, while the path names a new key.
TEST_F(Win32RegistryTest, WatchOfAKeyCreatedAgainWhileBeingWatchedSignalsAndThenWatchesTheNewKey) {
    const std::string mixer =
        SeededRegistry::MixerPath(seeded.AddDevice("VEN_AGAIN", "0", {0, 1, 1}));
    DeletedAtRegistering::again = mixer;
    RegistryWatch watch(mixer, DeletedAtRegistering::Register);
    ASSERT_TRUE(watch.Arm());
    ASSERT_TRUE(DeletedAtRegistering::again.empty());
    EXPECT_TRUE(Signalled(watch)) << "the watch holds the deleted key and will never report";

    ASSERT_TRUE(watch.Arm());
    EXPECT_EQ(watch.watchedPath(), mixer);
    EXPECT_FALSE(Signalled(watch));
    ASSERT_TRUE(SeededRegistry::SetDword(mixer, "Acceleration", 15));
    EXPECT_TRUE(WaitUntil([&] { return Signalled(watch); }));
}

}  // namespace
}  // namespace quillaro
