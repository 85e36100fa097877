// The editor window against the Host stand-in: settings, the grid's values and typing, column
// toggles, row commands and keys, modes, positioning, the overlay on the map, fill and update.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/HostTable.h"
#include "Polypad/ToolBarImages.h"
#include "controls/WinHandles.h"

#include <gmock/gmock.h>
#include "tests/win32/support/ProcessFiles.h"

using ::testing::HasSubstr;

namespace {

RECT WindowRect(HWND window)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

// The map window's pixel of a map point.
POINT MapPixel(IHostApplication* host, double x, double y)
{
    const TComPtr<IHostSurface> surface = MapSurface(host);
    TComPtr<IHostSurfaceTransform> transform;
    EXPECT_EQ(surface->get_Transform(transform.put()), S_OK);
    double sx = 0, sy = 0;
    EXPECT_EQ(transform->MapToSurface(x, y, &sx, &sy), S_OK);
    return {static_cast<LONG>(std::lround(sx)), static_cast<LONG>(std::lround(sy))};
}

// Replaces the text of the current cell's editor by typing, then Enter, as a user does.
void TypeIntoCurrentCell(TPolypadForm& form, const std::wstring& text)
{
    ASSERT_NE(form.SimpleGrid->InplaceEditor(), nullptr);
    const HWND editor = form.SimpleGrid->InplaceEditor()->Handle();
    ::SetFocus(editor);
    ::SendMessageW(editor, EM_SETSEL, 0, -1);
    PostChars(editor, text);
    PostKey(editor, VK_RETURN);
    ASSERT_TRUE(PumpUntilPostedHandled());
}

} // namespace

// ---- settings --------------------------------------------------------------------------------

TEST_F(FormTest, FirstStartShowsEveryColumnAtItsDefaultsWithSynchronisationAndPainting)
{
    TPolypadForm& form = Open();
    EXPECT_EQ(form.SimpleGrid->Columns().Count(), 11);
    for (int i = 0; i < form.SimpleGrid->Columns().Count(); ++i)
        EXPECT_EQ(form.SimpleGrid->Columns().Items(i).Width(), 100);
    EXPECT_EQ(form.DigitsComboBox->ItemIndex(), 7);
    EXPECT_EQ(form.DigitsComboBox->ItemText(7), "0.0000000");
    EXPECT_TRUE(form.SynchronizationAction->Checked());
    EXPECT_TRUE(form.PainterModeAction->Checked());
    EXPECT_FALSE(form.EditingModeAction->Checked());
    EXPECT_EQ(form.Text(), "Полипад");
    EXPECT_EQ(form.SynchronizationAction->Hint(), "Режим синхронизации включен");
    EXPECT_EQ(form.EditingModeAction->Hint(), "Режим редактирования отключен");
    // Owned by the Host's main window, on the work area.
    EXPECT_EQ(::GetWindow(form.Handle(), GW_OWNER), hostsim::MainWindowHandle(FHost.get()));
    EXPECT_GE(WindowRect(form.Handle()).left, 0);
}

TEST_F(FormTest, ClosingWritesEverySettingAndTheBoundsOnlyWhenFloating)
{
    TPolypadForm& form = Open();
    form.DigitsComboBox->SetItemIndex(3);
    form.DigitsComboBoxChange();
    form.LeftAngleColumnAction->Execute();
    CloseByUser();
    EXPECT_EQ(Setting(L"Kestrom.PolypadDigits"), L"3");
    EXPECT_EQ(Setting(L"Kestrom.PolypadShowing4"), L"0");
    EXPECT_EQ(Setting(L"Kestrom.PolypadShowing6"), L"-1");
    EXPECT_EQ(Setting(L"Kestrom.PolypadWidth10"), L"100");
    EXPECT_EQ(Setting(L"Kestrom.PolypadPainterModeEnabled"), L"-1");
    EXPECT_EQ(Setting(L"Kestrom.PolypadDataRow"), L"-1");
    EXPECT_NE(Setting(L"Kestrom.PolypadLTWH"), L"<none>");

    // Reopened, the window comes back as it was left.
    TPolypadForm& again = Open();
    EXPECT_EQ(again.FDigits, 3);
    EXPECT_FALSE(again.LeftAngleColumnAction->Checked());
    EXPECT_EQ(again.SimpleGrid->Columns().Count(), 10);
    Destroy();

    ::DeleteFileW((processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT) + L".settings").c_str());
    FHost.reset();
    ASSERT_EQ(hostsim::CreateApplication(processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT).c_str(), true, FHost.put()), S_OK);
    FTable = CreateHostTable(FHost.get());
    Open(false, true);
    CloseByUser();
    EXPECT_EQ(Setting(L"Kestrom.PolypadDigits"), L"7");
    EXPECT_EQ(Setting(L"Kestrom.PolypadLTWH"), L"<none>") << "a docked window has no bounds to keep";
}

