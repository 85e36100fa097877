// The delayed copy as other programs meet it: one that holds the clipboard open and asks for the
// text while the window copies again gets the copy it opened, and the window's copy does not fail;
// a viewer told at the close reads the new copy; each format is made once; a render that fails
// gives the asker nothing and its reason to the window.
#include "Polypad/DelayedCopy.h"
#include "controls/WinHandles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// A window of the test's own that owns the clipboard and passes its render messages on.
class TCopyOwner {
public:
    TCopyOwner()
    {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &TCopyOwner::Proc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"PolypadTestCopyOwner";
            return ::RegisterClassW(&wc);
        }();
        (void)atom;
        FWindow.reset(::CreateWindowExW(0, L"PolypadTestCopyOwner", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr));
        ::SetWindowLongPtrW(FWindow.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        Clipboard = std::make_unique<TOxClipboard>(FWindow.get());
        Copy = std::make_unique<TDelayedCopy>(*Clipboard, std::vector<UINT>{CF_UNICODETEXT, Bytes()});
    }
    ~TCopyOwner() { ::SetWindowLongPtrW(FWindow.get(), GWLP_USERDATA, 0); }
    HWND get() const { return FWindow.get(); }
    static UINT Bytes()
    {
        static const UINT format = ::RegisterClipboardFormatW(L"Polypad.Test.DelayedBytes");
        return format;
    }
    // A copy whose text is text; it counts what it makes, and fails while Fail is set.
    TDelayedCopy::TRender Render(const std::string& text)
    {
        return [this, text](UINT format) {
            ++Made[format];
            if (Fail)
                throw std::runtime_error("нет памяти для текста");
            if (format == CF_UNICODETEXT)
                TOxClipboard::PutRenderedText(text);
            else
                TOxClipboard::PutRenderedData(format, {1, 2, 3});
        };
    }

    std::unique_ptr<TOxClipboard> Clipboard;
    std::unique_ptr<TDelayedCopy> Copy;
    std::map<UINT, int> Made;
    std::vector<std::string> Failures;
    bool Fail = false;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<TCopyOwner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && self->Copy) {
            switch (message) {
            case WM_RENDERFORMAT: {
                const std::string failure = self->Copy->RenderFormat(static_cast<UINT>(wParam));
                if (!failure.empty())
                    self->Failures.push_back(failure);
                return 0;
            }
            case WM_RENDERALLFORMATS:
                self->Copy->RenderRest();
                return 0;
            case WM_DESTROYCLIPBOARD:
                self->Copy->Drop();
                return 0;
            }
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    TUniqueWindow FWindow;
};

// The clipboard's Unicode text, or "<none>" when the owner gives none.
std::wstring ClipboardText(HWND opener)
{
    if (!::OpenClipboard(opener))
        return L"<not opened>";
    std::wstring text = L"<none>";
    if (HANDLE memory = ::GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(::GlobalLock(memory));
        ::GlobalUnlock(memory);
    }
    ::CloseClipboard();
    return text;
}

// Handles the messages sent to this thread until done holds (a generous limit).
template <class Done>
bool PumpUntil(Done done)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > 30000)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    return true;
}

TEST(DelayedCopy, AProgramAskingWhileTheWindowCopiesAgainGetsTheCopyItOpened)
{
    TCopyOwner owner;
    owner.Copy->Offer(owner.Render("первая"));
    const TUniqueKernel opened(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::wstring read;
    std::atomic<bool> done = false;
    std::thread other([&] {
        // Another program: it opens the clipboard, and while it holds it asks for the text,
        // waiting for the window's render before it closes the clipboard again.
        const bool open = ::OpenClipboard(nullptr);
        ::SetEvent(opened.get());
        if (open) {
            if (HANDLE memory = ::GetClipboardData(CF_UNICODETEXT)) {
                read = static_cast<const wchar_t*>(::GlobalLock(memory));
                ::GlobalUnlock(memory);
            }
            ::CloseClipboard();
        }
        done = true;
    });
    ASSERT_EQ(::WaitForSingleObject(opened.get(), 30000), WAIT_OBJECT_0);
    EXPECT_NO_THROW(owner.Copy->Offer(owner.Render("вторая")));
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    other.join();
    EXPECT_EQ(read, L"первая");
    EXPECT_EQ(ClipboardText(owner.get()), L"вторая");
}

// A viewer of the clipboard is told as the clipboard closes; what it reads then is the new copy.
// The clipboard viewer of the test below: what it read at each notification.
std::vector<std::wstring>* gViewerSeen = nullptr;
HWND gNextViewer = nullptr;

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAWCLIPBOARD) {
        if (gViewerSeen)
            gViewerSeen->push_back(ClipboardText(window));
        if (gNextViewer)
            ::SendMessageW(gNextViewer, message, wParam, lParam);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(DelayedCopy, AViewerToldAtTheCloseReadsTheNewCopy)
{
    TCopyOwner owner;
    owner.Copy->Offer(owner.Render("первая"));
    std::vector<std::wstring> seen;
    gViewerSeen = &seen;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ViewerProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PolypadTestClipboardViewer";
    ::RegisterClassW(&wc);
    TUniqueWindow viewer(::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                           wc.hInstance, nullptr));
    gNextViewer = ::SetClipboardViewer(viewer.get());
    seen.clear();
    owner.Copy->Offer(owner.Render("вторая"));
    EXPECT_TRUE(PumpUntil([&] { return !seen.empty(); }));
    ::ChangeClipboardChain(viewer.get(), gNextViewer);
    gViewerSeen = nullptr;
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), L"вторая");
}

// Asked for, a format is made once; when the owner goes, only the formats nobody asked for are
// made, and the text already given stays.
TEST(DelayedCopy, EachFormatIsMadeOnceAndOnlyTheRestAtTheEnd)
{
    TCopyOwner owner;
    owner.Copy->Offer(owner.Render("строки"));
    EXPECT_EQ(ClipboardText(owner.get()), L"строки");
    EXPECT_EQ(ClipboardText(owner.get()), L"строки");
    EXPECT_EQ(owner.Made[CF_UNICODETEXT], 1);
    EXPECT_EQ(owner.Made[TCopyOwner::Bytes()], 0);
    EXPECT_EQ(owner.Copy->RenderRest(), "");
    EXPECT_EQ(owner.Made[CF_UNICODETEXT], 1);
    EXPECT_EQ(owner.Made[TCopyOwner::Bytes()], 1);
    EXPECT_FALSE(owner.Copy->Holds());
    EXPECT_EQ(ClipboardText(owner.get()), L"строки");
    EXPECT_TRUE(owner.Clipboard->GetData(TCopyOwner::Bytes()).has_value());
}

// A render that fails gives the program that asked nothing, and the window its reason; nothing
// is thrown through the render message.
TEST(DelayedCopy, AFailedRenderGivesNothingAndSaysWhy)
{
    TCopyOwner owner;
    owner.Copy->Offer(owner.Render("строки"));
    owner.Fail = true;
    std::wstring read;
    std::atomic<bool> done = false;
    std::thread other([&] {
        read = ClipboardText(nullptr);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    other.join();
    EXPECT_EQ(read, L"<none>");
    ASSERT_EQ(owner.Failures.size(), 1u);
    EXPECT_EQ(owner.Failures[0], "нет памяти для текста");
    EXPECT_EQ(owner.Copy->RenderRest(), "нет памяти для текста");
}

} // namespace
