// The module in process against the Host stand-in with windows: every Host call of a whole
// editing session failed in turn, and input that must be refused without losing the user's rows
// (clipboard texts, stored settings, a stale selection).
#include "FaultSession.h"

#include "Polypad/ComModule.h"
#include "Polypad/PolypadForms.h"
#include "controls/WinHandles.h"

#include "hostsim/Clipboard.h"
#include "hostsim/HostSimApi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include "tests/win32/support/ProcessFiles.h"

using namespace endtoend;

namespace {

const std::wstring kProject = processfiles::OwnCopy(ENDTOEND_PROJECT_W);

class TComEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        // The Host registers its type library; the module's IDispatch resolves Host types by it.
        TComPtr<ITypeLib> hostLib;
        ASSERT_EQ(::LoadTypeLibEx(ENDTOEND_HOST_TLB_W, REGKIND_REGISTER, hostLib.put()), S_OK);
        StartModuleServer();
    }
    void TearDown() override { ::OleUninitialize(); }
};
[[maybe_unused]] ::testing::Environment* const GComEnvironment =
    ::testing::AddGlobalTestEnvironment(new TComEnvironment);

std::string Describe(const std::vector<std::wstring>& texts)
{
    std::string all;
    for (const std::wstring& t : texts)
        all += "\n  " + Narrow(t);
    return all.empty() ? " (none)" : all;
}

// ENDTOEND_SWEEP_SHARD="I/N" runs the calls k with k % N == I (the sweep is split across test
// processes); ENDTOEND_SWEEP_CALLS="556,960" limits it to those calls (for looking into one).
bool Selected(long call)
{
    if (const char* shard = std::getenv("ENDTOEND_SWEEP_SHARD")) {
        int index = 0, count = 1;
        if (std::sscanf(shard, "%d/%d", &index, &count) == 2 && count > 0 && call % count != index)
            return false;
    }
    const char* only = std::getenv("ENDTOEND_SWEEP_CALLS");
    if (!only || !*only)
        return true;
    const std::string list = "," + std::string(only) + ",";
    return list.find("," + std::to_string(call) + ",") != std::string::npos;
}

// ---- the sweep ----------------------------------------------------------------------------------

