// Sizes for the screen's DPI: the rounding that the settings rely on to come back unchanged, the
// tool bar picture sizes and the whole-pixel picture scaling.
#include "controls/DpiScale.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(DpiScale, RoundsToNearestWithHalvesAwayFromZeroAsMulDiv)
{
    struct {
        int value, numerator, denominator, expected;
    } const cases[] = {
        {100, 144, 96, 150}, {101, 144, 96, 152}, {-101, 144, 96, -152}, {-5, 96, 144, -3},
        {3, 1, 2, 2},        {-3, 1, 2, -2},      {7, 0, 5, 0},          {7, 3, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MulDivRound(c.value, c.numerator, c.denominator), c.expected)
            << c.value << " * " << c.numerator << " / " << c.denominator;
    // The product is formed in 64 bits.
    EXPECT_EQ(MulDivRound(2000000000, 96, 192), 1000000000);
}

// A width or a bound stored in 96-DPI units opens as the same stored value after the window wrote
// it back, on any screen of 96 DPI or more; a width set on the screen comes back within a pixel
// and no longer moves after that.
TEST(DpiScale, StoredUnitsComeBackUnchangedAndScreenSizesSettle)
{
    for (const int dpi : {96, 110, 120, 144, 168, 192, 240, 288}) {
        const TDpiScale screen(dpi);
        for (int stored = -2000; stored <= 10000; ++stored)
            ASSERT_EQ(screen.Unscale(screen.Scale(stored)), stored) << "at " << dpi << " DPI";
        for (int pixels = 0; pixels <= 3000; ++pixels) {
            const int once = screen.Scale(screen.Unscale(pixels));
            ASSERT_LE(std::abs(once - pixels), (dpi + 95) / 96) << pixels << " at " << dpi << " DPI";
            ASSERT_EQ(screen.Scale(screen.Unscale(once)), once) << pixels << " at " << dpi << " DPI";
        }
    }
    EXPECT_EQ(TDpiScale(0).Dpi(), 96) << "an unknown DPI is taken as 96";
}

TEST(DpiScale, ToolBarPictureSizeIsTheNearestOf16_24_32)
{
    struct {
        int dpi, size;
    } const cases[] = {{72, 16}, {96, 16}, {120, 16}, {121, 24}, {144, 24}, {168, 24},
                       {169, 32}, {192, 32}, {288, 32}};
    for (const auto& c : cases)
        EXPECT_EQ(ToolBarPictureSize(c.dpi), c.size) << c.dpi << " DPI";
}

TEST(DpiScale, PictureCellsAreWholePixelsAndMirrorSymmetric)
{
    for (const int pixels : {16, 24, 32}) {
        EXPECT_EQ(PictureCellStart(0, 16, pixels), 0);
        EXPECT_EQ(PictureCellStart(16, 16, pixels), pixels);
        for (int cell = 0; cell < 16; ++cell) {
            const int width = PictureCellStart(cell + 1, 16, pixels) - PictureCellStart(cell, 16, pixels);
            EXPECT_GE(width, pixels / 16) << "cell " << cell << " at " << pixels;
            EXPECT_LE(width, (pixels + 15) / 16) << "cell " << cell << " at " << pixels;
            const int mirrored =
                PictureCellStart(16 - cell, 16, pixels) - PictureCellStart(15 - cell, 16, pixels);
            EXPECT_EQ(width, mirrored) << "cell " << cell << " at " << pixels;
        }
    }
    // 1.5 times: cells alternate 1 and 2 pixels, the outermost ones 1 pixel on both sides.
    EXPECT_EQ(PictureCellStart(1, 16, 24), 1);
    EXPECT_EQ(PictureCellStart(15, 16, 24), 23);
    EXPECT_EQ(PictureCellStart(8, 16, 24), 12);
}

} // namespace
