// A status panel put together again for another text: the same pixels as the system's drawing
// of that text, and nothing where the background or the text's place would be guessed.
#include "controls/StatusPanelImage.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWidth = 60;
constexpr int kHeight = 10;
constexpr int kPanelLeft = 22;
constexpr int kBorder = 57; // the panel's right border
constexpr std::uint32_t kFace = 0xF5F5F5;
constexpr std::uint32_t kLine = 0xAEAEAE;
constexpr TStatusPanelImage::TPlace kDrawnAt{25, 2};

// A text as a pattern of its own (seed) over width columns and five rows, with overhang
// columns more on its right.
TStatusPanelImage::TTextDrawer Text(int width, int seed, int overhang = 0)
{
    return [=](TBarPicture& picture, TStatusPanelImage::TPlace at) {
        for (int i = 0; i < width + overhang; ++i)
            for (int j = 0; j < 5; ++j)
                if ((i + j + seed) % 3 == 0 || i >= width)
                    picture.At(at.X + i, at.Y + j) = 0x000000;
    };
}

// The bar as the system draws it: a line along the top, the panels' borders, the face between.
TBarPicture Bar(const TStatusPanelImage::TTextDrawer& text)
{
    TBarPicture bar{kWidth, kHeight, std::vector<std::uint32_t>(kWidth * kHeight, kFace)};
    for (int x = 0; x < kWidth; ++x)
        bar.At(x, 0) = kLine;
    for (int y = 1; y < kHeight - 1; ++y)
        bar.At(kPanelLeft - 3, y) = bar.At(kBorder, y) = kLine;
    if (text)
        text(bar, kDrawnAt);
    return bar;
}

std::vector<TStatusPanelImage::TPlace> Places()
{
    std::vector<TStatusPanelImage::TPlace> places;
    for (int x = kPanelLeft; x <= kPanelLeft + 8; ++x)
        for (int y = 0; y <= 4; ++y)
            places.push_back({x, y});
    return places;
}

TEST(StatusPanelImage, LearnsTheTextsPlaceAndComposesLongerAndShorterTextsAsTheSystemDrawsThem)
{
    TStatusPanelImage image;
    ASSERT_TRUE(image.Learn(Bar(Text(12, 0)), kPanelLeft, kWidth, 12, Places(), Text(12, 0)));
    EXPECT_EQ(image.Place(), kDrawnAt);
    EXPECT_EQ(image.BackgroundEnd(), kBorder);

    const std::optional<TBarPicture> longer = image.Compose(20, Text(20, 1));
    ASSERT_TRUE(longer);
    EXPECT_TRUE(*longer == Bar(Text(20, 1)));
    image.Shown(*longer, 20);
    // A shorter text clears all of the longer one.
    const std::optional<TBarPicture> shorter = image.Compose(5, Text(5, 2));
    ASSERT_TRUE(shorter);
    EXPECT_TRUE(*shorter == Bar(Text(5, 2)));
    image.Shown(*shorter, 5);
    const std::optional<TBarPicture> none = image.Compose(0, Text(0, 0));
    ASSERT_TRUE(none);
    EXPECT_TRUE(*none == Bar({}));
}

TEST(StatusPanelImage, ATextReachingTheBorderOrPastItsOverhangIsLeftToTheSystem)
{
    TStatusPanelImage image;
    ASSERT_TRUE(image.Learn(Bar(Text(12, 0)), kPanelLeft, kWidth, 12, Places(), Text(12, 0)));
    const int widest = kBorder - kDrawnAt.X - TStatusPanelImage::kOverhang;
    EXPECT_TRUE(image.Compose(widest, Text(widest, 1)));
    EXPECT_FALSE(image.Compose(widest + 1, Text(widest + 1, 1))) << "its overhang would cover the border";
    EXPECT_FALSE(image.Compose(14, Text(14, 1, TStatusPanelImage::kOverhang + 1))) << "it draws past its overhang";
}

TEST(StatusPanelImage, NothingIsLearntWhereTheBackgroundOrThePlaceWouldBeGuessed)
{
    TStatusPanelImage image;
    // A background that changes from column to column under the text.
    TBarPicture shaded = Bar({});
    for (int x = kPanelLeft; x < kBorder; ++x)
        for (int y = 1; y < kHeight - 1; ++y)
            shaded.At(x, y) = kFace - static_cast<std::uint32_t>(x);
    Text(12, 0)(shaded, kDrawnAt);
    EXPECT_FALSE(image.Learn(shaded, kPanelLeft, kWidth, 12, Places(), Text(12, 0)));
    // The text drawn where none of the places is.
    EXPECT_FALSE(image.Learn(Bar(Text(12, 0)), kPanelLeft, kWidth, 12, {{24, 2}, {25, 3}}, Text(12, 0)));
    // No text: any place would do.
    EXPECT_FALSE(image.Learn(Bar({}), kPanelLeft, kWidth, 0, Places(), Text(0, 0)));
    // The system's text overhangs more than a glyph may.
    EXPECT_FALSE(image.Learn(Bar(Text(12, 0, 3)), kPanelLeft, kWidth, 12, Places(), Text(12, 0, 3)));
    // A text of another look than the one drawn.
    EXPECT_FALSE(image.Learn(Bar(Text(12, 0)), kPanelLeft, kWidth, 12, Places(), Text(12, 1)));
    EXPECT_FALSE(image.Learnt());
    EXPECT_FALSE(image.Compose(5, Text(5, 2)));
}

} // namespace
