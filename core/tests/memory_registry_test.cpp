// The fake registry's behaviour that the program's own tests depend on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_fixtures.h"

namespace quillaro {
namespace {

using testing::Bytes;
using testing::MemoryRegistry;

constexpr std::uint32_t kKeyRead = 0x20019;

class MemoryRegistryTest : public ::testing::Test {
protected:
    KeyHandle Open(const std::string& path, std::uint32_t access, std::int32_t expected) {
        KeyHandle handle = 0xDEAD;
        EXPECT_EQ(reg_.OpenKeyEx(kHkeyLocalMachine, path.c_str(), 0, access, &handle), expected);
        if (expected != kErrorSuccess) {
            EXPECT_EQ(handle, 0u);
        }
        return handle;
    }

    MemoryRegistry reg_;
    const std::string key_ = "SYSTEM\\Test";
};

TEST_F(MemoryRegistryTest, EnumeratesInNameOrderAndSaysWhenTheBufferIsShort) {
    // Lower-case folding puts "a_" before "AB" ('_' is 0x5F, 'b' 0x62); a prefix comes first.
    for (const char* name : {"a_", "AB", "a"}) reg_.CreateKey(key_ + "\\" + name);
    const KeyHandle key = Open(key_, kKeyAllAccess, kErrorSuccess);
    std::vector<std::string> names;
    char buffer[8];
    for (std::uint32_t i = 0; i < 3; ++i) {
        std::uint32_t length = sizeof buffer;
        ASSERT_EQ(reg_.EnumKeyEx(key, i, buffer, &length), kErrorSuccess);
        names.emplace_back(buffer, length);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "a_", "AB"}));
    std::uint32_t length = sizeof buffer;
    EXPECT_EQ(reg_.EnumKeyEx(key, 3, buffer, &length), kErrorNoMoreItems);

    length = 2;  // "AB" needs room for its terminator too
    EXPECT_EQ(reg_.EnumKeyEx(key, 1, buffer, &length), kErrorMoreData);
    length = 3;
    EXPECT_EQ(reg_.EnumKeyEx(key, 1, buffer, &length), kErrorSuccess);
    EXPECT_EQ(length, 2u);
    reg_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, QueryValueSaysWhenTheDataBufferIsShort) {
    reg_.SetValue(key_, "Q", 11, Bytes({15, 0, 0, 0, 0, 0, 0, 0}));
    const KeyHandle key = Open(key_, kKeyRead, kErrorSuccess);
    std::byte data[4]{};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    EXPECT_EQ(reg_.QueryValueEx(key, "Q", &type, data, &size), kErrorMoreData);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, 11u);
    reg_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, KeyRefusingFullAccessStillOpensForReading) {
    reg_.SetDword(key_, "VxD", 1);
    reg_.DenyFullAccess(key_);
    Open(key_, kKeyAllAccess, kErrorAccessDenied);
    const KeyHandle key = Open(key_, kKeyRead, kErrorSuccess);
    std::byte data[4]{};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    EXPECT_EQ(reg_.QueryValueEx(key, "VxD", &type, data, &size), kErrorSuccess);
    EXPECT_EQ(reg_.SetValueEx(key, "VxD", kRegDword, data, size), kErrorAccessDenied);
    EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);
    EXPECT_EQ(reg_.CloseKey(key), kErrorInvalidHandle);
}

TEST_F(MemoryRegistryTest, LooksUpKeysAndValuesWithoutRegardToCase) {
    reg_.SetDword("SYSTEM\\CurrentControlSet\\Mixer", "Acceleration", 8);
    reg_.CreateKey("system\\currentcontrolset\\MIXER");
    EXPECT_EQ(reg_.KeyCount(), 3u);
    const KeyHandle key = Open("System\\CURRENTCONTROLSET\\mixer", kKeyAllAccess, kErrorSuccess);
    EXPECT_EQ(reg_.Calls().back().path, "SYSTEM\\CurrentControlSet\\Mixer");  // as created
    std::byte data[4]{};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    EXPECT_EQ(reg_.QueryValueEx(key, "ACCELERATION", &type, data, &size), kErrorSuccess);
    EXPECT_EQ(std::to_integer<int>(data[0]), 8);
    reg_.CloseKey(key);
    EXPECT_EQ(reg_.GetDword("SYSTEM\\CURRENTCONTROLSET\\MIXER", "acceleration"), 8u);
}

}  // namespace
}  // namespace quillaro
