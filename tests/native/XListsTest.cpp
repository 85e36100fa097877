// TRecArray: growth policy, insertion, index checks and capacity handling.
#include "CoreLib/Errors.h"
#include "CoreLib/XLists.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using testing::ElementsAre;

struct TRec {
    std::int32_t Id;
    double Value;
};

std::vector<std::int32_t> Ids(const TRecArray& a)
{
    std::vector<std::int32_t> ids;
    for (std::int32_t i = 0; i < a.Count; ++i)
        ids.push_back(a.At<TRec>(i).Id);
    return ids;
}

void AddIds(TRecArray& a, std::int32_t from, std::int32_t to)
{
    for (std::int32_t id = from; id < to; ++id) {
        const TRec r{id, id * 0.5};
        a.Add(&r);
    }
}

TEST(RecArray, SingleAppendsGrowByTheSteppedPolicy)
{
    TRecArray a;
    a.Init(sizeof(TRec));
    EXPECT_EQ(a.Data, nullptr);
    std::vector<std::int32_t> capacities;
    for (std::int32_t id = 0; id < 119; ++id) {
        AddIds(a, id, id + 1);
        if (capacities.empty() || capacities.back() != a.Capacity)
            capacities.push_back(a.Capacity);
    }
    EXPECT_THAT(capacities, ElementsAre(4, 8, 12, 28, 44, 60, 76, 95, 118, 147));
    for (std::int32_t i = 0; i < a.Count; ++i)
        ASSERT_EQ(a.At<TRec>(i).Id, i); // contents survive every reallocation
}

TEST(RecArray, InsertRecsAllocatesExactlyWhatIsNeeded)
{
    TRecArray a;
    a.Init(sizeof(TRec));
    const TRec block[7] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
    a.AddRecs(block, 7);
    EXPECT_EQ(a.Capacity, 7);
    a.AddRecs(block, 3);
    EXPECT_EQ(a.Capacity, 10);
    EXPECT_EQ(a.Count, 10);
    AddIds(a, 100, 101); // a single Add on a full array takes the growth step instead
    EXPECT_EQ(a.Capacity, 26);
}

TEST(RecArray, InsertRecsShiftsTheTailUp)
{
    TRecArray a;
    a.Init(sizeof(TRec));
    AddIds(a, 0, 5);
    const TRec two[2] = {{70, 0}, {71, 0}};
    a.InsertRecs(2, two, 2);
    EXPECT_THAT(Ids(a), ElementsAre(0, 1, 70, 71, 2, 3, 4));
    a.InsertRecs(0, two, 1);
    a.InsertRecs(a.Count, &two[1], 1); // at Count: appends
    EXPECT_THAT(Ids(a), ElementsAre(70, 0, 1, 70, 71, 2, 3, 4, 71));
    EXPECT_DOUBLE_EQ(a.At<TRec>(6).Value, 1.5); // whole records move, not just the first field
}

TEST(RecArray, IndexErrorsRaiseAndLeaveTheArrayUnchanged)
{
    TRecArray a;
    a.Init(sizeof(TRec));
    AddIds(a, 0, 3);
    const void* data = a.Data;
    const TRec r{9, 0};
    const char* insertMessage = "Индекс массива выходит за пределы (TRecArray.InsertRecs)";
    const char* getMessage = "Индекс массива выходит за пределы (TRecArray.GetPtr)";
    struct Case { void (*call)(TRecArray&, const TRec&); const char* message; };
    const Case cases[] = {
        {[](TRecArray& x, const TRec& rec) { x.InsertRecs(x.Count + 1, &rec, 1); }, insertMessage},
        {[](TRecArray& x, const TRec& rec) { x.InsertRecs(-1, &rec, 1); }, insertMessage},
        {[](TRecArray& x, const TRec&) { x.GetPtr(x.Count); }, getMessage},
        {[](TRecArray& x, const TRec&) { x.GetPtr(-1); }, getMessage},
    };
    for (const Case& c : cases) {
        try {
            c.call(a, r);
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const ERecArray& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    EXPECT_EQ(a.Count, 3);
    EXPECT_EQ(a.Capacity, 4);
    EXPECT_EQ(a.Data, data);
    EXPECT_THAT(Ids(a), ElementsAre(0, 1, 2));

    TRecArray empty;
    empty.Init(sizeof(TRec));
    EXPECT_THROW(empty.GetPtr(0), ERecArray);
}

TEST(RecArray, SetCapacityNeverDropsRecordsInUse)
{
    TRecArray a;
    a.Init(sizeof(TRec));
    AddIds(a, 0, 3);
    a.SetCapacity(0);
    EXPECT_EQ(a.Capacity, 3);
    EXPECT_EQ(a.Count, 3);
    a.SetCapacity(50);
    EXPECT_EQ(a.Capacity, 50);
    a.SetCapacity(2);
    EXPECT_EQ(a.Capacity, 3);
    EXPECT_THAT(Ids(a), ElementsAre(0, 1, 2));

    a.Count = 0; // with no records in use, capacity 0 releases the storage
    a.SetCapacity(0);
    EXPECT_EQ(a.Capacity, 0);
    EXPECT_EQ(a.Data, nullptr);
}

TEST(RecArray, ClearingCountKeepsStorageAndFreeRecsReleasesIt)
{
    TRecArray a;
    a.Init(sizeof(TRec));
    AddIds(a, 0, 10);
    const void* data = a.Data;
    a.Count = 0;
    AddIds(a, 20, 30);
    EXPECT_EQ(a.Data, data);
    EXPECT_EQ(a.Capacity, 12);
    EXPECT_THAT(Ids(a), ElementsAre(20, 21, 22, 23, 24, 25, 26, 27, 28, 29));

    a.FreeRecs();
    EXPECT_EQ(a.Data, nullptr);
    EXPECT_EQ(a.Capacity, 0);
    EXPECT_EQ(a.Count, 0);
    AddIds(a, 7, 8);
    EXPECT_EQ(a.Capacity, 4);
    EXPECT_THAT(Ids(a), ElementsAre(7));
}

TEST(RecArray, OversizedStorageRaisesIntegerOverflowAndChangesNothing)
{
    TRecArray a;
    a.Init(sizeof(TRec));
    AddIds(a, 0, 2);
    const void* data = a.Data;
    EXPECT_THROW(a.SetCapacity(0x10000000), EIntOverflow); // 2^28 records of 12 or more bytes
    EXPECT_EQ(a.Capacity, 4);
    EXPECT_EQ(a.Count, 2);
    EXPECT_EQ(a.Data, data);
}

} // namespace
