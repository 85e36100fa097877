// Support for the editor window tests: the Host stand-in with its windows, the coordinate table,
// a window built and initialised as the module does it, settings written before it opens, and
// message boxes answered from inside their own loop.
#pragma once

#include "Polypad/ComUtils.h"
#include "Polypad/PolypadForms.h"

#include "hostsim/HostSimApi.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

class FormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the window (floating over the main window, or in a new pane) and initialises it.
    TPolypadForm& Open(bool editing = false, bool docked = false);
    void CloseByUser();  // WM_CLOSE, then the loop until the window is gone
    void Destroy();      // as the module's ShowHideForm does it
    void WriteSetting(const std::string& key, const std::string& value);
    std::wstring Setting(const wchar_t* key) const { return hostsim::ReadSetting(FHost.get(), key, L"<none>"); }
    void Select(long objectId, long shapeIndex = -1);
    void AddToSelection(long objectId, long shapeIndex = -1);
    std::wstring Geometry(long objectId) const;
    int GridColumn(TTableColumnKind kind) const;
    TGridValue Cell(TTableColumnKind kind, int row);
    // Runs command while answering the message boxes it shows with answers in order (IDYES,
    // IDNO, IDOK); returns their texts.
    std::vector<std::string> Answering(const std::vector<int>& answers, const std::function<void()>& command);

    TComPtr<IHostApplication> FHost;
    std::unique_ptr<TTable> FTable;
    TPolypadForm* FForm = nullptr;
    long FLiveBefore = 0;
};

// Messages until the queue is empty, several rounds.
void PumpAll();

// The drawing surface of the Host's map window.
TComPtr<IHostSurface> MapSurface(IHostApplication* host);

// A window's client area as the screen shows it now, a pixel a DWORD (0x00RRGGBB).
std::vector<DWORD> ClientOnScreen(HWND window);

// The colour most of a window's client area shows on the screen.
COLORREF CommonestColour(HWND window);

// System colours changed for the test, as the control panel changes them (every top-level
// window is told), and put back after it.
class TSystemColours {
public:
    TSystemColours(std::vector<int> elements, std::vector<COLORREF> colours);
    ~TSystemColours();
    TSystemColours(const TSystemColours&) = delete;
    TSystemColours& operator=(const TSystemColours&) = delete;

private:
    std::vector<int> FElements;
    std::vector<COLORREF> FOld;
};

// count rows of X and Y through the clipboard and the window's paste command, over the table.
void PasteRows(TPolypadForm& form, int count);

using TRow = std::array<double, 3>; // X, Y, convexity
std::vector<TRow> Rows(const TTable& table);

// The window as a user works in it: clicks into cells, keys to the focused window, typing.
class FormInput : public FormTest {
protected:
    // Parcel 101 read from the map, in editing mode, the window in front.
    TPolypadForm& OpenParcel();
    // A left click into the data cell, to the window under the pointer there: the grid or the
    // editor that covers the current cell.
    void ClickCell(TTableColumnKind kind, int row);
    // A key to the window that has the keyboard focus (the grid or its editor).
    void Press(UINT key, bool ctrl = false, bool shift = false);
    // Characters one by one to whichever window has the focus then: the first one typed on the
    // grid opens its editor, which takes the rest.
    void Type(const std::wstring& text);
    // "Обновить объект", then the map object read back into the table.
    std::vector<TRow> WrittenToTheMap();
    int CurrentRow() const { return FForm->SimpleGrid->DataRow(); }
};
