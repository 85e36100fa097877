// Reference-counted objects, the four reference operations and the list that holds references.
#include "CoreLib/Errors.h"
#include "CoreLib/RefObjects.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::ElementsAre;

using Log = std::vector<std::string>;

// Logs "cleanup:<name>:<count while running>" and "destroyed:<name>".
class TProbe : public TRefObject {
public:
    TProbe(Log& log, std::string name = "p") : FLog(log), FName(std::move(name)) {}
    ~TProbe() override { FLog.push_back("destroyed:" + FName); }
    void Cleanup() override
    {
        FLog.push_back("cleanup:" + FName + ":" + std::to_string(RefCount()));
        if (ThrowInCleanup)
            throw Exception("cleanup failed");
    }
    bool ThrowInCleanup = false;

private:
    Log& FLog;
    std::string FName;
};

// A plain object (Base = TObject) or a counted one that is not a TRefObject.
template <class Base>
class TTracked : public Base {
public:
    explicit TTracked(bool& destroyed) : FDestroyed(destroyed) {}
    ~TTracked() override { FDestroyed = true; }

private:
    bool& FDestroyed;
};

// "message (CoreLib/RefObjects.cpp, line N)" with N a decimal line number.
void ExpectAssertion(const EAssertionFailed& e, const std::string& message)
{
    const std::string text = e.what(), prefix = message + " (CoreLib/RefObjects.cpp, line ";
    ASSERT_GT(text.size(), prefix.size() + 1) << text;
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(text.back(), ')');
    EXPECT_EQ(text.substr(prefix.size(), text.size() - prefix.size() - 1).find_first_not_of("0123456789"),
              std::string::npos)
        << text;
}

TEST(RefObject, CountStartsAtZeroAndLastReleaseDestroysWithoutCleanup)
{
    Log log;
    TProbe* first = new TProbe(log, "first");
    TProbe* second = new TProbe(log, "second");
    EXPECT_EQ(first->RefCount(), 0);

    TObject* a = nullptr;
    TObject* b = nullptr;
    HoldRef(a, first);
    HoldRef(b, first);
    EXPECT_EQ(first->RefCount(), 2);
    HoldRef(a, second); // overwrites without releasing first
    EXPECT_EQ(first->RefCount(), 2);

    DropRef(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(first->RefCount(), 1);
    ReleaseRef(first);
    DropRef(a);
    EXPECT_THAT(log, ElementsAre("destroyed:first", "destroyed:second"));
}

TEST(RefObject, FreeRefRunsCleanupWhileAliveThenReleasesTheCallersCount)
{
    Log log;
    TProbe* mine = nullptr;
    HoldRef(mine, new TProbe(log));
    FreeRef(mine);
    EXPECT_EQ(mine, nullptr);
    // Cleanup sees the caller's count plus the one FreeRef takes for the call.
    EXPECT_THAT(log, ElementsAre("cleanup:p:2", "destroyed:p"));

    log.clear();
    TProbe* other = nullptr;
    HoldRef(mine, new TProbe(log));
    HoldRef(other, mine);
    FreeRef(mine); // someone else still holds it
    EXPECT_THAT(log, ElementsAre("cleanup:p:3"));
    EXPECT_EQ(other->RefCount(), 1);
    DropRef(other);
    EXPECT_THAT(log, ElementsAre("cleanup:p:3", "destroyed:p"));
}

TEST(RefObject, FreeRefWhoseCleanupThrowsKeepsTheCallersReference)
{
    Log log;
    TProbe* probe = nullptr;
    HoldRef(probe, new TProbe(log));
    probe->ThrowInCleanup = true;
    EXPECT_THROW(FreeRef(probe), Exception);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->RefCount(), 1);
    DropRef(probe);
    EXPECT_EQ(log.back(), "destroyed:p");
}

TEST(RefObject, FreeRefEndsOtherKindsByTheirKind)
{
    bool plainDestroyed = false;
    auto* stored = new TTracked<TObject>(plainDestroyed);
    TObject* plain = nullptr;
    HoldRef(plain, stored); // not counted: only stored
    DropRef(plain);         // nothing to release
    EXPECT_EQ(plain, nullptr);
    EXPECT_FALSE(plainDestroyed);
    HoldRef(plain, stored);
    FreeRef(plain); // a plain object is freed
    EXPECT_TRUE(plainDestroyed);
    EXPECT_EQ(plain, nullptr);

    bool countedDestroyed = false;
    auto* counted = new TTracked<TInterfacedObject>(countedDestroyed);
    TObject* a = nullptr;
    TObject* b = nullptr;
    HoldRef(a, counted);
    HoldRef(b, counted);
    FreeRef(a); // another counted object loses one count
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(counted->RefCount(), 1);
    FreeRef(b);
    EXPECT_TRUE(countedDestroyed);
}

