// The window framework: commands shared by a tool button and a menu, the error box for a failing
// command, the non-modal form's owner, the context-help hooks and the HTML Help calls.
#include "CoreLib/FloatPrecision.h"
#include "GridTestSupport.h"

#include "controls/WhatsThisOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

TEST(Commands, ToolButtonRunsItsActionAndFollowsItsState)
{
    TTestForm form;
    TAction& action = form.Actions.Add("Добавить строку", "Добавить строку в конец таблицы", -1);
    int runs = 0;
    action.OnExecute = [&](TAction&) { ++runs; };
    TToolBar bar(form.Handle(), nullptr);
    form.Actions.OnChange.push_back([&](TAction& a) { bar.Refresh(a); });
    bar.AddButton(action);
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(action.Id(), BN_CLICKED), reinterpret_cast<LPARAM>(bar.Handle()));
    EXPECT_EQ(runs, 1);
    action.SetEnabled(false);
    EXPECT_FALSE(::SendMessageW(bar.Handle(), TB_ISBUTTONENABLED, static_cast<WPARAM>(action.Id()), 0));
    EXPECT_FALSE(action.Execute());
    action.SetChecked(true);
    EXPECT_TRUE(::SendMessageW(bar.Handle(), TB_ISBUTTONCHECKED, static_cast<WPARAM>(action.Id()), 0));
    TPopupMenu menu;
    menu.AddAction(action);
    menu.AddSeparator();
    TPopupMenu& sub = menu.AddSubmenu("Столбец");
    TAction& inner = form.Actions.Add("Номер точки");
    sub.AddAction(inner);
    EXPECT_EQ(menu.Find(inner.Id()), &inner) << "commands of submenus are found";
    TUniqueMenu built = menu.Build();
    EXPECT_EQ(::GetMenuItemCount(built.get()), 3);
    EXPECT_EQ(::GetMenuState(built.get(), static_cast<UINT>(action.Id()), MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED),
              static_cast<UINT>(MF_CHECKED | MF_GRAYED));
}

TEST(Commands, AnExceptionFromACommandShowsTheErrorBox)
{
    TTestForm form;
    TAction& action = form.Actions.Add("Сбой");
    action.OnExecute = [](TAction&) { throw Exception("У вас нет прав на изменение контура"); };
    TToolBar bar(form.Handle(), nullptr);
    bar.AddButton(action);
    std::string text;
    LONG style = 0;
    TInputScript script;
    script.Then([&] {
        const HWND box = FindMessageBox();
        if (!box)
            return false;
        text = MessageBoxText(box);
        style = static_cast<LONG>(::GetWindowLongW(::GetDlgItem(box, 0x14), GWL_STYLE)); // the icon
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
    });
    script.Start();
    ::PostMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(action.Id(), BN_CLICKED), reinterpret_cast<LPARAM>(bar.Handle()));
    Pump(2000, [&] { return script.Done(); });
    EXPECT_EQ(text, "У вас нет прав на изменение контура");
    EXPECT_TRUE(::IsWindow(form.Handle())) << "the window survives the failing command";
}

TEST(Commands, ShortCutRunsTheCommand)
{
    TTestForm form;
    TAction& action = form.Actions.Add("Вверх");
    action.SetShortCut({VK_UP, true});
    int runs = 0;
    action.OnExecute = [&](TAction&) { ++runs; };
    SetModifier(VK_CONTROL, true);
    MSG msg{form.Handle(), WM_KEYDOWN, VK_UP, 0, 0, {}};
    EXPECT_TRUE(form.IsShortCut(msg));
    SetModifier(VK_CONTROL, false);
    EXPECT_FALSE(form.IsShortCut(msg));
    EXPECT_EQ(runs, 1);
}

TEST(TimersAndMessageWindows, TimerTicksAndMessageWindowIsHidden)
{
    TTimer timer(5);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetEnabled(true);
    Pump(500, [&] { return ticks >= 2; });
    timer.SetEnabled(false);
    EXPECT_GE(ticks, 2);
    int got = 0;
    TMessageWindow window([&](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
        if (message != WM_APP + 2)
            return false;
        got = static_cast<int>(wParam);
        result = 0;
        return true;
    });
    EXPECT_FALSE(::IsWindowVisible(window.Handle()));
    ::PostMessageW(window.Handle(), WM_APP + 2, 1026, 0);
    Pump(200, [&] { return got != 0; });
    EXPECT_EQ(got, 1026);
}