TEST_F(FormTest, DestroyedWithoutClosingWritesNothing)
{
    Open();
    Destroy();
    EXPECT_EQ(Setting(L"Kestrom.PolypadDigits"), L"<none>");
    EXPECT_EQ(hostsim::SettingsText(FHost.get()).find(L"Kestrom"), std::wstring::npos);
}

TEST_F(FormTest, StoredBoundsAreAppliedTokenByTokenAndKeptOnTheWorkArea)
{
    WriteSetting("Kestrom.PolypadLTWH", "10 20 abc 300");
    TPolypadForm& form = Open();
    const RECT r = WindowRect(form.Handle());
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    const int width = r.right - r.left;
    Destroy();

    WriteSetting("Kestrom.PolypadLTWH", "-5 -5 400 300");
    TPolypadForm& moved = Open();
    const RECT m = WindowRect(moved.Handle());
    EXPECT_EQ(m.left, 0);
    EXPECT_EQ(m.top, 0);
    EXPECT_EQ(m.right - m.left, 400);
    EXPECT_GT(width, 400);
}

TEST_F(FormTest, UnreadableSettingsOpenWithDefaultsAndSaySo)
{
    WriteSetting("Kestrom.PolypadDigits", "x");
    WriteSetting("Kestrom.PolypadSynchronizeEnabled", "maybe");
    std::vector<std::string> texts = Answering({IDOK}, [&] { Open(); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_THAT(texts[0], HasSubstr("Kestrom.PolypadDigits"));
    EXPECT_THAT(texts[0], HasSubstr("Kestrom.PolypadSynchronizeEnabled"));
    EXPECT_EQ(FForm->FDigits, 7);
    EXPECT_TRUE(FForm->FSynchronizationMode);
}

// ---- grid access and values ------------------------------------------------------------------

TEST_F(FormTest, WithoutAViewRightTheGridGivesWayToThePanelTextUntilAFill)
{
    ASSERT_EQ(hostsim::SetActiveLayer(FHost.get(), 3), S_OK); // layer 3 has no view right
    TPolypadForm& form = Open();
    FTable->AddRow({1, 2}, 0);
    form.SimpleGrid->SetDataRowCount(1);
    ::UpdateWindow(form.SimpleGrid->Handle());
    PumpAll();
    EXPECT_FALSE(form.SimpleGrid->Visible());
    EXPECT_EQ(form.Panel1->Text(), "У вас нет прав на просмотр содержимого карты или слоя");

    ASSERT_EQ(hostsim::SetActiveLayer(FHost.get(), 1), S_OK);
    Select(101);
    form.SynchronizeWithMap();
    EXPECT_TRUE(form.SimpleGrid->Visible());
    EXPECT_EQ(FTable->Count(), 4);
}

TEST_F(FormTest, TheGridsAccessIsAskedOncePerChangeNotPerPaintedCell)
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    PumpAll();
    const HWND grid = form.SimpleGrid->Handle();
    const auto repaint = [grid] {
        ::InvalidateRect(grid, nullptr, TRUE);
        ::UpdateWindow(grid);
    };
    repaint();
    PumpAll();
    const long calls = hostsim::CallCount();
    repaint();
    PumpAll();
    EXPECT_EQ(hostsim::CallCount(), calls) << "a repaint alone asks the Host nothing";

    // The Host's Synchronize after a selection change asks again, at the next paint.
    form.SynchronizeWithMap();
    repaint();
    PumpAll();
    EXPECT_GT(hostsim::CallCount(), calls);
    EXPECT_TRUE(form.SimpleGrid->Visible());
}

// The box's closing activates the window and repaints the grid, which asks the Host again: the
// same failure is told once, and the next answer that comes through is taken.
TEST_F(FormTest, AHostCallThatKeepsFailingWhileTheGridPaintsShowsOneBox)
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    PumpAll();
    const HWND grid = form.SimpleGrid->Handle();
    ::SetForegroundWindow(form.Handle());
    hostsim::FailOperation(L"IHostPermissions.Allows", E_FAIL, L"Права слоя не прочитаны");
    std::vector<std::string> texts;
    {
        // Answers every box, up to a few; the script ends before the queue is pumped empty.
        TInputScript script;
        constexpr int kMostBoxes = 4;
        for (int i = 0; i < kMostBoxes; ++i)
            script.Then([&texts, i] {
                const HWND box = FindMessageBox();
                if (!box)
                    return false;
                texts.push_back(MessageBoxText(box));
                if (i == kMostBoxes - 1)
                    hostsim::ClearFaults(); // a loop of boxes ends here rather than hanging the test
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return true;
            });
        script.Start();
        form.SynchronizeWithMap();
        ::InvalidateRect(grid, nullptr, TRUE);
        ::UpdateWindow(grid);
        Pump(10000, [&] { return !texts.empty() && OpenMessageBoxCount() == 0; });
        // The box gone, the window is active again and the grid repainted where the box was:
        // the access is asked again, and fails again.
        ::SetActiveWindow(hostsim::MainWindowHandle(FHost.get()));
        ::SetActiveWindow(form.Handle());
        ::InvalidateRect(grid, nullptr, TRUE);
        ::UpdateWindow(grid);
        // A second box would have been shown and answered inside the paint.
        ASSERT_TRUE(PumpUntilPostedHandled());
    }
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_THAT(texts[0], HasSubstr("Права слоя не прочитаны"));
    EXPECT_TRUE(form.SimpleGrid->Visible()) << "the grid stays as it was";

    // The Host answers again: the next change asks and takes the answer.
    hostsim::ClearFaults();
    const long calls = hostsim::CallCount();
    form.SynchronizeWithMap();
    ::InvalidateRect(grid, nullptr, TRUE);
    ::UpdateWindow(grid);
    PumpAll();
    EXPECT_GT(hostsim::CallCount(), calls);
    EXPECT_EQ(OpenMessageBoxCount(), 0);
}

