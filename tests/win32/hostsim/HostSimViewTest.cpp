// The map view: transform and navigation, the exclusive-or overlay, and the calls the Host makes
// to an attached module (RepaintDragging around view changes, deferred Synchronize, ShowHideForm).
#include "HostSimTestSupport.h"

#include "hostsim/MapGeometry.h"
#include "hostsim/ViewTransform.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// A module stand-in: records the names of the methods the Host invokes by name.
class TRecordingModule : public IDispatch {
public:
    std::vector<std::wstring> Calls;
    HRESULT FailWith = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --FRefs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override
    {
        FNames.push_back(names[0]);
        ids[0] = static_cast<DISPID>(FNames.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO* e,
                                     UINT*) override
    {
        const std::wstring& name = FNames.at(static_cast<std::size_t>(id - 1));
        Calls.push_back(name);
        if (name == L"RepaintDragging" &&
            (params->cArgs != 1 || params->rgvarg[0].vt != VT_DISPATCH || !params->rgvarg[0].pdispVal))
            Calls.back() += L"(no surface)";
        if (FAILED(FailWith)) {
            e->scode = FailWith;
            e->bstrDescription = ::SysAllocString(L"Модуль отказал");
            return DISP_E_EXCEPTION;
        }
        return S_OK;
    }
    ULONG Refs() const { return FRefs; }

private:
    ULONG FRefs = 1;
    std::vector<std::wstring> FNames;
};

TPtr<IHostSurface> Surface(IHostApplication* app)
{
    TPtr<IHostMainWindow> main;
    TPtr<IHostMapWindow> map;
    TPtr<IHostSurface> surface;
    EXPECT_HRESULT_SUCCEEDED(app->get_MainWindow(main.out()));
    EXPECT_HRESULT_SUCCEEDED(main->get_MapWindow(map.out()));
    EXPECT_HRESULT_SUCCEEDED(map->get_Surface(surface.out()));
    return surface;
}

TPtr<IHostNavigator> Navigator(IHostApplication* app)
{
    TPtr<IHostMainWindow> main;
    TPtr<IHostMapWindow> map;
    TPtr<IHostNavigator> navigator;
    EXPECT_HRESULT_SUCCEEDED(app->get_MainWindow(main.out()));
    EXPECT_HRESULT_SUCCEEDED(main->get_MapWindow(map.out()));
    EXPECT_HRESULT_SUCCEEDED(map->get_Navigator(navigator.out()));
    return navigator;
}

// The contour of parcel 101 (with its arc edge) as a free contour.
TPtr<IHostContour> ParcelContour(IHostApplication* app)
{
    TPtr<IDispatch> geometry;
    VARIANT none;
    ::VariantInit(&none);
    EXPECT_HRESULT_SUCCEEDED(app->CreateGeometry(0, none, geometry.out()));
    TPtr<IHostContour> contour;
    EXPECT_HRESULT_SUCCEEDED(geometry->QueryInterface(IID_IHostContour, reinterpret_cast<void**>(contour.out())));
    TPtr<IHostContourPart> part;
    EXPECT_HRESULT_SUCCEEDED(contour->InsertPart(-1, part.out()));
    part->SetClosed(VARIANT_TRUE);
    part->InsertVertex(-1, 452300, 1385200, 0);
    part->InsertVertex(-1, 452300, 1385240, 0);
    part->InsertVertex(-1, 452270, 1385240, 0.2);
    part->InsertVertex(-1, 452270, 1385200, 0);
    return contour;
}

void XorDraw(IHostSurface* surface, IHostContour* contour)
{
    TPtr<IHostPen> pen;
    TPtr<IHostBrush> brush;
    ASSERT_HRESULT_SUCCEEDED(surface->get_Pen(pen.out()));
    ASSERT_HRESULT_SUCCEEDED(pen->SetStyle(1));
    ASSERT_HRESULT_SUCCEEDED(pen->SetWidth(0));
    ASSERT_HRESULT_SUCCEEDED(pen->SetSecondWidth(0));
    ASSERT_HRESULT_SUCCEEDED(pen->SetColor(0x00FFFF));
    ASSERT_HRESULT_SUCCEEDED(pen->SetMode(14));
    ASSERT_HRESULT_SUCCEEDED(surface->get_Brush(brush.out()));
    ASSERT_HRESULT_SUCCEEDED(brush->SetStyle(1));
    ASSERT_HRESULT_SUCCEEDED(surface->DrawContour(contour, VARIANT_TRUE));
}

} // namespace