// A fault-free session sets the baseline: its Host call count N and the map it leaves. Then
// each of the N calls fails once in a fresh session: no crash or hang, the Host's message reaches
// the user (up to Done), the map is the state before or after, no hint stays locked, nothing leaks.
TEST(EndToEndFaults, EveryHostCallOfASessionFailedInTurn)
{
    const TMapState before = InitialMapState(kProject);
    ASSERT_NE(before.Updated, L"<none>");
    ASSERT_EQ(before.Created, L"<none>");

    const TSessionResult clean = RunSession(kProject, 0, L"");
    ASSERT_TRUE(clean.Messages.empty()) << "a fault-free session shows nothing:" << Describe(clean.Messages);
    ASSERT_TRUE(clean.LockedHints.empty()) << Describe(clean.LockedHints);
    ASSERT_EQ(clean.LiveObjectsLeft, 0);
    ASSERT_NE(clean.Map.Updated, before.Updated) << "the session updates the parcel";
    ASSERT_NE(clean.Map.Extended, before.Extended) << "the session adds a shape";
    ASSERT_NE(clean.Map.Created, L"<none>") << "the session creates an object";
    const long calls = clean.HostCalls;
    ASSERT_GT(calls, 0);
    std::printf("fault sweep: %ld Host calls in a fault-free session\n  after steps: %s\n", calls,
                clean.StepCalls.c_str());
    std::fflush(stdout);

    auto committed = [](const std::wstring& now, const std::wstring& a, const std::wstring& b) {
        return now == a || now == b;
    };
    const auto start = std::chrono::steady_clock::now();
    long runs = 0;
    std::vector<long> silent;
    for (long k = 1; k <= calls; ++k) {
        if (!Selected(k))
            continue;
        const std::wstring message = L"Сбой хоста " + std::to_wstring(k);
        TSessionResult r;
        {
            TWatchdog watchdog(60000, "the session failing Host call " + std::to_string(k));
            r = RunSession(kProject, k, message);
        }
        ++runs;
        if (runs % 50 == 0)
            std::printf("fault sweep: %ld of %ld runs\n", runs, calls), std::fflush(stdout);
        // The release after Done has no one to report to (the module's destructor says so).
        // The pane's own layout call is the one Host failure the module lets pass on purpose.
        const bool reportable = k <= clean.CallsBeforeRelease && hostsim::FailedOperation() != L"IHostPane.Update";
        if (reportable && !Contains(r.Messages, message))
            silent.push_back(k), ADD_FAILURE() << "call " << k << " failed unheard; the user saw:" << Describe(r.Messages);
        EXPECT_TRUE(r.LockedHints.empty()) << "call " << k << ":" << Describe(r.LockedHints);
        EXPECT_EQ(r.LiveObjectsLeft, 0) << "call " << k << " leaves Host objects held";
        EXPECT_TRUE(committed(r.Map.Updated, before.Updated, clean.Map.Updated)) << "call " << k << "\n"
                                                                                 << Narrow(r.Map.Updated);
        EXPECT_TRUE(committed(r.Map.Extended, before.Extended, clean.Map.Extended)) << "call " << k << "\n"
                                                                                    << Narrow(r.Map.Extended);
        EXPECT_TRUE(committed(r.Map.Created, before.Created, clean.Map.Created)) << "call " << k << "\n"
                                                                                 << Narrow(r.Map.Created);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("fault sweep: %ld Host calls per session, %ld runs in %.1f s\n", calls, runs, seconds);
    std::string silentList;
    for (long k : silent)
        silentList += " " + std::to_string(k);
    EXPECT_TRUE(silent.empty()) << "failed Host calls the user never heard of:" << silentList;
}

// ---- one window on the parcel, for the refusals -------------------------------------------------

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostsim::ClearFaults();
        ::DeleteFileW((kProject + L".settings").c_str());
        ASSERT_EQ(hostsim::CreateApplication(kProject.c_str(), true, FHost.put()), S_OK);
        FLiveWithHost = hostsim::LiveObjects();
        BeforeInit();
        FModule = TComPtr<TPolypadComModule>(new TPolypadComModule);
        TBStr name(std::string("Полипад"));
        ASSERT_EQ(FModule->Init(FHost.get(), name.get()), S_OK) << Narrow(TakeErrorText());
        ASSERT_EQ(hostsim::AttachModule(FHost.get(), FModule.get(), L"Полипад"), S_OK);
        ASSERT_EQ(hostsim::SelectMapObject(FHost.get(), kUpdatedObject, -1), S_OK);
        hostsim::PumpMessages();
        ASSERT_EQ(FModule->ShowHideForm(), S_OK);
        hostsim::PumpMessages();
        ASSERT_NE(Form(), nullptr);
    }
    void TearDown() override
    {
        hostsim::ClearFaults();
        if (FModule) {
            EXPECT_EQ(FModule->Done(), S_OK);
            hostsim::DetachModule(FHost.get());
            FModule.reset();
        }
        hostsim::PumpMessages();
        EXPECT_EQ(hostsim::LiveObjects(), FLiveWithHost) << "the module still holds Host objects";
        FHost.reset();
        hostsim::PumpMessages();
    }
    virtual void BeforeInit() {}

    TPolypadForm* Form() const { return FModule->Form(); }
    // The rows as the copy writes them, closed flag first.
    std::string Rows() const
    {
        return (Form()->FTable->Closed() ? "closed\n" : "open\n") + Form()->BuildClipboardText();
    }
    std::wstring Geometry(long id) const
    {
        std::wstring text;
        return hostsim::ObjectGeometryText(FHost.get(), id, text) == S_OK ? text : L"<none>";
    }
    // Runs the paste as its button does; the message it raises, empty when none.
    std::string Paste()
    {
        try {
            Form()->PasteFromClipboardAction->Execute();
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }
    void SetClipboard(const std::string& utf8) { hostsim::SetClipboardText(Form()->Handle(), Widen(utf8)); }

    TComPtr<IHostApplication> FHost;
    TComPtr<TPolypadComModule> FModule;
    long FLiveWithHost = 0;
    TMessageBoxCatcher FBoxes;
};

