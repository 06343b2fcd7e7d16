#include "levels.h"

#include <array>

namespace quillaro {

namespace {

constexpr std::array<LevelValues, kLevelCount> kTable{{
    {15, 0, 0},  // Off
    {15, 1, 1},  // Basic
    {8, 1, 1},   // Standard
    {0, 1, 1},   // Full
}};

}  // namespace

std::optional<LevelValues> ValuesForPosition(int position) {
    if (position < 0 || position >= kLevelCount) return std::nullopt;
    return kTable[static_cast<std::size_t>(position)];
}

std::optional<AccelerationLevel> LevelAtPosition(int position) {
    if (position < 0 || position >= kLevelCount) return std::nullopt;
    return static_cast<AccelerationLevel>(position);
}

LevelCode ClassifyStoredValue(bool readSucceeded, std::uint32_t type,
                              std::span<const std::byte> data) {
    if (!readSucceeded || data.size() != 4 || (type != kRegDword && type != kRegBinary))
        return LevelCode::Unusable;
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i)
        number |= static_cast<std::uint32_t>(std::to_integer<std::uint8_t>(data[i])) << (8 * i);
    switch (number) {
        case 15: return LevelCode::OffOrBasic;
        case 8: return LevelCode::Standard;
        case 0: return LevelCode::Full;
        case 1: return LevelCode::NoTableLevel;
        default: return LevelCode::Unusable;
    }
}

}  // namespace quillaro
