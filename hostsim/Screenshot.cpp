#include "hostsim/Screenshot.h"
#include "hostsim/MapWindow.h"

#include "controls/WinHandles.h"

#include <cstdio>

namespace hostsim {

namespace {

// A DIB section of that size selected into a memory DC, read back as a TImage.
class TCanvas {
public:
    TCanvas(int width, int height) : FWidth(std::max(width, 1)), FHeight(std::max(height, 1))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = FWidth;
        info.bmiHeader.biHeight = -FHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        FBitmap.reset(CheckWin32Handle(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &FBits, nullptr, 0),
                                       "CreateDIBSection"));
        FDC.reset(CheckWin32Handle(::CreateCompatibleDC(nullptr), "CreateCompatibleDC"));
        FOld = ::SelectObject(FDC.get(), FBitmap.get());
    }
    ~TCanvas() { ::SelectObject(FDC.get(), FOld); }
    HDC DC() const { return FDC.get(); }
    TImage Image() const
    {
        ::GdiFlush();
        TImage image{FWidth, FHeight, {}};
        const auto* bits = static_cast<const std::uint32_t*>(FBits);
        image.Pixels.assign(bits, bits + static_cast<std::size_t>(FWidth) * FHeight);
        for (std::uint32_t& p : image.Pixels)
            p &= 0xFFFFFF;
        return image;
    }

private:
    int FWidth;
    int FHeight;
    void* FBits = nullptr;
    TUniqueBitmap FBitmap;
    TUniqueMemoryDC FDC;
    HGDIOBJ FOld = nullptr;
};

} // namespace

TImage CaptureMap(const THostState& state)
{
    TCanvas canvas(state.View.Width(), state.View.Height());
    RenderMap(canvas.DC(), state);
    return canvas.Image();
}

TImage CaptureWindow(HWND window)
{
    if (!::IsWindow(window))
        throw EHostError(kHostInvalidArg, "Окно для снимка не существует");
    RECT r;
    ::GetWindowRect(window, &r);
    HWND root = ::GetAncestor(window, GA_ROOT);
    ::SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::RedrawWindow(root, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::GdiFlush();
    TCanvas canvas(r.right - r.left, r.bottom - r.top);
    {
        const TWindowDC screen(nullptr);
        ::BitBlt(canvas.DC(), 0, 0, r.right - r.left, r.bottom - r.top, screen.get(), r.left, r.top, SRCCOPY);
    }
    TImage image = canvas.Image();
    bool blank = true;
    for (const std::uint32_t p : image.Pixels)
        if (p != image.Pixels.front()) {
            blank = false;
            break;
        }
    if (blank) {
        TCanvas printed(r.right - r.left, r.bottom - r.top);
        ::PrintWindow(window, printed.DC(), 0);
        image = printed.Image();
    }
    return image;
}

void SaveImage(const std::wstring& file, const TImage& image)
{
    const std::string bytes = EncodeImageFor(Narrow(file), image);
    FILE* out = _wfopen(file.c_str(), L"wb");
    const bool ok = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out && std::fclose(out) != 0)
        throw EHostError(static_cast<std::int32_t>(E_FAIL), "Не удалось записать " + Narrow(file));
    if (!ok)
        throw EHostError(static_cast<std::int32_t>(E_FAIL), "Не удалось записать " + Narrow(file));
}

} // namespace hostsim
