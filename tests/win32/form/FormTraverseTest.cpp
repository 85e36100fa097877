// "Ход по углам…": the dialog as a surveyor works in it — stations typed and pasted into its grid,
// the known point and direction typed, the sheet following, a limit exceeded and marked, the
// traverse applied to the table as one step and undone, the sheet copied as Unicode text and
// "HTML Format", the dialog's settings kept in the Host's settings.
//
// The worked example: a rectangle travelled clockwise from (1000, 2000), the first course due
// north (0°), right angles all measured 90°00'10", lengths 100, 50, 100.02, 50. By hand:
// Σβ = 360°00'40" against 4·180° ≡ 360°: fβ = +40", fβ,доп = 60"·√4 = ±2'; each angle corrected by
// −10" to 90° exactly, the directions 0°, 90°, 180°, 270°; fx = 100 − 100.02 = −0.02, fy = 0,
// f = 0.02, Σd = 300.02, 1:⌊300.02/0.02⌋ = 1:15001. The compass rule moves X by 0.02·d/Σd per
// course: the vertices (1000, 2000), (1100 + 2/300.02, 2000), (1100 + 3/300.02, 2050),
// (999.98 + 5.0004/300.02, 2050).
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/TraverseDialog.h"
#include "hostsim/Clipboard.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <cstring>

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

using C = TTraverseControl;

class FormTraverse : public FormInput {
protected:
    // The dialog opened from the table's context menu, which must offer the command.
    TTraverseDialog& OpenDialog()
    {
        TPolypadForm& form = OpenParcel();
        TPopupMenu& menu = form.TablePopupMenu;
        if (menu.OnPopup)
            menu.OnPopup(menu);
        const TUniqueMenu built = menu.Build();
        EXPECT_EQ(menu.Find(form.TraverseFromAnglesAction->Id()), form.TraverseFromAnglesAction);
        EXPECT_EQ(::GetMenuState(built.get(), static_cast<UINT>(form.TraverseFromAnglesAction->Id()), MF_BYCOMMAND) &
                      MF_GRAYED,
                  0u);
        EXPECT_EQ(form.TraverseFromAnglesAction->Caption(), "Ход по углам…");
        form.TraverseFromAnglesAction->Execute();
        PumpAll();
        EXPECT_TRUE(form.TraverseDialog && form.TraverseDialog->Visible());
        return *form.TraverseDialog;
    }
    TTraverseDialog& Dialog() { return *FForm->TraverseDialog; }
    HWND Control(C control) { return Dialog().Control(control); }
    std::string Text(C control)
    {
        const HWND window = Control(control);
        const int length = ::GetWindowTextLengthW(window);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        ::GetWindowTextW(window, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        return Narrow(text);
    }
    void ClickControl(C control)
    {
        RECT r{};
        ::GetClientRect(Control(control), &r);
        PostClick(Control(control), r.right / 2, r.bottom / 2);
        Pump(150);
    }
    // A click into the field, then the text typed over what it held.
    void TypeInto(C control, const std::wstring& text)
    {
        ClickControl(control);
        ASSERT_EQ(::GetFocus(), Control(control));
        Type(text);
        PumpAll();
    }
    void ChooseItem(C control, int index)
    {
        const HWND list = Control(control);
        ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(list), CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(list));
        PumpAll();
    }
    void ClickStation(int col, int row)
    {
        TSimpleGrid& grid = Dialog().Stations();
        const TGridPoint g = grid.DataToGrid(col, row);
        const RECT r = grid.CellRect(g.Col, g.Row);
        ASSERT_LT(r.left, r.right) << "the cell is out of view";
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        const HWND target = ::ChildWindowFromPointEx(grid.Handle(), p, CWP_SKIPINVISIBLE);
        ::MapWindowPoints(grid.Handle(), target, &p, 1);
        PostClick(target, p.x, p.y);
        Pump(150);
    }
    void TypeStation(int col, int row, const std::wstring& text)
    {
        ClickStation(col, row);
        Type(text);
        Press(VK_RETURN);
    }
    // The known point and the first direction of the worked example.
    void TypeStart()
    {
        TypeInto(C::StartX, L"1000");
        TypeInto(C::StartY, L"2000");
        TypeInto(C::StartDirection, L"0-00-00");
    }
    void PutOnClipboard(const std::wstring& text)
    {
        hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), text);
    }
    static void ExpectWorkedExample(const TTable& table)
    {
        ASSERT_EQ(table.Count(), 4);
        EXPECT_TRUE(table.Closed());
        const double x[] = {1000, 1100 + 2 / 300.02, 1100 + 3 / 300.02, 999.98 + 5.0004 / 300.02};
        const double y[] = {2000, 2000, 2050, 2050};
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(table.GetX(i), x[i], 1e-9);
            EXPECT_NEAR(table.GetY(i), y[i], 1e-9);
            EXPECT_EQ(table.GetArcConvexity(i), 0);
        }
    }
};

} // namespace

