// Undo and redo as the user works: every kind of change taken back and done again with Ctrl+Z,
// Ctrl+Y and Ctrl+Shift+Z through the message loop, the commands' hints and states, the map
// written after an undo, and the exact copy between two windows beside the text other programs
// read.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/ExactCopy.h"
#include "Polypad/HostTable.h"
#include "hostsim/Clipboard.h"

#include <gmock/gmock.h>

#include <cstring>

namespace {

class FormUndo : public FormInput {
protected:
    void Undo() { Press('Z', true); }
    void Redo() { Press('Y', true); }
    void RedoByShiftZ() { Press('Z', true, true); }
    // A command of the tool bar, clicked: its WM_COMMAND through the window.
    void Click(TAction& action)
    {
        ::SendMessageW(FForm->Handle(), WM_COMMAND, MAKEWPARAM(action.Id(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(FForm->ToolBar->Handle()));
        PumpAll();
    }
};

} // namespace

TEST_F(FormUndo, ATypedDirectionAngleIsTakenBackBitForBitAndDoneAgain)
{
    OpenParcel();
    const std::vector<TRow> before = Rows(*FTable);
    ClickCell(ckDirectionAngle, 2);
    Type(L"12°34'56");
    Press(VK_RETURN);
    const std::vector<TRow> after = Rows(*FTable);
    ASSERT_NE(after, before);
    EXPECT_EQ(FForm->UndoAction->Hint(), "Отменить: изменение ячейки «Дирекционный угол»");
    Undo();
    EXPECT_EQ(Rows(*FTable), before);
    EXPECT_EQ(CurrentRow(), 2);
    EXPECT_FALSE(FForm->FModified) << "back at the rows read from the map";
    EXPECT_EQ(FForm->RedoAction->Hint(), "Повторить: изменение ячейки «Дирекционный угол»");
    Redo();
    EXPECT_EQ(Rows(*FTable), after);
    EXPECT_TRUE(FForm->FModified);
    Undo();
    RedoByShiftZ();
    EXPECT_EQ(Rows(*FTable), after);
}

TEST_F(FormUndo, PasteClearFillAndRowDeletionAreEachUndone)
{
    TPolypadForm& form = OpenParcel();
    const std::vector<TRow> parcel = Rows(*FTable);
    ASSERT_TRUE(FTable->Closed());

    hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), L"1\t2\n3\t4\n5\t6");
    Click(*form.PasteFromClipboardAction);
    ASSERT_EQ(FTable->Count(), 3);
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: вставка из буфера обмена");
    Undo();
    EXPECT_EQ(Rows(*FTable), parcel);
    EXPECT_TRUE(FTable->Closed()) << "the closed flag comes back with the rows";

    ClickCell(ckX, 1);
    Press(VK_DELETE, true);
    ASSERT_EQ(FTable->Count(), 3);
    Undo();
    EXPECT_EQ(Rows(*FTable), parcel);
    EXPECT_EQ(CurrentRow(), 1);

    EXPECT_FALSE(form.FModified) << "the undo brought back the rows read from the map";

    // Edited rows cleared (the clear asks), then brought back.
    ClickCell(ckX, 0);
    Type(L"452299");
    Press(VK_RETURN);
    const std::vector<TRow> edited = Rows(*FTable);
    ASSERT_NE(edited, parcel);
    const std::vector<std::string> asked = Answering({IDYES}, [&] { Click(*form.ClearTableAction); });
    EXPECT_EQ(asked.size(), 1u);
    ASSERT_EQ(FTable->Count(), 0);
    ::SetFocus(form.SimpleGrid->Handle()); // a click into the empty table
    Undo();
    EXPECT_EQ(Rows(*FTable), edited);
    EXPECT_TRUE(FTable->Closed());

    // A fill over edited rows: the edits come back.
    Select(103);
    Click(*form.FillTableFromMapObjectAction);
    ASSERT_NE(Rows(*FTable), edited);
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: заполнение из карты");
    ClickCell(ckX, 0);
    Undo();
    EXPECT_EQ(Rows(*FTable), edited);
}