// What the module's windows compute does not depend on the x87 precision their caller left set.
TEST(TimersAndMessageWindows, AWindowProcedureRunsWithThe64BitMantissaAndGivesTheCallersBack)
{
    std::uint16_t inside = 0;
    TMessageWindow window([&](UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_APP + 3)
            return false;
        inside = FloatPrecision::Precision();
        result = 0;
        return true;
    });
    const std::uint16_t callers = FloatPrecision::Precision();
    FloatPrecision::SetPrecision(FloatPrecision::kDouble);
    ::SendMessageW(window.Handle(), WM_APP + 3, 0, 0);
    const std::uint16_t after = FloatPrecision::Precision();
    FloatPrecision::SetPrecision(callers);
    EXPECT_EQ(inside, FloatPrecision::kExtended);
    EXPECT_EQ(after, FloatPrecision::kDouble);
}

class TProbeForm : public TNonModalForm {
public:
    explicit TProbeForm(HWND parent) : TNonModalForm(parent) {}
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) { return ::SendMessageW(Handle(), message, wParam, lParam); }
};

TEST(FormBase, NonModalFormIsOwnedByTheForeignWindowAndEntersContextHelp)
{
    TTestForm host;
    TProbeForm form(host.Handle());
    form.CreateForm("Полипад", WS_OVERLAPPEDWINDOW, 0, 300, 200);
    EXPECT_EQ(::GetWindow(form.Handle(), GW_OWNER), host.Handle());
    EXPECT_EQ(form.Send(WM_HELP, 0, 0), 0);
    EXPECT_FALSE(WhatsThis().Active());
    EXPECT_EQ(form.Send(WM_SYSCOMMAND, SC_CONTEXTHELP, 0), 0);
    EXPECT_TRUE(WhatsThis().Active());
    EXPECT_EQ(WhatsThis().StartForm(), &form);
    EXPECT_EQ(form.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    MSG esc{form.Handle(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(WhatsThis().MessageFilter(esc));
    EXPECT_FALSE(WhatsThis().Active());
    EXPECT_EQ(WhatsThis().StartForm(), nullptr);
}

TEST(FormBase, HelpKeysOfRealWindows)
{
    TTestForm form;
    SetHelpName(form.Handle(), "", "TPolypadForm");
    SetHelpName(form.Grid.Handle(), "SimpleGrid", "TSimpleGrid");
    const THelpKeys grid = HelpKeysForWindow(form.Grid.Handle(), 1);
    EXPECT_EQ(grid.Section, "TPolypadForm");
    EXPECT_EQ(grid.Key, "SimpleGrid");
    const THelpKeys caption = HelpKeysForWindow(form.Handle(), 2);
    EXPECT_EQ(caption.Section, "Forms");
    EXPECT_EQ(caption.Key, "Form(2)");
    const THelpKeys other = HelpKeysForWindow(form.Other, 7);
    EXPECT_EQ(other.Section, "TPolypadForm");
    EXPECT_THAT(other.Key, HasSubstr("Edit"));
    EXPECT_THAT(other.Key, HasSubstr("(7)"));
}

// A stand-in for the HTML Help entry point that records its calls.
// The sizes HTML Help checks in cbStruct, by the bitness of the process.
#ifdef _WIN64
constexpr int kHHPopupSize = 72, kHHLastErrorSize = 16;
#else
constexpr int kHHPopupSize = 52, kHHLastErrorSize = 12;
#endif

struct THelpCall {
    UINT Command;
    std::string File;
    THHPopup Popup;
};
std::vector<THelpCall> GHelpCalls;
bool GHelpFails = false;

HWND WINAPI FakeHtmlHelp(HWND, LPCSTR file, UINT command, DWORD_PTR data)
{
    THelpCall call{command, file ? file : "", {}};
    if (command == HH_DISPLAY_TEXT_POPUP_)
        call.Popup = *reinterpret_cast<const THHPopup*>(data);
    if (command == HH_INITIALIZE_)
        *reinterpret_cast<DWORD_PTR*>(data) = 77;
    GHelpCalls.push_back(call);
    if (command == HH_GET_LAST_ERROR_) {
        auto* error = reinterpret_cast<THHLastError*>(data);
        EXPECT_EQ(error->cbStruct, kHHLastErrorSize);
        error->hr = E_FAIL;
        error->description = ::SysAllocString(L"файл не найден");
        return reinterpret_cast<HWND>(1);
    }
    if (command == HH_DISPLAY_TOPIC_ || command == HH_DISPLAY_TEXT_POPUP_)
        return GHelpFails ? nullptr : reinterpret_cast<HWND>(1);
    return reinterpret_cast<HWND>(1);
}

TEST(HtmlHelpCalls, TopicsPopupsInitialiseCloseAndTheFailureMessage)
{
    THtmlHelp& help = HtmlHelp();
    help.SetFunction(FakeHtmlHelp);
    std::vector<std::string> errors;
    help.OnError = [&](const std::string& text) { errors.push_back(text); };
    GHelpCalls.clear();
    ShowHelpTopic("intro.htm");
    ShowHelpTopic("#12");
    ShowHelpTopic("#12  notes.txt");
    ShowHelpTopic("");
    ASSERT_EQ(GHelpCalls.size(), 5u);
    EXPECT_EQ(GHelpCalls[0].Command, HH_INITIALIZE_);
    EXPECT_EQ(GHelpCalls[1].Command, HH_DISPLAY_TOPIC_);
    EXPECT_THAT(GHelpCalls[1].File, HasSubstr(".CHM::/intro.htm"));
    EXPECT_EQ(GHelpCalls[2].Command, HH_DISPLAY_TEXT_POPUP_);
    EXPECT_EQ(GHelpCalls[2].Popup.cbStruct, kHHPopupSize);
    EXPECT_EQ(GHelpCalls[2].Popup.idString, 12u);
    EXPECT_EQ(GHelpCalls[2].Popup.clrForeground, static_cast<COLORREF>(-1));
    EXPECT_EQ(GHelpCalls[2].Popup.rcMargins.left, -1);
    EXPECT_THAT(GHelpCalls[2].File, testing::EndsWith(".CHM"));
    EXPECT_THAT(GHelpCalls[3].File, testing::EndsWith(".CHM::/notes.txt"));
    EXPECT_THAT(GHelpCalls[4].File, testing::EndsWith(".CHM"));
    EXPECT_TRUE(errors.empty());

    GHelpFails = true;
    ShowHelpTopic("missing.htm");
    GHelpFails = false;
    EXPECT_THAT(errors, ElementsAre("Ошибка справочной системы: файл не найден"));
    EXPECT_EQ(GHelpCalls.back().Command, HH_GET_LAST_ERROR_);

    GHelpCalls.clear();
    help.Close();
    ASSERT_EQ(GHelpCalls.size(), 2u);
    EXPECT_EQ(GHelpCalls[0].Command, HH_CLOSE_ALL_);
    EXPECT_EQ(GHelpCalls[1].Command, HH_UNINITIALIZE_);
    help.OnError = nullptr;
}

// The help caller without a replacement function: it loads HHCtrl.ocx itself and calls entry 14,
// and a topic that cannot be shown comes back as its error box text, not as a crash.
TEST(HtmlHelpCalls, TheRealLibraryIsLoadedByOrdinalAndCalled)
{
    THtmlHelp help;
    std::vector<std::string> errors;
    help.OnError = [&](const std::string& text) { errors.push_back(text); };
    const HWND result = help.Call(nullptr, "Z:\\no\\such\\help.chm", HH_DISPLAY_TOPIC_, 0);
    EXPECT_EQ(result, nullptr) << "no such help file";
    for (const std::string& text : errors)
        EXPECT_THAT(text, testing::StartsWith("Ошибка справочной системы: "));
    HMODULE loaded = nullptr;
    EXPECT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, L"hhctrl.ocx", &loaded))
        << "the caller loaded the library";
    help.Close();
}

} // namespace
