// The coordinate catalogue dialog as the user works in it: opened by its key and offered by the
// context menu, its settings typed and picked (the preview follows, the Host's settings keep
// them), "Копировать" putting Unicode text and "HTML Format", "Сохранить…" writing each file type
// through the system's file dialog, and a problem blocking both. The table never changes.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "hostsim/Clipboard.h"

#include <gmock/gmock.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

std::string WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class FormCatalogue : public FormInput {
protected:
    // The 40 m x 31.5 m parcel of 1260 m² (or the rows given), closed, in viewing mode.
    void OpenWith(const std::vector<TRow>& rows, bool closed = true)
    {
        Open(false);
        for (const TRow& r : rows)
            FTable->AddRow(FloatPoint(r[0], r[1]), r[2]);
        FTable->SetClosed(closed);
        PumpAll();
        ::SetForegroundWindow(FForm->Handle());
        FForm->SimpleGrid->SetFocus();
        PumpAll();
        FRowsBefore = Rows(*FTable);
    }
    static std::vector<TRow> Parcel()
    {
        return {{452300, 1385200, 0}, {452300, 1385240, 0}, {452268.5, 1385240, 0}, {452268.5, 1385200, 0}};
    }
    // Ctrl+K on the grid, then the loop until the dialog shows.
    TCatalogueDialog& OpenByKey()
    {
        Press('K', true);
        Pump(5000, [&] { return FForm->FCatalogueDialog && FForm->FCatalogueDialog->Visible(); });
        EXPECT_TRUE(FForm->FCatalogueDialog && FForm->FCatalogueDialog->Visible()) << "no dialog after Ctrl+K";
        return *FForm->FCatalogueDialog;
    }
    std::string Text(int id) { return WindowText(FForm->FCatalogueDialog->Control(id)); }
    std::string Cell(int row, int column)
    {
        wchar_t buffer[256] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = 256;
        ::SendMessageW(FForm->FCatalogueDialog->Control(TCatalogueDialog::idPreview), LVM_GETITEMTEXTW,
                       static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return Narrow(buffer);
    }
    int PreviewRows()
    {
        return static_cast<int>(::SendMessageW(FForm->FCatalogueDialog->Control(TCatalogueDialog::idPreview),
                                               LVM_GETITEMCOUNT, 0, 0));
    }
    std::vector<std::string> Problems()
    {
        const HWND box = FForm->FCatalogueDialog->Control(TCatalogueDialog::idProblems);
        std::vector<std::string> texts;
        const auto count = ::SendMessageW(box, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; ++i) {
            std::wstring text(static_cast<std::size_t>(::SendMessageW(box, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(::SendMessageW(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
            texts.push_back(Narrow(text));
        }
        return texts;
    }
    // A click into a control's middle, as the mouse gives it.
    void ClickControl(HWND control)
    {
        RECT r{};
        ::GetClientRect(control, &r);
        PostClick(control, r.right / 2, r.bottom / 2);
        PumpAll();
    }
    // Replaces an edit's text by typing: the caret to the end, backspaces, then the characters.
    void Retype(HWND edit, const std::wstring& text)
    {
        ::SetFocus(edit);
        PostKey(edit, VK_END);
        PostChars(edit, std::wstring(static_cast<std::size_t>(::GetWindowTextLengthW(edit)), L'\b') + text);
        PumpAll();
    }
    HWND ComboEdit()
    {
        return ::FindWindowExW(FForm->FCatalogueDialog->Control(TCatalogueDialog::idMt), nullptr, L"Edit", nullptr);
    }
    std::string Sep() const { return std::string(1, FForm->DecimalSeparator()); }
    // "Сохранить…" clicked, the file name typed into the system's file dialog and Enter pressed.
    void SaveAs(const std::wstring& path)
    {
        TInputScript script;
        script.Then([&] {
            const HWND focus = ::GetFocus();
            const HWND dialog = focus ? ::GetAncestor(focus, GA_ROOT) : nullptr;
            wchar_t cls[64] = {};
            if (!dialog || dialog == FForm->FCatalogueDialog->Handle() || !::GetClassNameW(focus, cls, 64) ||
                lstrcmpiW(cls, L"Edit") != 0)
                return false;
            PostChars(focus, std::wstring(static_cast<std::size_t>(::GetWindowTextLengthW(focus)), L'\b') + path);
            PostKey(focus, VK_RETURN);
            return true;
        });
        script.Start();
        ClickControl(FForm->FCatalogueDialog->Control(TCatalogueDialog::idSave));
        Pump(15000, [&] { return script.Done() && std::filesystem::exists(std::filesystem::path(path)); });
        PumpAll();
        ASSERT_TRUE(script.Done()) << "no file dialog";
    }
    std::wstring TempFolder()
    {
        wchar_t buffer[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, buffer);
        std::filesystem::path folder = std::filesystem::path(buffer) / "polypad-catalogue-test";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        return folder.wstring();
    }
    void TearDown() override
    {
        // The table is the same as before the dialog, whatever the dialog did.
        EXPECT_EQ(Rows(*FTable), FRowsBefore);
        FormInput::TearDown();
    }
    std::vector<TRow> FRowsBefore;
};

} // namespace

TEST_F(FormCatalogue, OpensByKeyAndFromTheContextMenuInViewingMode)
{
    OpenWith(Parcel());
    TPopupMenu& menu = FForm->TablePopupMenu;
    if (menu.OnPopup)
        menu.OnPopup(menu);
    const TUniqueMenu built = menu.Build();
    EXPECT_EQ(menu.Find(FForm->CatalogueAction->Id()), FForm->CatalogueAction);
    EXPECT_EQ(::GetMenuState(built.get(), static_cast<UINT>(FForm->CatalogueAction->Id()), MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_EQ(FForm->CatalogueAction->Caption(), "Каталог координат…");

    TCatalogueDialog& dialog = OpenByKey();
    EXPECT_EQ(WindowText(dialog.Handle()), "Каталог координат");
    EXPECT_FALSE(::IsWindowEnabled(FForm->Handle())) << "the table stays untouchable while the dialog is open";
    EXPECT_EQ(PreviewRows(), 5);
    EXPECT_EQ(Cell(0, 0), "н1");
    EXPECT_EQ(Cell(2, 1), "452268" + Sep() + "50");
    EXPECT_EQ(Cell(0, 4), "40" + Sep() + "00");
    EXPECT_EQ(Cell(0, 5), "90°00'00\"");
    EXPECT_EQ(Cell(4, 0), "н1");
    EXPECT_EQ(Cell(4, 4), "");
    EXPECT_EQ(Text(TCatalogueDialog::idArea), "P = 1\u00A0260 м², ΔP = ±12 м²");
    EXPECT_EQ(Text(TCatalogueDialog::idFormula), "ΔP = 3" + Sep() + "5 · 0" + Sep() + "10 · √1260 = 12");
    EXPECT_EQ(Problems(), std::vector<std::string>{"Замечаний нет"});

    ClickControl(dialog.Control(TCatalogueDialog::idClose));
    Pump(2000, [&] { return !FForm->FCatalogueDialog->HandleAllocated(); });
    EXPECT_FALSE(FForm->FCatalogueDialog->HandleAllocated());
    EXPECT_TRUE(::IsWindowEnabled(FForm->Handle()));
}

TEST_F(FormCatalogue, SettingsChangeThePreviewAndAreRemembered)
{
    OpenWith(Parcel());
    TCatalogueDialog& dialog = OpenByKey();
    Retype(dialog.Control(TCatalogueDialog::idPrefix), L"т");
    Retype(dialog.Control(TCatalogueDialog::idFirstNumber), L"20");
    EXPECT_EQ(Cell(0, 0), "т20");
    EXPECT_EQ(Cell(3, 0), "т23");
    EXPECT_EQ(Cell(4, 0), "т20");
    // Mt typed: 3.5 * 0.20 * sqrt(1260) = 24.85.
    Retype(ComboEdit(), L"0,2");
    EXPECT_EQ(Text(TCatalogueDialog::idFormula), "ΔP = 3" + Sep() + "5 · 0" + Sep() + "20 · √1260 = 25");
    EXPECT_EQ(Cell(1, 3), "0" + Sep() + "20");
    // The norms picked with the arrow key, from the first (0.10: 12.42) to the third (0.50: 62.12).
    PostKey(ComboEdit(), VK_DOWN);
    PumpAll();
    EXPECT_EQ(Text(TCatalogueDialog::idArea), "P = 1\u00A0260 м², ΔP = ±12 м²");
    PostKey(ComboEdit(), VK_DOWN);
    PostKey(ComboEdit(), VK_DOWN);
    PumpAll();
    EXPECT_EQ(WindowText(dialog.Control(TCatalogueDialog::idMt)), "0" + Sep() + "50");
    EXPECT_EQ(Text(TCatalogueDialog::idArea), "P = 1\u00A0260 м², ΔP = ±62 м²");
    // A value that does not read: its message instead of the catalogue, nothing to hand in.
    Retype(dialog.Control(TCatalogueDialog::idArcTolerance), L"0");
    EXPECT_THAT(Problems().at(0), StartsWith("Допуск дуги"));
    EXPECT_EQ(PreviewRows(), 0);
    EXPECT_FALSE(::IsWindowEnabled(dialog.Control(TCatalogueDialog::idCopy)));
    Retype(dialog.Control(TCatalogueDialog::idArcTolerance), L"0,05");
    EXPECT_EQ(PreviewRows(), 5);

    EXPECT_EQ(Setting(L"Kestrom.PolypadCataloguePrefix"), L"т");
    EXPECT_EQ(Setting(L"Kestrom.PolypadCatalogueFirstNumber"), L"20");
    EXPECT_EQ(Setting(L"Kestrom.PolypadCatalogueMt"), L"0.50");
    EXPECT_EQ(Setting(L"Kestrom.PolypadCatalogueArcTolerance"), L"0.05");
    // The next dialog starts from them.
    ClickControl(dialog.Control(TCatalogueDialog::idClose));
    PumpAll();
    TCatalogueDialog& again = OpenByKey();
    EXPECT_EQ(WindowText(again.Control(TCatalogueDialog::idMt)), "0" + Sep() + "50");
    EXPECT_EQ(Cell(1, 0), "т21");
}

TEST_F(FormCatalogue, TabMovesBetweenTheFieldsAndEscCloses)
{
    OpenWith(Parcel());
    TCatalogueDialog& dialog = OpenByKey();
    ::SetFocus(dialog.Control(TCatalogueDialog::idPrefix));
    Press(VK_TAB);
    EXPECT_EQ(::GetFocus(), dialog.Control(TCatalogueDialog::idFirstNumber));
    Press(VK_TAB);
    EXPECT_EQ(::GetParent(::GetFocus()), dialog.Control(TCatalogueDialog::idMt)) << "Mt's edit has the focus";
    Press(VK_TAB);
    EXPECT_EQ(::GetFocus(), dialog.Control(TCatalogueDialog::idArcTolerance));
    Press(VK_TAB, false, true);
    EXPECT_EQ(::GetParent(::GetFocus()), dialog.Control(TCatalogueDialog::idMt));
    // Typed after the Tabs, the fields took no tab characters.
    EXPECT_EQ(Text(TCatalogueDialog::idFirstNumber), "1");
    Press(VK_ESCAPE);
    Pump(2000, [&] { return !FForm->FCatalogueDialog->HandleAllocated(); });
    EXPECT_FALSE(FForm->FCatalogueDialog->HandleAllocated());
    EXPECT_EQ(::GetFocus(), FForm->SimpleGrid->Handle()) << "the grid has the keyboard again";
}

TEST_F(FormCatalogue, CopyPutsUnicodeTextAndHtmlFormat)
{
    OpenWith(Parcel());
    TCatalogueDialog& dialog = OpenByKey();
    ClickControl(dialog.Control(TCatalogueDialog::idCopy));
    const std::string text = Narrow(hostsim::ClipboardText(FForm->Handle()));
    EXPECT_THAT(text, StartsWith("Обозначение\tX, м\tY, м\tMt, м\tДлина, м\tДирекционный угол\n"
                                 "н1\t452300" + Sep() + "00\t1385200" + Sep() + "00\t0" + Sep() + "10\t40" + Sep() +
                                 "00\t90°00'00\"\n"));
    EXPECT_THAT(text, HasSubstr("Площадь P, м²\t1260\n"));

    ASSERT_TRUE(::OpenClipboard(FForm->Handle()));
    const HANDLE data = ::GetClipboardData(::RegisterClipboardFormatW(L"HTML Format"));
    std::string html;
    if (data) {
        const char* bytes = static_cast<const char*>(::GlobalLock(data));
        html.assign(bytes, ::strnlen(bytes, ::GlobalSize(data)));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    ASSERT_FALSE(html.empty()) << "no HTML Format on the clipboard";
    auto offset = [&](const std::string& name) {
        const std::size_t at = html.find(name + ":");
        EXPECT_NE(at, std::string::npos) << name;
        return at == std::string::npos ? std::size_t{0} : static_cast<std::size_t>(std::stoull(html.substr(at + name.size() + 1, 10)));
    };
    const std::size_t start = offset("StartFragment"), end = offset("EndFragment");
    ASSERT_LT(start, end);
    ASSERT_LE(end, html.size());
    const std::string fragment = html.substr(start, end - start);
    EXPECT_THAT(fragment, StartsWith("<table"));
    EXPECT_THAT(fragment, HasSubstr("<caption>Каталог координат</caption>"));
    EXPECT_THAT(fragment, HasSubstr("<tr><td>н3</td><td>452268" + Sep() + "50</td><td>1385240" + Sep() + "00</td>"));
    EXPECT_THAT(fragment, HasSubstr("P = 1\u00A0260 м², ΔP = ±12 м²"));
    EXPECT_EQ(fragment.substr(fragment.size() - 9), "</table>\n");
    EXPECT_EQ(html.substr(offset("StartHTML"), 6), "<html>");
    EXPECT_EQ(offset("EndHTML"), html.size());
}

TEST_F(FormCatalogue, SaveWritesEachType)
{
    OpenWith(Parcel());
    OpenByKey();
    const std::wstring folder = TempFolder();
    SaveAs(folder + L"\\каталог.txt");
    EXPECT_EQ(ReadFileBytes(folder + L"\\каталог.txt"),
              "point\tX\tY\tMt\n"
              "н1\t452300.00\t1385200.00\t0.10\n"
              "н2\t452300.00\t1385240.00\t0.10\n"
              "н3\t452268.50\t1385240.00\t0.10\n"
              "н4\t452268.50\t1385200.00\t0.10\n"
              "н1\t452300.00\t1385200.00\t0.10\n"
              "\n"
              "from\tto\tlength\tdirection\n"
              "н1\tн2\t40.00\t90°00'00\"\n"
              "н2\tн3\t31.50\t180°00'00\"\n"
              "н3\tн4\t40.00\t270°00'00\"\n"
              "н4\tн1\t31.50\t0°00'00\"\n"
              "\n"
              "area\t1260\n"
              "area_tolerance\t12\n"
              "area_formula\tΔP = 3.5 · 0.10 · √1260 = 12\n");
    SaveAs(folder + L"\\каталог.csv");
    const std::string csv = ReadFileBytes(folder + L"\\каталог.csv");
    EXPECT_THAT(csv, StartsWith("\xEF\xBB\xBFОбозначение;X, м;Y, м;Mt, м;Длина, м;Дирекционный угол\r\n"
                                "н1;452300,00;1385200,00;0,10;40,00;90°00'00\"\r\n"));
    SaveAs(folder + L"\\каталог.html");
    const std::string page = ReadFileBytes(folder + L"\\каталог.html");
    EXPECT_THAT(page, StartsWith("<!DOCTYPE html>"));
    EXPECT_THAT(page, HasSubstr("<caption>Каталог координат</caption>"));
    EXPECT_THAT(page, HasSubstr("ΔP = 3,5 · 0,10 · √1260 = 12"));
    EXPECT_THAT(page, HasSubstr("</html>"));
    // Nothing but the three files: no temporary left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 3);
    std::filesystem::remove_all(folder);
}

TEST_F(FormCatalogue, AProblemBlocksCopyAndSave)
{
    OpenWith({{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}});
    TCatalogueDialog& dialog = OpenByKey();
    EXPECT_EQ(Problems(), std::vector<std::string>{"Рёбра н1–н2 и н3–н4 пересекаются"});
    EXPECT_FALSE(::IsWindowEnabled(dialog.Control(TCatalogueDialog::idCopy)));
    EXPECT_FALSE(::IsWindowEnabled(dialog.Control(TCatalogueDialog::idSave)));
    hostsim::SetClipboardText(FForm->Handle(), L"before");
    // Clicks on the disabled buttons, as posted input reaches them anyway: a file dialog that
    // opened all the same would be cancelled here and counted.
    bool fileDialog = false;
    int looks = 0;
    TInputScript script;
    script.Then([&] {
        const HWND focus = ::GetFocus();
        const HWND root = focus ? ::GetAncestor(focus, GA_ROOT) : nullptr;
        if (root && root != dialog.Handle() && root != FForm->Handle()) {
            fileDialog = true;
            ::PostMessageW(root, WM_COMMAND, IDCANCEL, 0);
            return true;
        }
        return ++looks > 25;
    });
    script.Start();
    ClickControl(dialog.Control(TCatalogueDialog::idCopy));
    ClickControl(dialog.Control(TCatalogueDialog::idSave));
    Pump(5000, [&] { return script.Done(); });
    EXPECT_EQ(hostsim::ClipboardText(FForm->Handle()), L"before");
    EXPECT_FALSE(fileDialog);
}

TEST_F(FormCatalogue, AnOpenContourIsRefusedWithAWarning)
{
    OpenWith(Parcel(), false);
    const std::vector<std::string> texts = Answering({IDOK}, [&] { Press('K', true); });
    EXPECT_EQ(texts, std::vector<std::string>{"Каталог координат составляется для замкнутого контура: замкните контур"});
    EXPECT_FALSE(FForm->FCatalogueDialog);
}
