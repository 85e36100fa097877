// Platform-free logic under the grid control: masks, index mapping, layout arithmetic, popup
// placement, drop-down preselection and help keys.
#include "controls/DropDownLists.h"
#include "controls/GridLayout.h"
#include "controls/HelpKeys.h"
#include "controls/MaskEdit.h"

#include <gtest/gtest.h>

namespace {

std::u32string U(const char* s) { return Utf8ToU32(s); }
std::string S(const std::u32string& s) { return U32ToUtf8(s); }

const char* const AngleMask = "999°99'99\"";

TEST(EditMask, AngleMaskLayout)
{
    TEditMask mask(AngleMask);
    EXPECT_EQ(mask.Length(), 10);
    EXPECT_TRUE(mask.IsLiteral(3));
    EXPECT_TRUE(mask.IsLiteral(6));
    EXPECT_TRUE(mask.IsLiteral(9));
    EXPECT_EQ(S(mask.FormatValue(U(""))), "___°__'__\"");
    EXPECT_EQ(S(mask.FormatValue(U("123°45'06\""))), "123°45'06\"");
    // Short groups keep their place: a literal in the value skips to its position.
    EXPECT_EQ(S(mask.FormatValue(U("45°3'15\""))), "45_°3_'15\"");
    EXPECT_TRUE(mask.IsComplete(mask.FormatValue(U("")))); // all optional
    EXPECT_EQ(S(mask.ValueOf(mask.FormatValue(U("45°3'15\"")))), "45 °3 '15\"");
}

TEST(EditMask, TypingOvertypesAndSkipsLiterals)
{
    TEditMask mask(AngleMask);
    std::u32string text = mask.FormatValue(U(""));
    int caret = 0;
    for (char32_t c : std::u32string(U"12345"))
        EXPECT_TRUE(mask.TypeChar(text, caret, c));
    EXPECT_EQ(S(text), "123°45'__\"");
    EXPECT_EQ(caret, 7);
    EXPECT_FALSE(mask.TypeChar(text, caret, U'x'));
    EXPECT_EQ(S(text), "123°45'__\"");
    caret = 0;
    EXPECT_TRUE(mask.TypeChar(text, caret, U'9'));
    EXPECT_TRUE(mask.TypeChar(text, caret, U'°')); // jump past the degree sign
    EXPECT_EQ(caret, 4);
    EXPECT_TRUE(mask.TypeChar(text, caret, U'0'));
    EXPECT_EQ(S(text), "923°05'__\"");
    mask.Backspace(text, caret);
    EXPECT_EQ(S(text), "923°_5'__\"");
    EXPECT_EQ(caret, 4);
    caret = 10;
    EXPECT_FALSE(mask.TypeChar(text, caret, U'1')); // no room after the last position
    mask.ClearRange(text, 0, 10);
    EXPECT_EQ(S(text), "___°__'__\"");
}

// Typed as a fresh editor takes them: the text the mask keeps after each sequence.
std::string TypeInto(const TEditMask& mask, const char* typed, std::u32string start = U"")
{
    std::u32string text = mask.FormatValue(start);
    int caret = 0;
    for (const char32_t c : Utf8ToU32(typed))
        mask.TypeChar(text, caret, c);
    return S(text);
}

TEST(EditMask, SeparatorsEndAnAngleField)
{
    TEditMask mask(AngleMask);
    ASSERT_TRUE(mask.IsAngleMask());
    const struct {
        const char* Typed;
        const char* Text;
    } cases[] = {
        {"45-30-15", "45_°30'15\""},  {"45 30 15", "45_°30'15\""}, {"45.30.15", "45_°30'15\""},
        {"45,30,15", "45_°30'15\""},  {"45:30/15", "45_°30'15\""}, {"45°30'15\"", "45_°30'15\""},
        {"7-5-3", "7__°5_'3_\""},     {"45-30", "45_°30'__\""},    {"453015", "453°01'5_\""},
        {"123-4-5", "123°4_'5_\""},    {"1-2-3-4", "1__°2_'34\""}, {"-45", "45_°__'__\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TypeInto(mask, c.Typed), c.Text) << c.Typed;

    // A separator with no digit of its field before the caret, or in the last field, is refused.
    std::u32string text = mask.FormatValue(U"");
    int caret = 0;
    EXPECT_FALSE(mask.TypeChar(text, caret, U'-'));
    EXPECT_TRUE(mask.TypeChar(text, caret, U'4'));
    EXPECT_TRUE(mask.TypeChar(text, caret, U'-'));
    EXPECT_FALSE(mask.TypeChar(text, caret, U'-'));
    EXPECT_EQ(caret, 4);
    caret = 7;
    EXPECT_TRUE(mask.TypeChar(text, caret, U'1'));
    EXPECT_FALSE(mask.TypeChar(text, caret, U' '));
    EXPECT_EQ(S(text), "4__°__'1_\"");
    EXPECT_EQ(caret, 8);

    // Over an old value the separator blanks the rest of its field: 7 degrees, not 75.
    EXPECT_EQ(TypeInto(mask, "7-", U"45°30'15\""), "7__°30'15\"");

    // Other masks keep refusing separators.
    EXPECT_FALSE(TEditMask("00-00").IsAngleMask());
    EXPECT_FALSE(TEditMask("99:99").IsAngleMask());
    TEditMask time("99:99");
    text = time.FormatValue(U"");
    caret = 0;
    EXPECT_TRUE(time.TypeChar(text, caret, U'1'));
    EXPECT_FALSE(time.TypeChar(text, caret, U'-'));
}

TEST(EditMask, RequiredPositionsAndFields)
{
    TEditMask mask(">LL-00;0;*");
    EXPECT_EQ(mask.Blank(), U'*');
    EXPECT_FALSE(mask.SaveLiterals());
    std::u32string text = mask.FormatValue(U(""));
    EXPECT_EQ(S(text), "**-**");
    int caret = 0;
    EXPECT_TRUE(mask.TypeChar(text, caret, U'я'));
    EXPECT_TRUE(mask.TypeChar(text, caret, U'b'));
    EXPECT_EQ(S(text), "ЯB-**");
    EXPECT_THROW(mask.Validate(text), EDBEditError);
    EXPECT_TRUE(mask.TypeChar(text, caret, U'7'));
    EXPECT_TRUE(mask.TypeChar(text, caret, U'1'));
    EXPECT_NO_THROW(mask.Validate(text));
    EXPECT_EQ(S(mask.ValueOf(text)), "ЯB71");
    try {
        mask.Validate(U("**-**"));
    } catch (const EDBEditError& e) {
        EXPECT_STREQ(e.what(), "Неверное количество символов. Нажмите клавишу Escape для того, чтобы "
                               "отказаться от изменений.");
    }
    EXPECT_TRUE(TEditMask("").Empty());
    EXPECT_EQ(TEditMask("\\0_0").Length(), 3);
    EXPECT_TRUE(TEditMask("\\0_0").IsLiteral(0));
}

struct MappingCase {
    TSimpleGridOrientation Orientation;
    TSimpleGridRowHeader Header;
    int Columns, Rows;
    int ColCount, RowCount, FixedCols, FixedRows;
};

TEST(GridMapping, CountsPerOrientationAndHeader)
{
    const MappingCase cases[] = {
        {gorVertical, grhNumber, 3, 5, 4, 6, 1, 1},
        {gorVertical, grhNone, 3, 5, 3, 6, 0, 1},
        {gorVertical, grhState, 0, 0, 2, 2, 1, 1}, // no columns, no rows: one empty line each
        {gorHorizontal, grhNumber, 3, 5, 6, 4, 1, 1},
        {gorHorizontal, grhNone, 3, 5, 6, 3, 1, 0},
    };
    for (const auto& c : cases) {
        TGridMapping m{c.Orientation, c.Header, c.Columns, c.Rows};
        const auto n = m.Counts();
        EXPECT_EQ(n.ColCount, c.ColCount);
        EXPECT_EQ(n.RowCount, c.RowCount);
        EXPECT_EQ(n.FixedCols, c.FixedCols);
        EXPECT_EQ(n.FixedRows, c.FixedRows);
    }
}

TEST(GridMapping, DataAndGridRoundTripAndKinds)
{
    TGridMapping v{gorVertical, grhNumber, 3, 5};
    EXPECT_EQ(v.DataToGrid(2, 4), (TGridPoint{3, 5}));
    EXPECT_EQ(v.GridToData(3, 5), (TGridPoint{2, 4}));
    EXPECT_EQ(v.GridToData(0, 0), (TGridPoint{-1, -1}));
    EXPECT_EQ(v.CellKind(0, 0), gckCorner);
    EXPECT_EQ(v.CellKind(0, 3), gckRowHeader);
    EXPECT_EQ(v.CellKind(2, 0), gckColumnHeader);
    EXPECT_EQ(v.CellKind(2, 3), gckData);
    TGridMapping h{gorHorizontal, grhNumber, 3, 5};
    EXPECT_EQ(h.DataToGrid(2, 4), (TGridPoint{5, 3}));
    EXPECT_EQ(h.GridToData(5, 3), (TGridPoint{2, 4}));
    EXPECT_EQ(h.CellKind(0, 2), gckColumnHeader); // captions run down the fixed column
    EXPECT_EQ(h.CellKind(2, 0), gckRowHeader);
    TGridMapping empty{gorVertical, grhState, 2, 0};
    EXPECT_EQ(empty.GridToData(1, 1), (TGridPoint{0, -1}));
    EXPECT_EQ(empty.CellKind(1, 1), gckNone);
    TGridMapping noColumns{gorVertical, grhNone, 0, 3};
    EXPECT_EQ(noColumns.CellKind(0, 1), gckNone);
}

TEST(GridMapping, TabOrderWrapsPerOrientation)
{
    TGridMapping v{gorVertical, grhNumber, 3, 2};
    TGridPoint t;
    EXPECT_TRUE(v.AdjacentCell(2, 0, true, t));
    EXPECT_EQ(t, (TGridPoint{0, 1}));
    EXPECT_TRUE(v.AdjacentCell(0, 1, false, t));
    EXPECT_EQ(t, (TGridPoint{2, 0}));
    EXPECT_FALSE(v.AdjacentCell(2, 1, true, t));
    EXPECT_FALSE(v.AdjacentCell(0, 0, false, t));
    TGridMapping h{gorHorizontal, grhNumber, 3, 2};
    EXPECT_TRUE(h.AdjacentCell(0, 1, true, t));
    EXPECT_EQ(t, (TGridPoint{1, 0}));
    EXPECT_FALSE(h.AdjacentCell(2, 1, true, t));
    TGridMapping none{gorVertical, grhNumber, 3, 0};
    EXPECT_FALSE(none.AdjacentCell(-1, -1, true, t));
}

TGridGeometry MakeGeometry(int rows)
{
    TGridGeometry g;
    g.ColWidths = {17, 50, 60, 70};
    g.RowCount = rows;
    g.FixedCols = 1;
    g.FixedRows = 1;
    g.RowHeight = 20;
    g.LineWidth = 1;
    g.LeftCol = 1;
    g.TopRow = 1;
    g.ClientWidth = 150;
    g.ClientHeight = 105; // header + 4 full rows
    return g;
}

TEST(GridGeometry, CellRectsAndHitTest)
{
    TGridGeometry g = MakeGeometry(1000001);
    EXPECT_EQ(g.CellRect(0, 0), (TIntRect{0, 0, 17, 20}));
    EXPECT_EQ(g.CellRect(2, 2), (TIntRect{67, 42, 127, 62}));
    EXPECT_TRUE(g.CellRect(3, 1).Left == 127);  // partly visible
    EXPECT_TRUE(g.CellRect(2, 6).IsEmpty());    // below the client area
    TGridPoint cell;
    ASSERT_TRUE(g.CellAt(70, 44, cell));
    EXPECT_EQ(cell, (TGridPoint{2, 2}));
    EXPECT_FALSE(g.CellAt(70, 200, cell));
    EXPECT_EQ(g.VisibleRows(), 4);
    EXPECT_EQ(g.MaxTopRow(), 1000001 - 4);
    g.TopRow = 500000;
    EXPECT_EQ(g.CellRect(2, 500001), (TIntRect{67, 42, 127, 62}));
    ASSERT_TRUE(g.CellAt(20, 25, cell));
    EXPECT_EQ(cell, (TGridPoint{1, 500000}));
    EXPECT_EQ(g.TopRowShowing(500010), 500007);
    EXPECT_EQ(g.TopRowShowing(10), 10);
    EXPECT_EQ(g.TopRowShowing(500002), 500000);
    EXPECT_EQ(g.LastVisibleRow(), 500003);
}

// A header taller than the rows (captions on two lines) moves every scrolled row down and takes
// its room from them; hits in the header still find the header row.
TEST(GridGeometry, AHeaderOfItsOwnHeightPushesTheRowsDown)
{
    TGridGeometry g = MakeGeometry(10);
    g.HeaderHeight = 41;
    EXPECT_EQ(g.FixedHeight(), 42);
    EXPECT_EQ(g.CellRect(1, 0), (TIntRect{17, 0, 67, 41}));
    EXPECT_EQ(g.CellRect(1, 1), (TIntRect{17, 42, 67, 62}));
    EXPECT_EQ(g.VisibleRows(), 3) << "(105 - 42) / 21";
    TGridPoint cell;
    ASSERT_TRUE(g.CellAt(20, 40, cell));
    EXPECT_EQ(cell, (TGridPoint{1, 0}));
    ASSERT_TRUE(g.CellAt(20, 43, cell));
    EXPECT_EQ(cell, (TGridPoint{1, 1}));
    g.HeaderHeight = 0;
    EXPECT_EQ(g.FixedHeight(), 21) << "0: as high as the rows";
}

TEST(GridGeometry, HorizontalScrollLimits)
{
    TGridGeometry g = MakeGeometry(3);
    EXPECT_EQ(g.LeftColShowing(3), 2); // 60 + 70 fit into 133
    g.LeftCol = 3;
    EXPECT_EQ(g.LeftColShowing(1), 1);
    EXPECT_EQ(g.MaxLeftCol(), 2);
    g.LeftCol = 9;
    g.TopRow = 9;
    g.Clamp();
    EXPECT_EQ(g.LeftCol, 2);
    EXPECT_EQ(g.TopRow, 1);
}

TEST(PopupPlacement, BelowRightAlignedOrAbove)
{
    const TIntRect cell{100, 500, 200, 520};
    EXPECT_EQ(PlacePopup(cell, 250, 300, 1280, 1024), (TGridPoint{100, 520}));
    EXPECT_EQ(PlacePopup(cell, 250, 300, 300, 1024), (TGridPoint{100, 520})); // no room on the left: stays
    EXPECT_EQ(PlacePopup({300, 500, 400, 520}, 250, 300, 500, 1024), (TGridPoint{150, 520}));
    EXPECT_EQ(PlacePopup(cell, 250, 600, 1280, 1000).Row, 520); // 500 − 600 < 0: stays below
    EXPECT_EQ(PlacePopup(cell, 250, 400, 1280, 800).Row, 100);  // opens above
}

// A mouse notch scrolls the system's lines; a touchpad's small deltas add up to the same lines
// instead of being lost; a page setting moves a page; turning back forgets what was kept.
TEST(WheelLines, NotchesTouchpadDeltasPagesAndTurns)
{
    TWheelLines wheel;
    EXPECT_EQ(wheel.Take(120, 3, 20), 3);
    EXPECT_EQ(wheel.Take(-240, 3, 20), -6);
    EXPECT_EQ(wheel.Take(120, 0, 20), 0) << "no lines per notch: no scrolling";

    TWheelLines touchpad;
    int lines = 0;
    for (int i = 0; i < 40; ++i) // 40 deltas of 12: four notches
        lines += touchpad.Take(12, 3, 20);
    EXPECT_EQ(lines, 12);
    EXPECT_EQ(touchpad.Take(20, 3, 20), 0) << "half a line is kept";
    EXPECT_EQ(touchpad.Take(20, 3, 20), 1) << "and makes a line with the next";
    EXPECT_EQ(touchpad.Take(30, 3, 20), 0);
    EXPECT_EQ(touchpad.Take(-30, 3, 20), 0) << "a turn drops the kept part instead of paying it back";
    EXPECT_EQ(touchpad.Take(-10, 3, 20), -1);

    TWheelLines pages;
    EXPECT_EQ(pages.Take(-120, TWheelLines::kPagePerNotch, 17), -17);
    EXPECT_EQ(pages.Take(60, TWheelLines::kPagePerNotch, 17), 8);
    EXPECT_EQ(pages.Take(60, TWheelLines::kPagePerNotch, 17), 9) << "two half notches make one page";
}

TEST(DropDownPreselection, VarEqualsRules)
{
    EXPECT_TRUE(VarEquals(TGridValue::Null(), TGridValue::Null()));
    EXPECT_FALSE(VarEquals(TGridValue::Null(), TGridValue()));
    EXPECT_TRUE(VarEquals(TGridValue(), TGridValue()));
    EXPECT_FALSE(VarEquals(TGridValue::Integer(0), TGridValue::Null()));
    EXPECT_FALSE(VarEquals(TGridValue::String(""), TGridValue()));
    EXPECT_TRUE(VarEquals(TGridValue::String("Abc"), TGridValue::String("Abc")));
    EXPECT_FALSE(VarEquals(TGridValue::String("Abc"), TGridValue::String("abc")));
    EXPECT_TRUE(VarEquals(TGridValue::Integer(2), TGridValue::Float(2.0)));
    EXPECT_TRUE(VarEquals(TGridValue::String("2"), TGridValue::Integer(2)));
    EXPECT_FALSE(VarEquals(TGridValue::String("two"), TGridValue::Integer(2))); // conversion error → false
    EXPECT_TRUE(VarEquals(TGridValue::Boolean(true), TGridValue::Boolean(true)));
    EXPECT_FALSE(VarEquals(TGridValue::Boolean(true), TGridValue::Boolean(false)));
}

TEST(DropDownPreselection, LastMatchWinsAndNoMatchSelectsNothing)
{
    auto list = NewDropDownList();
    list->Add(TGridValue::Integer(1), "a");
    list->Add(TGridValue::Integer(2), "b");
    list->Add(TGridValue::Integer(2), "c");
    EXPECT_EQ(PreselectedIndex(*list, TGridValue::Integer(2)), 2);
    EXPECT_EQ(PreselectedIndex(*list, TGridValue::Integer(5)), -1);
    EXPECT_EQ(PreselectedIndex(*list, TGridValue::Null()), -1);
    std::string caption;
    list->GetCaption(1, caption);
    EXPECT_EQ(caption, "b");
    TGridValue v;
    EXPECT_THROW(list->GetValue(3, v), Exception);
    EXPECT_THROW(list->GetCaption(-1, caption), Exception);
}

TEST(HelpKeyPaths, NamedUnnamedNonClientAndScrollBars)
{
    THelpComponent form{"EditorForm", "TPolypadForm", nullptr, nullptr, true, true, -1, -1};
    THelpComponent panel{"", "TPanel", &form, nullptr, false, true, 2, 5};
    THelpComponent edit{"", "TEdit", &panel, nullptr, false, true, 0, 7};
    THelpComponent named{"Grid", "TSimpleGrid", &panel, nullptr, false, true, 1, 8};
    THelpComponent action{"", "TAction", nullptr, &form, false, false, -1, 3};
    THelpComponent x{"", "X", &form, nullptr, false, true, 4, 4};

    EXPECT_EQ(HelpKeys(named, 1).Key, "Grid");
    EXPECT_EQ(HelpKeys(named, 1).Section, "TPolypadForm");
    EXPECT_EQ(HelpKeys(edit, 1).Key, "Panel2.Edit0");
    EXPECT_EQ(HelpKeys(panel, 1).Key, "Panel2");
    EXPECT_EQ(HelpKeys(action, 1).Key, "Action3");
    EXPECT_EQ(HelpKeys(action, 1).Section, "TPolypadForm");
    EXPECT_EQ(HelpKeys(x, 1).Key, "X4");
    const THelpKeys caption = HelpKeys(form, 2);
    EXPECT_EQ(caption.Section, "Forms");
    EXPECT_EQ(caption.Key, "Form(2)");
    const THelpKeys scroll = HelpKeys(named, 7);
    EXPECT_EQ(scroll.Section, "TPolypadForm");
    EXPECT_EQ(scroll.Key, "Grid(7)");
    THelpComponent orphan{"", "TTimer", nullptr, nullptr, false, false, -1, 0};
    EXPECT_EQ(HelpKeys(orphan, 1, &form).Section, "TPolypadForm");
}

} // namespace
