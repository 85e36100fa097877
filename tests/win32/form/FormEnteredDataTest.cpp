// What the user entered is neither lost nor misread where the data comes from outside: an
// object of the Host with values that are not numbers is refused at the fill and the table kept,
// nothing infinite is handed to the Host, a damaged exact copy gives way to the text beside it,
// pasted and typed numbers are read whatever the C runtime's locale and refused beyond a double's
// range, a bad field is quoted in a short piece, and the summary goes to the clipboard as Unicode
// text, from which the system makes the 8-bit text.
#include "FormTestSupport.h"

#include "GridTestSupport.h"
#include "Polypad/ExactCopy.h"
#include "hostsim/Clipboard.h"

#include <gmock/gmock.h>

#include "tests/win32/support/ProcessFiles.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

using ::testing::HasSubstr;

namespace {

class FormEnteredData : public FormInput {
protected:
    void Click(TAction& action)
    {
        ::SendMessageW(FForm->Handle(), WM_COMMAND, MAKEWPARAM(action.Id(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(FForm->ToolBar->Handle()));
        PumpAll();
    }
    // The damaged project in the running Host, the window open in editing mode on object 5.
    TPolypadForm& OpenDamagedProject()
    {
        EXPECT_EQ(hostsim::OpenProject(FHost.get(), processfiles::OwnCopy(POLYPAD_DAMAGED_PROJECT).c_str()), S_OK);
        TPolypadForm& form = Open(true);
        Select(5);
        Click(*form.FillTableFromMapObjectAction);
        return form;
    }
    void PutOnClipboard(const std::vector<std::pair<UINT, std::vector<std::uint8_t>>>& blocks)
    {
        ASSERT_TRUE(::OpenClipboard(FForm->Handle()));
        ::EmptyClipboard();
        for (const auto& [format, bytes] : blocks) {
            HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
            std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
            ::GlobalUnlock(memory);
            ::SetClipboardData(format, memory);
        }
        ::CloseClipboard();
    }
    std::string HintPanel() const { return FForm->MainStatusBar->PanelText(0); }
};

std::vector<std::uint8_t> WideBytes(const std::wstring& text)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.c_str());
    return std::vector<std::uint8_t>(p, p + (text.size() + 1) * sizeof(wchar_t));
}

} // namespace

// The fill by the command and by the map's selection refuses an object with a NaN coordinate or
// an infinite convexity, names the vertex and keeps the rows; the user's rows stay updatable.
TEST_F(FormEnteredData, AShapeWithValuesThatAreNotNumbersIsRefusedAtTheFill)
{
    TPolypadForm& form = OpenDamagedProject();
    const std::vector<TRow> parcel = {{452300, 1385200, 0}, {452300, 1385240, 0}, {452270, 1385240, 0}};
    ASSERT_EQ(Rows(*FTable), parcel);

    Select(7);
    std::vector<std::string> texts = Answering({IDOK}, [&] { Click(*form.FillTableFromMapObjectAction); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Вершина 4 выделенного объекта содержит недопустимое значение (Y). Таблица не изменена");
    EXPECT_EQ(Rows(*FTable), parcel);

    Select(8);
    texts = Answering({IDOK}, [&] { Click(*form.FillTableFromMapObjectAction); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_THAT(texts[0], HasSubstr("Вершина 2 "));
    EXPECT_THAT(texts[0], HasSubstr("(кривизна дуги)"));
    EXPECT_EQ(Rows(*FTable), parcel);

    // Out of editing mode the selection fills the table: the same refusal.
    Click(*form.EditingModeAction);
    ASSERT_FALSE(form.FEditingMode);
    Select(7);
    texts = Answering({IDOK}, [&] { form.SynchronizeWithMap(); }); // the Host's Synchronize
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_THAT(texts[0], HasSubstr("Вершина 4 "));
    EXPECT_EQ(Rows(*FTable), parcel);
    EXPECT_THAT(Narrow(Geometry(7)), HasSubstr("452280\tnan\t0")) << "the Host's object is left as it is";
}

// A damaged exact copy with the text beside it: the text is pasted and the status bar says why.
TEST_F(FormEnteredData, ADamagedExactCopyGivesWayToTheTextBesideIt)
{
    TPolypadForm& form = OpenParcel();
    std::vector<std::uint8_t> exact = EncodeExactRows(std::vector<TVertexRecord>{{1, 2, 0}, {3, 4, 0}}, false);
    exact[12] = 7; // the closed flag
    PutOnClipboard({{::RegisterClipboardFormatW(kExactCopyFormatName), exact},
                    {CF_UNICODETEXT, WideBytes(L"10,5\t20\t0.5\n30\t40")}});
    Click(*form.PasteFromClipboardAction);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{{10.5, 20, 0.5}, {30, 40, 0}}));
    EXPECT_EQ(HintPanel(),
              "Вставлен текст: точная копия таблицы в буфере обмена повреждена (признак замкнутости контура повреждён)");
    EXPECT_EQ(form.UndoAction->Hint(), "Отменить: вставка из буфера обмена");
    const std::wstring picture = std::wstring(FORM_SCREENSHOT_DIR) + L"/form-exact-copy-fallback.png";
    EXPECT_EQ(hostsim::SaveWindowImage(form.Handle(), picture.c_str()), S_OK);

    // A sound exact copy wins over its text, and says nothing.
    form.ShowStatusHint("");
    PutOnClipboard({{::RegisterClipboardFormatW(kExactCopyFormatName),
                     EncodeExactRows(std::vector<TVertexRecord>{{0.1, 0.2, 0}, {0.3, 0.4, 0}, {0.5, 0.6, 0}}, true)},
                    {CF_UNICODETEXT, WideBytes(L"1\t1")}});
    Click(*form.PasteFromClipboardAction);
    EXPECT_EQ(Rows(*FTable), (std::vector<TRow>{{0.1, 0.2, 0}, {0.3, 0.4, 0}, {0.5, 0.6, 0}}));
    EXPECT_TRUE(FTable->Closed());
    EXPECT_EQ(HintPanel(), "");
}

// The summary's Δ and − reach a Unicode reader as they are; the 8-bit text is the system's, made
// from the Unicode text, as for the table's copy.
TEST_F(FormEnteredData, TheSummaryGoesToTheClipboardAsUnicodeText)
{
    TPolypadForm& form = OpenParcel();
    hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), L"0\t0\n30\t0\n30\t40\n0.012\t-0.008");
    Click(*form.PasteFromClipboardAction);
    ASSERT_EQ(FTable->Count(), 4);
    form.CopySummaryAction->Execute();
    PumpAll();
    const std::wstring summary = hostsim::ClipboardText(hostsim::MainWindowHandle(FHost.get()));
    EXPECT_THAT(Narrow(summary), HasSubstr("Невязка: ΔX "));
    EXPECT_EQ(Narrow(summary),
              "Вершин: 4 · Длина: 119.9992021 · Невязка: ΔX 0.0120000 ΔY −0.0080000 f 0.0144222 (1:8\u00A0320)");

    ASSERT_TRUE(::OpenClipboard(nullptr));
    // Formats a program put come first; the system's own follow.
    EXPECT_EQ(::EnumClipboardFormats(0), static_cast<UINT>(CF_UNICODETEXT)) << "no 8-bit text of the module's own";
    EXPECT_TRUE(::IsClipboardFormatAvailable(CF_TEXT)) << "the system offers the 8-bit text";
    ::CloseClipboard();
}

