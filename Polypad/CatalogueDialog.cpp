#include "Polypad/CatalogueDialog.h"

#include "Polypad/AtomicFile.h"
#include "Polypad/CatalogueTexts.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/FormSettings.h"
#include "Polypad/OxClipboard.h"
#include "controls/DpiScale.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cwctype>

namespace {

const wchar_t* const kClassName = L"PolypadCatalogueDialog";

// The layout in 96-DPI units.
constexpr int kWidth = 600;
constexpr int kHeight = 470;
constexpr int kMargin = 10;
constexpr int kRowHeight = 23;

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TCatalogueFileType CatalogueFileTypeOf(std::wstring& fileName, int filterIndex)
{
    const std::wstring lower = Lower(fileName);
    if (EndsWith(lower, L".csv"))
        return TCatalogueFileType::Csv;
    if (EndsWith(lower, L".html") || EndsWith(lower, L".htm"))
        return TCatalogueFileType::Html;
    if (EndsWith(lower, L".txt"))
        return TCatalogueFileType::Text;
    const auto type = filterIndex == 2 ? TCatalogueFileType::Html
                      : filterIndex == 3 ? TCatalogueFileType::Text
                                         : TCatalogueFileType::Csv;
    fileName += type == TCatalogueFileType::Csv ? L".csv" : type == TCatalogueFileType::Html ? L".html" : L".txt";
    return type;
}

std::string CatalogueFileBytes(const TCoordinateCatalogue& catalogue, TCatalogueFileType type)
{
    switch (type) {
    case TCatalogueFileType::Csv: return CatalogueCsv(catalogue);
    case TCatalogueFileType::Html: return CatalogueHtmlPage(catalogue);
    default: return CatalogueExchangeText(catalogue);
    }
}

TCatalogueDialog::TCatalogueDialog(HWND owner, HWND disabled, std::vector<TVertexRecord> rows,
                                   std::unique_ptr<TSettingsStore> store, char decimalSeparator)
    : FDisabled(disabled), FRows(std::move(rows)), FStore(std::move(store)), FDecimalSeparator(decimalSeparator)
{
    FSettings = LoadCatalogueSettings(*FStore);
    FFocusBefore = ::GetFocus();
    INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&init);
    RegisterWindowClass(kClassName, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    const TDpiScale screen(ScreenDpi());
    const HWND root = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT frame{0, 0, screen.Scale(kWidth), screen.Scale(kHeight)};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    CreateHandle(kClassName, WS_EX_DLGMODALFRAME, style, Widen(kCatalogueCaption), area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height, root);
    CreateControls();
    Rebuild();
    if (FDisabled)
        ::EnableWindow(FDisabled, FALSE);
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::SetFocus(Control(idPreview));
}

TCatalogueDialog::~TCatalogueDialog()
{
    if (HandleAllocated()) {
        if (FDisabled && ::IsWindow(FDisabled))
            ::EnableWindow(FDisabled, TRUE);
        DestroyHandle();
    }
}

std::string TCatalogueDialog::ControlText(int id) const
{
    const HWND control = Control(id);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void TCatalogueDialog::CreateControls()
{
    const TDpiScale s(ScreenDpi());
    const HWND parent = Handle();
    auto make = [&](const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h, int id = 0,
                    DWORD exStyle = 0) {
        const HWND control = CheckWin32Handle(
            ::CreateWindowExW(exStyle, cls, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, s.Scale(x), s.Scale(y),
                              s.Scale(w), s.Scale(h), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              ModuleInstance(), nullptr),
            "CreateWindowEx");
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultGuiFont()), FALSE);
        return control;
    };
    const int labelY = kMargin + 4;
    const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
    make(L"STATIC", "Префикс:", 0, kMargin, labelY, 52, 16);
    make(L"EDIT", FSettings.PointPrefix, edit, 64, kMargin, 50, 21, idPrefix, WS_EX_CLIENTEDGE);
    make(L"STATIC", "Первый номер:", 0, 124, labelY, 80, 16);
    make(L"EDIT", std::to_string(FSettings.FirstNumber), edit, 206, kMargin, 60, 21, idFirstNumber, WS_EX_CLIENTEDGE);
    make(L"STATIC", "Mt, м:", 0, 276, labelY, 36, 16);
    const HWND mt = make(L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 314, kMargin, 70, 160,
                         idMt);
    for (const std::int32_t norm : kMtNorms)
        ::SendMessageW(mt, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(CentimetresText(norm, FDecimalSeparator)).c_str()));
    make(L"STATIC", "Допуск дуги, м:", 0, 394, labelY, 90, 16);
    make(L"EDIT", "", edit, 486, kMargin, 104, 21, idArcTolerance, WS_EX_CLIENTEDGE);
    FFilling = true;
    ::SetWindowTextW(mt, Widen(CentimetresText(FSettings.MtCm, FDecimalSeparator)).c_str());
    std::string tolerance = FormatGeneral(FSettings.ArcTolerance, FDecimalSeparator);
    ::SetWindowTextW(Control(idArcTolerance), Widen(tolerance).c_str());
    FFilling = false;

    const HWND list = make(WC_LISTVIEWW, "", WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL,
                           kMargin, 42, kWidth - 2 * kMargin, 250, idPreview);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const int widths[kCatalogueColumns] = {90, 100, 110, 50, 80, 130};
    for (int k = 0; k < kCatalogueColumns; ++k) {
        std::wstring caption = Widen(kCatalogueColumnCaptions[k]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = k == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.cx = s.Scale(widths[k]);
        column.pszText = caption.data();
        ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&column));
    }
    make(L"STATIC", "", SS_LEFT | SS_NOPREFIX, kMargin, 300, kWidth - 2 * kMargin, 16, idArea);
    make(L"STATIC", "", SS_LEFT | SS_NOPREFIX, kMargin, 318, kWidth - 2 * kMargin, 16, idFormula);
    make(L"LISTBOX", "", WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, kMargin, 340, kWidth - 2 * kMargin, 82,
         idProblems, WS_EX_CLIENTEDGE);
    const int buttonY = kHeight - kMargin - kRowHeight;
    make(L"BUTTON", "Копировать", WS_TABSTOP | BS_PUSHBUTTON, kWidth - 3 * (96 + 8) - kMargin + 8, buttonY, 96, kRowHeight, idCopy);
    make(L"BUTTON", "Сохранить…", WS_TABSTOP | BS_PUSHBUTTON, kWidth - 2 * (96 + 8) - kMargin + 8, buttonY, 96, kRowHeight, idSave);
    make(L"BUTTON", "Закрыть", WS_TABSTOP | BS_PUSHBUTTON, kWidth - (96 + 8) - kMargin + 8, buttonY, 96, kRowHeight, idClose);
    for (const int id : {idPrefix, idFirstNumber, idArcTolerance, idPreview, idProblems, idCopy, idSave, idClose})
        HandleDialogKeys(Control(id));
    if (const HWND comboEdit = ::FindWindowExW(mt, nullptr, L"Edit", nullptr))
        HandleDialogKeys(comboEdit);
    HandleDialogKeys(mt);
}

