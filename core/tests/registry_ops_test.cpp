#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_fixtures.h"
#include "registry_ops.h"

namespace quillaro {
namespace {

using testing::Bytes;
using testing::Describe;
using testing::EveryOpenedKeyClosed;
using testing::ForwardingRegistry;
using testing::MemoryRegistry;
using testing::Op;

class RegistryOpsTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(EveryOpenedKeyClosed(reg_)); }

    std::size_t EnumCallsAt(const std::string& path) const {
        std::size_t n = 0;
        for (const auto& call : reg_.Calls()) n += call.op == Op::Enum && call.path == path;
        return n;
    }

    MemoryRegistry reg_;
    const std::string key_ = "SOFTWARE\\Quillaro\\Test";
};

// --- MachineKey ---------------------------------------------------------------------------

TEST_F(RegistryOpsTest, MachineKeyOpensUnderLocalMachineForReadingUnlessToldAndClosesOnce) {
    reg_.CreateKey(key_);
    ForwardingRegistry spy(reg_);
    {
        MachineKey key(spy, key_);
        EXPECT_TRUE(key.isOpen());
        EXPECT_NE(key.handle(), 0u);
        EXPECT_EQ(reg_.OpenHandleCount(), 1u);
        MachineKey writing(spy, key_, kKeySetValue);
        EXPECT_TRUE(writing.isOpen());
    }
    ASSERT_EQ(spy.opens.size(), 2u);
    EXPECT_EQ(spy.opens[0].root, kHkeyLocalMachine);
    EXPECT_EQ(spy.opens[0].subKey, key_);
    EXPECT_EQ(spy.opens[0].options, 0u);
    EXPECT_EQ(spy.opens[0].access, 0x20019u);  // KEY_READ
    EXPECT_EQ(spy.opens[1].access, 0x2u);      // KEY_SET_VALUE
    EXPECT_EQ(Describe(reg_.Calls()), (std::vector<std::string>{"Open " + key_, "Open " + key_,
                                                                "Close " + key_, "Close " + key_}));
}

TEST_F(RegistryOpsTest, MachineKeyThatDoesNotOpenHasNoHandleAndClosesNothing) {
    reg_.DenyFullAccess(key_);
    {
        MachineKey missing(reg_, "SOFTWARE\\Nowhere");
        MachineKey denied(reg_, key_, kKeySetValue);
        EXPECT_FALSE(missing.isOpen());
        EXPECT_EQ(missing.handle(), 0u);
        EXPECT_FALSE(denied.isOpen());
        EXPECT_EQ(denied.handle(), 0u);
    }
    EXPECT_EQ(Describe(reg_.Calls()),
              (std::vector<std::string>{"Open SOFTWARE\\Nowhere !2", "Open " + key_ + " !5"}));
}

// --- SubkeyList ---------------------------------------------------------------------------

TEST_F(RegistryOpsTest, NamesComeInWineOrderWithTheirStoredCase) {
    // Lower-case folding puts '_' (0x5F) before letters; a prefix comes before longer names.
    for (const char* name : {"zeta", "a_x", "AB", "a", "abc", "B"}) reg_.CreateKey(key_ + "\\" + name);
    EXPECT_EQ(testing::SubkeyNames(reg_, key_),
              (std::vector<std::string>{"a", "a_x", "AB", "abc", "B", "zeta"}));
}

TEST_F(RegistryOpsTest, NamesAreExactEvenBeside255CharacterNames) {
    const std::string longA(255, 'A');
    const std::string longB = std::string(254, 'B') + "z";
    for (const std::string& name : {longB, std::string("x"), longA}) reg_.CreateKey(key_ + "\\" + name);
    const auto names = testing::SubkeyNames(reg_, key_);
    ASSERT_EQ(names, (std::vector<std::string>{longA, longB, "x"}));
    EXPECT_EQ(names[2].size(), 1u);  // no terminator or padding carried along
    EXPECT_EQ(EnumCallsAt(key_), 3u);
}

