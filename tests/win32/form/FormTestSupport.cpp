#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/HostTable.h"
#include "controls/WinHandles.h"
#include "hostsim/Clipboard.h"
#include "tests/win32/support/ProcessFiles.h"

#include <map>

void PumpAll()
{
    for (int i = 0; i < 5; ++i)
        hostsim::PumpMessages();
}

TComPtr<IHostSurface> MapSurface(IHostApplication* host)
{
    TComPtr<IHostMainWindow> main;
    TComPtr<IHostMapWindow> map;
    TComPtr<IHostSurface> surface;
    EXPECT_EQ(host->get_MainWindow(main.put()), S_OK);
    EXPECT_EQ(main->get_MapWindow(map.put()), S_OK);
    EXPECT_EQ(map->get_Surface(surface.put()), S_OK);
    return surface;
}

std::vector<DWORD> ClientOnScreen(HWND window)
{
    RECT client{};
    ::GetClientRect(window, &client);
    void* bits = nullptr;
    TUniqueBitmap bitmap = CreateDibSection32(client.right, client.bottom, &bits);
    TUniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    TSelectObject selected(dc.get(), bitmap.get());
    {
        TWindowDC screen(window);
        ::BitBlt(dc.get(), 0, 0, client.right, client.bottom, screen.get(), 0, 0, SRCCOPY);
    }
    ::GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    return std::vector<DWORD>(pixels, pixels + static_cast<std::size_t>(client.right) * client.bottom);
}

COLORREF CommonestColour(HWND window)
{
    std::map<DWORD, int> counts;
    for (const DWORD pixel : ClientOnScreen(window))
        ++counts[pixel & 0xFFFFFF];
    DWORD commonest = 0;
    int most = 0;
    for (const auto& [pixel, count] : counts)
        if (count > most)
            most = count, commonest = pixel;
    return RGB(commonest >> 16 & 0xFF, commonest >> 8 & 0xFF, commonest & 0xFF);
}

TSystemColours::TSystemColours(std::vector<int> elements, std::vector<COLORREF> colours)
    : FElements(std::move(elements))
{
    for (const int e : FElements)
        FOld.push_back(::GetSysColor(e));
    ::SetSysColors(static_cast<int>(FElements.size()), FElements.data(), colours.data());
}

TSystemColours::~TSystemColours()
{
    ::SetSysColors(static_cast<int>(FElements.size()), FElements.data(), FOld.data());
}

void PasteRows(TPolypadForm& form, int count)
{
    std::wstring lines;
    for (int i = 0; i < count; ++i)
        lines += std::to_wstring(452200 + i) + L"\t" + std::to_wstring(1385200 + i % 7) + L"\n";
    hostsim::SetClipboardText(form.Handle(), lines);
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(form.PasteFromClipboardAction->Id(), BN_CLICKED),
                   reinterpret_cast<LPARAM>(form.ToolBar->Handle()));
}

void FormTest::SetUp()
{
    hostsim::ClearFaults();
    FLiveBefore = hostsim::LiveObjects();
    ::DeleteFileW((processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT) + L".settings").c_str());
    ASSERT_EQ(hostsim::CreateApplication(processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT).c_str(), true, FHost.put()), S_OK);
    FTable = CreateHostTable(FHost.get());
}

void FormTest::TearDown()
{
    hostsim::ClearFaults();
    Destroy();
    FTable.reset();
    FHost.reset();
    PumpAll();
    EXPECT_EQ(hostsim::LiveObjects(), FLiveBefore) << "a Host object is still held";
}

TPolypadForm& FormTest::Open(bool editing, bool docked)
{
    HWND parent = hostsim::MainWindowHandle(FHost.get());
    TComPtr<IHostPane> pane;
    if (docked) {
        TComPtr<IHostMainWindow> main;
        EXPECT_EQ(FHost->get_MainWindow(main.put()), S_OK);
        TBStr name("Polypad"), caption("Полипад");
        EXPECT_EQ(main->CreatePane(name.get(), caption.get(), pane.put()), S_OK);
        long handle = 0;
        EXPECT_EQ(pane->get_Handle(&handle), S_OK);
        parent = reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
    }
    auto form = std::make_unique<TPolypadForm>(parent, docked);
    form->OnDestroy = [this] { FForm = nullptr; };
    FForm = form.get();
    form->Initialize(FHost.get(), FTable.get(), editing, docked, nullptr);
    form.release();
    if (pane)
        pane->Update();
    PumpAll();
    return *FForm;
}

void FormTest::CloseByUser()
{
    ASSERT_NE(FForm, nullptr);
    ::PostMessageW(FForm->Handle(), WM_CLOSE, 0, 0);
    Pump(2000, [this] { return FForm == nullptr; });
    ASSERT_EQ(FForm, nullptr) << "the window did not go";
}

