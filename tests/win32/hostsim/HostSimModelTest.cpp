// The object model: project files, transactions, selection, contours and settings.
#include "HostSimTestSupport.h"

#include "hostsim/ProjectData.h"
#include "hostsim/ScriptParser.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

namespace {

std::wstring Geometry(IHostApplication* app, long id)
{
    std::wstring text;
    EXPECT_HRESULT_SUCCEEDED(hostsim::ObjectGeometryText(app, id, text));
    return text;
}

TPtr<IHostObjectStore> Store(IHostApplication* app)
{
    TPtr<IHostProject> project;
    TPtr<IHostObjectStore> store;
    EXPECT_HRESULT_SUCCEEDED(app->get_Project(project.out()));
    EXPECT_HRESULT_SUCCEEDED(project->get_Objects(store.out()));
    return store;
}

// Clears the first shape of the object and writes one open part with one vertex.
void Overwrite(IHostObjectStore* store, long id, double x)
{
    TPtr<IHostMapObject> object;
    TPtr<IHostShapeList> shapes;
    TPtr<IHostShape> shape;
    TPtr<IHostContour> contour;
    TPtr<IHostContourPart> part;
    ASSERT_HRESULT_SUCCEEDED(store->ObjectById(id, object.out()));
    ASSERT_HRESULT_SUCCEEDED(object->get_Shapes(shapes.out()));
    ASSERT_HRESULT_SUCCEEDED(shapes->Item(0, shape.out()));
    ASSERT_HRESULT_SUCCEEDED(shape->get_Contour(contour.out()));
    ASSERT_HRESULT_SUCCEEDED(contour->Clear());
    ASSERT_HRESULT_SUCCEEDED(contour->InsertPart(-1, part.out()));
    ASSERT_HRESULT_SUCCEEDED(part->InsertVertex(-1, x, 1385000, 0));
}

} // namespace

// ---- project files ---------------------------------------------------------------------------

TEST(ProjectFile, ExampleHasLayersStylesAndArcs)
{
    const std::string text = "orvex-project 1\nlayer 1 0x50 A\nstyle 11 2 0x10 0xFF0000 Двор\nobject 5 1\n"
                             "shape 11 1\npart closed\nv 1 2 0.5\nv 3 4 0\n";
    const hostsim::TProjectData p = hostsim::ParseProject(text);
    ASSERT_EQ(p.Layers.size(), 1u);
    EXPECT_EQ(p.Styles.at(11).Name, "Двор");
    EXPECT_EQ(p.Styles.at(11).Permissions, 0x10);
    EXPECT_EQ(p.Styles.at(11).Color, 0xFF0000u);
    const hostsim::TPartData& part = p.Objects.at(5).Shapes.at(0).Contour.Parts.at(0);
    EXPECT_TRUE(part.Closed);
    EXPECT_EQ(part.Vertices.at(0), (hostsim::TVertexData{1, 2, 0.5}));
}

TEST(ProjectFile, MalformedFilesNameTheLine)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "empty"},
        {"layer 1 0x50 A\n", "does not start"},
        {"orvex-project 2\n", "version"},
        {"orvex-project 1\nobject 1 9\n", "line 2: unknown layer 9"},
        {"orvex-project 1\nlayer 1 0x50 A\nobject 1 1\nshape 7 1\n", "line 4: unknown style 7"},
        {"orvex-project 1\nlayer 1 0x50 A\nstyle 2 0 0 0 S\nobject 1 1\nshape 2 1\nv 1 2 0\n", "line 6: a vertex must follow"},
        {"orvex-project 1\nlayer 1 0x50 A\nstyle 2 0 0 0 S\nobject 1 1\nshape 2 1\npart closed\nv 1 x 0\n", "line 7: \"x\" is not a number"},
        {"orvex-project 1\nlayer 1 0x50 A\nlayer 1 0x50 B\n", "line 3: layer 1 is defined twice"},
        {"orvex-project 1\nview 1 2 0\n", "scale must be positive"},
        {"orvex-project 1\npolygon 1\n", "unknown record"},
    };
    for (const auto& c : cases) {
        try {
            hostsim::ParseProject(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const hostsim::EProjectFormat& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.message)) << c.text;
        }
    }
}