TEST_F(RegistryOpsTest, KeysWithoutNamesToListGiveNoNames) {
    reg_.CreateKey(key_ + "\\Empty");
    reg_.CreateKey(key_ + "\\Failing\\Child");
    reg_.FailQueryInfo(key_ + "\\Failing", kErrorAccessDenied);
    reg_.CreateKey(key_ + "\\Denied\\Child");
    reg_.DenyAllAccess(key_ + "\\Denied");
    EXPECT_TRUE(testing::SubkeyNames(reg_, key_ + "\\Empty").empty());
    EXPECT_TRUE(testing::SubkeyNames(reg_, key_ + "\\Missing").empty());
    EXPECT_TRUE(testing::SubkeyNames(reg_, key_ + "\\Failing").empty());
    EXPECT_TRUE(testing::SubkeyNames(reg_, key_ + "\\Denied").empty());
    EXPECT_EQ(testing::CountCalls(reg_, Op::Enum), 0u);
}

TEST_F(RegistryOpsTest, FailedEnumerationLeavesOnlyThatNameEmpty) {
    for (const char* name : {"one", "three", "two"}) reg_.CreateKey(key_ + "\\" + name);
    reg_.FailEnumIndex(key_, 1, kErrorAccessDenied);
    EXPECT_EQ(testing::SubkeyNames(reg_, key_), (std::vector<std::string>{"one", "", "two"}));
    reg_.FailEnumIndex(key_, 0, kErrorNoMoreItems);
    EXPECT_EQ(testing::SubkeyNames(reg_, key_), (std::vector<std::string>{"", "", "two"}));
}

TEST_F(RegistryOpsTest, TooShortFirstBufferIsRetriedLarger) {
    const std::string longName(255, 'n');
    for (const std::string& name : {std::string("ab"), longName}) reg_.CreateKey(key_ + "\\" + name);
    ForwardingRegistry underReporting(reg_);
    underReporting.reportedLongest = 1;
    EXPECT_EQ(testing::SubkeyNames(underReporting, key_),
              (std::vector<std::string>{"ab", longName}));
    EXPECT_EQ(Describe(reg_.Calls()),
              (std::vector<std::string>{"Open " + key_, "QueryInfo " + key_,
                                        "Enum " + key_ + " !234", "Enum " + key_,
                                        "Enum " + key_ + " !234", "Enum " + key_,
                                        "Close " + key_}));
}

TEST_F(RegistryOpsTest, MoreDataIsRetriedOnlyOnce) {
    reg_.CreateKey(key_ + "\\a");
    reg_.CreateKey(key_ + "\\b");
    reg_.FailEnumIndex(key_, 0, kErrorMoreData);
    EXPECT_EQ(testing::SubkeyNames(reg_, key_), (std::vector<std::string>{"", "b"}));
    EXPECT_EQ(EnumCallsAt(key_), 3u);
}

// A name of 255 double-byte characters, as RegEnumKeyExA gives it in such a code page: 510
// bytes, the largest name there can be.
std::string DoubleByteName(std::size_t characters) {
    std::string name;
    for (std::size_t i = 0; i < characters; ++i) name += "\x82\xA0";
    return name;
}

TEST_F(RegistryOpsTest, NamesUpToTheLargestAnsiSizeAreReadWholeAndLongerOnesNotAtAll) {
    const std::string longest(255, 'a');
    const std::string largest = DoubleByteName(255);
    const std::string tooLarge = largest + "\x82";
    for (const std::string& name : {tooLarge, largest, longest}) reg_.CreateKey(key_ + "\\" + name);
    // The registry counts 255 characters; the buffer must hold 510 bytes.
    ForwardingRegistry registry(reg_);
    registry.reportedLongest = 255;
    registry.fillsShortBuffers = true;
    const auto names = testing::SubkeyNames(registry, key_);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], longest);
    EXPECT_EQ(names[1], largest);
    EXPECT_EQ(names[2], "") << "a name one byte too large is not read at all, never cut short";
    // A first try with the registry's count, and one more with room for the largest name.
    EXPECT_EQ(Describe(reg_.Calls()),
              (std::vector<std::string>{"Open " + key_, "QueryInfo " + key_, "Enum " + key_,
                                        "Enum " + key_ + " !234", "Enum " + key_,
                                        "Enum " + key_ + " !234", "Enum " + key_ + " !234",
                                        "Close " + key_}));
}

// --- ReadLevelCode ------------------------------------------------------------------------

