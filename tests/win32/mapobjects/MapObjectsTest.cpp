// The table's exchange with the map against the Host stand-in in process: which shape the fill
// reads and how it flattens parts, what the update, create and add write into the Host, the
// rights and row checks that must come before any change, the style lists of the two menus, and
// Host failures midway (nothing committed, the Host rolls back, no reference kept).
#include "Polypad/HostTable.h"
#include "Polypad/MapObjects.h"

#include "hostsim/HostSimApi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "tests/win32/support/ProcessFiles.h"

namespace {

std::string Utf8(const std::wstring& text)
{
    return TBStr(text).Utf8();
}

class MapExchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostsim::ClearFaults();
        FLiveBefore = hostsim::LiveObjects();
        ::DeleteFileW((Project() + L".settings").c_str());
        ASSERT_EQ(hostsim::CreateApplication(Project().c_str(), false, FHost.put()), S_OK);
        FTable = CreateHostTable(FHost.get());
    }
    void TearDown() override
    {
        hostsim::ClearFaults();
        FTable.reset();
        FHost.reset();
        hostsim::PumpMessages();
        EXPECT_EQ(hostsim::LiveObjects(), FLiveBefore);
    }
    virtual std::wstring Project() const { return processfiles::OwnCopy(POLYPAD_EXAMPLE_PROJECT); }

    void Select(long objectId, long shapeIndex)
    {
        ASSERT_EQ(hostsim::SelectMapObject(FHost.get(), objectId, shapeIndex), S_OK);
    }
    TComPtr<IHostSelection> Selection()
    {
        TComPtr<IHostSelection> selection;
        EXPECT_EQ(FHost->get_Selection(selection.put()), S_OK);
        return selection;
    }
    TComPtr<IHostObjectStore> Store()
    {
        TComPtr<IHostProject> project;
        EXPECT_EQ(FHost->get_Project(project.put()), S_OK);
        TComPtr<IHostObjectStore> store;
        EXPECT_EQ(project->get_Objects(store.put()), S_OK);
        return store;
    }
    std::string Geometry(long objectId)
    {
        std::wstring text;
        if (hostsim::ObjectGeometryText(FHost.get(), objectId, text) != S_OK)
            return "<none>";
        return Utf8(text);
    }
    std::vector<std::string> Committed()
    {
        std::vector<std::string> names;
        for (const std::wstring& name : hostsim::CommittedTransactions(FHost.get()))
            names.push_back(Utf8(name));
        return names;
    }
    std::vector<std::string> RolledBack()
    {
        std::vector<std::string> names;
        for (const std::wstring& name : hostsim::RolledBackTransactions(FHost.get()))
            names.push_back(Utf8(name));
        return names;
    }
    // The rows as "X Y C" lines and the closed flag.
    std::string Rows()
    {
        std::string text = FTable->Closed() ? "closed\n" : "open\n";
        for (int i = 0; i < FTable->Count(); ++i) {
            char line[128];
            std::snprintf(line, sizeof line, "%.2f %.2f %g\n", FTable->GetX(i), FTable->GetY(i),
                          FTable->GetArcConvexity(i));
            text += line;
        }
        return text;
    }
    void SetRows(const std::vector<TVertexRecord>& rows, bool closed)
    {
        FTable->ContourPart().Clear();
        for (const TVertexRecord& v : rows)
            FTable->AddRow(TFloatPoint{v.X, v.Y}, v.ArcConvexity);
        FTable->SetClosed(closed);
    }
    TComPtr<IHostStyle> StyleOfActiveLayer(TStyleMenuKind kind, long styleId)
    {
        for (TStyleMenuEntry& entry : StyleMenuEntries(FHost.get(), kind))
            if (entry.StyleId == styleId)
                return entry.Style;
        ADD_FAILURE() << "style " << styleId << " not listed";
        return {};
    }

    long FLiveBefore = 0;
    TComPtr<IHostApplication> FHost;
    std::unique_ptr<TTable> FTable;
};

// ---- fill -------------------------------------------------------------------------------------

TEST_F(MapExchange, FillReadsTheSelectedShapeOrElseTheFirstThatDefinesGeometry)
{
    Select(104, 0); // the servitude line, though it does not define geometry
    EXPECT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::nullopt);
    EXPECT_EQ(Rows(), "open\n452296.00 1385162.00 0\n452274.00 1385196.00 0\n");

    Select(104, -1); // no shape selected: the parcel, the second shape
    EXPECT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::nullopt);
    EXPECT_EQ(Rows(), "closed\n452300.00 1385160.00 0\n452300.00 1385200.00 0\n"
                      "452270.00 1385200.00 0\n452268.40 1385158.10 0\n");
}