// A Host that sets a locale with a decimal comma: a typed "452301.5" is still 452301.5, and text
// with characters left over is refused with the real-number message instead of read in part.
TEST_F(FormEnteredData, TypedNumbersDoNotFollowTheCRuntimesLocale)
{
    OpenParcel();
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    struct TRestore {
        std::string Locale;
        ~TRestore() { std::setlocale(LC_ALL, Locale.c_str()); }
    } restore{saved};
    ASSERT_NE(std::setlocale(LC_ALL, "Russian_Russia.1251"), nullptr);
    ASSERT_EQ(std::strtod("0.5", nullptr), 0) << "the runtime now reads a decimal comma";

    ClickCell(ckX, 0);
    Type(L"452301.5");
    Press(VK_RETURN);
    EXPECT_EQ(FTable->GetX(0), 452301.5);

    const double y = FTable->GetY(1);
    std::vector<std::string> texts = Answering({IDOK}, [&] {
        ClickCell(ckY, 1);
        Type(L"1385200.5x");
        Press(VK_RETURN);
    });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Ошибка ввода данных: ожидается вещественное число");
    Press(VK_ESCAPE);
    EXPECT_EQ(FTable->GetY(1), y);
}

// Pasted text that cannot be taken: a number of about 10^395 written with a negative exponent
// is refused (not read as 0), and a 5 MB line is quoted in a readable piece; the rows stay.
TEST_F(FormEnteredData, AnOutOfRangeNumberAndAHugeFieldAreRefusedInAShortBox)
{
    TPolypadForm& form = OpenParcel();
    const std::vector<TRow> parcel = Rows(*FTable);
    const std::wstring huge = L"1" + std::wstring(400, L'0') + L"e-5";
    hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), L"452300\t" + huge);
    std::vector<std::string> texts = Answering({IDOK}, [&] { Click(*form.PasteFromClipboardAction); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "'1" + std::string(39, '0') + "…' is not a valid floating point value");
    EXPECT_EQ(Rows(*FTable), parcel);

    hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()), L"12" + std::wstring(5'000'000, L'x'));
    texts = Answering({IDOK}, [&] { Click(*form.PasteFromClipboardAction); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "'12" + std::string(38, 'x') + "…' is not a valid floating point value");
    EXPECT_EQ(Rows(*FTable), parcel);
}

// Rows near the largest double whose arcs reach beyond it: "Вписать в окно" refuses the extent
// instead of handing the Host an infinite rectangle.
TEST_F(FormEnteredData, AnExtentBeyondADoubleIsNotPassedToTheHost)
{
    TPolypadForm& form = OpenParcel();
    hostsim::SetClipboardText(hostsim::MainWindowHandle(FHost.get()),
                              L"1.5e308\t0\n1.5e308\t1.5e308\t0.9\n-1.5e308\t1.5e308\t-0.9");
    Click(*form.PasteFromClipboardAction);
    ASSERT_EQ(FTable->Count(), 3);
    hostsim::FailOperation(L"IHostNavigator.ShowRect", E_FAIL, L"ShowRect вызван");
    const std::vector<std::string> texts = Answering({IDOK}, [&] { Click(*form.FitToWindowAction); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Границы контура выходят за пределы допустимых значений");
}