TEST_F(RegistryOpsTest, ReadLevelCodeClassifiesTheStoredValue) {
    reg_.SetDword(key_, "Acceleration", 8);
    reg_.SetValue(key_, "Binary", kRegBinary, Bytes({0, 0, 0, 0}));
    reg_.SetValue(key_, "Qword", 11, Bytes({15, 0, 0, 0, 0, 0, 0, 0}));
    reg_.SetValue(key_, "Short", kRegDword, Bytes({15, 0}));
    reg_.SetValue(key_, "Text", 1, Bytes({'8', 0}));
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Acceleration"), LevelCode::Standard);
    EXPECT_EQ(ReadLevelCode(reg_, key_, "aCCELERATION"), LevelCode::Standard);
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Binary"), LevelCode::Full);
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Qword"), LevelCode::Unusable);
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Short"), LevelCode::Unusable);
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Text"), LevelCode::Unusable);
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Absent"), LevelCode::Unusable);
    EXPECT_EQ(ReadLevelCode(reg_, key_ + "\\Missing", "Acceleration"), LevelCode::Unusable);
    EXPECT_EQ(testing::CountCalls(reg_, Op::Set), 0u);
}

TEST_F(RegistryOpsTest, ReadLevelCodeReadsAKeyThatRefusesWritesButNotOneThatRefusesReading) {
    reg_.SetDword(key_, "Acceleration", 8);
    reg_.DenyFullAccess(key_);
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Acceleration"), LevelCode::Standard);
    EXPECT_EQ(CheckWriteAccess(reg_, key_), kErrorAccessDenied);
    reg_.DenyAllAccess(key_);
    reg_.ClearCalls();
    EXPECT_EQ(ReadLevelCode(reg_, key_, "Acceleration"), LevelCode::Unusable);
    EXPECT_EQ(testing::CountCalls(reg_, Op::Query), 0u);
}

// --- WriteDwordValue ----------------------------------------------------------------------

TEST_F(RegistryOpsTest, WriteWithoutAKeyChangesNothing) {
    reg_.SetDword(key_, "VxD", 1);
    const std::size_t values = reg_.ValueCount();
    EXPECT_FALSE(WriteDwordValue(reg_, 0, "VxD", 0));
    EXPECT_TRUE(reg_.Calls().empty());
    EXPECT_EQ(reg_.ValueCount(), values);
    EXPECT_EQ(reg_.GetDword(key_, "VxD"), 1u);
}

TEST_F(RegistryOpsTest, WriteStoresALittleEndianDword) {
    reg_.SetValue(key_, "WDM", 1, Bytes({'x', 0}));
    {
        MachineKey key(reg_, key_, kKeySetValue);
        EXPECT_TRUE(WriteDwordValue(reg_, key.handle(), "Acceleration", 0x12345678));
        EXPECT_TRUE(WriteDwordValue(reg_, key.handle(), "wdm", 15));
    }
    const auto stored = reg_.GetValue(key_, "Acceleration");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, kRegDword);
    EXPECT_EQ(stored->data, Bytes({0x78, 0x56, 0x34, 0x12}));
    const auto replaced = reg_.GetValue(key_, "WDM");
    ASSERT_TRUE(replaced.has_value());
    EXPECT_EQ(replaced->type, kRegDword);
    EXPECT_EQ(replaced->data, Bytes({15, 0, 0, 0}));
    EXPECT_EQ(reg_.ValueCount(), 2u);
}

TEST_F(RegistryOpsTest, RefusedWriteReportsFailure) {
    reg_.CreateKey(key_);
    reg_.FailWrites(key_, kErrorAccessDenied);
    MachineKey key(reg_, key_, kKeySetValue);
    EXPECT_FALSE(WriteDwordValue(reg_, key.handle(), "VxD", 1));
    EXPECT_FALSE(reg_.GetValue(key_, "VxD").has_value());
}

TEST_F(RegistryOpsTest, WriteThroughAReadOnlyHandleReportsFailure) {
    reg_.CreateKey(key_);
    KeyHandle readOnly = 0;
    ASSERT_EQ(reg_.OpenKeyEx(kHkeyLocalMachine, key_.c_str(), 0, 0x20019, &readOnly), kErrorSuccess);
    EXPECT_FALSE(WriteDwordValue(reg_, readOnly, "VxD", 1));
    reg_.CloseKey(readOnly);
    EXPECT_EQ(reg_.ValueCount(), 0u);
}

}  // namespace
}  // namespace quillaro
