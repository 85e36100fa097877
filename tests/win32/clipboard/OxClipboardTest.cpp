// The clipboard as the table's copy and paste use it: both text formats written, what other
// programs put there read back, and nothing read past a block without a terminating zero.
#include "Polypad/OxClipboard.h"
#include "controls/WinHandles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
