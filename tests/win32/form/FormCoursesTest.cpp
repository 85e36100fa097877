// Angles and courses as surveyors enter them: separators typed into the angle editor of each
// angle column, and a traverse pasted as courses from the table's context menu — its rows, the
// figures line, undo and the map written afterwards, and a bad line refused with a warning.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/ContourFigures.h"
#include "hostsim/Clipboard.h"

#include <gmock/gmock.h>

#include <cmath>
#include <cwchar>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class FormCourses : public FormInput {
protected:
    void SetUp() override
    {
        FormInput::SetUp();
        // Every column shown, the two side angles included.
        for (int i = 0; i < kTableColumnCount; ++i)
            WriteSetting("Kestrom.PolypadShowing" + std::to_string(i), "1");
    }
    // The whole figures line as "Скопировать сводку" copies it (the panel may show it shortened).
    std::string Panel()
    {
        FForm->CopySummaryAction->Execute();
        PumpAll();
        return Narrow(hostsim::ClipboardText(hostsim::MainWindowHandle(FHost.get())));
    }
    std::string ExpectedPanel() const
    {
        return FormatFiguresLine(ComputeContourFigures(*FTable), FForm->DigitsComboBox->ItemIndex(),
                                 FormatSettings().DecimalSeparator);
    }
    void PutOnClipboard(const std::wstring& text)
    {
        hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), text);
    }
    // A command of the table's context menu, chosen: the menu must offer it under its caption,
    // enabled; the item runs its action, as the other context-menu commands' tests run it. With
    // expectWarning, the warning box that follows is answered; its texts are returned.
    std::vector<std::string> ChooseFromContextMenu(TAction& action, const wchar_t* caption, bool expectWarning = false)
    {
        TPopupMenu& menu = FForm->TablePopupMenu;
        if (menu.OnPopup)
            menu.OnPopup(menu);
        const TUniqueMenu built = menu.Build();
        EXPECT_EQ(menu.Find(action.Id()), &action) << "the context menu does not offer " << action.Caption();
        EXPECT_EQ(::GetMenuState(built.get(), static_cast<UINT>(action.Id()), MF_BYCOMMAND) & MF_GRAYED, 0u);
        wchar_t text[128] = L"";
        ::GetMenuStringW(built.get(), static_cast<UINT>(action.Id()), text, 128, MF_BYCOMMAND);
        const std::wstring shown(text, std::wcscspn(text, L"\t"));
        EXPECT_EQ(shown, caption) << "the menu item's caption";
        if (!expectWarning) {
            action.Execute();
            PumpAll();
            return {};
        }
        return Answering({IDOK}, [&] { action.Execute(); });
    }
};

} // namespace

// "45-30-15" typed as the surveyor's notes have it gives 45°30'15" in each angle column, not
// 453°01'5"; the mask's own forms keep their meaning.
TEST_F(FormCourses, SeparatorsMoveToTheNextFieldInEveryAngleColumn)
{
    OpenParcel();
    struct TCase {
        TTableColumnKind Column;
        const wchar_t* Typed;
        const char* Angle;
    };
    const TCase cases[] = {
        {ckLeftAngle, L"45-30-15", "45°30'15\""},       {ckLeftAngle, L"7-5-3", "7°5'3\""},
        {ckRightAngle, L"45 30 15", "45°30'15\""},      {ckRightAngle, L"45-30", "45°30'0\""},
        {ckDirectionAngle, L"45.30.15", "45°30'15\""},  {ckDirectionAngle, L"45°30'15\"", "45°30'15\""},
        {ckDirectionAngle, L"120,5/7", "120°5'7\""},    {ckDirectionAngle, L"45:30", "45°30'0\""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(Narrow(c.Typed));
        ClickCell(c.Column, 1);
        Type(c.Typed);
        Press(VK_RETURN);
        const std::string text = c.Column == ckLeftAngle    ? FTable->GetLeftAngleText(1)
                                 : c.Column == ckRightAngle ? FTable->GetRightAngleText(1)
                                                            : FTable->GetDirectionAngleText(1);
        EXPECT_EQ(text, c.Angle);
    }
}

// Two courses after vertex 2 of the parcel: east 10, then north 5.5; the rows that followed come
// after them, the last new row is current, the figures line follows, one undo takes both back,
// and the map gets the rows.
TEST_F(FormCourses, CoursesPastedAfterTheCurrentVertexAreOneStep)
{
    TPolypadForm& form = OpenParcel();
    const std::vector<TRow> parcel = Rows(*FTable);
    ASSERT_EQ(parcel.size(), 4u);
    const std::string panelBefore = Panel();
    ClickCell(ckX, 1);
    PutOnClipboard(L"90-0-0\t10\r\nСВ 0°0'0\"\t5,5\n");
    EXPECT_TRUE(ChooseFromContextMenu(*form.PasteCoursesAction, L"Вставить ход").empty());

    ASSERT_EQ(FTable->Count(), 6);
    const double x1 = parcel[1][0], y1 = parcel[1][1];
    const std::vector<TRow> expected = {parcel[0], parcel[1], {x1, y1 + 10, 0}, {x1 + 5.5, y1 + 10, 0},
                                        parcel[2], parcel[3]};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(Rows(*FTable)[i][0], expected[i][0], 1e-9);
        EXPECT_NEAR(Rows(*FTable)[i][1], expected[i][1], 1e-9);
        EXPECT_EQ(Rows(*FTable)[i][2], expected[i][2]);
    }
    EXPECT_EQ(CurrentRow(), 3);
    EXPECT_THAT(Panel(), StartsWith("Вершин: 6 · Периметр: "));
    EXPECT_EQ(Panel(), ExpectedPanel());
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: вставка хода");
    const std::vector<TRow> inserted = Rows(*FTable);
    const std::wstring shot = std::wstring(FORM_SCREENSHOT_DIR) + L"/form-courses.png";
    EXPECT_EQ(hostsim::SaveWindowImage(form.Handle(), shot.c_str()), S_OK);

    Press('Z', true);
    EXPECT_EQ(Rows(*FTable), parcel) << "one undo takes the whole insertion back";
    EXPECT_EQ(Panel(), panelBefore);
    Press('Y', true);
    EXPECT_EQ(Rows(*FTable), inserted);

    EXPECT_EQ(WrittenToTheMap(), inserted);
}