namespace {

// The controls' own procedures behind ControlKeyProc, by window; the user-interface thread's only.
std::vector<std::pair<HWND, WNDPROC>>& ControlProcs()
{
    static std::vector<std::pair<HWND, WNDPROC>> procs;
    return procs;
}

} // namespace

void TCatalogueDialog::HandleDialogKeys(HWND control)
{
    const auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TCatalogueDialog::ControlKeyProc)));
    ControlProcs().emplace_back(control, old);
}

LRESULT CALLBACK TCatalogueDialog::ControlKeyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& procs = ControlProcs();
    const auto it = std::find_if(procs.begin(), procs.end(), [&](const auto& p) { return p.first == control; });
    if (it == procs.end())
        return ::DefWindowProcW(control, message, wParam, lParam);
    const WNDPROC old = it->second;
    if (message == WM_NCDESTROY) {
        procs.erase(it);
        ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        return ::CallWindowProcW(old, control, message, wParam, lParam);
    }
    if (message != WM_KEYDOWN && message != WM_CHAR)
        return ::CallWindowProcW(old, control, message, wParam, lParam);
    const HWND root = ::GetAncestor(control, GA_ROOT);
    // The controls of the dialog itself (the combo box's edit counts as the combo box).
    const HWND item = ::GetParent(control) == root ? control : ::GetParent(control);
    wchar_t className[16] = {};
    ::GetClassNameW(control, className, 16);
    const bool button = ::lstrcmpiW(className, L"Button") == 0;
    const bool droppedCombo = item != control && ::SendMessageW(item, CB_GETDROPPEDSTATE, 0, 0) != 0;
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            ::SetFocus(::GetNextDlgTabItem(root, item, ::GetKeyState(VK_SHIFT) < 0));
            return 0;
        }
        if (wParam == VK_ESCAPE && !droppedCombo) {
            ::PostMessageW(root, WM_CLOSE, 0, 0);
            return 0;
        }
        if (wParam == VK_RETURN && button) {
            ::PostMessageW(root, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                           reinterpret_cast<LPARAM>(control));
            return 0;
        }
        break;
    case WM_CHAR:
        // Their characters would only beep in an edit.
        if (wParam == L'\t' || wParam == 27 || (wParam == L'\r' && !droppedCombo))
            return 0;
        break;
    default: break;
    }
    return ::CallWindowProcW(old, control, message, wParam, lParam);
}