void FormTest::Destroy()
{
    delete FForm;
    FForm = nullptr;
}

void FormTest::WriteSetting(const std::string& key, const std::string& value)
{
    THostSettingsStore(FHost.get()).Write(key, value);
}

void FormTest::Select(long objectId, long shapeIndex)
{
    ASSERT_EQ(hostsim::SelectMapObject(FHost.get(), objectId, shapeIndex), S_OK);
}

void FormTest::AddToSelection(long objectId, long shapeIndex)
{
    TComPtr<IHostSelection> selection;
    ASSERT_EQ(FHost->get_Selection(selection.put()), S_OK);
    ASSERT_EQ(selection->Add(objectId, shapeIndex), S_OK);
}

std::wstring FormTest::Geometry(long objectId) const
{
    std::wstring text;
    EXPECT_EQ(hostsim::ObjectGeometryText(FHost.get(), objectId, text), S_OK);
    return text;
}

int FormTest::GridColumn(TTableColumnKind kind) const
{
    return FForm->FindGridColumn(TableColumnCaption(kind));
}

TGridValue FormTest::Cell(TTableColumnKind kind, int row)
{
    TGridValue value;
    FForm->SimpleGridGetDataValue(GridColumn(kind), row, value);
    return value;
}

std::vector<std::string> FormTest::Answering(const std::vector<int>& answers, const std::function<void()>& command)
{
    std::vector<std::string> texts;
    TInputScript script;
    for (const int answer : answers)
        script.Then([&texts, answer] {
            HWND box = FindMessageBox();
            if (!box)
                return false;
            texts.push_back(MessageBoxText(box));
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
            return true;
        });
    script.Start();
    command();
    Pump(10000, [&] { return script.Done(); });
    PumpAll();
    return texts;
}

std::vector<TRow> Rows(const TTable& table)
{
    std::vector<TRow> rows;
    for (int i = 0; i < table.Count(); ++i)
        rows.push_back({table.GetX(i), table.GetY(i), table.GetArcConvexity(i)});
    return rows;
}

TPolypadForm& FormInput::OpenParcel()
{
    TPolypadForm& form = Open(true);
    Select(101);
    form.FillTableFromMapObjectActionExecute();
    PumpAll();
    ::SetForegroundWindow(form.Handle());
    return form;
}

void FormInput::ClickCell(TTableColumnKind kind, int row)
{
    TSimpleGrid& grid = *FForm->SimpleGrid;
    const TGridPoint g = grid.DataToGrid(GridColumn(kind), row);
    RECT r = grid.CellRect(g.Col, g.Row);
    if (r.right <= r.left) {
        // Out of view: scrolled to first, as the user would.
        grid.MoveToDataCell(GridColumn(kind), row);
        ASSERT_TRUE(PumpUntilPostedHandled());
        r = grid.CellRect(g.Col, g.Row);
    }
    ASSERT_LT(r.left, r.right) << "the cell is out of view";
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    const HWND target = ::ChildWindowFromPointEx(grid.Handle(), p, CWP_SKIPINVISIBLE);
    ::MapWindowPoints(grid.Handle(), target, &p, 1);
    PostClick(target, p.x, p.y);
    ASSERT_TRUE(PumpUntilPostedHandled()) << "the click was not handled";
}

void FormInput::Press(UINT key, bool ctrl, bool shift)
{
    const HWND focus = ::GetFocus();
    ASSERT_NE(focus, nullptr);
    // The modifiers stay down until the key has been handled, however long the work queued
    // before it takes.
    SetModifier(VK_CONTROL, ctrl);
    SetModifier(VK_SHIFT, shift);
    PostKey(focus, key);
    const bool handled = PumpUntilPostedHandled();
    SetModifier(VK_CONTROL, false);
    SetModifier(VK_SHIFT, false);
    ASSERT_TRUE(handled) << "the key was not handled";
    PumpAll();
}

void FormInput::Type(const std::wstring& text)
{
    ASSERT_NE(::GetFocus(), nullptr);
    ::SendMessageW(::GetFocus(), EM_SETSEL, 0, -1);
    for (const wchar_t c : text) {
        PostChars(::GetFocus(), std::wstring(1, c));
        ASSERT_TRUE(PumpUntilPostedHandled());
    }
}

std::vector<TRow> FormInput::WrittenToTheMap()
{
    FForm->UpdateMapObjectActionExecute();
    PumpAll();
    FForm->FillTableFromMapObjectActionExecute();
    PumpAll();
    return Rows(*FTable);
}
