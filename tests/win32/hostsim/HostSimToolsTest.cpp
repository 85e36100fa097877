// Tools for end-to-end tests and benchmarks of the module: generated objects, stale selections,
// the clipboard, message boxes answered from a timer, and the timing of message handlers.
#include "HostSimTestSupport.h"

#include "hostsim/Clipboard.h"
#include "hostsim/MessageBoxes.h"
#include "hostsim/ProjectStore.h"
#include "hostsim/ScriptParser.h"

#include "controls/WinHandles.h"

#include <gmock/gmock.h>

#include <cmath>
#include <sstream>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class Tools : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        Open(false);
    }
    HWND Owner() { return hostsim::MainWindowHandle(App.get()); }
};

struct TVertexLine {
    double X = 0, Y = 0, K = 0;
};

// The vertices of part 0 of shape 0 from the geometry text, and whether the part is closed.
std::vector<TVertexLine> Vertices(IHostApplication* app, long id, bool& closed)
{
    std::wstring text;
    EXPECT_HRESULT_SUCCEEDED(hostsim::ObjectGeometryText(app, id, text));
    std::wistringstream in(text);
    std::wstring line;
    std::vector<TVertexLine> vertices;
    while (std::getline(in, line)) {
        if (line.rfind(L"part ", 0) == 0)
            closed = line == L"part 0 closed";
        else if (line.rfind(L"object", 0) != 0 && line.rfind(L"shape", 0) != 0) {
            TVertexLine v;
            std::wistringstream(line) >> v.X >> v.Y >> v.K;
            vertices.push_back(v);
        }
    }
    return vertices;
}

} // namespace

// ---- generated objects --------------------------------------------------------------------------

TEST_F(Tools, AGeneratedObjectIsAClosedStarWithEveryTenthEdgeAnArc)
{
    long id = 0;
    ASSERT_HRESULT_SUCCEEDED(hostsim::GenerateObject(App.get(), 1, 11, 1000, &id));
    EXPECT_EQ(id, 302); // after the example's highest id
    bool closed = false;
    const std::vector<TVertexLine> vertices = Vertices(App.get(), id, closed);
    EXPECT_TRUE(closed);
    ASSERT_EQ(vertices.size(), 1000u);
    int arcs = 0;
    double nearest = 1e300, farthest = 0, cx = 0, cy = 0;
    for (const TVertexLine& v : vertices) {
        arcs += v.K == 0.1;
        cx += v.X / 1000;
        cy += v.Y / 1000;
    }
    for (const TVertexLine& v : vertices) {
        const double r = std::hypot(v.X - cx, v.Y - cy);
        nearest = std::min(nearest, r);
        farthest = std::max(farthest, r);
    }
    EXPECT_EQ(arcs, 100);
    EXPECT_EQ(vertices[0].K, 0.1); // the closing edge is the 1000th
    EXPECT_EQ(vertices[10].K, 0.1);
    EXPECT_EQ(vertices[9].K, 0);
    EXPECT_GT(farthest, 0);
    EXPECT_NEAR(nearest / farthest, 0.9, 1e-9);
}

TEST_F(Tools, AGeneratedObjectSurvivesTheRollbackOfAnOpenTransaction)
{
    TPtr<IHostProject> project;
    TPtr<IHostObjectStore> store;
    ASSERT_HRESULT_SUCCEEDED(App->get_Project(project.out()));
    ASSERT_HRESULT_SUCCEEDED(project->get_Objects(store.out()));
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Правка модуля").get()));
    long id = 0;
    ASSERT_HRESULT_SUCCEEDED(hostsim::GenerateObject(App.get(), 1, 11, 3, &id));
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Следующая").get())); // rolls the first back
    std::wstring text;
    EXPECT_HRESULT_SUCCEEDED(hostsim::ObjectGeometryText(App.get(), id, text));
    long next = 0;
    ASSERT_HRESULT_SUCCEEDED(hostsim::GenerateObject(App.get(), 1, 11, 3, &next));
    EXPECT_EQ(next, id + 1);
}