std::string Lines(int count, const std::string& line)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + '\n';
    return text;
}

// Each refused text names its fault and leaves the rows, the closed flag included.
TEST_F(EditorWindow, PastesThatCannotBeRowsLeaveTheTable)
{
    Form()->EditingModeAction->Execute();
    const std::string rows = Rows();
    ASSERT_NE(rows, "open\n");

    struct TCase {
        const char* What;
        std::string Text;
        std::string Message;
    };
    const TCase cases[] = {
        {"20000 lines", Lines(20000, "1\t2\t0"), "Range check error"},
        {"13 fields", "1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13", "Range check error"},
        {"NaN", "452300\t1385200\t0\nNaN\t1385240\t0", "'NaN' is not a valid floating point value"},
        {"huge", "452300\t1e999\t0", "'1e999' is not a valid floating point value"},
        {"infinity", "inf\t1385200\t0", "'inf' is not a valid floating point value"},
    };
    for (const TCase& c : cases) {
        SetClipboard(c.Text);
        EXPECT_EQ(Paste(), c.Message) << c.What;
        EXPECT_EQ(Rows(), rows) << c.What;
    }

    // Bytes of no encoding at all, as CF_TEXT: refused with some message, rows kept.
    std::mt19937 random(20261208);
    std::string bytes(4000, '\0');
    for (char& b : bytes)
        b = static_cast<char>(1 + random() % 255);
    bytes[0] = 'x';
    hostsim::SetClipboardBytes(Form()->Handle(), bytes);
    EXPECT_NE(Paste(), "") << "random bytes";
    EXPECT_EQ(Rows(), rows) << "random bytes";
    hostsim::PumpMessages();
    EXPECT_FALSE(Form()->FHintManager->AnyLocked());
}

// A clipboard without a single row leaves the table: pasting it would only wipe the rows.
TEST_F(EditorWindow, PasteOfAClipboardWithoutRowsKeepsTheTable)
{
    Form()->EditingModeAction->Execute();
    const std::string rows = Rows();
    SetClipboard("");
    Paste();
    EXPECT_EQ(Rows(), rows);
    SetClipboard("\n\n\t\n");
    Paste();
    EXPECT_EQ(Rows(), rows);
}

// With only the coordinate and arc columns shown, a copy pastes back as the same rows; the copy's
// exact rows carry the closed flag too (a text pasted from another program opens the outline).
TEST_F(EditorWindow, CopyOfTheCoordinateAndArcColumnsPastesBackAsTheSameRows)
{
    Form()->EditingModeAction->Execute();
    for (TAction* column : {Form()->PointNumberColumnAction, Form()->EdgeLengthColumnAction,
                            Form()->LeftAngleColumnAction, Form()->RightAngleColumnAction,
                            Form()->DirectionAngleColumnAction})
        column->Execute();
    const std::string text = Form()->BuildClipboardText();
    Form()->CopyToClipboardAction->Execute();
    EXPECT_EQ(Paste(), "");
    EXPECT_EQ(Form()->BuildClipboardText(), text);
    EXPECT_TRUE(Form()->FTable->Closed());
}

// Another user deleted the selected object: following the selection says so and keeps the rows;
// an update in editing mode says so, changes nothing and leaves no transaction open.
TEST_F(EditorWindow, StaleSelectionIsReportedAndLosesNothing)
{
    const std::string rows = Rows();
    const std::wstring parcel = Geometry(kUpdatedObject);
    ASSERT_EQ(hostsim::SelectStaleObject(FHost.get(), 999, -1), S_OK);
    hostsim::PumpMessages();
    EXPECT_NE(hostsim::StatusText(FHost.get()).find(L"999"), std::wstring::npos) << Narrow(hostsim::StatusText(FHost.get()));
    EXPECT_EQ(Rows(), rows);

    Form()->EditingModeAction->Execute();
    std::string message;
    try {
        Form()->UpdateMapObjectAction->Execute();
    } catch (const std::exception& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("999"), std::string::npos) << message;
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(Geometry(kUpdatedObject), parcel);
    EXPECT_TRUE(hostsim::RolledBackTransactions(FHost.get()).empty());
    EXPECT_TRUE(hostsim::CommittedTransactions(FHost.get()).empty());
}

