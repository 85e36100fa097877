// The tool bar pictures: kToolBarImageCount images of 16 x 16, each with opaque and transparent
// pixels, no two alike; redo is undo mirrored. Each image is drawn onto two backgrounds: a pixel
// that shows the background on both is transparent, one that is the same on both is opaque. The
// sheet is written to toolbar-images.png (4x) in the working directory.
#include "Polypad/ToolBarImages.h"
#include "hostsim/ImageFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <vector>

namespace {

constexpr std::uint32_t kBackA = 0xFF00FF; // 0x00RRGGBB
constexpr std::uint32_t kBackB = 0x00FF00;
constexpr std::uint32_t kToolBarFace = 0xF0F0F0;

// The image drawn over a background, 0x00RRGGBB, rows top to bottom.
std::vector<std::uint32_t> Draw(HIMAGELIST list, int index, std::uint32_t background)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kToolBarImageSize;
    info.bmiHeader.biHeight = -kToolBarImageSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    EXPECT_NE(bitmap, nullptr);
    if (!bitmap)
        return {};
    auto* pixels = static_cast<std::uint32_t*>(bits);
    const int count = kToolBarImageSize * kToolBarImageSize;
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

void WriteSheet(HIMAGELIST list)
{
    constexpr int Scale = 4, Gap = 4, Cell = kToolBarImageSize * Scale;
    hostsim::TImage sheet;
    sheet.Width = kToolBarImageCount * (Cell + Gap) + Gap;
    sheet.Height = Cell + 2 * Gap;
    sheet.Pixels.assign(static_cast<std::size_t>(sheet.Width) * sheet.Height, kToolBarFace);
    for (int i = 0; i < kToolBarImageCount; ++i) {
        const auto pixels = Draw(list, i, kToolBarFace);
        for (int y = 0; y < Cell; ++y)
            for (int x = 0; x < Cell; ++x)
                sheet.Pixels[static_cast<std::size_t>(Gap + y) * sheet.Width + Gap + i * (Cell + Gap) + x] =
                    pixels[(y / Scale) * kToolBarImageSize + x / Scale];
    }
    std::ofstream("toolbar-images.png", std::ios::binary) << hostsim::EncodePng(sheet);
}

TEST(ToolBarImagesTest, EveryImageMaskedOpaqueAndTransparentNoTwoAlike)
{
    TUniqueImageList list = CreateToolBarImages();
    ASSERT_TRUE(list);
    ASSERT_EQ(::ImageList_GetImageCount(list.get()), kToolBarImageCount);
    int cx = 0, cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list.get(), &cx, &cy));
    EXPECT_EQ(cx, kToolBarImageSize);
    EXPECT_EQ(cy, kToolBarImageSize);
    IMAGEINFO info{};
    ASSERT_TRUE(::ImageList_GetImageInfo(list.get(), 0, &info));
    EXPECT_NE(info.hbmMask, nullptr);
    BITMAP bitmap{};
    ASSERT_TRUE(::GetObjectW(info.hbmImage, sizeof bitmap, &bitmap));
    EXPECT_EQ(bitmap.bmBitsPixel, 32);

    std::vector<std::vector<std::uint32_t>> seen;
    for (int i = 0; i < kToolBarImageCount; ++i) {
        const auto a = Draw(list.get(), i, kBackA);
        const auto b = Draw(list.get(), i, kBackB);
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
    WriteSheet(list.get());
}

// The pair reads as one arrow turned both ways only if redo is undo flipped left to right.
TEST(ToolBarImagesTest, RedoIsUndoMirrored)
{
    TUniqueImageList list = CreateToolBarImages();
    ASSERT_TRUE(list);
    const auto undo = Draw(list.get(), tbiUndo, kBackA);
    const auto redo = Draw(list.get(), tbiRedo, kBackA);
    ASSERT_EQ(undo.size(), redo.size());
    auto mirrored = redo;
    for (auto row = mirrored.begin(); row != mirrored.end(); row += kToolBarImageSize)
        std::reverse(row, row + kToolBarImageSize);
    EXPECT_EQ(undo, mirrored);
}

} // namespace
