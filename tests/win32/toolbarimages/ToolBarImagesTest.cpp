// The tool bar pictures at 16, 24 and 32 pixels: kToolBarImageCount images, each with opaque and
// transparent pixels, no two alike; redo is undo mirrored; the larger sizes are the 16-pixel
// pictures in blocks of whole pixels. Each image is drawn onto two backgrounds: a pixel that
// shows the background on both is transparent, one that is the same on both is opaque. The sheets
// are written to toolbar-images.png, toolbar-images-24.png and toolbar-images-32.png (4x) in the
// working directory.
#include "Polypad/ToolBarImages.h"
#include "controls/DpiScale.h"
#include "hostsim/ImageFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBackA = 0xFF00FF; // 0x00RRGGBB
constexpr std::uint32_t kBackB = 0x00FF00;
constexpr std::uint32_t kToolBarFace = 0xF0F0F0;

// The image drawn over a background, 0x00RRGGBB, rows top to bottom.
std::vector<std::uint32_t> Draw(HIMAGELIST list, int index, std::uint32_t background, int size = kToolBarImageSize)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    EXPECT_NE(bitmap, nullptr);
    if (!bitmap)
        return {};
    auto* pixels = static_cast<std::uint32_t*>(bits);
    const int count = size * size;
    std::fill(pixels, pixels + count, background);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    EXPECT_TRUE(::ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL));
    ::GdiFlush();
    std::vector<std::uint32_t> result(pixels, pixels + count);
    for (auto& p : result)
        p &= 0xFFFFFF;
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
    return result;
}

void WriteSheet(HIMAGELIST list, int size)
{
    constexpr int Scale = 4, Gap = 4;
    const int cell = size * Scale;
    hostsim::TImage sheet;
    sheet.Width = kToolBarImageCount * (cell + Gap) + Gap;
    sheet.Height = cell + 2 * Gap;
    sheet.Pixels.assign(static_cast<std::size_t>(sheet.Width) * sheet.Height, kToolBarFace);
    for (int i = 0; i < kToolBarImageCount; ++i) {
        const auto pixels = Draw(list, i, kToolBarFace, size);
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x)
                sheet.Pixels[static_cast<std::size_t>(Gap + y) * sheet.Width + Gap + i * (cell + Gap) + x] =
                    pixels[static_cast<std::size_t>((y / Scale) * size + x / Scale)];
    }
    const std::string name = size == kToolBarImageSize ? "toolbar-images.png"
                                                       : "toolbar-images-" + std::to_string(size) + ".png";
    std::ofstream(name, std::ios::binary) << hostsim::EncodePng(sheet);
}

class ToolBarImagesTest : public ::testing::TestWithParam<int> {};

TEST_P(ToolBarImagesTest, EveryImageMaskedOpaqueAndTransparentNoTwoAlike)
{
    const int size = GetParam();
    TUniqueImageList list = CreateToolBarImages(size);
    ASSERT_TRUE(list);
    ASSERT_EQ(::ImageList_GetImageCount(list.get()), kToolBarImageCount);
    int cx = 0, cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list.get(), &cx, &cy));
    EXPECT_EQ(cx, size);
    EXPECT_EQ(cy, size);
    IMAGEINFO info{};
    ASSERT_TRUE(::ImageList_GetImageInfo(list.get(), 0, &info));
    EXPECT_NE(info.hbmMask, nullptr);
    BITMAP bitmap{};
    ASSERT_TRUE(::GetObjectW(info.hbmImage, sizeof bitmap, &bitmap));
    EXPECT_EQ(bitmap.bmBitsPixel, 32);

    std::vector<std::vector<std::uint32_t>> seen;
    for (int i = 0; i < kToolBarImageCount; ++i) {
        const auto a = Draw(list.get(), i, kBackA, size);
        const auto b = Draw(list.get(), i, kBackB, size);
        ASSERT_EQ(a.size(), b.size());
        int transparent = 0, opaque = 0;
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (a[k] == kBackA && b[k] == kBackB)
                ++transparent;
            else if (a[k] == b[k])
                ++opaque;
        }
        EXPECT_GT(transparent, 0) << "image " << i;
        EXPECT_GT(opaque, 0) << "image " << i;
        EXPECT_EQ(transparent + opaque, static_cast<int>(a.size())) << "image " << i << ": half-transparent pixels";
        auto both = a;
        both.insert(both.end(), b.begin(), b.end());
        for (std::size_t j = 0; j < seen.size(); ++j)
            EXPECT_NE(seen[j], both) << "images " << j << " and " << i << " are the same picture";
        seen.push_back(std::move(both));
    }
    WriteSheet(list.get(), size);
}

// The pair reads as one arrow turned both ways only if redo is undo flipped left to right.
TEST_P(ToolBarImagesTest, RedoIsUndoMirrored)
{
    const int size = GetParam();
    TUniqueImageList list = CreateToolBarImages(size);
    ASSERT_TRUE(list);
    const auto undo = Draw(list.get(), tbiUndo, kBackA, size);
    const auto redo = Draw(list.get(), tbiRedo, kBackA, size);
    ASSERT_EQ(undo.size(), redo.size());
    auto mirrored = redo;
    for (auto row = mirrored.begin(); row != mirrored.end(); row += size)
        std::reverse(row, row + size);
    EXPECT_EQ(undo, mirrored);
}

// A larger picture is the 16-pixel one with each pixel made a block: sampled at the centres of
// the blocks it gives the 16-pixel picture back, and it has no colour the small one lacks.
TEST_P(ToolBarImagesTest, LargerPicturesAreTheSmallOnesInWholePixelBlocks)
{
    const int size = GetParam();
    TUniqueImageList small = CreateToolBarImages(kToolBarImageSize);
    TUniqueImageList large = CreateToolBarImages(size);
    for (int i = 0; i < kToolBarImageCount; ++i) {
        const auto a = Draw(small.get(), i, kBackA);
        const auto b = Draw(large.get(), i, kBackA, size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                int sx = 0, sy = 0;
                while (PictureCellStart(sx + 1, kToolBarImageSize, size) <= x)
                    ++sx;
                while (PictureCellStart(sy + 1, kToolBarImageSize, size) <= y)
                    ++sy;
                ASSERT_EQ(b[static_cast<std::size_t>(y * size + x)],
                          a[static_cast<std::size_t>(sy * kToolBarImageSize + sx)])
                    << "image " << i << " pixel " << x << "," << y << " at " << size;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ToolBarImagesTest, ::testing::Values(16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Px" + std::to_string(info.param); });

} // namespace
