// The four acceleration levels and the registry values that make up each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillaro {

// A level's number is also the position of the slider that shows it.
enum class AccelerationLevel : int { Off = 0, Basic = 1, Standard = 2, Full = 3 };

inline constexpr int kLevelCount = 4;

// Each level's name, by its number.
inline constexpr const char* kLevelNames[kLevelCount] = {"Off", "Basic", "Standard", "Full"};

// What a stored value says about the level. Callers compare it with numbers.
enum class LevelCode : int {
    Unusable = -1,     // missing, unreadable, wrong size or type, or an unknown number
    NoTableLevel = 0,  // "Acceleration" = 1, or "VxD" = 1
    OffOrBasic = 1,    // "Acceleration" = 15: "VxD" decides
    Standard = 2,      // "Acceleration" = 8
    Full = 3,          // "Acceleration" = 0, or "VxD" = 0
};

struct LevelValues {
    std::uint32_t acceleration;  // in "Mixer Defaults"
    std::uint32_t vxd;           // in "Device Presence"
    std::uint32_t wdm;           // in "Device Presence"
    friend bool operator==(const LevelValues&, const LevelValues&) = default;
};

inline constexpr char kAccelerationValue[] = "Acceleration";
inline constexpr char kVxdValue[] = "VxD";
inline constexpr char kWdmValue[] = "WDM";

// The values for a slider position; nothing for a position outside 0..3.
std::optional<LevelValues> ValuesForPosition(int position);

// The level at a slider position, if it is one.
std::optional<AccelerationLevel> LevelAtPosition(int position);

inline constexpr int PositionOf(AccelerationLevel level) { return static_cast<int>(level); }

// Registry value types that can carry a level.
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Classifies a value as delivered by the registry. Only a successful read of exactly four
// bytes typed REG_DWORD or REG_BINARY counts; the bytes are a little-endian number that must
// be one of the table's numbers exactly.
LevelCode ClassifyStoredValue(bool readSucceeded, std::uint32_t type,
                              std::span<const std::byte> data);

}  // namespace quillaro
