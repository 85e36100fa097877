// The automation object against the Host stand-in (HostSim, in process): set-up and tear-down
// as the Host sees them, every failing Host call of Init, the references the module holds, and
// the table operations on the stand-in's own map view and contours.
#include "ModuleTestSupport.h"
#include "Polypad/HostTable.h"
#include "controls/WinHandles.h"

#include "hostsim/HostSimApi.h"

#include <gtest/gtest.h>
#include "tests/win32/support/ProcessFiles.h"

using namespace moduletest;

namespace {

BOOL CALLBACK FindApplicationProc(HWND window, LPARAM lParam)
{
    wchar_t name[64] = {};
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == ::GetCurrentProcessId() && ::GetClassNameW(window, name, 64) && std::wstring(name) == L"TApplication" &&
        ::GetWindowLongPtrW(window, GWLP_HINSTANCE) == reinterpret_cast<LONG_PTR>(::GetModuleHandleW(nullptr))) {
        *reinterpret_cast<HWND*>(lParam) = window;
        return FALSE;
    }
    return TRUE;
}

class StandIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostsim::ClearFaults();
        FLiveBefore = hostsim::LiveObjects();
        ::DeleteFileW((processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT) + L".settings").c_str()); // every test starts fresh
        ASSERT_EQ(hostsim::CreateApplication(processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT).c_str(), WithWindows(), FHost.put()), S_OK)
            << Narrow(TakeErrorDescription());
        FLiveWithHost = hostsim::LiveObjects();
        FModule = CreateModule();
        ASSERT_TRUE(FModule);
    }
    void TearDown() override
    {
        hostsim::ClearFaults();
        FModule.reset();
        EXPECT_EQ(hostsim::LiveObjects(), FLiveWithHost) << "the module still holds Host objects";
        FHost.reset();
        hostsim::PumpMessages();
        EXPECT_EQ(hostsim::LiveObjects(), FLiveBefore);
    }
    virtual bool WithWindows() const { return false; }
    HRESULT Init(const wchar_t* command = L"Полипад")
    {
        TBStr name{std::wstring(command)};
        return FModule->Init(FHost.get(), name.get());
    }

    long FLiveBefore = 0;
    long FLiveWithHost = 0;
    TComPtr<IHostApplication> FHost;
    TComPtr<IPolypadComModule> FModule;
};

class StandInWithWindows : public StandIn {
protected:
    bool WithWindows() const override { return true; }
};

TEST_F(StandInWithWindows, InitOwnsTheModuleWindowsByTheHostsApplicationWindowAndDoneLetsGo)
{
    HWND application = nullptr;
    ::EnumWindows(FindApplicationProc, reinterpret_cast<LPARAM>(&application));
    ASSERT_NE(application, nullptr) << "the stand-in makes a TApplication window";
    ASSERT_EQ(Init(), S_OK) << Narrow(TakeErrorDescription());
    ASSERT_EQ(CountNotifyWindows(), 1);
    EXPECT_EQ(::GetWindow(FindNotifyWindow(), GW_OWNER), application);
    EXPECT_GT(hostsim::LiveObjects(), FLiveWithHost) << "the Host command is kept";
    EXPECT_EQ(FModule->Synchronize(), S_OK);
    EXPECT_EQ(FModule->RepaintDragging(nullptr), S_OK);

    ASSERT_EQ(FModule->Done(), S_OK);
    EXPECT_EQ(hostsim::LiveObjects(), FLiveWithHost);
    EXPECT_EQ(CountNotifyWindows(), 0);
    const long calls = hostsim::CallCount();
    ASSERT_EQ(FModule->Done(), S_OK);
    EXPECT_EQ(hostsim::CallCount(), calls) << "a second Done asks nothing of the Host";
}

TEST_F(StandIn, UnknownCommandNameFailsInitWithTheHostsMessage)
{
    EXPECT_EQ(Init(L"Нет такой команды"), static_cast<HRESULT>(0x80070057));
    EXPECT_EQ(TakeErrorDescription(), L"Команда «Нет такой команды» не найдена");
    EXPECT_EQ(CountNotifyWindows(), 0);
    EXPECT_EQ(FModule->Done(), S_OK);
}

TEST_F(StandIn, OperationFaultOfTheCommandLookupComesBackAsErrorInformation)
{
    hostsim::FailOperation(L"IHostMainWindow.Actions", E_ACCESSDENIED, L"Доступ к командам запрещён");
    EXPECT_EQ(Init(), E_ACCESSDENIED);
    IErrorInfo* raw = nullptr;
    ASSERT_EQ(::GetErrorInfo(0, &raw), S_OK);
    TComPtr<IErrorInfo> info = TComPtr<IErrorInfo>::attach(raw);
    TBStr description, source;
    GUID guid{};
    info->GetDescription(description.put());
    info->GetSource(source.put());
    info->GetGUID(&guid);
    EXPECT_EQ(description.Wide(), L"Доступ к командам запрещён");
    EXPECT_EQ(source.Wide(), L"Polypad.PolypadComModule");
    EXPECT_TRUE(guid == IID_IPolypadComModule);
    EXPECT_EQ(CountNotifyWindows(), 0) << "the notification window comes after the lookup";
    hostsim::ClearFaults();

    // Stale error information is cleared when the next method starts.
    SetComError(E_FAIL, "stale", IID_IPolypadComModule, L"test");
    EXPECT_EQ(FModule->Synchronize(), S_OK);
    EXPECT_EQ(TakeErrorDescription(), L"<none>");
    EXPECT_EQ(FModule->Done(), S_OK);
}