TEST(ProjectFile, BadScriptsAreRejectedBeforeRunning)
{
    EXPECT_EQ(hostsim::ParseScript("# c\nselect 101 0\n\ntype \"a b\"\n").size(), 2u);
    EXPECT_EQ(hostsim::ParseScript("type \"a \\\"b\\\"\"\n").at(0).Args.at(0), "a \"b\"");
    for (const char* bad : {"jump 1\n", "select\n", "type \"open\n", "screenshot map\n"})
        EXPECT_THROW(hostsim::ParseScript(bad), hostsim::EProjectFormat) << bad;
}

class ProjectLoading : public HostFixture {};

TEST_F(ProjectLoading, AMalformedProjectGivesAnErrorWithItsLine)
{
    const std::wstring path = WriteProjectFile("Malformed", "orvex-project 1\nobject 1 9\n");
    EXPECT_HRESULT_FAILED(hostsim::CreateApplication(path.c_str(), false, App.out()));
    EXPECT_FALSE(App);
    EXPECT_THAT(LastErrorMessage(), HasSubstr(L"line 2"));
    EXPECT_HRESULT_FAILED(hostsim::CreateApplication(L"Z:/nonexistent/none.orvex", false, App.out()));
}

TEST_F(ProjectLoading, AFailedReopenKeepsTheOpenProject)
{
    Open(false);
    const std::wstring path = WriteProjectFile("FailedReopen", "orvex-project 1\nv 1 2 3\n");
    EXPECT_HRESULT_FAILED(hostsim::OpenProject(App.get(), path.c_str()));
    EXPECT_THAT(Geometry(App.get(), 101), HasSubstr(L"452300\t1385240\t0"));
}

// ---- transactions ----------------------------------------------------------------------------

class Transactions : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        Open(false);
        Before = Geometry(App.get(), 101);
    }
    std::wstring Before;
};

TEST_F(Transactions, ABeginWithoutCommitIsRolledBackAtTheNextBegin)
{
    TPtr<IHostObjectStore> store = Store(App.get());
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Обновление объекта").get()));
    Overwrite(store.get(), 101, 1);
    EXPECT_NE(Geometry(App.get(), 101), Before);
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Второй").get()));
    EXPECT_EQ(Geometry(App.get(), 101), Before);
    EXPECT_EQ(hostsim::RolledBackTransactions(App.get()), std::vector<std::wstring>{L"Обновление объекта"});
    EXPECT_TRUE(hostsim::CommittedTransactions(App.get()).empty());
}

TEST_F(Transactions, CommitKeepsTheChangesAndLogsTheName)
{
    TPtr<IHostObjectStore> store = Store(App.get());
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Обновление объекта").get()));
    Overwrite(store.get(), 101, 7);
    ASSERT_HRESULT_SUCCEEDED(store->CommitTransaction());
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Создание объекта").get()));
    ASSERT_HRESULT_SUCCEEDED(store->CommitTransaction());
    EXPECT_THAT(Geometry(App.get(), 101), HasSubstr(L"part 0 open\n7\t1385000\t0\n"));
    EXPECT_EQ(hostsim::CommittedTransactions(App.get()),
              (std::vector<std::wstring>{L"Обновление объекта", L"Создание объекта"}));
}

TEST_F(Transactions, ReopeningTheProjectRollsBackAndCommitNeedsABegin)
{
    TPtr<IHostObjectStore> store = Store(App.get());
    EXPECT_HRESULT_FAILED(store->CommitTransaction());
    EXPECT_THAT(LastErrorMessage(), HasSubstr(L"транзакции"));
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Брошенная").get()));
    TPtr<IHostMapObject> created;
    ASSERT_HRESULT_SUCCEEDED(store->CreateObject(1, created.out()));
    LONG id = 0;
    ASSERT_HRESULT_SUCCEEDED(created->get_Id(&id));
    ASSERT_HRESULT_SUCCEEDED(hostsim::OpenProject(App.get(), ProjectPath.c_str()));
    EXPECT_EQ(hostsim::RolledBackTransactions(App.get()), std::vector<std::wstring>{L"Брошенная"});
    // The object of the rolled-back transaction is gone; its COM object says so.
    EXPECT_EQ(created->get_Id(&id), E_INVALIDARG);
}

