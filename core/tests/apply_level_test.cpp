#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "apply_level.h"
#include "registry_fixtures.h"

namespace quillaro {
namespace {

using testing::Describe;
using testing::EveryOpenedKeyClosed;
using testing::KeysOf;
using testing::MemoryRegistry;
using testing::Op;
using testing::SeedDevice;
using testing::SeedLevel;

class ApplyLevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        SeedLevel(reg_, "OTHER", "0", AccelerationLevel::Basic);
        device_ = SeedLevel(reg_, "VEN_8086&DEV_2415", "3&13C0B0C5&0&FD", AccelerationLevel::Full);
        keysBefore_ = reg_.KeyCount();
        reg_.ClearCalls();
    }
    void TearDown() override {
        EXPECT_TRUE(EveryOpenedKeyClosed(reg_));
        EXPECT_EQ(reg_.KeyCount(), keysBefore_);  // writing never creates keys
        // The device not being controlled is never touched.
        EXPECT_EQ(reg_.GetDword(KeysOf("OTHER", "0").mixerKeyPath, "Acceleration"), 15u);
        EXPECT_EQ(reg_.GetDword(KeysOf("OTHER", "0").presenceKeyPath, "VxD"), 1u);
    }

    std::vector<std::string> PresenceSteps() const {
        const std::string& p = device_.presenceKeyPath;
        return {"Open " + p, "Set " + p + " VxD=1", "Set " + p + " WDM=1", "Close " + p};
    }

    MemoryRegistry reg_;
    DeviceKeys device_;
    std::size_t keysBefore_ = 0;
};

class ApplyPositionTest : public ApplyLevelTest, public ::testing::WithParamInterface<int> {};

TEST_P(ApplyPositionTest, OpensWritesAndClosesInOrder) {
    const int position = GetParam();
    const LevelValues v = *ValuesForPosition(position);
    const std::string& m = device_.mixerKeyPath;
    const std::string& p = device_.presenceKeyPath;
    EXPECT_TRUE(ApplyLevel(reg_, device_, position));
    EXPECT_EQ(Describe(reg_.Calls()),
              (std::vector<std::string>{
                  "Open " + m, "Set " + m + " Acceleration=" + std::to_string(v.acceleration),
                  "Close " + m, "Open " + p, "Set " + p + " VxD=" + std::to_string(v.vxd),
                  "Set " + p + " WDM=" + std::to_string(v.wdm), "Close " + p}));
    for (const auto& [path, name] : {std::pair{m, "Acceleration"}, {p, "VxD"}, {p, "WDM"}}) {
        const auto stored = reg_.GetValue(path, name);
        ASSERT_TRUE(stored.has_value()) << name;
        EXPECT_EQ(stored->type, kRegDword) << name;
        EXPECT_EQ(stored->data.size(), 4u) << name;
    }
}

TEST_P(ApplyPositionTest, ARestartReadsBackTheLevelFromAnyStartingLevel) {
    const int position = GetParam();
    for (int from = 0; from < kLevelCount; ++from) {
        SCOPED_TRACE("from level " + std::to_string(from));
        SeedLevel(reg_, "VEN_8086&DEV_2415", "3&13C0B0C5&0&FD", *LevelAtPosition(from));
        ASSERT_TRUE(ApplyLevel(reg_, device_, position));
        const ScanResult restarted = ScanForDevice(reg_);
        EXPECT_EQ(restarted.device, device_);
        EXPECT_EQ(restarted.level, LevelAtPosition(position));
    }
}

INSTANTIATE_TEST_SUITE_P(AllLevels, ApplyPositionTest, ::testing::Range(0, kLevelCount));

TEST_F(ApplyLevelTest, NothingIsOpenedWithoutADeviceOrForAPositionOffTheSlider) {
    for (int position : {0, 3}) EXPECT_FALSE(ApplyLevel(reg_, std::nullopt, position));
    for (int position : {-1, 4, INT_MIN, INT_MAX}) EXPECT_FALSE(ApplyLevel(reg_, device_, position));
    EXPECT_TRUE(reg_.Calls().empty());
}

TEST_F(ApplyLevelTest, MissingPresenceKeyStillWritesAccelerationButFails) {
    const DeviceKeys partial{device_.mixerKeyPath, device_.presenceKeyPath + " (missing)"};
    EXPECT_FALSE(ApplyLevel(reg_, partial, PositionOf(AccelerationLevel::Standard)));
    EXPECT_EQ(reg_.GetDword(device_.mixerKeyPath, "Acceleration"), 8u);
    EXPECT_EQ(testing::CountCalls(reg_, Op::Set), 1u);
    EXPECT_EQ(reg_.Calls().back().op, Op::Open);
    EXPECT_EQ(reg_.Calls().back().result, kErrorFileNotFound);
}