TEST_F(FormTest, CellsShowRoundedValuesAndLeaveUndefinedOnesEmpty)
{
    TPolypadForm& form = Open();
    FTable->AddRow({1234.5678, 2.5}, 0);
    FTable->AddRow({3.5, 10}, 0);
    form.SimpleGrid->SetDataRowCount(2);
    form.DigitsComboBox->SetItemIndex(2);
    form.DigitsComboBoxChange();
    EXPECT_DOUBLE_EQ(Cell(ckX, 0).AsFloat(), 1234.57);
    form.DigitsComboBox->SetItemIndex(0);
    form.DigitsComboBoxChange();
    EXPECT_DOUBLE_EQ(Cell(ckY, 0).AsFloat(), 2);
    EXPECT_DOUBLE_EQ(Cell(ckX, 1).AsFloat(), 4);
    EXPECT_DOUBLE_EQ(FTable->GetX(0), 1234.5678) << "only the display is rounded";
    EXPECT_EQ(Cell(ckPointNumber, 0).AsText(), "1");
    // Row 0 of an open part has no incoming edge; straight edges have no arc values.
    EXPECT_TRUE(Cell(ckEdgeLength, 0).IsUnassigned());
    EXPECT_TRUE(Cell(ckDirectionAngle, 0).IsUnassigned());
    EXPECT_TRUE(Cell(ckLeftAngle, 0).IsUnassigned());
    EXPECT_FALSE(Cell(ckEdgeLength, 1).IsUnassigned());
    EXPECT_TRUE(Cell(ckArcConvexity, 1).IsUnassigned());
    EXPECT_TRUE(Cell(ckArcRadius, 1).IsUnassigned());
}

