// The editor window as the Host meets it: Polypad.dll's automation object shows and hides it
// through the Host's command, floating or docked, rebuilds it in the other layout, and leaves no
// Host reference behind. Screenshots of both layouts over the example map are saved here.
#include "FormTestSupport.h"
#include "ModuleTestSupport.h"

#include "GridTestSupport.h"
#include "controls/WinHandles.h"

#include "hostsim/HostSimApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include "tests/win32/support/ProcessFiles.h"

using namespace moduletest;

namespace {

struct TFoundForm {
    HWND Window = nullptr;
};

BOOL CALLBACK FindFormProc(HWND window, LPARAM lParam)
{
    wchar_t name[64] = {}, caption[64] = {};
    ::GetClassNameW(window, name, 64);
    ::GetWindowTextW(window, caption, 64);
    if (std::wstring(name) == L"PolypadForm" && std::wstring(caption) == L"Полипад") {
        reinterpret_cast<TFoundForm*>(lParam)->Window = window;
        return FALSE;
    }
    ::EnumChildWindows(window, FindFormProc, lParam);
    return reinterpret_cast<TFoundForm*>(lParam)->Window ? FALSE : TRUE;
}

// The editor window of this thread, floating or docked, or null.
HWND FindForm()
{
    TFoundForm found;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindFormProc, reinterpret_cast<LPARAM>(&found));
    return found.Window;
}

HWND ToolBarOf(HWND form) { return ::FindWindowExW(form, nullptr, TOOLBARCLASSNAMEW, nullptr); }

// Presses tool button index as a click does: the tool bar's command to the window.
void ClickToolButton(HWND form, int index)
{
    const HWND toolBar = ToolBarOf(form);
    TBBUTTON button{};
    ASSERT_TRUE(::SendMessageW(toolBar, TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button)));
    ::SendMessageW(form, WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED), reinterpret_cast<LPARAM>(toolBar));
}

// The figures panel of the window's status bar (the vertex count, perimeter and area).
std::string FiguresText(HWND form)
{
    const HWND bar = ::FindWindowExW(form, nullptr, STATUSCLASSNAMEW, nullptr);
    wchar_t text[256] = L"";
    if (bar && LOWORD(::SendMessageW(bar, SB_GETTEXTLENGTHW, 1, 0)) < 256)
        ::SendMessageW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    return Narrow(text);
}

// The vertex count the figures panel shows: "Вершин: N · …", or "N N · …" in a narrow bar.
int VertexCount(HWND form)
{
    const std::string text = FiguresText(form);
    const std::size_t digits = text.find_first_of("0123456789");
    return digits == std::string::npos ? -1 : std::atoi(text.c_str() + digits);
}

bool ToolButtonChecked(HWND form, int index)
{
    const HWND toolBar = ToolBarOf(form);
    TBBUTTON button{};
    ::SendMessageW(toolBar, TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button));
    return (button.fsState & TBSTATE_CHECKED) != 0;
}

// Tool bar positions of the buttons used here.
constexpr int kSwitchLayoutButton = 22;
constexpr int kEditingButton = 23;

class Hosting : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostsim::ClearFaults();
        FLiveBefore = hostsim::LiveObjects();
        ::DeleteFileW((processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT) + L".settings").c_str());
        // The Host registers its type library; the module's IDispatch resolves Host types by it.
        TComPtr<ITypeLib> hostLib;
        ASSERT_EQ(::LoadTypeLibEx(POLYPAD_HOST_TLB_PATH, REGKIND_REGISTER, hostLib.put()), S_OK);
        ASSERT_EQ(hostsim::CreateApplication(processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT).c_str(), true, FHost.put()), S_OK);
        FModule = CreateModule();
        ASSERT_TRUE(FModule);
        TBStr name(std::wstring(L"Полипад"));
        ASSERT_EQ(FModule->Init(FHost.get(), name.get()), S_OK) << Narrow(TakeErrorDescription());
        ASSERT_EQ(hostsim::AttachModule(FHost.get(), FModule.query<IDispatch>().get(), L"Полипад"), S_OK);
    }
    void TearDown() override
    {
        if (FModule) {
            hostsim::DetachModule(FHost.get());
            EXPECT_EQ(FModule->Done(), S_OK);
            FModule.reset();
        }
        PumpMessages();
        FHost.reset();
        PumpMessages();
        EXPECT_EQ(hostsim::LiveObjects(), FLiveBefore) << "the module still holds Host objects";
    }
    void PumpMessages()
    {
        for (int i = 0; i < 5; ++i)
            hostsim::PumpMessages();
    }
    void WriteFormType(const wchar_t* value)
    {
        TComPtr<IHostSettings> settings;
        ASSERT_EQ(FHost->get_Settings(settings.put()), S_OK);
        TBStr key(std::wstring(L"Polypad/FormType")), text{std::wstring(value)};
        ASSERT_EQ(settings->WriteString(1, 0, key.get(), text.get()), S_OK);
    }
    bool Checked() { return hostsim::CommandChecked(FHost.get(), L"Полипад"); }
    void Screenshot(const wchar_t* name)
    {
        const std::wstring file = std::wstring(FORM_SCREENSHOT_DIR) + L"/" + name;
        EXPECT_EQ(hostsim::SaveWindowImage(hostsim::MainWindowHandle(FHost.get()), file.c_str()), S_OK);
        EXPECT_EQ(hostsim::StatusText(FHost.get()).find(L"Polypad."), std::wstring::npos)
            << "a module call failed: " << Narrow(hostsim::StatusText(FHost.get()));
    }

    long FLiveBefore = 0;
    TComPtr<IHostApplication> FHost;
    TComPtr<IPolypadComModule> FModule;
};

} // namespace

