#include "Polypad/TraverseDialog.h"

#include "CoreLib/Errors.h"
#include "Polypad/Courses.h"
#include "Polypad/ExchangeText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kClientWidth = 720;
constexpr int kClientHeight = 600;
constexpr int kSheetDigits = 3; // millimetres, as the sheet is written by hand
constexpr int kFirstControlId = 100;

constexpr const char* kCaption = "Ход по углам";

int ControlId(TTraverseControl control) { return kFirstControlId + static_cast<int>(control); }

const char* const kRuleCaptions[] = {"По длинам сторон (правило компаса)", "По приращениям (правило транзита)",
                                     "Метод наименьших квадратов"};

std::string WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return Narrow(text);
}

std::string NumberText(double value, char decimalSeparator)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text = buffer;
    for (char& c : text)
        if (c == '.')
            c = decimalSeparator;
    return text;
}

// A limit field: a number with either separator; nothing when it does not read.
std::optional<double> ReadNumber(std::string text)
{
    for (char& c : text)
        if (c == ',')
            c = '.';
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string CrLf(const std::string& text)
{
    std::string result;
    for (const char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

// The sheet's figures (fβ, fx fy f, f/Σd, σ0), as the sheet's text writes them, over-limit marks
// included, one per line.
std::string FiguresOf(const std::string& sheetText)
{
    std::string figures;
    std::size_t at = 0;
    while (at < sheetText.size()) {
        std::size_t end = sheetText.find('\n', at);
        if (end == std::string::npos)
            end = sheetText.size();
        std::string line = sheetText.substr(at, end - at);
        at = end + 1;
        if (line.rfind("fβ\t", 0) != 0 && line.rfind("fx\t", 0) != 0 && line.rfind("f/Σd\t", 0) != 0 &&
            line.rfind("σ0\t", 0) != 0)
            continue;
        std::string shown;
        for (const char c : line)
            shown += c == '\t' ? std::string("  ") : std::string(1, c);
        figures += shown + "\r\n";
    }
    return figures;
}

// The dialog's own fields have no dialog manager behind them (the Host's message loop is not
// ours): Tab and Shift+Tab move to the next field as in a dialog box, Esc closes the dialog.
LRESULT CALLBACK FieldKeysProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR)
{
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            const HWND dialog = ::GetParent(window);
            if (const HWND next = ::GetNextDlgTabItem(dialog, window, ::GetKeyState(VK_SHIFT) < 0)) {
                ::SetFocus(next);
                if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                    ::SendMessageW(next, EM_SETSEL, 0, -1);
            }
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            ::PostMessageW(::GetParent(window), WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\t' || wParam == 27)
            return 0; // handled on key down; no beep
        break;
    case WM_NCDESTROY: ::RemoveWindowSubclass(window, FieldKeysProc, id); break;
    default: break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

// The grid of stations: the character that Ctrl+V makes after a paste of stations is swallowed,
// or the cell's editor would paste the same lines into the cell.
class TTraverseDialog::TStationGrid : public TSimpleGrid {
public:
    bool SwallowPasteChar = false;
    void KeyPress(wchar_t& ch) override
    {
        if (SwallowPasteChar && ch == 0x16) {
            SwallowPasteChar = false;
            ch = 0;
            return;
        }
        SwallowPasteChar = false;
        TSimpleGrid::KeyPress(ch);
    }
};

TTraverseDialog::TTraverseDialog(HWND owner, TOxClipboard& clipboard, char decimalSeparator,
                                 TSettingsFactory settings)
    : FClipboard(clipboard), FDecimalSeparator(decimalSeparator), FSettings(std::move(settings)),
      FScreen(ScreenDpi())
{
    CreateForm(kCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
               FScreen.Scale(kClientWidth), FScreen.Scale(kClientHeight), owner);
    CreateControls();
}

TTraverseDialog::~TTraverseDialog()
{
    FGrid.reset();
    DestroyHandle();
}

HWND TTraverseDialog::AddControl(const wchar_t* className, const std::string& text, DWORD style, int x, int y,
                                 int width, int height, TTraverseControl id)
{
    const DWORD exStyle = std::wstring(className) == L"EDIT" ? WS_EX_CLIENTEDGE : 0;
    HWND control = ::CreateWindowExW(exStyle, className, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                     FScreen.Scale(x), FScreen.Scale(y), FScreen.Scale(width), FScreen.Scale(height),
                                     Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(id))),
                                     ModuleInstance(), nullptr);
    if (!control)
        RaiseLastWin32Error("CreateWindowExW");
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    if (style & WS_TABSTOP)
        ::SetWindowSubclass(control, FieldKeysProc, 1, 0);
    FControls[static_cast<std::size_t>(id)] = control;
    return control;
}

void TTraverseDialog::AddLabel(const std::string& text, int x, int y, int width)
{
    HWND label = ::CreateWindowExW(0, L"STATIC", Widen(text).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT,
                                   FScreen.Scale(x), FScreen.Scale(y + 3), FScreen.Scale(width), FScreen.Scale(16),
                                   Handle(), nullptr, ModuleInstance(), nullptr);
    if (!label)
        RaiseLastWin32Error("CreateWindowExW");
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    if (text.rfind("Дирекционный угол", 0) == 0 && !FStartDirectionLabel)
        FStartDirectionLabel = label;
}

void TTraverseDialog::CreateControls()
{
    const DWORD list = CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL;
    const DWORD edit = ES_AUTOHSCROLL | WS_TABSTOP;
    using C = TTraverseControl;

    AddLabel("Вид хода:", 10, 10, 60);
    HWND kind = AddControl(L"COMBOBOX", "", list, 70, 10, 150, 120, C::Kind);
    for (const char* item : {"Замкнутый", "Между пунктами"})
        ::SendMessageW(kind, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    AddLabel("Углы:", 235, 10, 40);
    HWND angles = AddControl(L"COMBOBOX", "", list, 275, 10, 100, 120, C::Angles);
    for (const char* item : {"Правые", "Левые"})
        ::SendMessageW(angles, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    AddLabel("Уравнивание:", 390, 10, 80);
    HWND rule = AddControl(L"COMBOBOX", "", list, 470, 10, 240, 120, C::Rule);
    for (const char* item : kRuleCaptions)
        ::SendMessageW(rule, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));

    AddLabel("Дирекционный угол первой стороны:", 10, 40, 215);
    AddControl(L"EDIT", "", edit, 225, 40, 110, 22, C::StartDirection);
    AddLabel("Начальный пункт  X:", 350, 40, 115);
    AddControl(L"EDIT", "", edit, 465, 40, 110, 22, C::StartX);
    AddLabel("Y:", 585, 40, 15);
    AddControl(L"EDIT", "", edit, 600, 40, 110, 22, C::StartY);

    AddLabel("Дир. угол конечной стороны:", 10, 68, 215);
    AddControl(L"EDIT", "", edit, 225, 68, 110, 22, C::EndDirection);
    AddLabel("Конечный пункт  X:", 350, 68, 115);
    AddControl(L"EDIT", "", edit, 465, 68, 110, 22, C::EndX);
    AddLabel("Y:", 585, 68, 15);
    AddControl(L"EDIT", "", edit, 600, 68, 110, 22, C::EndY);

    AddLabel("Допуск fβ, \" на √n:", 10, 100, 110);
    AddControl(L"EDIT", "", edit, 120, 100, 50, 22, C::AngleLimit);
    AddLabel("Допуск 1:", 185, 100, 55);
    AddControl(L"EDIT", "", edit, 240, 100, 60, 22, C::RelativeLimit);
    AddLabel("МНК: σβ, \":", 315, 100, 70);
    AddControl(L"EDIT", "", edit, 385, 100, 40, 22, C::SigmaAngle);
    AddLabel("σd, мм:", 435, 100, 45);
    AddControl(L"EDIT", "", edit, 480, 100, 40, 22, C::SigmaLengthMm);
    AddLabel("+ мм/км:", 530, 100, 50);
    AddControl(L"EDIT", "", edit, 580, 100, 40, 22, C::SigmaLengthPpm);

    AddControl(L"BUTTON", "Применять и при невязках больше допустимых", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 128, 400,
               20, C::Force);

    FGrid = std::make_unique<TStationGrid>();
    FGrid->CreateGrid(Handle(), FScreen.Scale(10), FScreen.Scale(154), FScreen.Scale(300), FScreen.Scale(196));
    FGrid->SetRowsFitFont(true);
    FGrid->SetRowHeader(grhNumber);
    TSimpleGridColumns& columns = FGrid->Columns();
    columns.BeginUpdate();
    for (const char* caption : {"Угол", "Длина"}) {
        TSimpleGridColumn& column = columns.Add();
        column.SetCaption(caption);
        column.SetWidth(FScreen.Scale(120));
        column.SetDataType(gdtString);
        column.SetTextEditable(true);
    }
    columns.EndUpdate();
    FGrid->SetDataRowCount(1);
    FGrid->OnGetDataValue = [this](TSimpleGrid&, int col, int row, TGridValue& value) {
        const std::size_t r = static_cast<std::size_t>(row);
        value = r < FRows.size() ? TGridValue::String(FRows[r][static_cast<std::size_t>(col)]) : TGridValue::String("");
    };
    FGrid->OnSetDataValue = [this](TSimpleGrid&, int col, int row, const TGridValue& value) {
        const std::size_t r = static_cast<std::size_t>(row);
        if (r >= FRows.size())
            FRows.resize(r + 1);
        FRows[r][static_cast<std::size_t>(col)] = value.IsEmptyOrNull() ? std::string() : value.AsText();
        if (FGrid->DataRowCount() != static_cast<int>(FRows.size()) + 1)
            FGrid->SetDataRowCount(static_cast<int>(FRows.size()) + 1);
        Recompute();
    };
    FGrid->OnKeyDown = [this](TCellGrid&, UINT& key, TShiftState shift) { GridKeyDown(key, shift); };

    AddControl(L"STATIC", "", SS_LEFT, 325, 154, 385, 196, C::Figures);
    AddControl(L"EDIT", "",
               ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, 10,
               358, 700, 200, C::Sheet);
    FSheetFont.reset(::CreateFontW(-FScreen.Scale(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   FIXED_PITCH | FF_MODERN, L"Courier New"));
    if (FSheetFont)
        ::SendMessageW(Control(C::Sheet), WM_SETFONT, reinterpret_cast<WPARAM>(FSheetFont.get()), FALSE);
    const int tabStop = 48; // dialog units: a column of the sheet
    ::SendMessageW(Control(C::Sheet), EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));

    AddControl(L"BUTTON", "Копировать ведомость", BS_PUSHBUTTON | WS_TABSTOP, 10, 568, 160, 24, C::Copy);
    AddControl(L"BUTTON", "Применить", BS_DEFPUSHBUTTON | WS_TABSTOP, 520, 568, 90, 24, C::Apply);
    AddControl(L"BUTTON", "Закрыть", BS_PUSHBUTTON | WS_TABSTOP, 620, 568, 90, 24, C::Close);
    LoadSettings();
}

TSimpleGrid& TTraverseDialog::Stations() { return *FGrid; }

HWND TTraverseDialog::Control(TTraverseControl control) const { return FControls[static_cast<std::size_t>(control)]; }

std::string TTraverseDialog::FieldText(TTraverseControl control) const { return WindowText(Control(control)); }

void TTraverseDialog::Open()
{
    LoadSettings();
    Show();
    ::SetForegroundWindow(Handle());
    FGrid->SetFocus();
}

void TTraverseDialog::LoadSettings()
{
    std::unique_ptr<TSettingsStore> store = FSettings();
    const TTraverseDialogSettings s = LoadTraverseDialogSettings(*store);
    using C = TTraverseControl;
    FLoading = true;
    ::SendMessageW(Control(C::Kind), CB_SETCURSEL, s.Kind == TTraverseKind::Connecting ? 1 : 0, 0);
    ::SendMessageW(Control(C::Angles), CB_SETCURSEL, s.Angles == TTraverseAngles::Left ? 1 : 0, 0);
    ::SendMessageW(Control(C::Rule), CB_SETCURSEL, static_cast<WPARAM>(s.Settings.Rule), 0);
    auto put = [&](C control, double value) {
        ::SetWindowTextW(Control(control), Widen(NumberText(value, FDecimalSeparator)).c_str());
    };
    put(C::AngleLimit, s.Settings.AngleLimitSeconds);
    put(C::RelativeLimit, s.Settings.RelativeLimitN);
    put(C::SigmaAngle, s.Settings.SigmaAngleSeconds);
    put(C::SigmaLengthMm, s.Settings.SigmaLengthMm);
    put(C::SigmaLengthPpm, s.Settings.SigmaLengthPpm);
    FLoading = false;
    KindChanged();
}

TTraverseDialogSettings TTraverseDialog::SettingsFromControls() const
{
    using C = TTraverseControl;
    TTraverseDialogSettings s;
    s.Kind = ::SendMessageW(Control(C::Kind), CB_GETCURSEL, 0, 0) == 1 ? TTraverseKind::Connecting
                                                                      : TTraverseKind::Closed;
    s.Angles = ::SendMessageW(Control(C::Angles), CB_GETCURSEL, 0, 0) == 1 ? TTraverseAngles::Left
                                                                           : TTraverseAngles::Right;
    const LRESULT rule = ::SendMessageW(Control(C::Rule), CB_GETCURSEL, 0, 0);
    s.Settings.Rule = rule == 1 ? TTraverseRule::Transit : rule == 2 ? TTraverseRule::LeastSquares : TTraverseRule::Compass;
    auto read = [&](C control, double& target) {
        if (const std::optional<double> value = ReadNumber(FieldText(control)))
            target = *value;
        else
            throw ETraverseError("Не читается число в поле допусков: «" + FieldText(control) + "»");
    };
    read(C::AngleLimit, s.Settings.AngleLimitSeconds);
    read(C::RelativeLimit, s.Settings.RelativeLimitN);
    read(C::SigmaAngle, s.Settings.SigmaAngleSeconds);
    read(C::SigmaLengthMm, s.Settings.SigmaLengthMm);
    read(C::SigmaLengthPpm, s.Settings.SigmaLengthPpm);
    return s;
}

void TTraverseDialog::SaveSettings()
{
    TTraverseDialogSettings s;
    try {
        s = SettingsFromControls();
    } catch (const ETraverseError&) {
        return; // a limit that does not read is not remembered
    }
    std::unique_ptr<TSettingsStore> store = FSettings();
    SaveTraverseDialogSettings(*store, s);
}

void TTraverseDialog::KindChanged()
{
    using C = TTraverseControl;
    const bool connecting = ::SendMessageW(Control(C::Kind), CB_GETCURSEL, 0, 0) == 1;
    for (const C control : {C::EndX, C::EndY, C::EndDirection})
        ::EnableWindow(Control(control), connecting);
    if (FStartDirectionLabel)
        ::SetWindowTextW(FStartDirectionLabel, Widen(connecting ? "Дирекционный угол исходной стороны:"
                                                                : "Дирекционный угол первой стороны:")
                                                   .c_str());
    const bool leastSquares = ::SendMessageW(Control(C::Rule), CB_GETCURSEL, 0, 0) == 2;
    for (const C control : {C::SigmaAngle, C::SigmaLengthMm, C::SigmaLengthPpm})
        ::EnableWindow(Control(control), leastSquares);
    Recompute();
}

void TTraverseDialog::Recompute()
{
    if (FLoading)
        return;
    using C = TTraverseControl;
    std::string problem;
    try {
        const TTraverseDialogSettings s = SettingsFromControls();
        TTraverseEntry entry;
        entry.Kind = s.Kind;
        entry.Angles = s.Angles;
        entry.StartX = FieldText(C::StartX);
        entry.StartY = FieldText(C::StartY);
        entry.StartDirection = FieldText(C::StartDirection);
        entry.EndX = FieldText(C::EndX);
        entry.EndY = FieldText(C::EndY);
        entry.EndDirection = FieldText(C::EndDirection);
        entry.Stations = FRows;
        FSheet = ComputeTraverse(ReadTraverseEntry(entry, FDecimalSeparator), s.Settings);
    } catch (const ETraverseError& e) {
        FSheet.reset();
        problem = e.what();
    } catch (const ECourseError& e) {
        FSheet.reset();
        problem = e.what();
    }
    if (FSheet) {
        const std::string text = FormatTraverseSheet(*FSheet, kSheetDigits, FDecimalSeparator);
        FOverLimit = FSheet->AngularOverLimit() || FSheet->RelativeOverLimit();
        ::SetWindowTextW(Control(C::Sheet), Widen(CrLf(text)).c_str());
        ::SetWindowTextW(Control(C::Figures), Widen(FiguresOf(text)).c_str());
    } else {
        FOverLimit = false;
        ::SetWindowTextW(Control(C::Sheet), L"");
        ::SetWindowTextW(Control(C::Figures), Widen(problem).c_str());
    }
    ::InvalidateRect(Control(C::Figures), nullptr, TRUE);
    ::EnableWindow(Control(C::Apply), FSheet.has_value());
    ::EnableWindow(Control(C::Copy), FSheet.has_value());
}

void TTraverseDialog::GridKeyDown(UINT& key, TShiftState shift)
{
    const bool paste = (key == 'V' && shift.Ctrl && !shift.Alt) || (key == VK_INSERT && shift.Shift && !shift.Ctrl);
    if (!paste)
        return;
    const std::string text = Narrow(FClipboard.GetText());
    // One value goes into the cell as any text does; lines of stations fill the rows.
    if (text.find('\t') == std::string::npos && text.find('\n') == std::string::npos)
        return;
    key = 0;
    FGrid->SwallowPasteChar = true;
    PasteStations(text);
}

void TTraverseDialog::PasteStations(const std::string& text)
{
    try {
        ReadTraverseStations(text, FDecimalSeparator);
    } catch (const ECourseError& e) {
        MessageBoxOwned(Handle(), e.what(), kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    if (!::IsWindow(Handle()))
        return;
    FGrid->SetEditorMode(false);
    // The lines go into the rows from the current one on, as a spreadsheet pastes.
    std::size_t row = static_cast<std::size_t>(std::max(FGrid->DataRow(), 0));
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        const std::size_t tab = line.find('\t');
        if (row >= FRows.size())
            FRows.resize(row + 1);
        FRows[row] = {line.substr(0, tab), tab == std::string::npos ? std::string() : line.substr(tab + 1)};
        ++row;
    }
    FGrid->SetDataRowCount(static_cast<int>(FRows.size()) + 1);
    FGrid->InvalidateData(-1, -1);
    FGrid->MoveToDataCell(0, static_cast<int>(row));
    Recompute();
}

void TTraverseDialog::CopySheet()
{
    if (!FSheet)
        return;
    const std::string text = FormatTraverseSheet(*FSheet, kSheetDigits, FDecimalSeparator);
    const std::string html = HtmlClipboardData(FormatTraverseSheetHtml(*FSheet, kSheetDigits, FDecimalSeparator));
    std::vector<std::uint8_t> bytes(html.begin(), html.end());
    bytes.push_back(0);
    const UINT format = ::RegisterClipboardFormatW(L"HTML Format");
    if (!format)
        RaiseLastWin32Error("RegisterClipboardFormatW");
    FClipboard.SetTextAndData(Widen(CrLf(text)), format, bytes);
}

void TTraverseDialog::ApplySheet()
{
    if (!FSheet)
        return;
    const bool force = ::SendMessageW(Control(TTraverseControl::Force), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (!force) {
        try {
            RefuseOverLimits(*FSheet);
        } catch (const ETraverseRefused& e) {
            MessageBoxOwned(Handle(), std::string(e.what()) + "\n\nПроверьте измерения или отметьте «" +
                                          "Применять и при невязках больше допустимых».",
                            kCaption, MB_OK | MB_ICONWARNING);
            return;
        }
    }
    SaveSettings();
    if (OnApply) {
        const TTraverseSheet sheet = *FSheet; // the owner may recompute nothing, but keep it whole
        OnApply(sheet);
    }
}

void TTraverseDialog::OnCommand(int id, int code)
{
    using C = TTraverseControl;
    const auto control = static_cast<C>(id - kFirstControlId);
    if (id < kFirstControlId || id > ControlId(C::Close))
        return;
    switch (control) {
    case C::Kind:
    case C::Rule:
        if (code == CBN_SELCHANGE)
            KindChanged();
        break;
    case C::Angles:
        if (code == CBN_SELCHANGE)
            Recompute();
        break;
    case C::Force: break;
    case C::Copy:
        if (code == BN_CLICKED)
            CopySheet();
        break;
    case C::Apply:
        if (code == BN_CLICKED)
            ApplySheet();
        break;
    case C::Close:
        if (code == BN_CLICKED)
            ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
        break;
    default:
        if (code == EN_CHANGE)
            Recompute();
        break;
    }
}

bool TTraverseDialog::OnCloseQuery()
{
    SaveSettings();
    Show(false);
    return false;
}

LRESULT TTraverseDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam && !TWindow::FromHandle(reinterpret_cast<HWND>(lParam))) {
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        // The figures over their limits in red, as the sheet marks them in words.
        if (reinterpret_cast<HWND>(lParam) == Control(TTraverseControl::Figures) && FOverLimit) {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, RGB(192, 0, 0));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    default: break;
    }
    return TExForm::WindowProc(message, wParam, lParam);
}