// Into an empty table the text starts with the start vertex; the open traverse's closure shows
// and "Уравнять ход" closes it.
TEST_F(FormCourses, ATraverseIntoAnEmptyTableStartsAtItsStartVertex)
{
    TPolypadForm& form = OpenParcel();
    form.ClearTableAction->Execute();
    PumpAll();
    ASSERT_EQ(FTable->Count(), 0);
    PutOnClipboard(L"1000\t2000\n0-0-0\t30\n90-0-0\t40\nЮЗ 53-7-48.37\t50.003\n");
    EXPECT_TRUE(ChooseFromContextMenu(*form.PasteCoursesAction, L"Вставить ход").empty());
    ASSERT_EQ(FTable->Count(), 4);
    EXPECT_EQ(Rows(*FTable)[0], (TRow{1000, 2000, 0}));
    EXPECT_EQ(Rows(*FTable)[2], (TRow{1030, 2040, 0}));
    // 53°7'48.37" is atan(4/3) to the hundredth of a second: back to about 3 mm of the start.
    EXPECT_NEAR(FTable->GetX(3), 1000 - 0.003 * 0.6, 1e-4);
    EXPECT_NEAR(FTable->GetY(3), 2000 - 0.003 * 0.8, 1e-4);
    EXPECT_EQ(CurrentRow(), 3);
    EXPECT_EQ(Panel(), "Вершин: 4 · Длина: 120.0030000 · Невязка: ΔX −0.0017997 ΔY −0.0024002 f 0.0030000 "
                       "(1:40\u00A0000)");
    form.AdjustTraverseAction->Execute();
    PumpAll();
    EXPECT_TRUE(FTable->Closed());
    EXPECT_EQ(FTable->Count(), 3);
}

// A line that does not read, a vertex past the doubles (each length finite, their sum not) and a
// text longer than a paste takes: a warning names the line, the table and its history stay.
TEST_F(FormCourses, ABadLineIsNamedAndTheTableKept)
{
    TPolypadForm& form = OpenParcel();
    const std::vector<TRow> parcel = Rows(*FTable);
    const std::string undoBefore = form.UndoAction->Hint();
    ClickCell(ckX, 2);
    std::wstring tooLong;
    for (int i = 0; i < 10002; ++i)
        tooLong += L"10-0-0\t1\n";
    const std::pair<std::wstring, const char*> cases[] = {
        {L"90-0-0\t10\n45-30-15\tабв\n", "Строка 2: длина «абв» не читается"},
        {L"0°\t1e308\n0°\t1e308\n", "Строка 2: координаты вершины после этого курса выходят за пределы чисел"},
        {tooLong, "Строка 10002: за один раз читается не больше 10001 строки"},
    };
    for (const auto& [text, message] : cases) {
        PutOnClipboard(text);
        const std::vector<std::string> warnings = ChooseFromContextMenu(*form.PasteCoursesAction, L"Вставить ход", true);
        ASSERT_EQ(warnings.size(), 1u) << message;
        EXPECT_THAT(warnings[0], HasSubstr(message));
        EXPECT_EQ(Rows(*FTable), parcel);
        EXPECT_EQ(form.UndoAction->Hint(), undoBefore);
    }

    // Not offered outside editing mode.
    form.EditingModeAction->Execute();
    PumpAll();
    EXPECT_FALSE(form.PasteCoursesAction->Enabled());
}
