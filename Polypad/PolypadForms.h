// TPolypadForm, the editor window: the tool bar of commands, the status bar and the vertex grid
// bound to the coordinate table. The module builds it floating (owned by the Host's main window)
// or docked (a child of a Host pane) and calls Initialize; the window reads its settings from the
// Host, follows the selection in synchronisation mode, draws the table's outline over the map in
// painter mode, and writes the table back into the map.
//
// The window borrows the table (the module owns it) and owns everything else: grid, column set,
// hint manager with its two hints, clipboard object and its two hidden message windows. The
// components and handlers are public, as a form's are, so that the module and the tests reach
// them by name.
#pragma once

#include "CoreLib/RefObjects.h"
#include "Polypad/CatalogueDialog.h"
#include "Polypad/ComUtils.h"
#include "Polypad/ContourFigures.h"
#include "Polypad/Coordinates.h"
#include "Polypad/FiguresTree.h"
#include "Polypad/FormSettings.h"
#include "Polypad/MapObjects.h"
#include "Polypad/OrvexPaintHints.h"
#include "Polypad/OutlineOverlay.h"
#include "Polypad/DelayedCopy.h"
#include "Polypad/OxClipboard.h"
#include "Polypad/TableCopy.h"
#include "Polypad/TableHistory.h"
#include "Polypad/TraverseDialog.h"
#include "controls/DpiScale.h"
#include "controls/FormUtils.h"
#include "controls/SimpleGrids.h"

#include "HostTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

inline constexpr UINT WM_FOCUSGRID = WM_USER + 4;
// The layout-switch request, posted to the module's notification window (wParam: editing mode).
inline constexpr UINT WM_SWITCHFORMTYPE = WM_USER + 1;
// The framework's deferred release: the window destroys itself when this arrives.
inline constexpr UINT CM_RELEASE = 0xB021;

// Wide enough for the whole tool bar on one row; in 96-DPI units, like every designed size here.
inline constexpr int kFormClientWidth = 637;
inline constexpr int kFormClientHeight = 340;
inline constexpr int kMaxDigits = 7;

inline constexpr const char* kFormCaption = "Полипад";
inline constexpr const char* kNoViewRightText = "У вас нет прав на просмотр содержимого карты или слоя";
inline constexpr const char* kConfirmClearText = "Вы уверены, что хотите очистить таблицу";

// The Host's settings store (section 1, flags 0), fetched once per use.
class THostSettingsStore : public TSettingsStore {
public:
    explicit THostSettingsStore(IHostApplication* host);
    std::string Read(const std::string& key, const std::string& defaultValue) override;
    void Write(const std::string& key, const std::string& value) override;

private:
    TComPtr<IHostSettings> FSettings;
};

class TPolypadForm : public TNonModalForm, private TTableNotifyTarget {
public:
    // Creates the window hidden: a sizeable window owned by parentWindow, or a borderless child
    // of it when docked.
    TPolypadForm(HWND parentWindow, bool docked);
    ~TPolypadForm() override;

    void Initialize(IHostApplication* host, TTable* table, bool keepEditing, bool docked, HWND moduleWindow);
    // The module's destroy notification; runs last in the destructor.
    std::function<void()> OnDestroy;
    // The module is to destroy the window while a message box is open, with the code that showed
    // the box still on the stack: the window is hidden and leaves the table and the map alone
    // from now on, and a box of its own, once it returns, abandons its command (EAbort). The
    // module deletes the window after the box.
    void RequestDestroyAfterBoxes();

    // ---- components --------------------------------------------------------------------------
    TUniqueImageList ToolBarImageList;
    std::unique_ptr<TToolBar> ToolBar;
    std::unique_ptr<TComboBox> DigitsComboBox;
    std::unique_ptr<TStatusBar> MainStatusBar;
    std::unique_ptr<TPanel> Panel1;
    std::unique_ptr<TSimpleGrid> SimpleGrid;
    TPopupMenu HideUnhideColumnPopupMenu;
    TPopupMenu TablePopupMenu;
    TPopupMenu* ColumnsItems = nullptr; // the "Столбец" submenu of TablePopupMenu
    TPopupMenu CreateMapObjectPopupMenu;
    TPopupMenu AddToMapObjectPopupMenu;
    TTimer SimpleGrigSetFocusTimer{5};