TEST_F(Tools, GeneratingRefusesAForeignStyleAndTooFewVertices)
{
    long id = -1;
    EXPECT_EQ(hostsim::GenerateObject(App.get(), 2, 11, 100, &id), E_INVALIDARG); // style 11 is layer 1's
    EXPECT_EQ(hostsim::GenerateObject(App.get(), 1, 11, 2, &id), E_INVALIDARG);
    EXPECT_EQ(hostsim::GenerateObject(App.get(), 1, 999, 100, &id), E_INVALIDARG);
    EXPECT_EQ(id, 0);
    std::wstring text;
    EXPECT_HRESULT_FAILED(hostsim::ObjectGeometryText(App.get(), 302, text));
}

// ---- selection of a missing object ------------------------------------------------------------------

TEST_F(Tools, OnlyAStaleSelectionHoldsAMissingId)
{
    EXPECT_EQ(hostsim::SelectMapObject(App.get(), 999, -1), E_INVALIDARG);
    ASSERT_HRESULT_SUCCEEDED(hostsim::SelectStaleObject(App.get(), 999, 2));
    TPtr<IHostSelection> selection;
    ASSERT_HRESULT_SUCCEEDED(App->get_Selection(selection.out()));
    LONG count = 0, id = 0, shape = 0;
    ASSERT_HRESULT_SUCCEEDED(selection->get_Count(&count));
    ASSERT_HRESULT_SUCCEEDED(selection->ObjectId(0, &id));
    ASSERT_HRESULT_SUCCEEDED(selection->ShapeIndex(0, &shape));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(id, 999);
    EXPECT_EQ(shape, 2);
}

// ---- clipboard -------------------------------------------------------------------------------------

TEST_F(Tools, ClipboardTextRoundTripsWithTabsLineBreaksAndCyrillic)
{
    const std::wstring text = L"Участок\t452300.5\r\n2\t1385200\n";
    hostsim::SetClipboardText(Owner(), text);
    EXPECT_EQ(hostsim::ClipboardText(Owner()), text);
    ASSERT_TRUE(::IsClipboardFormatAvailable(CF_TEXT));

    hostsim::SetClipboardBytes(Owner(), "Ж\t1\n"); // UTF-8: the text, not its bytes
    EXPECT_EQ(hostsim::ClipboardText(Owner()), L"Ж\t1\n");
}

TEST_F(Tools, BytesThatAreNotUtf8GoToTheClipboardUnchanged)
{
    hostsim::SetClipboardBytes(Owner(), "a\xff\tb");
    ASSERT_TRUE(::OpenClipboard(Owner()));
    const HANDLE data = ::GetClipboardData(CF_TEXT);
    const std::string bytes = data ? static_cast<const char*>(::GlobalLock(data)) : "";
    if (data)
        ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_EQ(bytes, "a\xff\tb");
}

TEST(ClipboardEscapes, ScriptTextsCarryTabsLineBreaksAndBackslashes)
{
    EXPECT_EQ(hostsim::UnescapeText("a\\tb\\nc\\r\\\\"), "a\tb\nc\r\\");
    EXPECT_EQ(hostsim::EscapeText("a\tb\nc\r\\"), "a\\tb\\nc\\r\\\\");
    for (const char* bad : {"a\\x", "trailing\\"})
        EXPECT_THROW(hostsim::UnescapeText(bad), hostsim::EHostError) << bad;
    // A quoted script word keeps the backslash of \t for clipboard-set.
    EXPECT_EQ(hostsim::ParseScript("clipboard-set \"1\\t2 \\\"3\\\"\"\n").at(0).Args.at(0), "1\\t2 \"3\"");
}

// ---- message boxes and handler timing ----------------------------------------------------------

namespace {

// Presses Yes on the box once it has been open for 300 ms (from inside its modal loop).
void CALLBACK AnswerYesLater(HWND, UINT, UINT_PTR timer, DWORD)
{
    static DWORD seen = 0;
    const HWND box = hostsim::FindMessageBox();
    if (!box) {
        seen = 0;
        return;
    }
    if (!seen)
        seen = ::GetTickCount();
    if (::GetTickCount() - seen >= 300) {
        seen = 0;
        ::KillTimer(nullptr, timer);
        hostsim::PressButton(box, "Yes");
    }
}

LRESULT CALLBACK SlowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 7) {
        ::Sleep(150);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Registers a window class (once per process) whose windows take 150 ms over WM_APP + 7.
void RegisterSlowClass(const wchar_t* name)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = SlowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    ::RegisterClassW(&wc);
}

} // namespace