// Every Host call Init makes, failed in turn: each gives an error result with the Host's message
// and leaks nothing once Done and release have run (checked in TearDown).
TEST_F(StandIn, EachFailingHostCallOfInitIsReportedAndLeaksNothing)
{
    const long start = hostsim::CallCount();
    ASSERT_EQ(Init(), S_OK);
    const long callsOfInit = hostsim::CallCount() - start;
    ASSERT_GT(callsOfInit, 0);
    ASSERT_EQ(FModule->Done(), S_OK);
    for (long n = 1; n <= callsOfInit; ++n) {
        const std::wstring message = L"Сбой вызова " + std::to_wstring(n);
        hostsim::FailNthCall(n, E_FAIL, message.c_str());
        EXPECT_EQ(Init(), E_FAIL) << "call " << n;
        EXPECT_EQ(TakeErrorDescription(), message) << "call " << n;
        hostsim::ClearFaults();
        EXPECT_EQ(CountNotifyWindows(), 0) << "call " << n;
        EXPECT_EQ(FModule->Done(), S_OK);
        EXPECT_EQ(hostsim::LiveObjects(), FLiveWithHost) << "call " << n;
    }
}

TEST_F(StandIn, InitWithoutDoneIsUndoneByRelease)
{
    ASSERT_EQ(Init(), S_OK);
    FModule.reset();
    EXPECT_EQ(hostsim::LiveObjects(), FLiveWithHost);
    EXPECT_EQ(CountNotifyWindows(), 0);
    EXPECT_EQ(ModuleDll().CanUnloadNow(), S_OK);
}

// The stand-in's view puts map X up and map Y right on the screen (pixels y down): (1,0) goes
// to (0,-k) and (0,1) to (k,0), a cross product k*k > 0.
TEST_F(StandIn, ViewOfTheStandInIsNotMirrored)
{
    const long start = hostsim::CallCount();
    EXPECT_FALSE(ViewIsMirrored(FHost.get()));
    EXPECT_EQ(hostsim::CallCount() - start, 7) << "MainWindow, MapWindow, Surface, Transform, three conversions";
    hostsim::FailOperation(L"IHostSurfaceTransform.MapToSurface", E_FAIL, L"Нет вида карты");
    try {
        ViewIsMirrored(FHost.get());
        ADD_FAILURE() << "no exception";
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "Нет вида карты");
    }
}

TEST_F(StandIn, ContourToHostShapeReadsBackFromTheHostsContour)
{
    ContourParts::TContour contour;
    TRefHolder<ContourParts::TContourPart> closed(new ContourParts::TContourPart());
    closed->Closed = true;
    closed->Vertices = {{0, 0, 0}, {2, 0, 0.41421356237309503}, {2, 2, 0}};
    TRefHolder<ContourParts::TContourPart> open(new ContourParts::TContourPart());
    open->Vertices = {{5, 5, 0}, {6, 5, -0.5}};
    contour.AddPart(closed.get());
    contour.AddPart(open.get());

    TComPtr<IHostContour> shape = ContourToHostShape(FHost.get(), contour);
    ASSERT_TRUE(shape);
    long parts = 0;
    ASSERT_EQ(shape->PartCount(&parts), S_OK);
    ASSERT_EQ(parts, 2);
    const ContourParts::TContourPart* expected[] = {closed.get(), open.get()};
    for (long i = 0; i < 2; ++i) {
        TComPtr<IHostContourPart> part;
        ASSERT_EQ(shape->Part(i, part.put()), S_OK);
        VARIANT_BOOL isClosed = 1;
        ASSERT_EQ(part->get_Closed(&isClosed), S_OK);
        EXPECT_EQ(isClosed, expected[i]->Closed ? VARIANT_TRUE : VARIANT_FALSE);
        long count = 0;
        ASSERT_EQ(part->VertexCount(&count), S_OK);
        ASSERT_EQ(count, expected[i]->Count());
        for (long v = 0; v < count; ++v) {
            double x = 0, y = 0, b = 0;
            ASSERT_EQ(part->GetVertex(v, &x, &y, &b), S_OK);
            EXPECT_EQ(x, expected[i]->Vertices[v].X);
            EXPECT_EQ(y, expected[i]->Vertices[v].Y);
            EXPECT_EQ(b, expected[i]->Vertices[v].ArcConvexity);
        }
    }
    shape.reset();
    EXPECT_EQ(hostsim::LiveObjects(), FLiveWithHost) << "nothing of the conversion is left but the result";
}

} // namespace