    TAction* FillTableFromMapObjectAction = nullptr;
    TAction* CreateMapObjectAction = nullptr;
    TAction* AddToMapObjectAction = nullptr;
    TAction* UpdateMapObjectAction = nullptr;
    TAction* CopyToClipboardAction = nullptr;
    TAction* PasteFromClipboardAction = nullptr;
    TAction* InsertRowAction = nullptr;
    TAction* DeleteRowAction = nullptr;
    TAction* ClearTableAction = nullptr;
    TAction* AddRowAction = nullptr;
    TAction* HideUnhideColumnAction = nullptr;
    TAction* ContourPartClosedAction = nullptr;
    TAction* SwitchFormTypeAction = nullptr;
    TAction* RowUpAction = nullptr;
    TAction* RowDownAction = nullptr;
    TAction* UndoAction = nullptr;
    TAction* RedoAction = nullptr;
    TAction* EditingModeAction = nullptr;
    TAction* SynchronizationAction = nullptr;
    TAction* PainterModeAction = nullptr;
    TAction* PositionAction = nullptr;
    TAction* CopySummaryAction = nullptr;
    TAction* AdjustTraverseAction = nullptr; // compass rule
    TAction* AdjustTraverseTransitAction = nullptr;
    TAction* PasteCoursesAction = nullptr;
    TAction* CatalogueAction = nullptr;
    TAction* TraverseFromAnglesAction = nullptr;
    // "Ход по углам…", made when first opened.
    std::unique_ptr<TTraverseDialog> TraverseDialog;
    TAction* FitToWindowAction = nullptr;

    TAction* PointNumberColumnAction = nullptr;
    TAction* CoordinatesColumnAction = nullptr;
    TAction* EdgeLengthColumnAction = nullptr;
    TAction* LeftAngleColumnAction = nullptr;
    TAction* RightAngleColumnAction = nullptr;
    TAction* DirectionAngleColumnAction = nullptr;
    TAction* ArcConvexityColumnAction = nullptr;
    TAction* ArcCenterColumnAction = nullptr;
    TAction* ArcRadiusColumnAction = nullptr;

    // ---- state -------------------------------------------------------------------------------
    TComPtr<IHostApplication> FHost;
    TTable* FTable = nullptr;
    std::unique_ptr<TTableColumns> FColumns;
    std::int32_t FDigits = kMaxDigits;
    std::unique_ptr<TOxClipboard> FClipboard;
    // The catalogue dialog last opened (its window gone once the user closed it).
    std::unique_ptr<TCatalogueDialog> FCatalogueDialog;
    std::unique_ptr<TDelayedCopy> FOfferedCopy; // the copy the clipboard holds until a program asks
    HWND FModuleWindow = nullptr;
    bool FSynchronizationMode = true;
    bool FEditingMode = false;
    bool FDocked = false;
    bool FModified = false;
    // Every change the user makes to the table, for Undo and Redo.
    std::unique_ptr<TTableHistory> FHistory;
    std::unique_ptr<TPaintHintManager> FHintManager;
    // The outline's hints belong to FHintManager, which outlives it.
    std::unique_ptr<TOutlineOverlay> FOutline;
    // Building outline pieces stops after this long in one message; the rest follows from the
    // next one, so that the window answers the user while a large new contour is drawn.
    std::chrono::steady_clock::duration FOutlineSliceBudget = std::chrono::milliseconds(30);
    TPaintHint* FVertexHint = nullptr;
    std::unique_ptr<TMessageWindow> FTableWindow;
    std::unique_ptr<TMessageWindow> FFocusWindow;

