// Checks the committed window icon (ui/resources/quillaro.ico): a single
// 48x48, 8-bit palettized image with an AND mask, laid out byte for byte as
// Windows expects, and identical to what tools/make_icon.cpp generates.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>  // getpid: a private temp file name (host tool, POSIX)

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kDirSize = 6, kEntrySize = 16, kHeaderSize = 40;
constexpr std::size_t kPaletteSize = 256 * 4;
constexpr std::size_t kColourSize = 48 * 48;
constexpr std::size_t kMaskStride = 8;  // 6 bytes of bits + 2 bytes of padding
constexpr std::size_t kMaskSize = 48 * kMaskStride;
constexpr std::size_t kImageOffset = kDirSize + kEntrySize;  // 22
constexpr std::size_t kImageSize = kHeaderSize + kPaletteSize + kColourSize + kMaskSize;  // 3752
constexpr std::size_t kFileSize = kImageOffset + kImageSize;  // 3774

constexpr std::size_t kPaletteAt = kImageOffset + kHeaderSize;
constexpr std::size_t kColourAt = kPaletteAt + kPaletteSize;
constexpr std::size_t kMaskAt = kColourAt + kColourSize;

Bytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

unsigned u16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t u32(const Bytes& b, std::size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

// Rows are stored bottom-up; these take top-down coordinates.
bool transparent(const Bytes& b, int x, int y) {
    return b.at(kMaskAt + (47 - y) * kMaskStride + x / 8) & (0x80 >> (x % 8));
}
std::uint8_t colourIndex(const Bytes& b, int x, int y) {
    return b.at(kColourAt + (47 - y) * 48 + x);
}

class IconLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ico = readFile(ICON_PATH);
        ASSERT_EQ(ico.size(), kFileSize) << ICON_PATH << " missing or wrong size";
    }
    Bytes ico;
};

TEST_F(IconLayout, DirectoryDeclaresOneIcon) {
    EXPECT_EQ(u16(ico, 0), 0u) << "reserved";
    EXPECT_EQ(u16(ico, 2), 1u) << "type must be 1 (icon, not cursor)";
    EXPECT_EQ(u16(ico, 4), 1u) << "image count";
}

TEST_F(IconLayout, EntryDescribes48x48With256Colours) {
    const std::size_t e = kDirSize;
    EXPECT_EQ(ico[e + 0], 48) << "width";
    EXPECT_EQ(ico[e + 1], 48) << "height";
    EXPECT_EQ(ico[e + 2], 0) << "colour count (0 means 256)";
    EXPECT_EQ(ico[e + 3], 0) << "reserved";
    EXPECT_EQ(u16(ico, e + 4), 1u) << "planes";
    EXPECT_EQ(u16(ico, e + 6), 8u) << "bit count";
    EXPECT_EQ(u32(ico, e + 8), kImageSize) << "bytes in resource";
    EXPECT_EQ(u32(ico, e + 12), kImageOffset) << "image offset";
    EXPECT_EQ(kImageOffset + u32(ico, e + 8), ico.size()) << "image must end at end of file";
}

TEST_F(IconLayout, BitmapHeaderCoversColourAndMaskHalves) {
    const std::size_t h = kImageOffset;
    EXPECT_EQ(u32(ico, h + 0), kHeaderSize) << "biSize";
    EXPECT_EQ(u32(ico, h + 4), 48u) << "biWidth";
    EXPECT_EQ(u32(ico, h + 8), 96u) << "biHeight must be doubled for the AND mask";
    EXPECT_EQ(u16(ico, h + 12), 1u) << "biPlanes";
    EXPECT_EQ(u16(ico, h + 14), 8u) << "biBitCount";
    EXPECT_EQ(u32(ico, h + 16), 0u) << "biCompression must be BI_RGB";
    EXPECT_EQ(u32(ico, h + 20), kColourSize + kMaskSize) << "biSizeImage";
    for (std::size_t off = 24; off < kHeaderSize; off += 4)
        EXPECT_EQ(u32(ico, h + off), 0u) << "header field at offset " << off;
}

TEST_F(IconLayout, PaletteEntriesHaveZeroReservedByte) {
    for (std::size_t i = 0; i < 256; ++i)
        EXPECT_EQ(ico[kPaletteAt + i * 4 + 3], 0) << "palette entry " << i;
}

TEST_F(IconLayout, MaskRowPaddingIsZero) {
    for (std::size_t row = 0; row < 48; ++row) {
        EXPECT_EQ(ico[kMaskAt + row * kMaskStride + 6], 0) << "mask row " << row;
        EXPECT_EQ(ico[kMaskAt + row * kMaskStride + 7], 0) << "mask row " << row;
    }
}

TEST_F(IconLayout, MaskHasBothOpaqueAndTransparentPixels) {
    int clear = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) clear += transparent(ico, x, y);
    EXPECT_GT(clear, 0) << "no transparent pixels: the icon would sit in a square";
    EXPECT_LT(clear, 48 * 48) << "every pixel transparent: the icon would be invisible";
    EXPECT_GT(48 * 48 - clear, 48 * 48 / 5) << "drawing covers suspiciously little";
}

TEST_F(IconLayout, CornersAreTransparent) {
    for (int y : {0, 47})
        for (int x : {0, 47}) EXPECT_TRUE(transparent(ico, x, y)) << "corner " << x << "," << y;
}

// Where the mask is set the colour must be black (it is XORed onto the screen);
// where it is clear the index must name a real palette colour, not the black
// filler used for the transparent pixels and the unused palette tail.
TEST_F(IconLayout, PixelIndicesMatchMask) {
    auto isBlack = [&](std::uint8_t i) {
        return ico[kPaletteAt + i * 4] == 0 && ico[kPaletteAt + i * 4 + 1] == 0 &&
               ico[kPaletteAt + i * 4 + 2] == 0;
    };
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const std::uint8_t i = colourIndex(ico, x, y);
            if (transparent(ico, x, y))
                EXPECT_TRUE(isBlack(i)) << "transparent pixel " << x << "," << y;
            else
                EXPECT_FALSE(isBlack(i)) << "opaque pixel " << x << "," << y << " index " << int(i);
        }
}

TEST(IconGenerator, CommittedIconMatchesGeneratorOutput) {
    const auto out = std::filesystem::temp_directory_path() /
                     ("quillaro_icon_" + std::to_string(::getpid()) + ".ico");
    const std::string cmd = std::string("\"") + MAKE_ICON_PATH + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const Bytes generated = readFile(out.string());
    std::filesystem::remove(out);
    EXPECT_TRUE(generated == readFile(ICON_PATH))
        << "ui/resources/quillaro.ico is stale: regenerate it with make_icon";
}

}  // namespace
