#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

#include "bounded_text.h"

namespace quillaro {
namespace {

using Text8 = BoundedText<8>;

TEST(BoundedText, CopiesUpToTheCapacityAndRefusesOneMoreLeavingTheTextAsItWas) {
    Text8 text;
    EXPECT_FALSE(text.Assign("123456789"));
    EXPECT_TRUE(text.empty());
    ASSERT_TRUE(text.Assign("abc"));
    EXPECT_FALSE(text.Append("defghi"));  // 9 characters in all
    EXPECT_EQ(text.view(), "abc");
    EXPECT_STREQ(text.c_str(), "abc");
    EXPECT_TRUE(text.Append("defgh"));  // exactly 8
    EXPECT_EQ(text.view(), "abcdefgh");
    EXPECT_FALSE(text.Append("i"));
    EXPECT_TRUE(text.Append(""));
    EXPECT_EQ(text.view(), "abcdefgh");
    EXPECT_STREQ(text.c_str(), "abcdefgh");
    EXPECT_FALSE(text.Assign("123456789"));
    EXPECT_EQ(text.view(), "abcdefgh");
    EXPECT_TRUE(text.Assign("12345678"));
    EXPECT_EQ(text.view(), "12345678");
}

// What a function writing into Buffer() leaves behind is taken up to its first NUL, and never
// from past the room it had.
TEST(BoundedText, AdoptingWhatAFunctionWroteStopsAtTheBufferOrItsRoom) {
    Text8 text;
    std::memset(text.Buffer(), 'y', Text8::kCapacity + 1);  // no NUL anywhere
    EXPECT_FALSE(text.AdoptTerminated(Text8::kCapacity + 1));
    EXPECT_TRUE(text.empty());
    EXPECT_STREQ(text.c_str(), "");
    std::memset(text.Buffer(), 'y', Text8::kCapacity + 1);
    EXPECT_FALSE(text.AdoptTerminated(1000)) << "a room larger than the buffer is the buffer";

    // A NUL beyond the room the function had does not count: what it wrote may be cut short.
    std::memcpy(text.Buffer(), "abcd\0", 5);
    EXPECT_FALSE(text.AdoptTerminated(4));
    EXPECT_TRUE(text.empty());
    std::memcpy(text.Buffer(), "abcd\0", 5);
    EXPECT_TRUE(text.AdoptTerminated(5));
    EXPECT_EQ(text.view(), "abcd");
    std::memcpy(text.Buffer(), "12345678", 9);
    EXPECT_TRUE(text.AdoptTerminated(Text8::kCapacity + 1));
    EXPECT_EQ(text.view(), "12345678");
}

TEST(BoundedText, ClearedAfterAFailedWriteIntoTheBufferTheTextIsEmptyToo) {
    Text8 text;
    std::memcpy(text.Buffer(), "junk", 5);  // a call that failed after writing
    text.Clear();
    EXPECT_TRUE(text.empty());
    EXPECT_STREQ(text.c_str(), "");
    ASSERT_TRUE(text.Assign("abcdef"));
    text.Shorten(2);
    EXPECT_STREQ(text.c_str(), "ab");
    text.Shorten(5);
    EXPECT_EQ(text.view(), "ab");
}

}  // namespace
}  // namespace quillaro
