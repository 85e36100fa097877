#include "controls/StatusPanelImage.h"

#include <algorithm>

namespace {

std::vector<std::uint32_t> Column(const TBarPicture& picture, int x)
{
    std::vector<std::uint32_t> column(static_cast<std::size_t>(picture.Height));
    for (int y = 0; y < picture.Height; ++y)
        column[static_cast<std::size_t>(y)] = picture.At(x, y);
    return column;
}

bool ColumnIs(const TBarPicture& picture, int x, const std::vector<std::uint32_t>& column)
{
    for (int y = 0; y < picture.Height; ++y)
        if (picture.At(x, y) != column[static_cast<std::size_t>(y)])
            return false;
    return true;
}

// True when a and b differ in no column outside [from, to).
bool SameOutside(const TBarPicture& a, const TBarPicture& b, int from, int to)
{
    for (int y = 0; y < a.Height; ++y) {
        const auto rowA = a.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * a.Width;
        const auto rowB = b.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * b.Width;
        if (!std::equal(rowA, rowA + from, rowB) || !std::equal(rowA + to, rowA + a.Width, rowB + to))
            return false;
    }
    return true;
}

} // namespace

std::optional<TBarPicture> TStatusPanelImage::WithText(TBarPicture picture, int from, int to,
                                                       const std::vector<std::uint32_t>& column, TPlace place,
                                                       const TTextDrawer& draw) const
{
    for (int x = from; x < to; ++x)
        for (int y = 0; y < picture.Height; ++y)
            picture.At(x, y) = column[static_cast<std::size_t>(y)];
    const TBarPicture background = picture;
    draw(picture, place);
    if (!SameOutside(picture, background, from, to))
        return std::nullopt;
    return picture;
}

bool TStatusPanelImage::Learn(const TBarPicture& shown, int left, int right, int textWidth,
                              const std::vector<TPlace>& places, const TTextDrawer& draw)
{
    Forget();
    right = std::min(right, shown.Width);
    if (textWidth <= 0 || left < 0 || shown.Height <= 0 ||
        shown.Pixels.size() != static_cast<std::size_t>(shown.Width) * shown.Height)
        return false;
    for (const TPlace place : places) {
        // The old text's columns and the background column just past them.
        const int from = std::max(left, place.X - kOverhang);
        const int reference = place.X + textWidth + kOverhang;
        if (place.X < left || reference >= right)
            continue;
        const std::vector<std::uint32_t> column = Column(shown, reference);
        const std::optional<TBarPicture> drawn = WithText(shown, from, reference, column, place, draw);
        if (!drawn || *drawn != shown)
            continue;
        FShown = shown;
        FPlace = place;
        FTextWidth = textWidth;
        FBandStart = from;
        FBackground = column;
        FBackgroundEnd = reference + 1;
        while (FBackgroundEnd < right && ColumnIs(shown, FBackgroundEnd, column))
            ++FBackgroundEnd;
        FLearnt = true;
        return true;
    }
    return false;
}

std::optional<TBarPicture> TStatusPanelImage::Compose(int textWidth, const TTextDrawer& draw) const
{
    if (!FLearnt || textWidth < 0)
        return std::nullopt;
    const int to = FPlace.X + std::max(FTextWidth, textWidth) + kOverhang;
    if (to > FBackgroundEnd)
        return std::nullopt;
    return WithText(FShown, FBandStart, to, FBackground, FPlace, draw);
}

void TStatusPanelImage::Shown(TBarPicture picture, int textWidth)
{
    FShown = std::move(picture);
    FTextWidth = textWidth;
}

void TStatusPanelImage::Forget()
{
    FLearnt = false;
    FShown = {};
    FBackground.clear();
    FTextWidth = FBandStart = FBackgroundEnd = 0;
}
