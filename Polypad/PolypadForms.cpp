#include "Polypad/PolypadForms.h"

#include "CoreLib/ContourParts.h"
#include "CoreLib/Errors.h"
#include "Polypad/DegreesUtils.h"
#include "Polypad/ContourFigures.h"
#include "Polypad/Courses.h"
#include "Polypad/ExactCopy.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/HostTable.h"
#include "Polypad/PartsNotice.h"
#include "Polypad/StatusLine.h"
#include "Polypad/ToolBarImages.h"

#include <algorithm>
#include <cmath>

namespace {

// Shows the settings warning after Initialize has returned to the Host.
constexpr UINT WM_WARNBADSETTINGS = WM_USER + 5;

// Where the floating window starts before its stored bounds are applied.
constexpr int kResourceLeft = 160;
constexpr int kResourceTop = 120;

constexpr const char* kClosedHint = "Контур замкнут";
constexpr const char* kOpenHint = "Контур разомкнут";

TBounds WindowBounds(HWND window)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

RECT WorkArea()
{
    RECT area{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0))
        area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1};
    return area;
}

bool IsAngleKind(TTableColumnKind kind)
{
    return kind == ckLeftAngle || kind == ckRightAngle || kind == ckDirectionAngle;
}

bool NeverEditable(TTableColumnKind kind) { return kind == ckPointNumber || kind == ckArcRadius; }

// Rows rewritten by an undo or redo that are repainted one by one; beyond, the whole grid.
constexpr std::int32_t kRowsRepaintedAlone = 64;

std::vector<TFiguresChanges::TRange> FiguresRuns(const std::vector<TTableHistory::TRowRange>& runs)
{
    std::vector<TFiguresChanges::TRange> ranges;
    for (const TTableHistory::TRowRange& run : runs)
        ranges.push_back({run.Start, run.Count});
    return ranges;
}

} // namespace

// ---- settings store -------------------------------------------------------------------------

THostSettingsStore::THostSettingsStore(IHostApplication* host)
    : FSettings(HostObject<IHostSettings>("IHostApplication.Settings",
                                          [&](IHostSettings** s) { return host->get_Settings(s); }))
{
}

std::string THostSettingsStore::Read(const std::string& key, const std::string& defaultValue)
{
    TBStr result;
    ThrowIfFailed(FSettings->ReadString(1, 0, TBStr(key).get(), TBStr(defaultValue).get(), result.put()));
    return result.Utf8();
}

void THostSettingsStore::Write(const std::string& key, const std::string& value)
{
    ThrowIfFailed(FSettings->WriteString(1, 0, TBStr(key).get(), TBStr(value).get()));
}

// ---- construction ---------------------------------------------------------------------------