// Stations typed one cell at a time and then pasted as lines; the figures and the sheet follow
// each change; "Применить" replaces the table as one step that one undo takes back.
TEST_F(FormTraverse, TypedAndPastedStationsMakeTheSheetAndApplyAsOneStep)
{
    WriteSetting("Kestrom.PolypadTraverseKind", "closed");
    TTraverseDialog& dialog = OpenDialog();
    const std::vector<TRow> parcel = Rows(*FTable);
    TypeStart();
    EXPECT_EQ(Text(C::Sheet), "") << "no sheet before any station";
    EXPECT_FALSE(::IsWindowEnabled(Control(C::Apply)));

    TypeStation(0, 0, L"90-00-10");
    TypeStation(1, 0, L"100");
    TypeStation(0, 1, L"90-00-10");
    TypeStation(1, 1, L"50");
    // Two stations make no closed traverse: the reason shows instead of the figures.
    EXPECT_THAT(Text(C::Figures), HasSubstr("три станции"));
    EXPECT_EQ(Text(C::Sheet), "");

    ClickStation(0, 2);
    PutOnClipboard(L"90 00 10\t100.02\r\n90°00'10\"\t50\r\n");
    Press('V', true);
    ASSERT_EQ(dialog.Stations().DataRowCount(), 5) << "four stations and the empty row for the next";

    const std::string figures = Text(C::Figures);
    EXPECT_THAT(figures, HasSubstr("fβ  +40.0\"  fβ доп.  ±"));
    EXPECT_THAT(figures, HasSubstr("fx  -0.020  fy  0.000  f  0.020"));
    EXPECT_THAT(figures, HasSubstr("f/Σd  1:15001  доп.  1:2000"));
    EXPECT_THAT(figures, Not(HasSubstr("превышает допустимую")));
    const std::string sheet = Text(C::Sheet);
    EXPECT_THAT(sheet, StartsWith("Ведомость вычисления координат\tзамкнутый ход\tправые углы"));
    EXPECT_THAT(sheet, HasSubstr("\t-10.0\"\t"));
    EXPECT_THAT(sheet, HasSubstr("\t300.020\t")) << "Σd";

    // A length changed in its cell: the sheet follows at once. The last course runs at 270°:
    // fy = -0.01, f = √(0.02² + 0.01²) = 0.02236, 1:⌊300.03/0.02236⌋ = 1:13417.
    TypeStation(1, 3, L"50.01");
    EXPECT_THAT(Text(C::Figures), HasSubstr("fx  -0.020  fy  -0.010  f  0.022"));
    EXPECT_THAT(Text(C::Figures), HasSubstr("f/Σd  1:13417  доп.  1:2000"));
    EXPECT_THAT(Text(C::Sheet), HasSubstr("\t300.030\t"));
    TypeStation(1, 3, L"50");
    EXPECT_THAT(Text(C::Sheet), HasSubstr("\t300.020\t"));

    ASSERT_TRUE(::IsWindowEnabled(Control(C::Apply)));
    ClickControl(C::Apply);
    PumpAll();
    ExpectWorkedExample(*FTable);
    EXPECT_EQ(FForm->UndoAction->Hint(), "Отменить: ход по углам");
    EXPECT_TRUE(FForm->ContourPartClosedAction->Checked());
    const std::vector<TRow> applied = Rows(*FTable);

    ::SetForegroundWindow(FForm->Handle());
    ClickCell(ckX, 0);
    Press('Z', true);
    EXPECT_EQ(Rows(*FTable), parcel) << "one undo gives the parcel back";
    Press('Y', true);
    EXPECT_EQ(Rows(*FTable), applied);
    EXPECT_EQ(WrittenToTheMap(), applied);
}

