// A scroll bar put together again from drawings of it: the same pixels as a drawing with the
// thumb there, and nothing where a drawing would be guessed.
#include "controls/ScrollBarImage.h"

#include <gtest/gtest.h>

namespace {

constexpr int kThickness = 3;
constexpr int kLength = 40;
constexpr int kArrow = 5;
constexpr int kThumb = 8;

TScrollBarLayout At(int thumbStart, int thumb = kThumb, int length = kLength)
{
    return {length, kThickness, kArrow, thumbStart, thumbStart + thumb};
}

// A bar as a theme draws it: arrows and a thumb with a picture of their own (every line
// different), the track before and after the thumb each one colour across (different across).
TScrollBarPixels Drawn(const TScrollBarLayout& l, std::uint32_t before = 0xB0, std::uint32_t after = 0xA0)
{
    TScrollBarPixels pixels;
    for (int p = 0; p < l.Length; ++p)
        for (int x = 0; x < l.Thickness; ++x) {
            std::uint32_t v;
            if (p < l.Arrow)
                v = 0x1000 + p * 16 + x;
            else if (p >= l.Length - l.Arrow)
                v = 0x2000 + (p - (l.Length - l.Arrow)) * 16 + x;
            else if (p >= l.ThumbStart && p < l.ThumbEnd)
                v = 0x3000 + (p - l.ThumbStart) * 16 + x;
            else
                v = (p < l.ThumbStart ? before : after) + x;
            pixels.push_back(v);
        }
    return pixels;
}

TEST(ScrollBarImage, ComposesAnyThumbPositionOnceBothTracksWereSeen)
{
    TScrollBarImage image;
    // The thumb at the end shows only the track before it: a position with track after the
    // thumb is not made up.
    const TScrollBarLayout atEnd = At(kLength - kArrow - kThumb);
    image.Learn(atEnd, Drawn(atEnd));
    EXPECT_EQ(image.Compose(atEnd), Drawn(atEnd));
    EXPECT_FALSE(image.Compose(At(20)));
    // With the thumb at the start seen as well, every position is the drawing itself.
    const TScrollBarLayout atStart = At(kArrow);
    image.Learn(atStart, Drawn(atStart));
    for (int start = kArrow; start <= kLength - kArrow - kThumb; ++start)
        EXPECT_EQ(image.Compose(At(start)), Drawn(At(start))) << start;
    // The track seen last is the one used.
    const TScrollBarLayout middle = At(15);
    image.Learn(middle, Drawn(middle, 0xC0, 0xD0));
    EXPECT_EQ(image.Compose(At(25)), Drawn(At(25), 0xC0, 0xD0));
    // Arrows drawn otherwise (new colours) are a new look: the track after the thumb, seen only
    // in the old one, is not used with them.
    TScrollBarPixels recoloured = Drawn(atEnd);
    recoloured[0] ^= 0xFF;
    image.Learn(atEnd, recoloured);
    EXPECT_EQ(image.Compose(atEnd), recoloured);
    EXPECT_FALSE(image.Compose(At(20)));
}

TEST(ScrollBarImage, AnotherFrameOrATrackNotTheSameAlongItsLengthIsNeverComposed)
{
    TScrollBarImage image;
    const TScrollBarLayout middle = At(15);
    image.Learn(middle, Drawn(middle));
    ASSERT_TRUE(image.Compose(At(20)));
    // Another thumb length, bar length or a thumb outside the track: not this bar's pictures.
    EXPECT_FALSE(image.Compose(At(20, kThumb + 1)));
    EXPECT_FALSE(image.Compose(At(20, kThumb, kLength + 1)));
    EXPECT_FALSE(image.Compose(At(kLength - kArrow - kThumb + 1)));
    // A drawing of another frame forgets the old one: its track after the thumb is unknown.
    const TScrollBarLayout longer = At(kLength + 10 - kArrow - kThumb, kThumb, kLength + 10);
    image.Learn(longer, Drawn(longer));
    EXPECT_FALSE(image.Compose(At(15, kThumb, kLength + 10)));
    EXPECT_FALSE(image.Compose(middle));

    // A classic track is dithered: lines alternate, so it cannot be stretched.
    TScrollBarImage dithered;
    TScrollBarPixels pixels = Drawn(middle);
    for (int p = kArrow; p < middle.ThumbStart; p += 2)
        pixels[static_cast<std::size_t>(p) * kThickness] ^= 1;
    dithered.Learn(middle, pixels);
    EXPECT_FALSE(dithered.Compose(middle));
    EXPECT_FALSE(dithered.Compose(At(16)));
    // A picture of the wrong size or a bar without a thumb teaches nothing.
    TScrollBarImage wrong;
    wrong.Learn(middle, TScrollBarPixels(5));
    EXPECT_FALSE(wrong.Compose(middle));
    wrong.Learn(At(15, 0), Drawn(At(15, 0)));
    EXPECT_FALSE(wrong.Compose(At(15, 0)));
}

} // namespace
