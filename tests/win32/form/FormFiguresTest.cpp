// The contour's figures in the window: the status bar's right panel after a fill, an edit, a
// paste and an undo; "Скопировать сводку"; "Уравнять ход" as one step that "Обновить объект"
// writes, and its refusals.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/ContourFigures.h"
#include "hostsim/Clipboard.h"

#include <gmock/gmock.h>

#include <cmath>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class FormFigures : public FormInput {
protected:
    std::string Panel() const { return FForm->MainStatusBar->PanelText(1); }
    // The whole figures line, as "Скопировать сводку" puts it on the clipboard.
    std::string Summary()
    {
        Choose(*FForm->CopySummaryAction);
        return Narrow(hostsim::ClipboardText(hostsim::MainWindowHandle(FHost.get())));
    }
    // The figures of the table's rows summed anew in one pass, as the window kept them.
    std::string FullComputation() const
    {
        return FormatFiguresLine(ComputeContourFigures(*FTable), FForm->DigitsComboBox->ItemIndex(),
                                 FormatSettings().DecimalSeparator);
    }
    // The figures panel's width on the screen and the width its text needs there.
    int PanelWidth() const
    {
        RECT r{};
        ::SendMessageW(FForm->MainStatusBar->Handle(), SB_GETRECT, 1, reinterpret_cast<LPARAM>(&r));
        return r.right - r.left;
    }
    // The precision list, chosen as the user does: a new item and the list's change notice.
    void ChooseDigits(int digits)
    {
        const HWND list = FForm->DigitsComboBox->Handle();
        ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(digits), 0);
        ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(list), CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(list));
        PumpAll();
    }
    void Screenshot(const std::wstring& name)
    {
        const std::wstring file = std::wstring(FORM_SCREENSHOT_DIR) + L"/" + name;
        EXPECT_EQ(hostsim::SaveWindowImage(FForm->Handle(), file.c_str()), S_OK);
    }
    void Click(TAction& action)
    {
        ::SendMessageW(FForm->Handle(), WM_COMMAND, MAKEWPARAM(action.Id(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(FForm->ToolBar->Handle()));
        PumpAll();
    }
    // A command of the table's context menu, chosen: the menu item runs its action.
    void Choose(TAction& action)
    {
        action.Execute();
        PumpAll();
    }
    void Paste(const std::wstring& text)
    {
        hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), text);
        Click(*FForm->PasteFromClipboardAction);
    }
};

} // namespace

TEST_F(FormFigures, ThePanelFollowsFillEditPasteAndUndo)
{
    OpenParcel();
    ChooseDigits(3);
    const std::string filled = "Вершин: 4 · Периметр: 140.794 · Площадь: 1\u00A0260.477 (по часовой)";
    EXPECT_EQ(Panel(), filled);

    // Row 0 five metres south: the trapezoid (30 + 25) / 2 * 40 and the same arc segment.
    ClickCell(ckX, 0);
    Type(L"452295");
    Press(VK_RETURN);
    EXPECT_EQ(Panel(), "Вершин: 4 · Периметр: 136.105 · Площадь: 1\u00A0160.477 (по часовой)");

    Paste(L"0\t0\n30\t0\n30\t40\n0.012\t-0.008");
    EXPECT_EQ(Panel(), "Вершин: 4 · Длина: 119.999 · Невязка: ΔX 0.012 ΔY −0.008 f 0.014 (1:8\u00A0320)");

    ClickCell(ckX, 0);
    Press('Z', true); // the paste
    Press('Z', true); // the typed X
    EXPECT_EQ(Panel(), filled);
}

