#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "registry_fixtures.h"
#include "startup_scan.h"

namespace quillaro {
namespace {

using testing::Bytes;
using testing::CountCalls;
using testing::EveryOpenedKeyClosed;
using testing::KeysOf;
using testing::MemoryRegistry;
using testing::Op;
using testing::SeedDevice;
using testing::SeedLevel;

class StartupScanTest : public ::testing::Test {
protected:
    // Scans, checking that the scan wrote nothing and closed every key it opened; through
    // another registry that passes every call on to reg_, if one is given.
    ScanResult Scan(RegistryApi* through = nullptr) {
        const std::size_t keys = reg_.KeyCount();
        const std::size_t values = reg_.ValueCount();
        reg_.ClearCalls();
        ScanResult result = ScanForDevice(through ? *through : reg_);
        EXPECT_EQ(CountCalls(reg_, Op::Set), 0u);
        EXPECT_EQ(reg_.KeyCount(), keys);
        EXPECT_EQ(reg_.ValueCount(), values);
        EXPECT_TRUE(EveryOpenedKeyClosed(reg_));
        return result;
    }

    void ExpectNothingFound() {
        const ScanResult result = Scan();
        EXPECT_FALSE(result.device.has_value());
        EXPECT_FALSE(result.level.has_value());
    }

