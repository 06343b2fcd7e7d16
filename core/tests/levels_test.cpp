#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "levels.h"
#include "registry_fixtures.h"

namespace quillaro {
namespace {

using testing::Bytes;

TEST(LevelTable, EachSliderPositionCarriesItsLevelsValues) {
    const LevelValues expected[] = {{15, 0, 0}, {15, 1, 1}, {8, 1, 1}, {0, 1, 1}};
    const AccelerationLevel levels[] = {AccelerationLevel::Off, AccelerationLevel::Basic,
                                        AccelerationLevel::Standard, AccelerationLevel::Full};
    for (int position = 0; position < kLevelCount; ++position) {
        SCOPED_TRACE(position);
        EXPECT_EQ(ValuesForPosition(position), expected[position]);
        EXPECT_EQ(LevelAtPosition(position), levels[position]);
        EXPECT_EQ(PositionOf(levels[position]), position);
    }
}

TEST(LevelTable, PositionsOutsideTheSliderGiveNothing) {
    for (int position : {-1, 4, 5, 100, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(position);
        EXPECT_FALSE(ValuesForPosition(position).has_value());
        EXPECT_FALSE(LevelAtPosition(position).has_value());
    }
}

TEST(LevelTable, CodesCompareWithTheirNumbers) {
    EXPECT_EQ(static_cast<int>(LevelCode::Unusable), -1);
    EXPECT_EQ(static_cast<int>(LevelCode::NoTableLevel), 0);
    EXPECT_EQ(static_cast<int>(LevelCode::OffOrBasic), 1);
    EXPECT_EQ(static_cast<int>(LevelCode::Standard), 2);
    EXPECT_EQ(static_cast<int>(LevelCode::Full), 3);
}

struct StoredCase {
    std::string name;
    bool readSucceeded;
    std::uint32_t type;
    std::vector<std::byte> data;
    LevelCode expected;
};

void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.name; }

class ClassifyStoredValueTest : public ::testing::TestWithParam<StoredCase> {};

TEST_P(ClassifyStoredValueTest, Classifies) {
    const StoredCase& c = GetParam();
    EXPECT_EQ(ClassifyStoredValue(c.readSucceeded, c.type, c.data), c.expected);
}

constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegDwordBigEndian = 5;
constexpr std::uint32_t kRegQword = 11;

INSTANTIATE_TEST_SUITE_P(
    Values, ClassifyStoredValueTest,
    ::testing::Values(
        StoredCase{"Dword15", true, kRegDword, Bytes({15, 0, 0, 0}), LevelCode::OffOrBasic},
        StoredCase{"Dword8", true, kRegDword, Bytes({8, 0, 0, 0}), LevelCode::Standard},
        StoredCase{"Dword0", true, kRegDword, Bytes({0, 0, 0, 0}), LevelCode::Full},
        StoredCase{"Dword1", true, kRegDword, Bytes({1, 0, 0, 0}), LevelCode::NoTableLevel},
        StoredCase{"Binary15", true, kRegBinary, Bytes({15, 0, 0, 0}), LevelCode::OffOrBasic},
        StoredCase{"Binary8", true, kRegBinary, Bytes({8, 0, 0, 0}), LevelCode::Standard},
        StoredCase{"Binary0", true, kRegBinary, Bytes({0, 0, 0, 0}), LevelCode::Full},
        StoredCase{"Binary1", true, kRegBinary, Bytes({1, 0, 0, 0}), LevelCode::NoTableLevel},
        // The bytes are a little-endian number that must match exactly.
        StoredCase{"Dword3840", true, kRegDword, Bytes({0, 15, 0, 0}), LevelCode::Unusable},
        StoredCase{"Dword256", true, kRegDword, Bytes({0, 1, 0, 0}), LevelCode::Unusable},
        StoredCase{"Dword0x01000000", true, kRegDword, Bytes({0, 0, 0, 1}), LevelCode::Unusable},
        StoredCase{"Dword15BigEndian", true, kRegDword, Bytes({0, 0, 0, 15}), LevelCode::Unusable},
        StoredCase{"Dword2", true, kRegDword, Bytes({2, 0, 0, 0}), LevelCode::Unusable},
        StoredCase{"Dword16", true, kRegDword, Bytes({16, 0, 0, 0}), LevelCode::Unusable},
        StoredCase{"Dword0x0100000F", true, kRegDword, Bytes({15, 0, 0, 1}), LevelCode::Unusable},
        StoredCase{"DwordAllOnes", true, kRegDword, Bytes({255, 255, 255, 255}),
                   LevelCode::Unusable},
        // Only exactly four bytes count.
        StoredCase{"TwoBytes15", true, kRegDword, Bytes({15, 0}), LevelCode::Unusable},
        StoredCase{"ThreeBytes15", true, kRegBinary, Bytes({15, 0, 0}), LevelCode::Unusable},
        StoredCase{"FiveBytes15", true, kRegBinary, Bytes({15, 0, 0, 0, 0}), LevelCode::Unusable},
        StoredCase{"Qword15", true, kRegQword, Bytes({15, 0, 0, 0, 0, 0, 0, 0}),
                   LevelCode::Unusable},
        StoredCase{"NoBytes", true, kRegDword, {}, LevelCode::Unusable},
        // Only REG_DWORD and REG_BINARY count.
        StoredCase{"QwordTypeFourBytes", true, kRegQword, Bytes({15, 0, 0, 0}), LevelCode::Unusable},
        StoredCase{"StringFifteen", true, kRegSz, Bytes({'1', '5', 0}), LevelCode::Unusable},
        StoredCase{"StringTypeFourBytes", true, kRegSz, Bytes({8, 0, 0, 0}), LevelCode::Unusable},
        StoredCase{"NoneType", true, kRegNone, Bytes({0, 0, 0, 0}), LevelCode::Unusable},
        StoredCase{"BigEndianType", true, kRegDwordBigEndian, Bytes({0, 0, 0, 8}),
                   LevelCode::Unusable},
        // A failed read never counts, whatever the buffer holds.
        StoredCase{"FailedRead", false, kRegDword, Bytes({8, 0, 0, 0}), LevelCode::Unusable}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quillaro
