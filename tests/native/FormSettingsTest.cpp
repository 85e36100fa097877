// The editor window's settings: defaults on a first start, the order of reads and writes, the
// lenient booleans, the bounds text and keeping the window on the work area.
#include "CoreLib/Errors.h"
#include "Polypad/FormSettings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;

class RecordingStore : public TSettingsStore {
public:
    std::string Read(const std::string& key, const std::string& defaultValue) override
    {
        Reads.push_back(key);
        auto it = Values.find(key);
        return it == Values.end() ? defaultValue : it->second;
    }
    void Write(const std::string& key, const std::string& value) override
    {
        Writes.push_back(key);
        Values[key] = value;
    }
    std::map<std::string, std::string> Values;
    std::vector<std::string> Reads, Writes;
};

const TBounds kFormBounds{100, 80, 607, 379};

TEST(FormSettings, FirstStartGivesTheDefaults)
{
    RecordingStore store;
    std::vector<std::string> bad;
    TFormSettings s = LoadFormSettings(store, false, kFormBounds, bad);
    LoadGridPosition(store, s, bad);
    EXPECT_TRUE(s.PainterMode);
    EXPECT_TRUE(s.Synchronization);
    EXPECT_EQ(s.Digits, 7);
    for (int i = 0; i < kSettingsColumnCount; ++i) {
        EXPECT_TRUE(s.Showing[i]);
        EXPECT_EQ(s.Width[i], 100);
    }
    EXPECT_EQ(s.Bounds, kFormBounds);
    EXPECT_EQ(s.DataRow, -1);
    EXPECT_EQ(s.DataCol, -1);
    EXPECT_TRUE(bad.empty());
    ASSERT_EQ(store.Reads.size(), 3u + 22u + 1u + 2u);
    EXPECT_EQ(store.Reads[0], "Kestrom.PolypadPainterModeEnabled");
    EXPECT_EQ(store.Reads[3], "Kestrom.PolypadShowing0");
    EXPECT_EQ(store.Reads[14], "Kestrom.PolypadWidth0");
    EXPECT_EQ(store.Reads[25], "Kestrom.PolypadLTWH");
}

TEST(FormSettings, SavedSettingsReadBackInTheWindowsOrder)
{
    RecordingStore store;
    TFormSettings s;
    s.PainterMode = false;
    s.Digits = 2;
    s.Showing[4] = false;
    s.Width[10] = 64;
    s.Bounds = {-3, 5, 400, 300};
    s.DataRow = 12;
    s.DataCol = 3;
    SaveFormSettings(store, false, s);
    ASSERT_EQ(store.Writes.size(), 2u + 3u + 22u + 1u);
    EXPECT_THAT(std::vector<std::string>(store.Writes.begin(), store.Writes.begin() + 6),
                ElementsAre("Kestrom.PolypadDataRow", "Kestrom.PolypadDataCol", "Kestrom.PolypadPainterModeEnabled",
                            "Kestrom.PolypadSynchronizeEnabled", "Kestrom.PolypadDigits", "Kestrom.PolypadShowing0"));
    EXPECT_EQ(store.Values["Kestrom.PolypadPainterModeEnabled"], "0");
    EXPECT_EQ(store.Values["Kestrom.PolypadSynchronizeEnabled"], "-1");
    EXPECT_EQ(store.Values["Kestrom.PolypadLTWH"], "-3 5 400 300");

    std::vector<std::string> bad;
    TFormSettings back = LoadFormSettings(store, false, kFormBounds, bad);
    LoadGridPosition(store, back, bad);
    EXPECT_FALSE(back.PainterMode);
    EXPECT_EQ(back.Digits, 2);
    EXPECT_FALSE(back.Showing[4]);
    EXPECT_EQ(back.Width[10], 64);
    EXPECT_EQ(back.Bounds, s.Bounds);
    EXPECT_EQ(back.DataRow, 12);
    EXPECT_TRUE(bad.empty());
}

TEST(FormSettings, DockedWindowNeitherReadsNorWritesBounds)
{
    RecordingStore store;
    store.Values["Kestrom.PolypadLTWH"] = "1 2 3 4";
    std::vector<std::string> bad;
    const TFormSettings s = LoadFormSettings(store, true, kFormBounds, bad);
    EXPECT_EQ(s.Bounds, kFormBounds);
    SaveFormSettings(store, true, s);
    for (const auto& key : store.Reads)
        EXPECT_NE(key, "Kestrom.PolypadLTWH");
    for (const auto& key : store.Writes)
        EXPECT_NE(key, "Kestrom.PolypadLTWH");
}

TEST(FormSettings, GarbageFallsBackToTheDefaultAndIsReported)
{
    // A bad stored value must not keep the window from opening.
    RecordingStore store;
    store.Values["Kestrom.PolypadPainterModeEnabled"] = "maybe";
    store.Values["Kestrom.PolypadDigits"] = "12";
    store.Values["Kestrom.PolypadWidth3"] = "wide";
    store.Values["Kestrom.PolypadSynchronizeEnabled"] = "FALSE";
    store.Values["Kestrom.PolypadShowing1"] = "0";
    std::vector<std::string> bad;
    const TFormSettings s = LoadFormSettings(store, false, kFormBounds, bad);
    EXPECT_TRUE(s.PainterMode);
    EXPECT_EQ(s.Digits, 7);
    EXPECT_EQ(s.Width[3], 100);
    EXPECT_FALSE(s.Synchronization);
    EXPECT_FALSE(s.Showing[1]);
    EXPECT_THAT(bad, ElementsAre("Kestrom.PolypadPainterModeEnabled", "Kestrom.PolypadDigits",
                                 "Kestrom.PolypadWidth3"));
}

