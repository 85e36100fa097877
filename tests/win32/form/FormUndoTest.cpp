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

#include <atomic>
#include <cstring>
#include <thread>

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

// The rows' bytes: -0.0 and 0.0 compare equal as numbers but are not the same value.
std::vector<unsigned char> Bytes(const std::vector<TRow>& rows)
{
    std::vector<unsigned char> bytes(rows.size() * sizeof(TRow));
    if (!rows.empty())
        std::memcpy(bytes.data(), rows.data(), bytes.size());
    return bytes;
}

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
    EXPECT_EQ(Bytes(Rows(*FTable)), Bytes(before));
    EXPECT_EQ(CurrentRow(), 2);
    EXPECT_FALSE(FForm->FModified) << "back at the rows read from the map";
    EXPECT_EQ(FForm->RedoAction->Hint(), "Повторить: изменение ячейки «Дирекционный угол»");
    Redo();
    EXPECT_EQ(Bytes(Rows(*FTable)), Bytes(after));
    EXPECT_TRUE(FForm->FModified);
    Undo();
    RedoByShiftZ();
    EXPECT_EQ(Bytes(Rows(*FTable)), Bytes(after));
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

// The Host's Synchronize after another object is selected, with editing off and back on.
TEST_F(FormUndo, RowsTheUserChangedAreOneUndoAwayFromTheFillThatFollowsTheSelection)
{
    TPolypadForm& form = OpenParcel();
    const std::vector<TRow> parcel = Rows(*FTable);
    const auto followSelection = [&](long objectId) {
        Click(*form.EditingModeAction);
        ASSERT_FALSE(form.FEditingMode);
        Select(objectId);
        form.SynchronizeWithMap();
        PumpAll();
        Click(*form.EditingModeAction);
        ASSERT_TRUE(form.FEditingMode);
        ::SetFocus(form.SimpleGrid->Handle());
    };

    // A paste clears the edit mark, yet its rows are the user's.
    hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), L"1\t2\n3\t4\n5\t6");
    Click(*form.PasteFromClipboardAction);
    ASSERT_FALSE(form.FModified);
    followSelection(103);
    ASSERT_NE(FTable->Count(), 3) << "the table took parcel 103";
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: заполнение из карты");
    Undo();
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{{1, 2, 0}, {3, 4, 0}, {5, 6, 0}}));

    // A clear, which leaves no edit mark either.
    followSelection(101);
    ASSERT_EQ(Rows(*FTable), parcel);
    Click(*form.ClearTableAction);
    ASSERT_EQ(FTable->Count(), 0);
    followSelection(103);
    ASSERT_GT(FTable->Count(), 0);
    Undo();
    EXPECT_EQ(FTable->Count(), 0);

    // A typed edit.
    followSelection(101);
    ClickCell(ckX, 1);
    Type(L"452299");
    Press(VK_RETURN);
    const std::vector<TRow> typed = Rows(*FTable);
    ASSERT_NE(typed, parcel);
    followSelection(103);
    ASSERT_NE(Rows(*FTable), typed);
    Undo();
    EXPECT_EQ(Rows(*FTable), typed);

    // Rows as the map has them are not kept: the selection just moves on.
    followSelection(101);
    followSelection(103);
    EXPECT_FALSE(form.UndoAction->Enabled());
}

TEST_F(FormUndo, UpdatingTheObjectMakesItsRowsTheOnesAnUndoReturnsToAsUnchanged)
{
    TPolypadForm& form = OpenParcel();
    ClickCell(ckX, 0);
    Type(L"452301");
    Press(VK_RETURN);
    Click(*form.UpdateMapObjectAction);
    ClickCell(ckX, 1);
    Type(L"452302");
    Press(VK_RETURN);
    ASSERT_TRUE(form.FModified);
    Undo();
    EXPECT_EQ(FTable->GetX(0), 452301);
    EXPECT_FALSE(form.FModified) << "the map has these rows";
    // A box the clear might show is answered at once; the step ends either way.
    std::string asked;
    TInputScript script;
    script.Then([&] {
        if (const HWND box = FindMessageBox()) {
            asked = MessageBoxText(box);
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        }
        return true;
    });
    script.Start();
    Click(*form.ClearTableAction);
    Pump(5000, [&] { return script.Done(); });
    EXPECT_EQ(asked, "") << "nothing unsaved to ask about";
    EXPECT_EQ(FTable->Count(), 0);
}