TEST_F(FormTest, TypedDegreeTextTurnsTheEdgeAndTypedXMovesTheVertex)
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    ASSERT_EQ(FTable->Count(), 4);
    ::SetForegroundWindow(form.Handle());
    form.SimpleGrid->SetFocus();
    form.SimpleGrid->MoveToDataCell(GridColumn(ckDirectionAngle), 1);
    PumpAll();
    TypeIntoCurrentCell(form, L"45°30'0");
    EXPECT_EQ(FTable->GetDirectionAngleText(1), "45°30'0\"");
    EXPECT_TRUE(form.FModified);

    form.SimpleGrid->SetFocus();
    form.SimpleGrid->MoveToDataCell(GridColumn(ckX), 0);
    PumpAll();
    TypeIntoCurrentCell(form, L"452301.5");
    EXPECT_DOUBLE_EQ(FTable->GetX(0), 452301.5);
}

TEST_F(FormTest, OutsideEditingModeCellsAreReadOnlyAndNumberAndRadiusNeverEditable)
{
    TPolypadForm& form = Open();
    for (int i = 0; i < form.SimpleGrid->Columns().Count(); ++i)
        EXPECT_FALSE(form.SimpleGrid->Columns().Items(i).TextEditable()) << i;
    form.EditingModeActionExecute();
    for (int i = 0; i < form.SimpleGrid->Columns().Count(); ++i) {
        const TTableColumnKind kind = KindOfCaption(form.SimpleGrid->Columns().Items(i).Caption());
        EXPECT_EQ(form.SimpleGrid->Columns().Items(i).TextEditable(), kind != ckPointNumber && kind != ckArcRadius)
            << i;
    }
}

TEST_F(FormTest, ColumnTogglesKeepKindOrderAndMovePairsTogether)
{
    TPolypadForm& form = Open();
    form.LeftAngleColumnAction->Execute();
    EXPECT_EQ(GridColumn(ckLeftAngle), -1);
    form.LeftAngleColumnAction->Execute();
    EXPECT_EQ(GridColumn(ckLeftAngle) + 2, GridColumn(ckDirectionAngle)) << "before the right and direction angles";
    form.PointNumberColumnAction->Execute();
    form.PointNumberColumnAction->Execute();
    EXPECT_EQ(GridColumn(ckPointNumber), 0);

    form.CoordinatesColumnAction->Execute();
    EXPECT_EQ(GridColumn(ckX), -1);
    EXPECT_EQ(GridColumn(ckY), -1);
    EXPECT_FALSE(form.CoordinatesColumnAction->Checked());
    form.ArcCenterColumnAction->Execute();
    EXPECT_EQ(GridColumn(ckArcCenterX), -1);
    EXPECT_EQ(GridColumn(ckArcCenterY), -1);
    form.CoordinatesColumnAction->Execute();
    EXPECT_EQ(GridColumn(ckX), 1);
    EXPECT_EQ(GridColumn(ckY), 2);
    EXPECT_EQ(form.SimpleGrid->Columns().Count(), 9);
}

// ---- rows and keys ---------------------------------------------------------------------------

TEST_F(FormTest, InsertAndDeleteFollowTheCurrentRow)
{
    TPolypadForm& form = Open(true);
    form.SimpleGrid->MoveToDataCell(0, -1);
    form.InsertRowActionExecute();
    EXPECT_EQ(FTable->Count(), 1);
    EXPECT_EQ(form.SimpleGrid->DataRowCount(), 1);

    form.ClearRows();
    for (int i = 1; i <= 4; ++i)
        FTable->AddRow({double(i), double(i)}, 0);
    form.SimpleGrid->SetDataRowCount(4);
    form.SimpleGrid->MoveToDataCell(1, 2);
    form.InsertRowActionExecute();
    EXPECT_EQ(FTable->Count(), 5);
    EXPECT_EQ(FTable->GetX(2), 0);
    EXPECT_EQ(FTable->GetX(3), 3);
    EXPECT_EQ(form.SimpleGrid->DataRow(), 3) << "the row that was current stays current";

    form.SimpleGrid->MoveToDataCell(1, 0);
    form.DeleteRowActionExecute();
    EXPECT_EQ(FTable->Count(), 4);
    EXPECT_EQ(form.SimpleGrid->DataRowCount(), 4);
    EXPECT_EQ(FTable->GetX(0), 2) << "row 0 went";

    // No current row (an empty grid): nothing to delete, nothing fails.
    form.ClearRows();
    ASSERT_EQ(form.SimpleGrid->DataRow(), -1);
    form.DeleteRowActionExecute();
    EXPECT_EQ(FTable->Count(), 0);
    EXPECT_EQ(form.SimpleGrid->DataRowCount(), 0);
}

