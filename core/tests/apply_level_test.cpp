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
        mixer_ = device_.mixerKeyPath.view();
        presence_ = device_.presenceKeyPath.view();
        keysBefore_ = reg_.KeyCount();
        reg_.ClearCalls();
    }
    void TearDown() override {
        EXPECT_TRUE(EveryOpenedKeyClosed(reg_));
        EXPECT_EQ(reg_.KeyCount(), keysBefore_);  // writing never creates keys
        // The device not being controlled is never touched.
        EXPECT_EQ(reg_.GetDword(KeysOf("OTHER", "0").mixerKeyPath.view(), "Acceleration"), 15u);
        EXPECT_EQ(reg_.GetDword(KeysOf("OTHER", "0").presenceKeyPath.view(), "VxD"), 1u);
    }

    // Nothing stored, and every key opened for writing closed again.
    void ExpectNothingWritten() const {
        for (const auto& call : reg_.Calls())
            EXPECT_FALSE(call.op == Op::Set && call.result == kErrorSuccess) << Describe(call);
        EXPECT_EQ(reg_.GetDword(mixer_, "Acceleration"), 0u);
        EXPECT_EQ(reg_.GetDword(presence_, "VxD"), 1u);
        EXPECT_EQ(reg_.GetDword(presence_, "WDM"), 1u);
    }

    MemoryRegistry reg_;
    DeviceKeys device_;
    std::string mixer_, presence_;  // device_'s paths
    std::size_t keysBefore_ = 0;
};

class ApplyPositionTest : public ApplyLevelTest, public ::testing::WithParamInterface<int> {};

TEST_P(ApplyPositionTest, OpensWritesAndClosesInOrder) {
    const int position = GetParam();
    const LevelValues v = *ValuesForPosition(position);
    const std::string& m = mixer_;
    const std::string& p = presence_;
    EXPECT_TRUE(ApplyLevel(reg_, device_, position));
    // Both keys are open before the first value is written.
    EXPECT_EQ(Describe(reg_.Calls()),
              (std::vector<std::string>{
                  "Open " + m, "Open " + p,
                  "Set " + m + " Acceleration=" + std::to_string(v.acceleration),
                  "Set " + p + " VxD=" + std::to_string(v.vxd),
                  "Set " + p + " WDM=" + std::to_string(v.wdm), "Close " + p, "Close " + m}));
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

TEST_F(ApplyLevelTest, AKeyThatIsMissingOrRefusesWritesMeansNothingIsWritten) {
    const auto standard = PositionOf(AccelerationLevel::Standard);
    const DeviceKeys noPresence = testing::MakeKeys(mixer_, presence_ + " (missing)");
    const DeviceKeys noMixer = testing::MakeKeys(mixer_ + " (missing)", presence_);
    EXPECT_FALSE(ApplyLevel(reg_, noPresence, standard));
    EXPECT_FALSE(ApplyLevel(reg_, noMixer, standard));
    ExpectNothingWritten();
    for (const std::string& readOnly : {presence_, mixer_}) {
        SCOPED_TRACE(readOnly);
        reg_.DenyFullAccess(readOnly);
        EXPECT_FALSE(ApplyLevel(reg_, device_, standard));
        ExpectNothingWritten();
        EXPECT_EQ(ScanForDevice(reg_).level, AccelerationLevel::Full);
    }
}

TEST_F(ApplyLevelTest, WritesStopAtTheFirstOneRefused) {
    reg_.FailWrites(mixer_, kErrorAccessDenied);
    EXPECT_FALSE(ApplyLevel(reg_, device_, PositionOf(AccelerationLevel::Off)));
    EXPECT_EQ(Describe(reg_.Calls()),
              (std::vector<std::string>{"Open " + mixer_, "Open " + presence_,
                                        "Set " + mixer_ + " Acceleration !5",
                                        "Close " + presence_, "Close " + mixer_}));
    ExpectNothingWritten();
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
    EXPECT_EQ(reg_.GetDword(presence_, "WDM"), 0u);
}

}  // namespace
}  // namespace quillaro