// Reads the four settings; when they all read, the catalogue is made anew from the rows, the
// settings written to the Host, and the preview refreshed.
void TCatalogueDialog::Rebuild()
{
    std::vector<std::string> problems;
    TCatalogueSettings settings;
    bool readable = true;
    auto read = [&](auto parse) {
        try {
            parse();
        } catch (const EConvertError& e) {
            problems.push_back(e.what());
            readable = false;
        }
    };
    read([&] { settings.PointPrefix = CheckPointPrefix(ControlText(idPrefix)); });
    read([&] { settings.FirstNumber = ParseFirstNumber(ControlText(idFirstNumber)); });
    read([&] { settings.MtCm = ParseMtCm(ControlText(idMt)); });
    read([&] { settings.ArcTolerance = ParseArcTolerance(ControlText(idArcTolerance)); });
    FCatalogue.reset();
    if (readable) {
        try {
            FCatalogue = std::make_unique<TCoordinateCatalogue>(FRows, true, settings);
            for (const TCatalogueProblem& p : FCatalogue->Problems())
                problems.push_back(p.Text);
        } catch (const ECatalogueRefused& e) {
            problems.push_back(e.what());
        }
        if (!(settings == FSettings)) {
            FSettings = settings;
            SaveCatalogueSettings(*FStore, FSettings);
        }
    }
    const HWND list = Control(idPreview);
    ::SendMessageW(list, LVM_SETITEMCOUNT, FCatalogue ? static_cast<WPARAM>(CatalogueRowCount(*FCatalogue)) : 0,
                   LVSICF_NOSCROLL);
    ::InvalidateRect(list, nullptr, FALSE);
    ::SetWindowTextW(Control(idArea), FCatalogue ? Widen(CatalogueAreaLine(*FCatalogue)).c_str() : L"");
    ::SetWindowTextW(Control(idFormula), FCatalogue ? Widen(CatalogueFormula(*FCatalogue, FDecimalSeparator)).c_str() : L"");
    const HWND box = Control(idProblems);
    ::SendMessageW(box, LB_RESETCONTENT, 0, 0);
    if (problems.empty())
        problems.push_back(kCatalogueValidText);
    for (const std::string& text : problems)
        ::SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
    const bool deliverable = FCatalogue && FCatalogue->Valid();
    ::EnableWindow(Control(idCopy), deliverable);
    ::EnableWindow(Control(idSave), deliverable);
}

