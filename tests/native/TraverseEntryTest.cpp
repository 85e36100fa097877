// The traverse dialog's entry: its fields made into the field book that the traverse reader reads,
// the reader's line numbers turned into the field or station the user typed, and the dialog's
// remembered settings.
#include "Polypad/TraverseEntry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace {

using ::testing::StartsWith;

class MemoryStore : public TSettingsStore {
public:
    std::string Read(const std::string& key, const std::string& defaultValue) override
    {
        auto it = Values.find(key);
        return it == Values.end() ? defaultValue : it->second;
    }
    void Write(const std::string& key, const std::string& value) override { Values[key] = value; }
    std::map<std::string, std::string> Values;
};

TTraverseEntry Connecting()
{
    TTraverseEntry entry;
    entry.Kind = TTraverseKind::Connecting;
    entry.StartX = " 1000 ";
    entry.StartY = "2000";
    entry.StartDirection = "90-00-00";
    entry.EndX = "1100";
    entry.EndY = "2000";
    entry.EndDirection = "0-00-00";
    entry.Stations = {{"90-00-10", "50"}, {"", ""}, {"270-00-00", "100"}, {"180-00-00", ""}};
    return entry;
}

} // namespace

TEST(TraverseEntry, FieldsMakeTheFieldBookSkippingEmptyRows)
{
    EXPECT_EQ(TraverseFieldBook(Connecting()), "start\t1000\t2000\n"
                                               "from-direction\t90-00-00\n"
                                               "90-00-10\t50\n"
                                               "270-00-00\t100\n"
                                               "180-00-00\n"
                                               "end\t1100\t2000\n"
                                               "to-direction\t0-00-00\n");
    TTraverseEntry closed = Connecting();
    closed.Kind = TTraverseKind::Closed;
    closed.Stations = {{"90", "10"}, {"90", "10"}, {"90", "10"}, {"90", "10"}};
    EXPECT_EQ(TraverseFieldBook(closed), "start\t1000\t2000\ndirection\t90-00-00\n90\t10\n90\t10\n90\t10\n90\t10\n");
}

TEST(TraverseEntry, TheTraverseReadsWithItsAnglesInDegrees)
{
    const TTraverseInput input = ReadTraverseEntry(Connecting(), '.');
    EXPECT_EQ(input.Kind, TTraverseKind::Connecting);
    EXPECT_EQ(input.Start.X, 1000);
    EXPECT_EQ(input.StartDirection, 90);
    ASSERT_EQ(input.Stations.size(), 2u);
    EXPECT_DOUBLE_EQ(input.Stations[0].Angle, 90 + 10.0 / 3600);
    EXPECT_EQ(input.Stations[1].Length, 100);
    EXPECT_EQ(input.EndAngle, 180);
    EXPECT_EQ(input.End.X, 1100);
}

// Each complaint names what the user typed: the field, or the station by its row in the grid.
TEST(TraverseEntry, AProblemNamesItsFieldOrStation)
{
    struct TCase {
        const char* Name;
        void (*Change)(TTraverseEntry&);
        const char* Message;
    };
    const TCase cases[] = {
        {"empty start", [](TTraverseEntry& e) { e.StartY = " "; }, "Не задано: Y начального пункта"},
        {"empty end direction", [](TTraverseEntry& e) { e.EndDirection.clear(); }, "Не задано: дирекционный угол в конце"},
        {"length missing before the end", [](TTraverseEntry& e) { e.Stations[0][1].clear(); },
         "Станция 1: не задана длина стороны"},
        {"length without angle", [](TTraverseEntry& e) { e.Stations[2][0].clear(); }, "Станция 3: не задан угол"},
        {"bad angle", [](TTraverseEntry& e) { e.Stations[2][0] = "abc"; }, "Станция 3: "},
        {"bad length", [](TTraverseEntry& e) { e.Stations[0][1] = "x"; }, "Станция 1: "},
        {"bad end", [](TTraverseEntry& e) { e.EndX = "1e"; }, "Конечный пункт: "},
        {"closed end angle", [](TTraverseEntry& e) { e.Kind = TTraverseKind::Closed; }, "Станция 4: не задана длина"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTraverseEntry entry = Connecting();
        c.Change(entry);
        try {
            ReadTraverseEntry(entry, '.');
            ADD_FAILURE() << "read without complaint";
        } catch (const ETraverseError& e) {
            EXPECT_THAT(e.what(), StartsWith(c.Message));
            EXPECT_EQ(std::string(e.what()).find("Строка"), std::string::npos) << e.what();
        }
    }
}

TEST(TraverseEntry, SettingsComeBackAndBadTextsKeepTheirDefaults)
{
    MemoryStore store;
    const TTraverseDialogSettings defaults = LoadTraverseDialogSettings(store);
    EXPECT_EQ(defaults.Kind, TTraverseKind::Closed);
    EXPECT_EQ(defaults.Angles, TTraverseAngles::Right);
    EXPECT_EQ(defaults.Settings.Rule, TTraverseRule::Compass);
    EXPECT_EQ(defaults.Settings.AngleLimitSeconds, 60);
    EXPECT_EQ(defaults.Settings.RelativeLimitN, 2000);

    TTraverseDialogSettings s;
    s.Kind = TTraverseKind::Connecting;
    s.Angles = TTraverseAngles::Left;
    s.Settings.Rule = TTraverseRule::LeastSquares;
    s.Settings.AngleLimitSeconds = 0.1;
    s.Settings.RelativeLimitN = 5000;
    s.Settings.SigmaAngleSeconds = 2.5;
    s.Settings.SigmaLengthMm = 3;
    s.Settings.SigmaLengthPpm = 2;
    SaveTraverseDialogSettings(store, s);
    EXPECT_EQ(store.Values[kTraverseRuleKey], "least-squares");
    EXPECT_EQ(store.Values[kTraverseKindKey], "connecting");
    const TTraverseDialogSettings back = LoadTraverseDialogSettings(store);
    EXPECT_EQ(back.Kind, TTraverseKind::Connecting);
    EXPECT_EQ(back.Angles, TTraverseAngles::Left);
    EXPECT_EQ(back.Settings.Rule, TTraverseRule::LeastSquares);
    EXPECT_EQ(back.Settings.AngleLimitSeconds, 0.1);
    EXPECT_EQ(back.Settings.SigmaAngleSeconds, 2.5);

    store.Values[kTraverseRelativeLimitKey] = "0"; // a limit of 1:0 means nothing
    store.Values[kTraverseAngleLimitKey] = "60abc";
    store.Values[kTraverseRuleKey] = "bowditch";
    const TTraverseDialogSettings bad = LoadTraverseDialogSettings(store);
    EXPECT_EQ(bad.Settings.RelativeLimitN, 2000);
    EXPECT_EQ(bad.Settings.AngleLimitSeconds, 60);
    EXPECT_EQ(bad.Settings.Rule, TTraverseRule::Compass);
}