TEST(ViewTransform, NorthIsUpAndEastIsRight)
{
    hostsim::TViewTransform view;
    view.SetSize(800, 600);
    view.Set(452300, 1385200, 0.002);
    const TFloatPoint centre = view.MapToSurface(452300, 1385200);
    EXPECT_DOUBLE_EQ(centre.X, 400);
    EXPECT_DOUBLE_EQ(centre.Y, 300);
    const TFloatPoint north = view.MapToSurface(452301, 1385200);
    const TFloatPoint east = view.MapToSurface(452300, 1385201);
    const double x1 = north.X - centre.X, y1 = north.Y - centre.Y;
    const double x2 = east.X - centre.X, y2 = east.Y - centre.Y;
    EXPECT_LT(y1, 0) << "north goes up the screen";
    EXPECT_GT(x2, 0) << "east goes right";
    EXPECT_GT(x1 * y2 - x2 * y1, 0) << "mirrored against the mathematical frame";
    // 1:500 at 96 dpi: one metre is 2 mm, 7.56 pixels.
    EXPECT_NEAR(x2, 0.002 / hostsim::kMetresPerPixel, 1e-9);
    const TFloatPoint back = view.SurfaceToMap(123.5, 456.25);
    const TFloatPoint again = view.MapToSurface(back.X, back.Y);
    EXPECT_NEAR(again.X, 123.5, 1e-6);
    EXPECT_NEAR(again.Y, 456.25, 1e-6);
}

TEST(ViewTransform, ShowRectFitsAndZoomKeepsThePointUnderTheCursor)
{
    hostsim::TViewTransform view;
    view.SetSize(800, 600);
    view.ShowRect(452330, 1385150, 452230, 1385350);
    for (const auto& [x, y] : {std::pair{452330.0, 1385150.0}, std::pair{452230.0, 1385350.0}}) {
        const TFloatPoint s = view.MapToSurface(x, y);
        EXPECT_GE(s.X, 0);
        EXPECT_LE(s.X, 800);
        EXPECT_GE(s.Y, 0);
        EXPECT_LE(s.Y, 600);
    }
    const TFloatPoint anchor = view.SurfaceToMap(100, 50);
    view.ZoomAt(100, 50, 2);
    const TFloatPoint after = view.MapToSurface(anchor.X, anchor.Y);
    EXPECT_NEAR(after.X, 100, 1e-6);
    EXPECT_NEAR(after.Y, 50, 1e-6);
}

