#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/HostTable.h"
#include "controls/WinHandles.h"
#include "tests/win32/support/ProcessFiles.h"

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
    Pump(1000, [&] { return script.Done(); });
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
        Pump(50);
        r = grid.CellRect(g.Col, g.Row);
    }
    ASSERT_LT(r.left, r.right) << "the cell is out of view";
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    const HWND target = ::ChildWindowFromPointEx(grid.Handle(), p, CWP_SKIPINVISIBLE);
    ::MapWindowPoints(grid.Handle(), target, &p, 1);
    PostClick(target, p.x, p.y);
    Pump(150);
}

void FormInput::Press(UINT key, bool ctrl, bool shift)
{
    const HWND focus = ::GetFocus();
    ASSERT_NE(focus, nullptr);
    SetModifier(VK_CONTROL, ctrl);
    SetModifier(VK_SHIFT, shift);
    PostKey(focus, key);
    Pump(150);
    SetModifier(VK_CONTROL, false);
    SetModifier(VK_SHIFT, false);
    PumpAll();
}

void FormInput::Type(const std::wstring& text)
{
    ASSERT_NE(::GetFocus(), nullptr);
    ::SendMessageW(::GetFocus(), EM_SETSEL, 0, -1);
    for (const wchar_t c : text) {
        PostChars(::GetFocus(), std::wstring(1, c));
        Pump(20);
    }
    Pump(50);
}

std::vector<TRow> FormInput::WrittenToTheMap()
{
    FForm->UpdateMapObjectActionExecute();
    PumpAll();
    FForm->FillTableFromMapObjectActionExecute();
    PumpAll();
    return Rows(*FTable);
}
