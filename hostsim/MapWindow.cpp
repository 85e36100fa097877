#include "hostsim/MapWindow.h"
#include "hostsim/MapGeometry.h"

#include "controls/WinHandles.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace hostsim {

namespace {

const wchar_t kMapWindowClass[] = L"TOrvexMapWindow";

COLORREF ToColorRef(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

COLORREF Tint(COLORREF c, double keep)
{
    auto mix = [keep](int v) { return static_cast<int>(v * keep + 255 * (1 - keep)); };
    return RGB(mix(GetRValue(c)), mix(GetGValue(c)), mix(GetBValue(c)));
}

std::vector<POINT> ToPixels(const THostState& state, const std::vector<TFloatPoint>& line)
{
    std::vector<POINT> pixels;
    pixels.reserve(line.size());
    for (const TFloatPoint p : line) {
        const TFloatPoint s = state.View.MapToSurface(p.X, p.Y);
        pixels.push_back({static_cast<LONG>(std::lround(std::clamp(s.X, -1e6, 1e6))),
                          static_cast<LONG>(std::lround(std::clamp(s.Y, -1e6, 1e6)))});
    }
    return pixels;
}

bool IsSelected(const THostState& state, std::int32_t id)
{
    for (const TSelectionEntry& entry : state.Selection)
        if (entry.ObjectId == id)
            return true;
    return false;
}

void TextAt(HDC dc, int x, int y, const std::wstring& text, UINT align)
{
    ::SetTextAlign(dc, align);
    ::TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// A grid of round coordinates with labels at the window's edges.
void DrawGrid(HDC dc, const THostState& state, HFONT font)
{
    const TViewTransform& view = state.View;
    const double ppu = view.PixelsPerUnit();
    double step = 1;
    for (const double s : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0})
        if (s * ppu >= 90) {
            step = s;
            break;
        } else {
            step = s;
        }
    TUniquePen pen(::CreatePen(PS_SOLID, 1, RGB(225, 230, 236)));
    const TSelectObject selectPen(dc, pen.get());
    const TSelectObject selectFont(dc, font);
    ::SetTextColor(dc, RGB(120, 130, 145));
    ::SetBkMode(dc, TRANSPARENT);
    const TFloatPoint topLeft = view.SurfaceToMap(0, 0);
    const TFloatPoint bottomRight = view.SurfaceToMap(view.Width(), view.Height());
    for (double y = std::ceil(topLeft.Y / step) * step; y <= bottomRight.Y; y += step) {
        const int sx = static_cast<int>(std::lround(view.MapToSurface(0, y).X));
        ::MoveToEx(dc, sx, 0, nullptr);
        ::LineTo(dc, sx, view.Height());
        TextAt(dc, sx + 2, 2, std::to_wstring(static_cast<long long>(y)), TA_LEFT | TA_TOP);
    }
    for (double x = std::ceil(bottomRight.X / step) * step; x <= topLeft.X; x += step) {
        const int sy = static_cast<int>(std::lround(view.MapToSurface(x, 0).Y));
        ::MoveToEx(dc, 0, sy, nullptr);
        ::LineTo(dc, view.Width(), sy);
        TextAt(dc, 2, sy - 14, std::to_wstring(static_cast<long long>(x)), TA_LEFT | TA_TOP);
    }
}

void DrawScaleBarAndNorth(HDC dc, const THostState& state, HFONT font)
{
    const TViewTransform& view = state.View;
    const double ppu = view.PixelsPerUnit();
    double length = 1;
    for (const double s : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0})
        if (s * ppu <= 160)
            length = s;
    const int pixels = static_cast<int>(std::lround(length * ppu));
    const int x0 = 16, y0 = view.Height() - 20;
    TUniquePen pen(::CreatePen(PS_SOLID, 2, RGB(40, 40, 40)));
    const TSelectObject selectPen(dc, pen.get());
    const TSelectObject selectFont(dc, font);
    ::SetTextColor(dc, RGB(40, 40, 40));
    ::MoveToEx(dc, x0, y0 - 5, nullptr);
    ::LineTo(dc, x0, y0);
    ::LineTo(dc, x0 + pixels, y0);
    ::LineTo(dc, x0 + pixels, y0 - 5);
    TextAt(dc, x0 + pixels / 2, y0 - 18, std::to_wstring(static_cast<long long>(length)) + L" м", TA_CENTER | TA_TOP);
    const double denominator = std::round(1 / view.Scale());
    TextAt(dc, x0 + pixels + 10, y0 - 12, L"1:" + std::to_wstring(static_cast<long long>(denominator)), TA_LEFT | TA_TOP);

    // North arrow (map X points up).
    const int nx = view.Width() - 28, ny = 24;
    POINT arrow[] = {{nx, ny - 14}, {nx + 8, ny + 10}, {nx, ny + 4}, {nx - 8, ny + 10}};
    TUniqueBrush brush(::CreateSolidBrush(RGB(40, 40, 40)));
    const TSelectObject selectBrush(dc, brush.get());
    ::Polygon(dc, arrow, 4);
    TextAt(dc, nx, ny + 12, L"X (С)", TA_CENTER | TA_TOP);
}

// Wine's polygon fill grows with the square of the vertex count (10^5 vertices: seconds), so a
// large fill is made of fans: anchor, vertices i .. i+m. In alternate mode a pixel is inside when
// an odd number of fans cover it (the chords between fans cancel), so the fans are inverted into
// a mask, and the brush is put through the mask.
constexpr std::size_t kDirectFillLimit = 4000;
constexpr std::size_t kFanSize = 200;

void FillRingsByFans(HDC dc, const std::vector<std::vector<POINT>>& rings, int width, int height)
{
    TUniqueMemoryDC mask(::CreateCompatibleDC(dc));
    TUniqueBitmap bits(::CreateBitmap(width, height, 1, 1, nullptr));
    if (!mask || !bits)
        return;
    const TSelectObject selectBits(mask.get(), bits.get());
    ::PatBlt(mask.get(), 0, 0, width, height, BLACKNESS);
    const TSelectObject pen(mask.get(), ::GetStockObject(NULL_PEN));
    const TSelectObject brush(mask.get(), ::GetStockObject(WHITE_BRUSH));
    ::SetROP2(mask.get(), R2_NOT);
    std::vector<POINT> fan;
    for (const auto& ring : rings)
        for (std::size_t first = 0; first + 1 < ring.size(); first += kFanSize) {
            const std::size_t last = std::min(first + kFanSize, ring.size() - 1);
            fan.assign(1, ring.front());
            fan.insert(fan.end(), ring.begin() + static_cast<std::ptrdiff_t>(first),
                       ring.begin() + static_cast<std::ptrdiff_t>(last) + 1);
            ::Polygon(mask.get(), fan.data(), static_cast<int>(fan.size()));
        }
    // Mask bits 1 become white, 0 black; D ^ ((D ^ P) & S) is the brush inside, D outside.
    const COLORREF text = ::SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = ::SetBkColor(dc, RGB(255, 255, 255));
    ::BitBlt(dc, 0, 0, width, height, mask.get(), 0, 0, 0x00E20746);
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, back);
}

} // namespace