TEST_F(Transactions, ChangesOutsideATransactionApplyDirectly)
{
    TPtr<IHostObjectStore> store = Store(App.get());
    Overwrite(store.get(), 101, 3);
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Пустая").get()));
    ASSERT_HRESULT_SUCCEEDED(store->BeginTransaction(TBstr(L"Ещё").get()));
    EXPECT_THAT(Geometry(App.get(), 101), HasSubstr(L"3\t1385000\t0"));
}

TEST_F(Transactions, NewObjectsAndShapesGetIdsAndKeepTheirStyle)
{
    TPtr<IHostObjectStore> store = Store(App.get());
    TPtr<IHostMapObject> object;
    ASSERT_HRESULT_SUCCEEDED(store->CreateObject(2, object.out()));
    LONG id = 0;
    ASSERT_HRESULT_SUCCEEDED(object->get_Id(&id));
    EXPECT_EQ(id, 302);
    TPtr<IHostShapeList> shapes;
    TPtr<IHostShape> shape;
    ASSERT_HRESULT_SUCCEEDED(object->get_Shapes(shapes.out()));
    EXPECT_EQ(shapes->Insert(-1, 11, shape.out()), E_INVALIDARG) << "style of another layer";
    ASSERT_HRESULT_SUCCEEDED(shapes->Insert(-1, 21, shape.out()));
    TPtr<IHostStyle> style;
    ASSERT_HRESULT_SUCCEEDED(shape->get_Style(style.out()));
    LONG flags = 0;
    ASSERT_HRESULT_SUCCEEDED(style->get_Flags(&flags));
    EXPECT_EQ(flags, 4);
    EXPECT_HRESULT_FAILED(store->CreateObject(99, object.out()));
}

// ---- selection, contours, permissions ---------------------------------------------------------

class ObjectModel : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        Open(false);
    }
};

TEST_F(ObjectModel, SelectionKeepsObjectIdsAndShapeIndexes)
{
    TPtr<IHostSelection> selection;
    ASSERT_HRESULT_SUCCEEDED(App->get_Selection(selection.out()));
    ASSERT_HRESULT_SUCCEEDED(selection->Add(104, 1));
    ASSERT_HRESULT_SUCCEEDED(selection->Add(101, -1));
    EXPECT_EQ(selection->Add(777, 0), E_INVALIDARG);
    EXPECT_EQ(selection->Add(101, 5), E_INVALIDARG);
    LONG count = 0, id = 0, shape = 0;
    ASSERT_HRESULT_SUCCEEDED(selection->get_Count(&count));
    EXPECT_EQ(count, 2);
    ASSERT_HRESULT_SUCCEEDED(selection->ObjectId(0, &id));
    ASSERT_HRESULT_SUCCEEDED(selection->ShapeIndex(0, &shape));
    EXPECT_EQ(id, 104);
    EXPECT_EQ(shape, 1);
    ASSERT_HRESULT_SUCCEEDED(selection->ShapeIndex(1, &shape));
    EXPECT_EQ(shape, -1);
    EXPECT_EQ(selection->ObjectId(2, &id), E_INVALIDARG);
    ASSERT_HRESULT_SUCCEEDED(selection->Clear());
    ASSERT_HRESULT_SUCCEEDED(selection->get_Count(&count));
    EXPECT_EQ(count, 0);
}