TEST_F(FormTest, ClearAsksOnlyAfterEditsAndNoKeepsTheRows)
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    std::vector<std::string> texts = Answering({}, [&] { form.ClearTableActionExecute(); });
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(FTable->Count(), 0);

    form.FillTableFromMapObjectActionExecute();
    EXPECT_TRUE(FTable->Closed());
    form.AddRowActionExecute();
    texts = Answering({IDNO}, [&] { form.ClearTableActionExecute(); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Вы уверены, что хотите очистить таблицу");
    EXPECT_EQ(FTable->Count(), 5);
    texts = Answering({IDYES}, [&] { form.ClearTableActionExecute(); });
    EXPECT_EQ(texts.size(), 1u);
    EXPECT_EQ(FTable->Count(), 0);
    EXPECT_FALSE(FTable->Closed());
    EXPECT_FALSE(form.ContourPartClosedAction->Checked());
}

TEST_F(FormTest, KeysOnTheLastRowAppendOnlyInEditingModeAndCtrlKeysMoveRows)
{
    TPolypadForm& form = Open();
    for (int i = 1; i <= 3; ++i)
        FTable->AddRow({double(i), 0}, 0);
    form.SimpleGrid->SetDataRowCount(3);
    form.SimpleGrid->MoveToDataCell(1, 2);
    UINT key = VK_DOWN;
    form.SimpleGridKeyDown(key, {});
    EXPECT_EQ(FTable->Count(), 3) << "nothing is appended outside editing mode";

    form.EditingModeActionExecute();
    key = VK_DOWN;
    form.SimpleGridKeyDown(key, {});
    EXPECT_EQ(FTable->Count(), 4);
    EXPECT_EQ(form.SimpleGrid->DataRowCount(), 4);

    form.SimpleGrid->MoveToDataCell(1, 3);
    key = VK_DOWN;
    form.SimpleGridKeyDown(key, TShiftState{false, true, false});
    EXPECT_EQ(form.SimpleGrid->DataRow(), 3) << "Ctrl+Down on the last row stays";
    form.SimpleGrid->MoveToDataCell(1, 0);
    key = 'A';
    form.SimpleGridKeyDown(key, TShiftState{false, true, false});
    EXPECT_EQ(FTable->GetX(1), 1);
    EXPECT_EQ(form.SimpleGrid->DataRow(), 1);
    key = VK_UP;
    form.SimpleGridKeyDown(key, TShiftState{false, true, false});
    EXPECT_EQ(FTable->GetX(0), 1);
    key = VK_DELETE;
    form.SimpleGridKeyDown(key, TShiftState{false, true, false});
    EXPECT_EQ(FTable->Count(), 3);
}

TEST_F(FormTest, TheClosedToggleSwapsItsHintAndImage)
{
    TPolypadForm& form = Open(true);
    form.ContourPartClosedActionExecute();
    EXPECT_TRUE(FTable->Closed());
    EXPECT_EQ(form.ContourPartClosedAction->Hint(), "Контур замкнут");
    EXPECT_EQ(form.ContourPartClosedAction->ImageIndex(), tbiContourOpen);
    form.ContourPartClosedActionExecute();
    EXPECT_FALSE(FTable->Closed());
    EXPECT_EQ(form.ContourPartClosedAction->Hint(), "Контур разомкнут");
    EXPECT_EQ(form.ContourPartClosedAction->ImageIndex(), tbiContourClosed);
}

// ---- modes -----------------------------------------------------------------------------------

TEST_F(FormTest, EditingModeEnablesExactlyTheChangingCommands)
{
    TPolypadForm& form = Open();
    const std::vector<TAction*> changing = {
        form.FillTableFromMapObjectAction, form.UpdateMapObjectAction, form.CreateMapObjectAction,
        form.AddToMapObjectAction,          form.ClearTableAction,      form.AddRowAction,
        form.InsertRowAction,               form.DeleteRowAction,       form.RowUpAction,
        form.RowDownAction,                 form.ContourPartClosedAction};
    for (TAction* a : changing)
        EXPECT_FALSE(a->Enabled()) << a->Caption();
    EXPECT_FALSE(form.PositionAction->Enabled());
    EXPECT_FALSE(form.FitToWindowAction->Enabled());
    for (TAction* a : {form.CopyToClipboardAction, form.PasteFromClipboardAction, form.SwitchFormTypeAction,
                       form.HideUnhideColumnAction, form.SynchronizationAction})
        EXPECT_TRUE(a->Enabled()) << a->Caption();

    form.EditingModeActionExecute();
    for (TAction* a : changing)
        EXPECT_TRUE(a->Enabled()) << a->Caption();
    EXPECT_FALSE(form.SynchronizationAction->Enabled());
    EXPECT_TRUE(form.SynchronizationAction->Checked());
    form.AddRowActionExecute();
    form.UpdateActions();
    EXPECT_TRUE(form.FitToWindowAction->Enabled());
    form.SimpleGrid->MoveToDataCell(1, 0);
    form.UpdateActions();
    EXPECT_TRUE(form.PositionAction->Enabled());
}

TEST_F(FormTest, SynchronisationFollowsTheSelectionOnlyWithEditingOff)
{
    TPolypadForm& form = Open();
    Select(103);
    form.SynchronizeWithMap();
    ASSERT_EQ(FTable->Count(), 5);
    form.SimpleGrid->MoveToDataCell(1, 4);
    Select(101);
    form.SynchronizeWithMap();
    EXPECT_EQ(FTable->Count(), 4);
    EXPECT_EQ(form.SimpleGrid->DataRow(), 3) << "the row number is kept, limited to the new rows";

    form.EditingModeActionExecute();
    Select(103);
    form.SynchronizeWithMap();
    EXPECT_EQ(FTable->Count(), 4);
    form.EditingModeActionExecute();
    EXPECT_EQ(FTable->Count(), 4) << "switching editing off does not refill";
    form.SynchronizeWithMap();
    EXPECT_EQ(FTable->Count(), 5);

    form.SynchronizationActionExecute(); // off
    Select(101);
    form.SynchronizeWithMap();
    EXPECT_EQ(FTable->Count(), 5);
    form.SynchronizationActionExecute(); // on: refills at once
    EXPECT_EQ(FTable->Count(), 4);
}

TEST_F(FormTest, PositionCentresTheVertexAndFitShowsTheArcBulge)
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    form.SimpleGrid->MoveToDataCell(1, 2);
    form.PositionActionExecute();
    PumpAll();
    RECT client{};
    ::GetClientRect(hostsim::MapWindowHandle(FHost.get()), &client);
    const POINT vertex = MapPixel(FHost.get(), FTable->GetX(2), FTable->GetY(2));
    EXPECT_NEAR(vertex.x, client.right / 2, 2);
    EXPECT_NEAR(vertex.y, client.bottom / 2, 2);

    form.FitToWindowActionExecute();
    PumpAll();
    // The east arc of parcel 101 bulges beyond Y 1385240; its extreme point must be in view.
    const double bulgeY = FTable->GetArcCenterY(2) + FTable->GetArcRadius(2);
    const POINT bulge = MapPixel(FHost.get(), 452285, bulgeY);
    EXPECT_GE(bulge.x, 0);
    EXPECT_LE(bulge.x, client.right);
    EXPECT_GE(bulge.y, 0);
    EXPECT_LE(bulge.y, client.bottom);
}