TEST_F(ApplyLevelTest, PresenceKeyRefusingFullAccessStillWritesAccelerationButFails) {
    reg_.DenyFullAccess(device_.presenceKeyPath);
    EXPECT_FALSE(ApplyLevel(reg_, device_, PositionOf(AccelerationLevel::Off)));
    EXPECT_EQ(reg_.GetDword(device_.mixerKeyPath, "Acceleration"), 15u);
    EXPECT_EQ(reg_.GetDword(device_.presenceKeyPath, "VxD"), 1u);
    EXPECT_EQ(reg_.GetDword(device_.presenceKeyPath, "WDM"), 1u);
    const std::string& m = device_.mixerKeyPath;
    EXPECT_EQ(Describe(reg_.Calls()),
              (std::vector<std::string>{"Open " + m, "Set " + m + " Acceleration=15", "Close " + m,
                                        "Open " + device_.presenceKeyPath + " !5"}));
}

TEST_F(ApplyLevelTest, MixerKeyThatDoesNotOpenFails) {
    reg_.DenyFullAccess(device_.mixerKeyPath);
    EXPECT_FALSE(ApplyLevel(reg_, device_, PositionOf(AccelerationLevel::Standard)));
    EXPECT_EQ(reg_.GetDword(device_.mixerKeyPath, "Acceleration"), 0u);
    EXPECT_EQ(testing::Describe(reg_.Calls().front()), "Open " + device_.mixerKeyPath + " !5");

    const DeviceKeys missingMixer{device_.mixerKeyPath + " (missing)", device_.presenceKeyPath};
    EXPECT_FALSE(ApplyLevel(reg_, missingMixer, PositionOf(AccelerationLevel::Standard)));
}

TEST_F(ApplyLevelTest, RefusedMixerWriteFails) {
    reg_.FailWrites(device_.mixerKeyPath, kErrorAccessDenied);
    EXPECT_FALSE(ApplyLevel(reg_, device_, PositionOf(AccelerationLevel::Standard)));
    EXPECT_EQ(reg_.GetDword(device_.mixerKeyPath, "Acceleration"), 0u);
    const std::vector<std::string> steps = Describe(reg_.Calls());
    ASSERT_EQ(steps.size(), 7u);
    EXPECT_EQ(steps[1], "Set " + device_.mixerKeyPath + " Acceleration !5");
    EXPECT_EQ(std::vector<std::string>(steps.begin() + 3, steps.end()), PresenceSteps());
}

TEST_F(ApplyLevelTest, RefusedPresenceWritesFailAndLeaveTheOldValues) {
    reg_.FailWrites(device_.presenceKeyPath, kErrorAccessDenied);
    EXPECT_FALSE(ApplyLevel(reg_, device_, PositionOf(AccelerationLevel::Off)));
    EXPECT_EQ(reg_.GetDword(device_.presenceKeyPath, "VxD"), 1u);
    EXPECT_EQ(reg_.GetDword(device_.presenceKeyPath, "WDM"), 1u);
    // Both presence writes are attempted even though the first was refused.
    std::size_t refused = 0;
    for (const auto& call : reg_.Calls())
        refused += call.op == Op::Set && call.result == kErrorAccessDenied;
    EXPECT_EQ(refused, 2u);
    EXPECT_EQ(reg_.GetDword(device_.mixerKeyPath, "Acceleration"), 15u);
}

TEST_F(ApplyLevelTest, AnyOneRefusedWriteFails) {
    for (const char* refused : {"Acceleration", "VxD", "WDM"}) {
        SCOPED_TRACE(refused);
        testing::ForwardingRegistry api(reg_);
        api.refusedValue = refused;
        EXPECT_FALSE(ApplyLevel(api, device_, PositionOf(AccelerationLevel::Basic)));
        EXPECT_TRUE(ApplyLevel(reg_, device_, PositionOf(AccelerationLevel::Full)));
    }
}

TEST_F(ApplyLevelTest, AppliesToTheDeviceTheScanChose) {
    const ScanResult scanned = ScanForDevice(reg_);
    ASSERT_EQ(scanned.device, device_);
    EXPECT_TRUE(ApplyLevel(reg_, scanned.device, PositionOf(AccelerationLevel::Off)));
    EXPECT_EQ(ScanForDevice(reg_).level, AccelerationLevel::Off);
    EXPECT_EQ(reg_.GetDword(device_.presenceKeyPath, "WDM"), 0u);
}

}  // namespace
}  // namespace quillaro