TEST_F(ObjectModel, AFreeContourRoundTripsIntoAShape)
{
    TPtr<IDispatch> geometry;
    VARIANT none;
    ::VariantInit(&none);
    ASSERT_HRESULT_SUCCEEDED(App->CreateGeometry(0, none, geometry.out()));
    TPtr<IHostContour> contour;
    ASSERT_HRESULT_SUCCEEDED(geometry->QueryInterface(IID_IHostContour, reinterpret_cast<void**>(contour.out())));
    TPtr<IHostContourPart> first, second;
    ASSERT_HRESULT_SUCCEEDED(contour->InsertPart(-1, first.out()));
    ASSERT_HRESULT_SUCCEEDED(first->SetClosed(VARIANT_TRUE));
    ASSERT_HRESULT_SUCCEEDED(first->InsertVertex(-1, 452300.25, 1385200.5, 0.5));
    ASSERT_HRESULT_SUCCEEDED(first->InsertVertex(-1, 452310, 1385210, 0));
    ASSERT_HRESULT_SUCCEEDED(first->InsertVertex(0, 452290, 1385190, -0.25));
    ASSERT_HRESULT_SUCCEEDED(contour->InsertPart(-1, second.out()));
    ASSERT_HRESULT_SUCCEEDED(second->InsertVertex(-1, 1, 2, 0));
    EXPECT_EQ(first->InsertVertex(9, 1, 2, 0), E_INVALIDARG);
    EXPECT_EQ(App->CreateGeometry(1, none, geometry.out()), E_INVALIDARG);

    TPtr<IHostObjectStore> store = Store(App.get());
    TPtr<IHostMapObject> object;
    TPtr<IHostShapeList> shapes;
    TPtr<IHostShape> shape;
    TPtr<IHostContour> target;
    ASSERT_HRESULT_SUCCEEDED(store->ObjectById(103, object.out()));
    ASSERT_HRESULT_SUCCEEDED(object->get_Shapes(shapes.out()));
    ASSERT_HRESULT_SUCCEEDED(shapes->Item(0, shape.out()));
    ASSERT_HRESULT_SUCCEEDED(shape->get_Contour(target.out()));
    ASSERT_HRESULT_SUCCEEDED(target->Assign(contour.get()));
    EXPECT_EQ(ShapeText(App.get(), 103, 0),
              L"closed:452290 1.38519e+06 -0.25|452300 1.3852e+06 0.5|452310 1.38521e+06 0 / open:1 2 0");
    EXPECT_THAT(Geometry(App.get(), 103), HasSubstr(L"part 0 closed\n452290\t1385190\t-0.25\n452300.25\t1385200.5\t0.5\n"));
}

TEST_F(ObjectModel, ShapesAndPermissionsFollowTheProject)
{
    TPtr<IHostProject> project;
    TPtr<IHostLayer> layer;
    TPtr<IHostPermissions> rights;
    VARIANT_BOOL allows = VARIANT_TRUE;
    ASSERT_HRESULT_SUCCEEDED(App->get_Project(project.out()));
    ASSERT_HRESULT_SUCCEEDED(project->LayerById(3, layer.out()));
    ASSERT_HRESULT_SUCCEEDED(layer->get_Permissions(rights.out()));
    ASSERT_HRESULT_SUCCEEDED(rights->Allows(0x10, &allows));
    EXPECT_EQ(allows, VARIANT_FALSE) << "layer 3 has no view right";
    ASSERT_HRESULT_SUCCEEDED(rights->Allows(0x40, &allows));
    EXPECT_EQ(allows, VARIANT_TRUE);

    TPtr<IHostStyleList> styles;
    TPtr<IHostStyle> style;
    ASSERT_HRESULT_SUCCEEDED(project->LayerById(1, layer.out()));
    ASSERT_HRESULT_SUCCEEDED(layer->get_Styles(styles.out()));
    LONG count = 0;
    ASSERT_HRESULT_SUCCEEDED(styles->get_Count(&count));
    EXPECT_EQ(count, 3);
    ASSERT_HRESULT_SUCCEEDED(styles->Item(2, style.out()));
    TBstr name;
    ASSERT_HRESULT_SUCCEEDED(style->get_Name(name.out()));
    EXPECT_EQ(name.text(), L"Граница (утверждённая)");
    ASSERT_HRESULT_SUCCEEDED(style->get_Permissions(rights.out()));
    ASSERT_HRESULT_SUCCEEDED(rights->Allows(0x40, &allows));
    EXPECT_EQ(allows, VARIANT_FALSE) << "style 13 has no change right";

    // Object 104: the servitude line does not define the geometry, the parcel does.
    TPtr<IHostObjectStore> store = Store(App.get());
    TPtr<IHostMapObject> object;
    TPtr<IHostShapeList> shapes;
    TPtr<IHostShape> shape;
    ASSERT_HRESULT_SUCCEEDED(store->ObjectById(104, object.out()));
    ASSERT_HRESULT_SUCCEEDED(object->get_Shapes(shapes.out()));
    ASSERT_HRESULT_SUCCEEDED(shapes->Item(0, shape.out()));
    ASSERT_HRESULT_SUCCEEDED(shape->get_DefinesGeometry(&allows));
    EXPECT_EQ(allows, VARIANT_FALSE);
    EXPECT_EQ(ShapeText(App.get(), 105, 0).substr(0, 7), L"closed:");
    EXPECT_NE(ShapeText(App.get(), 105, 0).find(L" / open:"), std::wstring::npos);

    TPtr<IHostMapView> view;
    TPtr<IHostViewLayer> active;
    ASSERT_HRESULT_SUCCEEDED(App->get_ActiveMapView(view.out()));
    ASSERT_HRESULT_SUCCEEDED(view->get_ActiveLayer(active.out()));
    ASSERT_TRUE(active);
    ASSERT_HRESULT_SUCCEEDED(hostsim::SetActiveLayer(App.get(), 0));
    ASSERT_HRESULT_SUCCEEDED(view->get_ActiveLayer(active.out()));
    EXPECT_FALSE(active);
    hostsim::SetMapViewActive(App.get(), false);
    ASSERT_HRESULT_SUCCEEDED(App->get_ActiveMapView(view.out()));
    EXPECT_FALSE(view);
}

