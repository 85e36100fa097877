// A grid with every data type and drop-down kind. With --screenshot FILE it saves the window as a
// BMP after the first paint and exits (the test run does that); otherwise it runs until closed.
#include "controls/SimpleGrids.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class TDemoForm : public TForm {
public:
    TDemoForm()
    {
        CreateForm("Сетка: типы и выпадающие редакторы", WS_OVERLAPPEDWINDOW, 0, 900, 250, nullptr);
        SetFormatSettings(SystemFormatSettings());
        Grid.CreateGrid(Handle(), 0, 0, 900, 250);
        Grid.SetRowHeader(grhState);
        Grid.SetOptionsEx(SgoBit(sgoReturnUseForMoveNext) | SgoBit(sgoCtr0UseForSetNull));
        struct TColumnDef {
            const char* Caption;
            TSimpleGridDataType Type;
            TSimpleGridDropDownType DropDown;
            bool Editable, Dialog;
            int Width;
        };
        const TColumnDef columnDefs[] = {
            {"Вариант", gdtNone, gddNone, true, false, 60},      {"Логическое", gdtBoolean, gddValueList, false, false, 80},
            {"Целое", gdtInteger, gddNone, true, false, 60},     {"Вещественное", gdtDouble, gddNone, true, false, 90},
            {"Денежное", gdtCurrency, gddNone, true, false, 70}, {"Дата и время", gdtDateTime, gddNone, true, false, 120},
            {"Дата", gdtDate, gddDatePicker, true, false, 90},   {"Время", gdtTime, gddNone, true, false, 60},
            {"Строка", gdtString, gddCustom, true, true, 90},    {"Текст", gdtMemo, gddMemoEditor, false, false, 90},
        };
        Grid.Columns().BeginUpdate();
        for (const auto& s : columnDefs) {
            TSimpleGridColumn& c = Grid.Columns().InsertColumn(-1);
            c.SetCaption(s.Caption);
            c.SetDataType(s.Type);
            c.SetDropDown(s.DropDown);
            c.SetTextEditable(s.Editable);
            c.SetCustomDialog(s.Dialog);
            c.SetWidth(s.Width);
            c.SetNullable(true);
        }
        Grid.Columns().Items(2).SetDropDown(gddValueList);
        Grid.Columns().Items(2).LookupList().Add(TGridValue::Integer(1), "один");
        Grid.Columns().Items(2).LookupList().Add(TGridValue::Integer(2), "два");
        Grid.Columns().EndUpdate();
        const double day = EncodeDate(2024, 5, 17);
        for (int r = 0; r < 6; ++r) {
            std::vector<TGridValue> row = {
                TGridValue::String("v" + std::to_string(r)),
                TGridValue::Boolean(r % 2 == 0),
                TGridValue::Integer(r * 7),
                TGridValue::Float(r * 3.14159),
                TGridValue::Currency({static_cast<long long>(r) * 12345}),
                TGridValue::DateTime(day + r + (r % 2 ? EncodeTime(9, 30, 15) : 0)),
                TGridValue::DateTime(day - r),
                TGridValue::DateTime(EncodeTime(r + 8, 5, 0)),
                TGridValue::String("строка " + std::to_string(r)),
                TGridValue::String("первая\rвторая"),
            };
            if (r == 3)
                for (auto& v : row)
                    v = TGridValue::Null();
            Rows.push_back(row);
        }
        Grid.OnGetDataValue = [this](TSimpleGrid&, int c, int r, TGridValue& v) { v = Rows[r][c]; };
        Grid.OnSetDataValue = [this](TSimpleGrid&, int c, int r, const TGridValue& v) { Rows[r][c] = v; };
        Grid.OnGetRowState = [](TSimpleGrid&, int r, TSimpleGridRowState& s) {
            s = r == 1 ? grsModified : r == 5 ? grsNew : grsNormal;
        };
        Grid.SetDataRowCount(static_cast<int>(Rows.size()));
        Grid.MoveToDataCell(3, 2);
        Grid.SyncCurrentCell();
    }
    TSimpleGrid Grid;
    std::vector<std::vector<TGridValue>> Rows;

protected:
    void OnResize(int w, int h) override
    {
        if (Grid.Handle())
            Grid.SetBounds(0, 0, w, h);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DESTROY)
            ::PostQuitMessage(0);
        return TForm::WindowProc(message, wParam, lParam);
    }
};

bool SaveWindowBitmap(HWND window, const wchar_t* path)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(h);
    bool ok = false;
    if (FILE* f = _wfopen(path, L"wb")) {
        ok = fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
             fwrite(bits, stride * static_cast<DWORD>(h), 1, f) == 1;
        fclose(f);
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&icc);
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const wchar_t* screenshot = argc >= 3 && wcscmp(argv[1], L"--screenshot") == 0 ? argv[2] : nullptr;
    try {
        TDemoForm form;
        ::ShowWindow(form.Handle(), SW_SHOW);
        ::SetForegroundWindow(form.Handle());
        form.Grid.SetFocus();
        ::UpdateWindow(form.Handle());
        if (screenshot) {
            const DWORD start = ::GetTickCount();
            while (::GetTickCount() - start < 1500) {
                TForm::ProcessMessages();
                ::Sleep(10);
            }
            return SaveWindowBitmap(form.Handle(), screenshot) ? 0 : 1;
        }
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    } catch (const std::exception& e) {
        ShowException(nullptr, e);
        return 1;
    }
    return 0;
}