TEST_F(Hosting, TheCommandShowsAndHidesTheWindowAndIsCheckedWhileItExists)
{
    EXPECT_FALSE(Checked());
    ASSERT_EQ(hostsim::RunCommand(FHost.get(), L"Полипад"), S_OK);
    PumpMessages();
    const HWND form = FindForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(::IsWindowVisible(form));
    EXPECT_TRUE(Checked());
    EXPECT_EQ(::GetWindow(form, GW_OWNER), hostsim::MainWindowHandle(FHost.get()));
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    EXPECT_EQ(FindForm(), nullptr);
    EXPECT_FALSE(Checked());
    EXPECT_EQ(hostsim::ReadSetting(FHost.get(), L"Kestrom.PolypadDigits", L"<none>"), L"<none>")
        << "hiding through the command saves nothing";
}

TEST_F(Hosting, OnlyTheTextOneSelectsTheDockedLayout)
{
    for (const wchar_t* value : {L"2", L""}) {
        WriteFormType(value);
        ASSERT_EQ(FModule->ShowHideForm(), S_OK);
        const HWND form = FindForm();
        ASSERT_NE(form, nullptr);
        EXPECT_FALSE(::GetWindowLongW(form, GWL_STYLE) & WS_CHILD) << "floating for \"" << Narrow(value) << "\"";
        ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    }
    WriteFormType(L"1");
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    PumpMessages();
    const HWND docked = FindForm();
    ASSERT_NE(docked, nullptr);
    const LONG style = ::GetWindowLongW(docked, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(::IsWindowVisible(::GetParent(docked))) << "the pane is shown";
    ASSERT_EQ(hostsim::SelectMapObject(FHost.get(), 101, -1), S_OK);
    PumpMessages();
    Pump(300);
    Screenshot(L"form-docked.png");
    const HWND pane = ::GetParent(docked);
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    EXPECT_FALSE(::IsWindowVisible(pane)) << "the pane is hidden with the window";
}

// A docked window is a child of the Host's pane, and the system tells only top-level windows of
// a colour change: the module's hidden window hands it on, and the grid shows the new colour.
TEST_F(Hosting, ADockedWindowFollowsASystemColourChange)
{
    WriteFormType(L"1");
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    PumpMessages();
    const HWND docked = FindForm();
    ASSERT_NE(docked, nullptr);
    ASSERT_TRUE(::GetWindowLongW(docked, GWL_STYLE) & WS_CHILD);
    const HWND grid = ::FindWindowExW(::FindWindowExW(docked, nullptr, L"PolypadPanel", nullptr), nullptr,
                                      L"PolypadCellGrid", nullptr);
    ASSERT_NE(grid, nullptr);
    constexpr COLORREF colour = RGB(250, 236, 190);
    ASSERT_NE(CommonestColour(grid), colour);
    {
        TSystemColours colours({COLOR_WINDOW}, {colour});
        PumpMessages();
        EXPECT_EQ(CommonestColour(grid), colour) << "the docked grid keeps the old colour";
    }
    PumpMessages();
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
}

TEST_F(Hosting, TheLayoutSwitchKeepsEditingModeButTheCommandStartsWithoutIt)
{
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    PumpMessages();
    HWND form = FindForm();
    ASSERT_NE(form, nullptr);
    ClickToolButton(form, kEditingButton);
    EXPECT_TRUE(ToolButtonChecked(form, kEditingButton));
    ClickToolButton(form, kSwitchLayoutButton);
    PumpMessages();
    EXPECT_FALSE(::IsWindow(form)) << "the old window is released";
    form = FindForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(::GetWindowLongW(form, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(ToolButtonChecked(form, kEditingButton));
    EXPECT_TRUE(Checked());
    EXPECT_EQ(hostsim::ReadSetting(FHost.get(), L"Polypad/FormType", L""), L"1");
    EXPECT_NE(hostsim::ReadSetting(FHost.get(), L"Kestrom.PolypadDigits", L"<none>"), L"<none>")
        << "the switch saves the settings";

    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    form = FindForm();
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(ToolButtonChecked(form, kEditingButton));

    ClickToolButton(form, kSwitchLayoutButton);
    PumpMessages();
    form = FindForm();
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(::GetWindowLongW(form, GWL_STYLE) & WS_CHILD) << "and back to floating";
    EXPECT_EQ(hostsim::ReadSetting(FHost.get(), L"Polypad/FormType", L""), L"0");
}

TEST_F(Hosting, ClosingByTheUserUnchecksTheCommandAndDoneLeavesNoHostReference)
{
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    ASSERT_EQ(hostsim::SelectMapObject(FHost.get(), 101, -1), S_OK);
    PumpMessages();
    Pump(10000, [&] { return hostsim::OverlayPixelCount(FHost.get()) > 0; });
    EXPECT_GT(hostsim::OverlayPixelCount(FHost.get()), 0) << "the outline is drawn over the map";
    Screenshot(L"form-floating.png");
    const HWND form = FindForm();
    ASSERT_NE(form, nullptr);
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_EQ(FindForm(), nullptr);
    EXPECT_FALSE(Checked());
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0) << "the overlay leaves with the window";
    EXPECT_NE(hostsim::ReadSetting(FHost.get(), L"Kestrom.PolypadLTWH", L"<none>"), L"<none>");

    // Done with the window open destroys it too.
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    hostsim::DetachModule(FHost.get());
    EXPECT_EQ(FModule->Done(), S_OK);
    EXPECT_EQ(FindForm(), nullptr);
    FModule.reset();
}

// ---- failures while the window is being made ---------------------------------------------------

TEST_F(Hosting, ADockedWindowThatCannotBeMadeLeavesItsPaneHidden)
{
    WriteFormType(L"1");
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    const HWND pane = ::FindWindowExW(hostsim::MainWindowHandle(FHost.get()), nullptr, L"TOrvexPane", nullptr);
    ASSERT_NE(pane, nullptr);
    ASSERT_FALSE(::IsWindowVisible(pane));

    hostsim::FailOperation(L"IHostPane.Handle", E_FAIL, L"окно панели недоступно");
    EXPECT_NE(FModule->ShowHideForm(), S_OK);
    EXPECT_EQ(Narrow(TakeErrorDescription()), "окно панели недоступно");
    hostsim::ClearFaults();
    EXPECT_EQ(FindForm(), nullptr);
    EXPECT_FALSE(::IsWindowVisible(pane)) << "an empty pane is not left on the screen";
    EXPECT_FALSE(Checked());

    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    EXPECT_TRUE(::IsWindowVisible(pane));
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
}

TEST_F(Hosting, AFailedCleanUpAfterAFailedOpeningIsNotReportedAgainByTheNextClose)
{
    // The window's initialisation fails, and so does unchecking the command as it is destroyed.
    hostsim::FailOperation(L"IHostMainWindow.MapWindow", E_FAIL, L"карта недоступна");
    hostsim::FailOperation(L"IHostAction.SetChecked", E_FAIL, L"команда недоступна");
    EXPECT_NE(FModule->ShowHideForm(), S_OK);
    EXPECT_EQ(Narrow(TakeErrorDescription()), "карта недоступна");
    hostsim::ClearFaults();
    EXPECT_EQ(FindForm(), nullptr);

    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    ASSERT_NE(FindForm(), nullptr);
    EXPECT_EQ(FModule->ShowHideForm(), S_OK) << Narrow(TakeErrorDescription());
    EXPECT_EQ(FindForm(), nullptr);
    EXPECT_FALSE(Checked());
}

// ---- the Host's requests while a message box of the window is open ----------------------------

namespace {

constexpr int kFillButton = 0, kClearButton = 8, kAddRowButton = 10;

// The window open in editing mode over parcel 101, with one row added so that a clear asks first.
HWND OpenEditedWindow(IHostApplication* host, IPolypadComModule* module)
{
    EXPECT_EQ(hostsim::SelectMapObject(host, 101, -1), S_OK);
    EXPECT_EQ(module->ShowHideForm(), S_OK);
    for (int i = 0; i < 5; ++i)
        hostsim::PumpMessages();
    const HWND form = FindForm();
    if (form) {
        ClickToolButton(form, kEditingButton);
        ClickToolButton(form, kAddRowButton);
    }
    return form;
}

} // namespace

TEST_F(Hosting, TheCommandDuringAQuestionOfTheWindowHidesItAtOnceAndDeletesItAfterTheBox)
{
    const HWND form = OpenEditedWindow(FHost.get(), FModule.get());
    ASSERT_NE(form, nullptr);
    struct TSeen {
        bool Box = false, Visible = true, Checked = true;
        HRESULT Command = E_FAIL;
    } seen;
    TInputScript script;
    script.Then([] { return FindMessageBox() != nullptr; }).Do([&] {
        seen.Box = true;
        seen.Command = FModule->ShowHideForm(); // the Host's command, from inside the box's loop
        seen.Visible = ::IsWindowVisible(form) != FALSE;
        seen.Checked = Checked();
    });
    script.Start();
    ClickToolButton(form, kClearButton); // "Очистить таблицу" asks; returns when the box is gone
    EXPECT_TRUE(seen.Box);
    EXPECT_EQ(seen.Command, S_OK) << Narrow(TakeErrorDescription());
    EXPECT_FALSE(seen.Visible) << "the window leaves the screen at once";
    EXPECT_FALSE(seen.Checked);
    EXPECT_EQ(FindMessageBox(), nullptr) << "the window's box is ended with it";
    Pump(10000, [&] { return !::IsWindow(form); });
    EXPECT_FALSE(::IsWindow(form)) << "deleted once its box has returned";
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0);

    // The command works as before.
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    PumpMessages();
    EXPECT_NE(FindForm(), nullptr);
    EXPECT_TRUE(Checked());
}

TEST_F(Hosting, DoneAndReleaseDuringAWarningOfTheWindowLeaveNoWindowAndNoHostReference)
{
    const HWND form = OpenEditedWindow(FHost.get(), FModule.get());
    ASSERT_NE(form, nullptr);
    bool boxSeen = false;
    HRESULT done = E_FAIL;
    TInputScript script;
    script.Then([] { return FindMessageBox() != nullptr; }).Do([&] {
        boxSeen = true;
        hostsim::DetachModule(FHost.get());
        done = FModule->Done();
        FModule.reset(); // the Host lets the module go while the box is still on the stack
    });
    script.Start();
    // A fill with the parcel deleted from the selection warns.
    ASSERT_EQ(hostsim::SelectStaleObject(FHost.get(), 999, -1), S_OK);
    ClickToolButton(form, kFillButton);
    EXPECT_TRUE(boxSeen);
    EXPECT_EQ(done, S_OK);
    Pump(10000, [&] { return !::IsWindow(form); });
    EXPECT_FALSE(::IsWindow(form));
    EXPECT_EQ(FindForm(), nullptr);
    // TearDown checks that no Host object is left alive.
}

// A second Init while the window is open would free the table and the history under it: it is
// refused with an error, and the window goes on editing the same rows.
TEST_F(Hosting, ASecondInitWhileTheWindowIsOpenIsRefusedAndChangesNothing)
{
    const HWND form = OpenEditedWindow(FHost.get(), FModule.get());
    ASSERT_NE(form, nullptr);
    const long calls = hostsim::CallCount();
    TBStr name(std::wstring(L"Полипад"));
    EXPECT_EQ(FModule->Init(FHost.get(), name.get()), E_UNEXPECTED);
    EXPECT_EQ(TakeErrorDescription(), L"Модуль уже инициализирован: окно редактора открыто");
    EXPECT_EQ(hostsim::CallCount(), calls) << "nothing was asked of the Host";
    EXPECT_EQ(FindForm(), form);
    EXPECT_TRUE(Checked());
    EXPECT_EQ(CountNotifyWindows(), 1);
    // The window still works on its table: another row, the map's selection followed, hidden.
    PumpMessages();
    const int rows = VertexCount(form);
    ClickToolButton(form, kAddRowButton);
    PumpMessages();
    EXPECT_EQ(VertexCount(form), rows + 1) << "the click added a row: " << FiguresText(form);
    ASSERT_EQ(hostsim::SelectMapObject(FHost.get(), 101, -1), S_OK);
    PumpMessages();
    EXPECT_EQ(hostsim::StatusText(FHost.get()).find(L"Polypad."), std::wstring::npos)
        << Narrow(hostsim::StatusText(FHost.get()));
    ASSERT_EQ(FModule->ShowHideForm(), S_OK);
    EXPECT_EQ(FindForm(), nullptr);
    EXPECT_FALSE(Checked());
}