// Stored settings that do not read are replaced by the defaults, and a warning names them.
class EditorWindowWithBadSettings : public EditorWindow {
protected:
    void BeforeInit() override
    {
        TComPtr<IHostSettings> settings;
        ASSERT_EQ(FHost->get_Settings(settings.put()), S_OK);
        const std::pair<const char*, const char*> garbage[] = {
            {"Kestrom.PolypadDigits", "много"},
            {"Kestrom.PolypadLTWH", "10,x,\xd0\x96,-"},
            {"Kestrom.PolypadDataRow", "99999999999999999999"},
            {"Kestrom.PolypadDataCol", "\t"},
            {"Kestrom.PolypadPainterModeEnabled", "наверное"},
            {"Kestrom.PolypadShowing1", "2"},
            {"Kestrom.PolypadWidth1", "-50000"},
        };
        for (const auto& [key, value] : garbage)
            ASSERT_EQ(settings->WriteString(1, 0, TBStr(std::string(key)).get(), TBStr(std::string(value)).get()),
                      S_OK);
    }
};

TEST_F(EditorWindowWithBadSettings, WindowOpensWithDefaultsAndAWarning)
{
    hostsim::PumpMessages();
    EXPECT_TRUE(Contains(FBoxes.Texts, L"Сохранённые настройки окна не прочитаны")) << Describe(FBoxes.Texts);
    EXPECT_TRUE(Contains(FBoxes.Texts, L"Kestrom.PolypadDigits")) << Describe(FBoxes.Texts);
    EXPECT_EQ(Form()->FDigits, kMaxDigits);
    RECT r{};
    ::GetWindowRect(Form()->Handle(), &r);
    EXPECT_GT(r.right - r.left, 100);
    EXPECT_GT(r.bottom - r.top, 100);
    EXPECT_TRUE(::IsWindowVisible(Form()->Handle()));
    EXPECT_NE(Rows(), "open\n") << "the selected parcel is in the table";
}

// A failed Init leaves nothing half made: the Host may keep the module and its command, and
// choosing the command then gives an error, not a crash. Every failing call of Init in turn.
TEST(FailedInit, TheCommandAfterwardsIsAnError)
{
    const long calls = [] {
        TComPtr<IHostApplication> host;
        EXPECT_EQ(hostsim::CreateApplication(kProject.c_str(), true, host.put()), S_OK);
        TComPtr<TPolypadComModule> module(new TPolypadComModule);
        const long start = hostsim::CallCount();
        TBStr name(std::string("Полипад"));
        EXPECT_EQ(module->Init(host.get(), name.get()), S_OK);
        const long used = hostsim::CallCount() - start;
        module->Done();
        return used;
    }();
    for (long k = 1; k <= calls; ++k) {
        TComPtr<IHostApplication> host;
        ASSERT_EQ(hostsim::CreateApplication(kProject.c_str(), true, host.put()), S_OK);
        TMessageBoxCatcher boxes;
        TComPtr<TPolypadComModule> module(new TPolypadComModule);
        TBStr name(std::string("Полипад"));
        hostsim::FailNthCall(k, E_FAIL, L"Сбой хоста");
        EXPECT_EQ(module->Init(host.get(), name.get()), E_FAIL) << "call " << k;
        hostsim::ClearFaults();
        const HRESULT shown = module->ShowHideForm();
        EXPECT_TRUE(FAILED(shown)) << "call " << k;
        EXPECT_EQ(module->Form(), nullptr) << "call " << k;
        EXPECT_EQ(module->Done(), S_OK) << "call " << k;
        module.reset();
        hostsim::PumpMessages();
    }
}

} // namespace
