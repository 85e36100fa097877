// The clipboard as the table's copy and paste use it: both text formats written, what other
// programs put there read back, and nothing read past a block without a terminating zero.
#include "Polypad/OxClipboard.h"
#include "controls/WinHandles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::wstring kTable = L"1\t452310.45\t1385120.3\t45\u00B030'0\"\n2\t452335.12\t1385158.77\tnull";

void PutRaw(UINT format, const void* data, std::size_t size)
{
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(::GlobalLock(memory), data, size);
    ::GlobalUnlock(memory);
    ::SetClipboardData(format, memory);
    ::CloseClipboard();
}

// A window of the test's own, as the editor window gives its own.
class TOwnerWindow {
public:
    TOwnerWindow() : FWindow(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {}
    HWND get() const { return FWindow.get(); }

private:
    TUniqueWindow FWindow;
};

TEST(OxClipboard, TableTextRoundTripsThroughBothFormats)
{
    TOwnerWindow owner;
    TOxClipboard clipboard(owner.get());
    clipboard.SetText(kTable);
    EXPECT_EQ(clipboard.GetText(), kTable);
    // Windows refuses SetClipboardData on a clipboard emptied without an owner.
    EXPECT_EQ(::GetClipboardOwner(), owner.get());

    ASSERT_TRUE(::OpenClipboard(nullptr));
    EXPECT_TRUE(::IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_TRUE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
    HANDLE ansi = ::GetClipboardData(CF_TEXT);
    ASSERT_TRUE(ansi != nullptr);
    const std::string bytes(static_cast<const char*>(::GlobalLock(ansi)));
    ::GlobalUnlock(ansi);
    ::CloseClipboard();
    EXPECT_NE(bytes.find("45"), std::string::npos);
    EXPECT_EQ(bytes.find('\r'), std::string::npos); // lines stay LF-separated
}

// A copy's UTF-8 text goes straight into the clipboard's memory when a program asks for it: the
// same formats and texts as from wide text, the private bytes beside them, and the Unicode block ends at its terminator even
// where it has room to spare (Cyrillic needs fewer characters than bytes).
TEST(OxClipboard, Utf8TextGivesTheSameFormatsAsWideText)
{
    TOwnerWindow owner;
    TOxClipboard clipboard(owner.get());
    const UINT format = ::RegisterClipboardFormatW(L"Polypad.Test.Bytes");
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 0, 255};
    auto formats = [] {
        std::string ansi;
        std::wstring wide;
        EXPECT_TRUE(::OpenClipboard(nullptr));
        if (HANDLE a = ::GetClipboardData(CF_TEXT)) {
            ansi = static_cast<const char*>(::GlobalLock(a));
            ::GlobalUnlock(a);
        }
        if (HANDLE w = ::GetClipboardData(CF_UNICODETEXT)) {
            wide = static_cast<const wchar_t*>(::GlobalLock(w));
            ::GlobalUnlock(w);
        }
        ::CloseClipboard();
        return std::make_pair(ansi, wide);
    };
    const std::string utf8Texts[] = {Narrow(kTable), "\xD0\xA2\xD0\xBE\xD1\x87\xD0\xBA\xD0\xB0\t1", ""};
    for (const std::string& utf8 : utf8Texts) {
        clipboard.SetTextAndData(Widen(utf8), format, bytes);
        const auto fromWide = formats();
        // As a copy's text and exact rows are put when a program asks for them.
        ASSERT_TRUE(::OpenClipboard(owner.get()));
        ::EmptyClipboard();
        TOxClipboard::PutRenderedText(utf8);
        TOxClipboard::PutRenderedData(format, bytes);
        ::CloseClipboard();
        const auto fromUtf8 = formats();
        EXPECT_EQ(fromUtf8.second, Widen(utf8));
        EXPECT_EQ(fromUtf8, fromWide) << utf8;
        const auto data = clipboard.GetData(format);
        ASSERT_TRUE(data.has_value());
        ASSERT_GE(data->size(), bytes.size());
        EXPECT_EQ(std::vector<std::uint8_t>(data->begin(), data->begin() + 5), bytes);
    }
    EXPECT_EQ(::GetClipboardOwner(), owner.get());
}

TEST(OxClipboard, ReadsEightBitTextOfOtherPrograms)
{
    const char text[] = "10\t20\r\n30,5\t40";
    PutRaw(CF_TEXT, text, sizeof text);
    TOwnerWindow owner;
    TOxClipboard clipboard(owner.get());
    EXPECT_EQ(clipboard.GetText(), L"10\t20\r\n30,5\t40");
}

TEST(OxClipboard, UnterminatedBlockIsReadOnlyToItsEnd)
{
    const char text[4] = {'1', '\t', '2', '3'};
    PutRaw(CF_TEXT, text, sizeof text);
    TOwnerWindow owner;
    TOxClipboard clipboard(owner.get());
    const std::wstring read = clipboard.GetText();
    // The system may drop the last byte when it makes the Unicode text of such a block.
    EXPECT_EQ(read.substr(0, 3), L"1\t2");
    EXPECT_LE(read.size(), 4u);
}

TEST(OxClipboard, ClearLeavesNoText)
{
    TOwnerWindow owner;
    TOxClipboard clipboard(owner.get());
    clipboard.SetText(L"1\t2");
    clipboard.Clear();
    EXPECT_EQ(clipboard.GetText(), L"");
}

} // namespace

// The copy's text is widened by hand where it is ASCII and two-byte sequences; everything else
// must come out as the system's conversion makes it, invalid bytes included.
TEST(WidenUtf8, MatchesTheSystemConversionOnValidAndInvalidText)
{
    auto bySystem = [](const std::string& text) {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring result(static_cast<std::size_t>(n), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n);
        return result;
    };
    const std::string cases[] = {
        "",
        "1\t452310.45\t45\xC2\xB0" "30'0\"\n2\tnull",
        "\xD0\x9F\xD0\xBE\xD0\xBB\xD0\xB8\xD0\xBF\xD0\xB0\xD0\xB4",  // Cyrillic
        "\xDF\xBF\xC2\x80",                                          // the ends of the two-byte range
        "price \xE2\x82\xAC 5",                                      // three bytes
        "\xF0\x9F\x98\x80",                                          // four bytes: a surrogate pair
        "overlong \xC0\xAF and \xC1\xBF",
        "stray \x80 continuation",
        "cut \xC2",
        "cut \xC2 before ASCII",
        "\xC2\xC2\xB0",
        "\xFF\xFE",
        std::string("zero\0inside", 11),
    };
    for (const std::string& text : cases)
        EXPECT_EQ(Widen(text), bySystem(text)) << text;
    // ASCII is taken sixteen and eight bytes at a time: a sequence at every place in and after
    // such runs.
    // Each byte of a run differs, so that a byte widened to the wrong place shows.
    static const char kAscii[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFG";
    for (std::size_t run = 0; run <= 41; ++run)
        for (const char* tail : {"\xC2\xB0", "\xD0\x9F" "12345678", "\x80", "\xE2\x82\xAC", "\xC2"}) {
            const std::string text = std::string(kAscii, run) + tail + std::string(run % 9, '\t');
            EXPECT_EQ(Widen(text), bySystem(text)) << run << " bytes of ASCII, then " << tail;
        }
}