// With hundreds of rows a typed cell, its undo and its redo change the sums of a few edges only:
// the panel still shows what a full computation of the rows gives.
TEST_F(FormFigures, ThePanelFollowsTypedCellsUndoAndRedoInALargeContour)
{
    OpenParcel();
    std::wstring text;
    for (int i = 0; i < 400; ++i) {
        const double a = 2 * M_PI * i / 400;
        text += std::to_wstring(452285 + 300 * std::cos(a)) + L"\t" + std::to_wstring(1385220 + 300 * std::sin(a)) +
                (i % 9 == 4 ? L"\t0.1\n" : L"\n");
    }
    Paste(text);
    ASSERT_EQ(FTable->Count(), 400);
    Choose(*FForm->ContourPartClosedAction);
    ASSERT_TRUE(FTable->Closed());
    const std::string closed = Summary();
    EXPECT_EQ(closed, FullComputation());
    for (const int row : {200, 399, 37}) {
        ClickCell(ckX, row);
        Type(L"452000");
        Press(VK_RETURN);
        ASSERT_EQ(FTable->GetX(row), 452000);
        EXPECT_EQ(Summary(), FullComputation()) << "typed row " << row;
    }
    ClickCell(ckArcConvexity, 100);
    Type(L"-0.3");
    Press(VK_RETURN);
    EXPECT_EQ(Summary(), FullComputation()) << "typed convexity";
    for (int i = 0; i < 4; ++i) {
        Press('Z', true);
        EXPECT_EQ(Summary(), FullComputation()) << "undo " << i;
    }
    EXPECT_EQ(Summary(), closed);
    for (int i = 0; i < 4; ++i) {
        Press('Y', true);
        EXPECT_EQ(Summary(), FullComputation()) << "redo " << i;
    }
    EXPECT_NE(Summary(), closed);
}

TEST_F(FormFigures, ThePanelFollowsThePrecisionListAndIsReadableWholeInTheDefaultWindow)
{
    OpenParcel();
    ChooseDigits(0);
    EXPECT_EQ(Panel(), "Вершин: 4 · Периметр: 141 · Площадь: 1\u00A0260 (по часовой)");
    ChooseDigits(5);
    EXPECT_EQ(Panel(), "Вершин: 4 · Периметр: 140.79371 · Площадь: 1\u00A0260.47729 (по часовой)");

    // An open traverse, the longest line there is, at every precision.
    Paste(L"0\t0\n40\t0\n40\t40");
    for (int digits = 0; digits <= 7; ++digits) {
        SCOPED_TRACE(digits);
        ChooseDigits(digits);
        const std::string shown = Panel();
        EXPECT_NE(shown.find("(1:1)"), std::string::npos) << "the line's end is there: " << shown;
        EXPECT_LE(FForm->MainStatusBar->TextWidth(shown), PanelWidth()) << shown;
    }
    EXPECT_NE(Panel().find("f 56.5685425 (1:1)"), std::string::npos) << "the last figure is there whole: " << Panel();
    Screenshot(L"figures-7-digits.png");
    // The copy is the full line whatever the panel shows.
    Choose(*FForm->CopySummaryAction);
    EXPECT_EQ(Narrow(hostsim::ClipboardText(hostsim::MainWindowHandle(FHost.get()))),
              "Вершин: 3 · Длина: 80.0000000 · Невязка: ΔX 40.0000000 ΔY 40.0000000 f 56.5685425 (1:1)");
}

// Object 105: a closed plot of 4 vertices and an open fence of 3.
TEST_F(FormFigures, AShapeOfSeveralPartsIsNamedAtTheFillAndItsUpdateAsksBeforeJoiningThem)
{
    TPolypadForm& form = Open(true);
    Select(105);
    Click(*form.FillTableFromMapObjectAction);
    ASSERT_EQ(FTable->Count(), 7);
    EXPECT_EQ(form.MainStatusBar->PanelText(0), "Контур из 2 частей: в таблице они идут одна за другой");
    const std::wstring before = Geometry(105);

    std::vector<std::string> asked = Answering({IDNO}, [&] { Click(*form.UpdateMapObjectAction); });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Таблица заполнена из 2 частей контура. Объект будет обновлён одной частью из всех строк "
                        "таблицы. Продолжить?");
    EXPECT_EQ(Geometry(105), before) << "declined: the map is as it was";
    EXPECT_TRUE(hostsim::CommittedTransactions(FHost.get()).empty());

    asked = Answering({IDYES}, [&] { Click(*form.UpdateMapObjectAction); });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(Geometry(105).find(L"part 0 open\n"), std::wstring::npos);
    EXPECT_EQ(Geometry(105).find(L"part 1"), std::wstring::npos) << "one part now";
    // Written as one part, it is one part: the note is gone.
    EXPECT_EQ(form.MainStatusBar->PanelText(0), "");

    // A shape of one part says nothing.
    Select(101);
    Click(*form.FillTableFromMapObjectAction);
    EXPECT_EQ(form.MainStatusBar->PanelText(0), "");
}