TEST_F(MapExchange, FillFlattensAllPartsWithTheClosedFlagOfTheLastAndUpdateWritesOnePart)
{
    Select(105, -1);
    ASSERT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::nullopt);
    EXPECT_EQ(FTable->Count(), 7);
    EXPECT_FALSE(FTable->Closed()) << "the last part, the fence, is open";
    EXPECT_EQ(FTable->GetArcConvexity(6), 0.3);

    ASSERT_EQ(UpdateMapObject(FHost.get(), FTable->ContourPart()), std::nullopt);
    EXPECT_EQ(Geometry(105), "object 105 layer 1\nshape 0 style 11 geometry 1\npart 0 open\n"
                             "452335\t1385210\t0\n452335\t1385250\t0\n452305\t1385250\t0\n452305\t1385210\t0\n"
                             "452340\t1385255\t0\n452340\t1385290\t0\n452310\t1385295\t0.3\n");
    EXPECT_EQ(Committed(), std::vector<std::string>{"Обновление объекта"});
}

TEST_F(MapExchange, FillUsesOnlyTheFirstSelectionEntry)
{
    TComPtr<IHostSelection> selection = Selection();
    ASSERT_EQ(selection->Clear(), S_OK);
    ASSERT_EQ(selection->Add(103, -1), S_OK);
    ASSERT_EQ(selection->Add(101, -1), S_OK);
    ASSERT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::nullopt);
    EXPECT_EQ(FTable->Count(), 5);
    EXPECT_EQ(FTable->GetArcConvexity(4), 0.15);
}

TEST_F(MapExchange, FillThatCannotReadKeepsTheUsersRows)
{
    SetRows({{1, 2, 0}, {3, 4, 0.5}}, true);
    const std::string before = Rows();

    ASSERT_EQ(Selection()->Clear(), S_OK);
    EXPECT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::string("Выделите контур на карте"));
    EXPECT_EQ(Rows(), before);

    Select(101, -1);
    hostsim::FailOperation(L"IHostContourPart.GetVertex", E_FAIL, L"Диск недоступен");
    try {
        FillTableFromMapObject(FHost.get(), *FTable);
        ADD_FAILURE() << "no error";
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "Диск недоступен");
    }
    EXPECT_EQ(Rows(), before) << "a failed read leaves no half-filled table";
}

// ---- update -----------------------------------------------------------------------------------

TEST_F(MapExchange, AnArcSurvivesFillThenUpdate)
{
    Select(101, 0);
    ASSERT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::nullopt);
    ASSERT_EQ(FTable->GetArcConvexity(2), 0.2);
    Select(103, 0);
    ASSERT_EQ(UpdateMapObject(FHost.get(), FTable->ContourPart()), std::nullopt);
    EXPECT_EQ(Geometry(103), "object 103 layer 1\nshape 0 style 11 geometry 1\npart 0 closed\n"
                             "452300\t1385200\t0\n452300\t1385240\t0\n452270\t1385240\t0.2\n452270\t1385200\t0\n");
}

TEST_F(MapExchange, AnEmptyTableUpdatesToOneEmptyPartWithTheTablesFlag)
{
    Select(101, 0);
    SetRows({}, true);
    ASSERT_EQ(UpdateMapObject(FHost.get(), FTable->ContourPart()), std::nullopt);
    EXPECT_EQ(Geometry(101), "object 101 layer 1\nshape 0 style 11 geometry 1\npart 0 closed\n");
}

TEST_F(MapExchange, UpdateWithoutTheChangeRightLeavesTheMapAndOpensNoTransaction)
{
    SetRows({{1, 2, 0}, {3, 4, 0}}, false);
    Select(102, 0); // approved boundary: style 13 without 0x40
    const std::string before = Geometry(102);
    try {
        UpdateMapObject(FHost.get(), FTable->ContourPart());
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "У вас нет прав на изменение контура");
    }
    EXPECT_EQ(Geometry(102), before);
    EXPECT_TRUE(Committed().empty());
    ASSERT_EQ(Store()->BeginTransaction(TBStr("probe").get()), S_OK); // would roll back one left open
    EXPECT_TRUE(RolledBack().empty());

    ASSERT_EQ(Selection()->Clear(), S_OK);
    EXPECT_EQ(UpdateMapObject(FHost.get(), FTable->ContourPart()), std::string("Выделите контур на карте"));
}