void RenderMap(HDC dc, const THostState& state)
{
    RenderMapContents(dc, state);
    state.Overlay.CombineInto(dc);
}

void RenderMapContents(HDC dc, const THostState& state)
{
    const TViewTransform& view = state.View;
    const RECT all{0, 0, view.Width(), view.Height()};
    TUniqueBrush background(::CreateSolidBrush(::GetSysColor(COLOR_WINDOW)));
    ::FillRect(dc, &all, background.get());
    TUniqueFont font(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                                   L"Tahoma"));
    TUniqueFont bold(::CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                                   L"Tahoma"));
    DrawGrid(dc, state, font.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetPolyFillMode(dc, ALTERNATE);

    const TProjectData& project = state.Store.Project();
    // Fills first, outlines and labels over all of them, so that no outline is covered; the
    // selection last, over its neighbours.
    for (const int pass : {0, 1, 2})
    for (const TLayerData& layer : project.Layers) {
        const bool viewable = (layer.Permissions & kRightView) != 0;
        for (const auto& [id, object] : project.Objects) {
            if (object.LayerId != layer.Id)
                continue;
            const bool selected = IsSelected(state, id);
            if ((pass == 1 && selected) || (pass == 2 && !selected))
                continue;
            TFloatRect box{};
            bool any = false;
            for (const TShapeData& shape : object.Shapes) {
                const TStyleData* style = project.FindStyle(shape.StyleId);
                COLORREF color = style ? ToColorRef(style->Color) : RGB(0, 0, 0);
                if (!viewable)
                    color = RGB(170, 170, 170);
                std::vector<std::vector<POINT>> rings;
                std::vector<std::vector<POINT>> lines;
                for (const TPartData& part : shape.Contour.Parts) {
                    const std::vector<TFloatPoint> line = FlattenPart(part);
                    for (const TFloatPoint p : line) {
                        if (!any)
                            box = FloatRect(p, p);
                        IncludePoint(box, p);
                        any = true;
                    }
                    (part.Closed && line.size() > 2 ? rings : lines).push_back(ToPixels(state, line));
                }
                if (pass == 0) {
                    if (rings.empty() || !shape.DefinesGeometry)
                        continue;
                    std::vector<POINT> points;
                    std::vector<INT> counts;
                    for (const auto& ring : rings) {
                        points.insert(points.end(), ring.begin(), ring.end());
                        counts.push_back(static_cast<INT>(ring.size()));
                    }
                    TUniqueBrush fill(::CreateSolidBrush(selected ? RGB(255, 236, 200) : Tint(color, 0.12)));
                    TUniquePen none(::CreatePen(PS_NULL, 0, 0));
                    const TSelectObject b(dc, fill.get());
                    const TSelectObject p(dc, none.get());
                    if (points.size() > kDirectFillLimit)
                        FillRingsByFans(dc, rings, view.Width(), view.Height());
                    else
                        ::PolyPolygon(dc, points.data(), counts.data(), static_cast<int>(counts.size()));
                    continue;
                }
                const int width = selected ? 3 : (shape.DefinesGeometry ? 2 : 1);
                const COLORREF lineColor = selected ? RGB(230, 40, 30) : color;
                TUniquePen pen(::CreatePen(viewable && shape.DefinesGeometry ? PS_SOLID : PS_DOT,
                                           viewable && shape.DefinesGeometry ? width : 1, lineColor));
                const TSelectObject p(dc, pen.get());
                for (const auto* group : {&rings, &lines})
                    for (const auto& line : *group)
                        if (line.size() > 1)
                            ::Polyline(dc, line.data(), static_cast<int>(line.size()));
                if (selected) {
                    TUniqueBrush mark(::CreateSolidBrush(RGB(230, 40, 30)));
                    const TSelectObject b(dc, mark.get());
                    for (const TPartData& part : shape.Contour.Parts)
                        for (const TVertexData& v : part.Vertices) {
                            if (!std::isfinite(v.X) || !std::isfinite(v.Y))
                                continue;
                            const TFloatPoint s = view.MapToSurface(v.X, v.Y);
                            const int x = static_cast<int>(std::lround(s.X)), y = static_cast<int>(std::lround(s.Y));
                            ::Rectangle(dc, x - 3, y - 3, x + 4, y + 4);
                        }
                }
            }
            if (any && pass != 0) {
                // In the southern part of the box, clear of a building at a parcel's centre.
                const TFloatPoint c = view.MapToSurface(box.X1 + (box.X2 - box.X1) * 0.3, (box.Y1 + box.Y2) / 2);
                const TSelectObject f(dc, bold.get());
                ::SetTextColor(dc, viewable ? RGB(50, 50, 60) : RGB(160, 160, 160));
                TextAt(dc, static_cast<int>(c.X), static_cast<int>(c.Y) - 7, std::to_wstring(id), TA_CENTER | TA_TOP);
            }
        }
    }
    DrawScaleBarAndNorth(dc, state, font.get());
}