TEST(MapGeometry, ArcsBulgeByTheSignOfTheirConvexityAndHitTestsFollowThem)
{
    // Parcel 101: its east edge (ending at vertex 2) is an arc of convexity 0.2.
    hostsim::TPartData part{true, {{452300, 1385200, 0}, {452300, 1385240, 0}, {452270, 1385240, 0.2}, {452270, 1385200, 0}}};
    const std::vector<TFloatPoint> line = hostsim::FlattenPart(part);
    ASSERT_GT(line.size(), 6u);
    EXPECT_DOUBLE_EQ(line.front().X, line.back().X) << "a closed part ends where it starts";
    double east = 0;
    for (const TFloatPoint p : line)
        east = std::max(east, p.Y);
    // Sagitta of a 30 m chord with 4*atan(0.2) of sweep: 15 * 0.2 = 3 m.
    EXPECT_NEAR(east, 1385243, 0.01);
    part.Vertices[2].Convexity = -0.2;
    double west = 1e9;
    for (const TFloatPoint p : hostsim::FlattenPart(part))
        if (p.X < 452299 && p.X > 452271)
            west = std::min(west, p.Y);
    EXPECT_NEAR(west, 1385237, 0.01);

    hostsim::TShapeData shape{11, true, {{part}}};
    EXPECT_TRUE(hostsim::HitShape(shape, {452285, 1385220}, 0.5)) << "inside";
    EXPECT_FALSE(hostsim::HitShape(shape, {452285, 1385238}, 0.5)) << "cut off by the inward arc";
    EXPECT_TRUE(hostsim::HitShape(shape, {452285, 1385237.2}, 0.5)) << "on the arc";
    shape.Contour.Parts[0].Closed = false;
    EXPECT_FALSE(hostsim::HitShape(shape, {452285, 1385220}, 0.5)) << "an open part has no inside";
}

class MapView : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        Open(false);
    }
};

TEST_F(MapView, CenterAtAndScaleAreWhatTheSurfaceReports)
{
    ASSERT_HRESULT_SUCCEEDED(Navigator(App.get())->CenterAt(452285, 1385220, 0.004));
    TPtr<IHostSurfaceTransform> transform;
    ASSERT_HRESULT_SUCCEEDED(Surface(App.get())->get_Transform(transform.out()));
    double scale = 0, sx = 0, sy = 0, nx = 0, ny = 0;
    ASSERT_HRESULT_SUCCEEDED(transform->get_Scale(&scale));
    EXPECT_DOUBLE_EQ(scale, 0.004);
    ASSERT_HRESULT_SUCCEEDED(transform->MapToSurface(452285, 1385220, &sx, &sy));
    EXPECT_DOUBLE_EQ(sx, 400);
    EXPECT_DOUBLE_EQ(sy, 300);
    ASSERT_HRESULT_SUCCEEDED(transform->MapToSurface(452286, 1385220, &nx, &ny));
    EXPECT_LT(ny, sy);
    EXPECT_EQ(Navigator(App.get())->CenterAt(0, 0, 0), E_INVALIDARG);
}

TEST_F(MapView, DrawingAContourTwiceInExclusiveOrLeavesNoOverlayPixel)
{
    ASSERT_HRESULT_SUCCEEDED(Navigator(App.get())->ShowRect(452310, 1385190, 452260, 1385250));
    EXPECT_EQ(hostsim::OverlayPixelCount(App.get()), 0);
    TPtr<IHostSurface> surface = Surface(App.get());
    TPtr<IHostContour> contour = ParcelContour(App.get());
    XorDraw(surface.get(), contour.get());
    const long drawn = hostsim::OverlayPixelCount(App.get());
    EXPECT_GT(drawn, 1000) << "the parcel's outline at this scale";
    XorDraw(surface.get(), contour.get());
    EXPECT_EQ(hostsim::OverlayPixelCount(App.get()), 0);
    TPtr<IHostPen> pen;
    ASSERT_HRESULT_SUCCEEDED(surface->get_Pen(pen.out()));
    EXPECT_EQ(pen->SetMode(7), E_INVALIDARG);
}