    // The screen's DPI when the window was built; its sizes follow it.
    const TDpiScale& Screen() const { return FScreen; }

    // Times the outline was brought in line with the table since the window was made (or found
    // nothing to draw, painter mode being off); a new contour may take several WM_TABLECHANGED.
    long ContourHintRebuilds() const { return FContourHintRebuilds; }

    // ---- lifecycle and settings --------------------------------------------------------------
    void SaveSettings();
    void LoadSettings();
    void LoadGridPosition();
    void UpdateGridAccess();
    void AskGridAccess();
    void ShowStatusHint(const std::string& text);
    // Notes how many parts the rows were filled from, in the status bar while more than one.
    void SetFilledParts(long parts);
    // The parts of the shape the rows were filled from; the history keeps it with the rows.
    long FilledParts() const { return FHistory ? FHistory->FilledParts() : 0; }
    bool Confirm(const std::string& text);
    // Insert, Ctrl+Up, Ctrl+Down, Ctrl+Delete; false for any other key.
    bool RunRowKeyCommand(UINT key, bool none, bool ctrl);
    void Warn(const std::string& text);
    void DropDownButtonMenu(TAction& buttonAction, TPopupMenu& menu);
    TBounds Bounds() const;
    void SetBounds(const TBounds& bounds);

    // ---- map object --------------------------------------------------------------------------
    void FillTableFromMapObjectActionExecute();
    void UpdateMapObjectActionExecute();
    void CreateMapObjectActionExecute();
    void AddToMapObjectActionExecute();
    void CreateMapObjectPopupMenuPopup();
    void AddToMapObjectPopupMenuPopup();

    // ---- clipboard ---------------------------------------------------------------------------
    void CopyToClipboardActionExecute();
    void PasteFromClipboardActionExecute();
    std::string BuildClipboardText() const;
    TColumnGroups VisibleColumnGroups() const;
    void RenderOfferedCopy(UINT format);
    void RenderOfferedCopyForGood();
    char DecimalSeparator() const;

    // ---- grid binding ------------------------------------------------------------------------
    void SimpleGridGetDataValue(int dataCol, int dataRow, TGridValue& value);
    void SimpleGridSetDataValue(int dataCol, int dataRow, const TGridValue& value);
    void SimpleGridDataCellSelect();
    void DigitsComboBoxChange();
    int ColumnInsertPosition(TTableColumnKind kind);
    int FindGridColumn(const std::string& caption);
    void ShowColumn(TTableColumnKind kind);
    void ShowHideColumn(TTableColumnKind kind);
    void BuildColumns();
    void ApplyColumnActions();
    void ToggleColumns(TAction& action, std::initializer_list<TTableColumnKind> kinds);
    void HideUnhideColumnActionExecute();
    double RoundToDigits(double v) const;
    std::int32_t EnsureRow(int dataRow);

    // ---- rows --------------------------------------------------------------------------------
    void AddRowActionExecute();
    void InsertRowActionExecute();
    void DeleteRowActionExecute();
    void ClearTableActionExecute();
    void RowUpActionExecute();
    void RowDownActionExecute();
    void UndoActionExecute();
    void RedoActionExecute();
    void CopySummaryActionExecute();
    void AdjustTraverseActionExecute();
    void AdjustTraverseTransitActionExecute();
    void AdjustTableTraverse(TClosureRule rule);
    void TraverseFromAnglesActionExecute();
    void ApplyTraverseSheet(const TTraverseSheet& sheet);
    void PasteCoursesActionExecute();
    void CatalogueActionExecute();
    // The figures of the contour in the status bar's right panel, for the table as it is now.
    void UpdateFigures();
    void LayoutStatusPanels();
    // The figures' line as the panel shows it.
    const std::string& FiguresText() const { return FFiguresText; }
    void ContourPartClosedActionExecute();
    // The closed command's mark, image and hint from the table.
    void UpdateClosedAction();
    void TablePopupMenuPopup();
    void SimpleGridKeyDown(UINT& key, TShiftState shift);
    void ClearRows();
    // The current cell as the history records it.
    TTableCell CurrentCell() const;
    // The grid, the commands and the edit mark after the history replaced rows; runs are the rows
    // it rewrote in place (empty: any number of rows changed).
    // Undoes (or redoes) one step, with the figures told which rows it rewrites.
    void StepThroughHistory(bool redo);
    void ShowRowsOfHistory(TTableCell cell, const std::vector<TTableHistory::TRowRange>& runs);
    void UpdateUndoActions();
    void UpdatePositionAction();
    // Fills the table from the selected object; a step of the history when the user asked for it
    // or when it replaces rows the user edited.
    void FillFromMap(bool userStep);
    bool ConfirmClear();
    void AddZeroRow();
    void SelectFirstRow();