TEST_F(Tools, AMessageBoxIsAnsweredFromItsModalLoopWithoutCountingAsASlowHandler)
{
    hostsim::ResetLongestDispatch();
    ASSERT_HRESULT_SUCCEEDED(hostsim::PostMessageBox(App.get(), L"Сохранить?"));
    ASSERT_TRUE(::SetTimer(nullptr, 0, 20, AnswerYesLater));
    const DWORD start = ::GetTickCount();
    hostsim::PumpMessages();
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 250u);
    EXPECT_EQ(hostsim::StatusText(App.get()), L"message-box Yes");
    // The 300 ms the box stood open are left out; what remains is making and closing it, which
    // a loaded machine may slow down.
    EXPECT_LT(hostsim::LongestDispatch().Milliseconds, static_cast<double>(elapsed) - 250);
    EXPECT_EQ(hostsim::FindMessageBox(), nullptr);
}

TEST_F(Tools, TheSlowestHandlerIsKeptWithItsMessageAndClassUntilReset)
{
    RegisterSlowClass(L"TSlowTestWindow");
    const TUniqueWindow window(::CreateWindowExW(0, L"TSlowTestWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                 ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window);
    hostsim::ResetLongestDispatch();
    EXPECT_EQ(hostsim::LongestDispatch().Milliseconds, 0);
    ::PostMessageW(window.get(), WM_APP + 7, 0, 0);
    hostsim::PumpMessages();
    const hostsim::TDispatchRecord slowest = hostsim::LongestDispatch();
    EXPECT_GE(slowest.Milliseconds, 140);
    EXPECT_EQ(slowest.Message, static_cast<UINT>(WM_APP + 7));
    EXPECT_EQ(slowest.WindowClass, L"TSlowTestWindow");
    hostsim::ResetLongestDispatch();
    EXPECT_EQ(hostsim::LongestDispatch().WindowClass, L"-");

    hostsim::StartTimer();
    ::Sleep(20);
    EXPECT_GE(hostsim::TimerMilliseconds(), 15);
}

TEST_F(Tools, HandlersAreSplitBetweenTheModuleAndTheStandInByClass)
{
    RegisterSlowClass(L"TSlowTestWindow");
    RegisterSlowClass(L"TOrvexSlowTestWindow");
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const TUniqueWindow module(::CreateWindowExW(0, L"TSlowTestWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                 instance, nullptr));
    const TUniqueWindow standIn(::CreateWindowExW(0, L"TOrvexSlowTestWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                                  nullptr, instance, nullptr));
    ASSERT_TRUE(module && standIn);
    hostsim::PumpMessages();
    hostsim::ResetLongestDispatch();
    ::PostMessageW(standIn.get(), WM_APP + 7, 0, 0);
    ::PostMessageW(standIn.get(), WM_APP + 7, 0, 0);
    ::PostMessageW(module.get(), WM_APP + 7, 0, 0);
    hostsim::PumpMessages();
    const hostsim::TDispatchSplit split = hostsim::DispatchSplit();
    EXPECT_EQ(split.LongestModule.WindowClass, L"TSlowTestWindow");
    EXPECT_EQ(split.LongestStandIn.WindowClass, L"TOrvexSlowTestWindow");
    EXPECT_GE(split.LongestModule.Milliseconds, 140);
    // Both stand-in handlers are summed, the module's is not.
    EXPECT_GE(split.StandInMilliseconds, 280);
    EXPECT_LT(split.StandInMilliseconds, 2 * split.LongestStandIn.Milliseconds + 1);

    hostsim::ResetLongestDispatch();
    EXPECT_EQ(hostsim::DispatchSplit().StandInMilliseconds, 0);
    EXPECT_EQ(hostsim::DispatchSplit().LongestModule.Milliseconds, 0);
}