// Whatever brings the rows back brings back what they were filled from: after a paste or a clear,
// "Отменить" gives the note and the question before joining the parts again, "Повторить" takes
// them away with the rows.
TEST_F(FormFigures, UndoBringsBackTheQuestionBeforeJoiningParts)
{
    TPolypadForm& form = Open(true);
    Select(105);
    Click(*form.FillTableFromMapObjectAction);
    ASSERT_EQ(FTable->Count(), 7);
    const std::vector<TRow> filled = Rows(*FTable);
    const std::string note = "Контур из 2 частей: в таблице они идут одна за другой";
    const std::wstring before = Geometry(105);
    for (const bool paste : {true, false}) {
        SCOPED_TRACE(paste ? "paste" : "clear");
        if (paste)
            Paste(L"1\t2\n3\t4");
        else
            Click(*form.ClearTableAction);
        EXPECT_EQ(form.MainStatusBar->PanelText(0), "");
        Click(*form.UndoAction);
        ASSERT_EQ(Rows(*FTable), filled);
        EXPECT_EQ(form.MainStatusBar->PanelText(0), note);
        const std::vector<std::string> asked = Answering({IDNO}, [&] { Click(*form.UpdateMapObjectAction); });
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], "Таблица заполнена из 2 частей контура. Объект будет обновлён одной частью из всех "
                            "строк таблицы. Продолжить?");
        EXPECT_EQ(Geometry(105), before);

        Click(*form.RedoAction);
        EXPECT_EQ(form.MainStatusBar->PanelText(0), "");
        Click(*form.UndoAction);
        EXPECT_EQ(form.MainStatusBar->PanelText(0), note);
    }
}

TEST_F(FormFigures, CopySummaryPutsThePanelsLineOnTheClipboard)
{
    TPolypadForm& form = OpenParcel();
    Choose(*form.CopySummaryAction);
    EXPECT_EQ(Narrow(hostsim::ClipboardText(hostsim::MainWindowHandle(FHost.get()))), Panel());
}

TEST_F(FormFigures, AdjustingATraverseIsOneStepAndTheMapGetsTheClosedContour)
{
    TPolypadForm& form = OpenParcel();
    // Four legs of a square that misses its start by (0.04, -0.03).
    Paste(L"452300\t1385200\n452330\t1385200\n452330\t1385230\n452300\t1385230\n452300.04\t1385199.97");
    ASSERT_EQ(FTable->Count(), 5);
    const std::vector<TRow> traverse = Rows(*FTable);
    Choose(*form.AdjustTraverseAction);
    ASSERT_EQ(FTable->Count(), 4);
    EXPECT_TRUE(FTable->Closed());
    EXPECT_TRUE(form.ContourPartClosedAction->Checked());
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: уравнивание хода");
    // Vertex k moves by -gap * (length up to k) / (whole length): vertex 2, 60 of 120.03 along
    // the traverse, by about half the gap.
    const double share = 60 / (90 + std::hypot(0.04, 30.03));
    EXPECT_NEAR(FTable->GetX(2), 452330 - 0.04 * share, 1e-6);
    EXPECT_NEAR(FTable->GetY(2), 1385230 + 0.03 * share, 1e-6);
    EXPECT_THAT(Panel(), StartsWith("Вершин: 4 · Периметр: "));
    const std::vector<TRow> adjusted = Rows(*FTable);

    ClickCell(ckX, 0);
    Press('Z', true);
    EXPECT_EQ(Rows(*FTable), traverse) << "one undo gives the traverse back";
    EXPECT_FALSE(FTable->Closed());
    Press('Y', true);
    EXPECT_EQ(Rows(*FTable), adjusted);

    EXPECT_EQ(WrittenToTheMap(), adjusted);
    EXPECT_TRUE(FTable->Closed());
}