// ---- overlay ---------------------------------------------------------------------------------

TEST_F(FormTest, TheOverlayFollowsEditsAndLeavesNoPixelWhenPaintingStops)
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    PumpAll();
    const long drawn = hostsim::OverlayPixelCount(FHost.get());
    EXPECT_GT(drawn, 0);

    FTable->SetX(0, FTable->GetX(0) + 10);
    PumpAll();
    EXPECT_GT(hostsim::OverlayPixelCount(FHost.get()), 0);

    // The Host's repaint pair around a view change: the overlay comes back as it was.
    const long before = hostsim::OverlayPixelCount(FHost.get());
    const TComPtr<IHostSurface> surface = MapSurface(FHost.get());
    form.RepaintOverlay(surface.get());
    form.RepaintOverlay(surface.get());
    PumpAll();
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), before);

    form.PainterModeActionExecute();
    PumpAll();
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0) << "the old outline is fully removed";
    EXPECT_EQ(form.PainterModeAction->Hint(), "Режим отрисовки контура отключен");
    EXPECT_FALSE(form.FHintManager->AnyLocked());

    // A window closed while painting is off leaves the map clean too.
    CloseByUser();
    PumpAll();
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0);
}

TEST_F(FormTest, ARepaintWithoutASurfaceLeavesTheOverlayAsItIs)
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    PumpAll();
    const long drawn = hostsim::OverlayPixelCount(FHost.get());
    ASSERT_GT(drawn, 0);
    form.RepaintOverlay(nullptr); // the Host's RepaintDragging with no surface
    PumpAll();
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), drawn);
    EXPECT_TRUE(form.FHintManager->Shown());
    FTable->SetX(0, FTable->GetX(0) + 10);
    PumpAll();
    EXPECT_GT(hostsim::OverlayPixelCount(FHost.get()), 0) << "the moved outline is on the map";
    CloseByUser();
    PumpAll();
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0) << "nothing is left after closing";
}