    // ---- modes -------------------------------------------------------------------------------
    void EditingModeActionExecute();
    void SynchronizationActionExecute();
    void PainterModeActionExecute();
    void PositionActionExecute();
    void FitToWindowActionExecute();
    void SwitchFormTypeActionExecute();
    void UpdateActions();
    void UpdateColumnEditing();
    void UpdateModeHints();
    void UpdateSynchronizationHint();
    void UpdateEditingHint();
    void UpdatePainterHint();
    void SynchronizeWithMap();
    void RepaintOverlay(IHostSurface* surface);
    // Takes the overlay off the map before the window goes (a Host failure is raised here).
    void EraseOverlay();
    void RefreshContourHint();
    void UpdateVertexMarker();
    void BuildVertexMarker(TFloatPoint p, IHostContour* contour);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnResize(int width, int height) override;
    bool OnCloseQuery() override;

private:
    void PostTableChanged() override;
    // Asks for the outline to be brought in line with the table, the rest of the window as it is.
    void PostOutlineSync();
    // Repaints the rows of moved vertices and their neighbours (-1 for none), leaving the cell
    // editor as it is.
    void InvalidateRowsAround(const std::array<std::int32_t, 2>& rows);
    TComPtr<IHostContour> CreateHostContour();
    void CreateActions();
    void CreateComponents();
    void CreateMenus();
    void BuildToolBar();
    void RefreshToolButton(TAction& action);
    int ToolButtonIndex(const TAction& action) const;
    TPaintHint* CreateHint(const TPaintHintPen& pen);
    TFormSettings CurrentSettings() const;
    void ApplySettings(const TFormSettings& settings);
    void WarnAboutBadSettings();
    void RebuildStyleMenu(TPopupMenu& menu, TStyleMenuKind kind);
    IHostSurfaceTransform* MapTransform(TComPtr<IHostSurfaceTransform>& holder) const;
    TComPtr<IHostNavigator> MapNavigator() const;
    double MapScale() const;

    void FitToToolBarAndWorkArea();

    TDpiScale FScreen;
    std::vector<TAction*> FToolButtons; // the tool bar's buttons in order, null for separators
    int FDigitsSlot = -1;               // the placeholder under DigitsComboBox
    std::vector<std::string> FBadSettingKeys;
    // Style items of the create and add menus, rebuilt on every opening.
    struct TStyleMenu {
        std::unique_ptr<TActionList> Actions;
        std::vector<std::unique_ptr<TStyleMenuEvent>> Events;
    };
    TStyleMenu FCreateStyles, FAddStyles;
    bool FTableChangePending = false;
    // The table changed since the commands and the figures were last brought up to date.
    bool FTableDirty = false;
    long FContourHintRebuilds = 0;
    bool FDestroyRequested = false;
    // The grid's access (the active layer's rights) needs asking the Host again: set when the
    // selection, the view or the window's activation may have changed it.
    bool FGridAccessStale = false;
    std::string FGridAccessFailure; // the failure last told of the grid's access, until one succeeds
    std::string FFiguresText;
    // The figures' sums, kept up to date with the rows the table announced as changed.
    TFiguresTree FFiguresTree;
    TFiguresChanges FFiguresChanges;
};