void TCatalogueDialog::Copy()
{
    if (!FCatalogue || !FCatalogue->Valid())
        return;
    const std::string html = HtmlClipboardData(CatalogueHtmlTable(*FCatalogue, FDecimalSeparator));
    const UINT format = ::RegisterClipboardFormatW(L"HTML Format");
    CheckWin32(format != 0, "RegisterClipboardFormat");
    TOxClipboard clipboard(Handle());
    clipboard.SetTextAndData(Widen(CatalogueTabText(*FCatalogue, FDecimalSeparator)), format,
                             std::vector<std::uint8_t>(html.begin(), html.end()));
}

void TCatalogueDialog::Save()
{
    if (!FCatalogue || !FCatalogue->Valid())
        return;
    std::wstring name(32768, L'\0');
    const wchar_t filter[] = L"Таблица CSV (*.csv)\0*.csv\0Страница HTML (*.html)\0*.html\0Текст (*.txt)\0*.txt\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Handle();
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrTitle = L"Сохранить каталог координат";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const HWND self = Handle();
    const BOOL chosen = ::GetSaveFileNameW(&ofn);
    // The file dialog runs its own loop; the window may have gone meanwhile.
    if (!chosen || !::IsWindow(self) || !FCatalogue)
        return;
    name.resize(std::wcslen(name.c_str()));
    const TCatalogueFileType type = CatalogueFileTypeOf(name, static_cast<int>(ofn.nFilterIndex));
    WriteFileAtomically(std::filesystem::path(name), CatalogueFileBytes(*FCatalogue, type));
}

void TCatalogueDialog::Close()
{
    // The owner takes the activation back before the dialog goes, the control that had the
    // keyboard (the grid) the focus after.
    if (FDisabled && ::IsWindow(FDisabled))
        ::EnableWindow(FDisabled, TRUE);
    FCatalogue.reset();
    const HWND focus = FFocusBefore;
    DestroyHandle();
    if (focus && ::IsWindow(focus) && ::IsWindowEnabled(focus)) {
        ::SetForegroundWindow(::GetAncestor(focus, GA_ROOT));
        ::SetFocus(focus);
    }
}

void TCatalogueDialog::OnCommand(int id, int code)
{
    switch (id) {
    case idPrefix:
    case idFirstNumber:
    case idArcTolerance:
        if (code == EN_CHANGE && !FFilling)
            Rebuild();
        break;
    case idMt:
        if (code == CBN_EDITCHANGE && !FFilling) {
            Rebuild();
        } else if (code == CBN_SELCHANGE) {
            // The edit shows the picked norm only after this notification.
            const HWND combo = Control(idMt);
            const auto index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
            if (index >= 0) {
                FFilling = true;
                ::SetWindowTextW(combo, Widen(CentimetresText(kMtNorms[index], FDecimalSeparator)).c_str());
                FFilling = false;
                Rebuild();
            }
        }
        break;
    case idCopy:
        if (code == BN_CLICKED)
            Copy();
        break;
    case idSave:
        if (code == BN_CLICKED)
            Save();
        break;
    case idClose:
    case IDCANCEL:
        if (code == BN_CLICKED)
            Close();
        break;
    default: break;
    }
}

LRESULT TCatalogueDialog::OnNotify(const NMHDR& header)
{
    if (header.idFrom == static_cast<UINT_PTR>(idPreview) && header.code == LVN_GETDISPINFOW && FCatalogue) {
        // Only the rows on screen are asked for.
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const std::wstring text = Widen(CatalogueCell(*FCatalogue, item.iItem, item.iSubItem, FDecimalSeparator));
            ::lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
        }
    }
    return 0;
}

LRESULT TCatalogueDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE:
        Close();
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        ::SendMessageW(Control(idPreview), message, wParam, lParam);
        break;
    default: break;
    }
    return TWindow::WindowProc(message, wParam, lParam);
}