TEST_F(FormUndo, AnUndoneTableIsWhatTheMapGets)
{
    OpenParcel();
    const std::vector<TRow> parcel = Rows(*FTable);
    ClickCell(ckX, 0);
    Type(L"452000");
    Press(VK_RETURN);
    ClickCell(ckX, 2);
    Press(VK_DELETE, true);
    Undo();
    Undo();
    EXPECT_EQ(WrittenToTheMap(), parcel);
}

TEST_F(FormUndo, TheCommandsAreEnabledInEditingModeWithSomethingToDoAndTheirHintsSayWhat)
{
    {
        TPolypadForm& empty = Open(true);
        EXPECT_FALSE(empty.UndoAction->Enabled()) << "nothing to undo";
        EXPECT_FALSE(empty.RedoAction->Enabled());
        EXPECT_EQ(empty.UndoAction->Hint(), "Отменить");
        EXPECT_EQ(empty.RedoAction->Hint(), "Повторить");
        Destroy();
    }
    TPolypadForm& form = OpenParcel();
    EXPECT_TRUE(form.UndoAction->Enabled()) << "the fill the user started is a step";
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: заполнение из карты");
    EXPECT_FALSE(form.RedoAction->Enabled());
    ClickCell(ckX, 1);
    Press(VK_INSERT);
    EXPECT_TRUE(form.UndoAction->Enabled());
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: вставка строки");
    form.EditingModeActionExecute();
    EXPECT_FALSE(form.UndoAction->Enabled()) << "only in editing mode";
    Press('Z', true);
    EXPECT_EQ(FTable->Count(), 5) << "the key does nothing outside editing mode";
    form.EditingModeActionExecute();
    Undo();
    EXPECT_EQ(FTable->Count(), 4);
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: заполнение из карты");
    EXPECT_TRUE(form.RedoAction->Enabled());
    EXPECT_EQ(form.RedoAction->Hint(), "Повторить: вставка строки");
    // A new step drops what could be redone.
    ClickCell(ckX, 1);
    Press(VK_DOWN, true);
    EXPECT_FALSE(form.RedoAction->Enabled());
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: перемещение строки вниз");
}

TEST_F(FormUndo, TheExactCopyCarriesFullPrecisionAndTheClosedFlagToAnotherWindow)
{
    TPolypadForm& form = OpenParcel();
    FTable->SetX(1, 452300.123456789012);
    FTable->SetY(2, 1385240.987654321098);
    form.DigitsComboBox->SetItemIndex(0);
    form.DigitsComboBoxChange(); // precision 0: the text has whole numbers only
    const std::vector<TRow> source = Rows(*FTable);
    Click(*form.CopyToClipboardAction);
    EXPECT_THAT(Narrow(hostsim::ClipboardText(hostsim::MainWindowHandle(FHost.get()))), ::testing::HasSubstr("452300\t"));
    Destroy();

    // Another window (over another table) pastes it.
    FTable = CreateHostTable(FHost.get());
    TPolypadForm& other = Open(true);
    Click(*other.PasteFromClipboardAction);
    EXPECT_EQ(Rows(*FTable), source);
    EXPECT_TRUE(FTable->Closed());
}

TEST_F(FormUndo, TextOfOtherProgramsIsReadByPositionAndADamagedExactCopyIsRefused)
{
    TPolypadForm& form = OpenParcel();
    hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), L"10,5\t20\t0.5\n30\t40");
    Click(*form.PasteFromClipboardAction);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{{10.5, 20, 0.5}, {30, 40, 0}}));
    EXPECT_FALSE(FTable->Closed());

    const std::vector<TRow> before = Rows(*FTable);
    std::vector<std::uint8_t> bytes = EncodeExactRows(*FTable);
    bytes[8] = 99; // another version
    {
        ASSERT_TRUE(::OpenClipboard(form.Handle()));
        ::EmptyClipboard();
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
        ::GlobalUnlock(memory);
        ::SetClipboardData(::RegisterClipboardFormatW(kExactCopyFormatName), memory);
        ::CloseClipboard();
    }
    const std::vector<std::string> texts = Answering({IDOK}, [&] {
        ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(form.PasteFromClipboardAction->Id(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(form.ToolBar->Handle()));
    });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_FALSE(texts[0].empty());
    EXPECT_EQ(Rows(*FTable), before) << "the table is untouched";
}