TEST_F(MapView, AnAttachedModuleRepaintsAroundEveryViewChangeAndSynchronizesLater)
{
    TRecordingModule module;
    ASSERT_HRESULT_SUCCEEDED(hostsim::AttachModule(App.get(), &module, L"Полипад"));
    EXPECT_EQ(module.Refs(), 2u);
    ASSERT_HRESULT_SUCCEEDED(Navigator(App.get())->CenterAt(452285, 1385220, 0.004));
    ASSERT_HRESULT_SUCCEEDED(Navigator(App.get())->ShowRect(452310, 1385190, 452260, 1385250));
    EXPECT_THAT(module.Calls, ElementsAre(L"RepaintDragging", L"RepaintDragging", L"RepaintDragging", L"RepaintDragging"));
    module.Calls.clear();

    ASSERT_HRESULT_SUCCEEDED(hostsim::SelectMapObject(App.get(), 101, 0));
    ASSERT_HRESULT_SUCCEEDED(hostsim::SelectMapObject(App.get(), 102, -1));
    EXPECT_TRUE(module.Calls.empty()) << "Synchronize runs from the message loop";
    hostsim::PumpMessages();
    EXPECT_THAT(module.Calls, ElementsAre(L"Synchronize"));
    module.Calls.clear();

    ASSERT_HRESULT_SUCCEEDED(hostsim::RunCommand(App.get(), L"Полипад"));
    EXPECT_THAT(module.Calls, ElementsAre(L"ShowHideForm"));
    module.FailWith = static_cast<HRESULT>(0x80004005);
    EXPECT_EQ(hostsim::RunCommand(App.get(), L"Полипад"), static_cast<HRESULT>(0x80004005));
    EXPECT_THAT(hostsim::StatusText(App.get()), HasSubstr(L"Polypad.ShowHideForm: 0x80004005 Модуль отказал"));
    EXPECT_HRESULT_FAILED(hostsim::RunCommand(App.get(), L"Нет такой"));

    hostsim::DetachModule(App.get());
    EXPECT_EQ(module.Refs(), 1u);
}

TEST_F(MapView, TheModulesCommandCarriesItsCheckMark)
{
    TPtr<IHostMainWindow> main;
    TPtr<IHostActionList> actions;
    TPtr<IHostAction> action;
    ASSERT_HRESULT_SUCCEEDED(App->get_MainWindow(main.out()));
    ASSERT_HRESULT_SUCCEEDED(main->get_Actions(actions.out()));
    VARIANT name;
    ::VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = ::SysAllocString(L"Полипад");
    ASSERT_HRESULT_SUCCEEDED(actions->Item(name, action.out()));
    ::VariantClear(&name);
    ASSERT_HRESULT_SUCCEEDED(action->SetChecked(VARIANT_TRUE));
    EXPECT_TRUE(hostsim::CommandChecked(App.get(), L"Полипад"));
    ASSERT_HRESULT_SUCCEEDED(action->SetChecked(VARIANT_FALSE));
    EXPECT_FALSE(hostsim::CommandChecked(App.get(), L"Полипад"));
    name.vt = VT_BSTR;
    name.bstrVal = ::SysAllocString(L"Нет такой");
    EXPECT_EQ(actions->Item(name, action.out()), E_INVALIDARG);
    ::VariantClear(&name);
    LONG handle = 0;
    ASSERT_HRESULT_SUCCEEDED(main->get_Handle(&handle));
    EXPECT_TRUE(::IsWindow(reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle))));
}

class MainWindow : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        Open(true);
        hostsim::PumpMessages();
    }
};

TEST_F(MainWindow, PanesDockBesideTheMapAndHideAgain)
{
    TPtr<IHostMainWindow> main;
    TPtr<IHostPane> pane;
    ASSERT_HRESULT_SUCCEEDED(App->get_MainWindow(main.out()));
    const HWND map = hostsim::MapWindowHandle(App.get());
    ASSERT_TRUE(map);
    RECT before, after;
    ::GetWindowRect(map, &before);
    ASSERT_HRESULT_SUCCEEDED(main->CreatePane(TBstr(L"Polypad").get(), TBstr(L"Полипад").get(), pane.out()));
    LONG handle = 0;
    ASSERT_HRESULT_SUCCEEDED(pane->get_Handle(&handle));
    const HWND client = reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
    LONG mainHandle = 0;
    ASSERT_HRESULT_SUCCEEDED(main->get_Handle(&mainHandle));
    EXPECT_EQ(::GetAncestor(client, GA_ROOT), reinterpret_cast<HWND>(static_cast<LONG_PTR>(mainHandle)));
    EXPECT_TRUE(::IsWindowVisible(client));
    ::GetWindowRect(map, &after);
    EXPECT_LT(after.right - after.left, before.right - before.left) << "the map makes room for the pane";

    ASSERT_HRESULT_SUCCEEDED(pane->SetVisible(VARIANT_FALSE));
    EXPECT_FALSE(::IsWindowVisible(client));
    ::GetWindowRect(map, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    ASSERT_HRESULT_SUCCEEDED(pane->Update());
}

namespace {

// The 24-bit BMP that SaveMapImage writes, as 0xRRGGBB pixels.
std::vector<unsigned> ReadBmp(const std::wstring& file, int& width, int& height)
{
    std::vector<unsigned> pixels;
    FILE* in = _wfopen(file.c_str(), L"rb");
    if (!in)
        return pixels;
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(in);
    auto u32 = [&](std::size_t at) { return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24; };
    const std::size_t offset = u32(10);
    width = static_cast<int>(u32(18));
    height = static_cast<int>(u32(22));
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const std::size_t at = offset + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3;
            pixels.push_back(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16);
        }
    return pixels;
}

} // namespace

