#pragma once
// A status bar panel with another text, made from pixels the system drew of it.
//
// A themed status bar costs milliseconds to draw under Wine, and a panel may show a text that
// changes with every edit. Around its text a panel's background is one column repeated, so a
// panel the system drew once can be put together again for another text: the columns of the
// old text filled with that column, the new text drawn where the system draws it. Only what was
// checked against the system's drawing is used: the text's place is the one where the
// background and the text drawn there give the system's pixels exactly, the text may touch no
// column outside the few around its width, and the background reaches only as far as its
// columns are the same.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// A picture of the bar: rows of 32-bit pixels, top to bottom.
struct TBarPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    std::uint32_t& At(int x, int y) { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
    std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
    friend bool operator==(const TBarPicture&, const TBarPicture&) = default;
};

class TStatusPanelImage {
public:
    // Where a text is drawn: the left and the top of its cell.
    struct TPlace {
        int X = 0;
        int Y = 0;
        friend bool operator==(const TPlace&, const TPlace&) = default;
    };
    // Draws one text onto the picture at the place.
    using TTextDrawer = std::function<void(TBarPicture& picture, TPlace place)>;
    // Columns a text may reach beyond its width on either side (a glyph's overhang).
    static constexpr int kOverhang = 2;

    // shown: the bar as the system drew it, its panel in columns [left, right) holding a text of
    // textWidth pixels that draw draws. Takes the first of places where the background with the
    // text drawn over it is what the system drew; false, with nothing learnt, when none is.
    bool Learn(const TBarPicture& shown, int left, int right, int textWidth, const std::vector<TPlace>& places,
               const TTextDrawer& draw);
    // The bar with another text of textWidth pixels in the panel, or nothing when it would reach
    // past the background that was seen.
    std::optional<TBarPicture> Compose(int textWidth, const TTextDrawer& draw) const;
    // The composed picture is on the screen now: the next text replaces its text.
    void Shown(TBarPicture picture, int textWidth);
    void Forget();
    bool Learnt() const { return FLearnt; }
    TPlace Place() const { return FPlace; }
    // The first column past the panel's background.
    int BackgroundEnd() const { return FBackgroundEnd; }

private:
    // The picture with columns [from, to) painted with the background column, text drawn at the
    // place; nothing when the text touched a column outside them.
    std::optional<TBarPicture> WithText(TBarPicture picture, int from, int to, const std::vector<std::uint32_t>& column,
                                        TPlace place, const TTextDrawer& draw) const;

    bool FLearnt = false;
    TBarPicture FShown;
    TPlace FPlace;
    int FTextWidth = 0;
    int FBandStart = 0;
    int FBackgroundEnd = 0;
    std::vector<std::uint32_t> FBackground; // one column of the panel's background, top to bottom
};
