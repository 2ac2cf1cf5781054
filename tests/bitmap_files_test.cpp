// Checks the committed logo bitmaps against what the dialog's picture frame and the resource
// compiler expect: 108 x 52, 8-bit uncompressed bottom-up DIBs with a sized palette, and the
// black border on the grey ground the frame is drawn around.

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef LXAGREE_RESOURCE_DIR
#error "LXAGREE_RESOURCE_DIR must name the folder holding the bitmaps"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;

Bytes read_all(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::uint32_t u16(const Bytes& b, std::size_t off) {
    return static_cast<std::uint32_t>(b[off] | (b[off + 1] << 8));
}

std::uint32_t u32(const Bytes& b, std::size_t off) {
    return u16(b, off) | (u16(b, off + 2) << 16);
}

std::int32_t i32(const Bytes& b, std::size_t off) {
    return static_cast<std::int32_t>(u32(b, off));
}

constexpr int kWidth = 108;
constexpr int kHeight = 52;
constexpr std::size_t kHeaders = 14 + 40;  // BITMAPFILEHEADER + BITMAPINFOHEADER
constexpr std::size_t kStride = (kWidth + 3) & ~3;

struct BitmapCase {
    const char* file;
    std::uint32_t colours;
};

constexpr BitmapCase kBitmaps[] = {
    {"standard_logo.bmp", 12},
    {"beta_logo.bmp", 31},
};

struct Probe {
    int x, y;  // y counted from the top of the picture
    Rgb want;
};

constexpr Rgb kBlack = {0, 0, 0};
constexpr Rgb kGround = {192, 192, 192};

constexpr Probe kProbes[] = {
    {0, 0, kBlack},
    {kWidth - 1, 0, kBlack},
    {0, kHeight - 1, kBlack},
    {kWidth - 1, kHeight - 1, kBlack},
    {1, 1, kGround},
    {kWidth - 2, 1, kGround},
    {1, kHeight - 2, kGround},
    {kWidth - 2, kHeight - 2, kGround},
};

// Colour of a pixel through the palette; {-1,-1,-1} when its index is outside the palette.
Rgb pixel(const Bytes& b, std::uint32_t off_bits, std::uint32_t colours, int x, int y) {
    const std::size_t row = static_cast<std::size_t>(kHeight - 1 - y);  // rows are bottom-up
    const std::uint8_t index = b[off_bits + row * kStride + static_cast<std::size_t>(x)];
    if (index >= colours) {
        return {-1, -1, -1};
    }
    const std::size_t quad = kHeaders + 4u * index;  // RGBQUAD: blue, green, red, reserved
    return {b[quad + 2], b[quad + 1], b[quad]};
}

TEST(BitmapFiles, HeadersPaletteAndBorder) {
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE(c.file);
        const Bytes b = read_all(std::string(LXAGREE_RESOURCE_DIR) + "/" + c.file);
        ASSERT_GE(b.size(), kHeaders);

        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(u32(b, 2), b.size());  // bfSize
        const std::uint32_t off_bits = u32(b, 10);

        EXPECT_EQ(u32(b, 14), 40u);      // biSize
        EXPECT_EQ(i32(b, 18), kWidth);   // biWidth
        EXPECT_EQ(i32(b, 22), kHeight);  // biHeight, positive: bottom-up
        EXPECT_EQ(u16(b, 26), 1u);       // biPlanes
        EXPECT_EQ(u16(b, 28), 8u);       // biBitCount
        EXPECT_EQ(u32(b, 30), 0u);       // biCompression: BI_RGB
        const std::uint32_t image_size = u32(b, 34);
        EXPECT_TRUE(image_size == 0 || image_size == kStride * kHeight) << image_size;
        EXPECT_EQ(u32(b, 46), c.colours);  // biClrUsed

        // The pixels start right after the palette and fill the file exactly.
        EXPECT_EQ(off_bits, kHeaders + 4 * c.colours);
        ASSERT_EQ(b.size(), off_bits + kStride * kHeight);

        for (const Probe& p : kProbes) {
            EXPECT_EQ(pixel(b, off_bits, c.colours, p.x, p.y), p.want)
                << "pixel (" << p.x << ", " << p.y << ")";
        }
    }
}

}  // namespace