TEST_F(FormTest, OneCommandChangingManyRowsRebuildsTheOutlineOnce)
{
    TPolypadForm& form = Open(true);
    PumpAll();
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += std::to_string(452200 + i % 50) + "\t" + std::to_string(1385200 + i / 10) + "\n";
    form.FClipboard->SetText(Widen(text));
    const long rebuilds = form.ContourHintRebuilds();
    form.PasteFromClipboardActionExecute();
    ASSERT_EQ(FTable->Count(), 500);
    PumpAll();
    EXPECT_EQ(form.ContourHintRebuilds(), rebuilds + 1);
    const long pixels = hostsim::OverlayPixelCount(FHost.get());

    // The same picture as an outline drawn from scratch.
    form.PainterModeActionExecute();
    form.PainterModeActionExecute();
    PumpAll();
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), pixels);
}

// ---- map object ------------------------------------------------------------------------------

TEST_F(FormTest, FillUsesTheFirstSelectedObjectAndAnUpdateKeepsItsArc)
{
    TPolypadForm& form = Open(true);
    Select(101);
    AddToSelection(103);
    form.FillTableFromMapObjectActionExecute();
    EXPECT_EQ(FTable->Count(), 4);
    EXPECT_DOUBLE_EQ(FTable->GetArcConvexity(2), 0.2);
    const std::wstring before101 = Geometry(101), before103 = Geometry(103);
    FTable->SetX(0, 452311.25);
    form.UpdateMapObjectActionExecute();
    EXPECT_NE(Geometry(101), before101) << "the first selected object is written";
    EXPECT_NE(Geometry(101).find(L"452311.25"), std::wstring::npos) << Narrow(Geometry(101));
    EXPECT_EQ(Geometry(103), before103) << "the second is not";
    EXPECT_EQ(hostsim::CommittedTransactions(FHost.get()).back(), L"Обновление объекта");
    form.FillTableFromMapObjectActionExecute();
    EXPECT_DOUBLE_EQ(FTable->GetArcConvexity(2), 0.2) << "the arc survives the update";
}

TEST_F(FormTest, UpdateWithoutTheChangeRightShowsTheErrorAndLeavesTheMap)
{
    TPolypadForm& form = Open(true);
    Select(102);
    form.FillTableFromMapObjectActionExecute();
    FTable->SetX(0, 1);
    const std::wstring before = Geometry(102);
    const std::size_t committed = hostsim::CommittedTransactions(FHost.get()).size();
    // Run as a click would, so that the window's error box reports it.
    const std::vector<std::string> texts = Answering({IDOK}, [&] {
        ::SendMessageW(form.ToolBar->Handle(), TB_PRESSBUTTON, form.UpdateMapObjectAction->Id(), 0);
        ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(form.UpdateMapObjectAction->Id(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(form.ToolBar->Handle()));
    });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "У вас нет прав на изменение контура");
    EXPECT_EQ(Geometry(102), before);
    EXPECT_EQ(hostsim::CommittedTransactions(FHost.get()).size(), committed);
}

TEST_F(FormTest, FillWithAnEmptySelectionWarnsAndKeepsTheRows)
{
    TPolypadForm& form = Open(true);
    form.AddRowActionExecute();
    const std::vector<std::string> texts = Answering({IDOK}, [&] { form.FillTableFromMapObjectActionExecute(); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Выделите контур на карте");
    EXPECT_EQ(FTable->Count(), 1);
}