// A limit made stricter than the traverse: the figure is marked, "Применить" refuses with both
// figures and leaves the table; with the box ticked the traverse goes in anyway.
TEST_F(FormTraverse, AFigureOverItsLimitIsMarkedAndRefusedUnlessForced)
{
    OpenDialog();
    const std::vector<TRow> parcel = Rows(*FTable);
    TypeStart();
    ClickStation(0, 0);
    PutOnClipboard(L"90-00-10\t100\n90-00-10\t50\n90-00-10\t100.02\n90-00-10\t50\n");
    Press('V', true);
    EXPECT_THAT(Text(C::Figures), Not(HasSubstr("превышает допустимую")));

    // 1:15001 is not within 1:20000.
    TypeInto(C::RelativeLimit, L"20000");
    EXPECT_THAT(Text(C::Figures), HasSubstr("f/Σd  1:15001  доп.  1:20000  превышает допустимую"));
    EXPECT_THAT(Text(C::Figures), StartsWith("fβ  +40.0\"  fβ доп.  ±2'0.0\"\r\n")) << "fβ is within its limit";
    EXPECT_THAT(Text(C::Sheet), HasSubstr("1:20000\tпревышает допустимую"));
    // 40" is not within 10"·√4.
    TypeInto(C::AngleLimit, L"10");
    EXPECT_THAT(Text(C::Figures), HasSubstr("+40.0\"  fβ доп.  ±"));
    const std::string figures = Text(C::Figures);
    EXPECT_THAT(figures.substr(0, figures.find("\r\n")), ::testing::EndsWith("  превышает допустимую"))
        << "the angular misclosure's line is marked";

    const std::vector<std::string> boxes = Answering({IDOK}, [&] { ClickControl(C::Apply); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_THAT(boxes[0], HasSubstr("40"));
    EXPECT_THAT(boxes[0], HasSubstr("20"));
    EXPECT_EQ(Rows(*FTable), parcel);

    ClickControl(C::Force);
    ASSERT_EQ(::SendMessageW(Control(C::Force), BM_GETCHECK, 0, 0), BST_CHECKED);
    ClickControl(C::Apply);
    PumpAll();
    ExpectWorkedExample(*FTable);

    // The dialog edits the table: it goes when the editing mode does.
    FForm->EditingModeAction->Execute();
    PumpAll();
    EXPECT_FALSE(Dialog().Visible());
}

// A traverse between known points: from (1000, 2000), the known side arriving due north, right
// angles 180°00'15", 180°00'15" and at the end 90°00'15" (the row of an angle alone), lengths 100
// and 100.03, to (1200, 2000) leaving at 90°. By hand: Σβ theoretical 0° + 3·180° − 90° = 450°,
// fβ = +45" within 60"·√3 = 1'43.9", each angle −15"; the courses run at 0°, fx = 200.03 − 200 =
// 0.03, 1:⌊200.03/0.03⌋ = 1:6667; the compass rule takes 0.03·100/200.03 off station 2. The table gets
// the three stations, open, the last exactly the given end.
TEST_F(FormTraverse, ATraverseBetweenKnownPointsEndsOnTheGivenEnd)
{
    OpenDialog();
    ChooseItem(C::Kind, 1);
    ASSERT_TRUE(::IsWindowEnabled(Control(C::EndX)));
    TypeInto(C::StartX, L"1000");
    TypeInto(C::StartY, L"2000");
    TypeInto(C::StartDirection, L"0-00-00");
    TypeInto(C::EndX, L"1200");
    TypeInto(C::EndY, L"2000");
    TypeInto(C::EndDirection, L"90-00-00");
    ClickStation(0, 0);
    PutOnClipboard(L"180-00-15\t100\n180-00-15\t100.03\n90-00-15\n");
    Press('V', true);
    EXPECT_THAT(Text(C::Sheet), StartsWith("Ведомость вычисления координат\tход между пунктами\tправые углы"));
    EXPECT_THAT(Text(C::Figures), HasSubstr("fβ  +45.0\"  fβ доп.  ±1'43.9\""));
    EXPECT_THAT(Text(C::Figures), HasSubstr("fx  0.030  fy  0.000  f  0.030"));
    EXPECT_THAT(Text(C::Figures), HasSubstr("f/Σd  1:6667  доп.  1:2000"));

    ClickControl(C::Apply);
    PumpAll();
    ASSERT_EQ(FTable->Count(), 3);
    EXPECT_FALSE(FTable->Closed());
    EXPECT_EQ(FTable->GetX(0), 1000);
    EXPECT_NEAR(FTable->GetX(1), 1100 - 3 / 200.03, 1e-9);
    EXPECT_NEAR(FTable->GetY(1), 2000, 1e-9);
    EXPECT_EQ(FTable->GetX(2), 1200);
    EXPECT_EQ(FTable->GetY(2), 2000);
    EXPECT_FALSE(FForm->ContourPartClosedAction->Checked());
}

// "Копировать ведомость": the sheet as Unicode text, and as "HTML Format" whose header's byte
// offsets point at the document and at the table inside it.
TEST_F(FormTraverse, TheSheetIsCopiedAsTextAndAsHtml)
{
    OpenDialog();
    TypeStart();
    ClickStation(0, 0);
    PutOnClipboard(L"90-00-10\t100\n90-00-10\t50\n90-00-10\t100.02\n90-00-10\t50\n");
    Press('V', true);
    ClickControl(C::Copy);
    PumpAll();

    const HWND owner = hostsim::MainWindowHandle(FHost.get());
    const std::string text = Narrow(hostsim::ClipboardText(owner));
    EXPECT_THAT(text, StartsWith("Ведомость вычисления координат\tзамкнутый ход"));
    EXPECT_THAT(text, HasSubstr("f/Σd\t1:15001\tдоп.\t1:2000"));
    EXPECT_EQ(text, Text(C::Sheet)) << "the copy is the sheet the dialog shows";

    TOxClipboard clipboard(owner);
    const std::optional<std::vector<std::uint8_t>> data = clipboard.GetData(::RegisterClipboardFormatW(L"HTML Format"));
    ASSERT_TRUE(data.has_value());
    const std::string html(data->begin(), data->end());
    auto offset = [&](const char* name) {
        const std::size_t at = html.find(std::string(name) + ":");
        EXPECT_NE(at, std::string::npos) << name;
        return at == std::string::npos ? std::size_t{0} : std::strtoul(html.c_str() + at + std::strlen(name) + 1, nullptr, 10);
    };
    ASSERT_THAT(html, StartsWith("Version:"));
    const std::size_t startHtml = offset("StartHTML"), endHtml = offset("EndHTML");
    const std::size_t startFragment = offset("StartFragment"), endFragment = offset("EndFragment");
    ASSERT_LT(startHtml, startFragment);
    ASSERT_LT(startFragment, endFragment);
    ASSERT_LE(endFragment, endHtml);
    ASSERT_LE(endHtml, html.size());
    EXPECT_THAT(html.substr(startHtml), StartsWith("<"));
    const std::string fragment = html.substr(startFragment, endFragment - startFragment);
    EXPECT_THAT(fragment, StartsWith("<table"));
    EXPECT_THAT(fragment, HasSubstr("1:15001"));
    EXPECT_THAT(fragment, HasSubstr("замкнутый ход"));
}

// The kind, angle kind, rule and limits come from the Host's settings when the dialog opens and
// go back to them when it closes; a connecting traverse then needs its end point.
TEST_F(FormTraverse, TheSettingsAreRememberedInTheHost)
{
    WriteSetting("Kestrom.PolypadTraverseKind", "connecting");
    WriteSetting("Kestrom.PolypadTraverseAngles", "left");
    WriteSetting("Kestrom.PolypadTraverseRule", "transit");
    WriteSetting("Kestrom.PolypadTraverseAngleLimit", "30");
    WriteSetting("Kestrom.PolypadTraverseRelativeLimit", "abc");
    OpenDialog();
    EXPECT_EQ(::SendMessageW(Control(C::Kind), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(::SendMessageW(Control(C::Angles), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(::SendMessageW(Control(C::Rule), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Text(C::AngleLimit), "30");
    EXPECT_EQ(Text(C::RelativeLimit), "2000") << "a setting that does not read keeps its default";
    EXPECT_TRUE(::IsWindowEnabled(Control(C::EndX)));
    EXPECT_FALSE(::IsWindowEnabled(Control(C::SigmaAngle))) << "the a priori errors serve least squares only";

    ChooseItem(C::Kind, 0);
    EXPECT_FALSE(::IsWindowEnabled(Control(C::EndX)));
    ChooseItem(C::Rule, 2);
    EXPECT_TRUE(::IsWindowEnabled(Control(C::SigmaAngle)));
    TypeInto(C::SigmaAngle, L"3");
    ClickControl(C::Close);
    PumpAll();
    EXPECT_FALSE(Dialog().Visible());
    EXPECT_EQ(Setting(L"Kestrom.PolypadTraverseKind"), L"closed");
    EXPECT_EQ(Setting(L"Kestrom.PolypadTraverseAngles"), L"left");
    EXPECT_EQ(Setting(L"Kestrom.PolypadTraverseRule"), L"least-squares");
    EXPECT_EQ(Setting(L"Kestrom.PolypadTraverseAngleLimit"), L"30");
    EXPECT_EQ(Setting(L"Kestrom.PolypadTraverseRelativeLimit"), L"2000");
    EXPECT_EQ(Setting(L"Kestrom.PolypadTraverseSigmaAngle"), L"3");

    // Outside editing mode the command is not offered.
    FForm->EditingModeAction->Execute();
    PumpAll();
    EXPECT_FALSE(FForm->TraverseFromAnglesAction->Enabled());
}

// Tab and Shift+Tab move through the fields in their order on the screen and into the grid of
// stations, where Tab goes on from the angle to the length as in the table; Esc in a field closes
// the dialog.
TEST_F(FormTraverse, TheKeyboardMovesThroughTheFields)
{
    TTraverseDialog& dialog = OpenDialog();
    ClickControl(C::StartDirection);
    ASSERT_EQ(::GetFocus(), Control(C::StartDirection));
    Press(VK_TAB);
    EXPECT_EQ(::GetFocus(), Control(C::StartX));
    Press(VK_TAB);
    EXPECT_EQ(::GetFocus(), Control(C::StartY));
    Press(VK_TAB, false, true);
    EXPECT_EQ(::GetFocus(), Control(C::StartX));
    ClickControl(C::Force);
    Press(VK_TAB);
    const HWND grid = dialog.Stations().Handle();
    EXPECT_TRUE(::GetFocus() == grid || ::IsChild(grid, ::GetFocus())) << "the grid or its cell's editor";
    Type(L"90-00-10");
    Press(VK_TAB);
    EXPECT_EQ(dialog.Stations().DataCol(), 1);
    EXPECT_EQ(dialog.Stations().DataRow(), 0);
    TGridValue angle;
    dialog.Stations().OnGetDataValue(dialog.Stations(), 0, 0, angle);
    EXPECT_EQ(angle.AsText(), "90-00-10");
    ClickControl(C::StartY);
    ASSERT_EQ(::GetFocus(), Control(C::StartY));
    Press(VK_ESCAPE);
    EXPECT_FALSE(dialog.Visible());
}
