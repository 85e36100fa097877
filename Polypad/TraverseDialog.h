// "Ход по углам": the dialog in which a traverse is entered from its field book — the kind, the
// angle kind, the known points and directions, a grid of stations (angle, length) that also takes
// a paste of "ANGLE<TAB>LENGTH" lines, the rule and the limits — and below, the sheet computed as
// the user types, the figures over their limits marked. "Применить" hands the sheet to the owner
// (the editor window replaces its table with it); "Копировать ведомость" puts the sheet on the
// clipboard as Unicode text and as "HTML Format".
//
// A modeless window owned by the editor window, which keeps the object; closing it only hides it,
// so the entry is there when it is opened again. The entry is read by ReadTraverseEntry
// (TraverseEntry.h); this unit only moves texts between the controls and that code.
#pragma once

#include "Polypad/OxClipboard.h"
#include "Polypad/TraverseEntry.h"
#include "controls/DpiScale.h"
#include "controls/FormUtils.h"
#include "controls/SimpleGrids.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The dialog's controls, for the window tests that type into them and read them.
enum class TTraverseControl : std::uint8_t {
    Kind,
    Angles,
    Rule,
    StartX,
    StartY,
    StartDirection,
    EndX,
    EndY,
    EndDirection,
    AngleLimit,
    RelativeLimit,
    SigmaAngle,
    SigmaLengthMm,
    SigmaLengthPpm,
    Force,
    Figures,
    Sheet,
    Copy,
    Apply,
    Close,
};

class TTraverseDialog : public TExForm {
public:
    using TSettingsFactory = std::function<std::unique_ptr<TSettingsStore>()>;
    // owner: the editor window's top-level window; clipboard: the editor window's (borrowed).
    TTraverseDialog(HWND owner, TOxClipboard& clipboard, char decimalSeparator, TSettingsFactory settings);
    ~TTraverseDialog() override;

    // Shows the dialog in front, its remembered settings read again.
    void Open();

    HWND Control(TTraverseControl control) const;
    TSimpleGrid& Stations();
    // The sheet of the entry as it stands, or nothing while the entry makes no traverse.
    const std::optional<TTraverseSheet>& Sheet() const { return FSheet; }

    // "Применить": the sheet to put into the table, its misclosures within limits or the user
    // having ticked the box to apply anyway.
    std::function<void(const TTraverseSheet&)> OnApply;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCloseQuery() override;

private:
    void CreateControls();
    HWND AddControl(const wchar_t* className, const std::string& text, DWORD style, int x, int y, int width,
                    int height, TTraverseControl id);
    void AddLabel(const std::string& text, int x, int y, int width);
    void LoadSettings();
    void SaveSettings();
    TTraverseDialogSettings SettingsFromControls() const;
    std::string FieldText(TTraverseControl control) const;
    void OnCommand(int id, int code);
    void KindChanged();
    void Recompute();
    void ShowSheet();
    void PasteStations(const std::string& text);
    void CopySheet();
    void ApplySheet();
    void GridKeyDown(UINT& key, TShiftState shift);

    TOxClipboard& FClipboard;
    char FDecimalSeparator;
    TSettingsFactory FSettings;
    TDpiScale FScreen;
    std::array<HWND, static_cast<std::size_t>(TTraverseControl::Close) + 1> FControls{};
    HWND FStartDirectionLabel = nullptr;
    class TStationGrid;
    std::unique_ptr<TStationGrid> FGrid;
    std::vector<std::array<std::string, 2>> FRows;
    std::optional<TTraverseSheet> FSheet;
    bool FOverLimit = false;
    bool FLoading = false; // controls filled from the settings: no recomputation per field
    TUniqueFont FSheetFont;
};