TEST(SettingsText, LenientBooleansAndStrictIntegers)
{
    EXPECT_TRUE(TextToBoolean("-1"));
    EXPECT_TRUE(TextToBoolean("1"));
    EXPECT_TRUE(TextToBoolean("7"));
    EXPECT_FALSE(TextToBoolean("0"));
    EXPECT_TRUE(TextToBoolean("tRuE"));
    EXPECT_FALSE(TextToBoolean("False"));
    EXPECT_THROW(TextToBoolean("yes"), EConvertError);
    EXPECT_THROW(TextToBoolean(""), EConvertError);
    EXPECT_EQ(BooleanText(true), "-1");
    EXPECT_EQ(TextToInteger("-12"), -12);
    EXPECT_THROW(TextToInteger("1 "), EConvertError);
    EXPECT_THROW(TextToInteger("99999999999"), EConvertError);
}

TEST(BoundsText, TokensAreAppliedUntilTheFirstBadOne)
{
    const struct {
        const char* Text;
        TBounds Expected;
    } cases[] = {
        {"10 20 abc 300", {10, 20, 607, 379}},
        {"-5 -5 400 300", {-5, -5, 400, 300}},
        {"  1\t2\n3 4 5", {1, 2, 3, 4}},
        {"- 5 1 1", {100, 80, 607, 379}},
        {"7 -x", {7, 80, 607, 379}},
        {"", {100, 80, 607, 379}},
    };
    for (const auto& c : cases) {
        TBounds b = kFormBounds;
        TextToBounds(c.Text, b);
        EXPECT_EQ(b, c.Expected) << c.Text;
    }
    EXPECT_EQ(BoundsToText({-5, 0, 591, 340}), "-5 0 591 340");
}

TEST(BoundsText, WindowIsPulledOntoTheWorkArea)
{
    TBounds b{-5, -5, 400, 300};
    KeepOnWorkArea(b, 0, 0, 1279, 999);
    EXPECT_EQ(b, (TBounds{0, 0, 400, 300}));

    b = {1100, 900, 400, 300};
    KeepOnWorkArea(b, 0, 0, 1279, 999);
    EXPECT_EQ(b, (TBounds{879, 699, 400, 300}));

    b = {300, 10, 2000, 300}; // wider than the area: its left edge
    KeepOnWorkArea(b, 0, 0, 1279, 999);
    EXPECT_EQ(b.Left, 0);
}

} // namespace

// Widths and bounds are kept in 96-DPI units: written at 144 DPI they read back at 96 DPI as two
// thirds, at 192 DPI as four thirds, and at 144 DPI as written; settings from before (96 DPI)
// open scaled; a bounds text cut short keeps the window's own (screen) values for the rest.
TEST(FormSettings, WidthsAndBoundsAreStoredIn96DpiUnits)
{
    RecordingStore store;
    TFormSettings s;
    s.Width[0] = 150;
    s.Width[5] = 301;
    s.Bounds = {300, -30, 955, 546};
    SaveFormSettings(store, false, s, TDpiScale(144));
    EXPECT_EQ(store.Values["Kestrom.PolypadWidth0"], "100");
    EXPECT_EQ(store.Values["Kestrom.PolypadWidth5"], "201");
    EXPECT_EQ(store.Values["Kestrom.PolypadLTWH"], "200 -20 637 364");

    std::vector<std::string> bad;
    const TFormSettings at144 = LoadFormSettings(store, false, kFormBounds, bad, TDpiScale(144));
    EXPECT_EQ(at144.Width[0], 150);
    EXPECT_EQ(at144.Width[5], 302) << "within a pixel of what was written";
    EXPECT_EQ(at144.Bounds, (TBounds{300, -30, 956, 546}));
    const TFormSettings at96 = LoadFormSettings(store, false, kFormBounds, bad, TDpiScale(96));
    EXPECT_EQ(at96.Width[0], 100);
    EXPECT_EQ(at96.Bounds, (TBounds{200, -20, 637, 364}));
    const TFormSettings at192 = LoadFormSettings(store, false, kFormBounds, bad, TDpiScale(192));
    EXPECT_EQ(at192.Width[5], 402);
    EXPECT_EQ(at192.Bounds, (TBounds{400, -40, 1274, 728}));
    EXPECT_TRUE(bad.empty());

    // Written again at 144 DPI, nothing moves.
    RecordingStore again;
    SaveFormSettings(again, false, at144, TDpiScale(144));
    EXPECT_EQ(again.Values, store.Values);

    RecordingStore old;
    old.Values["Kestrom.PolypadLTWH"] = "10 20";
    const TFormSettings first = LoadFormSettings(old, false, {160, 120, 960, 540}, bad, TDpiScale(120));
    EXPECT_EQ(first.Width[3], 125) << "the default width of 100 is in 96-DPI units too";
    EXPECT_EQ(first.Bounds, (TBounds{13, 25, 960, 540}));
}