// Every Host call of the update in turn fails: the Host's error comes out, nothing is committed,
// no reference is kept, and the Host's rollback restores the object.
TEST_F(MapExchange, AHostFailureAtAnyCallOfTheUpdateLeavesItUncommitted)
{
    Select(103, 0);
    ASSERT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::nullopt);
    Select(101, 0);
    const std::string before = Geometry(101);
    int failures = 0;
    for (long n = 1;; ++n) {
        ASSERT_LT(n, 100);
        const long live = hostsim::LiveObjects();
        hostsim::FailNthCall(n, E_FAIL, L"Сбой хоста");
        bool failed = false;
        try {
            UpdateMapObject(FHost.get(), FTable->ContourPart());
        } catch (const EComError& e) {
            failed = true;
            EXPECT_STREQ(e.what(), "Сбой хоста") << "call " << n;
        }
        hostsim::ClearFaults();
        if (!failed)
            break;
        ++failures;
        EXPECT_EQ(hostsim::LiveObjects(), live) << "call " << n;
        EXPECT_TRUE(Committed().empty()) << "call " << n;
        ASSERT_EQ(Store()->BeginTransaction(TBStr("probe").get()), S_OK); // rolls back what was left
        EXPECT_EQ(Geometry(101), before) << "call " << n;
    }
    EXPECT_GT(failures, 10);
    EXPECT_EQ(Committed(), std::vector<std::string>{"Обновление объекта"});
}

TEST_F(MapExchange, AFailingInsertVertexIsRolledBackByTheHost)
{
    Select(103, 0);
    ASSERT_EQ(FillTableFromMapObject(FHost.get(), *FTable), std::nullopt);
    Select(101, 0);
    const std::string before = Geometry(101);
    const long live = hostsim::LiveObjects();
    hostsim::FailOperation(L"IHostContourPart.InsertVertex", E_FAIL, L"Нет места");
    EXPECT_THROW(UpdateMapObject(FHost.get(), FTable->ContourPart()), EComError);
    hostsim::ClearFaults();
    EXPECT_EQ(hostsim::LiveObjects(), live);
    EXPECT_TRUE(Committed().empty());
    ASSERT_EQ(Store()->BeginTransaction(TBStr("probe").get()), S_OK);
    EXPECT_EQ(RolledBack(), std::vector<std::string>{"Обновление объекта"});
    EXPECT_EQ(Geometry(101), before);
}

// ---- style menus, create, add -----------------------------------------------------------------

TEST_F(MapExchange, StyleMenusListTheActiveLayersStylesWithoutTheirFlag)
{
    auto ids = [&](TStyleMenuKind kind) {
        std::vector<long> result;
        for (const TStyleMenuEntry& entry : StyleMenuEntries(FHost.get(), kind))
            result.push_back(entry.StyleId);
        return result;
    };
    EXPECT_EQ(ids(TStyleMenuKind::smkCreate), (std::vector<long>{11, 13}));
    EXPECT_EQ(ids(TStyleMenuKind::smkAdd), (std::vector<long>{11, 12, 13}));
    EXPECT_EQ(StyleMenuEntries(FHost.get(), TStyleMenuKind::smkCreate)[0].Name, "Граница участка");
    ASSERT_EQ(hostsim::SetActiveLayer(FHost.get(), 2), S_OK);
    EXPECT_EQ(ids(TStyleMenuKind::smkCreate), std::vector<long>{21});
    EXPECT_TRUE(ids(TStyleMenuKind::smkAdd).empty());
    ASSERT_EQ(hostsim::SetActiveLayer(FHost.get(), 3), S_OK); // flags 6: in neither
    EXPECT_TRUE(ids(TStyleMenuKind::smkCreate).empty());
    EXPECT_TRUE(ids(TStyleMenuKind::smkAdd).empty());
    ASSERT_EQ(hostsim::SetActiveLayer(FHost.get(), 0), S_OK);
    EXPECT_TRUE(ids(TStyleMenuKind::smkCreate).empty());
    hostsim::SetMapViewActive(FHost.get(), false);
    EXPECT_TRUE(ids(TStyleMenuKind::smkAdd).empty());
}

TEST_F(MapExchange, CreateMakesTheObjectInTheActiveLayerAndSelectsItAlone)
{
    Select(101, 0);
    SetRows({{10, 20, 0}, {30, 40, 0.5}}, true);
    TStyleMenuEvent event(FHost.get(), &FTable->ContourPart(), StyleOfActiveLayer(TStyleMenuKind::smkCreate, 11).get());
    const long live = hostsim::LiveObjects();
    event.CreateObjectClick();
    EXPECT_EQ(hostsim::LiveObjects(), live);
    EXPECT_EQ(Committed(), std::vector<std::string>{"Создание объекта"});

    TComPtr<IHostSelection> selection = Selection();
    long count = 0, id = 0;
    ASSERT_EQ(selection->get_Count(&count), S_OK);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(selection->ObjectId(0, &id), S_OK);
    EXPECT_NE(id, 101);
    EXPECT_EQ(Geometry(id), "object " + std::to_string(id) + " layer 1\nshape 0 style 11 geometry 1\npart 0 closed\n"
                                                            "10\t20\t0\n30\t40\t0.5\n");
}