// "Уравнять ход" offers its two rules as a submenu of the table's menu. By the transit rule each
// axis's gap is spread by that axis's increments: the same square traverse, Σ|Δx| 60.04 and
// Σ|Δy| 60.03, vertex 1 keeps its Y (no Δy before it), which the compass rule would move.
TEST_F(FormFigures, TheTransitRuleSpreadsEachAxisByItsIncrements)
{
    TPolypadForm& form = OpenParcel();
    TPopupMenu& menu = form.TablePopupMenu;
    if (menu.OnPopup)
        menu.OnPopup(menu);
    const TUniqueMenu built = menu.Build();
    HMENU adjust = nullptr;
    for (int i = 0; i < ::GetMenuItemCount(built.get()); ++i) {
        wchar_t caption[64] = {};
        ::GetMenuStringW(built.get(), static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
        if (std::wstring(caption) == L"Уравнять ход")
            adjust = ::GetSubMenu(built.get(), i);
    }
    ASSERT_NE(adjust, nullptr) << "no \"Уравнять ход\" submenu";
    ASSERT_EQ(::GetMenuItemCount(adjust), 2);
    EXPECT_EQ(::GetMenuItemID(adjust, 0), static_cast<UINT>(form.AdjustTraverseAction->Id()));
    EXPECT_EQ(::GetMenuItemID(adjust, 1), static_cast<UINT>(form.AdjustTraverseTransitAction->Id()));
    EXPECT_EQ(::GetMenuState(adjust, 1, MF_BYPOSITION) & MF_GRAYED, 0u);

    Paste(L"452300\t1385200\n452330\t1385200\n452330\t1385230\n452300\t1385230\n452300.04\t1385199.97");
    const std::vector<TRow> traverse = Rows(*FTable);
    Choose(*form.AdjustTraverseTransitAction);
    ASSERT_EQ(FTable->Count(), 4);
    EXPECT_TRUE(FTable->Closed());
    const std::vector<TRow> expected = {{452300, 1385200, 0},
                                        {452330 - 0.04 * 30 / 60.04, 1385200, 0},
                                        {452330 - 0.04 * 30 / 60.04, 1385230 + 0.03 * 30 / 60.03, 0},
                                        {452300 - 0.04 * 60 / 60.04, 1385230 + 0.03 * 30 / 60.03, 0}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(FTable->GetX(i), expected[i][0], 1e-9);
        EXPECT_NEAR(FTable->GetY(i), expected[i][1], 1e-9);
    }
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: уравнивание хода");
    ClickCell(ckX, 0);
    Press('Z', true);
    EXPECT_EQ(Rows(*FTable), traverse);

    form.EditingModeAction->Execute();
    PumpAll();
    EXPECT_FALSE(form.AdjustTraverseTransitAction->Enabled());
}

TEST_F(FormFigures, AdjustingIsRefusedWithAReasonAndTheTableKept)
{
    TPolypadForm& form = OpenParcel();
    struct TCase {
        const wchar_t* Text; // empty: the closed parcel as read from the map
        const char* Reason;
    };
    const TCase cases[] = {
        {L"", "Контур уже замкнут"},
        {L"1\t2\n3\t4", "не менее трёх вершин"},
        {L"0\t0\n30\t0\n30\t40\n0\t0", "Невязки нет"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Reason);
        if (*c.Text)
            Paste(c.Text);
        const std::vector<TRow> before = Rows(*FTable);
        const bool closed = FTable->Closed();
        const std::vector<std::string> texts = Answering({IDOK}, [&] { Choose(*form.AdjustTraverseAction); });
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_THAT(texts[0], HasSubstr(c.Reason));
        EXPECT_EQ(Rows(*FTable), before);
        EXPECT_EQ(FTable->Closed(), closed);
    }
}