TEST_F(FormUndo, UndoInACellsEditorTakesBackTheTypingBeforeTheTablesSteps)
{
    OpenParcel();
    const std::vector<TRow> parcel = Rows(*FTable);
    ClickCell(ckX, 0);
    Type(L"452299");
    Press(VK_RETURN);
    const std::vector<TRow> edited = Rows(*FTable);
    ASSERT_EQ(FTable->GetX(0), 452299);

    const auto editorText = [] {
        wchar_t text[128] = {};
        ::GetWindowTextW(::GetFocus(), text, 128);
        return std::wstring(text);
    };
    ClickCell(ckY, 1);
    Type(L"1385377");
    ASSERT_NE(editorText().find(L"1385377"), std::wstring::npos) << "the typing is in the editor";
    Undo();
    EXPECT_EQ(editorText().find(L"1385377"), std::wstring::npos) << "the typing is taken back";
    EXPECT_EQ(Rows(*FTable), edited) << "the table's step is still there";
    Undo(); // nothing typed now: the table's own undo
    EXPECT_EQ(Rows(*FTable), parcel);

    // Redo waits while something is typed, and the typing stays.
    ClickCell(ckY, 1);
    Type(L"1385377");
    Redo();
    EXPECT_EQ(Rows(*FTable), parcel);
    EXPECT_NE(editorText().find(L"1385377"), std::wstring::npos);
    Undo();
    Press(VK_RETURN);
    EXPECT_EQ(Rows(*FTable), parcel) << "the typing was given up, not applied";
    ClickCell(ckY, 1);
    Redo();
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

// The copy hands the clipboard its formats at once and their data when a program asks for it:
// the data is the table as it was copied, and what nobody has asked for is made whole before
// the window goes.
TEST_F(FormUndo, ACopyIsTheTableAsCopiedWhenPastedLaterAndOutlivesItsWindow)
{
    TPolypadForm& form = OpenParcel();
    const std::string copiedText = form.BuildClipboardText();
    const std::vector<TRow> copiedRows = Rows(*FTable);
    Click(*form.CopyToClipboardAction);
    ClickCell(ckX, 1);
    Type(L"452999");
    Press(VK_RETURN);
    ASSERT_EQ(FTable->GetX(1), 452999);
    const HWND host = hostsim::MainWindowHandle(FHost.get());
    EXPECT_EQ(Narrow(hostsim::ClipboardText(host)), copiedText) << "the edit after the copy is not in it";

    // Copied again, then edited, and nothing asked before the window closes.
    Click(*form.CopyToClipboardAction);
    const std::string secondText = form.BuildClipboardText();
    const std::vector<TRow> secondRows = Rows(*FTable);
    ClickCell(ckY, 2);
    Type(L"1385999");
    Press(VK_RETURN);
    Destroy();
    EXPECT_EQ(Narrow(hostsim::ClipboardText(host)), secondText);
    FTable = CreateHostTable(FHost.get());
    TPolypadForm& other = Open(true);
    Click(*other.PasteFromClipboardAction);
    EXPECT_EQ(Bytes(Rows(*FTable)), Bytes(secondRows)) << "the exact rows of the second copy";
    EXPECT_NE(Rows(*FTable), copiedRows);

    // Another program's text replaces the copy: the window leaves it alone when it goes.
    Click(*other.CopyToClipboardAction);
    hostsim::SetClipboardText(host, L"1\t2");
    Destroy();
    EXPECT_EQ(hostsim::ClipboardText(host), L"1\t2");
}

// Another program opens the clipboard and, holding it, asks for the copy's text just as the user
// copies again: it gets the copy it opened, and the new copy is made without an error box.
TEST_F(FormUndo, AProgramReadingTheCopyWhileTheUserCopiesAgainWaitsForNeither)
{
    TPolypadForm& form = OpenParcel();
    const std::string first = form.BuildClipboardText();
    Click(*form.CopyToClipboardAction);
    ClickCell(ckX, 1);
    Type(L"452999");
    Press(VK_RETURN);
    const std::string second = form.BuildClipboardText();
    ASSERT_NE(second, first);

    const TUniqueKernel opened(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::wstring read = L"<not read>";
    std::atomic<bool> done = false;
    std::thread other([&] {
        const bool open = ::OpenClipboard(nullptr);
        ::SetEvent(opened.get());
        if (open) {
            if (HANDLE memory = ::GetClipboardData(CF_UNICODETEXT)) {
                read = static_cast<const wchar_t*>(::GlobalLock(memory));
                ::GlobalUnlock(memory);
            }
            ::CloseClipboard();
        }
        done = true;
    });
    ASSERT_EQ(::WaitForSingleObject(opened.get(), 30000), WAIT_OBJECT_0);
    // An error box would be answered; none is looked for longer than 3 s.
    std::vector<std::string> boxes;
    const DWORD start = ::GetTickCount();
    TInputScript script;
    script.Then([&] {
        if (const HWND box = FindMessageBox()) {
            boxes.push_back(MessageBoxText(box));
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return true;
        }
        return ::GetTickCount() - start > 3000;
    });
    script.Start();
    Click(*form.CopyToClipboardAction);
    Pump(30000, [&] { return done.load() && script.Done(); });
    other.join();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(Narrow(read), first);
    EXPECT_EQ(Narrow(hostsim::ClipboardText(hostsim::MainWindowHandle(FHost.get()))), second);
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