TMapWindow::TMapWindow(THostState& state, HWND parent) : FState(state)
{
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_CROSS);
        wc.lpszClassName = kMapWindowClass;
        return ::RegisterClassW(&wc);
    }();
    if (!atom)
        RaiseLastWin32Error("RegisterClass TOrvexMapWindow");
    FWindow = CheckWin32Handle(::CreateWindowExW(WS_EX_CLIENTEDGE, kMapWindowClass, L"Карта",
                                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 100, 100, parent,
                                                 nullptr, ::GetModuleHandleW(nullptr), this),
                               "CreateWindow TOrvexMapWindow");
}

LRESULT CALLBACK TMapWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<TMapWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->FWindow = window;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        if (auto* self = reinterpret_cast<TMapWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
            if (message == WM_NCDESTROY)
                ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            else
                return self->Handle(message, wParam, lParam);
        }
    } catch (const std::exception& e) {
        if (HWND main = ::GetAncestor(window, GA_ROOT))
            ::SetWindowTextW(main, (L"Orvex — " + Widen(e.what())).c_str());
    } catch (...) {
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TMapWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_LBUTTON) != 0);
        return 0;
    case WM_LBUTTONUP:
        OnLeftButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    default:
        return ::DefWindowProcW(FWindow, message, wParam, lParam);
    }
}

void TMapWindow::Invalidate()
{
    if (FInvalidated)
        return;
    FInvalidated = true;
    ::InvalidateRect(FWindow, nullptr, FALSE);
}

void TMapWindow::OnPaint()
{
    FInvalidated = false;
    const TPaintDC paint(FWindow);
    const int w = FState.View.Width(), h = FState.View.Height();
    TUniqueMemoryDC memory(::CreateCompatibleDC(paint.get()));
    TUniqueBitmap bitmap(::CreateCompatibleBitmap(paint.get(), w, h));
    if (!memory || !bitmap)
        return;
    const TSelectObject select(memory.get(), bitmap.get());
    if (!UpdatePicture(paint.get()))
        RenderMapContents(memory.get(), FState);
    else
        ::BitBlt(memory.get(), 0, 0, w, h, FPictureDC.get(), 0, 0, SRCCOPY);
    FState.Overlay.CombineInto(memory.get());
    ::BitBlt(paint.get(), 0, 0, w, h, memory.get(), 0, 0, SRCCOPY);
}