// ---- settings ----------------------------------------------------------------------------------

class Settings : public HostFixture {};

TEST_F(Settings, WrittenValuesSurviveReopeningAndAbsentKeysGiveTheDefault)
{
    Open(false);
    {
        TPtr<IHostSettings> settings;
        ASSERT_HRESULT_SUCCEEDED(App->get_Settings(settings.out()));
        ASSERT_HRESULT_SUCCEEDED(settings->WriteString(1, 0, TBstr(L"Polypad/FormType").get(), TBstr(L"1").get()));
        ASSERT_HRESULT_SUCCEEDED(
            settings->WriteString(1, 0, TBstr(L"Kestrom.PolypadLTWH").get(), TBstr(L"10\t20\n30 «x»").get()));
        EXPECT_EQ(settings->WriteString(1, 0, TBstr(L"").get(), TBstr(L"v").get()), E_INVALIDARG);
    }
    App.reset();
    Open(false);
    TPtr<IHostSettings> settings;
    ASSERT_HRESULT_SUCCEEDED(App->get_Settings(settings.out()));
    TBstr value;
    ASSERT_HRESULT_SUCCEEDED(settings->ReadString(1, 0, TBstr(L"Polypad/FormType").get(), TBstr(L"0").get(), value.out()));
    EXPECT_EQ(value.text(), L"1");
    ASSERT_HRESULT_SUCCEEDED(
        settings->ReadString(1, 0, TBstr(L"Kestrom.PolypadLTWH").get(), TBstr(L"").get(), value.out()));
    EXPECT_EQ(value.text(), L"10\t20\n30 «x»");
    ASSERT_HRESULT_SUCCEEDED(
        settings->ReadString(1, 0, TBstr(L"Kestrom.PolypadDigits").get(), TBstr(L"3").get(), value.out()));
    EXPECT_EQ(value.text(), L"3");
    ASSERT_HRESULT_SUCCEEDED(settings->ReadString(1, 0, TBstr(L"Missing").get(), nullptr, value.out()));
    EXPECT_EQ(value.text(), L"");
}

TEST_F(Settings, ACorruptSettingsFileFailsTheOpenInsteadOfLosingIt)
{
    FILE* file = _wfopen((ProjectPath + L".settings").c_str(), L"wb");
    ASSERT_TRUE(file);
    std::fputs("1\tno value column\n", file);
    std::fclose(file);
    EXPECT_HRESULT_FAILED(hostsim::CreateApplication(ProjectPath.c_str(), false, App.out()));
    EXPECT_THAT(LastErrorMessage(), HasSubstr(L"settings line 1"));
}