TEST_F(MapExchange, CreateAndAddCheckRowsAndSelectionBeforeAnyChange)
{
    SetRows({}, false);
    TStyleMenuEvent event(FHost.get(), &FTable->ContourPart(), StyleOfActiveLayer(TStyleMenuKind::smkAdd, 11).get());
    try {
        event.CreateObjectClick();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Ошибка создания объекта. Не заданы координаты.");
    }
    Select(101, 0);
    EXPECT_THROW(event.AddShapeClick(), Exception);

    FTable->AddRow(TFloatPoint{1, 1}, 0);
    ASSERT_EQ(Selection()->Clear(), S_OK);
    try {
        event.AddShapeClick();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Выделите контур на карте");
    }
    EXPECT_TRUE(Committed().empty());
    EXPECT_TRUE(RolledBack().empty());
    EXPECT_EQ(Geometry(302), "<none>") << "nothing was created";
}

TEST_F(MapExchange, AddShapeGoesToTheFirstSelectedObjectAndKeepsTheSelection)
{
    TComPtr<IHostSelection> selection = Selection();
    ASSERT_EQ(selection->Clear(), S_OK);
    ASSERT_EQ(selection->Add(103, 0), S_OK);
    ASSERT_EQ(selection->Add(101, 0), S_OK);
    const std::string other = Geometry(101);
    SetRows({{5, 6, 0}, {7, 8, -0.25}, {9, 6, 0}}, false);
    TStyleMenuEvent event(FHost.get(), &FTable->ContourPart(), StyleOfActiveLayer(TStyleMenuKind::smkAdd, 12).get());
    event.AddShapeClick();
    EXPECT_EQ(Committed(), std::vector<std::string>{"Добавление формы к объекту"});
    const std::string geometry = Geometry(103);
    EXPECT_NE(geometry.find("shape 1 style 12 geometry"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("part 0 open\n5\t6\t0\n7\t8\t-0.25\n9\t6\t0\n"), std::string::npos) << geometry;
    EXPECT_EQ(Geometry(101), other);
    long count = 0;
    ASSERT_EQ(selection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);
}

// A project of its own for what the example lacks: a style without the create right and an
// object without a geometry-defining shape.
class MapExchangeOwnProject : public MapExchange {
protected:
    void SetUp() override
    {
        FILE* file = _wfopen(Project().c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        std::fputs("orvex-project 1\ntitle Проверка\nlayer 1 0x50 Слой\n"
                   "style 11 0 0x50 0x000000 Обычный\nstyle 12 0 0x40 0x000000 Без создания\n"
                   "active-layer 1\nobject 1 1\nshape 11 0\npart open\nv 1 2 0\nv 3 4 0\n",
                   file);
        std::fclose(file);
        MapExchange::SetUp();
    }
    std::wstring Project() const override
    {
        static const std::wstring own = [] {
            const std::wstring path = POLYPAD_EXAMPLE_PROJECT;
            return processfiles::OwnName(path.substr(0, path.rfind(L'/') + 1) + L"own.orvex");
        }();
        return own;
    }
};

TEST_F(MapExchangeOwnProject, NoGeometryShapeWarnsAndKeepsTheTable)
{
    SetRows({{7, 7, 0}}, false);
    Select(1, -1);
    EXPECT_EQ(FillTableFromMapObject(FHost.get(), *FTable),
              std::string("Выделенный объект не содержит ни одного контура, определяющего геометрию объекта"));
    EXPECT_EQ(FTable->Count(), 1);
    EXPECT_EQ(UpdateMapObject(FHost.get(), FTable->ContourPart()),
              std::string("Выделенный объект не содержит ни одного контура, определяющего геометрию объекта"));
    EXPECT_TRUE(Committed().empty());
}

TEST_F(MapExchangeOwnProject, CreateWithoutTheCreateRightChangesNothing)
{
    SetRows({{7, 7, 0}, {8, 8, 0}}, false);
    TStyleMenuEvent event(FHost.get(), &FTable->ContourPart(), StyleOfActiveLayer(TStyleMenuKind::smkCreate, 12).get());
    Select(1, 0);
    for (int add = 0; add < 2; ++add) {
        try {
            add ? event.AddShapeClick() : event.CreateObjectClick();
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "У вас нет прав на создание контура");
        }
    }
    EXPECT_EQ(Geometry(2), "<none>");
    EXPECT_EQ(Geometry(1), "object 1 layer 1\nshape 0 style 11 geometry 0\npart 0 open\n1\t2\t0\n3\t4\t0\n");
    EXPECT_TRUE(Committed().empty());
    EXPECT_TRUE(RolledBack().empty());
}

} // namespace
