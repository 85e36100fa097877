// The status bar's panels: the figures line kept whole, with short labels or at the hints'
// expense when the bar is narrow.
#include "Polypad/StatusLine.h"

#include <gtest/gtest.h>

namespace {

const std::string kClosed = "Вершин: 4 · Периметр: 140.794 · Площадь: 1\u00A0260.477 (по часовой)";
const std::string kOpen =
    "Вершин: 3 · Длина: 56.5685425 · Невязка: ΔX 40.0000000 ΔY 40.0000000 f 56.5685425 (1:1)";

// 5 pixels a character (code point), 12 of borders: a stand-in for the bar's font.
int Measure(const std::string& text)
{
    int chars = 0;
    for (const unsigned char c : text)
        chars += (c & 0xC0) != 0x80;
    return chars * 5 + 12;
}

} // namespace

TEST(StatusLine, ShortLabelsKeepEveryNumberInItsPlace)
{
    EXPECT_EQ(CompactFiguresLine(kClosed), "N 4 · P 140.794 · S 1\u00A0260.477 (по ч.)");
    EXPECT_EQ(CompactFiguresLine(kOpen), "N 3 · L 56.5685425 · ΔX 40.0000000 ΔY 40.0000000 f 56.5685425 (1:1)");
    EXPECT_EQ(CompactFiguresLine("Вершин: 3 · Периметр: 9 · Площадь: 4 (против часовой)"), "N 3 · P 9 · S 4 (против ч.)");
    EXPECT_EQ(CompactFiguresLine("Вершин: 0"), "N 0");
    EXPECT_EQ(CompactFiguresLine(""), "");
}

TEST(StatusLine, TheFiguresAreNeverCutWhileTheBarCanHoldThem)
{
    // kOpen: 87 characters, 447 px; short: 67 characters, 347 px.
    struct Case {
        int Bar;
        int Hints;
        const char* Shown;
    };
    const Case cases[] = {
        {900, 900 - 447, "full"},  // the hints keep more than a third
        {600, 600 - 347, "short"}, // 447 > 400: short labels, the hints keep their third
        {500, 500 - 447, "full"},  // even the short line leaves less than a third: full labels, hints give way
        {400, 400 - 347, "short"}, // only the short line fits at all
        {300, 0, "short"},         // nothing fits: the shorter line, no hints
    };
    for (const Case& c : cases) {
        const TStatusPanels panels = ArrangeStatusPanels(kOpen, c.Bar, Measure);
        EXPECT_EQ(panels.HintWidth, c.Hints) << "bar " << c.Bar;
        EXPECT_EQ(panels.Figures, std::string(c.Shown) == "full" ? kOpen : CompactFiguresLine(kOpen)) << "bar " << c.Bar;
    }
    EXPECT_EQ(ArrangeStatusPanels("", 0, Measure).HintWidth, 0);
}
