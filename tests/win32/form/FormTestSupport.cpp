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
