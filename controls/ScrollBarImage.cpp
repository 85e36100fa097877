#include "controls/ScrollBarImage.h"

#include <algorithm>

namespace {

using TPixelIter = TScrollBarPixels::const_iterator;

TPixelIter LineAt(const TScrollBarPixels& pixels, int thickness, int position)
{
    return pixels.begin() + static_cast<std::ptrdiff_t>(position) * thickness;
}

TScrollBarPixels Lines(const TScrollBarPixels& pixels, int thickness, int first, int end)
{
    return {LineAt(pixels, thickness, first), LineAt(pixels, thickness, end)};
}

// The track [first, end) when every line of it is the same; nothing when empty or not uniform.
std::optional<std::vector<std::uint32_t>> UniformTrack(const TScrollBarPixels& pixels, int thickness, int first,
                                                       int end)
{
    if (end <= first)
        return std::nullopt;
    const TPixelIter line = LineAt(pixels, thickness, first);
    for (int p = first + 1; p < end; ++p)
        if (!std::equal(line, line + thickness, LineAt(pixels, thickness, p)))
            return std::nullopt;
    return std::vector<std::uint32_t>(line, line + thickness);
}

} // namespace

bool TScrollBarLayout::Valid() const
{
    return Thickness > 0 && Arrow >= 0 && ThumbLength() > 0 && ThumbStart >= Arrow && ThumbEnd <= Length - Arrow;
}

bool TScrollBarLayout::SameFrame(const TScrollBarLayout& other) const
{
    return Length == other.Length && Thickness == other.Thickness && Arrow == other.Arrow &&
           ThumbLength() == other.ThumbLength();
}

void TScrollBarImage::Forget()
{
    FFrame.reset();
    FStartArrow.clear();
    FEndArrow.clear();
    FThumb.clear();
    FBeforeThumb.reset();
    FAfterThumb.reset();
    FComposable = false;
}

void TScrollBarImage::Learn(const TScrollBarLayout& layout, const TScrollBarPixels& pixels)
{
    if (!layout.Valid() || pixels.size() != static_cast<std::size_t>(layout.Length) * layout.Thickness) {
        Forget();
        return;
    }
    const int t = layout.Thickness;
    TScrollBarPixels startArrow = Lines(pixels, t, 0, layout.Arrow);
    TScrollBarPixels endArrow = Lines(pixels, t, layout.Length - layout.Arrow, layout.Length);
    TScrollBarPixels thumb = Lines(pixels, t, layout.ThumbStart, layout.ThumbEnd);
    // Another frame, or arrows or a thumb that look otherwise (colours, theme): what was seen of
    // the old look goes, tracks included.
    if (!FFrame || !FFrame->SameFrame(layout) || startArrow != FStartArrow || endArrow != FEndArrow ||
        thumb != FThumb) {
        Forget();
        FComposable = true;
    }
    FFrame = layout;
    FStartArrow = std::move(startArrow);
    FEndArrow = std::move(endArrow);
    FThumb = std::move(thumb);
    // A track that is there but not the same along its length cannot be stretched: the bar is
    // then never composed until its frame changes.
    const auto learnTrack = [&](TTrackLine& known, int first, int end) {
        if (end <= first)
            return;
        if (auto line = UniformTrack(pixels, t, first, end))
            known = std::move(line);
        else
            FComposable = false;
    };
    learnTrack(FBeforeThumb, layout.Arrow, layout.ThumbStart);
    learnTrack(FAfterThumb, layout.ThumbEnd, layout.Length - layout.Arrow);
}

std::optional<TScrollBarPixels> TScrollBarImage::Compose(const TScrollBarLayout& layout) const
{
    if (!FComposable || !FFrame || !layout.Valid() || !FFrame->SameFrame(layout))
        return std::nullopt;
    const bool before = layout.ThumbStart > layout.Arrow;
    const bool after = layout.ThumbEnd < layout.Length - layout.Arrow;
    if ((before && !FBeforeThumb) || (after && !FAfterThumb))
        return std::nullopt;
    TScrollBarPixels out;
    out.reserve(static_cast<std::size_t>(layout.Length) * layout.Thickness);
    out.insert(out.end(), FStartArrow.begin(), FStartArrow.end());
    for (int p = layout.Arrow; p < layout.ThumbStart; ++p)
        out.insert(out.end(), FBeforeThumb->begin(), FBeforeThumb->end());
    out.insert(out.end(), FThumb.begin(), FThumb.end());
    for (int p = layout.ThumbEnd; p < layout.Length - layout.Arrow; ++p)
        out.insert(out.end(), FAfterThumb->begin(), FAfterThumb->end());
    out.insert(out.end(), FEndArrow.begin(), FEndArrow.end());
    return out;
}