TEST_F(MainWindow, RepaintingTheWindowKeepsTheOverlayAndShowsItByExclusiveOr)
{
    ASSERT_HRESULT_SUCCEEDED(Navigator(App.get())->ShowRect(452310, 1385190, 452260, 1385250));
    const std::wstring plainFile = HOSTSIM_TEST_DIR_W L"/data/repaint-plain.bmp";
    const std::wstring drawnFile = HOSTSIM_TEST_DIR_W L"/data/repaint-drawn.bmp";
    ASSERT_HRESULT_SUCCEEDED(hostsim::SaveMapImage(App.get(), plainFile.c_str()));
    TPtr<IHostSurface> surface = Surface(App.get());
    TPtr<IHostContour> contour = ParcelContour(App.get());
    XorDraw(surface.get(), contour.get());
    const long overlay = hostsim::OverlayPixelCount(App.get());
    // Uncover the window: a full repaint must not lose or clear the overlay.
    ::RedrawWindow(hostsim::MapWindowHandle(App.get()), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    hostsim::PumpMessages();
    EXPECT_EQ(hostsim::OverlayPixelCount(App.get()), overlay);
    ASSERT_HRESULT_SUCCEEDED(hostsim::SaveMapImage(App.get(), drawnFile.c_str()));
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    const std::vector<unsigned> plain = ReadBmp(plainFile, w1, h1);
    const std::vector<unsigned> drawn = ReadBmp(drawnFile, w2, h2);
    ASSERT_EQ(plain.size(), drawn.size());
    ASSERT_FALSE(plain.empty());
    long differing = 0, exclusiveOr = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        differing += plain[i] != drawn[i];
        // The pen was 0x00FFFF, yellow as COLORREF: 0xFFFF00 as RGB.
        exclusiveOr += plain[i] != drawn[i] && drawn[i] == (plain[i] ^ 0xFFFF00);
    }
    EXPECT_EQ(differing, overlay) << "every overlay pixel, and only those, changes the picture";
    EXPECT_EQ(exclusiveOr, differing) << "map pixel XOR pen colour";
    XorDraw(surface.get(), contour.get());
    EXPECT_EQ(hostsim::OverlayPixelCount(App.get()), 0);
    // The same picture as PNG (kept for looking at); an unwritable file is an error.
    EXPECT_HRESULT_SUCCEEDED(hostsim::SaveMapImage(App.get(), HOSTSIM_TEST_DIR_W L"/data/repaint.png"));
    EXPECT_HRESULT_FAILED(hostsim::SaveMapImage(App.get(), L"Z:/nonexistent-dir/x.bmp"));
}