TPolypadForm::TPolypadForm(HWND parentWindow, bool docked)
    : TNonModalForm(parentWindow), FDocked(docked), FScreen(ScreenDpi())
{
    SetFormatSettings(SystemFormatSettings());
    CreateActions();
    const DWORD style = docked ? WS_CHILD | WS_CLIPCHILDREN : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    CreateForm(kFormCaption, style, docked ? 0 : WS_EX_CONTROLPARENT, FScreen.Scale(kFormClientWidth),
               FScreen.Scale(kFormClientHeight));
    if (!docked)
        ::SetWindowPos(Handle(), nullptr, FScreen.Scale(kResourceLeft), FScreen.Scale(kResourceTop), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CreateMenus();
    CreateComponents();
    if (!docked)
        FitToToolBarAndWorkArea();
    if (docked) {
        // A docked window fills its pane from the start; the pane resizes it afterwards.
        RECT pane{};
        ::GetClientRect(parentWindow, &pane);
        ::MoveWindow(Handle(), 0, 0, pane.right, pane.bottom, TRUE);
    }
}

// The exact copy's clipboard format, registered once per session of the system.
static UINT ExactCopyFormat()
{
    static const UINT format = ::RegisterClipboardFormatW(kExactCopyFormatName);
    return format;
}

TPolypadForm::~TPolypadForm()
{
    // A window destroyed late has handed the table back already; another window may have it now.
    if (FTable && !FDestroyRequested)
        FTable->SetNotifyWindow(nullptr);
    // The hints erase themselves from the map as the manager frees them.
    FHintManager.reset();
    // A window going away has nowhere to report to; the clipboard keeps what it could take.
    RenderOfferedCopyForGood();
    FOfferedCopy.reset();
    TraverseDialog.reset();
    FClipboard.reset();
    FColumns.reset();
    FTableWindow.reset();
    FFocusWindow.reset();
    SimpleGrid.reset();
    DestroyHandle();
    if (OnDestroy) {
        auto notify = std::move(OnDestroy);
        notify();
    }
}

void TPolypadForm::CreateActions()
{
    auto add = [this](const char* caption, const char* hint, int image, void (TPolypadForm::*handler)()) {
        TAction& a = Actions.Add(caption, hint, image);
        a.OnExecute = [this, handler](TAction&) { (this->*handler)(); };
        return &a;
    };
    FillTableFromMapObjectAction = add("Заполнить таблицу", "Заполнить таблицу координатами выделенного объекта",
                                       tbiFillTable, &TPolypadForm::FillTableFromMapObjectActionExecute);
    CreateMapObjectAction =
        add("Создать объект", "Создать объект", tbiCreateObject, &TPolypadForm::CreateMapObjectActionExecute);
    AddToMapObjectAction = add("Добавить форму к объекту", "Добавить форму к выделенному объекту", tbiAddShape,
                               &TPolypadForm::AddToMapObjectActionExecute);
    UpdateMapObjectAction =
        add("Обновить объект", "Обновить выделенный объект на основе координат из таблицы", tbiUpdateObject,
            &TPolypadForm::UpdateMapObjectActionExecute);
    CopyToClipboardAction = add("Скопировать в буфер обмена", "Скопировать таблицу в буфер обмена", tbiCopy,
                                &TPolypadForm::CopyToClipboardActionExecute);
    PasteFromClipboardAction = add("Вставить из буфера обмена", "Вставить таблицу из буфера обмена", tbiPaste,
                                   &TPolypadForm::PasteFromClipboardActionExecute);
    InsertRowAction =
        add("Вставить строку", "Вставить строку в таблицу", tbiInsertRow, &TPolypadForm::InsertRowActionExecute);
    DeleteRowAction =
        add("Удалить строку", "Удалить строку из таблицы", tbiDeleteRow, &TPolypadForm::DeleteRowActionExecute);
    ClearTableAction =
        add("Очистить таблицу", "Очистить таблицу", tbiClearTable, &TPolypadForm::ClearTableActionExecute);
    AddRowAction =
        add("Добавить строку", "Добавить строку в конец таблицы", tbiAddRow, &TPolypadForm::AddRowActionExecute);
    HideUnhideColumnAction = add("Скрыть/показать столбец", "Показать/скрыть столбец", tbiColumns,
                                 &TPolypadForm::HideUnhideColumnActionExecute);
    ContourPartClosedAction =
        add("Контур замкнут", kClosedHint, tbiContourClosed, &TPolypadForm::ContourPartClosedActionExecute);
    SwitchFormTypeAction =
        add("Переключить вид", "Переключить вид", tbiSwitchLayout, &TPolypadForm::SwitchFormTypeActionExecute);
    RowUpAction = add("Переместить строку вверх", "Переместить строку вверх на одну позицию", tbiRowUp,
                      &TPolypadForm::RowUpActionExecute);
    RowUpAction->SetShortCut({VK_UP, true});
    RowDownAction = add("Переместить строку вниз", "Переместить строку вниз на одну позицию", tbiRowDown,
                        &TPolypadForm::RowDownActionExecute);
    RowDownAction->SetShortCut({'A', true});
    UndoAction = add("Отменить", "Отменить", tbiUndo, &TPolypadForm::UndoActionExecute);
    UndoAction->SetShortCut({'Z', true});
    RedoAction = add("Повторить", "Повторить", tbiRedo, &TPolypadForm::RedoActionExecute);
    RedoAction->SetShortCut({'Y', true});
    RedoAction->SetSecondShortCut({'Z', true, true});
    EditingModeAction = add("Режим редактирования", "Включить/выключить режим редактирования", tbiEditingMode,
                            &TPolypadForm::EditingModeActionExecute);
    SynchronizationAction = add("Режим синхронизации", "Синхронизировать с картой", tbiSynchronization,
                                &TPolypadForm::SynchronizationActionExecute);
    PainterModeAction = add("Режим отрисовки контура", "Режим отрисовки контура", tbiPainterMode,
                            &TPolypadForm::PainterModeActionExecute);
    PositionAction =
        add("Позиционировать вершину", "Найти вершину на карте", -1, &TPolypadForm::PositionActionExecute);
    FitToWindowAction =
        add("Вписать в окно", "Вписать контур в окно карты", tbiFitToWindow, &TPolypadForm::FitToWindowActionExecute);
    CopySummaryAction = add("Скопировать сводку", "Скопировать в буфер обмена число вершин, периметр, площадь и невязку",
                            -1, &TPolypadForm::CopySummaryActionExecute);
    // "Уравнять ход" is a submenu of the two rules; each closes the open traverse of the table.
    AdjustTraverseAction = add("По длинам сторон (правило компаса)",
                               "Распределить невязку незамкнутого хода пропорционально длинам сторон и замкнуть контур",
                               -1, &TPolypadForm::AdjustTraverseActionExecute);
    AdjustTraverseTransitAction =
        add("По приращениям координат (правило транзита)",
            "Распределить невязку незамкнутого хода пропорционально приращениям координат и замкнуть контур", -1,
            &TPolypadForm::AdjustTraverseTransitActionExecute);
    PasteCoursesAction = add("Вставить ход",
                             "Вставить после текущей вершины ход из буфера обмена: строки «направление<TAB>длина"
                             "[<TAB>кривизна]», как их дают столбцы «Дирекционный угол», «Длина ребра» (у дуги — "
                             "длина дуги) и «Кривизна дуги»; в пустую таблицу — после строки «X<TAB>Y» начальной "
                             "точки",
                             -1, &TPolypadForm::PasteCoursesActionExecute);
    CatalogueAction = add(kCatalogueCommandCaption, "Каталог координат точек контура с площадью и её погрешностью", -1,
                          &TPolypadForm::CatalogueActionExecute);
    CatalogueAction->SetShortCut({'K', true});
    TraverseFromAnglesAction = add("Ход по углам…",
                                   "Вычислить ход по измеренным углам и длинам сторон (ведомость) и заменить им таблицу",
                                   -1, &TPolypadForm::TraverseFromAnglesActionExecute);

    auto column = [this](const char* caption, bool checked, std::initializer_list<TTableColumnKind> kinds) {
        TAction& a = Actions.Add(caption);
        a.SetChecked(checked);
        const std::vector<TTableColumnKind> list(kinds);
        a.OnExecute = [this, list](TAction& self) {
            self.SetChecked(!self.Checked());
            for (const TTableColumnKind kind : list) {
                (*FColumns)[kind].Visible = self.Checked();
                ShowHideColumn(kind);
            }
        };
        return &a;
    };
    PointNumberColumnAction = column("Номер точки", true, {ckPointNumber});
    CoordinatesColumnAction = column("Координаты", true, {ckX, ckY});
    EdgeLengthColumnAction = column("Длина ребра", true, {ckEdgeLength});
    LeftAngleColumnAction = column("Левый угол", false, {ckLeftAngle});
    RightAngleColumnAction = column("Правый угол", false, {ckRightAngle});
    DirectionAngleColumnAction = column("Дирекционный угол", true, {ckDirectionAngle});
    ArcConvexityColumnAction = column("Кривизна дуги", false, {ckArcConvexity});
    ArcCenterColumnAction = column("Центр дуги", false, {ckArcCenterX, ckArcCenterY});
    ArcRadiusColumnAction = column("Радиус дуги", false, {ckArcRadius});

    Actions.OnChange.push_back([this](TAction& a) { RefreshToolButton(a); });
}

void TPolypadForm::CreateMenus()
{
    HideUnhideColumnPopupMenu.AddAction(*PointNumberColumnAction);
    HideUnhideColumnPopupMenu.AddSeparator();
    HideUnhideColumnPopupMenu.AddAction(*CoordinatesColumnAction);
    HideUnhideColumnPopupMenu.AddSeparator();
    HideUnhideColumnPopupMenu.AddAction(*EdgeLengthColumnAction);
    HideUnhideColumnPopupMenu.AddAction(*LeftAngleColumnAction);
    HideUnhideColumnPopupMenu.AddAction(*RightAngleColumnAction);
    HideUnhideColumnPopupMenu.AddAction(*DirectionAngleColumnAction);
    HideUnhideColumnPopupMenu.AddSeparator();
    HideUnhideColumnPopupMenu.AddAction(*ArcConvexityColumnAction);
    HideUnhideColumnPopupMenu.AddAction(*ArcCenterColumnAction);
    HideUnhideColumnPopupMenu.AddAction(*ArcRadiusColumnAction);

    // The table menu shows the position command under its own caption.
    TablePopupMenu.AddAction(*UndoAction);
    TablePopupMenu.AddAction(*RedoAction);
    TablePopupMenu.AddSeparator();
    TablePopupMenu.AddAction(*ClearTableAction);
    TablePopupMenu.AddSeparator();
    TablePopupMenu.AddAction(*AddRowAction);
    TablePopupMenu.AddAction(*InsertRowAction);
    TablePopupMenu.AddAction(*DeleteRowAction);
    TablePopupMenu.AddSeparator();
    TablePopupMenu.AddAction(*PositionAction, "Найти вершину");
    TablePopupMenu.AddSeparator();
    TablePopupMenu.AddAction(*CopySummaryAction);
    TablePopupMenu.AddAction(*PasteCoursesAction);
    TablePopupMenu.AddAction(*TraverseFromAnglesAction);
    TPopupMenu& adjust = TablePopupMenu.AddSubmenu("Уравнять ход");
    adjust.AddAction(*AdjustTraverseAction);
    adjust.AddAction(*AdjustTraverseTransitAction);
    TablePopupMenu.AddAction(*CatalogueAction);
    TablePopupMenu.AddSeparator();
    ColumnsItems = &TablePopupMenu.AddSubmenu("Столбец");
    TablePopupMenu.OnPopup = [this](TPopupMenu&) { TablePopupMenuPopup(); };

    CreateMapObjectPopupMenu.OnPopup = [this](TPopupMenu&) { CreateMapObjectPopupMenuPopup(); };
    AddToMapObjectPopupMenu.OnPopup = [this](TPopupMenu&) { AddToMapObjectPopupMenuPopup(); };
}

void TPolypadForm::CreateComponents()
{
    ToolBarImageList = CreateToolBarImages(ToolBarPictureSize(FScreen.Dpi()));
    // Wraps onto more rows in a narrow pane instead of hiding the last commands.
    ToolBar = std::make_unique<TToolBar>(Handle(), ToolBarImageList.get(), true);
    BuildToolBar();
    ToolBar->OnHint = [this](const std::string& hint) {
        ShowStatusHint(hint.empty() ? FilledPartsNote(FilledParts()) : hint);
    };

    MainStatusBar = std::make_unique<TStatusBar>(Handle(), true);

    Panel1 = std::make_unique<TPanel>(Handle(), kNoViewRightText);
    Panel1->OnMouseMove = [this] { ShowStatusHint(FilledPartsNote(FilledParts())); };
    SimpleGrid = std::make_unique<TSimpleGrid>();
    SimpleGrid->CreateGrid(Panel1->Handle(), 0, 0, 10, 10);
    Panel1->FillChild = SimpleGrid->Handle();
    SimpleGrid->SetRowHeader(grhState);
    // Rows of 20 pixels at 96 DPI, growing with the font on denser screens, and a header that
    // holds the captions whole.
    SimpleGrid->SetRowsFitFont(true);
    SimpleGrid->SetDataRowCount(0);
    SimpleGrid->OnGetDataValue = [this](TSimpleGrid&, int c, int r, TGridValue& v) { SimpleGridGetDataValue(c, r, v); };
    SimpleGrid->OnSetDataValue = [this](TSimpleGrid&, int c, int r, const TGridValue& v) {
        SimpleGridSetDataValue(c, r, v);
    };
    SimpleGrid->OnDataCellSelect = [this](TSimpleGrid&, int, int) { SimpleGridDataCellSelect(); };
    SimpleGrid->OnKeyDown = [this](TCellGrid&, UINT& key, TShiftState shift) { SimpleGridKeyDown(key, shift); };

    SimpleGrigSetFocusTimer.OnTimer = [this] {
        SimpleGrid->SyncCurrentCell();
        SimpleGrigSetFocusTimer.SetEnabled(false);
    };

    const RECT client = ClientRect();
    OnResize(client.right, client.bottom);
}

void TPolypadForm::BuildToolBar()
{
    auto button = [this](TAction* action, TPopupMenu* menu = nullptr) {
        ToolBar->AddButton(*action, menu);
        FToolButtons.push_back(action);
    };
    auto separator = [this](int width = 8) {
        ToolBar->AddSeparator(FScreen.Scale(width));
        FToolButtons.push_back(nullptr);
    };
    button(FillTableFromMapObjectAction);
    button(UpdateMapObjectAction);
    button(CreateMapObjectAction, &CreateMapObjectPopupMenu);
    button(AddToMapObjectAction, &AddToMapObjectPopupMenu);
    separator();
    button(CopyToClipboardAction);
    button(PasteFromClipboardAction);
    separator();
    button(ClearTableAction);
    button(HideUnhideColumnAction, &HideUnhideColumnPopupMenu);
    button(AddRowAction);
    button(InsertRowAction);
    button(DeleteRowAction);
    button(RowUpAction);
    button(RowDownAction);
    button(UndoAction);
    button(RedoAction);
    separator();
    button(ContourPartClosedAction);
    // The precision list sits on a placeholder as wide as itself: 81 pixels at 96 DPI, or what its
    // longest item needs in the screen's font.
    DigitsComboBox = std::make_unique<TComboBox>(ToolBar->Handle(), 0, 0, FScreen.Scale(81), FScreen.Scale(200));
    for (const char* item : {"0", "0.0", "0.00", "0.000", "0.0000", "0.00000", "0.000000", "0.0000000"})
        DigitsComboBox->AddItem(item);
    const int digitsWidth = std::max(FScreen.Scale(81), DigitsComboBox->WidthToFit());
    ToolBar->AddSeparator(digitsWidth);
    FToolButtons.push_back(nullptr);
    FDigitsSlot = static_cast<int>(FToolButtons.size()) - 1;
    const RECT slot = ToolBar->ButtonRect(FDigitsSlot);
    ::SetWindowPos(DigitsComboBox->Handle(), nullptr, slot.left, slot.top, digitsWidth, FScreen.Scale(200),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    DigitsComboBox->OnChange = [this] { DigitsComboBoxChange(); };
    DigitsComboBox->SetHint("Точность");
    separator();
    button(FitToWindowAction);
    button(SwitchFormTypeAction);
    button(EditingModeAction);
    button(SynchronizationAction);
    button(PainterModeAction);
}

void TPolypadForm::FitToToolBarAndWorkArea()
{
    // The tool bar's pictures and the precision list do not grow quite as the designed width
    // does; the floating window takes what the whole bar needs on one row, but no more than the
    // work area (on a small screen the bar wraps onto another row).
    const RECT client = ClientRect();
    if (ToolBar->RowWidth() > client.right)
        SetClientSize(ToolBar->RowWidth(), client.bottom);
    const RECT area = WorkArea();
    const TBounds b = Bounds();
    const int width = std::min<int>(b.Width, area.right - area.left);
    const int height = std::min<int>(b.Height, area.bottom - area.top);
    if (width != b.Width || height != b.Height)
        ::SetWindowPos(Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TPolypadForm::RefreshToolButton(TAction& action)
{
    if (ToolBar && ToolButtonIndex(action) >= 0)
        ToolBar->Refresh(action);
}

int TPolypadForm::ToolButtonIndex(const TAction& action) const
{
    const auto it = std::find(FToolButtons.begin(), FToolButtons.end(), &action);
    return it == FToolButtons.end() ? -1 : static_cast<int>(it - FToolButtons.begin());
}

void TPolypadForm::OnResize(int width, int height)
{
    if (!ToolBar || !MainStatusBar || !Panel1)
        return;
    ::SendMessageW(ToolBar->Handle(), TB_AUTOSIZE, 0, 0);
    if (DigitsComboBox) {
        const RECT slot = ToolBar->ButtonRect(FDigitsSlot);
        ::SetWindowPos(DigitsComboBox->Handle(), nullptr, slot.left, slot.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageW(MainStatusBar->Handle(), WM_SIZE, 0, 0);
    LayoutStatusPanels();
    const int top = ToolBar->Height();
    const int bottom = height - MainStatusBar->Height();
    ::MoveWindow(Panel1->Handle(), 0, top, width, std::max(bottom - top, 0), TRUE);
}

// ---- initialisation and settings ------------------------------------------------------------

void TPolypadForm::Initialize(IHostApplication* host, TTable* table, bool keepEditing, bool docked,
                              HWND moduleWindow)
{
    Assert(table != nullptr, "TPolypadForm.Initialize: no table");
    FTableWindow = std::make_unique<TMessageWindow>([this](UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_TABLECHANGED)
            return false;
        FTableChangePending = false;
        if (!FDestroyRequested) {
            if (FTableDirty) {
                FTableDirty = false;
                // The outline is split again around rewritten rows only, as the figures are summed.
                if (const auto* rows = FFiguresChanges.Noted(); rows && FOutline)
                    for (const TFiguresChanges::TRange& r : *rows)
                        FOutline->RowsRewritten(r.First, r.Count);
                else if (FOutline)
                    FOutline->RowsChanged();
                UpdateActions();
                UpdateFigures();
            }
            RefreshContourHint();
        }
        result = 0;
        return true;
    });
    FHost = TComPtr<IHostApplication>(host);
    FModuleWindow = moduleWindow;
    FTable = table;
    FHistory = std::make_unique<TTableHistory>(*FTable);
    FDocked = docked;

    FColumns = std::make_unique<TTableColumns>();

    const auto mainWindow = HostObject<IHostMainWindow>(
        "IHostApplication.MainWindow", [&](IHostMainWindow** w) { return FHost->get_MainWindow(w); });
    const auto mapWindow = HostObject<IHostMapWindow>(
        "IHostMainWindow.MapWindow", [&](IHostMapWindow** w) { return mainWindow->get_MapWindow(w); });
    FHintManager = std::make_unique<TPaintHintManager>(mapWindow.get());
    const std::uint32_t color = OverlayColor(::GetSysColor(COLOR_WINDOW));
    FOutline = std::make_unique<TOutlineOverlay>(*FHintManager, [this] { return CreateHostContour(); },
                                                 TPaintHintPen{1, 0.0, 0.0, color});
    FVertexHint = CreateHint({0, 0.0, 0.0, color});

    SimpleGrid->SetDataRowCount(FTable->Count());
    FEditingMode = keepEditing;
    LoadSettings();
    DigitsComboBox->SetItemIndex(FDigits);

    ApplyColumnActions();
    BuildColumns();
    SimpleGrid->MoveToDataCell(SimpleGrid->DataCol(), 0);
    EditingModeAction->SetChecked(FEditingMode);
    SynchronizationAction->SetChecked(FSynchronizationMode);
    SynchronizationAction->SetEnabled(!FEditingMode);
    UpdateModeHints();
    UpdateClosedAction();

    LoadGridPosition();
    FClipboard = std::make_unique<TOxClipboard>(Handle());
    FOfferedCopy = std::make_unique<TDelayedCopy>(*FClipboard, std::vector<UINT>{CF_UNICODETEXT, ExactCopyFormat()});
    UpdateGridAccess();
    FModified = false;
    UpdateActions();
    SynchronizeWithMap();
    UpdateFigures();
    FHintManager->SetPainting(PainterModeAction->Checked());
    UpdateColumnEditing();
    FTable->SetNotifyWindow(this);
    FFocusWindow = std::make_unique<TMessageWindow>([this](UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_FOCUSGRID)
            return false;
        SimpleGrid->SetFocus();
        result = 0;
        return true;
    });
    Show();
    SimpleGrid->SetFocus();
    // The outline of rows the table already holds (a layout switch keeps them).
    PostTableChanged();
    if (!FBadSettingKeys.empty())
        ::PostMessageW(Handle(), WM_WARNBADSETTINGS, 0, 0);
}

TComPtr<IHostContour> TPolypadForm::CreateHostContour()
{
    TVariant none;
    none.put()->vt = VT_NULL;
    TComPtr<IDispatch> geometry;
    ThrowIfFailed(FHost->CreateGeometry(0, none.get(), geometry.put()));
    RequireHostObject(geometry, "IHostApplication.CreateGeometry");
    return geometry.query<IHostContour>();
}

TPaintHint* TPolypadForm::CreateHint(const TPaintHintPen& pen)
{
    const TComPtr<IHostContour> contour = CreateHostContour();
    auto hint = std::make_unique<TPaintHint>(contour.get(), true, pen);
    TPaintHint* result = hint.get();
    FHintManager->AddHint(hint.release());
    return result;
}

TBounds TPolypadForm::Bounds() const { return WindowBounds(Handle()); }

void TPolypadForm::SetBounds(const TBounds& b)
{
    ::MoveWindow(Handle(), b.Left, b.Top, b.Width, b.Height, TRUE);
}

TFormSettings TPolypadForm::CurrentSettings() const
{
    TFormSettings s;
    s.PainterMode = PainterModeAction->Checked();
    s.Synchronization = FSynchronizationMode;
    s.Digits = FDigits;
    for (int i = 0; i < kTableColumnCount; ++i) {
        const TTableColumn& c = (*FColumns)[static_cast<TTableColumnKind>(i)];
        s.Showing[static_cast<std::size_t>(i)] = c.Visible;
        s.Width[static_cast<std::size_t>(i)] = c.Width;
    }
    // The widths the user gave the shown columns.
    TSimpleGridColumns& columns = SimpleGrid->Columns();
    for (int i = 0; i < columns.Count(); ++i)
        if (const TTableColumnKind kind = KindOfCaption(columns.Items(i).Caption()); kind != ckNone)
            s.Width[static_cast<std::size_t>(kind)] = columns.Items(i).Width();
    s.Bounds = Bounds();
    s.DataRow = SimpleGrid->DataRow();
    s.DataCol = SimpleGrid->DataCol();
    return s;
}

void TPolypadForm::ApplySettings(const TFormSettings& s)
{
    PainterModeAction->SetChecked(s.PainterMode);
    FSynchronizationMode = s.Synchronization;
    FDigits = std::clamp(s.Digits, 0, kMaxDigits);
    if (FDigits != s.Digits)
        FBadSettingKeys.push_back(kDigitsKey);
    for (int i = 0; i < kTableColumnCount; ++i) {
        TTableColumn& c = (*FColumns)[static_cast<TTableColumnKind>(i)];
        c.Visible = s.Showing[static_cast<std::size_t>(i)];
        c.Width = s.Width[static_cast<std::size_t>(i)];
    }
}

void TPolypadForm::LoadSettings()
{
    THostSettingsStore store(FHost.get());
    TFormSettings s = LoadFormSettings(store, FDocked, Bounds(), FBadSettingKeys, FScreen);
    ApplySettings(s);
    if (!FDocked) {
        const RECT area = WorkArea();
        KeepOnWorkArea(s.Bounds, area.left, area.top, area.right, area.bottom);
        SetBounds(s.Bounds);
    }
}

void TPolypadForm::LoadGridPosition()
{
    THostSettingsStore store(FHost.get());
    TFormSettings s;
    ::LoadGridPosition(store, s, FBadSettingKeys);
    SimpleGrid->MoveToDataCell(s.DataCol, s.DataRow);
}

void TPolypadForm::SaveSettings()
{
    THostSettingsStore store(FHost.get());
    SaveFormSettings(store, FDocked, CurrentSettings(), FScreen);
}

void TPolypadForm::WarnAboutBadSettings()
{
    std::string keys;
    for (const std::string& key : FBadSettingKeys)
        keys += (keys.empty() ? "" : ", ") + key;
    FBadSettingKeys.clear();
    Warn("Сохранённые настройки окна не прочитаны (" + keys + "); взяты значения по умолчанию");
}

void TPolypadForm::UpdateGridAccess()
{
    auto allowed = [this] {
        if (!FHost)
            return false;
        TComPtr<IHostMapView> view;
        ThrowIfFailed(FHost->get_ActiveMapView(view.put()));
        if (!view)
            return false;
        TComPtr<IHostViewLayer> viewLayer;
        ThrowIfFailed(view->get_ActiveLayer(viewLayer.put()));
        if (!viewLayer)
            return false;
        const auto layer = HostObject<IHostLayer>("IHostViewLayer.Layer",
                                                  [&](IHostLayer** l) { return viewLayer->get_Layer(l); });
        long id = 0;
        ThrowIfFailed(layer->get_Id(&id));
        const auto project = HostObject<IHostProject>("IHostApplication.Project",
                                                      [&](IHostProject** p) { return FHost->get_Project(p); });
        const auto byId =
            HostObject<IHostLayer>("IHostProject.LayerById", [&](IHostLayer** l) { return project->LayerById(id, l); });
        const auto permissions = HostObject<IHostPermissions>(
            "IHostLayer.Permissions", [&](IHostPermissions** p) { return byId->get_Permissions(p); });
        VARIANT_BOOL allows = VARIANT_FALSE;
        ThrowIfFailed(permissions->Allows(kCreateRightMask, &allows));
        return allows != VARIANT_FALSE;
    };
    // Decided before the grid is touched, so that a visible grid never blinks.
    SimpleGrid->Show(allowed());
}

void TPolypadForm::ShowStatusHint(const std::string& text)
{
    if (MainStatusBar && MainStatusBar->SimpleText() != text)
        MainStatusBar->SetSimpleText(text);
}

bool TPolypadForm::Confirm(const std::string& text)
{
    const int answer = MessageBoxOwned(Handle(), text, kFormCaption, MB_YESNO);
    if (FDestroyRequested)
        throw EAbort();
    return answer == IDYES;
}

void TPolypadForm::Warn(const std::string& text)
{
    MessageBoxOwned(Handle(), text, kFormCaption, MB_OK | MB_ICONWARNING);
    if (FDestroyRequested)
        throw EAbort();
}

void TPolypadForm::RequestDestroyAfterBoxes()
{
    FDestroyRequested = true;
    if (FTable)
        FTable->SetNotifyWindow(nullptr);
    ::ShowWindow(Handle(), SW_HIDE);
}

void TPolypadForm::DropDownButtonMenu(TAction& buttonAction, TPopupMenu& menu)
{
    const int index = ToolButtonIndex(buttonAction);
    if (index < 0)
        return;
    const RECT r = ToolBar->ButtonRect(index);
    POINT p{r.left, r.bottom};
    ::MapWindowPoints(ToolBar->Handle(), Handle(), &p, 1);
    ::ClientToScreen(Handle(), &p);
    menu.Popup(Handle(), p.x, p.y);
}

LRESULT TPolypadForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case CM_RELEASE:
        try {
            EraseOverlay();
        } catch (const std::exception& e) {
            ShowException(Handle(), e);
        }
        delete this;
        return 0;
    case WM_WARNBADSETTINGS:
        WarnAboutBadSettings();
        return 0;
    case WM_RENDERFORMAT:
        RenderOfferedCopy(static_cast<UINT>(wParam));
        return 0;
    case WM_RENDERALLFORMATS:
        RenderOfferedCopyForGood();
        return 0;
    case WM_DESTROYCLIPBOARD:
        if (FOfferedCopy)
            FOfferedCopy->Drop();
        return 0;
    case WM_MOUSEMOVE:
        ShowStatusHint(FilledPartsNote(FilledParts()));
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            FGridAccessStale = true; // the user may have changed the active layer meanwhile
        break;
    case WM_CONTEXTMENU: {
        // The message reaches the window through the grid's panel, which names itself as the
        // source: the grid is told by where the click was, or by the focus for the menu key.
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const bool byKey = p.x == -1 && p.y == -1;
        const HWND at = byKey ? ::GetFocus() : ::WindowFromPoint(p);
        if (SimpleGrid && at && (at == SimpleGrid->Handle() || ::IsChild(SimpleGrid->Handle(), at))) {
            if (byKey) {
                const RECT cell = SimpleGrid->CurrentCellScreenRect();
                p = {cell.left, cell.bottom};
            } else {
                // The row commands then act on the row pointed at, as in other tables.
                SimpleGrid->MoveToDataCellAt(p);
            }
            TablePopupMenu.Popup(Handle(), p.x, p.y);
            return 0;
        }
        break;
    }
    default: break;
    }
    return TNonModalForm::WindowProc(message, wParam, lParam);
}

bool TPolypadForm::OnCloseQuery()
{
    // Closing saves the settings; the window is freed from the message loop.
    SaveSettings();
    ::PostMessageW(Handle(), CM_RELEASE, 0, 0);
    return false;
}

void TPolypadForm::SwitchFormTypeActionExecute()
{
    SaveSettings();
    ::PostMessageW(Handle(), CM_RELEASE, 0, 0);
    ::PostMessageW(FModuleWindow, WM_SWITCHFORMTYPE, FEditingMode ? 1 : 0, 0);
}

// ---- map object -----------------------------------------------------------------------------

void TPolypadForm::FillTableFromMapObjectActionExecute() { FillFromMap(true); }

void TPolypadForm::FillFromMap(bool userStep)
{
    TMapWarning warning;
    long parts = 0;
    const TTableCell before = CurrentCell();
    // Rows the user changed since the map last had them (typed, pasted, cleared: the edit mark
    // may be off after a paste or a clear) stay one undo step away from the fill.
    if (userStep || FModified || !FHistory->IsClean())
        FHistory->ReplaceAllBy(TTableEdit::teFill,
                               [&] {
                                   warning = FillTableFromMapObject(FHost.get(), *FTable, &parts);
                                   if (!warning)
                                       FHistory->SetFilledParts(parts); // the step's, undone with the rows
                               },
                               before, {0, before.Col});
    else
        warning = FillTableFromMapObject(FHost.get(), *FTable, &parts);
    if (warning) {
        Warn(*warning);
        return;
    }
    SetFilledParts(parts);
    FHistory->SetClean();
    SimpleGrid->Show(true);
    SimpleGrid->SetDataRowCount(FTable->Count());
    FModified = false;
    SelectFirstRow();
    UpdateActions();
    UpdateClosedAction();
}

void TPolypadForm::UpdateClosedAction()
{
    const bool closed = FTable->Closed();
    ContourPartClosedAction->SetChecked(closed);
    ContourPartClosedAction->SetImageIndex(closed ? tbiContourOpen : tbiContourClosed);
    ContourPartClosedAction->SetHint(closed ? kClosedHint : kOpenHint);
}

void TPolypadForm::UpdateMapObjectActionExecute()
{
    if (FilledParts() > 1 && !Confirm(JoinPartsQuestion(FilledParts())))
        return;
    if (const TMapWarning warning = UpdateMapObject(FHost.get(), FTable->ContourPart())) {
        Warn(*warning);
    } else {
        FHistory->SetClean(); // the map has these rows now
        SetFilledParts(1);
    }
}

void TPolypadForm::SetFilledParts(long parts)
{
    FHistory->SetFilledParts(parts);
    ShowStatusHint(FilledPartsNote(parts));
}

void TPolypadForm::CreateMapObjectActionExecute() { DropDownButtonMenu(*CreateMapObjectAction, CreateMapObjectPopupMenu); }

void TPolypadForm::AddToMapObjectActionExecute() { DropDownButtonMenu(*AddToMapObjectAction, AddToMapObjectPopupMenu); }

void TPolypadForm::CreateMapObjectPopupMenuPopup() { RebuildStyleMenu(CreateMapObjectPopupMenu, TStyleMenuKind::smkCreate); }

void TPolypadForm::AddToMapObjectPopupMenuPopup() { RebuildStyleMenu(AddToMapObjectPopupMenu, TStyleMenuKind::smkAdd); }

void TPolypadForm::RebuildStyleMenu(TPopupMenu& menu, TStyleMenuKind kind)
{
    if (!FHost)
        return;
    TStyleMenu& items = kind == TStyleMenuKind::smkCreate ? FCreateStyles : FAddStyles;
    menu.Clear();
    // The menu no longer refers to the old items, so their handlers may go.
    items.Events.clear();
    items.Actions = std::make_unique<TActionList>();
    TComPtr<IHostMapView> view;
    ThrowIfFailed(FHost->get_ActiveMapView(view.put()));
    if (!view)
        return;
    TComPtr<IHostViewLayer> layer;
    ThrowIfFailed(view->get_ActiveLayer(layer.put()));
    if (!layer)
        return;
    for (TStyleMenuEntry& entry : StyleMenuEntries(FHost.get(), kind)) {
        auto event = std::make_unique<TStyleMenuEvent>(FHost.get(), &FTable->ContourPart(), entry.Style.get());
        TStyleMenuEvent* handler = event.get();
        TAction& item = items.Actions->Add(entry.Name);
        if (kind == TStyleMenuKind::smkCreate)
            item.OnExecute = [handler](TAction&) { handler->CreateObjectClick(); };
        else
            item.OnExecute = [handler](TAction&) { handler->AddShapeClick(); };
        items.Events.push_back(std::move(event));
        menu.AddAction(item);
    }
    FModified = false;
}

// ---- clipboard ------------------------------------------------------------------------------

char TPolypadForm::DecimalSeparator() const { return FormatSettings().DecimalSeparator; }

std::string TPolypadForm::BuildClipboardText() const
{
    return ::BuildClipboardText(*FTable, VisibleColumnGroups(), FDigits, DecimalSeparator());
}

TColumnGroups TPolypadForm::VisibleColumnGroups() const
{
    TColumnGroups visible{};
    visible[cgPointNumber] = PointNumberColumnAction->Checked();
    visible[cgCoordinates] = CoordinatesColumnAction->Checked();
    visible[cgEdgeLength] = EdgeLengthColumnAction->Checked();
    visible[cgLeftAngle] = LeftAngleColumnAction->Checked();
    visible[cgRightAngle] = RightAngleColumnAction->Checked();
    visible[cgDirectionAngle] = DirectionAngleColumnAction->Checked();
    visible[cgArcConvexity] = ArcConvexityColumnAction->Checked();
    visible[cgArcCenter] = ArcCenterColumnAction->Checked();
    visible[cgArcRadius] = ArcRadiusColumnAction->Checked();
    return visible;
}

void TPolypadForm::CopyToClipboardActionExecute()
{
    // Beside the text as shown, the rows at full precision for another Polypad window.
    std::shared_ptr<const TTableCopy> copy =
        std::make_shared<TTableCopy>(*FTable, VisibleColumnGroups(), FDigits, DecimalSeparator());
    FOfferedCopy->Offer([copy](UINT format) {
        if (format == CF_UNICODETEXT)
            TOxClipboard::PutRenderedText(copy->Text());
        else
            TOxClipboard::PutRenderedData(format, copy->ExactRows());
    });
}

// A program waits for the data: a failure gives it none and is told here, not in a box.
void TPolypadForm::RenderOfferedCopy(UINT format)
{
    if (!FOfferedCopy)
        return;
    const std::string failure = FOfferedCopy->RenderFormat(format);
    if (!failure.empty() && !FDestroyRequested)
        ShowStatusHint("Копия таблицы не передана в буфер обмена: " + failure);
}

// Before the window goes: a copy the clipboard still holds is made whole, for pastes after it.
void TPolypadForm::RenderOfferedCopyForGood()
{
    if (FOfferedCopy)
        FOfferedCopy->RenderRest();
}

void TPolypadForm::PasteFromClipboardActionExecute()
{
    if (!FEditingMode)
        return;
    // Every number is converted before the rows are replaced: a text that does not convert
    // leaves the user's rows as they were. Another Polypad window's exact copy comes first.
    std::string note;
    const TExactRows pasted = PastedRows(
        FClipboard->GetData(ExactCopyFormat()), [this] { return Narrow(FClipboard->GetText()); }, DecimalSeparator(), note);
    // A clipboard without a single row would only wipe the table.
    if (pasted.Rows.empty()) {
        if (!note.empty())
            ShowStatusHint(note);
        return;
    }
    const TTableCell cell = CurrentCell();
    FHistory->ReplaceAll(TTableEdit::tePaste, pasted.Rows, pasted.Closed, cell, {0, cell.Col});
    // The grid's layout once for all rows: per row it costs as much as a repaint.
    SimpleGrid->SetDataRowCount(FTable->Count());
    SelectFirstRow();
    FModified = false; // as the clear before a paste always left it
    SetFilledParts(0);
    if (!note.empty())
        ShowStatusHint(note); // after the parts' note is cleared, which would clear it too
    UpdateClosedAction();
    UpdateActions();
}

// ---- grid binding ---------------------------------------------------------------------------

double TPolypadForm::RoundToDigits(double v) const { return ::RoundToDigits(v, FDigits); }

std::int32_t TPolypadForm::EnsureRow(int dataRow)
{
    if (dataRow >= 0 && dataRow < FTable->Count())
        return dataRow;
    AddZeroRow();
    return FTable->Count() - 1;
}

// A failure is told once: its box's closing activates the window and repaints the grid, which
// ask again; the same failure then leaves the grid as it is until an answer comes through.
void TPolypadForm::AskGridAccess()
{
    try {
        UpdateGridAccess();
        FGridAccessFailure.clear();
    } catch (const std::exception& e) {
        if (FGridAccessFailure == e.what())
            return;
        FGridAccessFailure = e.what();
        throw;
    }
}

void TPolypadForm::SimpleGridGetDataValue(int dataCol, int dataRow, TGridValue& value)
{
    // Asked once per change, not per painted cell.
    if (FGridAccessStale) {
        FGridAccessStale = false;
        AskGridAccess();
    }
    const TTableColumnKind kind = KindOfCaption(SimpleGrid->Columns().Items(dataCol).Caption());
    if (kind == ckNone)
        return;
    const std::int32_t row = EnsureRow(dataRow);
    auto number = [&](double v, bool defined) {
        if (defined)
            value = TGridValue::Float(RoundToDigits(v));
    };
    auto text = [&](const std::string& t) {
        if (t != "null")
            value = TGridValue::String(t);
    };
    switch (kind) {
    case ckPointNumber: value = TGridValue::Integer(row + 1); break;
    case ckX: number(FTable->GetX(row), true); break;
    case ckY: number(FTable->GetY(row), true); break;
    case ckEdgeLength: {
        const double length = FTable->GetEdgeLength(row);
        number(length, length != -1);
        break;
    }
    case ckLeftAngle: text(FTable->GetLeftAngleText(row)); break;
    case ckRightAngle: text(FTable->GetRightAngleText(row)); break;
    case ckDirectionAngle: text(FTable->GetDirectionAngleText(row)); break;
    case ckArcConvexity: {
        const double convexity = FTable->GetArcConvexity(row);
        number(convexity, convexity != 0);
        break;
    }
    case ckArcCenterX: {
        const double x = FTable->GetArcCenterX(row);
        number(x, x != -1);
        break;
    }
    case ckArcCenterY: {
        const double y = FTable->GetArcCenterY(row);
        number(y, y != -1);
        break;
    }
    case ckArcRadius: {
        const double r = FTable->GetArcRadius(row);
        number(r, r != -1);
        break;
    }
    default: break;
    }
}

void TPolypadForm::SimpleGridSetDataValue(int dataCol, int dataRow, const TGridValue& value)
{
    const TTableColumnKind kind = KindOfCaption(SimpleGrid->Columns().Items(dataCol).Caption());
    const std::int32_t countBefore = FTable->Count();
    const std::int32_t row = EnsureRow(dataRow);
    const TTableCell cell{row, dataCol};
    const std::array<std::int32_t, 2> moved = FTable->RowsMovedByCell(kind, row);
    // The rows the cell moves are the only ones whose edges the figures sum again.
    std::vector<TFiguresChanges::TRange> movedRuns;
    for (const std::int32_t r : moved)
        if (r >= 0)
            movedRuns.push_back({r, 1});
    const auto expected = FFiguresChanges.Expect(movedRuns);
    switch (kind) {
    case ckX: case ckY: case ckEdgeLength: case ckArcConvexity: case ckArcCenterX: case ckArcCenterY:
        FHistory->EditCell(kind, row, value.AsFloat(), cell, cell);
        break;
    case ckLeftAngle: case ckRightAngle: case ckDirectionAngle:
        FHistory->EditCell(kind, row, ParseDegrees(CleanDegreesText(value.AsText())), cell, cell);
        break;
    default: break;
    }
    if (FTable->Count() == countBefore) {
        InvalidateRowsAround(moved);
        // The cell's own row, and the editor loaded once with what it shows now.
        SimpleGrid->InvalidateData(-1, row);
    } else
        SimpleGrid->InvalidateData(-1, -1);
    FModified = true;
}

void TPolypadForm::InvalidateRowsAround(const std::array<std::int32_t, 2>& rows)
{
    // A moved vertex changes the lengths, angles and arcs of its own row and its neighbours'
    // (across the closing edge too); repainting only those keeps a typed cell cheap. Row 0's
    // arc runs from the last vertex even in an open contour, so the wrap is always taken.
    // The editor is not loaded here: the caller syncs the current cell once.
    const std::int32_t n = FTable->Count();
    for (const std::int32_t moved : rows) {
        if (moved < 0)
            continue;
        for (std::int32_t r = moved - 1; r <= moved + 1; ++r) {
            if (r >= 0 && r < n)
                SimpleGrid->InvalidateDataRow(r);
            else if (n > 0)
                SimpleGrid->InvalidateDataRow((r + n) % n);
        }
    }
}

void TPolypadForm::SimpleGridDataCellSelect()
{
    if (FVertexHint)
        UpdateVertexMarker();
    UpdatePositionAction();
}

void TPolypadForm::DigitsComboBoxChange()
{
    FDigits = std::clamp(DigitsComboBox->ItemIndex(), 0, kMaxDigits);
    SimpleGrid->InvalidateData(-1, -1);
    UpdateFigures();
}

// ---- the contour's figures --------------------------------------------------------------------

void TPolypadForm::UpdateFigures()
{
    if (!FTable || !MainStatusBar)
        return;
    const std::vector<TVertexRecord>& rows = FTable->ContourPart().Vertices;
    FFiguresChanges.ApplyTo(FFiguresTree, rows, FTable->Closed());
    FFiguresText = FormatFiguresLine(FFiguresTree.Figures(rows), FDigits, DecimalSeparator());
    LayoutStatusPanels();
}

void TPolypadForm::LayoutStatusPanels()
{
    if (!MainStatusBar)
        return;
    // The bar's outer border and the gap between panels are nobody's text.
    int borders[3] = {};
    ::SendMessageW(MainStatusBar->Handle(), SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
    const TStatusPanels panels =
        ArrangeStatusPanels(FFiguresText, ClientRect().right - borders[0] - borders[2],
                            [&](const std::string& text) { return MainStatusBar->TextWidth(text); });
    MainStatusBar->SetPanels({panels.HintWidth, -1});
    if (MainStatusBar->PanelText(1) != panels.Figures)
        MainStatusBar->SetPanelText(1, panels.Figures);
}

void TPolypadForm::CopySummaryActionExecute() { FClipboard->SetText(Widen(FFiguresText)); }

void TPolypadForm::CatalogueActionExecute()
{
    if (!FTable->Closed()) {
        Warn(kCatalogueOpenContourText);
        return;
    }
    std::vector<TVertexRecord> rows;
    for (std::int32_t i = 0; i < FTable->Count(); ++i)
        rows.push_back({FTable->GetX(i), FTable->GetY(i), FTable->GetArcConvexity(i)});
    FCatalogueDialog.reset();
    FCatalogueDialog = std::make_unique<TCatalogueDialog>(Handle(), Handle(), std::move(rows),
                                                          std::make_unique<THostSettingsStore>(FHost.get()),
                                                          DecimalSeparator());
}

void TPolypadForm::AdjustTraverseActionExecute() { AdjustTableTraverse(TClosureRule::Compass); }

void TPolypadForm::AdjustTraverseTransitActionExecute() { AdjustTableTraverse(TClosureRule::Transit); }

void TPolypadForm::AdjustTableTraverse(TClosureRule rule)
{
    if (!FEditingMode)
        return;
    const TTableCell cell = CurrentCell();
    try {
        FHistory->ReplaceAllBy(TTableEdit::teAdjust, [&] { AdjustTraverse(*FTable, rule); }, cell,
                               {std::min(cell.Row, FTable->Count() - 2), cell.Col});
    } catch (const EAdjustmentRefused& e) {
        Warn(e.what());
        return;
    }
    SimpleGrid->SetDataRowCount(FTable->Count());
    SimpleGrid->InvalidateData(-1, -1);
    FModified = true;
    UpdateClosedAction();
    UpdateActions();
}

void TPolypadForm::PasteCoursesActionExecute()
{
    if (!FEditingMode)
        return;
    // The courses go after the current vertex; into an empty table after the start vertex,
    // which the text then has to give.
    const bool empty = FTable->Count() == 0;
    const TTableCell cell = CurrentCell();
    const std::int32_t from = cell.Row >= 0 && cell.Row < FTable->Count() ? cell.Row : FTable->Count() - 1;
    std::vector<TVertexRecord> rows;
    try {
        const TCourseList list = ReadCourses(Narrow(FClipboard->GetText()), DecimalSeparator(), empty, empty);
        if (empty)
            rows.push_back({list.Start->X, list.Start->Y, 0});
        const std::vector<TVertexRecord> traverse =
            TraverseVertices(empty ? *list.Start : FTable->GetVertex(from), list.Courses);
        rows.insert(rows.end(), traverse.begin(), traverse.end());
    } catch (const ECourseError& e) {
        Warn(e.what());
        return;
    }
    const std::int32_t at = empty ? 0 : from + 1;
    const std::int32_t last = at + static_cast<std::int32_t>(rows.size()) - 1;
    const int col = cell.Col >= 0 ? cell.Col : SimpleGrid->DataCol();
    FHistory->ReplaceAllBy(TTableEdit::teCourses, [&] { FTable->ReplaceRows(at, 0, rows, FTable->Closed()); }, cell,
                           {last, col});
    SimpleGrid->SetDataRowCount(FTable->Count());
    SimpleGrid->MoveToDataCell(col, last);
    SimpleGrid->InvalidateData(-1, -1);
    FModified = true;
    UpdateActions();
}

void TPolypadForm::TraverseFromAnglesActionExecute()
{
    if (!FEditingMode)
        return;
    if (!TraverseDialog) {
        TraverseDialog = std::make_unique<TTraverseDialog>(
            ::GetAncestor(Handle(), GA_ROOT), *FClipboard, DecimalSeparator(),
            [this] { return std::make_unique<THostSettingsStore>(FHost.get()); });
        TraverseDialog->OnApply = [this](const TTraverseSheet& sheet) { ApplyTraverseSheet(sheet); };
    }
    TraverseDialog->Open();
}

void TPolypadForm::ApplyTraverseSheet(const TTraverseSheet& sheet)
{
    if (!FEditingMode)
        return;
    std::vector<TVertexRecord> rows;
    for (const TFloatPoint& p : sheet.Vertices)
        rows.push_back({p.X, p.Y, 0});
    const TTableCell cell = CurrentCell();
    FHistory->ReplaceAll(TTableEdit::teTraverse, rows, sheet.Kind == TTraverseKind::Closed, cell, {0, cell.Col});
    SimpleGrid->SetDataRowCount(FTable->Count());
    SelectFirstRow();
    SimpleGrid->InvalidateData(-1, -1);
    FModified = true;
    UpdateClosedAction();
    UpdateActions();
}

int TPolypadForm::ColumnInsertPosition(TTableColumnKind kind)
{
    TSimpleGridColumns& columns = SimpleGrid->Columns();
    for (int i = 0; i < columns.Count(); ++i)
        if (KindOfCaption(columns.Items(i).Caption()) > kind)
            return i;
    return columns.Count();
}

int TPolypadForm::FindGridColumn(const std::string& caption)
{
    TSimpleGridColumns& columns = SimpleGrid->Columns();
    for (int i = 0; i < columns.Count(); ++i)
        if (columns.Items(i).Caption() == caption)
            return i;
    return -1;
}

void TPolypadForm::ShowColumn(TTableColumnKind kind)
{
    const TTableColumn& source = (*FColumns)[kind];
    const int position = ColumnInsertPosition(kind);
    TSimpleGridColumns& columns = SimpleGrid->Columns();
    // InsertColumn moves the new column only onto an existing position; at the end it is added.
    TSimpleGridColumn& column = position < columns.Count() ? columns.InsertColumn(position) : columns.Add();
    column.SetCaption(source.Caption);
    column.SetWidth(source.Width);
    column.SetDataType(source.DataType);
    if (IsAngleKind(kind))
        column.SetTextEditMask(kDegreesEditMask);
    if (source.DataType == gdtBoolean)
        column.SetDropDown(gddValueList);
    column.SetTextEditable(!NeverEditable(kind) && FEditingMode);
}

void TPolypadForm::ShowHideColumn(TTableColumnKind kind)
{
    if ((*FColumns)[kind].Visible) {
        ShowColumn(kind);
    } else {
        const int position = FindGridColumn((*FColumns)[kind].Caption);
        if (position < 0)
            throw ERangeError();
        // Shown again, the column comes back as wide as the user left it.
        (*FColumns)[kind].Width = SimpleGrid->Columns().Items(position).Width();
        SimpleGrid->Columns().Delete(position);
    }
    SimpleGrid->SyncCurrentCell();
}

void TPolypadForm::BuildColumns()
{
    SimpleGrid->Columns().BeginUpdate();
    try {
        for (int i = 0; i < kTableColumnCount; ++i)
            if ((*FColumns)[static_cast<TTableColumnKind>(i)].Visible)
                ShowColumn(static_cast<TTableColumnKind>(i));
    } catch (...) {
        SimpleGrid->Columns().EndUpdate();
        throw;
    }
    SimpleGrid->Columns().EndUpdate();
}

void TPolypadForm::ApplyColumnActions()
{
    const TTableColumns& c = *FColumns;
    PointNumberColumnAction->SetChecked(c[ckPointNumber].Visible);
    CoordinatesColumnAction->SetChecked(c[ckX].Visible);
    CoordinatesColumnAction->SetChecked(c[ckY].Visible);
    EdgeLengthColumnAction->SetChecked(c[ckEdgeLength].Visible);
    LeftAngleColumnAction->SetChecked(c[ckLeftAngle].Visible);
    RightAngleColumnAction->SetChecked(c[ckRightAngle].Visible);
    DirectionAngleColumnAction->SetChecked(c[ckDirectionAngle].Visible);
    ArcConvexityColumnAction->SetChecked(c[ckArcConvexity].Visible);
    ArcCenterColumnAction->SetChecked(c[ckArcCenterX].Visible);
    ArcCenterColumnAction->SetChecked(c[ckArcCenterY].Visible);
    ArcRadiusColumnAction->SetChecked(c[ckArcRadius].Visible);
    // A pair stored half visible follows its second kind, so that grid and mark agree.
    (*FColumns)[ckX].Visible = (*FColumns)[ckY].Visible;
    (*FColumns)[ckArcCenterX].Visible = (*FColumns)[ckArcCenterY].Visible;
}

void TPolypadForm::HideUnhideColumnActionExecute()
{
    DropDownButtonMenu(*HideUnhideColumnAction, HideUnhideColumnPopupMenu);
}

// ---- rows -----------------------------------------------------------------------------------

void TPolypadForm::AddZeroRow() { FTable->AddRow(TFloatPoint{0, 0}, 0); }

void TPolypadForm::SelectFirstRow() { SimpleGrid->MoveToDataCell(SimpleGrid->DataCol(), 0); }

void TPolypadForm::AddRowActionExecute()
{
    if (!FEditingMode)
        return;
    // The row exists before the grid shows it: a grid that was empty makes its cell current.
    const TTableCell cell = CurrentCell();
    FHistory->AddRow(TFloatPoint{0, 0}, 0, cell, cell.Row < 0 ? TTableCell{0, cell.Col} : cell);
    SimpleGrid->SetDataRowCount(SimpleGrid->DataRowCount() + 1);
    FModified = true;
    SimpleGrid->SyncCurrentCell();
    UpdateActions();
}

void TPolypadForm::InsertRowActionExecute()
{
    if (!FEditingMode)
        return;
    const int r = SimpleGrid->DataRow();
    const TTableCell cell = CurrentCell();
    FHistory->InsertRow(r == -1 ? 0 : r, cell, {r + 1, cell.Col});
    SimpleGrid->SetDataRowCount(SimpleGrid->DataRowCount() + 1);
    SimpleGrid->MoveToDataCell(SimpleGrid->DataCol(), r + 1);
    FModified = true;
    SimpleGrid->SyncCurrentCell();
    UpdateActions();
}

void TPolypadForm::DeleteRowActionExecute()
{
    if (!FEditingMode)
        return;
    const int r = SimpleGrid->DataRow();
    if (r == -1 || r >= FTable->Count())
        return;
    const TTableCell cell = CurrentCell();
    FHistory->DeleteRow(r, cell, {std::min(r, FTable->Count() - 2), cell.Col});
    SimpleGrid->SetDataRowCount(SimpleGrid->DataRowCount() - 1);
    FModified = true;
    UpdateActions();
    SimpleGrid->SyncCurrentCell();
}

bool TPolypadForm::ConfirmClear()
{
    if (!FModified)
        return true;
    if (SimpleGrid->DataRowCount() == 0)
        return false;
    return Confirm(kConfirmClearText);
}

void TPolypadForm::ClearRows()
{
    const TTableCell cell = CurrentCell();
    FHistory->ClearTable(cell, {-1, cell.Col});
    SimpleGrid->SetDataRowCount(0);
    FModified = false;
    SetFilledParts(0);
    UpdateClosedAction();
}

void TPolypadForm::ClearTableActionExecute()
{
    if (!FEditingMode)
        return;
    if (ConfirmClear())
        ClearRows();
    UpdateActions();
}

void TPolypadForm::RowUpActionExecute()
{
    if (!FEditingMode)
        return;
    const int r = SimpleGrid->DataRow();
    if (r == -1 || r >= FTable->Count())
        return;
    const TTableCell cell = CurrentCell();
    FHistory->MoveRowUp(r, cell, {std::max(r - 1, 0), cell.Col});
    SimpleGrid->MoveToDataCell(SimpleGrid->DataCol(), std::max(r - 1, 0));
    FModified = true;
    SimpleGrid->InvalidateData(-1, -1);
}

void TPolypadForm::RowDownActionExecute()
{
    if (!FEditingMode)
        return;
    const int r = SimpleGrid->DataRow();
    if (r == -1 || r >= FTable->Count())
        return;
    const TTableCell cell = CurrentCell();
    FHistory->MoveRowDown(r, cell, {std::min(r + 1, FTable->Count() - 1), cell.Col});
    SimpleGrid->MoveToDataCell(SimpleGrid->DataCol(), std::min(r + 1, SimpleGrid->DataRowCount() - 1));
    FModified = true;
    SimpleGrid->InvalidateData(-1, -1);
}

void TPolypadForm::ContourPartClosedActionExecute()
{
    if (!FEditingMode)
        return;
    const TTableCell cell = CurrentCell();
    FHistory->SetClosed(!FTable->Closed(), cell, cell);
    UpdateClosedAction();
}

void TPolypadForm::TablePopupMenuPopup()
{
    ColumnsItems->Clear();
    ColumnsItems->CopyItemsFrom(HideUnhideColumnPopupMenu);
}

void TPolypadForm::SimpleGridKeyDown(UINT& key, TShiftState shift)
{
    // The commands' shortcuts come first, as a form's do; the key then goes no further. A
    // disabled command leaves the key to the grid.
    TAction* action = Actions.FindShortCut({key, shift.Ctrl, shift.Shift, shift.Alt});
    if ((action == UndoAction || action == RedoAction) && action && SimpleGrid->EditorMode() &&
        SimpleGrid->InplaceEditor() &&
        ::SendMessageW(SimpleGrid->InplaceEditor()->Handle(), EM_GETMODIFY, 0, 0) != 0 &&
        SimpleGrid->Editor().Text != SimpleGrid->LoadedText()) {
        // Typing in the cell's editor is the editor's own to take back first, as in any edit
        // box: undo gives it up (as Esc does), and the table's undo and redo wait until it is
        // applied or gone, instead of throwing it away.
        key = 0;
        if (action == UndoAction) {
            UINT escape = VK_ESCAPE;
            SimpleGrid->KeyDown(escape, TShiftState{});
        }
        return;
    }
    if (action && action->Enabled()) {
        key = 0;
        action->Execute();
        return;
    }
    const bool none = shift.None();
    const bool ctrl = shift.Ctrl && !shift.Shift && !shift.Alt;
    const bool onLastRow = SimpleGrid->DataRow() == SimpleGrid->DataRowCount() - 1;
    const UINT pressed = key;
    if (pressed == VK_DOWN && none && onLastRow) {
        SimpleGrid->ApplyEditing();
        AddRowActionExecute();
    } else if (pressed == VK_RETURN && none && onLastRow &&
               SimpleGrid->DataCol() == SimpleGrid->Columns().Count() - 1) {
        SimpleGrid->ApplyEditing();
        AddRowActionExecute();
    } else if (pressed == VK_ESCAPE && none && SimpleGrid->EditorMode()) {
        SimpleGrid->InvalidateData(SimpleGrid->DataCol(), SimpleGrid->DataRow());
    } else if (FEditingMode && RunRowKeyCommand(pressed, none, ctrl)) {
        // The row command took the key: going on, it would move the cursor once more or edit
        // the cell that has taken the place of the one it was typed into.
        key = 0;
        return;
    }
    if (pressed == VK_RETURN && none) {
        SimpleGrigSetFocusTimer.SetEnabled(true);
        if (FFocusWindow)
            ::PostMessageW(FFocusWindow->Handle(), WM_FOCUSGRID, 0, 0);
    }
}

bool TPolypadForm::RunRowKeyCommand(UINT key, bool none, bool ctrl)
{
    if (key == VK_INSERT && none)
        InsertRowActionExecute();
    else if (key == VK_UP && ctrl)
        RowUpActionExecute();
    else if (key == VK_DOWN && ctrl)
        RowDownActionExecute();
    else if (key == VK_DELETE && ctrl)
        DeleteRowActionExecute();
    else
        return false;
    return true;
}

// ---- modes ----------------------------------------------------------------------------------

void TPolypadForm::UpdateSynchronizationHint()
{
    SynchronizationAction->SetHint(FSynchronizationMode ? "Режим синхронизации включен"
                                                        : "Режим синхронизации отключен");
}

void TPolypadForm::UpdateEditingHint()
{
    EditingModeAction->SetHint(FEditingMode ? "Режим редактирования включен" : "Режим редактирования отключен");
}

void TPolypadForm::UpdatePainterHint()
{
    PainterModeAction->SetHint(PainterModeAction->Checked() ? "Режим отрисовки контура включен"
                                                            : "Режим отрисовки контура отключен");
}

void TPolypadForm::UpdateModeHints()
{
    UpdateSynchronizationHint();
    UpdateEditingHint();
    UpdatePainterHint();
}

void TPolypadForm::EditingModeActionExecute()
{
    EditingModeAction->SetChecked(!EditingModeAction->Checked());
    FEditingMode = EditingModeAction->Checked();
    SynchronizationAction->SetEnabled(!FEditingMode);
    // The traverse dialog edits the table: it goes with the editing mode.
    if (!FEditingMode && TraverseDialog)
        TraverseDialog->Show(false);
    UpdateEditingHint();
    UpdateActions();
    UpdateColumnEditing();
}

void TPolypadForm::SynchronizationActionExecute()
{
    SynchronizationAction->SetChecked(!SynchronizationAction->Checked());
    FSynchronizationMode = SynchronizationAction->Checked();
    UpdateSynchronizationHint();
    SynchronizeWithMap();
}

void TPolypadForm::PainterModeActionExecute()
{
    PainterModeAction->SetChecked(!PainterModeAction->Checked());
    FHintManager->SetPainting(PainterModeAction->Checked());
    UpdatePainterHint();
    // The outline was left as it was while painting was off.
    if (FHintManager->Painting())
        PostOutlineSync();
}

void TPolypadForm::UpdateActions()
{
    for (TAction* a : {FillTableFromMapObjectAction, UpdateMapObjectAction, CreateMapObjectAction,
                       AddToMapObjectAction, ClearTableAction, AddRowAction, InsertRowAction, DeleteRowAction,
                       RowUpAction, RowDownAction, ContourPartClosedAction, AdjustTraverseAction,
                       AdjustTraverseTransitAction, PasteCoursesAction, TraverseFromAnglesAction})
        a->SetEnabled(FEditingMode);
    UpdatePositionAction();
    FitToWindowAction->SetEnabled(FTable->Count() > 0);
    UpdateUndoActions();
}

void TPolypadForm::UpdatePositionAction()
{
    // "Позиционировать вершину" needs a current row.
    PositionAction->SetEnabled(FTable->Count() > 0 && SimpleGrid->DataRow() != -1);
}

void TPolypadForm::UpdateUndoActions()
{
    if (!FHistory)
        return;
    UndoAction->SetEnabled(FEditingMode && FHistory->CanUndo());
    RedoAction->SetEnabled(FEditingMode && FHistory->CanRedo());
    UndoAction->SetHint(FHistory->UndoText());
    RedoAction->SetHint(FHistory->RedoText());
}

TTableCell TPolypadForm::CurrentCell() const { return {SimpleGrid->DataRow(), SimpleGrid->DataCol()}; }

void TPolypadForm::UndoActionExecute() { StepThroughHistory(false); }

void TPolypadForm::RedoActionExecute() { StepThroughHistory(true); }

void TPolypadForm::StepThroughHistory(bool redo)
{
    if (!FEditingMode)
        return;
    const std::vector<TTableHistory::TRowRange> runs = FHistory->RowsRewrittenBy(redo);
    std::optional<TTableCell> cell;
    const long parts = FilledParts();
    {
        const auto expected = FFiguresChanges.Expect(FiguresRuns(runs));
        cell = redo ? FHistory->Redo() : FHistory->Undo();
    }
    if (cell)
        ShowRowsOfHistory(*cell, runs);
    // The rows came back with what they were filled from: its note too.
    if (FilledParts() != parts)
        ShowStatusHint(FilledPartsNote(FilledParts()));
}

void TPolypadForm::ShowRowsOfHistory(TTableCell cell, const std::vector<TTableHistory::TRowRange>& runs)
{
    SimpleGrid->SetDataRowCount(FTable->Count());
    const TTableCell before = CurrentCell();
    if (cell.Row >= 0)
        SimpleGrid->MoveToDataCell(cell.Col >= 0 ? cell.Col : SimpleGrid->DataCol(), cell.Row);
    // A move to another cell has loaded it, the vertex marker and the editor, as they are now.
    const TTableCell after = CurrentCell();
    const bool moved = before.Row != after.Row || before.Col != after.Col;
    // Rows rewritten in place change their own cells and their neighbours' derived ones; a few
    // are repainted alone, many (or rows added or removed) with the whole grid.
    std::int32_t rewritten = 0;
    for (const TTableHistory::TRowRange& run : runs)
        rewritten += run.Count;
    if (runs.empty() || rewritten > kRowsRepaintedAlone) {
        SimpleGrid->InvalidateData(-1, -1);
    } else {
        // The current cell is synced below.
        for (const TTableHistory::TRowRange& run : runs) {
            for (std::int32_t r = run.Start; r < run.Start + run.Count; ++r)
                SimpleGrid->InvalidateDataRow(r);
            InvalidateRowsAround({run.Start, run.Start + run.Count - 1});
        }
    }
    if (!moved)
        SimpleGrid->SyncCurrentCell();
    FModified = !FHistory->IsClean();
    UpdateClosedAction();
    UpdateActions();
}

void TPolypadForm::UpdateColumnEditing()
{
    TSimpleGridColumns& columns = SimpleGrid->Columns();
    for (int i = 0; i < columns.Count(); ++i) {
        TSimpleGridColumn& column = columns.Items(i);
        column.SetTextEditable(!NeverEditable(KindOfCaption(column.Caption())) && FEditingMode);
    }
    SimpleGrid->SyncCurrentCell();
}

void TPolypadForm::SynchronizeWithMap()
{
    FGridAccessStale = true;
    if (!FSynchronizationMode || FEditingMode)
        return;
    const auto selection = HostObject<IHostSelection>("IHostApplication.Selection",
                                                      [&](IHostSelection** s) { return FHost->get_Selection(s); });
    long count = 0;
    ThrowIfFailed(selection->get_Count(&count));
    if (count == 0)
        return;
    const int row = SimpleGrid->DataRow();
    FillFromMap(false);
    SimpleGrid->SetDataRow(row);
    UpdateActions();
}

IHostSurfaceTransform* TPolypadForm::MapTransform(TComPtr<IHostSurfaceTransform>& holder) const
{
    const auto mainWindow = HostObject<IHostMainWindow>(
        "IHostApplication.MainWindow", [&](IHostMainWindow** w) { return FHost->get_MainWindow(w); });
    const auto mapWindow = HostObject<IHostMapWindow>(
        "IHostMainWindow.MapWindow", [&](IHostMapWindow** w) { return mainWindow->get_MapWindow(w); });
    const auto surface =
        HostObject<IHostSurface>("IHostMapWindow.Surface", [&](IHostSurface** s) { return mapWindow->get_Surface(s); });
    holder = HostObject<IHostSurfaceTransform>(
        "IHostSurface.Transform", [&](IHostSurfaceTransform** t) { return surface->get_Transform(t); });
    return holder.get();
}

double TPolypadForm::MapScale() const
{
    TComPtr<IHostSurfaceTransform> transform;
    double scale = 0;
    ThrowIfFailed(MapTransform(transform)->get_Scale(&scale));
    return scale;
}

TComPtr<IHostNavigator> TPolypadForm::MapNavigator() const
{
    const auto mainWindow = HostObject<IHostMainWindow>(
        "IHostApplication.MainWindow", [&](IHostMainWindow** w) { return FHost->get_MainWindow(w); });
    const auto mapWindow = HostObject<IHostMapWindow>(
        "IHostMainWindow.MapWindow", [&](IHostMapWindow** w) { return mainWindow->get_MapWindow(w); });
    return HostObject<IHostNavigator>("IHostMapWindow.Navigator",
                                      [&](IHostNavigator** n) { return mapWindow->get_Navigator(n); });
}

void TPolypadForm::PositionActionExecute()
{
    const int row = SimpleGrid->DataRow();
    if (FTable->Count() == 0 || row == -1 || row >= FTable->Count())
        return;
    const double scale = MapScale();
    ThrowIfFailed(MapNavigator()->CenterAt(FTable->GetX(row), FTable->GetY(row), scale));
}

void TPolypadForm::FitToWindowActionExecute()
{
    if (FTable->Count() == 0)
        return;
    ContourParts::TContour contour;
    contour.AddPart(&FTable->ContourPart());
    TFloatRect r{};
    ContourParts::ContourBounds(contour, r);
    RequireFiniteRect(r); // an arc's bounds can overflow where its vertices do not
    ThrowIfFailed(MapNavigator()->ShowRect(r.X1, r.Y1, r.X2, r.Y2));
}

void TPolypadForm::EraseOverlay()
{
    if (FHintManager)
        FHintManager->HideAll();
}

void TPolypadForm::PostTableChanged()
{
    FFiguresChanges.Announced();
    FTableDirty = true;
    PostOutlineSync();
}

void TPolypadForm::PostOutlineSync()
{
    // One pending message stands for any number of changes: it reads the rows as they are then.
    if (FTableChangePending || !FTableWindow)
        return;
    if (::PostMessageW(FTableWindow->Handle(), WM_TABLECHANGED, 0, 0))
        FTableChangePending = true;
}

void TPolypadForm::RefreshContourHint()
{
    // With painter mode off nothing is drawn; turning it on asks for the outline again.
    if (!FHintManager->Painting()) {
        ++FContourHintRebuilds;
        return;
    }
    const ContourParts::TContourPart& rows = FTable->ContourPart();
    if (FOutline->Sync(rows.Vertices, rows.Closed, FOutlineSliceBudget))
        ++FContourHintRebuilds;
    else
        PostOutlineSync();
}

void TPolypadForm::UpdateVertexMarker()
{
    FVertexHint->BeginUpdate();
    try {
        const int row = SimpleGrid->DataRow();
        if (row == -1 || row >= FTable->Count())
            ThrowIfFailed(FVertexHint->Contour->Clear());
        else
            BuildVertexMarker(FTable->GetVertex(row), FVertexHint->Contour.get());
    } catch (...) {
        FVertexHint->EndUpdate();
        throw;
    }
    FVertexHint->EndUpdate();
    FVertexHint->Refresh();
}

void TPolypadForm::BuildVertexMarker(TFloatPoint p, IHostContour* contour)
{
    ThrowIfFailed(contour->Clear());
    // A millimetre at 96 DPI, as many pixels more as the screen has.
    const double d = 0.001 / MapScale() * FScreen.Dpi() / kDesignDpi;
    TComPtr<IHostContourPart> part;
    ThrowIfFailed(contour->InsertPart(-1, part.put()));
    RequireHostObject(part, "IHostContour.InsertPart");
    const TFloatPoint corners[] = {
        {p.X - d, p.Y - d}, {p.X - d, p.Y + d}, {p.X + d, p.Y + d}, {p.X + d, p.Y - d}, {p.X - d, p.Y - d}};
    for (const TFloatPoint& c : corners)
        ThrowIfFailed(part->InsertVertex(-1, c.X, c.Y, 0));
}

void TPolypadForm::RepaintOverlay(IHostSurface* surface)
{
    if (!surface)
        return; // nothing can be drawn, so nothing counts as drawn or erased
    FGridAccessStale = true; // the view changed
    const TComPtr<IHostSurface> held(surface);
    PostOutlineSync();
    UpdateVertexMarker();
    FHintManager->DrawAll(held.get());
}