    MemoryRegistry reg_;
    const std::string pci_{kPciEnumPath};
};

TEST_F(StartupScanTest, FindsTheDirectSoundKeysOfADevicesInstance) {
    SeedLevel(reg_, "VEN_1274&DEV_1371", "4&2B8E0F4&0&38F0", AccelerationLevel::Standard);
    const ScanResult result = Scan();
    const std::string instance =
        "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum"
        "\\PCI\\VEN_1274&DEV_1371\\4&2B8E0F4&0&38F0";
    ASSERT_TRUE(result.device.has_value());
    EXPECT_EQ(result.device->mixerKeyPath, instance + "\\DirectSound\\Mixer Defaults");
    EXPECT_EQ(result.device->presenceKeyPath, instance + "\\DirectSound\\Device Presence");
    EXPECT_EQ(result.level, AccelerationLevel::Standard);
    EXPECT_TRUE(result.writable());
}

struct StoredLevelCase {
    const char* name;
    std::uint32_t acceleration;
    std::optional<std::uint32_t> vxd;
    std::optional<AccelerationLevel> expected;
};

class StoredLevelTest : public StartupScanTest,
                        public ::testing::WithParamInterface<StoredLevelCase> {};

TEST_P(StoredLevelTest, ShowsTheLevelTheValuesName) {
    const auto& c = GetParam();
    const DeviceKeys keys = SeedDevice(reg_, "DEV", "INST", c.acceleration, c.vxd);
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, keys);
    EXPECT_EQ(result.level, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, StoredLevelTest,
    ::testing::Values(StoredLevelCase{"Acc15VxD1", 15, 1, AccelerationLevel::Basic},
                      StoredLevelCase{"Acc15VxD0", 15, 0, AccelerationLevel::Off},
                      StoredLevelCase{"Acc15VxD8", 15, 8, AccelerationLevel::Off},
                      StoredLevelCase{"Acc15VxD2", 15, 2, AccelerationLevel::Off},
                      StoredLevelCase{"Acc15NoVxD", 15, std::nullopt, AccelerationLevel::Off},
                      StoredLevelCase{"Acc8VxD0", 8, 0, AccelerationLevel::Standard},
                      StoredLevelCase{"Acc0NoVxD", 0, std::nullopt, AccelerationLevel::Full},
                      StoredLevelCase{"Acc1VxD1", 1, 1, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupScanTest, VxDOfTheWrongShapeOrBehindARefusingKeyMeansOff) {
    const DeviceKeys a = SeedDevice(reg_, "A", "0", 15);
    reg_.SetValue(a.presenceKeyPath.view(), "VxD", kRegDword, Bytes({1, 0}));
    EXPECT_EQ(Scan().level, AccelerationLevel::Off);
    reg_.SetValue(a.presenceKeyPath.view(), "VxD", kRegBinary, Bytes({1, 0, 0, 0}));
    EXPECT_EQ(Scan().level, AccelerationLevel::Basic);
    reg_.DenyAllAccess(a.presenceKeyPath.view());
    EXPECT_EQ(Scan().level, AccelerationLevel::Off);
}

// What is done to a seeded device's keys before the scan.
enum KeyChange : unsigned {
    kNoDevice = 1,
    kPciReadOnly = 2,
    kMixerReadOnly = 4,
    kPresenceReadOnly = 8,
    kPresenceMissing = 16,
};

struct RefusalCase {
    const char* name;
    unsigned changes;
    WriteRefusal expected;
};

class WriteRefusalTest : public StartupScanTest,
                         public ::testing::WithParamInterface<RefusalCase> {};

// Keys that may be read but not written still show their level; the scan says why no level can
// be written, asking each of the two keys once for writing whatever the first one answers.
TEST_P(WriteRefusalTest, KeysThatMayBeReadButNotWrittenShowTheirLevelAndSayWhy) {
    const auto& c = GetParam();
    const DeviceKeys keys = KeysOf("A", "0");
    if (!(c.changes & kNoDevice)) SeedLevel(reg_, "A", "0", AccelerationLevel::Standard);
    if (c.changes & kPciReadOnly) reg_.DenyFullAccess(pci_);
    if (c.changes & kMixerReadOnly) reg_.DenyFullAccess(keys.mixerKeyPath.view());
    if (c.changes & kPresenceReadOnly) reg_.DenyFullAccess(keys.presenceKeyPath.view());
    if (c.changes & kPresenceMissing) reg_.DeleteKey(keys.presenceKeyPath.view());
    testing::ForwardingRegistry registry(reg_);
    const ScanResult result = Scan(&registry);
    EXPECT_EQ(result.refusal, c.expected);
    std::size_t writeOpens = 0;
    for (const auto& open : registry.opens) writeOpens += open.access == kKeySetValue;
    if (c.changes & kNoDevice) {
        EXPECT_FALSE(result.device.has_value());
        EXPECT_EQ(writeOpens, 0u);
        return;
    }
    EXPECT_EQ(result.device, keys);
    EXPECT_EQ(result.level, AccelerationLevel::Standard);
    EXPECT_EQ(writeOpens, 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, WriteRefusalTest,
    ::testing::Values(
        RefusalCase{"Writable", 0, WriteRefusal::None},
        // Only the two keys a level is written to count.
        RefusalCase{"PciKeyReadOnly", kPciReadOnly, WriteRefusal::None},
        RefusalCase{"NoDevice", kNoDevice, WriteRefusal::NoDevice},
        RefusalCase{"PresenceReadOnly", kPresenceReadOnly, WriteRefusal::NotPermitted},
        RefusalCase{"MixerReadOnly", kMixerReadOnly, WriteRefusal::NotPermitted},
        RefusalCase{"PresenceMissing", kPresenceMissing, WriteRefusal::Incomplete},
        // A key missing outweighs one that may only be read.
        RefusalCase{"MixerReadOnlyPresenceMissing", kMixerReadOnly | kPresenceMissing,
                    WriteRefusal::Incomplete}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupScanTest, TheLastUsableDeviceInEnumerationOrderWins) {
    // Created out of order: enumeration runs "ven_1", "VEN_2", "ven_3", "VEN_4".
    SeedLevel(reg_, "VEN_4", "0", AccelerationLevel::Full);
    SeedLevel(reg_, "ven_3", "0", AccelerationLevel::Off);
    SeedLevel(reg_, "VEN_2", "0", AccelerationLevel::Basic);
    SeedDevice(reg_, "ven_1", "0", 8);
    reg_.SetDword(KeysOf("VEN_4", "0").mixerKeyPath.view(), "Acceleration", 3840);
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf("ven_3", "0"));
    EXPECT_EQ(result.level, AccelerationLevel::Off);
    EXPECT_EQ(result.otherDevices, 2u) << "the two usable ones before it; VEN_4 names no level";
}

// The name the chosen device is shown by, from its own values where Windows keeps them.
struct StoredName {
    const char* value;
    std::uint32_t type;
    std::string text;
    bool terminated = true;
};
struct NameCase {
    const char* name;
    std::vector<StoredName> stored;
    std::string expected;
    const char* instance = "4&2B8E0F4&0&38F0";  // whose values they are
};
void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }

constexpr std::uint32_t kRegSz = 1, kRegExpandSz = 2;
const std::string kHardwareId = "PCI\\VEN_1274&DEV_1371";

class DeviceNameTest : public StartupScanTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(DeviceNameTest, NamesTheChosenDeviceByItsOwnValues) {
    SeedLevel(reg_, "VEN_1274&DEV_1371", "4&2B8E0F4&0&38F0", AccelerationLevel::Full);
    const std::string device = std::string(kDeviceValuesPath) + "\\VEN_1274&DEV_1371\\";
    for (const StoredName& s : GetParam().stored) {
        std::vector<std::byte> bytes;
        for (char c : s.text) bytes.push_back(std::byte(c));
        if (s.terminated) bytes.push_back(std::byte{0});
        reg_.SetValue(device + GetParam().instance, s.value, s.type, bytes);
    }
    testing::ForwardingRegistry through(reg_);
    EXPECT_EQ(Scan(&through).name, GetParam().expected);
    for (const auto& open : through.opens) {
        if (open.subKey.rfind(kDeviceValuesPath, 0) == 0) {
            EXPECT_EQ(open.access, kKeyQueryValue) << "the device's own values are only read";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, DeviceNameTest,
    ::testing::Values(
        NameCase{"FriendlyNameBeforeDeviceDesc",
                 {{"DeviceDesc", kRegSz, "Multimedia Audio Controller"},
                  {"FriendlyName", kRegSz, "Creative AudioPCI (ES1371)"}},
                 "Creative AudioPCI (ES1371)"},
        NameCase{"EmptyOrNotAStringFallsToTheNext",
                 {{"FriendlyName", kRegSz, ""}, {"DeviceDesc", kRegExpandSz, "%SystemRoot%"}},
                 kHardwareId},
        NameCase{"WithoutATerminator", {{"DeviceDesc", kRegSz, "ES1371", false}}, "ES1371"},
        NameCase{"TheIndirectFormNamesWhatFollowsItsLastSemicolon",
                 {{"FriendlyName", kRegSz, "@oem7.inf,%sb%;Creative SB Live! Series (WDM)"}},
                 "Creative SB Live! Series (WDM)"},
        NameCase{"AnIndirectFormWithoutANameAfterASemicolonIsNoName",
                 {{"FriendlyName", kRegSz, "@oem7.inf,%sb%"}, {"DeviceDesc", kRegSz, "@oem7.inf;"}},
                 kHardwareId},
        NameCase{"TheLongestNameFitsAndALongerOneIsNoName",
                 {{"FriendlyName", kRegSz, std::string(256, 'F')},
                  {"DeviceDesc", kRegSz, std::string(255, 'D')}},
                 std::string(255, 'D')},
        NameCase{"AValueLargerThanAnyNameIsNoName",
                 {{"FriendlyName", kRegSz, "@" + std::string(2000, ';') + "X"}}, kHardwareId},
        // The instance has no key of values; another one, enumerated first, has a name.
        NameCase{"AnotherInstancesNameIsNotTaken", {{"FriendlyName", kRegSz, "Other card"}},
                 kHardwareId, "3&0&0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupScanTest, ALaterDeviceWithoutATableLevelReplacesTheEarlierLevel) {
    SeedLevel(reg_, "A", "0", AccelerationLevel::Full);
    SeedDevice(reg_, "B", "0", 1, 1, 1);
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf("B", "0"));
    EXPECT_FALSE(result.level.has_value());
}

TEST_F(StartupScanTest, AnEarlierDeviceWithoutATableLevelStaysChosen) {
    SeedDevice(reg_, "A", "0", 1);
    SeedDevice(reg_, "B", "0", std::nullopt);
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf("A", "0"));
    EXPECT_FALSE(result.level.has_value());
}

TEST_F(StartupScanTest, NothingFoundWhenThePciKeyIsMissing) { ExpectNothingFound(); }

TEST_F(StartupScanTest, NothingFoundWhenThePciKeyIsEmpty) {
    reg_.CreateKey(pci_);
    ExpectNothingFound();
}

TEST_F(StartupScanTest, NothingFoundWhenThePciKeyRefusesReading) {
    SeedLevel(reg_, "A", "0", AccelerationLevel::Full);
    reg_.DenyAllAccess(pci_);
    ExpectNothingFound();
}

TEST_F(StartupScanTest, NothingFoundWhenNoDeviceHoldsAUsableAcceleration) {
    SeedDevice(reg_, "Missing", "0", std::nullopt, 1, 1);
    SeedDevice(reg_, "Unknown", "0", 7, 1, 1);
    reg_.SetValue(KeysOf("Qword", "0").mixerKeyPath.view(), "Acceleration", 11, Bytes({15, 0, 0, 0, 0, 0, 0, 0}));
    reg_.SetValue(KeysOf("Short", "0").mixerKeyPath.view(), "Acceleration", kRegDword, Bytes({15, 0}));
    reg_.SetValue(KeysOf("Text", "0").mixerKeyPath.view(), "Acceleration", 1, Bytes({'1', '5', 0, 0}));
    reg_.SetDword(KeysOf("Shifted", "0").mixerKeyPath.view(), "Acceleration", 3840);
    reg_.SetDword(KeysOf("HighByte", "0").mixerKeyPath.view(), "Acceleration", 0x01000000);
    reg_.CreateKey(pci_ + "\\NoInstances");
    reg_.CreateKey(pci_ + "\\NoDirectSound\\0");
    ExpectNothingFound();
}

TEST_F(StartupScanTest, DevicesThatCannotBeReadAreSkipped) {
    SeedLevel(reg_, "A_GOOD", "0", AccelerationLevel::Standard);
    reg_.CreateKey(pci_ + "\\B_NOINSTANCES");
    SeedLevel(reg_, "C_DENIEDMIXER", "0", AccelerationLevel::Full);
    reg_.DenyAllAccess(KeysOf("C_DENIEDMIXER", "0").mixerKeyPath.view());
    SeedLevel(reg_, "D_DENIEDDEVICE", "0", AccelerationLevel::Full);
    reg_.DenyAllAccess(pci_ + "\\D_DENIEDDEVICE");
    SeedLevel(reg_, "E_ENUMFAILS", "0", AccelerationLevel::Full);
    SeedLevel(reg_, "E_ENUMFAILS", "1", AccelerationLevel::Full);
    reg_.FailEnumIndex(pci_ + "\\E_ENUMFAILS", 0, kErrorAccessDenied);
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf("A_GOOD", "0"));
    EXPECT_EQ(result.level, AccelerationLevel::Standard);
}

TEST_F(StartupScanTest, ADeviceWhosePciEnumerationFailsIsSkipped) {
    SeedLevel(reg_, "A", "0", AccelerationLevel::Full);
    SeedLevel(reg_, "B", "0", AccelerationLevel::Basic);
    reg_.FailEnumIndex(pci_, 1, kErrorMoreData);
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf("A", "0"));
    EXPECT_EQ(result.level, AccelerationLevel::Full);
}

TEST_F(StartupScanTest, OnlyTheFirstEnumeratedInstanceCounts) {
    // Created second but enumerated first: lower-case folding puts "a_1" before "AB".
    SeedLevel(reg_, "DEV", "AB", AccelerationLevel::Full);
    SeedLevel(reg_, "DEV", "a_1", AccelerationLevel::Standard);
    ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf("DEV", "a_1"));
    EXPECT_EQ(result.level, AccelerationLevel::Standard);

    // The registry is asked for the first instance's name alone, however many there are.
    for (int i = 0; i < 50; ++i) reg_.CreateKey(pci_ + "\\DEV\\z" + std::to_string(i));
    result = Scan();
    EXPECT_EQ(result.device, KeysOf("DEV", "a_1"));
    std::size_t instanceEnumerations = 0;
    for (const auto& call : reg_.Calls())
        instanceEnumerations += call.op == Op::Enum && call.path == pci_ + "\\DEV";
    EXPECT_EQ(instanceEnumerations, 1u);

    // A first instance without a usable value is not made up for by the second.
    reg_.SetDword(KeysOf("DEV", "a_1").mixerKeyPath.view(), "Acceleration", 2);
    ExpectNothingFound();
}

TEST_F(StartupScanTest, HandlesNamesOf255Characters) {
    const std::string device = "VEN_" + std::string(251, 'D');
    const std::string instance(255, 'i');
    SeedLevel(reg_, "A", "0", AccelerationLevel::Full);
    SeedLevel(reg_, device, instance, AccelerationLevel::Basic);
    SeedLevel(reg_, device, "short", AccelerationLevel::Off);  // "short" follows "iii..."
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf(device, instance));
    EXPECT_EQ(result.level, AccelerationLevel::Basic);
}

// 255 double-byte characters: 510 bytes, the largest name RegEnumKeyExA can give.
std::string LargestName(char last = '\xA0') {
    std::string name;
    for (int i = 0; i < 255; ++i) name += "\x82\xA0";
    name.back() = last;
    return name;
}

TEST_F(StartupScanTest, TheLongestPathsAreBuiltWholeAndANameTooLargeSkipsItsDevice) {
    const std::string device = LargestName();
    const std::string instance = LargestName();
    SeedLevel(reg_, device, instance, AccelerationLevel::Basic);
    testing::ForwardingRegistry registry(reg_);
    registry.reportedLongest = 255;  // characters, as the registry counts them
    registry.fillsShortBuffers = true;
    ScanResult result = ScanForDevice(registry);
    const std::string base = pci_ + "\\" + device + "\\" + instance + "\\DirectSound\\";
    ASSERT_TRUE(result.device.has_value());
    EXPECT_EQ(result.device->mixerKeyPath, base + "Mixer Defaults");
    EXPECT_EQ(result.device->presenceKeyPath, base + "Device Presence");
    EXPECT_EQ(result.level, AccelerationLevel::Basic);
    EXPECT_TRUE(result.writable());
    ASSERT_EQ((base + "Device Presence").size(), KeyPath::kCapacity) << "the test is at the limit";

    // Enumerated after it: a device whose name is a byte too large, and one whose first
    // instance's is, each with a level. Both are skipped: cut to fit, the first would be read as
    // the device before it, the second as an instance that is not there.
    const auto seedFull = [&](const std::string& instanceKey) {
        reg_.SetDword(instanceKey + "\\DirectSound\\Mixer Defaults", kAccelerationValue, 0);
        reg_.SetDword(instanceKey + "\\DirectSound\\Device Presence", kVxdValue, 1);
        reg_.SetDword(instanceKey + "\\DirectSound\\Device Presence", kWdmValue, 1);
    };
    const std::string longerDevice = device + "\x82";
    const std::string thirdDevice = LargestName('\xA1');
    seedFull(testing::InstanceKey(longerDevice, "0"));
    seedFull(testing::InstanceKey(thirdDevice, instance + "\x82"));
    SeedLevel(reg_, thirdDevice, "\xFF", AccelerationLevel::Full);  // its second instance
    registry.opens.clear();
    result = ScanForDevice(registry);
    EXPECT_EQ(result.device, KeysOf(device, instance));
    EXPECT_EQ(result.level, AccelerationLevel::Basic);
    std::size_t devicesOpened = 0, belowThird = 0;
    for (const auto& open : registry.opens) {
        devicesOpened += open.subKey == testing::DeviceKey(device);
        belowThird += open.subKey.rfind(testing::DeviceKey(thirdDevice) + "\\", 0) == 0;
    }
    EXPECT_EQ(devicesOpened, 1u) << "the name too large was read as the one it starts with";
    EXPECT_EQ(belowThird, 0u) << "an instance whose name cannot be read was looked into";
}

TEST_F(StartupScanTest, ScansTwoHundredDevices) {
    char name[16];
    for (int i = 199; i >= 0; --i) {
        std::snprintf(name, sizeof name, "VEN_%03d", i);
        if (i >= 190)
            SeedDevice(reg_, name, "0", 9);  // unusable, after the winner
        else
            SeedLevel(reg_, name, "0", static_cast<AccelerationLevel>(i % kLevelCount));
    }
    const ScanResult result = Scan();
    EXPECT_EQ(result.device, KeysOf("VEN_189", "0"));
    EXPECT_EQ(result.level, AccelerationLevel::Basic);  // 189 % 4
    std::size_t accelerationReads = 0;
    for (const auto& call : reg_.Calls())
        accelerationReads += call.op == Op::Query && call.valueName == "Acceleration";
    EXPECT_EQ(accelerationReads, 200u);
}

}  // namespace
}  // namespace quillaro