TEST_F(MainWindow, DraggingResizingAndClickingTheMapCallTheModule)
{
    TRecordingModule module;
    ASSERT_HRESULT_SUCCEEDED(hostsim::AttachModule(App.get(), &module, L"Полипад"));
    const HWND map = hostsim::MapWindowHandle(App.get());
    ASSERT_TRUE(map);
    // A drag of the map by 40 pixels: two moves beyond the click threshold.
    ::SendMessageW(map, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
    ::SendMessageW(map, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(320, 300));
    ::SendMessageW(map, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(340, 300));
    ::SendMessageW(map, WM_LBUTTONUP, 0, MAKELPARAM(340, 300));
    EXPECT_THAT(module.Calls, ElementsAre(L"RepaintDragging", L"RepaintDragging", L"RepaintDragging", L"RepaintDragging"));
    module.Calls.clear();

    RECT r;
    ::GetWindowRect(::GetAncestor(map, GA_ROOT), &r);
    ::MoveWindow(::GetAncestor(map, GA_ROOT), r.left, r.top, r.right - r.left - 100, r.bottom - r.top, TRUE);
    EXPECT_THAT(module.Calls, ElementsAre(L"RepaintDragging", L"RepaintDragging")) << "the map window's size changed";
    module.Calls.clear();

    // A click inside parcel 101 (beside its building) selects it; Synchronize follows from the
    // message loop.
    ASSERT_HRESULT_SUCCEEDED(Navigator(App.get())->CenterAt(452275, 1385232, 0.002));
    module.Calls.clear();
    RECT client;
    ::GetClientRect(map, &client);
    ::SendMessageW(map, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right / 2, client.bottom / 2));
    ::SendMessageW(map, WM_LBUTTONUP, 0, MAKELPARAM(client.right / 2, client.bottom / 2));
    hostsim::PumpMessages();
    EXPECT_THAT(module.Calls, ElementsAre(L"Synchronize"));
    TPtr<IHostSelection> selection;
    ASSERT_HRESULT_SUCCEEDED(App->get_Selection(selection.out()));
    LONG id = 0;
    ASSERT_HRESULT_SUCCEEDED(selection->ObjectId(0, &id));
    EXPECT_EQ(id, 101);
    hostsim::DetachModule(App.get());
}

TEST_F(MainWindow, ACheckedCommandShowsItsCheckMarkInTheMenu)
{
    TPtr<IHostMainWindow> main;
    TPtr<IHostActionList> actions;
    TPtr<IHostAction> action;
    ASSERT_HRESULT_SUCCEEDED(App->get_MainWindow(main.out()));
    ASSERT_HRESULT_SUCCEEDED(main->get_Actions(actions.out()));
    VARIANT name;
    ::VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = ::SysAllocString(L"Полипад");
    ASSERT_HRESULT_SUCCEEDED(actions->Item(name, action.out()));
    ::VariantClear(&name);
    // The menu item captioned like the command, anywhere in the menu bar.
    auto state = [&]() -> UINT {
        HMENU bar = ::GetMenu(hostsim::MainWindowHandle(App.get()));
        for (int i = 0; i < ::GetMenuItemCount(bar); ++i) {
            HMENU popup = ::GetSubMenu(bar, i);
            for (int j = 0; popup && j < ::GetMenuItemCount(popup); ++j) {
                wchar_t text[64] = L"";
                ::GetMenuStringW(popup, static_cast<UINT>(j), text, 64, MF_BYPOSITION);
                if (std::wstring(text) == L"Полипад")
                    return ::GetMenuState(popup, static_cast<UINT>(j), MF_BYPOSITION);
            }
        }
        return 0xFFFFFFFF;
    };
    ASSERT_NE(state(), 0xFFFFFFFFu) << "the command is in the menu";
    EXPECT_FALSE(state() & MF_CHECKED);
    ASSERT_HRESULT_SUCCEEDED(action->SetChecked(VARIANT_TRUE));
    EXPECT_TRUE(state() & MF_CHECKED);
    ASSERT_HRESULT_SUCCEEDED(action->SetChecked(VARIANT_FALSE));
    EXPECT_FALSE(state() & MF_CHECKED);
}