TEST(RefObject, ReferenceOperationsOnZeroCountAssertAndLeaveCount)
{
    Log log;
    TProbe* probe = new TProbe(log);
    struct Case { void (*call)(TObject*); const char* message; };
    const Case cases[] = {
        {[](TObject* o) { DropRef(o); }, "Объект не инициализирован."},
        {[](TObject* o) { FreeRef(o); }, "Объект не инициализирован."},
        {[](TObject* o) { ReleaseRef(o); }, "Assertion failure"},
    };
    for (const Case& c : cases) {
        try {
            c.call(probe);
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const EAssertionFailed& e) {
            ExpectAssertion(e, c.message);
        }
    }
    EXPECT_EQ(probe->RefCount(), 0);
    EXPECT_TRUE(log.empty()); // Cleanup never ran
    delete probe;

    bool destroyed = false;
    auto* counted = new TTracked<TInterfacedObject>(destroyed);
    TObject* c = counted;
    EXPECT_THROW(FreeRef(c), EAssertionFailed);
    EXPECT_EQ(counted->RefCount(), 0);
    delete counted;

    EXPECT_NO_THROW(ReleaseRef(nullptr));
}

TEST(RefObjectList, NotOwningListDropsReferencesWithoutCleanup)
{
    Log log;
    auto* list = new TRefObjectList(false);
    TProbe* only = new TProbe(log, "only");
    TRefHolder<TProbe> shared(new TProbe(log, "shared"));
    list->Add(only);
    list->Add(shared.get());
    EXPECT_EQ(only->RefCount(), 1);
    EXPECT_EQ(shared->RefCount(), 2);

    list->Delete(0); // the list held the only reference
    EXPECT_THAT(log, ElementsAre("destroyed:only"));
    delete list; // drops the remaining reference
    EXPECT_EQ(shared->RefCount(), 1);
    EXPECT_THAT(log, ElementsAre("destroyed:only"));
}

TEST(RefObjectList, OwningListRunsCleanupWhileTheItemIsAlive)
{
    Log log;
    TRefObjectList list(true);
    list.Add(new TProbe(log, "a"));
    list.Delete(0);
    EXPECT_THAT(log, ElementsAre("cleanup:a:2", "destroyed:a")); // the list's count plus FreeRef's own

    log.clear();
    TRefHolder<TProbe> kept(new TProbe(log, "kept"));
    list.Add(kept.get());
    list.Delete(0); // Cleanup runs even though someone else keeps the object
    EXPECT_THAT(log, ElementsAre("cleanup:kept:3"));
    EXPECT_EQ(kept->RefCount(), 1);
}

TEST(RefObjectList, ClearAndDestructionRemoveLastItemFirst)
{
    Log log;
    {
        TRefObjectList list(true);
        list.Add(new TProbe(log, "0"));
        list.Add(new TProbe(log, "1"));
        list.Insert(0, new TProbe(log, "2")); // order is now 2, 0, 1
    }
    EXPECT_THAT(log, ElementsAre("cleanup:1:2", "destroyed:1", "cleanup:0:2", "destroyed:0", "cleanup:2:2",
                                 "destroyed:2"));

    log.clear();
    TRefObjectList list(false);
    list.Add(new TProbe(log, "x"));
    list.Add(new TProbe(log, "y"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_THAT(log, ElementsAre("destroyed:y", "destroyed:x"));
}

TEST(RefObjectList, ExtractPassesTheListsReferenceToTheCaller)
{
    for (bool owns : {false, true}) {
        SCOPED_TRACE(owns ? "owning" : "not owning");
        Log log;
        TProbe* probe = new TProbe(log);
        TObject* mine = nullptr;
        {
            TRefObjectList list(owns);
            list.Add(probe);
            mine = list.Extract(probe);
            EXPECT_EQ(list.Count(), 0);
        }
        EXPECT_EQ(mine, probe);
        EXPECT_TRUE(log.empty()); // neither Cleanup nor destruction
        EXPECT_EQ(probe->RefCount(), 1);
        DropRef(mine);
        EXPECT_THAT(log, ElementsAre("destroyed:p"));
    }
}

TEST(RefObjectList, PlainItemsAreStoredUncountedAndFreedOnlyWhenOwned)
{
    bool destroyed = false;
    auto* plain = new TTracked<TObject>(destroyed);
    {
        TRefObjectList list(false);
        list.Add(plain);
    }
    EXPECT_FALSE(destroyed);
    {
        TRefObjectList list(true);
        list.Add(plain);
    }
    EXPECT_TRUE(destroyed);
}

} // namespace