bool TMapWindow::UpdatePicture(HDC screen)
{
    const TViewTransform& view = FState.View;
    TPictureKey key{FState.Store.Revision(), view.Width(), view.Height(), view.CentreX(), view.CentreY(),
                    view.Scale(), {}};
    for (const TSelectionEntry& entry : FState.Selection)
        key.Selection.push_back({entry.ObjectId, entry.ShapeIndex});
    if (FPictureDC && key == FPictureKey)
        return true;
    FPictureDC.reset();
    FPicture.reset();
    TUniqueMemoryDC dc(::CreateCompatibleDC(screen));
    TUniqueBitmap picture(::CreateCompatibleBitmap(screen, key.Width, key.Height));
    if (!dc || !picture)
        return false;
    ::SelectObject(dc.get(), picture.get());
    RenderMapContents(dc.get(), FState);
    FPictureDC = std::move(dc);
    FPicture = std::move(picture);
    FPictureKey = std::move(key);
    return true;
}

void TMapWindow::OnSize(int cx, int cy)
{
    if (cx <= 0 || cy <= 0 || (cx == FState.View.Width() && cy == FState.View.Height()))
        return;
    FState.ChangeView([&] {
        FState.View.SetSize(cx, cy);
        FState.Overlay.Resize(cx, cy);
    });
}

void TMapWindow::OnLeftButtonDown(int x, int y)
{
    ::SetFocus(FWindow);
    ::SetCapture(FWindow);
    FDragging = true;
    FMoved = false;
    FLast = FDown = {x, y};
}

void TMapWindow::OnMouseMove(int x, int y, bool leftDown)
{
    const TFloatPoint p = FState.View.SurfaceToMap(x, y);
    if (FState.Ui) {
        wchar_t text[80];
        swprintf(text, 80, L"X %.2f   Y %.2f", p.X, p.Y);
        FState.Ui->ShowPointer(text);
    }
    if (!FDragging || !leftDown)
        return;
    if (!FMoved && std::abs(x - FDown.x) + std::abs(y - FDown.y) < 4)
        return;
    FMoved = true;
    const int dx = x - FLast.x, dy = y - FLast.y;
    FLast = {x, y};
    FState.ChangeView([&] { FState.View.PanPixels(dx, dy); });
}

void TMapWindow::OnLeftButtonUp(int x, int y)
{
    if (!FDragging)
        return;
    FDragging = false;
    ::ReleaseCapture();
    if (!FMoved)
        SelectAt(x, y);
}

void TMapWindow::OnMouseWheel(int delta, int screenX, int screenY)
{
    POINT p{screenX, screenY};
    ::ScreenToClient(FWindow, &p);
    const double factor = delta > 0 ? 1.25 : 0.8;
    FState.ChangeView([&] { FState.View.ZoomAt(p.x, p.y, factor); });
}

void TMapWindow::SelectAt(int x, int y)
{
    const TFloatPoint p = FState.View.SurfaceToMap(x, y);
    const double tolerance = 4 / FState.View.PixelsPerUnit();
    const TProjectData& project = FState.Store.Project();
    TSelectionEntry hit{0, -1};
    // The topmost object: later layers and objects are drawn over earlier ones; outlines win.
    for (const bool outlinesOnly : {true, false}) {
        for (auto layer = project.Layers.rbegin(); layer != project.Layers.rend() && hit.ObjectId == 0; ++layer)
            for (auto it = project.Objects.rbegin(); it != project.Objects.rend() && hit.ObjectId == 0; ++it) {
                if (it->second.LayerId != layer->Id)
                    continue;
                const auto& shapes = it->second.Shapes;
                for (std::size_t i = 0; i < shapes.size(); ++i) {
                    const bool outline = [&] {
                        for (const TPartData& part : shapes[i].Contour.Parts)
                            if (DistanceToPolyline(FlattenPart(part), p) <= tolerance)
                                return true;
                        return false;
                    }();
                    if (outlinesOnly ? outline : HitShape(shapes[i], p, tolerance)) {
                        hit = {it->first, static_cast<std::int32_t>(i)};
                        break;
                    }
                }
            }
        if (hit.ObjectId != 0)
            break;
    }
    FState.Selection.clear();
    if (hit.ObjectId != 0)
        FState.Selection.push_back(hit);
    FState.SelectionChanged();
}

} // namespace hostsim
