#pragma once
// A scroll bar's picture made again from pixels the system drew, for a new thumb position.
//
// Drawing a themed scroll bar costs milliseconds under Wine (each theme part is a stretch of
// bitmaps that asks the window server about the display), and a scroll that moves only the
// thumb draws the whole bar again. The bar's arrows and thumb look the same wherever the thumb
// stands, and a themed track is the same along its length, so a bar the system drew once can be
// put together again for another thumb position from its own pixels. Only what was seen is
// used: a track that is not the same along its length (a classic dithered one) is never
// composed, and each track (before and after the thumb) must have been seen in some drawing.
#include <cstdint>
#include <optional>
#include <vector>

// One bar along its length, in pixels from its start (top or left): the arrow buttons at both
// ends and the thumb [ThumbStart, ThumbEnd).
struct TScrollBarLayout {
    int Length = 0;
    int Thickness = 0;
    int Arrow = 0;
    int ThumbStart = 0;
    int ThumbEnd = 0;

    int ThumbLength() const { return ThumbEnd - ThumbStart; }
    // Room for arrows and a thumb between them.
    bool Valid() const;
    // The same bar with the thumb elsewhere: what a composed image needs.
    bool SameFrame(const TScrollBarLayout& other) const;
    friend bool operator==(const TScrollBarLayout&, const TScrollBarLayout&) = default;
};

// Pixels of a bar, length-major: Thickness pixels at position 0 along the bar, then position 1...
using TScrollBarPixels = std::vector<std::uint32_t>;

class TScrollBarImage {
public:
    // Takes what a drawing of the system shows. Another frame (size, arrows, thumb length)
    // forgets what was learnt of the old one.
    void Learn(const TScrollBarLayout& layout, const TScrollBarPixels& pixels);
    // The bar with its thumb where the layout has it, or nothing when what was seen does not
    // make it.
    std::optional<TScrollBarPixels> Compose(const TScrollBarLayout& layout) const;
    void Forget();

private:
    // One line across the track, or nothing when that track was not seen (or not uniform).
    using TTrackLine = std::optional<std::vector<std::uint32_t>>;
    std::optional<TScrollBarLayout> FFrame;
    TScrollBarPixels FStartArrow, FEndArrow, FThumb;
    TTrackLine FBeforeThumb, FAfterThumb;
    bool FComposable = false;
};
