// The "Каталог координат" dialog: the catalogue of the table's closed contour as it will be
// delivered (a virtual list of its rows, the area and ΔP lines, the problems), its settings, which
// rebuild the preview at once and are written to the Host's settings, and the commands that hand
// it on: "Копировать" (Unicode text and "HTML Format") and "Сохранить…" (.csv, .html, .txt).
//
// The dialog works on a copy of the rows: the table is never changed. While it is open the
// window it was opened from is disabled, as under a modal dialog, but the dialog runs in the
// caller's message loop. The caller owns the object and its settings store; the dialog borrows
// the window it disables. The catalogue itself and its texts are platform-free
// (CoordinateCatalogue, CatalogueTexts); this unit only wires them to controls.
#pragma once

#include "Polypad/CoordinateCatalogue.h"
#include "controls/FormUtils.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kCatalogueCommandCaption = "Каталог координат…";
inline constexpr const char* kCatalogueValidText = "Замечаний нет";
inline constexpr const char* kCatalogueOpenContourText =
    "Каталог координат составляется для замкнутого контура: замкните контур";

enum class TCatalogueFileType : int { Csv = 1, Html = 2, Text = 3 };
// The type a file name asks for by its extension (any letter case), or filterIndex's (1..3) when
// it has none of the three; the name with the extension appended then.
TCatalogueFileType CatalogueFileTypeOf(std::wstring& fileName, int filterIndex);
// The file's bytes of each type.
std::string CatalogueFileBytes(const TCoordinateCatalogue& catalogue, TCatalogueFileType type);

class TCatalogueDialog : public TWindow {
public:
    enum : int {
        idPrefix = 101,
        idFirstNumber,
        idMt,
        idArcTolerance,
        idPreview,
        idArea,
        idFormula,
        idProblems,
        idCopy,
        idSave,
        idClose,
    };

    // Opens the dialog owned by owner's top-level window, with disabled disabled until it closes;
    // the settings are read from store and written back to it as they change.
    TCatalogueDialog(HWND owner, HWND disabled, std::vector<TVertexRecord> rows, std::unique_ptr<TSettingsStore> store,
                     char decimalSeparator);
    ~TCatalogueDialog() override;

    HWND Control(int id) const { return ::GetDlgItem(Handle(), id); }
    // The catalogue the preview shows, or null while a setting does not read.
    const TCoordinateCatalogue* Catalogue() const { return FCatalogue.get(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);
    void Rebuild();
    void Copy();
    void Save();
    void Close();
    std::string ControlText(int id) const;
    // The keys a dialog box gives its controls, which no IsDialogMessage in the Host's loop gives
    // here: Tab and Shift+Tab move between the controls, Esc closes, Enter presses a button.
    static void HandleDialogKeys(HWND control);
    static LRESULT CALLBACK ControlKeyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    HWND FDisabled;
    HWND FFocusBefore = nullptr;
    std::vector<TVertexRecord> FRows;
    std::unique_ptr<TSettingsStore> FStore;
    char FDecimalSeparator;
    TCatalogueSettings FSettings;
    std::unique_ptr<TCoordinateCatalogue> FCatalogue;
    bool FFilling = false;
};
